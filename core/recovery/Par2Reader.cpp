#include "core/recovery/Par2Reader.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "core/recovery/Gf16.h"

namespace olvo {
namespace {

constexpr std::size_t kScanChunk = 1 << 20;

void ReadAt(InputFile& file, std::uint64_t offset, void* buffer, std::size_t size) {
    file.Seek(offset);
    std::size_t done = 0;
    while (done < size) {
        const std::size_t got = file.Read(static_cast<char*>(buffer) + done, size - done);
        if (got == 0) throw FileError("The file ended early", 0);
        done += got;
    }
}

// The offset of the next magic at or after from, or size when there is none.
std::uint64_t NextMagic(InputFile& file, std::uint64_t from, std::uint64_t size) {
    std::string chunk;
    while (from + kPacketMagic.size() <= size) {
        chunk.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kScanChunk, size - from)));
        ReadAt(file, from, chunk.data(), chunk.size());
        const auto found = std::string_view(chunk).find(kPacketMagic);
        if (found != std::string_view::npos) return from + found;
        from += chunk.size() - (kPacketMagic.size() - 1);
    }
    return size;
}

// Whether the packet at offset, too large to hold, matches its MD5; streams its body.
bool StreamedBodyMatches(InputFile& file, std::uint64_t offset, const PacketHeader& header) {
    Md5 md5;
    md5.Update(header.setId.data(), header.setId.size());
    md5.Update(header.type.data(), header.type.size());
    std::uint64_t left = header.length - kPacketHeaderSize;
    std::vector<char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(left, kScanChunk)));
    file.Seek(offset + kPacketHeaderSize);
    while (left > 0) {
        const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(left, kScanChunk));
        ReadAt(file, offset + header.length - left, buffer.data(), part);
        md5.Update(buffer.data(), part);
        left -= part;
    }
    return md5.Finish() == header.md5;
}

void TakeBody(const PacketHeader& header, std::string_view body, Par2Packets& packets) {
    if (header.type == kMainType) {
        if (auto main = ParseMainBody(body)) {
            packets.mains.emplace(header.setId, std::move(*main));
            if (!packets.firstSet) packets.firstSet = header.setId;
        }
    } else if (header.type == kFileDescType) {
        if (auto file = ParseFileDescBody(body))
            packets.files.emplace(std::pair{header.setId, file->id}, std::move(*file));
    } else if (header.type == kIfscType) {
        if (auto slices = ParseIfscBody(body))
            packets.slices.emplace(std::pair{header.setId, slices->first},
                                   std::move(slices->second));
    }
}

// Reads the packet whose header is at offset; false when it is not sound.
bool TakePacket(InputFile& file, std::uint64_t offset, const PacketHeader& header,
                const std::string& path, Par2Packets& packets, Par2FileScan& scan) {
    const std::uint64_t bodySize = header.length - kPacketHeaderSize;
    if (header.type == kRecoveryType || bodySize > kMaxReadBody) {
        if (!StreamedBodyMatches(file, offset, header)) return false;
        if (header.type == kRecoveryType && bodySize >= 4) {
            std::uint8_t exponent[4];
            ReadAt(file, offset + kPacketHeaderSize, exponent, 4);
            packets.recovery.push_back({path, offset + kPacketHeaderSize + 4, bodySize - 4,
                                        static_cast<std::uint32_t>(ReadLittle(exponent, 4)),
                                        header.setId});
            ++scan.recoverySlices;
        }
        return true;
    }
    std::string body(static_cast<std::size_t>(bodySize), '\0');
    ReadAt(file, offset + kPacketHeaderSize, body.data(), body.size());
    if (!PacketBodyMatches(header, body)) return false;
    TakeBody(header, body, packets);
    return true;
}

}  // namespace

Par2FileScan ScanPar2File(InputFile& file, std::uint64_t size, const std::string& path,
                          Par2Packets& packets) {
    Par2FileScan scan;
    std::uint64_t offset = 0;
    while (offset < size) {
        std::uint8_t bytes[kPacketHeaderSize];
        std::optional<PacketHeader> header;
        if (size - offset >= kPacketHeaderSize) {
            ReadAt(file, offset, bytes, sizeof bytes);
            header = ParsePacketHeader(bytes);
        }
        if (header && header->length <= size - offset &&
            TakePacket(file, offset, *header, path, packets, scan)) {
            ++scan.soundPackets;
            offset += header->length;
            continue;
        }
        scan.damaged = true;
        offset = NextMagic(file, offset + 1, size);
    }
    return scan;
}

std::uint32_t RecoverySet::SliceCount() const {
    std::uint64_t count = 0;
    for (const Par2FileInfo& file : files) count += file.slices.size();
    return static_cast<std::uint32_t>(count);
}

std::vector<std::uint32_t> RecoverySet::FirstSlices() const {
    std::vector<std::uint32_t> first;
    std::uint32_t next = 0;
    for (const Par2FileInfo& file : files) {
        first.push_back(next);
        next += static_cast<std::uint32_t>(file.slices.size());
    }
    return first;
}

std::optional<RecoverySet> AssembleSet(const Par2Packets& packets, std::string& why) {
    if (!packets.firstSet) {
        why = "no sound main packet was found";
        return std::nullopt;
    }
    RecoverySet set;
    set.setId = *packets.firstSet;
    const MainInfo& main = packets.mains.at(set.setId);
    set.sliceSize = main.sliceSize;
    std::uint64_t total = 0;
    for (const Par2Id& id : main.fileIds) {
        const auto file = packets.files.find({set.setId, id});
        const auto slices = packets.slices.find({set.setId, id});
        if (file == packets.files.end() || slices == packets.slices.end()) {
            why = "the description of a file is missing or damaged";
            return std::nullopt;
        }
        const std::uint64_t expected =
            file->second.size / set.sliceSize + (file->second.size % set.sliceSize != 0 ? 1 : 0);
        total += slices->second.size();
        if (slices->second.size() != expected || total > kMaxInputSlices) {
            why = "the slice checksums of a file do not fit its size";
            return std::nullopt;
        }
        set.files.push_back(file->second);
        set.files.back().slices = slices->second;
    }
    std::set<std::uint32_t> exponents;
    for (const RecoverySliceRef& slice : packets.recovery) {
        if (slice.setId == set.setId && slice.dataSize == set.sliceSize &&
            exponents.insert(slice.exponent % 65535).second)
            set.recovery.push_back(slice);
    }
    return set;
}

}  // namespace olvo
