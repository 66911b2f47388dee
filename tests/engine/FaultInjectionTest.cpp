// Every call the engine makes to the file system is failed in turn: whichever it is, the
// operation reports a failure with a message, leaves the source and the split set as they were,
// closes every file and takes its progress window down.

#include <gtest/gtest.h>

#include "support/EngineHarness.h"

namespace olvo {
namespace {

using namespace test;

TEST(FaultInjection, EveryFailedCallOfASplitIsReported) {
    const std::string bytes = PatternBytes(2500);
    int calls = 0;
    {
        TempDir dir;
        WriteFile(dir / "s.bin", bytes);
        EngineHarness h;
        ASSERT_TRUE(h.Split(dir / "s.bin", dir.Path(), 1000));
        calls = h.files.calls;
    }
    ASSERT_GT(calls, 10);
    for (const int error : {5 /*EIO*/, 28 /*ENOSPC*/, 13 /*EACCES*/, 2 /*ENOENT*/}) {
        for (int k = 0; k < calls; ++k) {
            TempDir dir;
            WriteFile(dir / "s.bin", bytes);
            EngineHarness h;
            h.files.failCallAt = k;
            h.files.failCallError = error;
            EXPECT_FALSE(h.Split(dir / "s.bin", dir.Path(), 1000)) << "call " << k;
            EXPECT_FALSE(h.message.empty());
            EXPECT_EQ(h.message.back(), '!') << h.message;
            EXPECT_EQ(ReadFile(dir / "s.bin"), bytes);
            EXPECT_EQ(h.files.openFiles, 0) << "call " << k;
            EXPECT_EQ(h.progress.shown, 0);
            // What is left is a prefix of the set: pieces in order, the descriptor only after all
            // pieces, the batch file only after the descriptor.
            const auto pieces = Pieces(dir.Path(), "s");
            EXPECT_EQ(Joined(pieces), bytes.substr(0, Joined(pieces).size()));
            if (Exists(dir / "s.bin.split")) {
                EXPECT_EQ(Joined(pieces), bytes);
            }
            if (Exists(dir / "s.bin.bat")) {
                const std::string descriptor = ReadFile(dir / "s.bin.split");
                EXPECT_EQ(descriptor.substr(descriptor.size() - 2), "\r\n");
                EXPECT_EQ(ReadDescriptor(descriptor).fileSize, bytes.size());
            }
        }
    }
}

TEST(FaultInjection, EveryFailedCallOfARestoreKeepsTheSet) {
    const std::string bytes = PatternBytes(2500);
    TempDir set;
    WriteFile(set / "r.bin", bytes);
    {
        EngineHarness h;
        ASSERT_TRUE(h.Split(set / "r.bin", set.Path(), 1000));
    }
    const std::vector<std::string> names = {"r.bin.split", "r.bin.bat", "r.s01", "r.s02", "r.s03"};
    std::vector<std::string> contents;
    for (const auto& name : names) contents.push_back(ReadFile(set / name));

    int calls = 0;
    {
        TempDir out;
        EngineHarness h;
        ASSERT_TRUE(h.Restore(set / "r.bin.split", out.Path(), false, true));
        calls = h.files.calls;
    }
    for (int k = 0; k < calls; ++k) {
        TempDir out;
        EngineHarness h;
        h.files.failCallAt = k;
        EXPECT_FALSE(h.Restore(set / "r.bin.split", out.Path(), true, true)) << "call " << k;
        EXPECT_EQ(h.message.back(), '!') << h.message;
        EXPECT_EQ(h.files.openFiles, 0);
        EXPECT_EQ(h.progress.shown, 0);
        for (std::size_t i = 0; i < names.size(); ++i)
            EXPECT_EQ(ReadFile(set / names[i]), contents[i]) << names[i] << " after call " << k;
    }
}

}  // namespace
}  // namespace olvo
