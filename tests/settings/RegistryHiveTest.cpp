#include <gtest/gtest.h>

#include <random>

#include "platform/RegistryHive.h"

namespace olvo {
namespace {

RegistryValue Text(const std::string& text) {
    return {kRegSz, text + std::string(1, '\0')};
}

TEST(HiveText, ReadsEveryValueForm) {
    const std::string text =
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; written by hand\r\n"
        "[HKEY_CURRENT_USER\\software\\Kestrava\\File Splitter]\r\n"
        "\"Split Folder Name\"=\"C:\\\\Temp \\\"x\\\"\"\r\n"
        "\"Typed Path\"=\"C:\\Temp\"\r\n"
        "\"Count\"=dword:0000000a\r\n"
        "\"Short\"=DWORD:1f\r\n"
        "\"Path\"=hex(2):25,00,41,\\\r\n"
        "  00\r\n"
        "\"Blob\"=hex:\r\n"
        "\"Quad\" = hex(b):01,02,03,04,05,06,07,08\r\n"
        "@=\"default\"\r\n"
        "\r\n"
        "[hkey_current_user\\SOFTWARE\\kestrava\\file splitter]\n"
        "\"count\"=\"later wins\"\n";
    const std::optional<Hive> hive = ParseHive(text);
    ASSERT_TRUE(hive);
    const HiveKey* key = hive->Find("Software\\KESTRAVA\\File Splitter");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->Path(), "software\\Kestrava\\File Splitter");
    EXPECT_EQ(*key->Find("split folder name"), Text("C:\\Temp \"x\""));
    EXPECT_EQ(*key->Find("Typed Path"), Text("C:\\Temp"));
    EXPECT_EQ(*key->Find("COUNT"), Text("later wins"));
    EXPECT_EQ(*key->Find("Short"), (RegistryValue{kRegDword, std::string("\x1f\0\0\0", 4)}));
    EXPECT_EQ(*key->Find("Path"), (RegistryValue{kRegExpandSz, std::string("%\0A\0", 4)}));
    EXPECT_EQ(*key->Find("Blob"), (RegistryValue{kRegBinary, ""}));
    EXPECT_EQ(key->Find("Quad")->type, 0xBu);
    EXPECT_EQ(key->Find("Quad")->data.size(), 8u);
    EXPECT_EQ(*key->Find(""), Text("default"));
    EXPECT_EQ(key->Values()[2].name, "Count");             // the case first given stays
    EXPECT_NE(hive->Find("software\\kestrava"), nullptr);  // ancestors exist
}

TEST(HiveText, WritesTheExportForm) {
    Hive hive;
    HiveKey* key = hive.Create("software\\Kestrava\\File Splitter");
    key->Set("Split To Folder", Text("1"));
    key->Set("Say \"hi\"", Text("C:\\Temp"));
    key->Set("Count", {kRegDword, std::string("\x0a\0\0\0", 4)});
    key->Set("Path", {kRegExpandSz, std::string("%\0", 2)});
    key->Set("Blob", {kRegBinary, "\x01\xff"});
    key->Set("Odd", {0x10000, ""});
    key->Set("Lines", Text("a\nb"));  // not one line: kept as bytes
    hive.Create("software\\Other");
    key->Set("Folder", Text("/home/\u00e9 \u00fc \u65e5\u672c"));
    EXPECT_EQ(HiveText(hive),
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_CURRENT_USER\\software\\Kestrava\\File Splitter]\n"
              "\"Split To Folder\"=\"1\"\n"
              "\"Say \\\"hi\\\"\"=\"C:\\\\Temp\"\n"
              "\"Count\"=dword:0000000a\n"
              "\"Path\"=hex(2):25,00,00,00\n"
              "\"Blob\"=hex:01,ff\n"
              "\"Odd\"=hex(10000):\n"
              "\"Lines\"=hex(1):61,00,0a,00,62,00,00,00\n"
              "\"Folder\"=\"/home/\u00e9 \u00fc \u65e5\u672c\"\n"
              "\n"
              "[HKEY_CURRENT_USER\\software\\Other]\n"
              "\n");
    // The file itself is what the registry editor exports: UTF-16LE with its mark, CR LF.
    const std::string file = WriteHive(hive);
    ASSERT_EQ(file.substr(0, 6), std::string("\xFF\xFEW\0i\0", 6));
    EXPECT_EQ(file.substr(file.size() - 8), std::string("\r\0\n\0\r\0\n\0", 8));
    EXPECT_NE(file.find(std::string("\xE9\0 \0\xFC\0 \0\xE5\x65\x2C\x67", 12)), std::string::npos);
    EXPECT_EQ(ParseHive(file), hive);
}

// Exports of the registry editor (UTF-16LE, with its mark or without), UTF-8 files with a mark
// or without (as this program wrote them before), and the older REGEDIT4 form all read as the
// same tree.
TEST(HiveText, ReadsEveryEncodingOfTheExportForm) {
    const auto utf16 = [](std::u16string_view text) {
        std::string bytes;
        for (const char16_t c : text) {
            bytes += static_cast<char>(c & 0xFF);
            bytes += static_cast<char>(c >> 8);
        }
        return bytes;
    };
    const std::u16string exported =
        u"Windows Registry Editor Version 5.00\r\n\r\n"
        u"[HKEY_CURRENT_USER\\Software\\Kestrava\\File Splitter]\r\n"
        u"\"Split Folder Name\"=\"C:\\\\\u00e9 \u00fc \u65e5\u672c\"\r\n"
        u"\"Path\"=hex(2):25,00,e9,00,\\\r\n  00,00\r\n\r\n";
    const std::string utf8 =
        "[HKEY_CURRENT_USER\\Software\\Kestrava\\File Splitter]\n"
        "\"Split Folder Name\"=\"C:\\\\\u00e9 \u00fc \u65e5\u672c\"\n";
    Hive expected;
    HiveKey* key = expected.Create("Software\\Kestrava\\File Splitter");
    key->Set("Split Folder Name", Text("C:\\\u00e9 \u00fc \u65e5\u672c"));
    Hive withPath = expected;
    withPath.Find("Software\\Kestrava\\File Splitter")
        ->Set("Path", {kRegExpandSz, std::string("%\u00e9") + '\0'});
    const struct {
        std::string file;
        const Hive& tree;
    } cases[] = {
        {"\xFF\xFE" + utf16(exported), withPath},
        {utf16(exported), withPath},
        {"Windows Registry Editor Version 5.00\n\n" + utf8, expected},
        {"\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n" + utf8, expected},
        {"REGEDIT4\n\n" + utf8, expected},
    };
    for (const auto& c : cases) {
        const auto hive = ParseHive(c.file);
        ASSERT_TRUE(hive) << c.file;
        EXPECT_EQ(HiveText(*hive), HiveText(c.tree));
        EXPECT_EQ(*hive, c.tree) << c.file;
    }
}

TEST(HiveText, WrittenTreesReadBackEqual) {
    Hive hive;
    hive.Create("a")->Set("", Text(""));
    hive.Create("A\\b c\\ d]")->Set("\\\"", Text("\"\\"));
    hive.Create("a\\Empty");
    hive.Create("")->Set("root", {kRegDword, "12345"});  // a dword of odd length
    HiveKey* odd = hive.Create("x\\y");
    odd->Set("no zero", {kRegSz, "abc"});
    odd->Set("inner zero", {kRegSz, std::string("a\0b\0", 4)});
    odd->Set("empty", {kRegSz, ""});
    odd->Set("cr", Text("ends in\r"));
    const std::optional<Hive> back = ParseHive(WriteHive(hive));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, hive);
    EXPECT_EQ(back->Find("a\\b c\\ d]")->Path(), "a\\b c\\ d]");
}

// A file that is not a hive at all reads as nothing; a line that is not understood is passed
// over, as the registry editor does, and the lines around it still read.
TEST(HiveText, SkipsLinesItDoesNotUnderstand) {
    const std::string head = "Windows Registry Editor Version 5.00\n\n";
    for (const std::string& text : {std::string(), std::string("\n"), std::string("REGEDIT5\n"),
                                    std::string("\x7f"
                                                "ELF\n"),
                                    head.substr(0, head.size() - 2)}) {
        EXPECT_FALSE(ParseHive(text)) << text;
    }
    const std::string key = "[HKEY_CURRENT_USER\\k]\n";
    std::string deep;  // as deep as a key may be
    for (int i = 0; i < 64; ++i) deep += "\\p";
    EXPECT_TRUE(ParseHive(head + "[HKEY_CURRENT_USER" + deep + "]\n")->Find(deep.substr(1)));
    const std::vector<std::string> bad = {
        "[HKEY_CURRENT_USER\\k\n\"a\"=\"after a broken key line\"\n",
        "[HKEY_LOCAL_MACHINE\\k]\n\"a\"=\"1\"\n",
        "[HKEY_CURRENT_USERS\\k]\n\"a\"=\"1\"\n",
        "[HKEY_CURRENT_USER\\a\\\\b]\n",
        "[HKEY_CURRENT_USER\\]\n",
        "[-HKEY_CURRENT_USER\\k]\n\"a\"=\"1\"\n",
        "[HKEY_CURRENT_USER\\k\n",
        key + "\"a\"=\"unterminated\n",
        key + "\"a\"=\"x\" trailing\n",
        key + "\"a\"=\"escaped end\\\"\n",
        key + "\"a\"=-\n",
        key + "\"a\"\n",
        key + "a=\"unquoted name\"\n",
        key + "\"a\"=dword:\n",
        key + "\"a\"=dword:123456789\n",
        key + "\"a\"=dword:12 34\n",
        key + "\"a\"=hex:123\n",
        key + "\"a\"=hex:01,\n",
        key + "\"a\"=hex:01,,02\n",
        key + "\"a\"=hex:01 02\n",
        key + "\"a\"=hex(1x):01\n",
        key + "\"a\"=hex(123456789):01\n",
        key + "\"a\"=hex:01,\\\n",
        key + "garbage\n",
        "[HKEY_CURRENT_USER\\" + std::string(256, 'n') + "]\n\"a\"=\"1\"\n",  // beyond the limits
        "[HKEY_CURRENT_USER" + deep + "\\p]\n\"a\"=\"1\"\n",
    };
    for (const std::string& line : bad) {
        const auto hive =
            ParseHive(head + key + "\"before\"=\"1\"\n" + line + key + "\"after\"=\"2\"\n");
        ASSERT_TRUE(hive) << line;
        ASSERT_NE(hive->Find("k"), nullptr) << line;
        EXPECT_EQ(hive->Find("k")->Values().size(), 2u) << line;
        EXPECT_EQ(*hive->Find("k")->Find("after"), Text("2")) << line;
        EXPECT_EQ(hive->Keys().size(), 2u) << line << HiveText(*hive);  // the root and k
    }
}

// Cut off anywhere, a hive never reads a value other than the one written: the cut-off last line
// is not read, whatever it looks like.
TEST(HiveText, ACutOffLastLineIsNotRead) {
    Hive hive;
    HiveKey* key = hive.Create("software\\Kestrava\\File Splitter");
    key->Set("Split Sizes", Text("1420,663552"));
    key->Set("Count", {kRegDword, std::string("\x01\0\0\0", 4)});
    key->Set("Blob", {kRegBinary, "\x01\x02\x03"});
    key->Set("Folder", Text("/home/\u65e5\u672c"));
    for (const std::string& text : {WriteHive(hive), HiveText(hive)}) {
        for (std::size_t size = 0; size < text.size(); ++size) {
            const auto cut = ParseHive(text.substr(0, size));
            if (!cut) continue;
            const HiveKey* found = cut->Find("software\\Kestrava\\File Splitter");
            for (const HiveValue& value : found ? found->Values() : std::vector<HiveValue>{}) {
                EXPECT_EQ(*key->Find(value.name), value.value) << size;
            }
        }
    }
}

// Random damage to a valid hive must never crash the parser, and whatever it accepts must
// survive being written and read again.
TEST(HiveText, DamagedTextsParseSafelyAndRoundTrip) {
    Hive hive;
    HiveKey* key = hive.Create("software\\Kestrava\\File Splitter");
    key->Set("Split \"Sizes\"", Text("1420,\\663552"));
    key->Set("Count", {kRegDword, std::string("\x01\0\0\0", 4)});
    key->Set("Blob", {7, "\x01\x02\x03"});
    const std::string text = WriteHive(hive);
    const std::string alphabet = "\n\r\\\",:[]()@;=hexdwor0f \t\0\xff";
    std::mt19937 random(12345);
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string damaged = text;
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits && !damaged.empty(); ++e) {
            const std::size_t at = random() % damaged.size();
            const char c = alphabet[random() % alphabet.size()];
            switch (random() % 3) {
                case 0:
                    damaged[at] = c;
                    break;
                case 1:
                    damaged.insert(at, 1, c);
                    break;
                default:
                    damaged.erase(at, 1);
                    break;
            }
        }
        const std::optional<Hive> parsed = ParseHive(damaged);
        if (!parsed) continue;
        ++accepted;
        const std::optional<Hive> again = ParseHive(WriteHive(*parsed));
        ASSERT_TRUE(again) << damaged;
        ASSERT_EQ(*again, *parsed) << damaged;
    }
    EXPECT_GT(accepted, 0);
}

}  // namespace
}  // namespace olvo
