#pragma once
// The number texts of the split summary, shared by the desktop program and the terminal tool.
// Sizes are 64-bit so that files of 4 GiB and more are described correctly. The overloads
// without a separator use the thousands separator of the user's locale (a comma where it has
// none).

#include <cstdint>
#include <optional>
#include <string>

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
std::string FormatPieceCount(std::uint64_t fileSize, std::uint32_t pieceSize,
                             const std::string& separator, unsigned extraFiles = 2);
std::string FormatPieceCount(std::uint64_t fileSize, std::uint32_t pieceSize,
                             unsigned extraFiles = 2);

// A split size as people type it, in kilobytes: "1420", "1420K", "700M", "2G" (case-insensitive,
// an optional trailing B). Nothing for any other text, or for more than 12 digits.
std::optional<std::uint64_t> ParseSizeKB(const std::string& text);

// A byte count in the largest binary unit that keeps it at 1 or more, as progress displays show
// it: "512 B", "1.5 MiB" (one decimal from KiB on).
std::string HumanBytes(double bytes);

}  // namespace olvo
