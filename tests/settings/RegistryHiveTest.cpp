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
    EXPECT_EQ(WriteHive(hive),
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_CURRENT_USER\\software\\Kestrava\\File Splitter]\n"
              "\"Split To Folder\"=\"1\"\n"
              "\"Say \\\"hi\\\"\"=\"C:\\\\Temp\"\n"
              "\"Count\"=dword:0000000a\n"
              "\"Path\"=hex(2):25,00\n"
              "\"Blob\"=hex:01,ff\n"
              "\"Odd\"=hex(10000):\n"
              "\"Lines\"=hex(1):61,0a,62,00\n"
              "\n"
              "[HKEY_CURRENT_USER\\software\\Other]\n"
              "\n");
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

TEST(HiveText, RejectsWhatIsNotAHive) {
    const std::string head = "Windows Registry Editor Version 5.00\n\n";
    const std::string key = "[HKEY_CURRENT_USER\\k]\n";
    std::string deep;  // as deep as a key may be
    for (int i = 0; i < 64; ++i) deep += "\\p";
    EXPECT_TRUE(ParseHive(head + "[HKEY_CURRENT_USER" + deep + "]\n"));
    const std::vector<std::string> bad = {
        "",
        "\n",
        "REGEDIT4\n",
        head + "\"a\"=\"before any key\"\n",
        head + "[HKEY_LOCAL_MACHINE\\k]\n",
        head + "[HKEY_CURRENT_USERS\\k]\n",
        head + "[HKEY_CURRENT_USER\\a\\\\b]\n",
        head + "[HKEY_CURRENT_USER\\]\n",
        head + "[-HKEY_CURRENT_USER\\k]\n",
        head + "[HKEY_CURRENT_USER\\k\n",
        head + key + "\"a\"=\"unterminated\n",
        head + key + "\"a\"=\"x\" trailing\n",
        head + key + "\"a\"=\"escaped end\\\"\n",
        head + key + "\"a\"=-\n",
        head + key + "\"a\"\n",
        head + key + "a=\"unquoted name\"\n",
        head + key + "\"a\"=dword:\n",
        head + key + "\"a\"=dword:123456789\n",
        head + key + "\"a\"=dword:12 34\n",
        head + key + "\"a\"=hex:123\n",
        head + key + "\"a\"=hex:01,\n",
        head + key + "\"a\"=hex:01,,02\n",
        head + key + "\"a\"=hex:01 02\n",
        head + key + "\"a\"=hex(1x):01\n",
        head + key + "\"a\"=hex(123456789):01\n",
        head + key + "\"a\"=hex:01,\\\n",
        head + key + "\"a\"=\"cut off\"",  // the last line lacks its line feed
        head + key + "garbage\n",
        head + "[HKEY_CURRENT_USER\\" + std::string(256, 'n') + "]\n",  // beyond the limits
        head + "[HKEY_CURRENT_USER" + deep + "\\p]\n",
    };
    for (const std::string& text : bad) {
        EXPECT_FALSE(ParseHive(text)) << text;
    }
}

TEST(HiveText, AHiveCutOffInsideALineIsRejected) {
    Hive hive;
    HiveKey* key = hive.Create("software\\Kestrava\\File Splitter");
    key->Set("Split Sizes", Text("1420,663552"));
    key->Set("Count", {kRegDword, std::string("\x01\0\0\0", 4)});
    key->Set("Blob", {kRegBinary, "\x01\x02\x03"});
    const std::string text = WriteHive(hive);
    for (std::size_t size = 0; size < text.size(); ++size) {
        if (size > 0 && text[size - 1] == '\n') continue;  // whole lines are a hive of their own
        EXPECT_FALSE(ParseHive(text.substr(0, size))) << size;
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
