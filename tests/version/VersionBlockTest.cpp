#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/version/ByteSource.h"
#include "core/version/ExecutableImage.h"
#include "core/version/ExecutablePath.h"
#include "core/version/GetFileVerInfo.h"
#include "core/version/VersionBlock.h"
#include "support/TempDir.h"
#include "tests/version/VersionImages.h"

namespace olvo {
namespace {

using test::Bytes;
using test::Strings;

void Word(Bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Text(Bytes& out, const std::string& text) {
    for (char c : text) Word(out, static_cast<std::uint8_t>(c));
    Word(out, 0);
}

void Zeros(Bytes& out, std::size_t count) {
    out.insert(out.end(), count, 0);
}

std::size_t FindKey(const Bytes& block, const std::string& key) {
    Bytes pattern;
    Text(pattern, key);
    const auto at = std::search(block.begin(), block.end(), pattern.begin(), pattern.end());
    return static_cast<std::size_t>(at - block.begin()) - 6;  // back to the node's header
}

const Strings kThree = {{"Alpha", "a"}, {"Beta", "b"}, {"Gamma", "c"}};
const std::string kTable = "StringFileInfo\\040904E4\\";

TEST(VersionBlock, ReadsTheWindowsLayoutWithItsPadding) {
    // Every length and offset written out by hand: odd-length keys force padding, the last
    // String has no value at all.
    Bytes b;
    Word(b, 134), Word(b, 0), Word(b, 0), Text(b, "VS_VERSION_INFO"), Zeros(b, 2);    // 0..40
    Word(b, 94), Word(b, 0), Word(b, 1), Text(b, "StringFileInfo");                   // 40..76
    Word(b, 58), Word(b, 0), Word(b, 1), Text(b, "040904E4");                         // 76..100
    Word(b, 22), Word(b, 3), Word(b, 1), Text(b, "Cmt"), Zeros(b, 2), Text(b, "Hi");  // ..122
    Zeros(b, 2);
    Word(b, 10), Word(b, 0), Word(b, 1), Text(b, "E");  // 124..134
    ASSERT_EQ(b.size(), 134u);

    const auto root = ParseVersionBlock(b);
    ASSERT_TRUE(root);
    EXPECT_EQ(QueryVersionText(*root, kTable + "Cmt"), "Hi");
    EXPECT_EQ(QueryVersionText(*root, kTable + "e"), "");
    EXPECT_EQ(QueryVersionText(*root, kTable + "Missing"), std::nullopt);
    EXPECT_EQ(QueryVersionText(*root, "StringFileInfo\\040904B0\\Cmt"), std::nullopt);
}

TEST(VersionBlock, PathsNameNodesFromTheRoot) {
    const auto root = ParseVersionBlock(test::VersionBlock("040904E4", kThree));
    ASSERT_TRUE(root);
    EXPECT_EQ(FindVersionNode(*root, ""), &*root);
    EXPECT_EQ(FindVersionNode(*root, "\\"), &*root);
    EXPECT_EQ(root->value.size(), 52u);  // VS_FIXEDFILEINFO
    const VersionNode* translation = FindVersionNode(*root, "\\VarFileInfo\\Translation");
    ASSERT_NE(translation, nullptr);
    EXPECT_EQ(translation->value, (Bytes{0x09, 0x04, 0xE4, 0x04}));
    EXPECT_EQ(QueryVersionText(*root, "\\stringfileinfo\\040904e4\\GAMMA"), "c");
    EXPECT_EQ(FindVersionNode(*root, kTable + "Alpha\\More"), nullptr);
}

TEST(VersionBlock, OnlyAVersionInfoRootIsABlock) {
    Bytes other = test::Serialize({"SOMETHING_ELSE", 0, {}, 0, {}});
    EXPECT_FALSE(ParseVersionBlock(other));
    EXPECT_FALSE(ParseVersionBlock({}));
}

TEST(VersionBlock, EveryTruncationIsRejected) {
    const Bytes block = ReadVersionBlock(OwnExecutablePath());
    ASSERT_FALSE(block.empty());
    const std::size_t length = block[0] | (block[1] << 8);
    ASSERT_LE(length, block.size());
    for (std::size_t size = 0; size < length; ++size)
        EXPECT_FALSE(ParseVersionBlock(std::span(block).first(size))) << size;
    EXPECT_TRUE(ParseVersionBlock(std::span(block).first(length)));
}

TEST(VersionBlock, DamagedChildEndsItsParentsListAndKeepsWhatCameBefore) {
    Bytes block = test::VersionBlock("040904E4", kThree);
    const std::size_t beta = FindKey(block, "Beta");
    block[beta] = 3;  // shorter than a header
    block[beta + 1] = 0;
    const auto root = ParseVersionBlock(block);
    ASSERT_TRUE(root);
    EXPECT_EQ(QueryVersionText(*root, kTable + "Alpha"), "a");
    EXPECT_EQ(QueryVersionText(*root, kTable + "Beta"), std::nullopt);
    EXPECT_EQ(QueryVersionText(*root, kTable + "Gamma"), std::nullopt);
    EXPECT_TRUE(FindVersionNode(*root, "VarFileInfo\\Translation"));
}

TEST(VersionBlock, ValueLengthsBeyondTheNodeAreClipped) {
    Bytes block = test::VersionBlock("040904E4", kThree);
    const std::size_t alpha = FindKey(block, "Alpha");
    block[alpha + 2] = 0xFF;  // wValueLength far past the node
    block[alpha + 3] = 0xFF;
    const auto root = ParseVersionBlock(block);
    ASSERT_TRUE(root);
    EXPECT_EQ(QueryVersionText(*root, kTable + "Alpha"), "a");
    EXPECT_EQ(QueryVersionText(*root, kTable + "Beta"), "b");
}

TEST(VersionBlock, KeyWithoutTerminatorIsDamage) {
    Bytes block = test::VersionBlock("040904E4", kThree);
    const std::size_t gamma = FindKey(block, "Gamma");
    block[gamma] = 6 + 4;  // ends inside the key "Gamma"
    block[gamma + 1] = 0;
    const auto root = ParseVersionBlock(block);
    ASSERT_TRUE(root);
    EXPECT_EQ(QueryVersionText(*root, kTable + "Beta"), "b");
    EXPECT_EQ(QueryVersionText(*root, kTable + "Gamma"), std::nullopt);
}

TEST(VersionBlock, DeepNestingStopsWithoutExhaustingTheStack) {
    // A root followed by thousands of nodes with empty keys, each holding the next and all ending
    // at the end of the buffer.
    Bytes bytes = test::Serialize({"VS_VERSION_INFO", 0, {}, 0, {}});
    bytes.resize(0xFFFF);
    for (std::size_t at = 0; at + 8 <= bytes.size(); at = at == 0 ? 40 : at + 8) {
        const std::size_t length = bytes.size() - at;
        bytes[at] = static_cast<std::uint8_t>(length);
        bytes[at + 1] = static_cast<std::uint8_t>(length >> 8);
    }
    const auto root = ParseVersionBlock(bytes);
    ASSERT_TRUE(root);
    int depth = 0;
    for (const VersionNode* node = &*root; !node->children.empty(); node = &node->children[0]) {
        ++depth;
    }
    EXPECT_GT(depth, 2);
    EXPECT_LT(depth, 100);
}

TEST(VersionBlock, Utf16TextBecomesUtf8) {
    const auto utf8 = [](std::initializer_list<std::uint16_t> units) {
        Bytes bytes;
        for (auto unit : units) Word(bytes, unit);
        return Utf16ToUtf8(bytes);
    };
    EXPECT_EQ(utf8({'O', 'K', 0, 'X'}), "OK");  // up to the first zero
    EXPECT_EQ(utf8({0xE9, 0x20AC}), "\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(utf8({0xD83D, 0xDE00}), "\xF0\x9F\x98\x80");  // a surrogate pair
    EXPECT_EQ(utf8({0xD83D, 'a', 0xDE00}),
              "\xEF\xBF\xBD"
              "a"
              "\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToUtf8(Bytes{'A', 0, 'B'}), "A");  // an odd last byte
}

// True when text is well-formed UTF-8 (no stray continuation, overlong form or surrogate).
bool IsUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<std::uint8_t>(text[i]);
        const std::size_t length = lead < 0x80                   ? 1
                                   : lead >= 0xC2 && lead < 0xE0 ? 2
                                   : lead >= 0xE0 && lead < 0xF0 ? 3
                                   : lead >= 0xF0 && lead < 0xF5 ? 4
                                                                 : 0;
        if (length == 0 || i + length > text.size()) return false;
        std::uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<std::uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000))
            return false;
        i += length;
    }
    return true;
}

// Random damage to real blocks and files: nothing may crash, hang or read out of bounds (the
// sanitizer build checks the last), and whatever is found must still be answerable: text a
// window can show, no longer than the block could hold.
TEST(VersionBlock, SurvivesRandomDamage) {
    std::mt19937 random(20260101);
    // Damages bytes[from, to) in place and returns a way to undo it, so that large files are not
    // copied for every round.
    const auto damage = [&](Bytes& bytes, std::size_t from, std::size_t to) {
        std::vector<std::pair<std::size_t, std::uint8_t>> undo;
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < edits; ++i) {
            const std::size_t at = from + random() % (to - from);
            undo.emplace_back(at, bytes[at]);
            bytes[at] = random() % 3 == 0 ? 0xFF : static_cast<std::uint8_t>(random());
        }
        return [&bytes, undo] {
            for (auto it = undo.rbegin(); it != undo.rend(); ++it) bytes[it->first] = it->second;
        };
    };
    // The number of keys the block answers.
    const auto exercise = [](const Bytes& block) {
        int answered = 0;
        if (const auto root = ParseVersionBlock(block)) {
            for (const auto key : VersionKeys) {
                const auto text =
                    QueryVersionText(*root, std::string(kVersionQueryPrefix) + std::string(key));
                if (!text) continue;
                ++answered;
                EXPECT_TRUE(IsUtf8(*text)) << key;
                EXPECT_LE(text->size(), block.size() * 3 / 2) << key;
            }
        }
        return answered;
    };

    // Every key the program reads, so that damage reaches the texts and not only the tree.
    Bytes block = test::VersionBlock("040904E4", test::FullStringTable());
    Bytes pe = test::PeFile({true, block});
    ASSERT_EQ(exercise(block), static_cast<int>(VersionKeys.size()));
    ASSERT_EQ(exercise(FindVersionBlock(MemoryByteSource(pe))),
              static_cast<int>(VersionKeys.size()));
    // Rounds in which the damaged block or file still answered: the damage must leave enough
    // for the parser's deeper paths to be walked, not only its first refusals.
    int blockAnswers = 0, peAnswers = 0, elfAnswers = 0;
    for (int round = 0; round < 3000; ++round) {
        auto restoreBlock = damage(block, 0, block.size());
        blockAnswers += exercise(block) > 0;
        restoreBlock();
        auto restorePe = damage(pe, 0, pe.size());
        peAnswers += exercise(FindVersionBlock(MemoryByteSource(pe))) > 0;
        restorePe();
    }
    for (int round = 0; round < 300; ++round) {
        Bytes garbage(random() % 512);
        for (auto& byte : garbage) byte = static_cast<std::uint8_t>(random());
        if (garbage.size() >= 2) garbage[0] = 'M', garbage[1] = 'Z';
        EXPECT_EQ(exercise(FindVersionBlock(MemoryByteSource(garbage))), 0);
        EXPECT_EQ(exercise(garbage), 0);  // no "VS_VERSION_INFO" at its start
    }

    // The ELF path, through damage to the headers and section table of our own executable.
    const std::string self = test::ReadFile(OwnExecutablePath());
    Bytes elf(self.begin(), self.end());
    const int ownKeys = exercise(FindVersionBlock(MemoryByteSource(elf)));
    ASSERT_GT(ownKeys, 0);
    std::uint64_t tableAt = 0;
    for (int i = 7; i >= 0; --i) tableAt = (tableAt << 8) | elf[0x28 + i];
    ASSERT_LT(tableAt, elf.size());
    for (int round = 0; round < 300; ++round) {
        auto restore = round % 2 ? damage(elf, 0, 64) : damage(elf, tableAt, elf.size());
        elfAnswers += exercise(FindVersionBlock(MemoryByteSource(elf))) > 0;
        restore();
    }
    EXPECT_GT(blockAnswers, 300);
    EXPECT_GT(peAnswers, 300);
    EXPECT_GT(elfAnswers, 30);
    // The damage was undone each time: the same bytes answer in full again.
    EXPECT_EQ(exercise(block), static_cast<int>(VersionKeys.size()));
    EXPECT_EQ(exercise(FindVersionBlock(MemoryByteSource(pe))),
              static_cast<int>(VersionKeys.size()));
    EXPECT_EQ(exercise(FindVersionBlock(MemoryByteSource(elf))), ownKeys);
}

}  // namespace
}  // namespace olvo
