#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <string>
#include <vector>

#include "support/TempDir.h"
#include "core/version/ExecutablePath.h"
#include "core/version/GetFileVerInfo.h"
#include "tests/version/VersionImages.h"

namespace olvo {
namespace {

using test::AsString;
using test::Bytes;
using test::FullStringTable;
using test::PeFile;
using test::Strings;
using test::TempDir;
using test::VersionBlock;
using test::WriteFile;

// The release number the build derives from the project version: major*100 + minor*10 + patch.
std::string ExpectedRelease() {
    int major = 0, minor = 0, patch = 0;
    std::sscanf(OLVO_VERSION, "%d.%d.%d", &major, &minor, &patch);
    return std::to_string(major * 100 + minor * 10 + patch);
}

std::vector<std::string> Read(const std::string& path) {
    std::vector<std::string> list;
    GetVersionStrings(path, list);
    return list;
}

std::string WritePe(const TempDir& dir, const std::string& name, const Strings& strings,
                    const std::string& table = "040904E4", bool pe32Plus = false) {
    const std::string path = dir / name;
    WriteFile(path, AsString(PeFile({pe32Plus, VersionBlock(table, strings)})));
    return path;
}

TEST(OwnVersionStrings, AllElevenInKeyOrder) {
    const auto list = Read(OwnExecutablePath());
    const std::vector<std::string> fixed = {"Kestrava", "Kestrava File Splitter", OLVO_VERSION,
                                            "OLVO", "Copyright (C) 2026 Kestrava"};
    ASSERT_EQ(list.size(), 11u);
    for (std::size_t i = 0; i < fixed.size(); ++i) EXPECT_EQ(list[i], fixed[i]) << i;
    EXPECT_NE(list[kVersionLegalTrademarks].find("LICENSE"), std::string::npos);
    EXPECT_EQ(list[kVersionOriginalFilename], "OLVO.exe");
    EXPECT_EQ(list[kVersionProductName], "Kestrava File Splitter");
    EXPECT_EQ(list[kVersionProductVersion], OLVO_VERSION);
    EXPECT_NE(list[kVersionComments].find("Kestrava"), std::string::npos);
    EXPECT_EQ(list[kVersionRelease], ExpectedRelease());
}

TEST(OwnVersionStrings, SingleValuesAndAppending) {
    const std::string self = OwnExecutablePath();
    EXPECT_EQ(GetVersionString(self, kVersionRelease), ExpectedRelease());
    EXPECT_EQ(GetVersionString(self, kVersionFileVersion), OLVO_VERSION);
    EXPECT_EQ(GetVersionString(self, kVersionLegalTrademarks), Read(self)[5]);
    EXPECT_EQ(GetVersionString(self, -1), "");
    EXPECT_EQ(GetVersionString(self, 11), "");

    std::vector<std::string> list = {"kept"};
    GetVersionStrings(self, list);
    ASSERT_EQ(list.size(), 12u);
    EXPECT_EQ(list[0], "kept");
    EXPECT_EQ(list[1], "Kestrava");
}

// Each program's block names that program's own file (the tests carry the product's OLVO).
TEST(OwnVersionStrings, EachProgramNamesItsOwnFile) {
    std::vector<std::pair<std::string, std::string>> programs = {{OLVO_CLI_PATH, "olvo-cli"}};
#ifdef OLVO_GUI_PATH
    programs.push_back({OLVO_GUI_PATH, "olvo"});
#endif
    for (const auto& [path, name] : programs) {
        EXPECT_EQ(GetVersionString(path, kVersionInternalName), name);
        EXPECT_EQ(GetVersionString(path, kVersionOriginalFilename), name + ".exe");
        EXPECT_EQ(GetVersionString(path, kVersionProductName), "Kestrava File Splitter");
    }
}

TEST(OwnVersionStrings, ReleaseIsADecimalInteger) {
    const std::string release = GetVersionString(OwnExecutablePath(), kVersionRelease);
    ASSERT_FALSE(release.empty());
    EXPECT_EQ(release.find_first_not_of("0123456789"), std::string::npos);
}

TEST(PeVersionStrings, ReadsTheStringTableOfPe32AndPe32Plus) {
    TempDir dir;
    for (bool plus : {false, true}) {
        const auto path =
            WritePe(dir, plus ? "plus.exe" : "pe32.exe", FullStringTable(), "040904E4", plus);
        const auto list = Read(path);
        ASSERT_EQ(list.size(), 11u) << plus;
        for (std::size_t i = 0; i < 11; ++i) EXPECT_EQ(list[i], FullStringTable()[i].second);
        EXPECT_EQ(GetVersionString(path, kVersionProductName), "Maker Tool");
    }
}

TEST(PeVersionStrings, KeysAndTableNameMatchWithoutRegardToCase) {
    TempDir dir;
    Strings strings = FullStringTable();
    strings[0].first = "COMPANYNAME";
    strings[5].first = "legaltrademarks";
    const auto path = WritePe(dir, "case.exe", strings, "040904e4");
    EXPECT_EQ(Read(path).size(), 11u);
    EXPECT_EQ(GetVersionString(path, kVersionCompanyName), "Maker");
    EXPECT_EQ(GetVersionString(path, kVersionLegalTrademarks), "See LICENSE");
}

TEST(PeVersionStrings, EmptyValueReadsAsUnknown) {
    TempDir dir;
    Strings strings = FullStringTable();
    strings[7].second = "";
    const auto path = WritePe(dir, "empty.exe", strings);
    const auto list = Read(path);
    ASSERT_EQ(list.size(), 11u);
    EXPECT_EQ(list[7], "(unknown)");
    EXPECT_EQ(GetVersionString(path, kVersionProductName), "(unknown)");
}

TEST(PeVersionStrings, MissingKeyAddsNoEntry) {
    TempDir dir;
    Strings strings = FullStringTable();
    strings.erase(strings.begin());  // no CompanyName
    const auto path = WritePe(dir, "nocompany.exe", strings);
    const auto list = Read(path);
    ASSERT_EQ(list.size(), 10u);
    EXPECT_EQ(list[0], "Tool");
    EXPECT_EQ(GetVersionString(path, kVersionCompanyName), "");
    EXPECT_EQ(GetVersionString(path, kVersionFileDescription), "Tool");
}

TEST(PeVersionStrings, OtherTranslationsAreNotConsulted) {
    TempDir dir;
    const auto path = WritePe(dir, "unicode.exe", FullStringTable(), "040904B0");
    std::vector<std::string> list = {"kept"};
    GetVersionStrings(path, list);
    EXPECT_EQ(list, std::vector<std::string>{"kept"});
    EXPECT_EQ(GetVersionString(path, kVersionProductName), "");
}

TEST(PeVersionStrings, TextComesOutAsUtf8) {
    TempDir dir;
    Strings strings = FullStringTable();
    strings[4].second = "\xC2\xA9 M\xC3\xA4ker \xE2\x82\xAC";  // (c) Mäker €
    const auto path = WritePe(dir, "utf8.exe", strings);
#ifdef _WIN32
    // The system's service gives every text in the system code page (1252 here).
    EXPECT_EQ(GetVersionString(path, kVersionLegalCopyright), "\xA9 M\xE4ker \x80");
#else
    EXPECT_EQ(GetVersionString(path, kVersionLegalCopyright), strings[4].second);
#endif
}

TEST(PeVersionStrings, EveryCallReadsTheFileAfresh) {
    TempDir dir;
    Strings strings = FullStringTable();
    const auto path = WritePe(dir, "tool.exe", strings);
    EXPECT_EQ(GetVersionString(path, kVersionRelease), "234");
    strings[10].second = "235";
    WritePe(dir, "tool.exe", strings);
    EXPECT_EQ(GetVersionString(path, kVersionRelease), "235");
}

#ifndef _WIN32  // ELF files, a pipe, and our reader rather than the system's
TEST(ElfVersionStrings, ReadsTheVersionSectionInEveryClassAndByteOrder) {
    TempDir dir;
    const Bytes block = VersionBlock("040904E4", FullStringTable());
    for (bool is64 : {false, true}) {
        for (bool bigEndian : {false, true}) {
            const std::string path = dir / "elf";
            WriteFile(path, AsString(test::ElfFile(is64, bigEndian, ".olvo_version", block)));
            EXPECT_EQ(Read(path).size(), 11u) << is64 << bigEndian;
            EXPECT_EQ(GetVersionString(path, kVersionRelease), "234") << is64 << bigEndian;
            // Only the exact section name counts.
            for (const std::string other : {".olvo_versio", ".olvo_version2", ".OLVO_VERSION"}) {
                WriteFile(path, AsString(test::ElfFile(is64, bigEndian, other, block)));
                EXPECT_TRUE(Read(path).empty()) << other;
            }
        }
    }
}

TEST(NoVersionBlock, LeavesTheListAsItWasAndGivesEmptyText) {
    TempDir dir;
    WriteFile(dir / "text.txt", "MZ is not enough to be an executable\n");
    WriteFile(dir / "empty", "");
    WriteFile(dir / "icon-only.exe", AsString(PeFile({false, std::nullopt})));
    test::MakeFolder(dir / "folder");
    ::mkfifo((dir / "pipe").c_str(), 0600);  // opening it would wait for a writer

    // Our own executable with its version section renamed: an ELF file without a block.
    std::string self = test::ReadFile(OwnExecutablePath());
    const std::string section(".olvo_version\0", 14);
    for (auto at = self.find(section); at != std::string::npos; at = self.find(section, at))
        self[at + 12] = 'X';
    WriteFile(dir / "renamed", self);

    for (const std::string name :
         {"text.txt", "empty", "icon-only.exe", "folder", "pipe", "renamed", "missing"}) {
        std::vector<std::string> list = {"kept"};
        GetVersionStrings(dir / name, list);
        EXPECT_EQ(list, std::vector<std::string>{"kept"}) << name;
        for (int index = 0; index < 11; ++index)
            EXPECT_EQ(GetVersionString(dir / name, index), "") << name;
    }
}
#endif

TEST(NoVersionBlock, TruncatedPeFilesGiveNothingOrTheirStrings) {
    TempDir dir;
    const Bytes pe = PeFile({false, VersionBlock("040904E4", FullStringTable())});
    const std::string path = dir / "cut.exe";
    for (std::size_t size = 0; size < pe.size(); size += 7) {
        WriteFile(path,
                  AsString(Bytes(pe.begin(), pe.begin() + static_cast<std::ptrdiff_t>(size))));
        const auto list = Read(path);
        EXPECT_TRUE(list.empty() || list.size() == 11u) << size;
    }
}

}  // namespace
}  // namespace olvo
