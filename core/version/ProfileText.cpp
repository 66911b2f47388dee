#include "core/version/ProfileText.h"

#include "platform/Text.h"

namespace olvo {
namespace {

// The blanks around a line, a name and a value; line ends never reach here.
std::string_view TrimLine(std::string_view text) {
    return Trim(text, kLineBlanks);
}

bool IsUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

std::string FinishValue(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    value = value.substr(0, value.find('\0'));
    if (value.size() > kProfileValueLimit) {
        std::size_t cut = kProfileValueLimit;
        // Step back over at most three continuation bytes so no character is split in half.
        for (int step = 0; step < 3 && cut > 0 && IsUtf8Continuation(value[cut]); ++step) --cut;
        if (IsUtf8Continuation(value[cut])) cut = kProfileValueLimit;  // not UTF-8: cut bytes
        value = value.substr(0, cut);
    }
    return std::string(value);
}

}  // namespace

std::optional<std::string> ReadProfileString(std::string_view text, std::string_view section,
                                             std::string_view key) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    bool inSection = false;
    bool sectionSeen = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", pos);
        const std::size_t lineEnd = end == std::string_view::npos ? text.size() : end;
        const std::string_view line = TrimLine(text.substr(pos, lineEnd - pos));
        pos = lineEnd + 1;
        if (line.empty()) continue;

        const std::size_t close = line.rfind(']');
        if (line.front() == '[' && close != std::string_view::npos) {
            if (sectionSeen) return std::nullopt;  // only the first section of the name counts
            inSection = EqualsNoCase(TrimLine(line.substr(1, close - 1)), section);
            sectionSeen = inSection;
            continue;
        }
        if (!inSection) continue;
        const std::size_t equals = line.find('=');
        if (!EqualsNoCase(TrimLine(line.substr(0, equals)), key)) continue;
        if (equals == std::string_view::npos) return std::string();
        return FinishValue(TrimLine(line.substr(equals + 1)));
    }
    return std::nullopt;
}

std::optional<std::int32_t> ParseProfileInteger(std::string_view text) {
    const auto number = ParseSignedNumber(TrimLine(text), {.bits = 32});
    if (!number) return std::nullopt;
    return static_cast<std::int32_t>(*number);
}

std::int32_t ReadProfileInteger(std::string_view text, std::string_view section,
                                std::string_view key, std::int32_t fallback) {
    const auto value = ReadProfileString(text, section, key);
    if (!value) return fallback;
    return ParseProfileInteger(*value).value_or(fallback);
}

}  // namespace olvo
