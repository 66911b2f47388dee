// The About window's caption and text, and the forms of the program's two web addresses.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "support/TempDir.h"
#include "core/version/AboutText.h"
#include "core/version/ExecutablePath.h"
#include "core/version/ProductUrls.h"
#include "tests/version/VersionImages.h"

namespace olvo {
namespace {

using test::AsString;
using test::FullStringTable;
using test::PeFile;
using test::Strings;
using test::TempDir;
using test::VersionBlock;
using test::WriteFile;

std::string WritePe(const TempDir& dir, const Strings& strings) {
    const std::string path = dir / "tool.exe";
    WriteFile(path, AsString(PeFile({false, VersionBlock("040904E4", strings)})));
    return path;
}

Strings Without(Strings strings, const std::string& key) {
    std::erase_if(strings, [&](const auto& entry) { return entry.first == key; });
    return strings;
}

Strings With(Strings strings, const std::string& key, const std::string& value) {
    for (auto& entry : strings)
        if (entry.first == key) entry.second = value;
    return strings;
}

TEST(AboutText, FiveLinesJoinedBySingleCarriageReturns) {
    const AboutText text =
        ComposeAboutText("Maker Tool", "2.3.4", "(C) Maker", "By someone", "See LICENSE");
    EXPECT_EQ(text.caption, "About Maker Tool");
    EXPECT_EQ(text.info, "Maker Tool v2.3.4\r(C) Maker\rBy someone\r\rSee LICENSE");
}

TEST(AboutText, TakesEachValueFromItsKey) {
    TempDir dir;
    const AboutText text = AboutTextOf(WritePe(dir, FullStringTable()));
    EXPECT_EQ(text.caption, "About Maker Tool");
    EXPECT_EQ(text.info, "Maker Tool v2.3.4\r(C) Maker\rBy someone\r\rSee LICENSE");
}

TEST(AboutText, EmptyValuesShowAsUnknown) {
    TempDir dir;
    const AboutText text =
        AboutTextOf(WritePe(dir, With(With(FullStringTable(), "ProductName", ""), "Comments", "")));
    EXPECT_EQ(text.caption, "About (unknown)");
    EXPECT_EQ(text.info, "(unknown) v2.3.4\r(C) Maker\r(unknown)\r\rSee LICENSE");
}

// Positions in the list would put the trademarks line where the copyright belongs and the
// product version in the caption; each value must stay in its own place.
TEST(AboutText, AMissingKeyLeavesOnlyItsOwnPlaceEmpty) {
    TempDir dir;
    const AboutText early = AboutTextOf(WritePe(dir, Without(FullStringTable(), "CompanyName")));
    EXPECT_EQ(early.caption, "About Maker Tool");
    EXPECT_EQ(early.info, "Maker Tool v2.3.4\r(C) Maker\rBy someone\r\rSee LICENSE");

    const AboutText shown = AboutTextOf(WritePe(dir, Without(FullStringTable(), "LegalCopyright")));
    EXPECT_EQ(shown.info, "Maker Tool v2.3.4\r\rBy someone\r\rSee LICENSE");
}

TEST(AboutText, AFileWithoutVersionStringsGivesTheBareFrame) {
    TempDir dir;
    const std::string plain = dir / "plain.bin";
    WriteFile(plain, "no version block here");
    for (const std::string& path : {plain, dir / "missing.exe"}) {
        const AboutText text = AboutTextOf(path);
        EXPECT_EQ(text.caption, "About ");
        EXPECT_EQ(text.info, " v\r\r\r\r");
    }
}

TEST(AboutText, OurOwnExecutable) {
    const AboutText text = AboutTextOf(OwnExecutablePath());
    EXPECT_EQ(text.caption, "About Kestrava File Splitter");
    const std::string first = std::string("Kestrava File Splitter v") + OLVO_VERSION + "\r";
    ASSERT_EQ(text.info.substr(0, first.size()), first);
    EXPECT_EQ(std::count(text.info.begin(), text.info.end(), '\r'), 4);
    EXPECT_EQ(text.info.find('\n'), std::string::npos);
    EXPECT_NE(text.info.find("\r\r"), std::string::npos);
    EXPECT_NE(text.info.back(), '\r');
    EXPECT_EQ(text.info.find("(unknown)"), std::string::npos);
}

// The query pairs of an address, in order, split at "&" and the first "=".
std::vector<std::pair<std::string, std::string>> QueryPairs(std::string_view query) {
    std::vector<std::pair<std::string, std::string>> pairs;
    while (!query.empty()) {
        const auto end = query.find('&');
        const std::string_view pair = query.substr(0, end);
        const auto equals = pair.find('=');
        pairs.emplace_back(std::string(pair.substr(0, equals)),
                           equals == std::string_view::npos ? std::string()
                                                            : std::string(pair.substr(equals + 1)));
        query = end == std::string_view::npos ? std::string_view() : query.substr(end + 1);
    }
    return pairs;
}

TEST(ProductUrls, HomePageIsAPlainHttpFolder) {
    const std::string_view url = HomePageUrl;
    ASSERT_TRUE(url.starts_with("http://"));
    EXPECT_GT(url.find('/', 7), 7u) << "a folder on the web space, not the bare host";
    EXPECT_NE(url.back(), '/');
    EXPECT_EQ(url.find_first_of("?#& "), std::string_view::npos);
}

TEST(ProductUrls, DonationPageCarriesTheFormInOrder) {
    const std::string_view url = DonationUrl;
    ASSERT_TRUE(url.starts_with("https://"));
    const auto path = url.find('/', 8);
    const auto question = url.find('?');
    ASSERT_NE(path, std::string_view::npos);
    ASSERT_NE(question, std::string_view::npos);
    EXPECT_EQ(url.substr(path, question - path), "/cgi-bin/webscr");

    const auto pairs = QueryPairs(url.substr(question + 1));
    const std::vector<std::string> keys = {"cmd", "business",      "item_name", "no_shipping", "cn",
                                           "tax", "currency_code", "bn",        "charset"};
    ASSERT_EQ(pairs.size(), keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(pairs[i].first, keys[i]);
    EXPECT_EQ(pairs[0].second, "_xclick");
    EXPECT_EQ(pairs[2].second, "Software%20donation");
    EXPECT_EQ(pairs[3].second, "1");
    EXPECT_EQ(pairs[4].second, "Optional%20comments");
    EXPECT_EQ(pairs[5].second, "0");
    EXPECT_EQ(pairs[6].second, "AUD");
    EXPECT_EQ(pairs[7].second, "PP%2dDonationsBF");
    EXPECT_EQ(pairs[8].second, "UTF%2d8");

    // The account: an e-mail address with "@" as %40 and every "." as %2e.
    const std::string& account = pairs[1].second;
    EXPECT_EQ(account.find_first_of("@."), std::string::npos);
    const auto at = account.find("%40");
    ASSERT_NE(at, std::string::npos);
    EXPECT_GT(at, 0u);
    EXPECT_NE(account.find("%2e", at), std::string::npos) << "a domain with a dot";
}

}  // namespace
}  // namespace olvo
