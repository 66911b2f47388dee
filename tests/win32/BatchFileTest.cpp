// The restore batch file run by the system's command interpreter: a split, the original taken
// away, "cmd /c <name>.bat" in the pieces' folder, and the rebuilt file compared byte for byte.

#include <gtest/gtest.h>
#include <windows.h>

#include "support/EngineHarness.h"
#include "support/RunProgram.h"

namespace olvo {
namespace {

using namespace test;

std::string CommandInterpreter() {
    char folder[MAX_PATH];
    const UINT n = ::GetSystemDirectoryA(folder, sizeof folder);
    return std::string(folder, n) + "\\cmd.exe";
}

// Splits name (size bytes) into pieces of pieceSize, deletes it, runs its batch file and returns
// the batch file's text; the rebuilt file must equal the original.
std::string SplitAndRebuild(const std::string& name, std::size_t size, std::uint32_t pieceSize) {
    TempDir dir;
    const std::string bytes = PatternBytes(size, static_cast<std::uint32_t>(name.size()));
    WriteFile(dir / name, bytes);
    EngineHarness h;
    EXPECT_TRUE(h.Split(dir / name, dir.Path(), pieceSize)) << h.message;
    ::DeleteFileA((dir / name).c_str());
    EXPECT_FALSE(Exists(dir / name));

    const auto r = RunProgram(CommandInterpreter(), {"/c", name + ".bat"}, "", dir.Path());
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Please ensure ALL split files are in this folder!"), std::string::npos)
        << r.out;
    EXPECT_TRUE(Exists(dir / name)) << r.out << r.err;
    if (Exists(dir / name)) {
        EXPECT_TRUE(ReadFile(dir / name) == bytes) << name << " differs";
    }
    return ReadFile(dir / (name + ".bat"));
}

TEST(BatchFile, RebuildsAPlainSet) {
    const std::string text = SplitAndRebuild("Holiday.avi", 2500, 1000);
    EXPECT_NE(text.find("COPY /B \"Holiday.s01\" + \"Holiday.s02\" + \"Holiday.s03\" "
                        "\"Holiday.avi\""),
              std::string::npos);
}

TEST(BatchFile, RebuildsNamesWithPercentSigns) {
    // In a batch file a lone % vanishes and %NAME% is replaced (by nothing when unset), unless
    // written as %%.
    SplitAndRebuild("50% off.bin", 3001, 1000);
    const std::string text = SplitAndRebuild("a%OLVO_NOT_SET%b.dat", 2048, 1000);
    EXPECT_NE(text.find("\"a%%OLVO_NOT_SET%%b.s03\""), std::string::npos) << text;
}

TEST(BatchFile, RebuildsNamesWithSpaces) {
    SplitAndRebuild("my holiday video.tar.gz", 5000, 999);
}

TEST(BatchFile, RebuildsSixHundredPiecesOverSeveralLines) {
    // Long names, so that the 600 entries need far more than the 8191 characters of one line.
    const std::string text = SplitAndRebuild("Holiday video 2024.iso", 600 * 16 - 5, 16);
    std::size_t copies = 0;
    for (auto at = text.find("COPY /B "); at != std::string::npos;
         at = text.find("COPY /B ", at + 1))
        ++copies;
    EXPECT_GT(copies, 1u) << "600 pieces do not fit one line of the command interpreter";
    EXPECT_NE(text.find("\"Holiday video 2024.s600\" \"Holiday video 2024.iso\""),
              std::string::npos);
}

}  // namespace
}  // namespace olvo
