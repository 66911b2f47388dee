#include "platform/Text.h"

#include <algorithm>

namespace olvo {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
    return text;
}

std::string_view Trim(std::string_view text, std::string_view blanks) {
    const std::size_t begin = text.find_first_not_of(blanks);
    if (begin == std::string_view::npos) return text.substr(text.size());
    return text.substr(begin, text.find_last_not_of(blanks) + 1 - begin);
}

char ToLowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string ToLowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = ToLowerAscii(c);
    return lower;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) return false;
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::optional<std::uint64_t> ParseSignedNumber(std::string_view text, const NumberRules& rules) {
    if (rules.skipLeadingSpaces)
        text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    unsigned base = 10;
    if (rules.decimalOnly) {
        // No prefix: "$" and "x" are not digits.
    } else if (text.starts_with('$') ||
               (rules.bareXMeansHex && (text.starts_with('x') || text.starts_with('X')))) {
        base = 16;
        text.remove_prefix(1);
    } else if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;

    // The largest magnitude: all the bits, or the signed range (one more below zero).
    const std::uint64_t allBits =
        rules.bits >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << rules.bits) - 1;
    const std::uint64_t limit =
        base == 16 && rules.hexFillsAllBits ? allBits : (allBits >> 1) + (negative ? 1 : 0);
    std::uint64_t magnitude = 0;
    for (const char c : text) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return std::nullopt;
        if (magnitude > (limit - digit) / base) return std::nullopt;
        magnitude = magnitude * base + digit;
    }
    return negative ? ~magnitude + 1 : magnitude;
}

}  // namespace olvo
