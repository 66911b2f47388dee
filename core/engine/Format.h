#pragma once
// The number texts of the split summary, shared by the desktop program and the terminal tool.
// Sizes are 64-bit so that files of 4 GiB and more are described correctly. The overloads
// without a separator use the thousands separator of the user's locale (a comma where it has
// none).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace olvo {

// The decimal digits of value, grouped by thousands with separator ("1,465"; "0" for zero).
std::string GroupThousands(std::uint64_t value, const std::string& separator);

// Whole kilobytes of 1024 bytes, rounded up, grouped, followed directly by "KB":
// 1023 and 1024 bytes give "1KB", 1,048,577 bytes "1,025KB", 0 bytes "0KB".
std::string FormatKB(std::uint64_t bytes, const std::string& separator);
std::string FormatKB(std::uint64_t bytes);

// What a split of fileSize bytes into pieces of pieceSize bytes produces: "0" when no split is
// needed (the file fits in one piece, or the piece size is 0), otherwise the number of pieces,
// grouped, followed by " (+ N)" for the extraFiles written beside them (the descriptor and the
// batch file, the .sha256 when asked for, ...).
std::string FormatPieceCount(std::uint64_t fileSize, std::uint64_t pieceSize,
                             const std::string& separator, unsigned extraFiles = 2);
std::string FormatPieceCount(std::uint64_t fileSize, std::uint64_t pieceSize,
                             unsigned extraFiles = 2);

// A size as people type it, in bytes: decimal digits, then at most one unit, in any case.
//   none        kilobytes of 1024 bytes, the program's own unit ("1420" is 1,454,080 bytes)
//   K M G T     powers of 1024, also spelt KiB MiB GiB TiB (or Ki Mi Gi Ti)
//   KB MB GB TB powers of 1000, as upload limits and disk labels count ("25MB" is 25,000,000)
// Case does not change the meaning: a terminal user types "700m" as often as "700M", and no
// unit here is ambiguous between cases. Nothing for any other text (blanks, signs, fractions,
// other letters) or for a size beyond 64 bits; the range of a piece size is SplitPlan's.
std::optional<std::uint64_t> ParseSize(std::string_view text);

// Whether c is a letter of a size's unit in either case (K M G T i B): what a field that takes
// sizes lets through besides digits.
bool IsSizeUnitLetter(char c);

// An exact size with the thousands grouped by separator, in MiB when it is a whole number of
// them, else in KiB when it is a whole number of those, else in bytes: "4,096 MiB",
// "1,420 KiB", "25,000,000 bytes", "1 byte". Sizes read back in it are never rounded.
std::string ExactSizeText(std::uint64_t bytes, const std::string& separator);

// A byte count in the largest binary unit that keeps it at 1 or more, as progress displays show
// it: "512 B", "1.5 MiB" (one decimal from KiB on).
std::string HumanBytes(double bytes);

}  // namespace olvo
