#pragma once
// Small text helpers shared by every layer: trimming, ASCII case folding and the whole-number
// reading of stored texts. None of them looks at the locale; bytes outside ASCII pass unchanged.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace olvo {

// Blanks as the settings and version texts know them.
inline constexpr std::string_view kSpaceAndTab = " \t";
inline constexpr std::string_view kLineBlanks = " \t\v\f";

// text without the characters with codes 0 to 32 at either end.
std::string_view Trim(std::string_view text);
// text without any of blanks at either end.
std::string_view Trim(std::string_view text, std::string_view blanks);

char ToLowerAscii(char c);
std::string ToLowerAscii(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
// Whether text begins with prefix, ASCII letters compared without their case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// How a text spells a whole number: an optional "+" or "-", then decimal digits, or hexadecimal
// digits after "$" or "0x" (and "x" where bareXMeansHex; none of them where decimalOnly); nothing
// before the sign but the spaces skipped with skipLeadingSpaces, nothing after the digits.
struct NumberRules {
    // Width of the number: 32 or 64 bits.
    int bits = 64;
    // Hexadecimal digits may fill all the bits ("$FFFFFFFF" is -1 in 32 bits); otherwise they
    // keep to the signed range as decimal digits do.
    bool hexFillsAllBits = false;
    bool bareXMeansHex = false;
    bool skipLeadingSpaces = false;
    bool decimalOnly = false;
};

// The number's two's complement pattern in 64 bits (the low `bits` of it are the number), or
// nothing when text is not a number by rules or does not fit.
std::optional<std::uint64_t> ParseSignedNumber(std::string_view text, const NumberRules& rules);

}  // namespace olvo
