#include "core/engine/Format.h"

#include <cstdio>
#include <limits>

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

std::string FormatPieceCount(std::uint64_t fileSize, std::uint64_t pieceSize,
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

std::string FormatPieceCount(std::uint64_t fileSize, std::uint64_t pieceSize, unsigned extraFiles) {
    return FormatPieceCount(fileSize, pieceSize, CurrentThousandsSeparator(), extraFiles);
}

std::optional<std::uint64_t> ParseSize(std::string_view text) {
    std::size_t at = 0;
    std::uint64_t value = 0;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        const auto digit = static_cast<std::uint64_t>(text[at] - '0');
        if (value > (kMax - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    if (at == 0) return std::nullopt;
    const std::string suffix = ToLowerAscii(text.substr(at));
    std::uint64_t unit = 1024;
    if (!suffix.empty()) {
        const std::size_t power = std::string_view("kmgt").find(suffix[0]);
        const std::string_view rest = std::string_view(suffix).substr(1);
        const bool decimal = rest == "b";
        if (power == std::string_view::npos ||
            !(decimal || rest.empty() || rest == "i" || rest == "ib"))
            return std::nullopt;
        unit = 1;
        for (std::size_t k = 0; k <= power; ++k) unit *= decimal ? 1000 : 1024;
    }
    if (value > kMax / unit) return std::nullopt;
    return value * unit;
}

bool IsSizeUnitLetter(char c) {
    return c != 0 && std::string_view("KMGTIBkmgtib").find(c) != std::string_view::npos;
}

std::string ExactSizeText(std::uint64_t bytes, const std::string& separator) {
    constexpr std::uint64_t kMiB = 1024 * 1024;
    if (bytes != 0 && bytes % kMiB == 0) return GroupThousands(bytes / kMiB, separator) + " MiB";
    if (bytes != 0 && bytes % 1024 == 0) return GroupThousands(bytes / 1024, separator) + " KiB";
    return GroupThousands(bytes, separator) + (bytes == 1 ? " byte" : " bytes");
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
