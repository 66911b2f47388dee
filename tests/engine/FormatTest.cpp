#include <gtest/gtest.h>

#include <optional>
#include <utility>

#include "core/engine/Format.h"

namespace olvo {
namespace {

TEST(FormatTest, GroupsThousandsWithTheGivenSeparator) {
    EXPECT_EQ(GroupThousands(0, ","), "0");
    EXPECT_EQ(GroupThousands(999, ","), "999");
    EXPECT_EQ(GroupThousands(1000, ","), "1,000");
    EXPECT_EQ(GroupThousands(2097151, ","), "2,097,151");
    EXPECT_EQ(GroupThousands(100000, "."), "100.000");
    EXPECT_EQ(GroupThousands(1234567, "\u202f"), "1\u202f234\u202f567");
    EXPECT_EQ(GroupThousands(18446744073709551615ull, ","), "18,446,744,073,709,551,615");
}

TEST(FormatTest, KilobytesAreRoundedUp) {
    EXPECT_EQ(FormatKB(0, ","), "0KB");
    EXPECT_EQ(FormatKB(1, ","), "1KB");
    EXPECT_EQ(FormatKB(1023, ","), "1KB");
    EXPECT_EQ(FormatKB(1024, ","), "1KB");
    EXPECT_EQ(FormatKB(1025, ","), "2KB");
    EXPECT_EQ(FormatKB(1048577, ","), "1,025KB");
    EXPECT_EQ(FormatKB(1500000, ","), "1,465KB");
    EXPECT_EQ(FormatKB(4294967295u, ","), "4,194,304KB");
    EXPECT_EQ(FormatKB(5ull << 30, ","), "5,242,880KB");
}

// Every spelling a size takes, and what it is refused for: the one reader behind the terminal
// tool, its --sizes, the window's size box and the configuration window's list.
TEST(FormatTest, SizeSpellings) {
    constexpr std::optional<std::uint64_t> kNo;
    // clang-format off
    const std::pair<const char*, std::optional<std::uint64_t>> cases[] = {
        {"1420", 1420 * 1024}, {"0", 0}, {"0700M", 700 << 20}, {"1k", 1024}, {"1KiB", 1024},
        {"1kib", 1024}, {"1Ki", 1024}, {"1KB", 1000}, {"1kB", 1000}, {"100MB", 100000000},
        {"100mb", 100000000}, {"100MiB", 100 << 20}, {"2G", 2ull << 30}, {"2GB", 2000000000},
        {"4T", 4ull << 40}, {"4TB", 4000000000000}, {"16777215T", 16777215ull << 40},
        {"16777216T", kNo}, {"18014398509481983", 18014398509481983ull * 1024},
        {"18014398509481984", kNo}, {"99999999999999999999", kNo}, {"", kNo}, {"M", kNo},
        {"1.5G", kNo}, {"-5", kNo}, {"+5", kNo}, {" 5", kNo}, {"5 ", kNo}, {"5 M", kNo},
        {"5P", kNo}, {"5B", kNo}, {"5MiBB", kNo}, {"5iB", kNo}, {"5MBi", kNo}, {"0x10", kNo}};
    // clang-format on
    for (const auto& [text, bytes] : cases) EXPECT_EQ(ParseSize(text), bytes) << text;
    EXPECT_EQ(ParseSize(std::string_view("5M\0", 3)), kNo);
}

TEST(FormatTest, PieceCountNamesTheTwoExtraFiles) {
    EXPECT_EQ(FormatPieceCount(1500000, 1420 * 1024, ","), "2 (+ 2)");
    EXPECT_EQ(FormatPieceCount(716800ull * 1024, 1420 * 1024, ","), "505 (+ 2)");
    EXPECT_EQ(FormatPieceCount(4294967295u, 1024, ","), "4,194,304 (+ 2)");
}

TEST(FormatTest, PieceCountIsZeroWhenNoSplitIsNeeded) {
    EXPECT_EQ(FormatPieceCount(0, 1024, ","), "0");
    EXPECT_EQ(FormatPieceCount(1023, 1024, ","), "0");
    EXPECT_EQ(FormatPieceCount(1454080, 1454080, ","), "0");
    EXPECT_EQ(FormatPieceCount(1454081, 1454080, ","), "2 (+ 2)");
    EXPECT_EQ(FormatPieceCount(2908160, 1454080, ","), "2 (+ 2)");
    EXPECT_EQ(FormatPieceCount(12345, 0, ","), "0");
}

TEST(FormatTest, LocaleOverloadsUseTheLocaleSeparator) {
    // The tests run under LC_ALL=C, which defines no separator: the comma stands in.
    EXPECT_EQ(FormatKB(1048577), "1,025KB");
    EXPECT_EQ(FormatPieceCount(1048577ull * 1024, 1024), "1,048,577 (+ 2)");
}

}  // namespace
}  // namespace olvo
