// What a new user may throw at the terminal tool: every case ends with a clear message, in
// time, and harms no file.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/engine/SplitSet.h"
#include "support/EngineHarness.h"
#include "support/RunProgram.h"

namespace olvo {
namespace {

using namespace test;

ProgramResult Cli(const TempDir& home, const std::vector<std::string>& args) {
    return RunProgram(OLVO_CLI_PATH, args, "", "", {"XDG_CONFIG_HOME=" + home.Path()});
}

TEST(BadInput, SourcesThatAreNotFiles) {
    TempDir dir, home;
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    ASSERT_EQ(::symlink((dir / "loop").c_str(), (dir / "loop").c_str()), 0);
    const std::pair<std::string, std::string> cases[] = {
        {dir / "missing.bin",
         "cannot open '" + dir / "missing.bin" + "': No such file or directory"},
        {dir.Path(), "'" + dir.Path() + "' is a folder, not a file"},
        {"/dev/zero", "'/dev/zero' is not a regular file"},
        {dir / "pipe", "'" + dir / "pipe" + "' is not a regular file"},
        {dir / "loop", "cannot open '" + dir / "loop" + "': Too many levels of symbolic links"},
    };
    for (const auto& [source, message] : cases) {
        const auto r = Cli(home, {"split", source, "-s", "1", "-d", dir.Path()});
        EXPECT_EQ(r.exitCode, 1) << source;
        EXPECT_EQ(r.err, "olvo-cli: " + message + "\n") << source;
    }
    const auto r = Cli(home, {"checksum", dir / "pipe"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "olvo-cli: '" + dir / "pipe" + "' is not a regular file\n");
}

TEST(BadInput, DescriptorsThatAreNotFilesOrHoldRubbish) {
    TempDir dir, home;
    ASSERT_EQ(::mkfifo((dir / "pipe.split").c_str(), 0600), 0);
    auto r = Cli(home, {"restore", dir / "pipe.split"});
    EXPECT_EQ(r.err, "olvo-cli: '" + dir / "pipe.split" + "' is not a regular file\n");
    ::mkdir((dir / "folder.split").c_str(), 0700);
    r = Cli(home, {"restore", dir / "folder.split"});
    EXPECT_EQ(r.err, "olvo-cli: '" + dir / "folder.split" + "' is a folder, not a file\n");

    WriteFile(dir / "noise.split", PatternBytes(4096, 3));
    r = Cli(home, {"restore", dir / "noise.split"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "olvo-cli: Invalid numeric input!\n");
    EXPECT_FALSE(Exists(dir / "noise"));

    // A piece that is a pipe is not a piece: the restore asks for it and, without a user, stops.
    WriteFile(dir / "p.bin", PatternBytes(3000));
    ASSERT_EQ(Cli(home, {"split", dir / "p.bin", "-s", "1"}).exitCode, 0);
    ::unlink((dir / "p.s02").c_str());
    ASSERT_EQ(::mkfifo((dir / "p.s02").c_str(), 0600), 0);
    ::mkdir((dir / "out").c_str(), 0700);
    r = Cli(home, {"restore", dir / "p.bin.split", "-d", dir / "out"});
    EXPECT_EQ(r.err,
              "olvo-cli: Restore: Please insert source #2\nolvo-cli: The piece p.s02 is "
              "looked for in " +
                  dir.Path() + ".\nolvo-cli: Operation aborted!\n");
}

TEST(BadInput, NamesOfEveryKind) {
    TempDir dir, home;
    for (const std::string name :
         {"with space.bin", "año – ñandú.bin", "100%.bin", "it's.bin", "semi;colon&amp.bin"}) {
        const std::string bytes = PatternBytes(2500);
        WriteFile(dir / name, bytes);
        auto r = Cli(home, {"split", dir / name, "-s", "1"});
        ASSERT_EQ(r.exitCode, 0) << name << r.err;
        ::unlink((dir / name).c_str());
        r = Cli(home, {"restore", dir / (name + ".split")});
        ASSERT_EQ(r.exitCode, 0) << name << r.err;
        EXPECT_EQ(ReadFile(dir / name), bytes) << name;
    }
    // Names no batch file can carry split all the same; the batch file says so when run.
    for (const std::string name : {"quo\"te.bin", "line\nbreak.bin"}) {
        WriteFile(dir / name, PatternBytes(2500));
        const auto r = Cli(home, {"split", dir / name, "-s", "1"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(ReadFile(dir / (name + ".bat")).find("cannot be written in a batch file"),
                  std::string::npos);
    }
}

// A real full medium: a small tmpfs, where mounting is permitted.
TEST(BadInput, AFullDestination) {
    TempDir dir, home;
    ::mkdir((dir / "small").c_str(), 0700);
    if (::mount("tmpfs", (dir / "small").c_str(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{dir / "small"};

    const std::string bytes = PatternBytes(400 * 1024);
    WriteFile(dir / "big.bin", bytes);
    // Split: the space check finds room for two 100 KB pieces, then asks for a new medium.
    auto r = Cli(home, {"split", dir / "big.bin", "-s", "100", "-d", dir / "small"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "olvo-cli: Split: The split file being copied is too large for the destination "
              "drive.\nolvo-cli: Insert new media to continue.\nolvo-cli: Operation aborted!\n");
    EXPECT_EQ(ReadFile(dir / "small/big.s01"), bytes.substr(0, 100 * 1024));
    EXPECT_EQ(ReadFile(dir / "big.bin"), bytes);

    // Restore: the whole file does not fit; nothing is created.
    ASSERT_EQ(Cli(home, {"split", dir / "big.bin", "-s", "100"}).exitCode, 0);
    ::unlink((dir / "small/big.s01").c_str());
    ::unlink((dir / "small/big.s02").c_str());
    r = Cli(home, {"restore", dir / "big.bin.split", "-d", dir / "small"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "olvo-cli: The restored file will be too large for the destination drive.\n"
              "olvo-cli: Please select a new drive or insert higher capacity media.\n");
    EXPECT_FALSE(Exists(dir / "small/big.bin"));
    EXPECT_TRUE(Exists(dir / "big.s04"));

    // A medium mounted read-only is named before anything is tried.
    ASSERT_EQ(::mount(nullptr, (dir / "small").c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr),
              0);
    r = RunProgram(OLVO_CLI_PATH, {"split", "big.bin", "-s", "100", "-d", "small"}, "", dir.Path(),
                   {"XDG_CONFIG_HOME=" + home.Path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "olvo-cli: cannot write to 'small': Read-only file system\n");
}

}  // namespace
}  // namespace olvo
