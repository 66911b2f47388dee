#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <functional>
#include <thread>
#include <tuple>

#include "core/engine/FileSplit.h"
#include "platform/Sha256.h"
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
    auto asked = [&](int source, int piece) {
        return "Restore|Please insert source #" + std::to_string(source) + "\r\rThe piece " +
               PieceName("set", piece) + " is looked for in " + dir.Path() + ".";
    };
    EXPECT_EQ(h.prompt.asked, (std::vector<std::string>{asked(2, 4), asked(2, 4), asked(3, 7)}));
    EXPECT_EQ(ReadFile(dir / "out/set.bin"), bytes);
}

// Files in folder whose names say they are unfinished restores.
std::vector<std::string> Unfinished(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& name : MakeSystemFileSystem()->List(folder))
        if (name.find(".unfinished-") != std::string::npos) names.push_back(name);
    return names;
}

// Asks to stop after a number of questions, as a Cancel button or Ctrl-C does.
class CancellingProgress : public RecordingProgress {
  public:
    explicit CancellingProgress(int after) : m_after(after) {}
    bool CancelRequested() override { return ++m_asked > m_after; }

  private:
    int m_after;
    int m_asked = 0;
};

TEST(RestoreFile, CancelLeavesTheFileOfThatNameAndTheSetAsTheyWere) {
    TempDir dir;
    const std::string bytes = PatternBytes(300000);
    const std::string descriptor = MakeSet(dir, "set.bin", bytes, 100000);
    WriteFile(dir / "set.bin", "an older file of that name");
    // Cancel at the prompt for a missing piece, and Cancel from the progress window at each of
    // the points where the engine asks (between pieces and between copy steps).
    for (int cancelAfter = -1; cancelAfter < 9; ++cancelAfter) {
        const bool atPrompt = cancelAfter < 0;
        if (atPrompt) ::rename((dir / "set.s03").c_str(), (dir / "away").c_str());
        CancellingProgress progress(atPrompt ? 1 << 30 : cancelAfter);
        // Through the buffer: a kernel copy takes a piece in one step, with no point between.
        EngineHarness h(CopyMethod::Buffered);
        EngineContext context{h.files, progress, h.prompt, h.context.dateFormat};
        const auto result =
            RestoreFile(context, descriptor, dir.Path(),
                        {.deletePieces = true, .restoreTime = true, .overwrite = true});
        EXPECT_FALSE(result.ok) << cancelAfter;
        EXPECT_EQ(result.message, "Operation aborted!");
        if (atPrompt) {
            EXPECT_EQ(h.prompt.asked,
                      std::vector<std::string>{"Restore|Please insert source #2\r\rThe piece "
                                               "set.s03 is looked for in " +
                                               dir.Path() + "."});
            ::rename((dir / "away").c_str(), (dir / "set.s03").c_str());
        }
        EXPECT_EQ(ReadFile(dir / "set.bin"), "an older file of that name");
        EXPECT_TRUE(Unfinished(dir.Path()).empty());
        EXPECT_TRUE(Exists(descriptor) && Exists(dir / "set.s01") && Exists(dir / "set.s03"));
        EXPECT_EQ(progress.shown, 0);
        EXPECT_EQ(h.files.openFiles, 0);
    }
}

TEST(RestoreFile, ABadPieceIsNamedAndNothingIsDeleted) {
    const std::string bytes = PatternBytes(3000000);
    const std::string damaged = "Piece f.s01 is damaged: its SHA-256 does not match f.bin.sha256!";
    const std::string checksumOnly = kChecksumError;
    struct Case {
        const char* what;
        std::function<void(const TempDir&)> spoil;
        std::string message;
    };
    auto flip = [](const std::string& path, std::size_t at) {
        std::string piece = ReadFile(path);
        piece[at] ^= 1;
        WriteFile(path, piece);
    };
    const std::vector<Case> cases = {
        {"a byte flipped", [&](const TempDir& d) { flip(d / "f.s01", 100); }, damaged},
        {"truncated", [](const TempDir& d) { ::truncate((d / "f.s03").c_str(), 10); },
         "Piece f.s03 has 10 bytes, 951,424 expected!"},
        {"emptied", [](const TempDir& d) { ::truncate((d / "f.s02").c_str(), 0); },
         "Piece f.s02 has 0 bytes, 1,024,288 expected!"},
        {"grown", [](const TempDir& d) { ::truncate((d / "f.s03").c_str(), 951425); },
         "Piece f.s03 has 951,425 bytes, 951,424 expected!"},
        {"removed", [](const TempDir& d) { ::unlink((d / "f.s02").c_str()); },
         "Operation aborted!"},
        // Without its .sha256 file a set is checked as before: sizes, then the checksum.
        {"old set, middle byte flipped",
         [&](const TempDir& d) {
             ::unlink((d / "f.bin.sha256").c_str());
             flip(d / "f.s02", 476000);  // inside the checksum window
         },
         checksumOnly},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string descriptor = MakeSet(dir, "f.bin", bytes, 1024288);
        c.spoil(dir);
        std::vector<std::string> before;
        for (const auto& name : MakeSystemFileSystem()->List(dir.Path())) before.push_back(name);
        std::sort(before.begin(), before.end());
        WriteFile(dir / "f.bin", "the file that was here");
        EngineHarness h;
        EXPECT_FALSE(h.Restore(descriptor, dir.Path(), {.deletePieces = true, .overwrite = true}))
            << c.what;
        EXPECT_EQ(h.message, c.message) << c.what;
        EXPECT_EQ(ReadFile(dir / "f.bin"), "the file that was here") << c.what;
        auto after = MakeSystemFileSystem()->List(dir.Path());
        after.erase(std::find(after.begin(), after.end(), "f.bin"));
        std::sort(after.begin(), after.end());
        EXPECT_EQ(after, before) << c.what;  // nothing deleted, nothing left behind
        if (std::string(c.what) == "removed") {
            EXPECT_EQ(h.prompt.asked.size(), 1u);
        }
    }

    // Pieces from removable media: the damaged piece is asked for again, and a good copy is
    // taken.
    TempDir dir;
    const std::string descriptor = MakeSet(dir, "f.bin", bytes, 1024288);
    const std::string good = ReadFile(dir / "f.s02");
    flip(dir / "f.s02", 7);
    EngineHarness h;
    h.files.removable = true;
    h.prompt.steps.push_back({PromptAnswer::Retry, nullptr});  // the same bad piece again
    h.prompt.steps.push_back({PromptAnswer::Retry, [&] { WriteFile(dir / "f.s02", good); }});
    ASSERT_TRUE(h.Restore(descriptor, dir.Path(), {.deletePieces = true})) << h.message;
    EXPECT_EQ(ReadFile(dir / "f.bin"), bytes);
    const std::string asked =
        "Restore|Piece f.s02 is damaged: its SHA-256 does not match "
        "f.bin.sha256!\r\rPlease insert a source with a good copy of "
        "it. The piece f.s02 is looked for in " +
        dir.Path() + ".";
    EXPECT_EQ(h.prompt.asked, std::vector<std::string>(2, asked));
    EXPECT_FALSE(Exists(descriptor));
    EXPECT_FALSE(Exists(dir / "f.bin.sha256"));

    // A piece that cannot be deleted (a read-only medium) is named; the restore stands.
    const std::string again = MakeSet(dir, "f.bin", bytes, 1024288);
    EngineHarness readOnly;
    readOnly.files.refuseDelete.insert(dir / "f.s02");
    ASSERT_TRUE(readOnly.Restore(again, dir.Path(), {.deletePieces = true})) << readOnly.message;
    EXPECT_EQ(readOnly.warnings,
              std::vector<std::string>{"Cannot delete file " + (dir / "f.s02") + "!"});
    EXPECT_TRUE(Exists(dir / "f.s02"));
    EXPECT_FALSE(Exists(dir / "f.s01"));
}

TEST(RestoreFile, GivesBackTheOriginalTimeWhenAsked) {
#ifndef _WIN32  // nanosecond times set by utimensat
    struct Case {
        FileTime seconds;
        std::uint32_t nanoseconds;
    };
    // To the nanosecond from the .sha256 file, in any time zone; before 1970 and after 2106 too,
    // as far as the file system holds them (it warns otherwise).
    for (const Case c : {Case{1111759433, 123456789}, Case{-1000000000, 5}, Case{5000000000, 0}}) {
        TempDir dir;
        WriteFile(dir / "t.bin", PatternBytes(3000));
        struct timespec times[2] = {
            {0, UTIME_OMIT}, {static_cast<time_t>(c.seconds), static_cast<long>(c.nanoseconds)}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "t.bin").c_str(), times, 0), 0);
        EngineHarness h;
        ASSERT_TRUE(h.Split(dir / "t.bin", dir.Path(), 1000)) << h.message;
        MakeFolder(dir / "out");
        ASSERT_TRUE(h.Restore(dir / "t.bin.split", dir / "out", {.restoreTime = true}))
            << h.message;
        struct stat st {};
        ASSERT_EQ(::stat((dir / "out/t.bin").c_str(), &st), 0);
        if (h.warnings.empty()) {
            EXPECT_EQ(st.st_mtim.tv_sec, c.seconds);
            EXPECT_EQ(st.st_mtim.tv_nsec, c.nanoseconds);
        } else {
            EXPECT_EQ(h.warnings[0].rfind("The file system cannot hold the file's original "
                                          "time",
                                          0),
                      0u);
        }
    }
#endif

    // Without a .sha256 file, the descriptor's local date text: even seconds.
    TempDir dir;
    WriteFile(dir / "t.bin", PatternBytes(3000));
    SetModifiedTime(dir / "t.bin", 1111759433);
    EngineHarness h;
    h.splitOptions.writeHashes = false;
    ASSERT_TRUE(h.Split(dir / "t.bin", dir.Path(), 1000));
    MakeFolder(dir / "out");
    ASSERT_TRUE(h.Restore(dir / "t.bin.split", dir / "out", {.restoreTime = true})) << h.message;
    EXPECT_EQ(ModifiedTime(dir / "out" + kPathDelimiter + "t.bin"), 1111759432);

    // A date text this locale cannot read is found before anything is written; the file is
    // restored with the time of the restore and a warning.
    std::string text = ReadFile(dir / "t.bin.split");
    text.replace(text.find("\r\n") + 2,
                 text.find("\r\n", text.find("\r\n") + 2) - text.find("\r\n") - 2,
                 "07.03.2025 14:05:32");
    WriteFile(dir / "t.bin.split", text);
    ::unlink((dir / "out/t.bin").c_str());
    ASSERT_TRUE(
        h.Restore(dir / "t.bin.split", dir / "out", {.deletePieces = true, .restoreTime = true}))
        << h.message;
    EXPECT_EQ(h.warnings,
              (std::vector<std::string>{
                  "no t.bin.sha256: only the piece sizes and a 2,000-byte checksum were checked",
                  "'07.03.2025 14:05:32' is not a valid date and time! The file keeps the time of "
                  "the restore."}));
    EXPECT_EQ(ReadFile(dir / "out/t.bin"), PatternBytes(3000));
    EXPECT_GT(ModifiedTime(dir / "out/t.bin"), 1700000000);
}

TEST(RestoreFile, HandWrittenDescriptors) {
    TempDir dir;
    const std::string bytes = PatternBytes(3000);
    MakeSet(dir, "h.bin", bytes, 1000);
    ::unlink((dir / "h.bin.sha256").c_str());
    const std::string sum = std::to_string(ReadDescriptor(ReadFile(dir / "h.bin.split")).checksum);
    struct Case {
        std::string text;
        std::string message;  // empty: restored
    };
    const std::string invalid = "Not a valid .split file!";
    const std::vector<Case> cases = {
        {"3 pieces\r\nwhenever\r\n3000 bytes\r\n" + sum + " sum\r\n", ""},
        {"$3\nx\n0xBB8\n+" + sum + "\n", ""},
        {"\r\n01/01/2001 10:00:00\r\n3000\r\n" + sum + "\r\n", "Invalid numeric input!"},
        {"3pieces\r\n\r\n3000\r\n" + sum + "\r\n", "Invalid numeric input!"},
        // What a split onto a full medium or a hand left behind: never an empty "restore".
        {"", invalid},
        {"   \r\n  ", invalid},
        {"3\r\nx\r\n", invalid},                        // no size
        {"0\r\nx\r\n0\r\n0\r\n", invalid},              // no pieces
        {"4294967295\r\nx\r\n3000\r\n0\r\n", invalid},  // more pieces than bytes
        {"4\r\nx\r\n9\r\n0\r\n", invalid},              // no piece size gives 4 for 9
        {"3\r\nx\r\n3001\r\n" + sum + "\r\n", "Piece h.s01 has 1,000 bytes, 1,001 expected!"},
        {"2\r\nx\r\n3000\r\n" + sum + "\r\n", "Piece h.s01 has 1,000 bytes, 1,500 expected!"},
    };
    for (const auto& c : cases) {
        WriteFile(dir / "h.bin.split", c.text);
        WriteFile(dir / "h.bin", "kept");
        EngineHarness h;
        EXPECT_EQ(h.Restore(dir / "h.bin.split", dir / "", {.overwrite = true}), c.message.empty())
            << c.text;
        EXPECT_EQ(h.message, c.message) << c.text;
        EXPECT_EQ(ReadFile(dir / "h.bin"), c.message.empty() ? bytes : "kept") << c.text;
        if (!c.message.empty()) {
            EXPECT_TRUE(h.files.created.empty()) << c.text;
        }
    }
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

    // A size past what the count leaves room for: refused for space, no loop.
    WriteFile(descriptor, "32767\r\nx\r\n9223372036854775807\r\n0\r\n");
    ::unlink((dir / "s.bin.sha256").c_str());
    h.files.freeSpace = nullptr;
    EXPECT_FALSE(h.Restore(descriptor, dir.Path()));
    EXPECT_EQ(h.message.rfind("The restored file will be too large", 0), 0u);
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
    EXPECT_TRUE(h.Restore(dir / "set/movie.s01.split", dir / "", {.overwrite = true})) << h.message;
    EXPECT_EQ(ReadFile(dir / "movie.s01"), bytes);
}

TEST(RestoreFile, APieceThatCannotBeReadOrAFullDestination) {
    TempDir dir;
    const std::string descriptor = MakeSet(dir, "r.bin", PatternBytes(3000), 1000);
    EngineHarness h;
    h.files.failReadPath = dir / "r.s02";
    h.files.failReadAfter = 10;
    EXPECT_FALSE(h.Restore(descriptor, dir.Path(), {.deletePieces = true}));
    EXPECT_EQ(h.message, "Stream read error: " + SystemReason(EIO) + "!");
    EXPECT_FALSE(Exists(dir / "r.bin"));
    EXPECT_TRUE(Exists(dir / "r.s02"));
    EXPECT_EQ(h.files.openFiles, 0);

    EngineHarness full;
    full.files.failWritesAfter = 1500;
    EXPECT_FALSE(full.Restore(descriptor, dir.Path(), {.deletePieces = true}));
    EXPECT_EQ(full.message, "Stream write error: " + SystemReason(ENOSPC) + "!");
    EXPECT_TRUE(Exists(dir / "r.s01"));
    EXPECT_EQ(full.files.openFiles, 0);
    EXPECT_EQ(full.progress.shown, 0);

    EXPECT_TRUE(Unfinished(dir.Path()).empty());

    EngineHarness locked;
    EXPECT_FALSE(locked.Restore(descriptor, dir / "missing"));
    EXPECT_EQ(locked.message,
              "Cannot create file " + (dir / "missing/r.bin") + ": " + kNoFolderReason + "!");
}

// A .sha256 file is taken in every form sha256sum and shasum write, and must name each piece
// once: otherwise restore writes nothing and verify fails, naming the problem.
TEST(RestoreFile, TheSha256FileMustCoverTheSet) {
    TempDir dir;
    const std::string bytes = PatternBytes(3000);
    const std::string descriptor = MakeSet(dir, "f.bin", bytes, 1000);
    const HashList list = ReadHashList(ReadFile(dir / "f.bin.sha256"));
    auto h = [&](int k) { return HexDigest(list.pieces.at(PieceName("f", k))); };
    auto each = [&](const std::function<std::string(int)>& line, int count = 3) {
        std::string text;
        for (int k = 1; k <= count; ++k) text += line(k) + "\n";
        return text;
    };
    auto upper = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return text;
    };
    const std::string name = "f.bin.sha256";
    const std::string other = std::string(64, 'a') + "  ../elsewhere.iso\n";
    const struct {
        const char* what;
        std::string text;
        std::string message;  // empty: accepted
    } cases[] = {
        {"text", each([&](int k) { return h(k) + "  f.s0" + std::to_string(k); }), ""},
        {"binary", each([&](int k) { return h(k) + " *f.s0" + std::to_string(k); }), ""},
        {"one blank", each([&](int k) { return h(k) + " f.s0" + std::to_string(k); }), ""},
        {"./", each([&](int k) { return h(k) + "  ./f.s0" + std::to_string(k); }), ""},
        {"tag", each([&](int k) { return "SHA256 (f.s0" + std::to_string(k) + ") = " + h(k); }),
         ""},
        {"escaped", each([&](int k) { return "\\" + h(k) + "  f.s0" + std::to_string(k); }), ""},
        {"CR LF, comment, blank, upper case, other files, a line twice",
         "# by hand\r\n\r\n" + other + upper(h(1)) + "  f.s01\r\n" +
             each([&](int k) { return h(k) + "  f.s0" + std::to_string(k); }),
         ""},
        {"no line for one", each([&](int k) { return h(k) + "  f.s0" + std::to_string(k); }, 2),
         name + " has no line for f.s03!"},
        {"two lines that disagree",
         each([&](int k) { return h(k) + "  f.s0" + std::to_string(k); }) + h(1) + "  f.s02\n",
         name + " has two lines for f.s02 that disagree!"},
        {"a line not understood", h(1) + "  f.s01\n" + h(2).substr(0, 32) + "  f.s02\n",
         "Line 2 of " + name + " is not understood!"},
        {"empty", "", name + " has no line for f.s01!"},
        {"comment only", "# f.bin: 3000 bytes\n", name + " has no line for f.s01!"},
        {"larger than 64 MiB", other + std::string(64 << 20, '\n'),
         name + " is larger than 64 MiB, too large for a list of pieces!"},
    };
    for (const auto& c : cases) {
        WriteFile(dir / name, c.text);
        TempDir out;
        EngineHarness restore;
        EXPECT_EQ(restore.Restore(descriptor, out.Path()), c.message.empty()) << c.what;
        EXPECT_EQ(restore.message, c.message) << c.what;
        EXPECT_EQ(MakeSystemFileSystem()->List(out.Path()).size(), c.message.empty() ? 1u : 0u)
            << c.what;
        EngineHarness verify;
        const auto found = VerifySet(verify.context, descriptor);
        EXPECT_EQ(found.ok, c.message.empty()) << c.what;
        EXPECT_EQ(found.message, c.message) << c.what;
        EXPECT_TRUE(found.warnings.empty()) << c.what;
    }
    // A list that cannot be read whole.
    ::unlink((dir / name).c_str());
    MakeFolder(dir / name);
    EngineHarness h2;
    EXPECT_FALSE(h2.Restore(descriptor, dir.Path()));
    EXPECT_EQ(h2.message.rfind(name + " cannot be read whole: ", 0), 0u) << h2.message;
}

// A file under the output's name is the user's: asked about, kept on No, replaced on Yes.
TEST(RestoreFile, AnExistingFileIsReplacedOnlyWhenTheUserSaysYes) {
    TempDir dir;
    const std::string bytes = PatternBytes(3000);
    const std::string descriptor = MakeSet(dir, "f.bin", bytes, 1000);
    TempDir out;
    WriteFile(out / "f.bin", "mine");
    for (const bool yes : {false, true}) {
        EngineHarness h;
        h.prompt.yes = yes;
        EXPECT_EQ(h.Restore(descriptor, out.Path()), yes) << h.message;
        EXPECT_EQ(h.prompt.askedYesNo,
                  std::vector<std::string>{"Restore|" + (out / "f.bin") +
                                           " already exists.\r\rDo you want to replace it?"});
        EXPECT_EQ(h.message, yes ? "" : (out / "f.bin") + " already exists!");
        EXPECT_EQ(ReadFile(out / "f.bin"), yes ? bytes : "mine");
        EXPECT_EQ(MakeSystemFileSystem()->List(out.Path()), std::vector<std::string>{"f.bin"});
    }
}

#ifndef _WIN32  // a byte toggled in place with pwrite
// What is checked is what the output holds: a piece changing under the copy fails the restore
// or gives the right file, never a wrong one.
TEST(RestoreFile, APieceChangingDuringTheRestoreNeverGivesAWrongFile) {
    TempDir dir;
    const std::string bytes = PatternBytes(12 << 20);
    const std::string descriptor = MakeSet(dir, "c.bin", bytes, 4 << 20);
    const int fd = ::open((dir / "c.s02").c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    std::atomic<bool> stop = false;
    std::thread toggler([&] {
        const char original = bytes[(4 << 20) + 1000];
        for (int i = 0; !stop; ++i) {
            const char now = static_cast<char>(i % 2 ? original : original ^ 1);
            EXPECT_EQ(::pwrite(fd, &now, 1, 1000), 1);
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        EXPECT_EQ(::pwrite(fd, &original, 1, 1000), 1);
    });
    int failed = 0;
    for (int run = 0; run < 20; ++run) {
        TempDir out;
        EngineHarness h;
        if (h.Restore(descriptor, out.Path())) {
            EXPECT_TRUE(ReadFile(out / "c.bin") == bytes) << run;
        } else {
            EXPECT_EQ(h.message,
                      "Piece c.s02 is damaged: its SHA-256 does not match c.bin.sha256!");
            ++failed;
        }
    }
    stop = true;
    toggler.join();
    ::close(fd);
    EXPECT_GT(failed, 0);
}
#endif

// An unfinished file a killed restore left is removed by the next restore of that name; one
// that a live restore holds stays.
TEST(RestoreFile, LeftoversOfKilledRestoresGoThoseInUseStay) {
    TempDir dir;
    const std::string bytes = PatternBytes(3000);
    const std::string descriptor = MakeSet(dir, "f.bin", bytes, 1000);
    TempDir out;
    auto system = MakeSystemFileSystem();
    WriteFile(out / "f.bin.unfinished-stale1", "left by a kill");
    WriteFile(out / "g.bin.unfinished-stale2", "another name's");
    const auto live = system->CreateExclusive(out / "f.bin.unfinished-inuse1");
    EngineHarness h;
    ASSERT_TRUE(h.Restore(descriptor, out.Path())) << h.message;
    auto names = system->List(out.Path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"f.bin", "f.bin.unfinished-inuse1",
                                               "g.bin.unfinished-stale2"}));
}

// Rebuilt in place without a prompt, or at once refused, or asked for without recovery files; a
// rebuilt piece its .sha256 line refuses replaces nothing. Spoils: NAME gone, NAME=TEXT, f.s02's
// "sum".
TEST(RestoreFile, RebuildsFromTheRecoveryFilesBeforeAsking) {
    const std::string x(1000, 'x'), r = "Rebuilt piece f.s0", t = " from the recovery pieces";
    const std::vector<std::tuple<std::vector<std::string>, std::string, std::string>> cases = {
        {{"f.s02", "f.s05=abc"}, "", r + "2" + t + r + "5" + t},
        {{"f.s03=" + x}, "", r + "3" + t},
        {{"f.s01", "f.s02", "f.s04=" + x},
         "3 pieces are missing or damaged and 2 recovery pieces can rebuild at most 2!",
         ""},
        {{"f.s02", "f.bin.par2"}, "Operation aborted!", ""},
        {{"f.bin.sha256", "f.s03=" + x}, "", r + "3" + t},
        {{"sum", "f.s02=bad"},
         "Piece f.s02 has 3 bytes, 1,000 expected!",
         "Cannot rebuild from the recovery pieces: Piece f.s02 was rebuilt but its SHA-256 does "
         "not match f.bin.sha256; nothing was replaced!"},
    };
    for (const auto& [spoils, message, notices] : cases) {
        TempDir dir;
        EngineHarness h;
        WriteFile(dir / "f.bin", PatternBytes(4800));
        h.splitOptions.recoveryCount = 2;
        ASSERT_TRUE(h.Split(dir / "f.bin", dir.Path(), 1000)) << h.message;
        ::unlink((dir / "f.bin").c_str());
        std::string list = ReadFile(dir / "f.bin.sha256");
        list.replace(list.find("  f.s02") - 64, 64, std::string(64, '0'));
        for (const std::string& spoil : spoils) {
            const auto eq = spoil.find('=');
            if (spoil == "sum")
                WriteFile(dir / "f.bin.sha256", list);
            else if (eq == std::string::npos)
                ::unlink((dir / spoil).c_str());
            else
                WriteFile(dir / spoil.substr(0, eq), spoil.substr(eq + 1));
        }
        EXPECT_EQ(h.Restore(dir / "f.bin.split", dir.Path()) ? ReadFile(dir / "f.bin") : h.message,
                  message.empty() ? PatternBytes(4800) : message);
        EXPECT_EQ(Joined(h.progress.notices), notices) << message;
        EXPECT_EQ(h.prompt.asked.size(), message == "Operation aborted!" ? 1u : 0u) << message;
        EXPECT_EQ(Exists(dir / "f.bin") || !Unfinished(dir.Path()).empty(), message.empty());
    }
}

TEST(VerifySet, NamesEveryBadOrMissingPieceAndWritesNothing) {
    const std::string bytes = PatternBytes(5000);
    TempDir dir;
    const std::string descriptor = MakeSet(dir, "v.bin", bytes, 1000);
    const std::string damaged = "Piece v.s02 is damaged: its SHA-256 does not match v.bin.sha256!";
    std::string s02 = ReadFile(dir / "v.s02");
    s02[0] ^= 1;
    struct Case {
        std::function<void()> spoil;
        std::vector<std::string> problems;
    };
    const std::vector<Case> cases = {
        {nullptr, {}},
        {[&] { WriteFile(dir / "v.s02", s02); }, {damaged}},
        {[&] { ::truncate((dir / "v.s04").c_str(), 10); },
         {damaged, "Piece v.s04 has 10 bytes, 1,000 expected!"}},
        {[&] { ::unlink((dir / "v.s05").c_str()); },
         {damaged, "Piece v.s04 has 10 bytes, 1,000 expected!", "Piece v.s05 is missing!"}},
        // Without the .sha256 file a byte changed outside the checksum window goes unseen.
        {[&] { ::unlink((dir / "v.bin.sha256").c_str()); },
         {"Piece v.s04 has 10 bytes, 1,000 expected!", "Piece v.s05 is missing!"}},
    };
    for (const auto& c : cases) {
        if (c.spoil) c.spoil();
        const auto before = MakeSystemFileSystem()->List(dir.Path());
        EngineHarness h;
        const auto found = VerifySet(h.context, descriptor);
        EXPECT_EQ(found.ok, c.problems.empty());
        EXPECT_EQ(found.problems, c.problems);
        EXPECT_EQ(found.message, "");
        EXPECT_TRUE(h.files.created.empty());
        EXPECT_EQ(MakeSystemFileSystem()->List(dir.Path()), before);
    }
    // An old set whose middle changed: its checksum names the damage.
    WriteFile(dir / "v.s04", ReadFile(dir / "v.s01"));
    WriteFile(dir / "v.s05", ReadFile(dir / "v.s01"));
    EngineHarness h;
    const auto found = VerifySet(h.context, descriptor);
    EXPECT_FALSE(found.ok);
    EXPECT_EQ(found.problems, std::vector<std::string>{"Checksum error! The pieces do not make the "
                                                       "file that was split."});
    WriteFile(dir / "v.bin.split", "");
    const auto invalid = VerifySet(h.context, descriptor);
    EXPECT_FALSE(invalid.ok);
    EXPECT_EQ(invalid.message, "Not a valid .split file!");
}

}  // namespace
}  // namespace olvo
