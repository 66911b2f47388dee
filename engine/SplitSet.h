#pragma once
// The files of one split: pieces B.s01, B.s02, ..., the split descriptor F.split and the restore
// batch file F.bat, where F is the source's name and B that name without its last extension.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

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
// blank form a signed 64-bit decimal, or hexadecimal after "$" or "0x", optionally signed. The
// count and the checksum keep the low 32 bits; the size keeps all 64. Raises EngineError
// "Invalid numeric input" for a number that does not convert. Nothing else is checked.
SplitDescriptor ReadDescriptor(std::string_view content);

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
