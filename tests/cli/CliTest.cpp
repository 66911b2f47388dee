#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>

#include <csignal>
#include <functional>
#endif

#include "core/engine/FileSplit.h"
#include "core/engine/SplitSet.h"
#include "core/recovery/RecoveryFiles.h"
#include "platform/RegistryHive.h"
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
#ifndef _WIN32  // the system's own sha256sum reads the list
    auto check = RunProgram("/usr/bin/sha256sum", {"-c", "--ignore-missing", "f.bin.sha256"}, "",
                            dir.Path());
    EXPECT_EQ(check.exitCode, 0) << check.err;
    EXPECT_EQ(check.out, "f.s01: OK\nf.s02: OK\nf.s03: OK\n");
#endif
    auto r = Cli({"verify", "f.bin.split"}, dir.Path());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "The split set is whole: " + (dir / "f.bin.split") + "\n");

    std::string piece = ReadFile(dir / "f.s01");
    piece[100] ^= 1;
    WriteFile(dir / "f.s01", piece);
    ::truncate((dir / "f.s03").c_str(), 10);
#ifndef _WIN32
    check = RunProgram("/usr/bin/sha256sum", {"-c", "--ignore-missing", "f.bin.sha256"}, "",
                       dir.Path());
    EXPECT_NE(check.exitCode, 0);
#endif
    r = Cli({"verify", "f.bin.split"}, dir.Path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out,
              "Piece f.s01 is damaged: its SHA-256 does not match f.bin.sha256!\n"
              "Piece f.s03 has 10 bytes, 902,848 expected!\n");
    r = Cli({"restore", "f.bin.split", "--delete-pieces"}, dir.Path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "olvo-cli: Piece f.s03 has 10 bytes, 902,848 expected!\n");
    EXPECT_EQ(ReadFile(dir / "f.bin"), bytes);
    EXPECT_TRUE(Exists(dir / "f.s01") && Exists(dir / "f.s02") && Exists(dir / "f.bin.split"));

    WriteFile(dir / "f.txt", PatternBytes(5000));
    r = Cli({"split", "f.txt", "-s", "1", "--no-hash"}, dir.Path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "olvo-cli: " + OtherSetRefusal(dir.Path(), "f.bin") +
                         " Use --overwrite to replace them.\n");
    r = Cli({"split", "f.txt", "-s", "1", "--no-hash", "--overwrite"}, dir.Path());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(Exists(dir / "f.txt.sha256"));
    r = Cli({"verify", "f.txt.split"}, dir.Path());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err,
              "olvo-cli: warning: no f.txt.sha256: only the piece sizes and a 2,000-byte checksum "
              "were checked\n");

    // A file of the restored file's name is replaced only with --overwrite.
    r = Cli({"restore", "f.txt.split"}, dir.Path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "olvo-cli: " + (dir / "f.txt") + " already exists! Use --overwrite to replace it.\n");
    r = Cli({"restore", "f.txt.split", "--overwrite"}, dir.Path());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFile(dir / "f.txt"), PatternBytes(5000));
}

#ifndef _WIN32  // names no Windows file can have; the system's own sha256sum reads the list
// A name with a line feed or a backslash is escaped in the .sha256 file, its comment line too,
// as sha256sum escapes it: sha256sum checks the pieces, and the set verifies.
#ifndef _WIN32
// Two pieces of three lost or damaged: verify says recovery can rebuild them, olvo-cli repair
// and par2 (on a copy) rebuild them byte for byte; three lost is refused with nothing written;
// --delete-pieces takes the recovery files along.
TEST(Cli, RecoveryPiecesRebuildWhatIsLost) {
    TempDir dir, copy;
    const std::string bytes = PatternBytes(3000000);
    WriteFile(dir / "f.bin", bytes);
    EXPECT_NE(Cli({"split", "f.bin", "-s", "1M", "--recovery", "4"}, dir.Path())
                  .err.find("--recovery takes 0 to the number of pieces (3)"),
              std::string::npos);
    ASSERT_EQ(Cli({"split", "f.bin", "-s", "1M", "--recovery", "2"}, dir.Path()).exitCode, 0);
    std::vector<std::string> names = {"f.s01", "f.s02", "f.s03", "f.bin.par2"};
    const auto vols = RecoveryFileNames("f.bin", 2);
    names.insert(names.end(), vols.begin(), vols.end());
    for (const auto& name : names) WriteFile(copy / name, ReadFile(dir / name));
    ASSERT_EQ(names.size(), 6u);
    const auto damage = [&bytes](const TempDir& set) {
        std::remove((set / "f.s01").c_str());
        std::string piece = bytes.substr(2 << 20);
        piece[5] ^= 1;
        WriteFile(set / "f.s03", piece);
    };
    damage(dir);
    auto r = Cli({"verify", "f.bin.split"}, dir.Path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("\n2 pieces are missing or damaged; the 2 recovery pieces can rebuild "
                         "them: olvo-cli repair f.bin.split\n"),
              std::string::npos)
        << r.out;
    r = Cli({"repair", "f.bin.split"}, dir.Path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Repaired 2 pieces of " + (dir / "f.bin.split") + "\n");
    EXPECT_EQ(ReadFile(dir / "f.s01") + ReadFile(dir / "f.s02") + ReadFile(dir / "f.s03"), bytes);
    EXPECT_EQ(Cli({"repair", "f.bin.split"}, dir.Path()).out,
              "The split set is whole: " + (dir / "f.bin.split") + "\n");
    if (Exists("/usr/bin/par2")) {
        damage(copy);
        r = RunProgram("/usr/bin/par2", {"repair", "-q", "f.bin.par2"}, "", copy.Path());
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_EQ(ReadFile(copy / "f.s01") + ReadFile(copy / "f.s02") + ReadFile(copy / "f.s03"),
                  bytes);
    }

    // A restore rebuilds two deleted pieces on its way and says so.
    for (const char* name : {"f.s01", "f.s02"}) std::remove((dir / name).c_str());
    r = Cli({"restore", "f.bin.split", "--overwrite", "--delete-pieces"}, dir.Path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err,
              "olvo-cli: Rebuilt piece f.s01 from the recovery pieces\n"
              "olvo-cli: Rebuilt piece f.s02 from the recovery pieces\n");
    EXPECT_EQ(ReadFile(dir / "f.bin"), bytes);
    EXPECT_FALSE(Exists(dir / "f.bin.par2"));
    EXPECT_FALSE(Exists(dir / vols[1]));
    ASSERT_EQ(Cli({"split", "f.bin", "-s", "1M", "--recovery", "2"}, dir.Path()).exitCode, 0);
    for (const char* name : {"f.s01", "f.s02", "f.s03"}) std::remove((dir / name).c_str());
    EXPECT_NE(Cli({"verify", "f.bin.split"}, dir.Path())
                  .out.find("3 pieces are missing or damaged and 2 recovery pieces can rebuild at "
                            "most 2!\n"),
              std::string::npos);
    r = Cli({"repair", "f.bin.split"}, dir.Path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "olvo-cli: 3 pieces are missing or damaged and 2 recovery pieces can rebuild "
              "at most 2!\n");
    EXPECT_FALSE(Exists(dir / "f.s01"));
}
#endif

TEST(Cli, NamesWithALineFeedOrABackslashInTheSha256File) {
    TempDir dir;
    for (const std::string name : {"a\\b\nc.bin", "back\\slash.bin"}) {
        WriteFile(dir / name, PatternBytes(3000));
        ASSERT_EQ(Cli({"split", name, "-s", "1"}, dir.Path()).exitCode, 0);
        const std::string list = ReadFile(dir / (name + ".sha256"));
        EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 4) << list;
        EXPECT_EQ(ReadHashList(list).fileName, name);
        const auto check =
            RunProgram("/usr/bin/sha256sum", {"-c", "--strict", name + ".sha256"}, "", dir.Path());
        EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
        EXPECT_EQ(Cli({"verify", name + ".split"}, dir.Path()).exitCode, 0);
    }
}
#endif

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

    // MB counts in 1000s, as upload limits do; sha256sum reads such pieces back.
    WriteFile(dir / "g.bin", "g");
    std::filesystem::resize_file(dir / "g.bin", 60000000);
    ASSERT_EQ(Cli({"split", dir / "g.bin", "-s", "25MB", "-q"}).exitCode, 0);
    EXPECT_EQ(std::filesystem::file_size(dir / "g.s02"), 25000000u);
#ifndef _WIN32
    EXPECT_EQ(RunProgram("/usr/bin/sha256sum", {"-c", "g.bin.sha256"}, "", dir.Path()).exitCode, 0);
#endif
}

// What the terminal tool says about what it was given, as the user typed it. A usage error is
// one line and a pointer to --help (exit 2); a file that cannot be used is named with the reason
// (exit 1); the engine's own messages pass through, every line with the program's name in front.
TEST(Cli, Messages) {
    TempDir dir;
    MakeFolder(dir / "src");
    WriteFile(dir / "small.bin", "0123456789");
    WriteFile(dir / "notes.txt", "text");
    const std::string bytes = PatternBytes(3000);
    WriteFile(dir / "big.bin", bytes);
    ASSERT_EQ(Cli({"split", "big.bin", "-s", "1"}, dir.Path()).exitCode, 0);
    const std::string tryHelp = "Try 'olvo-cli --help'.\n";
    const std::string sizeFormat =
        "' is not a size: give whole kilobytes of 1024 bytes, or a whole number followed by K, M, "
        "G or T (or KiB, MiB, GiB, TiB: powers of 1024) or KB, MB, GB, TB (powers of 1000), as in "
        "1420, 700M, 2G, 25MB\n";
    const std::string sizeRange = "olvo-cli: Split size must be between 1 and 4,294,967,296KB!\n";
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string err;
    };
    const Case cases[] = {
        {{"split", "nosuch.iso", "-s", "1420"},
         1,
         "olvo-cli: cannot open 'nosuch.iso': " + std::string(kNoFileReason) + "\n"},
        {{"split", "src", "-s", "1"}, 1, "olvo-cli: 'src' is a folder, not a file\n"},
        {{"split", "notes.txt/x", "-s", "1"},
         1,
         "olvo-cli: cannot open 'notes.txt/x': " + std::string(kThroughAFileReason) + "\n"},
        {{"split", "big.bin", "-s", "1", "-d", "missing"},
         1,
         "olvo-cli: cannot write to 'missing': " + std::string(kNoFileReason) + "\n"},
        {{"split", "big.bin", "-s", "1", "-d", "notes.txt"},
         1,
         "olvo-cli: cannot write to 'notes.txt': Not a directory\n"},
        {{"split", "small.bin", "-s", "1"}, 1, "olvo-cli: File does not need splitting!\n"},
        {{"restore", "big.s01"},
         1,
         "olvo-cli: 'big.s01' is a piece; restore from 'big.bin.split'\n"},
        {{"restore", "./big.bin.bat"},
         1,
         "olvo-cli: './big.bin.bat' is a restore batch file; restore from './big.bin.split'\n"},
        {{"restore", "notes.txt"}, 1, "olvo-cli: 'notes.txt' is not a split descriptor (.split)\n"},
        {{"verify", "big.s01"}, 1, "olvo-cli: 'big.s01' is a piece; verify from 'big.bin.split'\n"},
        {{"restore", "nosuch.split"},
         1,
         "olvo-cli: cannot open 'nosuch.split': " + std::string(kNoFileReason) + "\n"},
        {{"restore", "src"}, 1, "olvo-cli: 'src' is a folder, not a file\n"},
        {{"checksum", "nosuch"},
         1,
         "olvo-cli: cannot open 'nosuch': " + std::string(kNoFileReason) + "\n"},
        {{"split", "big.bin", "-s", "1.5M"}, 2, "olvo-cli: '1.5M" + sizeFormat + tryHelp},
        {{"split", "big.bin", "-s", "5P"}, 2, "olvo-cli: '5P" + sizeFormat + tryHelp},
        {{"split", "big.bin", "-s", "0"}, 2, sizeRange + tryHelp},
        {{"split", "big.bin", "-s", "4097G"}, 2, sizeRange + tryHelp},
        {{"split", "big.bin", "-s", "2G"}, 1, "olvo-cli: File does not need splitting!\n"},
        {{"split", "big.bin", "-n", "32768"},
         2,
         "olvo-cli: No. of split files must be between 1 and 32,767\n" + tryHelp},
        {{"split", "big.bin"}, 2, "olvo-cli: split needs --size or --count\n" + tryHelp},
        {{"split", "big.bin", "-s", "1", "-n", "2"},
         2,
         "olvo-cli: --size excludes --count\n" + tryHelp},
        {{"config", "--split-to", "nowhere"}, 2, "olvo-cli: 'nowhere' is not a folder\n" + tryHelp},
        {{"split", "-", "--name", "d.tar", "-n", "3"},
         2,
         "olvo-cli: -n needs the size of the file, which standard input does not have: split - "
         "takes --size\n" +
             tryHelp},
        {{"split", "-", "-s", "1M"},
         2,
         "olvo-cli: split - needs --name NAME, the name of the file it makes\n" + tryHelp},
        {{"split", "big.bin", "--name", "d.tar", "-s", "1"},
         2,
         "olvo-cli: --name is only for standard input: split - --name NAME\n" + tryHelp},
        {{"restore", "big.bin.split", "-o", "x", "-d", "src"},
         2,
         "olvo-cli: -o and -d cannot be given together: -o names the file, folder and all\n" +
             tryHelp},
        {{"restore", "big.bin.split", "-o", "src"},
         1,
         "olvo-cli: 'src' is a folder: -o names the restored file; -d names a folder for it\n"},
    };
    for (const auto& c : cases) {
        const auto r = Cli(c.args, dir.Path());
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[0] << " " << c.args[1];
        EXPECT_EQ(r.err, c.err) << c.args[0] << " " << c.args[1];
        EXPECT_EQ(r.out, "") << c.args[0] << " " << c.args[1];
    }
    EXPECT_EQ(ReadFile(dir / "big.bin"), bytes);

    // The list of commands grows; the shape of the message does not. A word one letter off a
    // command (changed, added, left out, two swapped) is asked about; another is not.
    const struct {
        std::vector<std::string> args;
        std::string first, last;
    } wrongCommands[] = {
        {{"splt", "x"},
         "olvo-cli: 'splt' is not a command (split, restore, ",
         "; did you mean 'split'?"},
        {{"verfiy", "x"}, "olvo-cli: 'verfiy' is not a command (", "; did you mean 'verify'?"},
        {{"restores", "x"}, "olvo-cli: 'restores' is not a command (", "; did you mean 'restore'?"},
        {{"spl", "x"}, "olvo-cli: 'spl' is not a command (", ")"},
        {{}, "olvo-cli: a command is needed (split, restore, ", ")"},
    };
    for (const auto& c : wrongCommands) {
        const auto r = Cli(c.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err.rfind(c.first, 0), 0u) << r.err;
        EXPECT_EQ(r.err.substr(r.err.find(c.last + "\n")), c.last + "\n" + tryHelp) << r.err;
    }

    // A message of several lines, here with two carriage returns in the engine's text: each
    // becomes a line end, on a pipe as on a terminal. (Without its SHA-256 list, the set's own
    // checksum is what finds the damage.)
    WriteFile(dir / "big.s02", PatternBytes(1024, 9));
    ::unlink((dir / "big.bin.sha256").c_str());
    auto r = Cli({"restore", "big.bin.split", "-d", "src"}, dir.Path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "olvo-cli: Checksum error! The restored file may be corrupt. \n"
              "olvo-cli: Ensure that you have all split pieces in the same folder and try again. "
              "You may need to resplit the original file.\n");

    // Help names the whole command and ends with examples and the exit status.
    for (const char* command : {"split", "restore", "verify", "checksum", "config"}) {
        const auto help = Cli({command, "--help"});
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_NE(help.out.find(std::string("\nUsage: olvo-cli ") + command + " "),
                  std::string::npos)
            << help.out;
        EXPECT_NE(help.out.find("Examples:\n  olvo-cli " + std::string(command)), std::string::npos)
            << help.out;
        EXPECT_NE(help.out.find("\nExit status: 0 "), std::string::npos) << help.out;
    }
    auto version = Cli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("olvo-cli (Kestrava File Splitter) ", 0), 0u);

    WriteFile(dir / "24",
              std::string(12, '\0') + "\xFF\xFF\xFF\xFF" + std::string("\x02\0\0\0\0\0\0\0", 8));
    r = Cli({"checksum", dir / "24"});
    EXPECT_EQ(r.out, "1\n");
}

#ifndef _WIN32
// A stream through real pipes, as a user types it: tar into split -, restore -o - into tar. A
// damaged piece stops the stream with only the whole pieces before it written.
TEST(Cli, StreamsThroughRealPipes) {
    TempDir dir;
    MakeFolder(dir / "d");
    MakeFolder(dir / "out");
    WriteFile(dir / "d/a.bin", PatternBytes(2500000));
    WriteFile(dir / "d/b.txt", "hello\n");
    const auto sh = [&](const std::string& command) {
        return RunProgram("/bin/sh", {"-c", command}, "", dir.Path(),
                          {"XDG_CONFIG_HOME=" + ConfigHome().Path(), "CLI=" OLVO_CLI_PATH});
    };
    const std::string tar = sh("tar c d").out;
    auto r = sh("tar c d | \"$CLI\" split - --name d.tar -s 1M -d out");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Split standard input (" + GroupThousands(tar.size(), ",") +
                         " bytes) into 3 pieces of d.tar in " + (dir / "out") + "\n");
    EXPECT_EQ(Joined(Pieces(dir / "out", "d")), tar);
    r = sh("\"$CLI\" restore out/d.tar.split -o - | tar t");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "d/\nd/a.bin\nd/b.txt\n");
    r = Cli({"restore", "out/d.tar.split", "-o", "-"}, dir.Path());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out == tar);
    EXPECT_EQ(r.err, "");
    // -o names the file, in any folder.
    r = Cli({"restore", "out/d.tar.split", "-o", "d/copy.tar"}, dir.Path());
    EXPECT_EQ(r.out, "Restored " + (dir / "d/copy.tar") + "\n") << r.err;
    EXPECT_TRUE(ReadFile(dir / "d/copy.tar") == tar);
    // A reader that stops early ends the stream as it ends cat: SIGPIPE, nothing said.
    r = sh("{ \"$CLI\" restore out/d.tar.split -o -; echo $? >&2; } | head -c 10 >/dev/null");
    EXPECT_EQ(r.err, "141\n");

    std::string piece = ReadFile(dir / "out/d.s02");
    piece[7] ^= 1;
    WriteFile(dir / "out/d.s02", piece);
    r = Cli({"restore", "out/d.tar.split", "-o", "-"}, dir.Path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out == ReadFile(dir / "out/d.s01"));
    EXPECT_EQ(r.err,
              "olvo-cli: Piece d.s02 is damaged: its SHA-256 does not match d.tar.sha256!\n");
    // With a recovery piece the damaged piece is rebuilt before a byte of it goes out.
    MakeFolder(dir / "rec");
    const std::string tarWithCopy = sh("tar c d").out;
    r = sh("tar c d | \"$CLI\" split - --name d.tar -s 1M -d rec --recovery 1");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    WriteFile(dir / "rec/d.s02", piece);
    r = Cli({"restore", "rec/d.tar.split", "-o", "-"}, dir.Path());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out == tarWithCopy);
    EXPECT_EQ(r.err, "olvo-cli: Rebuilt piece d.s02 from the recovery pieces\n");
}
#endif

TEST(Cli, WithoutATerminalAMissingPieceIsCancelled) {
    TempDir dir;
    WriteFile(dir / "p.bin", PatternBytes(5000));
    ASSERT_EQ(Cli({"split", dir / "p.bin", "-s", "1"}).exitCode, 0);
    ::unlink((dir / "p.s03").c_str());
    ::unlink((dir / "p.bin").c_str());
    const auto r = Cli({"restore", dir / "p.bin.split"}, "", "r\nr\nr\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "olvo-cli: Restore: Please insert source #2\nolvo-cli: The piece p.s03 is "
              "looked for in " +
                  dir.Path() + ".\nolvo-cli: Operation aborted!\n");
    // A claim of more pieces than bytes is no set at all.
    WriteFile(dir / "p.bin.split", "4294967295\r\nx\r\n5000\r\n0\r\n");
    EXPECT_EQ(Cli({"restore", dir / "p.bin.split"}).err, "olvo-cli: Not a valid .split file!\n");
}

#ifndef _WIN32  // a pseudo-terminal
TEST(Cli, OnATerminalOneKeyAnswersAndCtrlCStops) {
    TempDir dir;
    const std::string bytes = PatternBytes(300 * 1024);
    WriteFile(dir / "t.bin", bytes);
    ASSERT_EQ(Cli({"split", dir / "t.bin", "-s", "100"}).exitCode, 0);
    ::unlink((dir / "t.bin").c_str());
    ASSERT_EQ(::rename((dir / "t.s02").c_str(), (dir / "t.s02.away").c_str()), 0);
    const std::string question = "[R]etry or [C]ancel? ";
    auto count = [](const std::string& text, const std::string& part) {
        std::size_t n = 0;
        for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
        return n;
    };

    // Single keys, no Enter: R, then Enter alone (also Retry), then C.
    auto r =
        RunInTerminal(OLVO_CLI_PATH, {"restore", dir / "t.bin.split"}, question, {"r", "\r", "C"});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_EQ(count(r.out, "olvo-cli: Restore: Please insert source #2\r\n"), 3u) << r.out;
    EXPECT_NE(r.out.find("olvo-cli: Operation aborted!"), std::string::npos) << r.out;

    // Ctrl-C at the question is Cancel, with the exit status of the signal.
    r = RunInTerminal(OLVO_CLI_PATH, {"restore", dir / "t.bin.split"}, question, {"\x03"});
    EXPECT_EQ(r.exitCode, 130) << r.out;
    EXPECT_NE(r.out.find("olvo-cli: Operation aborted!"), std::string::npos) << r.out;

    // With the piece back, the restore runs through with its bar; -q: no bar.
    ASSERT_EQ(::rename((dir / "t.s02.away").c_str(), (dir / "t.s02").c_str()), 0);
    r = RunInTerminal(OLVO_CLI_PATH, {"restore", dir / "t.bin.split"}, "?", {});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("Restoring File... ["), std::string::npos) << r.out;
    EXPECT_EQ(ReadFile(dir / "t.bin"), bytes);
    r = RunInTerminal(OLVO_CLI_PATH, {"restore", "-q", dir / "t.bin.split"}, "?", {});
    EXPECT_EQ(r.out.find("Restoring File..."), std::string::npos) << r.out;

    // Ctrl-C part-way through a split of many pieces stops it between two of them: no
    // descriptor claims a set that is not all there.
    WriteFile(dir / "many.bin", PatternBytes(32000 * 1024));
    r = RunInTerminal(OLVO_CLI_PATH, {"split", dir / "many.bin", "-s", "1"}, "Splitting File... [",
                      {"\x03"});
    EXPECT_EQ(r.exitCode, 130) << r.out;
    EXPECT_NE(r.out.find("olvo-cli: Operation aborted!"), std::string::npos) << r.out;
    EXPECT_FALSE(Exists(dir / "many.bin.split"));
    EXPECT_FALSE(Exists(dir / "many.s01"));
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
    const std::string hive = HiveText(*ParseHive(ReadFile(ConfigHome() / "Kestrava/registry.reg")));
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

// The settings store as the terminal tool meets it: commands that only read never create it,
// --sizes takes what -s takes, a damaged hive is kept aside (and said so) only when it is a file
// of its own, a link is never written through, and a held lock is not waited for for ever.
TEST(Cli, TheSettingsStoreIsOnlyWrittenWhenAskedTo) {
    TempDir dir, home;
    const std::string folder = home / "Kestrava", hive = folder + "/registry.reg";
    const auto run = [&](const std::vector<std::string>& args) {
        return RunProgram(OLVO_CLI_PATH, args, "", dir.Path(), {"XDG_CONFIG_HOME=" + home.Path()});
    };
    WriteFile(dir / "f.bin", PatternBytes(3000));
    ASSERT_EQ(run({"config"}).exitCode, 0);
    ASSERT_EQ(run({"split", "f.bin", "-s", "1"}).exitCode, 0);
    ASSERT_EQ(run({"restore", "f.bin.split", "--overwrite"}).exitCode, 0);
    EXPECT_FALSE(Exists(folder)) << "a command that only reads created the settings";

    const std::string refused =
        "olvo-cli: --sizes takes split sizes between 1 and 4,294,967,296KB, separated by commas, "
        "each given as whole kilobytes of 1024 bytes, or a whole number followed by K, M, G or T "
        "(or KiB, MiB, GiB, TiB: powers of 1024) or KB, MB, GB, TB (powers of 1000): ";
    for (const std::string bad : {"1420,abc,-5", "0", "5T", "10,,20", ""}) {
        const auto r = run({"config", "--sizes", bad});
        EXPECT_EQ(r.exitCode, 2) << bad;
        EXPECT_EQ(r.err, refused + bad + "\nTry 'olvo-cli --help'.\n");
    }
    EXPECT_FALSE(Exists(folder));
    // Whole kilobytes are stored as such, which every version reads; other sizes as spelt.
    auto r = run({"config", "--sizes", "1420, 700M,1G,64kib,4T,25MB"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Split Sizes: 1420,716800,1048576,64,4294967296,25MB\n"),
              std::string::npos)
        << r.out;

    // Not a hive, as a file of its own: read as defaults (said so), kept aside by the next save.
    WriteFile(hive, "not a hive\n");
    r = run({"config"});
    EXPECT_EQ(r.err,
              "olvo-cli: The settings file " + hive + " cannot be read; the defaults are used.\n");
    EXPECT_FALSE(Exists(hive + ".bad"));
    r = run({"config", "--sizes", "10"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.err.find("it was kept as " + hive + ".bad."), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(hive + ".bad"), "not a hive\n");

    // A link to a file that is not a hive: neither renamed nor written through.
    const std::string other = dir / "notes.txt";
    WriteFile(other, "my notes\n");
    ::unlink(hive.c_str());
    ASSERT_EQ(::symlink(other.c_str(), hive.c_str()), 0);
    r = run({"config", "--sizes", "20"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "olvo-cli: " + hive + " is a link to " + other +
                         ", which is not a settings file; the settings cannot be saved there.\n"
                         "olvo-cli: Failed to create key File Splitter\n");
    EXPECT_EQ(ReadFile(other), "my notes\n");
    EXPECT_FALSE(Exists(other + ".bad"));
    struct stat st {};
    ASSERT_EQ(::lstat(hive.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    // Another program holds the lock: reading goes on without it, saving fails; both say so.
    ::unlink(hive.c_str());
    ASSERT_EQ(run({"config", "--sizes", "30"}).exitCode, 0);
    const int lock = ::open((hive + ".lock").c_str(), O_RDWR);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    const std::string held = "olvo-cli: The settings file " + hive +
                             " is held by another program; it was read without waiting longer, "
                             "and nothing can be saved to it now.\n";
    r = run({"config"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, held);
    EXPECT_NE(r.out.find("Split Sizes: 30\n"), std::string::npos);
    r = run({"config", "--sizes", "40"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind(held, 0), 0u) << r.err;
    ::close(lock);
}

// The README's recipe for joining pieces by hand, run by bash on a set of 2,048 pieces.
TEST(Cli, TheReadmesRecipeRebuildsALargeSet) {
    const std::string readme = ReadFile(OLVO_SOURCE_DIR "/README.md");
    const std::size_t start = readme.find("```sh\n", readme.find("put together by hand"));
    ASSERT_NE(start, std::string::npos);
    const std::string recipe = readme.substr(start + 6, readme.find("```", start + 6) - start - 6);
    TempDir dir;
    const std::string bytes = PatternBytes(2048 * 1024, 5);
    WriteFile(dir / "Holiday.avi", bytes);
    ASSERT_EQ(Cli({"split", dir / "Holiday.avi", "-s", "1", "-q"}).exitCode, 0);
    ASSERT_TRUE(Exists(dir / "Holiday.s2048"));
    ::unlink((dir / "Holiday.avi").c_str());
    const auto r = RunProgram("/bin/bash", {"-c", recipe}, "", dir.Path());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(ReadFile(dir / "Holiday.avi") == bytes);
    // A missing piece stops it with an error.
    ::unlink((dir / "Holiday.s1000").c_str());
    EXPECT_NE(RunProgram("/bin/bash", {"-c", recipe}, "", dir.Path()).exitCode, 0);
}

// Starts olvo-cli with args, without a terminal and its stderr into errPath.
pid_t StartCli(const std::vector<std::string>& args, const std::string& errPath, int input = -1) {
    const pid_t child = ::fork();
    if (child != 0) return child;
    const int null = ::open("/dev/null", O_RDWR);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(input >= 0 ? input : null, 0);
    ::dup2(null, 1);
    ::dup2(err, 2);
    ::setenv("XDG_CONFIG_HOME", ConfigHome().Path().c_str(), 1);
    std::vector<char*> argv = {const_cast<char*>(OLVO_CLI_PATH)};
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(OLVO_CLI_PATH, argv.data());
    ::_exit(127);
}

// The exit status as a shell reports it: 128 + N for an end by signal N.
int Status(pid_t child) {
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 20000 && !done(); ++i) ::usleep(500);
}

// A stream whose writer stalls, stopped by a signal: the wait for data ends at once, and what
// the split wrote goes.
TEST(Cli, AStreamWhoseWriterStallsStopsOnASignal) {
    TempDir dir;
    MakeFolder(dir / "out");
    int pipe[2];
    ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
    const pid_t child = StartCli({"split", "-", "--name", "s.bin", "-s", "64", "-d", dir / "out"},
                                 dir / "err", pipe[0]);
    // More than a few steps of the copy, so that pieces are written before the writer stalls.
    const std::string bytes = PatternBytes(200000);
    ASSERT_EQ(::write(pipe[1], bytes.data(), bytes.size()), 200000);
    WaitFor([&] { return Exists(dir / "out/s.s03"); });
    ::usleep(300000);  // the bytes at hand written, it waits for more
    ::kill(child, SIGTERM);
    int status = 0;
    bool ended = false;
    WaitFor([&] { return ended = ::waitpid(child, &status, WNOHANG) == child; });
    ::close(pipe[0]);
    ::close(pipe[1]);  // a split still waiting for data sees its end now
    if (!ended) ::waitpid(child, &status, 0);
    EXPECT_TRUE(ended) << "the wait for data outlived the signal";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGTERM) << status;
    EXPECT_EQ(ReadFile(dir / "err"), "olvo-cli: Operation aborted!\n");
    EXPECT_EQ(MakeSystemFileSystem()->List(dir / "out"), std::vector<std::string>{});
}

// A split of 32 pieces stopped after its first: what it wrote goes, and the same split runs again.
TEST(Cli, ASplitStoppedBySignalsCleansUp) {
    TempDir dir;
    WriteFile(dir / "big", "");
    ASSERT_EQ(::truncate((dir / "big").c_str(), 256 << 20), 0);
    MakeFolder(dir / "out");
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
        const pid_t child = StartCli(
            {"--buffered-copy", "split", dir / "big", "-s", "8M", "-d", dir / "out"}, dir / "err");
        WaitFor([&] { return Exists(dir / "out/big.s02"); });
        ::kill(child, signal);
        EXPECT_EQ(Status(child), 128 + signal);
        if (signal == SIGKILL) break;
        EXPECT_EQ(ReadFile(dir / "err"), "olvo-cli: Operation aborted!\n") << signal;
        EXPECT_EQ(MakeSystemFileSystem()->List(dir / "out"), std::vector<std::string>{}) << signal;
    }
    // Killed while replacing that set by one of fewer pieces, once the pieces past its count went.
    ASSERT_EQ(Cli({"split", dir / "big", "-s", "64M", "-d", dir / "out"}).exitCode, 0);
    const pid_t child = StartCli(
        {"--buffered-copy", "split", dir / "big", "-s", "128M", "-d", dir / "out"}, dir / "err");
    WaitFor([&] { return !Exists(dir / "out/big.s03"); });
    ::kill(child, SIGKILL);
    Status(child);
    const auto r = Cli({"split", dir / "big", "-s", "128M", "-d", dir / "out"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    auto names = MakeSystemFileSystem()->List(dir / "out");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"big.bat", "big.s01", "big.s02", "big.sha256",
                                               "big.split"}));
    EXPECT_EQ(Cli({"verify", dir / "out/big.split"}).exitCode, 0);
}

// Without a terminal the wait for another split of the name is said at once, and given up.
TEST(Cli, ASplitWaitsForAnotherOnlySoLongWithoutATerminal) {
    TempDir dir;
    WriteFile(dir / "f.bin", PatternBytes(5000));
    const int lock = ::open((dir / ".f.olvo-lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    const auto start = std::chrono::steady_clock::now();
    const auto r = Cli({"split", dir / "f.bin", "-s", "1"});
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.exitCode, 1);
    const std::string what = "split of f.bin into " + dir.Path();
    EXPECT_EQ(r.err, "olvo-cli: waiting for another " + what + "...\nolvo-cli: Another " + what +
                         " is running!\n");
    EXPECT_TRUE(waited > std::chrono::seconds(9) && waited < std::chrono::seconds(20));
    EXPECT_FALSE(Exists(dir / "f.s01"));
    ::close(lock);
}
#endif

}  // namespace
}  // namespace olvo
