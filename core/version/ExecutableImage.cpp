#include "core/version/ExecutableImage.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <span>
#include <system_error>

namespace olvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The bytes at offset, or nothing when the source does not hold them all. Sizes are checked
// against the source before anything is allocated, so a hostile header cannot ask for gigabytes.
std::optional<Bytes> ReadBytes(const ByteSource& source, std::uint64_t offset, std::uint64_t size) {
    const std::uint64_t total = source.Size();
    if (offset > total || size > total - offset) return std::nullopt;
    Bytes bytes(static_cast<std::size_t>(size));
    if (!source.ReadAt(offset, bytes.data(), bytes.size())) return std::nullopt;
    return bytes;
}

// Little- or big-endian fields of a header held in memory; callers check the bounds first.
class Fields {
  public:
    Fields(std::span<const std::uint8_t> bytes, bool bigEndian)
        : m_bytes(bytes), m_bigEndian(bigEndian) {}

    bool Has(std::size_t at, std::size_t size) const {
        return at <= m_bytes.size() && size <= m_bytes.size() - at;
    }
    std::uint64_t Get(std::size_t at, std::size_t size) const {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < size; ++i) {
            const std::size_t index = m_bigEndian ? at + i : at + size - 1 - i;
            value = (value << 8) | m_bytes[index];
        }
        return value;
    }
    std::uint16_t U16(std::size_t at) const { return static_cast<std::uint16_t>(Get(at, 2)); }
    std::uint32_t U32(std::size_t at) const { return static_cast<std::uint32_t>(Get(at, 4)); }
    std::uint64_t U64(std::size_t at) const { return Get(at, 8); }

  private:
    std::span<const std::uint8_t> m_bytes;
    bool m_bigEndian;
};

// ---- PE ----------------------------------------------------------------------------------------

constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kVersionInfoName = 1;
constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kResourceDirectoryIndex = 2;

struct PeSection {
    std::uint32_t virtualAddress;
    std::uint32_t rawSize;
    std::uint32_t rawPointer;
};

struct ResourceEntry {
    std::uint32_t name;    // an id, or with the high bit a name string
    std::uint32_t target;  // with the high bit a subdirectory, else a data entry
    bool IsId() const { return (name & kHighBit) == 0; }
    bool IsDirectory() const { return (target & kHighBit) != 0; }
    std::uint32_t Offset() const { return target & ~kHighBit; }
};

class PeImage {
  public:
    explicit PeImage(const ByteSource& source) : m_source(source) {}

    Bytes FindVersionBlock() {
        if (!ReadHeaders()) return {};
        const auto types = ReadDirectory(0);
        const auto type = std::find_if(types.begin(), types.end(), [](const ResourceEntry& e) {
            return e.IsId() && e.name == kRtVersion && e.IsDirectory();
        });
        if (type == types.end()) return {};

        const auto names = ReadDirectory(type->Offset());
        auto name = std::find_if(names.begin(), names.end(), [](const ResourceEntry& e) {
            return e.IsId() && e.name == kVersionInfoName && e.IsDirectory();
        });
        if (name == names.end())
            name = std::find_if(names.begin(), names.end(),
                                [](const ResourceEntry& e) { return e.IsDirectory(); });
        if (name == names.end()) return {};

        const auto languages = ReadDirectory(name->Offset());
        const auto language = std::find_if(languages.begin(), languages.end(),
                                           [](const ResourceEntry& e) { return !e.IsDirectory(); });
        if (language == languages.end()) return {};

        const auto entry = ReadRva(std::uint64_t{m_resourceRva} + language->Offset(), 8);
        if (!entry) return {};
        const Fields fields(*entry, false);
        const std::uint32_t size = std::min<std::uint32_t>(
            fields.U32(4), static_cast<std::uint32_t>(kMaxVersionBlockSize));
        auto block = ReadRva(fields.U32(0), size);
        return block ? std::move(*block) : Bytes{};
    }

  private:
    bool ReadHeaders() {
        const auto dos = ReadBytes(m_source, 0, 64);
        if (!dos || (*dos)[0] != 'M' || (*dos)[1] != 'Z') return false;
        const std::uint64_t pe = Fields(*dos, false).U32(0x3C);

        const auto file = ReadBytes(m_source, pe, 24);
        if (!file || std::memcmp(file->data(), "PE\0\0", 4) != 0) return false;
        const Fields fileFields(*file, false);
        const std::uint16_t sectionCount = fileFields.U16(6);
        const std::uint16_t optionalSize = fileFields.U16(20);

        const auto optional = ReadBytes(m_source, pe + 24, optionalSize);
        if (!optional) return false;
        const Fields fields(*optional, false);
        if (!fields.Has(0, 2)) return false;
        std::size_t countAt = 0;
        switch (fields.U16(0)) {
            case 0x10B:
                countAt = 92;
                break;  // PE32
            case 0x20B:
                countAt = 108;
                break;  // PE32+
            default:
                return false;
        }
        const std::size_t directoriesAt = countAt + 4;
        const std::size_t resourceAt = directoriesAt + kResourceDirectoryIndex * 8;
        if (!fields.Has(countAt, 4) || fields.U32(countAt) <= kResourceDirectoryIndex ||
            !fields.Has(resourceAt, 8))
            return false;
        m_resourceRva = fields.U32(resourceAt);
        if (m_resourceRva == 0) return false;

        const auto table = ReadBytes(m_source, pe + 24 + optionalSize,
                                     std::uint64_t{sectionCount} * kSectionHeaderSize);
        if (!table) return false;
        const Fields sections(*table, false);
        for (std::size_t i = 0; i < sectionCount; ++i) {
            const std::size_t at = i * kSectionHeaderSize;
            m_sections.push_back(
                {sections.U32(at + 12), sections.U32(at + 16), sections.U32(at + 20)});
        }
        return true;
    }

    // The bytes at a relative virtual address, when a section holds all of them in the file.
    std::optional<Bytes> ReadRva(std::uint64_t rva, std::uint64_t size) const {
        for (const PeSection& section : m_sections) {
            if (rva < section.virtualAddress) continue;
            const std::uint64_t into = rva - section.virtualAddress;
            if (into >= section.rawSize || size > section.rawSize - into) continue;
            return ReadBytes(m_source, std::uint64_t{section.rawPointer} + into, size);
        }
        return std::nullopt;
    }

    // The entries of the resource directory at offset from the start of the resource data.
    std::vector<ResourceEntry> ReadDirectory(std::uint32_t offset) const {
        const std::uint64_t rva = std::uint64_t{m_resourceRva} + offset;
        const auto header = ReadRva(rva, 16);
        if (!header) return {};
        const Fields headerFields(*header, false);
        const std::uint64_t count = std::uint64_t{headerFields.U16(12)} + headerFields.U16(14);
        const auto table = ReadRva(rva + 16, count * 8);
        if (!table) return {};
        const Fields fields(*table, false);
        std::vector<ResourceEntry> entries;
        for (std::size_t i = 0; i < count; ++i)
            entries.push_back({fields.U32(i * 8), fields.U32(i * 8 + 4)});
        return entries;
    }

    const ByteSource& m_source;
    std::uint32_t m_resourceRva = 0;
    std::vector<PeSection> m_sections;
};

// ---- ELF ---------------------------------------------------------------------------------------

constexpr std::uint32_t kShtNoBits = 8;
// Section names longer than this are not ours; the cap bounds what a hostile header can make us
// read.
constexpr std::uint64_t kMaxNameTableSize = 1 << 20;

Bytes FindInElf(const ByteSource& source) {
    const auto ident = ReadBytes(source, 0, 16);
    if (!ident || std::memcmp(ident->data(),
                              "\x7f"
                              "ELF",
                              4) != 0)
        return {};
    const bool is64 = (*ident)[4] == 2;
    if (!is64 && (*ident)[4] != 1) return {};
    if ((*ident)[5] != 1 && (*ident)[5] != 2) return {};
    const bool bigEndian = (*ident)[5] == 2;

    const auto header = ReadBytes(source, 0, is64 ? 64 : 52);
    if (!header) return {};
    const Fields h(*header, bigEndian);
    const std::uint64_t tableAt = is64 ? h.U64(0x28) : h.U32(0x20);
    const std::size_t entrySize = h.U16(is64 ? 0x3A : 0x2E);
    const std::size_t count = h.U16(is64 ? 0x3C : 0x30);
    const std::size_t namesIndex = h.U16(is64 ? 0x3E : 0x32);
    const std::size_t minimumEntry = is64 ? 64 : 40;
    if (tableAt == 0 || count == 0 || namesIndex >= count || entrySize < minimumEntry) return {};

    const auto table = ReadBytes(source, tableAt, std::uint64_t{count} * entrySize);
    if (!table) return {};
    const Fields t(*table, bigEndian);
    struct Section {
        std::uint32_t name, type;
        std::uint64_t offset, size;
    };
    const auto section = [&](std::size_t index) {
        const std::size_t at = index * entrySize;
        if (is64) return Section{t.U32(at), t.U32(at + 4), t.U64(at + 24), t.U64(at + 32)};
        return Section{t.U32(at), t.U32(at + 4), t.U32(at + 16), t.U32(at + 20)};
    };

    const Section namesSection = section(namesIndex);
    if (namesSection.type == kShtNoBits) return {};
    const auto names =
        ReadBytes(source, namesSection.offset, std::min(namesSection.size, kMaxNameTableSize));
    if (!names) return {};
    const std::string_view nameTable(reinterpret_cast<const char*>(names->data()), names->size());

    for (std::size_t i = 0; i < count; ++i) {
        const Section s = section(i);
        if (s.type == kShtNoBits || s.name >= nameTable.size()) continue;
        const std::string_view rest = nameTable.substr(s.name);
        if (rest.size() <= kVersionSectionName.size() ||
            rest.substr(0, kVersionSectionName.size()) != kVersionSectionName ||
            rest[kVersionSectionName.size()] != '\0')
            continue;
        auto block =
            ReadBytes(source, s.offset, std::min<std::uint64_t>(s.size, kMaxVersionBlockSize));
        return block ? std::move(*block) : Bytes{};
    }
    return {};
}

}  // namespace

std::vector<std::uint8_t> FindVersionBlock(const ByteSource& source) {
    try {
        std::uint8_t magic[4] = {};
        if (!source.ReadAt(0, magic, sizeof magic)) return {};
        if (magic[0] == 'M' && magic[1] == 'Z') return PeImage(source).FindVersionBlock();
        return FindInElf(source);
    } catch (const std::bad_alloc&) {
        // Only allocation can fail here; a file we cannot take in holds no block for us.
        return {};
    }
}

std::vector<std::uint8_t> ReadVersionBlock(const std::string& path) {
    try {
        return FindVersionBlock(FileByteSource(path));
    } catch (const std::bad_alloc&) {  // the path itself could not be taken in
        return {};
    } catch (const std::system_error&) {  // a name the platform cannot make a path of
        return {};
    }
}

}  // namespace olvo
