#pragma once
// What a split is planned with before it starts, shared by the window and the terminal tool: the
// limits of the size and count fields, the piece size for a count of pieces, the size of the
// source, and the names of a set's descriptor.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace olvo {

// The largest piece size that can be asked for, in KB of 1024 bytes: 4 TiB, which a piece on
// any file system that takes it (NTFS, ext4, XFS, exFAT) can hold, and far more than a medium
// that is carried away.
inline constexpr std::uint64_t kMaxSplitSizeKB = 4294967296u;
// The most pieces a set can have (.s01 to .s32767), and so the most a split into a count of
// pieces can ask for; a descriptor with more is no descriptor.
inline constexpr std::uint32_t kMaxSplitCount = 32767;
// The largest piece a split writes, in bytes: 4 TiB.
inline constexpr std::uint64_t kMaxPieceSize = kMaxSplitSizeKB * 1024;
// The smallest piece size that can be asked for, in bytes: "1KB", the smaller of the two
// kilobytes a size can be given in (ParseSize).
inline constexpr std::uint64_t kMinSplitSize = 1000;

// Whether bytes is a piece size a split can be asked for: kMinSplitSize to kMaxPieceSize.
bool IsSplitSize(std::uint64_t bytes);
// Whether count is a number of pieces a split can be asked for: 1 to kMaxSplitCount.
bool IsSplitCount(std::int64_t count);
// What the window and the terminal tool say of a size or a count outside those ranges, the
// limit grouped with separator: "Split size must be between 1 and 4,294,967,296KB!",
// "No. of split files must be between 1 and 32,767".
std::string SplitSizeRangeMessage(const std::string& separator);
std::string SplitCountRangeMessage(const std::string& separator);

// Shown when a count of pieces would need pieces larger than kMaxPieceSize.
inline constexpr char kPieceSizeTooLarge[] =
    "Split file size is too large! Increase the number of split files to be created.";

// What a split says when the file system of folder takes files of at most largest bytes and
// files (what: "Pieces", "Recovery files") of size bytes do not fit: "Pieces of 4,096 MiB do not
// fit on /media/usb: its file system takes files of at most 4 GiB − 1 byte" (U+2212; sizes as
// ExactSizeText gives them, a limit one short of whole GiB as here).
std::string TooLargeForFileSystemText(const std::string& what, std::uint64_t size,
                                      const std::string& folder, std::uint64_t largest,
                                      const std::string& separator);

// The size in bytes of the source at path; 0 when it is missing or a folder.
std::uint64_t SourceFileSize(FileSystem& files, const std::string& path);

// The piece size that cuts fileSize bytes into count pieces (count at least 1), rounded up;
// nothing when it would exceed kMaxPieceSize.
std::optional<std::uint64_t> PieceSizeForCount(std::uint64_t fileSize, std::uint64_t count);

// How many pieces of pieceSize bytes (at least 1) fileSize bytes make.
std::uint64_t PieceCountFor(std::uint64_t fileSize, std::uint64_t pieceSize);

// The ending of a split descriptor's name.
inline constexpr std::string_view kDescriptorSuffix = ".split";

// The descriptor's name for a file of the name fileName: "NAME.EXT.split".
std::string DescriptorName(const std::string& fileName);

// Whether name is more than ".split" and ends in it, in any case: the one test of a descriptor's
// name, for a bare name and for a path alike (".split" alone is no descriptor's name).
bool HasDescriptorSuffix(std::string_view name);

// The path of the file a descriptor restores: descriptorPath without its ".split" (in any case);
// unchanged when it does not end in it.
std::string WithoutDescriptorSuffix(const std::string& descriptorPath);

}  // namespace olvo
