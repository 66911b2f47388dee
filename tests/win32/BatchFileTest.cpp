// The restore batch file run by the system's command interpreter: a split, the original taken
// away, "cmd /c <name>.bat" in the pieces' folder, and the rebuilt file compared byte for byte.

#include <gtest/gtest.h>
#include <windows.h>

#include "core/engine/SplitSet.h"
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

// name in the process's ANSI code page; empty when that page cannot hold it.
std::string InCodePage(const wchar_t* name) {
    BOOL lost = FALSE;
    const int n =
        ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, nullptr, 0, nullptr, &lost);
    std::string text(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, text.data(), n, nullptr, &lost);
    if (lost || n <= 1) return {};
    text.pop_back();
    return text;
}

// Names in three scripts, each tried where the code pages hold its letters (wine takes them from
// LANG: ctest runs this under en_US, ru_RU and ja_JP as well), at 3 pieces and at 2,048. None of
// them is written into the batch file, so the console's code page cannot garble it.
TEST(BatchFile, RebuildsNamesBeyondAscii) {
    int tried = 0;
    for (const wchar_t* wide : {L"M\u00fcller fa\u00e7ade.bin",
                                L"\u0416\u0436\u0436 "
                                L"\u0434\u0430\u043d\u043d\u044b\u0435.bin",
                                L"\u65e5\u672c\u8a9e.bin"}) {
        const std::string name = InCodePage(wide);
        if (name.empty()) continue;
        ++tried;
        const std::string text = SplitAndRebuild(name, 2500, 1000);
        EXPECT_EQ(text.find(name.substr(0, name.size() - 4)), std::string::npos);
        SplitAndRebuild(name, 2048 * 16 - 3, 16);
    }
    EXPECT_GT(tried, 0) << "the code page holds none of the names";

    // A name no batch file can carry: its batch file says so and fails.
    TempDir dir;
    WriteFile(dir / "cannot.bat", BatchFileText("say \"cheese\".bin", "say \"cheese\"", 3));
    const auto r = RunProgram(CommandInterpreter(), {"/c", "cannot.bat"}, "", dir.Path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("The name of the split file cannot be written in a batch file."),
              std::string::npos)
        << r.out;
}

}  // namespace
}  // namespace olvo
