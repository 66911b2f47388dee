// What a new user may throw at the terminal tool: every case ends with a clear message, in
// time, and harms no file.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <future>
#include <random>
#include <thread>

#include "core/engine/SplitSet.h"
#include "support/EngineHarness.h"
#include "support/RunProgram.h"

namespace olvo {
namespace {

using namespace test;

ProgramResult Cli(const TempDir& home, const std::vector<std::string>& args) {
    return RunProgram(OLVO_CLI_PATH, args, "", "", {"XDG_CONFIG_HOME=" + home.Path()});
}

// Starts olvo-cli with stdin from /dev/null, stdout and stderr where given (/dev/null for -1).
pid_t Start(const TempDir& home, std::vector<std::string> args, int out = -1, int err = -1) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    const int null = ::open("/dev/null", O_RDWR);
    for (const int fd : {0, 1, 2})
        ::dup2(fd == 1 && out >= 0 ? out : fd == 2 && err >= 0 ? err : null, fd);
    ::setenv("XDG_CONFIG_HOME", home.Path().c_str(), 1);
    std::vector<char*> argv{const_cast<char*>(OLVO_CLI_PATH)};
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    ::execv(OLVO_CLI_PATH, argv.data());
    ::_exit(127);
}

// The exit status as a shell gives it: 128 + N for a program ended by signal N.
int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
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
    EXPECT_FALSE(Exists(dir / "small/big.s01"));  // Cancel takes the pieces away
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

// Output into a full disk is a failure with its reason, as coreutils report it, whatever the
// command, and even when the command itself succeeded.
TEST(BadInput, OutputThatCannotBeWritten) {
    TempDir dir, home;
    WriteFile(dir / "f.bin", PatternBytes(3000));
    ASSERT_EQ(Cli(home, {"split", dir / "f.bin", "-s", "1"}).exitCode, 0);
    MakeFolder(dir / "out");
    const int full = ::open("/dev/full", O_WRONLY);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"checksum", dir / "f.bin"},
          {"verify", dir / "f.bin.split"},
          {"config", "--sizes", "5"},
          {"split", dir / "f.bin", "-s", "2", "-d", dir / "out"},
          {"restore", dir / "f.bin.split", "-d", dir / "out"}}) {
        const int err = ::open((dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        EXPECT_EQ(Wait(Start(home, args, full, err)), 1) << args[0];
        ::close(err);
        EXPECT_EQ(ReadFile(dir / "err"), "olvo-cli: write error: No space left on device\n");
    }
    ::close(full);
}

// SIGHUP, SIGPIPE and SIGTERM stop a split as Cancel does, each with its exit status; a restore
// whose question goes into a pipe nobody reads is cancelled, not killed, and leaves nothing.
TEST(BadInput, SignalsStopAnOperationAsCancelDoes) {
    TempDir dir, home;
    WriteFile(dir / "many.bin", PatternBytes(32000 * 1024));
    for (const auto& [signal, status] : {std::pair{SIGHUP, 129}, {SIGPIPE, 141}, {SIGTERM, 143}}) {
        const std::string out = dir / std::to_string(signal);
        MakeFolder(out);
        const pid_t pid = Start(home, {"split", dir / "many.bin", "-s", "1", "-d", out});
        while (!Exists(out + "/many.s02") && ::waitpid(pid, nullptr, WNOHANG) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ::kill(pid, signal);
        EXPECT_EQ(Wait(pid), status);
        EXPECT_FALSE(Exists(out + "/many.bin.split"));
    }
    ASSERT_EQ(Cli(home, {"split", dir / "many.bin", "-s", "10000"}).exitCode, 0);
    ::unlink((dir / "many.s02").c_str());
    int closed[2];
    ASSERT_EQ(::pipe(closed), 0);
    ::close(closed[0]);
    MakeFolder(dir / "out");
    EXPECT_EQ(
        Wait(Start(home, {"restore", dir / "many.bin.split", "-d", dir / "out"}, -1, closed[1])),
        141);
    EXPECT_EQ(::rmdir((dir / "out").c_str()), 0) << "the restore left a file";
}

// A change of the settings killed at any moment leaves the old ones or the new ones, never a
// mix; three writers at once, each changing another value, each keep their change. A kill's
// temporary file goes with the next change, and nothing else does.
TEST(BadInput, ConfigWritersKilledOrConcurrent) {
    TempDir dir, home;
    const auto change = [&](const std::string& folder, const std::string& sizes) {
        MakeFolder(dir / folder);
        return std::vector<std::string>{"config",     "--split-to", dir / folder, "--restore-to",
                                        dir / folder, "--sizes",    sizes};
    };
    const auto shown = [&](const std::string& split, const std::string& restore,
                           const std::string& sizes) {
        return "Split To Folder: yes\nSplit Folder Name: " + dir / split +
               "\nRestore To Folder: yes\nRestore Folder Name: " + dir / restore +
               "\nSplit Sizes: " + sizes + "\n";
    };
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Cli(home, change("a", "1")).exitCode, 0);
    const auto run = std::chrono::steady_clock::now() - start;
    std::mt19937 random(7);
    for (int round = 0; round < 30; ++round) {
        const auto target = round % 2 == 0 ? change("b", "2") : change("a", "1");
        const pid_t pid = Start(home, target);
        std::this_thread::sleep_for(run * std::uniform_real_distribution<>(0.3, 1.1)(random));
        ::kill(pid, SIGKILL);
        Wait(pid);
        const std::string now = Cli(home, {"config"}).out;
        EXPECT_TRUE(now == shown("a", "a", "1") || now == shown("b", "b", "2")) << now;
        ASSERT_EQ(Cli(home, target).exitCode, 0);
    }
    for (const std::string name : {"new-Ab12cD", "backup", "new-notes"})
        WriteFile(home / "Kestrava/registry.reg." + name, "");
    for (int round = 0; round < 5; ++round) {
        const std::string r = std::to_string(round);
        ASSERT_EQ(Cli(home, change("c", "3")).exitCode, 0);
        MakeFolder(dir / ("s" + r));
        MakeFolder(dir / ("t" + r));
        std::vector<std::future<ProgramResult>> writers;
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"config", "--split-to", dir / ("s" + r)},
              {"config", "--restore-to", dir / ("t" + r)},
              {"config", "--sizes", "1" + r}})
            writers.push_back(
                std::async(std::launch::async, [&, args] { return Cli(home, args); }));
        for (auto& writer : writers) EXPECT_EQ(writer.get().exitCode, 0);
        EXPECT_EQ(Cli(home, {"config"}).out, shown("s" + r, "t" + r, "1" + r));
    }
    EXPECT_FALSE(Exists(home / "Kestrava/registry.reg.new-Ab12cD"));
    EXPECT_TRUE(Exists(home / "Kestrava/registry.reg.backup") &&
                Exists(home / "Kestrava/registry.reg.new-notes"));
}

}  // namespace
}  // namespace olvo
