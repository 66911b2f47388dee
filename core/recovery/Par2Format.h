#pragma once
// The packets of PAR 2.0 files: each a 64-byte header (magic, length, MD5 of the rest, recovery
// set ID, type) and a body, little-endian and 4-byte aligned. Building them here gives the bytes
// any PAR 2.0 program reads; parsing never trusts a length: every body is checked against the
// size it came in.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/recovery/Checksums.h"

namespace olvo {

using Par2Id = Md5Digest;
using Par2Type = std::array<char, 16>;

inline constexpr std::size_t kPacketHeaderSize = 64;
inline constexpr std::string_view kPacketMagic{"PAR2\0PKT", 8};
inline constexpr Par2Type kMainType{'P', 'A', 'R', ' ', '2', '.', '0', '\0', 'M', 'a', 'i', 'n'};
inline constexpr Par2Type kFileDescType{'P', 'A', 'R', ' ', '2', '.', '0', '\0',
                                        'F', 'i', 'l', 'e', 'D', 'e', 's', 'c'};
inline constexpr Par2Type kIfscType{'P', 'A', 'R', ' ', '2', '.', '0', '\0', 'I', 'F', 'S', 'C'};
inline constexpr Par2Type kRecoveryType{'P', 'A', 'R', ' ', '2', '.', '0', '\0',
                                        'R', 'e', 'c', 'v', 'S', 'l', 'i', 'c'};
inline constexpr Par2Type kCreatorType{'P', 'A', 'R', ' ', '2', '.', '0', '\0',
                                       'C', 'r', 'e', 'a', 't', 'o', 'r'};

struct SliceChecksum {
    Md5Digest md5{};
    std::uint32_t crc = 0;
    bool operator==(const SliceChecksum&) const = default;
};

// One input file as a File Description packet and its slice checksums describe it.
struct Par2FileInfo {
    Par2Id id{};
    Md5Digest md5{};
    Md5Digest md5First16k{};
    std::uint64_t size = 0;
    std::string name;                   // bytes as stored, '/' between folders
    std::vector<SliceChecksum> slices;  // from the IFSC packet; empty until it is read
};

// The order of file IDs in the Main packet: as 16-byte little-endian numbers.
bool Par2IdLess(const Par2Id& a, const Par2Id& b);

// The File ID: MD5 of (MD5 of the first 16 KiB, length, name).
Par2Id FileIdOf(const Md5Digest& md5First16k, std::uint64_t size, std::string_view name);

// A whole packet: header with its MD5, then body (whose size must be a multiple of 4).
std::string MakePacket(const Par2Id& setId, const Par2Type& type, std::string_view body);
// Main body: the slice size and the file IDs, sorted as the format orders them.
std::string MainBody(std::uint64_t sliceSize, std::vector<Par2Id> fileIds);
std::string FileDescBody(const Par2FileInfo& file);
std::string IfscBody(const Par2FileInfo& file);
std::string CreatorBody(std::string_view creator);
// The header of a recovery slice packet, up to and with its exponent; the sliceSize bytes of data
// follow. dataMd5 is the MD5 state fed with setId, type and exponent and then the data, finished.
std::string RecoveryPacketHead(const Par2Id& setId, std::uint32_t exponent, std::uint64_t sliceSize,
                               const Md5Digest& packetMd5);
// The MD5 state of a recovery packet before its data: set ID, type and exponent fed.
Md5 RecoveryPacketHash(const Par2Id& setId, std::uint32_t exponent);

struct PacketHeader {
    std::uint64_t length = 0;  // the whole packet, at least kPacketHeaderSize, a multiple of 4
    Md5Digest md5{};
    Par2Id setId{};
    Par2Type type{};
};

// The header in 64 bytes, or nothing when the magic or the length is not that of a packet.
std::optional<PacketHeader> ParsePacketHeader(const std::uint8_t* bytes);
// Whether body is the one the header's MD5 was made over.
bool PacketBodyMatches(const PacketHeader& header, std::string_view body);

struct MainInfo {
    std::uint64_t sliceSize = 0;
    std::vector<Par2Id> fileIds;  // of the recovery set, in the order of their constants
};
// Each parser gives nothing for a body that cannot be such a packet (sizes, counts).
std::optional<MainInfo> ParseMainBody(std::string_view body);
std::optional<Par2FileInfo> ParseFileDescBody(std::string_view body);
// The file ID and slice checksums of an IFSC body.
std::optional<std::pair<Par2Id, std::vector<SliceChecksum>>> ParseIfscBody(std::string_view body);

// A little-endian integer from bytes.
std::uint64_t ReadLittle(const std::uint8_t* bytes, std::size_t width);

}  // namespace olvo
