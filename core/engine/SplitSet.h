#pragma once
// The files of one split: pieces B.s01, B.s02, ..., the split descriptor F.split and the restore
// batch file F.bat, where F is the source's name and B that name without its last extension.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine/SplitPlan.h"
#include "platform/FileSystem.h"
#include "platform/Sha256.h"

namespace olvo {

// k in decimal with at least two digits: 01 to 09, 10 to 99, then 100, 101, ...
std::string PieceNumber(std::uint64_t k);

// B + ".s" + PieceNumber(k).
std::string PieceName(const std::string& baseName, std::uint64_t k);

// The split descriptor: four lines, each ended by CR LF.
struct SplitDescriptor {
    std::uint32_t pieceCount = 0;
    std::string dateText;
    std::uint64_t fileSize = 0;  // the whole size; sizes of 4 GiB and more are written in full
    std::uint32_t checksum = 0;
};

// The first three lines, as the split writes them before it computes the checksum.
std::string DescriptorHead(const SplitDescriptor& descriptor);
// The fourth line.
std::string DescriptorTail(const SplitDescriptor& descriptor);

// Reads a descriptor's content. Numbers: blanks, control characters and line ends before them
// are skipped; the end of the content (or a byte 26) gives 0; then up to 32 characters above the
// blank form a signed 64-bit decimal, or hexadecimal after "$" or "0x", optionally signed. A
// count outside 1 to kMaxSplitCount and a negative size are never wrapped into range: they read
// as 0, which no valid descriptor has. The checksum keeps the low 32 bits (older programs wrote
// it signed). Raises EngineError "Invalid numeric input" for a number that does not convert.
// Nothing else is checked.
SplitDescriptor ReadDescriptor(std::string_view content);

// Whether the descriptor can describe a set: 1 to kMaxSplitCount pieces, and a size that pieces
// of one common size (the last 1 to that size) can add up to.
bool IsValidDescriptor(const SplitDescriptor& descriptor);

// The hash list NAME.EXT.sha256 beside the descriptor, in sha256sum's own format: one line
// "<64 hex digits><two blanks><piece name>" per piece, ended by a line feed (a name holding a
// backslash or a line feed is escaped as sha256sum escapes it, "\\" and "\n", and the line then
// begins with a backslash). It may begin with a comment line that sha256sum -c skips:
//   # Holiday.avi: 3145728 bytes, last modified 2005-03-25T14:03:53.123456789Z
// with the source's name (escaped the same way, then preceded by a backslash), its size and its
// last-write time in UTC to the nanosecond.
struct HashList {
    std::string fileName;  // empty: no comment line
    std::uint64_t fileSize = 0;
    std::optional<FileStamp> modified;           // size unused
    std::map<std::string, Sha256Digest> pieces;  // a name given twice keeps its first digest
    // What keeps the list from vouching for a set: the number (from 1) of the first line that is
    // none of the forms ReadHashList takes, 0 for none; and the names given differing digests.
    std::size_t firstBadLine = 0;
    std::set<std::string> disagreeing;
};

std::string HashListText(const HashList& list, const std::vector<std::string>& order);
// Takes every form sha256sum and shasum write and read: "HASH  NAME", "HASH *NAME", "HASH NAME",
// "SHA256 (NAME) = HASH", each optionally escaped (a leading backslash, then "\\", "\n" and
// "\r" in the name), leading blanks, a name led by "./", a CR before the line feed, upper- or
// lower-case hex. Blank lines and lines that begin with '#' are skipped. Any other line is
// counted in firstBadLine rather than skipped: a list that does not read whole vouches for
// nothing. Never raises.
HashList ReadHashList(std::string_view content);

// A time as "YYYY-MM-DDTHH:MM:SS.nnnnnnnnnZ" (UTC); nothing for years outside 0 to 9999.
std::optional<std::string> IsoUtcText(FileTime seconds, std::uint32_t nanoseconds);
// Reads that form (the fraction may have 0 to 9 digits, or be left out with its point).
std::optional<FileStamp> ReadIsoUtc(std::string_view text);

// True when the restore batch file can carry name: a name that a Windows file can have (no
// control character, none of " < > : | ? * / \, no trailing dot or blank) and, on POSIX, valid
// UTF-8.
bool IsBatchSafeName(const std::string& name);

// The longest line cmd runs; a longer one is skipped.
inline constexpr std::size_t kBatchLineLimit = 8191;

// The restore batch file: six lines of text, then the copy command (no line end after it).
// When one COPY line would exceed kBatchLineLimit (counted as cmd expands it), several are
// written: the first makes F from the first pieces, each next one appends the following pieces
// to F. '%' is written as "%%".
// - Names of printable ASCII are written into the copy command as they are.
// - Names with other letters are not written at all: cmd reads a batch file in the console's
//   code page, which may lack them. Four lines before the copy command take B from the batch
//   file's own name (%~n0, which cmd holds in Unicode), refuse with a message and exit code 1
//   when the first piece is not there (a renamed batch file), and the copy command names
//   "%B%.sNN" and "%~n0".
// - A name no Windows file can have (see IsBatchSafeName) gives a batch file that says so and
//   exits with code 1 in place of the copy command.
void WriteBatchFile(const std::string& fileName, const std::string& baseName,
                    std::uint32_t pieceCount, const std::function<void(std::string_view)>& write);
// The same text as one string.
std::string BatchFileText(const std::string& fileName, const std::string& baseName,
                          std::uint32_t pieceCount);

}  // namespace olvo
