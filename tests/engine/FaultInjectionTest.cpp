// Every call the engine makes to the file system is failed in turn: whichever it is, the
// operation reports a failure with a message, leaves the source and the split set as they were,
// closes every file and takes its progress window down.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>

#include "support/EngineHarness.h"

namespace olvo {

// How a test's name shows a copy method.
static void PrintTo(CopyMethod method, std::ostream* out) {
    *out << (method == CopyMethod::Buffered ? "buffered" : "in the kernel where possible");
}

namespace {

using namespace test;

// The calls differ with the way the pieces are copied: in the kernel, the copy makes no Read or
// Write calls of its own; through the buffer, each of them can fail.
class FaultInjection : public ::testing::TestWithParam<CopyMethod> {};

INSTANTIATE_TEST_SUITE_P(EachCopyMethod, FaultInjection,
                         ::testing::Values(CopyMethod::KernelWherePossible, CopyMethod::Buffered),
                         [](const auto& info) {
                             return info.param == CopyMethod::Buffered ? "Buffered" : "Kernel";
                         });

TEST_P(FaultInjection, EveryFailedCallOfASplitIsReported) {
    const std::string bytes = PatternBytes(2500);
    auto system = MakeSystemFileSystem();
    int calls = 0;
    TempDir good;
    {
        WriteFile(good / "s.bin", bytes);
        EngineHarness h(GetParam());
        ASSERT_TRUE(h.Split(good / "s.bin", good.Path(), 1000));
        calls = h.files.calls;
    }
    ASSERT_GT(calls, 10);
    for (const int error : {5 /*EIO*/, 28 /*ENOSPC*/, 13 /*EACCES*/, 2 /*ENOENT*/}) {
        for (int k = 0; k < calls; ++k) {
            TempDir dir;
            WriteFile(dir / "s.bin", bytes);
            EngineHarness h(GetParam());
            h.files.failCallAt = k;
            h.files.failCallError = error;
            // A failed call that the split can do without (deleting what is not there, telling
            // whether a medium is removable) may leave it successful.
            if (h.Split(dir / "s.bin", dir.Path(), 1000)) {
                EXPECT_EQ(Joined(Pieces(dir.Path(), "s")), bytes);
                continue;
            }
            EXPECT_FALSE(h.message.empty());
            EXPECT_FALSE(h.message.empty());
            EXPECT_EQ(ReadFile(dir / "s.bin"), bytes);
            EXPECT_EQ(h.files.openFiles, 0) << "call " << k;
            EXPECT_EQ(h.progress.shown, 0);
            // What is left is a prefix of the set: pieces in order, and a descriptor only
            // after all of them, whole, with the .sha256 and batch files before it; no
            // unfinished small file.
            const auto pieces = Pieces(dir.Path(), "s");
            EXPECT_EQ(Joined(pieces), bytes.substr(0, Joined(pieces).size()));
            if (Exists(dir / "s.bin.split")) {
                EXPECT_EQ(Joined(pieces), bytes);
                EXPECT_EQ(ReadFile(dir / "s.bin.split").size(),
                          ReadFile(good / "s.bin.split").size());
                const std::string hashes = ReadFile(dir / "s.bin.sha256");
                const std::string goodHashes = ReadFile(good / "s.bin.sha256");
                EXPECT_EQ(hashes.substr(hashes.find('\n')),
                          goodHashes.substr(goodHashes.find('\n')));
                EXPECT_EQ(ReadFile(dir / "s.bin.bat"), ReadFile(good / "s.bin.bat"));
            }
            for (const auto& name : system->List(dir.Path()))
                EXPECT_EQ(name.find(".unfinished-"), std::string::npos) << name;
        }
    }
}

TEST_P(FaultInjection, EveryFailedCallOfARestoreKeepsTheSetAndTheFileOfThatName) {
    const std::string bytes = PatternBytes(2500);
    auto system = MakeSystemFileSystem();
    TempDir set;
    WriteFile(set / "r.bin", bytes);
    {
        EngineHarness h;
        ASSERT_TRUE(h.Split(set / "r.bin", set.Path(), 1000));
    }
    const std::vector<std::string> names = {"r.bin.split", "r.bin.bat", "r.bin.sha256",
                                            "r.s01",       "r.s02",     "r.s03"};
    std::vector<std::string> contents;
    for (const auto& name : names) contents.push_back(ReadFile(set / name));

    int calls = 0;
    {
        TempDir out;
        EngineHarness h(GetParam());
        ASSERT_TRUE(h.Restore(set / "r.bin.split", out.Path(), {.restoreTime = true}));
        calls = h.files.calls;
    }
    ASSERT_GT(calls, 20);
    for (int k = 0; k < calls; ++k) {
        TempDir out;
        WriteFile(out / "r.bin", "the file that was here");
        EngineHarness h(GetParam());
        h.files.failCallAt = k;
        const bool restored =
            h.Restore(set / "r.bin.split", out.Path(), {.restoreTime = true, .overwrite = true});
        // Either the whole file is in place, or the one that was there is, byte for byte.
        EXPECT_EQ(ReadFile(out / "r.bin"), restored ? bytes : "the file that was here")
            << "call " << k << ": " << h.message;
        EXPECT_EQ(system->List(out.Path()), std::vector<std::string>{"r.bin"}) << "call " << k;
        if (!restored) {
            EXPECT_FALSE(h.message.empty());
        }
        EXPECT_EQ(h.files.openFiles, 0);
        EXPECT_EQ(h.progress.shown, 0);
        for (std::size_t i = 0; i < names.size(); ++i)
            EXPECT_EQ(ReadFile(set / names[i]), contents[i]) << names[i] << " after call " << k;
    }
}

#ifndef _WIN32  // a child process killed for real
// A restore killed at any moment: the file of that name is the one that was there, and the only
// other file is the restore's own, named as unfinished.
TEST(FaultInjection, ARestoreKilledMidwayLeavesTheFileOfThatName) {
    const std::string bytes = PatternBytes(64 << 20);
    auto system = MakeSystemFileSystem();
    TempDir set;
    WriteFile(set / "big.bin", bytes);
    {
        EngineHarness h;
        ASSERT_TRUE(h.Split(set / "big.bin", set.Path(), 4 << 20));
    }
    for (const int delayMs : {0, 20, 60}) {
        TempDir out;
        WriteFile(out / "big.bin", "the file that was here");
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            NullProgress progress;
            CancelPrompt prompt;
            EngineContext context{*system, progress, prompt, DateTimeFormat(DateTimeConventions{})};
            for (;;)
                RestoreFile(context, set / "big.bin.split", out.Path(),
                            {.restoreTime = true, .overwrite = true});
        }
        // Killed at once, or once the copy has begun (its unfinished file is there) and then a
        // little later: the second pause only picks the moment of the kill.
        if (delayMs > 0) {
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            bool begun = false;
            while (!(begun = system->List(out.Path()).size() > 1) &&
                   std::chrono::steady_clock::now() < until)
                ::usleep(1000);
            EXPECT_TRUE(begun) << "the restore did not begin within 30 s";
            ::usleep(static_cast<useconds_t>(delayMs) * 1000);
        }
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const std::string now = ReadFile(out / "big.bin");
        EXPECT_TRUE(now == "the file that was here" || now == bytes) << delayMs;
        for (const auto& name : system->List(out.Path())) {
            if (name != "big.bin") {
                EXPECT_EQ(name.rfind("big.bin.unfinished-", 0), 0u) << name;
            }
        }
        // The next restore of that name removes what the killed one left.
        EngineHarness next;
        ASSERT_TRUE(next.Restore(set / "big.bin.split", out.Path(), {.overwrite = true}))
            << next.message;
        EXPECT_EQ(system->List(out.Path()), std::vector<std::string>{"big.bin"}) << delayMs;
    }
}

#endif

}  // namespace
}  // namespace olvo
