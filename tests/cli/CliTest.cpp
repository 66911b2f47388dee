#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/FileSplit.h"
#include "engine/SplitSet.h"
#include "support/EngineHarness.h"
#include "support/RunProgram.h"

namespace olvo {
namespace {

using namespace test;

// Every run keeps its settings in a folder of its own, never in the user's.
const TempDir& ConfigHome() {
    static TempDir home;
    return home;
}

ProgramResult Cli(const std::vector<std::string>& args, const std::string& workDir = "",
                  const std::string& input = "") {
    return RunProgram(OLVO_CLI_PATH, args, input, workDir,
                      {"XDG_CONFIG_HOME=" + ConfigHome().Path()});
}

TEST(Cli, SplitsAndRestoresWithRelativePaths) {
    TempDir dir;
    const std::string bytes = PatternBytes(5 * 1024 + 100);
    WriteFile(dir / "movie file.avi", bytes);
    auto r = Cli({"split", "movie file.avi", "-s", "1"}, dir.Path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "Split " + (dir / "movie file.avi") + " into 6 pieces in " + dir.Path() + "\n");
    EXPECT_EQ(r.err, "");  // no terminal: no bar
    EXPECT_EQ(Joined(Pieces(dir.Path(), "movie file")), bytes);

    MakeFolder(dir / "out");
    r = Cli({"restore", "./movie file.avi.split", "-d", "out", "--delete-pieces"}, dir.Path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Restored " + (dir / "out/movie file.avi") + "\n");
    EXPECT_EQ(ReadFile(dir / "out/movie file.avi"), bytes);
    EXPECT_FALSE(Exists(dir / "movie file.s01"));
    EXPECT_FALSE(Exists(dir / "movie file.avi.split"));
}

// The .sha256 file is sha256sum's own; verify and restore name a damaged piece and delete
// nothing; another set in the way needs --overwrite.
TEST(Cli, VerifiedSetsAndSetsInTheWay) {
    TempDir dir;
    const std::string bytes = PatternBytes(3000000);
    WriteFile(dir / "f.bin", bytes);
    ASSERT_EQ(Cli({"split", "f.bin", "-s", "1M"}, dir.Path()).exitCode, 0);
    auto check = RunProgram("/usr/bin/sha256sum", {"-c", "--ignore-missing", "f.bin.sha256"}, "",
                            dir.Path());
    EXPECT_EQ(check.exitCode, 0) << check.err;
    EXPECT_EQ(check.out, "f.s01: OK\nf.s02: OK\nf.s03: OK\n");
    auto r = Cli({"verify", "f.bin.split"}, dir.Path());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "The split set is whole: " + (dir / "f.bin.split") + "\n");

    std::string piece = ReadFile(dir / "f.s01");
    piece[100] ^= 1;
    WriteFile(dir / "f.s01", piece);
    ::truncate((dir / "f.s03").c_str(), 10);
    check = RunProgram("/usr/bin/sha256sum", {"-c", "--ignore-missing", "f.bin.sha256"}, "",
                       dir.Path());
    EXPECT_NE(check.exitCode, 0);
    r = Cli({"verify", "f.bin.split"}, dir.Path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out,
              "Piece f.s01 is damaged: its SHA-256 does not match f.bin.sha256!\n"
              "Piece f.s03 has 10 bytes, 902,848 expected!\n");
    r = Cli({"restore", "f.bin.split", "--delete-pieces"}, dir.Path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Piece f.s03 has 10 bytes, 902,848 expected!\n");
    EXPECT_EQ(ReadFile(dir / "f.bin"), bytes);
    EXPECT_TRUE(Exists(dir / "f.s01") && Exists(dir / "f.s02") && Exists(dir / "f.bin.split"));

    WriteFile(dir / "f.txt", PatternBytes(5000));
    r = Cli({"split", "f.txt", "-s", "1", "--no-hash"}, dir.Path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "The pieces of f.bin would be overwritten!\n");
    r = Cli({"split", "f.txt", "-s", "1", "--no-hash", "--overwrite"}, dir.Path());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(Exists(dir / "f.txt.sha256"));
    EXPECT_EQ(Cli({"verify", "f.txt.split"}, dir.Path()).exitCode, 0);
}

TEST(Cli, SizesWithSuffixesAndCounts) {
    TempDir dir;
    WriteFile(dir / "f.bin", PatternBytes(3 * 1024 * 1024 + 1));
    auto r = Cli({"split", dir / "f.bin", "-s", "1M", "-q"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadDescriptor(ReadFile(dir / "f.bin.split")).pieceCount, 4u);

    // A count rounds the piece size up, so fewer pieces may come: 100 bytes in 40 give 34.
    WriteFile(dir / "h.bin", PatternBytes(100));
    r = Cli({"split", dir / "h.bin", "-n", "40"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadDescriptor(ReadFile(dir / "h.bin.split")).pieceCount, 34u);
}

TEST(Cli, RangeAndUsageErrors) {
    TempDir dir;
    WriteFile(dir / "f.bin", "0123456789");
    for (const char* size : {"0", "2097152", "2G", "abc", "12X"}) {
        const auto r = Cli({"split", dir / "f.bin", "-s", size});
        EXPECT_EQ(r.exitCode, 2) << size;
        EXPECT_EQ(r.err, "Split size must be between 1 and 2,097,151KB!\n") << size;
    }
    for (const char* count : {"0", "32768"}) {
        const auto r = Cli({"split", dir / "f.bin", "-n", count});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err, "No. of split files must be between 1 and 32,767\n");
    }
    EXPECT_EQ(Cli({"split", dir / "f.bin"}).exitCode, 2);                        // neither
    EXPECT_EQ(Cli({"split", dir / "f.bin", "-s", "1", "-n", "2"}).exitCode, 2);  // both
    EXPECT_EQ(Cli({"unknown"}).exitCode, 2);
    EXPECT_EQ(Cli({}).exitCode, 2);
    auto help = Cli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("split"), std::string::npos);
    auto version = Cli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("olvo-cli (Kestrava File Splitter) ", 0), 0u);
}

TEST(Cli, EngineFailuresPrintTheMessageExactly) {
    TempDir dir;
    WriteFile(dir / "f.bin", "0123456789");
    auto r = Cli({"split", dir / "f.bin", "-s", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "File does not need splitting!\n");
    EXPECT_EQ(r.out, "");

    r = Cli({"split", dir / "f.bin", "-n", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "File does not need splitting!\n");

    WriteFile(dir / "g.bin", std::string(3000, 'g'));
    r = Cli({"split", dir / "g.bin", "-s", "1", "-d", dir / "missing"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Cannot create file " + (dir / "missing/g.s01") + "!\n");

    r = Cli({"restore", dir / "g.bin"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Not a valid .split file!\n");

    r = Cli({"checksum", dir / "nothing"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "File not found\n");
    WriteFile(dir / "24",
              std::string(12, '\0') + "\xFF\xFF\xFF\xFF" + std::string("\x02\0\0\0\0\0\0\0", 8));
    r = Cli({"checksum", dir / "24"});
    EXPECT_EQ(r.out, "1\n");
}

TEST(Cli, WithoutATerminalAMissingPieceIsCancelled) {
    TempDir dir;
    WriteFile(dir / "p.bin", PatternBytes(5000));
    ASSERT_EQ(Cli({"split", dir / "p.bin", "-s", "1"}).exitCode, 0);
    ::unlink((dir / "p.s03").c_str());
    ::unlink((dir / "p.bin").c_str());
    const auto r = Cli({"restore", dir / "p.bin.split"}, "", "r\nr\nr\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Operation aborted!\n");
    // A claim of more pieces than bytes is no set at all.
    WriteFile(dir / "p.bin.split", "4294967295\r\nx\r\n5000\r\n0\r\n");
    EXPECT_EQ(Cli({"restore", dir / "p.bin.split"}).err, "Not a valid .split file!\n");
}

#ifndef _WIN32  // a pseudo-terminal
TEST(Cli, OnATerminalAsksRetryOrCancelAndDrawsABar) {
    TempDir dir;
    const std::string bytes = PatternBytes(300 * 1024);
    WriteFile(dir / "t.bin", bytes);
    ASSERT_EQ(Cli({"split", dir / "t.bin", "-s", "100"}).exitCode, 0);
    ::unlink((dir / "t.bin").c_str());
    ASSERT_EQ(::rename((dir / "t.s02").c_str(), (dir / "t.s02.away").c_str()), 0);

    // Retry with nothing changed, then Cancel.
    auto r = RunInTerminal(OLVO_CLI_PATH, {"restore", dir / "t.bin.split"}, "[R]etry or [C]ancel? ",
                           {"r", "c"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Restore: Please insert source #2"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Operation aborted!"), std::string::npos) << r.out;

    // With the piece back, the restore runs through with its bar.
    ASSERT_EQ(::rename((dir / "t.s02.away").c_str(), (dir / "t.s02").c_str()), 0);
    r = RunInTerminal(OLVO_CLI_PATH, {"restore", dir / "t.bin.split"}, "?", {});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("Restoring File... ["), std::string::npos) << r.out;
    EXPECT_EQ(ReadFile(dir / "t.bin"), bytes);

    // -q: no bar, even on a terminal.
    r = RunInTerminal(OLVO_CLI_PATH, {"restore", "-q", dir / "t.bin.split"}, "?", {});
    EXPECT_EQ(r.out.find("Restoring File..."), std::string::npos) << r.out;
}
#endif

#ifndef _WIN32  // the store is a hive file here; see win32/WindowsCliTest.cpp
TEST(Cli, ConfigChangesTheDefaultFoldersOfSplitAndRestore) {
    TempDir dir;
    MakeFolder(dir / "pieces");
    MakeFolder(dir / "rebuilt");
    auto r = Cli({"config"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "Split To Folder: no\nSplit Folder Name: \nRestore To Folder: no\n"
              "Restore Folder Name: \nSplit Sizes: 1420,663552,714752\n");

    r = Cli({"config", "--split-to", "pieces", "--restore-to", dir / "rebuilt", "--sizes", "10,20"},
            dir.Path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Split To Folder: yes\nSplit Folder Name: " + (dir / "pieces") +
                         "\nRestore To Folder: yes\nRestore Folder Name: " + (dir / "rebuilt") +
                         "\nSplit Sizes: 10,20\n");
    const std::string hive = ReadFile(ConfigHome() / "Kestrava/registry.reg");
    EXPECT_NE(hive.find("[HKEY_CURRENT_USER\\software\\Kestrava\\File Splitter]"),
              std::string::npos);
    EXPECT_NE(hive.find("\"Split To Folder\"=\"1\""), std::string::npos) << hive;

    const std::string bytes = PatternBytes(3000);
    WriteFile(dir / "f.bin", bytes);
    ASSERT_EQ(Cli({"split", dir / "f.bin", "-s", "1"}).exitCode, 0);
    EXPECT_TRUE(Exists(dir / "pieces/f.s03"));
    ASSERT_EQ(Cli({"restore", dir / "pieces/f.bin.split"}).exitCode, 0);
    EXPECT_EQ(ReadFile(dir / "rebuilt/f.bin"), bytes);

    // Switched off, the files' own folders serve again; the folder names stay stored.
    r = Cli({"config", "--no-split-to", "--no-restore-to"});
    EXPECT_NE(r.out.find("Split To Folder: no\nSplit Folder Name: " + (dir / "pieces")),
              std::string::npos);
    ASSERT_EQ(Cli({"split", dir / "f.bin", "-s", "1"}).exitCode, 0);
    EXPECT_TRUE(Exists(dir / "f.s03"));

    r = Cli({"config", "--split-to", dir / "nowhere"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(Cli({"config", "--split-to", dir.Path(), "--no-split-to"}).exitCode, 2);
}

TEST(Cli, ABrokenStoreIsReportedAndTheFilesFolderUsed) {
    TempDir dir, home;
    MakeFolder(home / "Kestrava");
    WriteFile(home / "Kestrava/registry.reg",
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_CURRENT_USER\\software\\Kestrava\\File Splitter]\r\n"
              "\"Split To Folder\"=\"1\"\r\n\"Split Folder Name\"=dword:00000001\r\n");
    WriteFile(dir / "f.bin", PatternBytes(3000));
    const auto r = RunProgram(OLVO_CLI_PATH, {"split", dir / "f.bin", "-s", "1"}, "", "",
                              {"XDG_CONFIG_HOME=" + home.Path()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "olvo-cli: Invalid data type for 'Split Folder Name'\n");
    EXPECT_TRUE(Exists(dir / "f.s03"));
}
#endif

}  // namespace
}  // namespace olvo
