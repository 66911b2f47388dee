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
#include <filesystem>
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

// Starts olvo-cli with args, stdin from /dev/null and stdout and stderr where given (/dev/null
// for -1), with every signal as a shell leaves it.
pid_t Start(const TempDir& home, const std::vector<std::string>& args, int out = -1, int err = -1) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(out >= 0 ? out : null, 1);
    ::dup2(err >= 0 ? err : null, 2);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (const int signal : {SIGPIPE, SIGHUP, SIGTERM, SIGINT}) ::signal(signal, SIG_DFL);
    ::setenv("XDG_CONFIG_HOME", home.Path().c_str(), 1);
    std::vector<char*> argv{const_cast<char*>(OLVO_CLI_PATH)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
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

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
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

// Output into a full disk is a failure with its reason, as coreutils report it, whatever the
// command, and even when the command itself succeeded.
TEST(BadInput, OutputThatCannotBeWritten) {
    TempDir dir, home;
    WriteFile(dir / "f.bin", PatternBytes(3000));
    ASSERT_EQ(Cli(home, {"split", dir / "f.bin", "-s", "1"}).exitCode, 0);
    const std::vector<std::vector<std::string>> commands = {
        {"checksum", dir / "f.bin"},
        {"verify", dir / "f.bin.split"},
        {"config"},
        {"config", "--sizes", "5"},
        {"split", dir / "f.bin", "-s", "2", "-d", dir / "again"},
        {"restore", dir / "f.bin.split", "-d", dir / "rebuilt"},
        {"--help"},
    };
    MakeFolder(dir / "again");
    MakeFolder(dir / "rebuilt");
    const int full = ::open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    for (const auto& args : commands) {
        const int err = ::open((dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        EXPECT_EQ(Wait(Start(home, args, full, err)), 1) << args[0];
        ::close(err);
        EXPECT_EQ(ReadFile(dir / "err"), "olvo-cli: write error: No space left on device\n")
            << args[0];
    }
    ::close(full);
}

// SIGHUP, SIGPIPE and SIGTERM stop a split as Cancel does, each with its own exit status, and
// no descriptor claims the pieces; a restore whose question goes into a pipe nobody reads is
// cancelled, not killed, and leaves nothing.
TEST(BadInput, SignalsStopAnOperationAsCancelDoes) {
    TempDir dir, home;
    WriteFile(dir / "many.bin", PatternBytes(32000 * 1024));
    for (const auto& [signal, status] : {std::pair{SIGHUP, 129}, {SIGPIPE, 141}, {SIGTERM, 143}}) {
        const std::string out = dir / ("out" + std::to_string(signal));
        MakeFolder(out);
        const pid_t pid = Start(home, {"split", dir / "many.bin", "-s", "1", "-q", "-d", out});
        while (!Exists(out + "/many.s02") && ::waitpid(pid, nullptr, WNOHANG) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ::kill(pid, signal);
        EXPECT_EQ(Wait(pid), status) << signal;
        EXPECT_FALSE(Exists(out + "/many.bin.split")) << signal;
    }

    WriteFile(dir / "p.bin", PatternBytes(3 * 1024 * 1024));
    ASSERT_EQ(Cli(home, {"split", dir / "p.bin", "-s", "1024"}).exitCode, 0);
    ::unlink((dir / "p.s02").c_str());
    MakeFolder(dir / "rebuilt");
    int closed[2];
    ASSERT_EQ(::pipe(closed), 0);
    ::close(closed[0]);
    EXPECT_EQ(
        Wait(Start(home, {"restore", dir / "p.bin.split", "-d", dir / "rebuilt"}, -1, closed[1])),
        141);
    ::close(closed[1]);
    EXPECT_TRUE(Names(dir / "rebuilt").empty());
}

// Killed at any moment, a change of the settings leaves the old ones or the new ones, never a
// mix; the temporary file a kill left is removed by the next change, and nothing else is.
TEST(BadInput, AKilledConfigLeavesTheOldSettingsOrTheNew) {
    TempDir dir, home;
    const auto change = [&](const std::string& folder, const std::string& sizes) {
        MakeFolder(dir / folder);
        return std::vector<std::string>{"config",     "--split-to", dir / folder, "--restore-to",
                                        dir / folder, "--sizes",    sizes};
    };
    const auto shown = [&](const std::string& folder, const std::string& sizes) {
        return "Split To Folder: yes\nSplit Folder Name: " + dir / folder +
               "\nRestore To Folder: yes\nRestore Folder Name: " + dir / folder +
               "\nSplit Sizes: " + sizes + "\n";
    };
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Cli(home, change("a", "1")).exitCode, 0);
    const auto run = std::chrono::steady_clock::now() - start;
    std::mt19937 random(7);
    for (int round = 0; round < 12; ++round) {
        const auto target = round % 2 == 0 ? change("b", "2") : change("a", "1");
        const pid_t pid = Start(home, target);
        std::this_thread::sleep_for(run * std::uniform_real_distribution<>(0.1, 1.2)(random));
        ::kill(pid, SIGKILL);
        Wait(pid);
        const std::string now = Cli(home, {"config"}).out;
        EXPECT_TRUE(now == shown("a", "1") || now == shown("b", "2")) << now;
        ASSERT_EQ(Cli(home, target).exitCode, 0);
    }
    const std::string folder = home / "Kestrava";
    WriteFile(folder + "/registry.reg.new-Ab12cD", "left by a kill");
    WriteFile(folder + "/registry.reg.backup", "the user's");
    WriteFile(folder + "/registry.reg.new-notes", "the user's");
    ASSERT_EQ(Cli(home, change("c", "3")).exitCode, 0);
    auto names = Names(folder);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"registry.reg", "registry.reg.backup",
                                               "registry.reg.lock", "registry.reg.new-notes"}));
}

// Three writers at once, each changing another value: each keeps its change. A lock file that
// is a dangling link is neither followed nor its target made, and the change fails, said so.
TEST(BadInput, ConcurrentConfigWritersEachKeepTheirChange) {
    TempDir dir, home;
    for (int round = 0; round < 5; ++round) {
        const std::string r = std::to_string(round);
        MakeFolder(dir / ("s" + r));
        MakeFolder(dir / ("r" + r));
        ASSERT_EQ(
            Cli(home, {"config", "--no-split-to", "--no-restore-to", "--sizes", "1"}).exitCode, 0);
        std::vector<std::future<ProgramResult>> writers;
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"config", "--split-to", dir / ("s" + r)},
              {"config", "--restore-to", dir / ("r" + r)},
              {"config", "--sizes", "10" + r}}) {
            writers.push_back(
                std::async(std::launch::async, [&home, args] { return Cli(home, args); }));
        }
        for (auto& writer : writers) EXPECT_EQ(writer.get().exitCode, 0);
        EXPECT_EQ(Cli(home, {"config"}).out,
                  "Split To Folder: yes\nSplit Folder Name: " + dir / ("s" + r) +
                      "\nRestore To Folder: yes\nRestore Folder Name: " + dir / ("r" + r) +
                      "\nSplit Sizes: 10" + r + "\n");
    }
    const std::string lock = home / "Kestrava/registry.reg.lock";
    ::unlink(lock.c_str());
    ASSERT_EQ(::symlink((dir / "made").c_str(), lock.c_str()), 0);
    const auto r = Cli(home, {"config", "--sizes", "7"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "olvo-cli: The settings lock file " + lock +
                         " is a symbolic link, which is not followed; nothing can be saved to "
                         "the settings until it is removed.\n"
                         "olvo-cli: Failed to set data for 'Split To Folder'\n");
    EXPECT_FALSE(Exists(dir / "made"));
}

}  // namespace
}  // namespace olvo
