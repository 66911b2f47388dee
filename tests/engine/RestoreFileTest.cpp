#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/FileSplit.h"
#include "support/EngineHarness.h"

namespace olvo {
namespace {

using namespace test;

constexpr char kChecksumError[] =
    "Checksum error! The restored file may be corrupt. \r\rEnsure that you have all split pieces "
    "in the same folder and try again. You may need to resplit the original file.";

// A split set of name, made by the engine itself in dir.
std::string MakeSet(const TempDir& dir, const std::string& name, const std::string& bytes,
                    std::uint32_t pieceSize) {
    WriteFile(dir / name, bytes);
    EngineHarness h;
    EXPECT_TRUE(h.Split(dir / name, dir.Path(), pieceSize)) << h.message;
    ::unlink((dir / name).c_str());
    return dir / (name + ".split");
}

TEST(RestoreFile, RoundTripsForManySizes) {
    for (const std::size_t size : {std::size_t{2}, std::size_t{13}, std::size_t{4000},
                                   std::size_t{4004}, std::size_t{65537}, std::size_t{200000}}) {
        for (const std::uint32_t piece : {1u, 7u, 4096u, 61440u, 61441u}) {
            if (size <= piece || size / piece > 3000) continue;
            TempDir dir;
            const std::string bytes = PatternBytes(size, static_cast<std::uint32_t>(size + piece));
            const std::string descriptor = MakeSet(dir, "file.dat", bytes, piece);
            EngineHarness h;
            ASSERT_TRUE(h.Restore(descriptor, dir.Path()))
                << size << "/" << piece << ": " << h.message;
            EXPECT_EQ(ReadFile(dir / "file.dat"), bytes) << size << "/" << piece;
            EXPECT_EQ(h.progress.captions, std::vector<std::string>{"Restoring File..."});
            EXPECT_EQ(h.progress.maximum, (size + piece - 1) / piece);
            EXPECT_EQ(h.progress.shown, 0);
            EXPECT_EQ(h.files.openFiles, 0);
            EXPECT_TRUE(Exists(descriptor));  // kept unless asked
        }
    }
}

TEST(RestoreFile, RefusesWhatIsNotASplitDescriptor) {
    TempDir dir;
    WriteFile(dir / "Holiday.spl", "1\r\n\r\n1\r\n0\r\n");
    for (const std::string& path :
         {dir / "Holiday.spl", dir / "none.split", dir.Path() + "/.split"}) {
        EngineHarness h;
        EXPECT_FALSE(h.Restore(path, dir.Path()));
        EXPECT_EQ(h.message, "Not a valid .split file!");
        EXPECT_EQ(h.progress.shown, 0);
        EXPECT_TRUE(h.progress.captions.empty());
    }
}

TEST(RestoreFile, NamesComeFromTheDescriptorsOwnPath) {
    TempDir dir;
    const std::string bytes = PatternBytes(3000);
    MakeSet(dir, "HOLIDAY.AVI", bytes, 1000);
    ASSERT_EQ(::rename((dir / "HOLIDAY.AVI.split").c_str(), (dir / "HOLIDAY.AVI.SPLIT").c_str()),
              0);
    MakeFolder(dir / "out");
    EngineHarness h;
    ASSERT_TRUE(h.Restore(dir / "HOLIDAY.AVI.SPLIT", dir / "out/")) << h.message;
    EXPECT_EQ(ReadFile(dir / "out/HOLIDAY.AVI"), bytes);

    // Stored as Film.avi.split, it looks for Film.s01 and writes Film.avi.
    ASSERT_EQ(::rename((dir / "HOLIDAY.AVI.SPLIT").c_str(), (dir / "Film.avi.split").c_str()), 0);
    for (int k = 1; k <= 3; ++k)
        ASSERT_EQ(
            ::rename((dir / PieceName("HOLIDAY", k)).c_str(), (dir / PieceName("Film", k)).c_str()),
            0);
    ASSERT_TRUE(h.Restore(dir / "Film.avi.split", dir / "out")) << h.message;
    EXPECT_EQ(ReadFile(dir / "out/Film.avi"), bytes);
}

TEST(RestoreFile, AsksForEachMediumByItsNumber) {
    TempDir dir;
    const std::string bytes = PatternBytes(7000);
    const std::string descriptor = MakeSet(dir, "set.bin", bytes, 1000);
    TempDir away;  // pieces 4 to 7 are on other media
    auto move = [&](int k, const std::string& from, const std::string& to) {
        ASSERT_EQ(::rename((from + "/" + PieceName("set", k)).c_str(),
                           (to + "/" + PieceName("set", k)).c_str()),
                  0);
    };
    for (int k = 4; k <= 7; ++k) move(k, dir.Path(), away.Path());
    MakeFolder(dir / "out");

    EngineHarness h;
    h.prompt.steps.push_back({PromptAnswer::Retry, nullptr});  // nothing changed: the same question
    h.prompt.steps.push_back({PromptAnswer::Retry, [&] {       // the second medium: pieces 4 to 6
                                  for (int k = 4; k <= 6; ++k) move(k, away.Path(), dir.Path());
                              }});
    h.prompt.steps.push_back({PromptAnswer::Retry, [&] { move(7, away.Path(), dir.Path()); }});
    ASSERT_TRUE(h.Restore(descriptor, dir / "out")) << h.message;
    EXPECT_EQ(h.prompt.asked, (std::vector<std::string>{"Restore|Please insert source #2",
                                                        "Restore|Please insert source #2",
                                                        "Restore|Please insert source #3"}));
    EXPECT_EQ(ReadFile(dir / "out/set.bin"), bytes);
}

TEST(RestoreFile, CancelKeepsThePartialOutputAndTheSet) {
    TempDir dir;
    const std::string bytes = PatternBytes(3000);
    const std::string descriptor = MakeSet(dir, "set.bin", bytes, 1000);
    ::unlink((dir / "set.s01").c_str());
    WriteFile(dir / "set.bin", "an older file of that name");
    EngineHarness h;
    h.prompt.steps.push_back({PromptAnswer::Cancel, nullptr});
    EXPECT_FALSE(h.Restore(descriptor, dir.Path(), true));
    EXPECT_EQ(h.message, "Operation aborted!");
    EXPECT_EQ(h.prompt.asked, std::vector<std::string>{"Restore|Please insert source #1"});
    EXPECT_EQ(ReadFile(dir / "set.bin"), "");  // replaced without a question, nothing appended yet
    EXPECT_TRUE(Exists(dir / "set.s02"));
    EXPECT_TRUE(Exists(descriptor));
    EXPECT_EQ(h.progress.shown, 0);
    EXPECT_EQ(h.files.openFiles, 0);
}

TEST(RestoreFile, DeletesTheSetOnlyAfterTheChecksumMatched) {
    TempDir dir;
    const std::string bytes = PatternBytes(3000);
    const std::string descriptor = MakeSet(dir, "set.bin", bytes, 1000);

    // A change inside the checksum window (the middle of the file) is caught, and nothing goes.
    std::string middle = ReadFile(dir / "set.s02");
    middle[600] ^= 0x40;
    WriteFile(dir / "set.s02", middle);
    EngineHarness h;
    EXPECT_FALSE(h.Restore(descriptor, dir.Path(), true));
    EXPECT_EQ(h.message, kChecksumError);
    EXPECT_TRUE(Exists(descriptor));
    EXPECT_TRUE(Exists(dir / "set.bin.bat"));
    EXPECT_TRUE(Exists(dir / "set.s01"));
    EXPECT_EQ(ReadFile(dir / "set.bin").size(), 3000u);  // the complete output stays

    // A change outside it goes unnoticed, by design of the format.
    middle[600] ^= 0x40;
    WriteFile(dir / "set.s02", middle);
    std::string first = ReadFile(dir / "set.s01");
    first[0] ^= 1;
    WriteFile(dir / "set.s01", first);
    ASSERT_TRUE(h.Restore(descriptor, dir.Path(), true)) << h.message;
    EXPECT_FALSE(Exists(descriptor));
    EXPECT_FALSE(Exists(dir / "set.bin.bat"));
    for (int k = 1; k <= 3; ++k) EXPECT_FALSE(Exists(dir / PieceName("set", k)));
    EXPECT_TRUE(Exists(dir / "set.bin"));
}

TEST(RestoreFile, GivesBackTheOriginalTimeWhenAsked) {
    TempDir dir;
    WriteFile(dir / "t.bin", PatternBytes(3000));
    SetModifiedTime(dir / "t.bin", 1111759433);
    EngineHarness h;
    ASSERT_TRUE(h.Split(dir / "t.bin", dir.Path(), 1000));
    MakeFolder(dir / "out");
    ASSERT_TRUE(h.Restore(dir / "t.bin.split", dir / "out", false, true)) << h.message;
    EXPECT_EQ(ModifiedTime(dir / "out" + kPathDelimiter + "t.bin"), 1111759432);  // even seconds

    // A date line that does not convert ends the restore after the copy; nothing is deleted.
    std::string text = ReadFile(dir / "t.bin.split");
    text.replace(text.find("\r\n") + 2,
                 text.find("\r\n", text.find("\r\n") + 2) - text.find("\r\n") - 2, "not a date");
    WriteFile(dir / "t.bin.split", text);
    EXPECT_FALSE(h.Restore(dir / "t.bin.split", dir / "out", true, true));
    EXPECT_EQ(h.message, "'not a date' is not a valid date and time!");
    EXPECT_EQ(ReadFile(dir / "out/t.bin"),
              ReadFile(dir / "t.s01") + ReadFile(dir / "t.s02") + ReadFile(dir / "t.s03"));
    EXPECT_TRUE(Exists(dir / "t.s01"));
    // Without the time, the same line is never read.
    EXPECT_TRUE(h.Restore(dir / "t.bin.split", dir / "out")) << h.message;
}

TEST(RestoreFile, HandWrittenDescriptors) {
    TempDir dir;
    const std::string bytes = PatternBytes(3000);
    MakeSet(dir, "h.bin", bytes, 1000);
    const std::string sum = std::to_string(ReadDescriptor(ReadFile(dir / "h.bin.split")).checksum);
    struct Case {
        std::string text;
        bool ok;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"3 pieces\r\nwhenever\r\n3000 bytes\r\n" + sum + " sum\r\n", true, ""},
        {"$3\nx\n0xBB8\n+" + sum + "\n", true, ""},
        {"\r\n01/01/2001 10:00:00\r\n3000\r\n" + sum + "\r\n", false, "Invalid numeric input!"},
        {"3pieces\r\n\r\n3000\r\n" + sum + "\r\n", false, "Invalid numeric input!"},
        {"3\r\nx\r\n", false, kChecksumError},  // cut short: size 0, checksum 0
    };
    for (const auto& c : cases) {
        WriteFile(dir / "h.bin.split", c.text);
        EngineHarness h;
        EXPECT_EQ(h.Restore(dir / "h.bin.split", dir / ""), c.ok) << c.text;
        EXPECT_EQ(h.message, c.message) << c.text;
        if (c.ok) {
            EXPECT_EQ(ReadFile(dir / "h.bin"), bytes);
        }
        if (c.message == "Invalid numeric input!") {
            EXPECT_TRUE(h.files.created.empty());
        }
    }
    // A count of 0 makes an empty output and asks for nothing; its checksum is 0.
    WriteFile(dir / "h.bin.split", "0\r\nx\r\n0\r\n0\r\n");
    EngineHarness h;
    EXPECT_TRUE(h.Restore(dir / "h.bin.split", dir.Path())) << h.message;
    EXPECT_EQ(ReadFile(dir / "h.bin"), "");
}

TEST(RestoreFile, SpaceIsCheckedBeforeAnythingIsCreated) {
    TempDir dir;
    const std::string descriptor = MakeSet(dir, "s.bin", PatternBytes(3000), 1000);
    EngineHarness h;
    h.files.freeSpace = [](const std::string&) -> std::int64_t { return 2999; };
    EXPECT_FALSE(h.Restore(descriptor, dir.Path()));
    EXPECT_EQ(
        h.message,
        "The restored file will be too large for the destination drive.\r\rPlease select a new "
        "drive or insert higher capacity media.");
    h.files.freeSpace = [](const std::string&) -> std::int64_t { return -1; };
    EXPECT_FALSE(h.Restore(descriptor, dir.Path()));
    // The drive is named by the folder's first character: "/" here, a drive letter on Windows.
    EXPECT_EQ(h.message, "Cannot write to drive " + dir.Path().substr(0, 1) +
                             ":!\r\rPlease ensure media is correctly inserted and drive is "
                             "not read only.");
    EXPECT_TRUE(h.files.created.empty());
    EXPECT_FALSE(h.Restore(descriptor, ""));  // an empty folder becomes the bare delimiter
    EXPECT_EQ(h.message, std::string("Cannot write to drive ") + kPathDelimiter +
                             ":!\r\rPlease ensure media is correctly inserted and drive is "
                             "not read only.");
    h.files.freeSpace = [](const std::string&) -> std::int64_t { return 3000; };
    EXPECT_TRUE(h.Restore(descriptor, dir.Path())) << h.message;

    // A descriptor that claims 4294967295 pieces and a huge size: refused for space, no loop.
    WriteFile(descriptor, "4294967295\r\nx\r\n-1\r\n0\r\n");
    h.files.freeSpace = nullptr;
    EXPECT_FALSE(h.Restore(descriptor, dir.Path()));
    EXPECT_EQ(h.message.rfind("The restored file will be too large", 0), 0u);
}

TEST(RestoreFile, AClaimOfManyPiecesEndsAtTheFirstMissingOneWithoutAUser) {
    TempDir dir;
    MakeSet(dir, "m.bin", PatternBytes(3000), 1000);
    WriteFile(dir / "m.bin.split", "4294967295\r\nx\r\n3000\r\n0\r\n");
    EngineHarness h;
    EXPECT_FALSE(h.Restore(dir / "m.bin.split", dir.Path()));
    EXPECT_EQ(h.message, "Operation aborted!");
    EXPECT_EQ(h.progress.maximum, 4294967295u);
    EXPECT_EQ(h.prompt.asked, std::vector<std::string>{"Restore|Please insert source #2"});
}

TEST(RestoreFile, OutputThatIsAPieceIsRefused) {
    TempDir dir;
    const std::string bytes = PatternBytes(3000);
    WriteFile(dir / "movie.s01", bytes);
    MakeFolder(dir / "set");
    EngineHarness h;
    ASSERT_TRUE(h.Split(dir / "movie.s01", dir / "set", 1000)) << h.message;  // movie.s01.split
    const std::string piece1 = ReadFile(dir / "set/movie.s01");
    EXPECT_FALSE(h.Restore(dir / "set/movie.s01.split", dir / "set"));
    EXPECT_EQ(h.message, "The restored file would overwrite one of its split files!");
    EXPECT_EQ(ReadFile(dir / "set/movie.s01"), piece1);
    // Into another folder it works.
    EXPECT_TRUE(h.Restore(dir / "set/movie.s01.split", dir / "")) << h.message;
    EXPECT_EQ(ReadFile(dir / "movie.s01"), bytes);
}

TEST(RestoreFile, APieceThatCannotBeReadOrAFullDestination) {
    TempDir dir;
    const std::string descriptor = MakeSet(dir, "r.bin", PatternBytes(3000), 1000);
    EngineHarness h;
    h.files.failReadPath = dir / "r.s02";
    h.files.failReadAfter = 10;
    EXPECT_FALSE(h.Restore(descriptor, dir.Path(), true));
    EXPECT_EQ(h.message, "Stream read error!");
    EXPECT_EQ(ReadFile(dir / "r.bin").size(), 1000u);
    EXPECT_TRUE(Exists(dir / "r.s02"));
    EXPECT_EQ(h.files.openFiles, 0);

    EngineHarness full;
    full.files.failWritesAfter = 1500;
    EXPECT_FALSE(full.Restore(descriptor, dir.Path(), true));
    EXPECT_EQ(full.message, "Stream write error!");
    EXPECT_TRUE(Exists(dir / "r.s01"));
    EXPECT_EQ(full.files.openFiles, 0);
    EXPECT_EQ(full.progress.shown, 0);

    EngineHarness locked;
    locked.files.refuseCreate.insert(dir / "r.bin");
    EXPECT_FALSE(locked.Restore(descriptor, dir.Path()));
    EXPECT_EQ(locked.message, "Cannot create file " + (dir / "r.bin") + "!");
}

}  // namespace
}  // namespace olvo
