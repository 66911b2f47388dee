#include "tests/version/VersionImages.h"

#include <stdexcept>

namespace olvo::test {
namespace {

void Word(Bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Dword(Bytes& out, std::uint32_t value) {
    Word(out, static_cast<std::uint16_t>(value));
    Word(out, static_cast<std::uint16_t>(value >> 16));
}

void PutDword(Bytes& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void PutWord(Bytes& out, std::size_t at, std::uint16_t value) {
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void Pad4(Bytes& out) {
    while (out.size() % 4) out.push_back(0);
}

void Append(Bytes& out, const BlockNode& node) {
    Pad4(out);
    const std::size_t start = out.size();
    Word(out, 0);
    Word(out, node.valueLength);
    Word(out, node.type);
    const Bytes key = Utf16(node.key);
    out.insert(out.end(), key.begin(), key.end());
    Pad4(out);
    out.insert(out.end(), node.value.begin(), node.value.end());
    for (const auto& child : node.children) Append(out, child);
    PutWord(out, start, static_cast<std::uint16_t>(out.size() - start));
}

}  // namespace

Bytes Utf16(const std::string& text) {
    Bytes out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            Word(out, c);
            i += 1;
        } else if ((c & 0xE0) == 0xC0) {
            Word(out, static_cast<std::uint16_t>(((c & 0x1F) << 6) | (text[i + 1] & 0x3F)));
            i += 2;
        } else {
            Word(out, static_cast<std::uint16_t>(((c & 0x0F) << 12) | ((text[i + 1] & 0x3F) << 6) |
                                                 (text[i + 2] & 0x3F)));
            i += 3;
        }
    }
    Word(out, 0);
    return out;
}

BlockNode TextNode(const std::string& key, const std::string& value) {
    BlockNode node{key, 1, Utf16(value), 0, {}};
    node.valueLength = static_cast<std::uint16_t>(node.value.size() / 2);
    return node;
}

Bytes Serialize(const BlockNode& node) {
    Bytes out;
    Append(out, node);
    return out;
}

Bytes VersionBlock(const std::string& table, const Strings& strings) {
    BlockNode stringTable{table, 1, {}, 0, {}};
    for (const auto& [key, value] : strings) stringTable.children.push_back(TextNode(key, value));
    BlockNode translation{"Translation", 0, {}, 4, {}};
    Word(translation.value, 0x0409);
    Word(translation.value, 0x04E4);

    Bytes fixed;
    Dword(fixed, 0xFEEF04BD);
    for (int i = 1; i < 13; ++i) Dword(fixed, 0);
    BlockNode root{"VS_VERSION_INFO", 0, fixed, static_cast<std::uint16_t>(fixed.size()), {}};
    root.children.push_back({"StringFileInfo", 1, {}, 0, {stringTable}});
    root.children.push_back({"VarFileInfo", 1, {}, 0, {translation}});
    return Serialize(root);
}

Strings FullStringTable() {
    return {{"CompanyName", "Maker"},
            {"FileDescription", "Tool"},
            {"FileVersion", "2.3.4"},
            {"InternalName", "TOOL"},
            {"LegalCopyright", "(C) Maker"},
            {"LegalTrademarks", "See LICENSE"},
            {"OriginalFilename", "TOOL.EXE"},
            {"ProductName", "Maker Tool"},
            {"ProductVersion", "2.3"},
            {"Comments", "By someone"},
            {"Release", "234"}};
}

Bytes PeFile(const PeOptions& options) {
    constexpr std::uint32_t kPeAt = 0x40;
    constexpr std::uint32_t kRawAt = 0x200;
    constexpr std::uint32_t kRsrcRva = 0x1000;
    const std::uint16_t optionalSize = options.pe32Plus ? 240 : 224;

    // Resource data: type directory, name directory, language directory, data entry, block.
    Bytes rsrc;
    const auto directory = [&rsrc](std::uint32_t id, std::uint32_t target) {
        for (int i = 0; i < 3; ++i) Dword(rsrc, 0);  // characteristics, time stamp, version
        Word(rsrc, 0);                               // named entries
        Word(rsrc, 1);                               // id entries
        Dword(rsrc, id);
        Dword(rsrc, target);
    };
    directory(options.block ? 16 : 3, 0x80000000u | 0x18);
    directory(1, 0x80000000u | 0x30);
    directory(0x0409, 0x48);
    const Bytes block = options.block.value_or(Bytes(16, 0xAA));
    Dword(rsrc, kRsrcRva + 0x58);
    Dword(rsrc, static_cast<std::uint32_t>(block.size()));
    Dword(rsrc, 0);
    Dword(rsrc, 0);
    rsrc.insert(rsrc.end(), block.begin(), block.end());
    const auto rawSize = static_cast<std::uint32_t>((rsrc.size() + 0x1FF) & ~std::size_t{0x1FF});
    rsrc.resize(rawSize, 0);

    Bytes file(kRawAt, 0);
    file[0] = 'M';
    file[1] = 'Z';
    PutDword(file, 0x3C, kPeAt);
    std::size_t at = kPeAt;
    file[at] = 'P';
    file[at + 1] = 'E';
    PutWord(file, at + 4, options.pe32Plus ? 0x8664 : 0x14C);  // machine
    PutWord(file, at + 6, 1);                                  // sections
    PutWord(file, at + 20, optionalSize);
    PutWord(file, at + 22, 0x0102);  // executable image
    at += 24;
    PutWord(file, at, options.pe32Plus ? 0x20B : 0x10B);
    const std::size_t countAt = at + (options.pe32Plus ? 108 : 92);
    PutDword(file, countAt, 16);
    PutDword(file, countAt + 4 + 2 * 8, kRsrcRva);
    PutDword(file, countAt + 4 + 2 * 8 + 4, static_cast<std::uint32_t>(rsrc.size()));
    at += optionalSize;
    const char name[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
    for (int i = 0; i < 8; ++i) file[at + i] = static_cast<std::uint8_t>(name[i]);
    PutDword(file, at + 8, rawSize);
    PutDword(file, at + 12, kRsrcRva);
    PutDword(file, at + 16, rawSize);
    PutDword(file, at + 20, kRawAt);
    PutDword(file, at + 36, 0x40000040);  // initialised data, readable
    if (at + 40 > kRawAt) throw std::logic_error("PE headers overflow");
    file.insert(file.end(), rsrc.begin(), rsrc.end());
    return file;
}

Bytes ElfFile(bool is64, bool bigEndian, const std::string& sectionName, const Bytes& contents) {
    const auto put = [bigEndian](Bytes& out, std::size_t at, std::uint64_t value, int size) {
        if (out.size() < at + size) out.resize(at + size, 0);
        for (int i = 0; i < size; ++i) {
            const int shift = 8 * (bigEndian ? size - 1 - i : i);
            out[at + i] = static_cast<std::uint8_t>(value >> shift);
        }
    };
    const std::size_t headerSize = is64 ? 64 : 52;
    const std::size_t entrySize = is64 ? 64 : 40;
    const std::string names = std::string("\0.shstrtab\0", 11) + sectionName + '\0';

    Bytes out(headerSize, 0);
    const char ident[] = {0x7f, 'E', 'L', 'F'};
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(ident[i]);
    out[4] = is64 ? 2 : 1;
    out[5] = bigEndian ? 2 : 1;
    out[6] = 1;
    const std::size_t namesAt = out.size();
    out.insert(out.end(), names.begin(), names.end());
    while (out.size() % 8) out.push_back(0);
    const std::size_t contentsAt = out.size();
    out.insert(out.end(), contents.begin(), contents.end());
    while (out.size() % 8) out.push_back(0);
    const std::size_t tableAt = out.size();

    put(out, 16, 2, 2);  // ET_EXEC
    put(out, is64 ? 0x28 : 0x20, tableAt, is64 ? 8 : 4);
    put(out, is64 ? 0x34 : 0x28, headerSize, 2);
    put(out, is64 ? 0x3A : 0x2E, entrySize, 2);
    put(out, is64 ? 0x3C : 0x30, 3, 2);  // null, names, contents
    put(out, is64 ? 0x3E : 0x32, 1, 2);
    const auto section = [&](std::size_t index, std::uint32_t name, std::uint32_t type,
                             std::uint64_t offset, std::uint64_t size) {
        const std::size_t at = tableAt + index * entrySize;
        put(out, at, name, 4);
        put(out, at + 4, type, 4);
        put(out, at + (is64 ? 24 : 16), offset, is64 ? 8 : 4);
        put(out, at + (is64 ? 32 : 20), size, is64 ? 8 : 4);
    };
    out.resize(tableAt + 3 * entrySize, 0);
    section(0, 0, 0, 0, 0);
    section(1, 1, 3, namesAt, names.size());         // SHT_STRTAB
    section(2, 11, 1, contentsAt, contents.size());  // SHT_PROGBITS
    return out;
}

std::string AsString(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace olvo::test
