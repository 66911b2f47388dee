#pragma once
// Reading PAR 2.0 files, whoever made them. A packet counts only when its MD5 matches; a damaged
// or unknown one is passed over and the next packet looked for by its magic, as the format asks.
// No length is trusted: a packet must fit the file, and only bodies up to kMaxReadBody are held in
// memory (a recovery slice is checked by streaming and only its place remembered).

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/recovery/Par2Format.h"
#include "platform/FileSystem.h"

namespace olvo {

inline constexpr std::uint64_t kMaxReadBody = 4 << 20;

// Where one recovery slice lies.
struct RecoverySliceRef {
    std::string path;
    std::uint64_t dataOffset = 0;  // of its sliceSize bytes
    std::uint64_t dataSize = 0;
    std::uint32_t exponent = 0;
    Par2Id setId{};
};

// Everything sound found in one or more PAR 2.0 files, set by set.
struct Par2Packets {
    std::map<Par2Id, MainInfo> mains;                         // by recovery set ID
    std::map<std::pair<Par2Id, Par2Id>, Par2FileInfo> files;  // by set ID and file ID
    std::map<std::pair<Par2Id, Par2Id>, std::vector<SliceChecksum>> slices;
    std::vector<RecoverySliceRef> recovery;
    std::optional<Par2Id> firstSet;  // the set of the first Main packet found
};

// What one file held: its sound packets are added to packets.
struct Par2FileScan {
    std::uint32_t soundPackets = 0;
    std::uint32_t recoverySlices = 0;  // sound recovery slice packets
    bool damaged = false;              // bytes that were not a sound packet
};

// Reads the size bytes of file (named path in what it records) into packets. Raises FileError
// when the file cannot be read.
Par2FileScan ScanPar2File(InputFile& file, std::uint64_t size, const std::string& path,
                          Par2Packets& packets);

// One recovery set as the packets describe it, complete enough to check and rebuild its files.
struct RecoverySet {
    Par2Id setId{};
    std::uint64_t sliceSize = 0;
    std::vector<Par2FileInfo> files;         // in the order of their constants
    std::vector<RecoverySliceRef> recovery;  // sound slices of the right size, one per exponent

    std::uint32_t SliceCount() const;
    // The index of the first slice of each file in the order of constants.
    std::vector<std::uint32_t> FirstSlices() const;
};

// The set of the first Main packet, or nothing with the reason in why: no Main packet, a file
// without its description or slice checksums, counts that do not fit the slice size.
std::optional<RecoverySet> AssembleSet(const Par2Packets& packets, std::string& why);

}  // namespace olvo
