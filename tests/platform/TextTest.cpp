#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "platform/Text.h"

namespace olvo {
namespace {

// The three ways stored texts spell numbers: a descriptor's lines, a settings value, a value of
// the update information file.
constexpr NumberRules kDescriptor{.bits = 64, .hexFillsAllBits = true};
constexpr NumberRules kSetting{
    .bits = 32, .hexFillsAllBits = true, .bareXMeansHex = true, .skipLeadingSpaces = true};
constexpr NumberRules kProfile{.bits = 32};
// A number typed into a field.
constexpr NumberRules kTyped{.bits = 32, .skipLeadingSpaces = true, .decimalOnly = true};

constexpr std::uint64_t kAllOnes = ~std::uint64_t{0};
constexpr auto kNone = std::nullopt;

TEST(NumberText, EachSpellingByItsRules) {
    struct Case {
        const char* text;
        std::optional<std::uint64_t> descriptor, setting, profile;
        std::optional<std::uint64_t> typed = kNone;
    };
    const Case cases[] = {
        {"123", 123, 123, 123, 123},
        {"+7", 7, 7, 7, 7},
        {"-1", kAllOnes, kAllOnes, kAllOnes, kAllOnes},
        {"$1F", 31, 31, 31},
        {"0x1f", 31, 31, 31},
        {"-0X10", kAllOnes - 15, kAllOnes - 15, kAllOnes - 15},
        {"x1F", kNone, 31, kNone},
        {"  7", kNone, 7, kNone, 7},
        {"  ", kNone, kNone, kNone},
        {"7 ", kNone, kNone, kNone},
        {"12a", kNone, kNone, kNone},
        {"$1G", kNone, kNone, kNone},
        {"", kNone, kNone, kNone},
        {"-", kNone, kNone, kNone},
        {"$", kNone, kNone, kNone},
        {"0x", kNone, kNone, kNone},
        {"--1", kNone, kNone, kNone},
        // 32 bits: decimal numbers keep to the signed range; hexadecimal ones may fill all 32
        // bits in a setting, not in a profile value.
        {"2147483647", 2147483647, 2147483647, 2147483647, 2147483647},
        {"2147483648", 2147483648, kNone, kNone},
        {"-2147483648", kAllOnes - 2147483647, kAllOnes - 2147483647, kAllOnes - 2147483647,
         kAllOnes - 2147483647},
        {"-2147483649", kAllOnes - 2147483648, kNone, kNone},
        {"$FFFFFFFF", 0xFFFFFFFF, 0xFFFFFFFF, kNone},
        {"-$FFFFFFFF", kAllOnes - 0xFFFFFFFE, kAllOnes - 0xFFFFFFFE, kNone},
        {"$100000000", 0x100000000, kNone, kNone},
        {"0000000000000000000000000042", 42, 42, 42, 42},
        // 64 bits.
        {"9223372036854775807", 0x7FFFFFFFFFFFFFFF, kNone, kNone},
        {"9223372036854775808", kNone, kNone, kNone},
        {"-9223372036854775808", 0x8000000000000000, kNone, kNone},
        {"$FFFFFFFFFFFFFFFF", kAllOnes, kNone, kNone},
        {"$10000000000000000", kNone, kNone, kNone},
        {"99999999999999999999", kNone, kNone, kNone},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseSignedNumber(c.text, kDescriptor), c.descriptor) << c.text;
        EXPECT_EQ(ParseSignedNumber(c.text, kSetting), c.setting) << c.text;
        EXPECT_EQ(ParseSignedNumber(c.text, kProfile), c.profile) << c.text;
        EXPECT_EQ(ParseSignedNumber(c.text, kTyped), c.typed) << c.text;
    }
}

}  // namespace
}  // namespace olvo
