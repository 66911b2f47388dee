#include "core/engine/Format.h"

#include <cstdio>

#include "platform/Clock.h"
#include "platform/Text.h"

namespace olvo {

std::string GroupThousands(std::uint64_t value, const std::string& separator) {
    const std::string digits = std::to_string(value);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text += separator;
        text += digits[i];
    }
    return text;
}

std::string FormatKB(std::uint64_t bytes, const std::string& separator) {
    const std::uint64_t kilobytes = bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0);
    return GroupThousands(kilobytes, separator) + "KB";
}

std::string FormatKB(std::uint64_t bytes) {
    return FormatKB(bytes, CurrentThousandsSeparator());
}

std::string FormatPieceCount(std::uint64_t fileSize, std::uint32_t pieceSize,
                             const std::string& separator, unsigned extraFiles) {
    // A piece size of 0 only arises from a size text the change handler has not yet corrected;
    // it splits nothing rather than dividing by zero.
    if (pieceSize == 0) return "0";
    std::uint64_t count = fileSize / pieceSize;
    const std::uint64_t rest = fileSize % pieceSize;
    if (count == 0 || (count == 1 && rest == 0)) return "0";
    if (rest > 0) ++count;
    return GroupThousands(count, separator) + " (+ " + std::to_string(extraFiles) + ")";
}

std::string FormatPieceCount(std::uint64_t fileSize, std::uint32_t pieceSize, unsigned extraFiles) {
    return FormatPieceCount(fileSize, pieceSize, CurrentThousandsSeparator(), extraFiles);
}

std::optional<std::uint64_t> ParseSizeKB(const std::string& text) {
    std::size_t digits = 0;
    std::uint64_t value = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
        if (digits == 12) return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(text[digits] - '0');
        ++digits;
    }
    if (digits == 0) return std::nullopt;
    std::string suffix = ToLowerAscii(text.substr(digits));
    if (suffix.size() == 2 && suffix[1] == 'b') suffix.pop_back();
    if (suffix.empty() || suffix == "k") return value;
    if (suffix == "m") return value * 1024;
    if (suffix == "g") return value * 1024 * 1024;
    return std::nullopt;
}

std::string HumanBytes(double bytes) {
    static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    int unit = 0;
    while (bytes >= 1024 && unit < 4) {
        bytes /= 1024;
        ++unit;
    }
    char text[48];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, kUnits[unit]);
    return text;
}

}  // namespace olvo
