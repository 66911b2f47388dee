#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/engine/FileSplit.h"
#include "support/EngineHarness.h"
#include "support/RunProgram.h"

namespace olvo {
namespace {

using namespace test;

constexpr char kNoDrive[] =
    "Cannot write to the destination drive.\r\rPlease ensure media is correctly inserted and drive "
    "is not read only.";
constexpr char kMediaPrompt[] =
    "Split|The split file being copied is too large for the destination drive.\r\rInsert new "
    "media to continue.";

TEST(SplitFile, PiecesJoinToTheSourceForManySizes) {
    const std::uint32_t piece = 4000;
    for (const std::size_t size :
         {std::size_t{1}, std::size_t{11}, std::size_t{12}, std::size_t{4001}, std::size_t{4004},
          std::size_t{7999}, std::size_t{8000}, std::size_t{8001}, std::size_t{12345}}) {
        TempDir dir;
        const std::string source = PatternBytes(size, static_cast<std::uint32_t>(size));
        WriteFile(dir / "data.bin", source);
        EngineHarness h;
        ASSERT_TRUE(h.Split(dir / "data.bin", dir.Path(), piece) || size <= piece)
            << size << ": " << h.message;
        if (size <= piece) {
            EXPECT_EQ(h.message, "File does not need splitting!");
            continue;
        }
        const auto pieces = Pieces(dir.Path(), "data");
        ASSERT_EQ(pieces.size(), (size + piece - 1) / piece) << size;
        for (std::size_t k = 0; k + 1 < pieces.size(); ++k) EXPECT_EQ(pieces[k].size(), piece);
        EXPECT_EQ(Joined(pieces), source) << size;
        const auto descriptor = ReadDescriptor(ReadFile(dir / "data.bin.split"));
        EXPECT_EQ(descriptor.pieceCount, pieces.size());
        EXPECT_EQ(descriptor.fileSize, size);
        EXPECT_EQ(descriptor.checksum, FileChecksum(*MakeSystemFileSystem(), dir / "data.bin"));
        EXPECT_EQ(ReadFile(dir / "data.bin.bat"),
                  BatchFileText("data.bin", "data", descriptor.pieceCount));
        EXPECT_EQ(h.progress.captions, std::vector<std::string>{"Splitting File..."});
        EXPECT_EQ(h.progress.maximum, pieces.size());
        EXPECT_EQ(h.progress.shown, 0);
        EXPECT_EQ(h.files.openFiles, 0);
        EXPECT_GE(h.files.syncCount, 1);  // on the medium before success is reported
    }
}

TEST(SplitFile, WritesTheDescriptorAndBatchFileByteForByte) {
    TempDir dir;
    WriteFile(dir / "Holiday.avi", std::string(10, 'x') + std::string(14, '\0'));  // 24 bytes
    // Word 3 (offset 12) and word 4 (offset 16) are summed: 0xFFFFFFFF + 2 wraps to 1.
    {
        std::string bytes = ReadFile(dir / "Holiday.avi");
        bytes.replace(12, 4, "\xFF\xFF\xFF\xFF");
        bytes.replace(16, 4, std::string("\x02\0\0\0", 4));
        WriteFile(dir / "Holiday.avi", bytes);
    }
    SetModifiedTime(dir / "Holiday.avi", 1111759433);  // 25/03/2005 14:03:53 UTC
    EngineHarness h;
    h.context.dateFormat = DateTimeFormat([] {
        DateTimeConventions c;
        c.order = DateTimeConventions::Order::DayMonthYear;
        return c;
    }());
    ASSERT_TRUE(h.Split(dir / "Holiday.avi", dir.Path() + kPathDelimiter, 10)) << h.message;
    EXPECT_EQ(ReadFile(dir / "Holiday.avi.split"), "3\r\n25/03/2005 14:03:52\r\n24\r\n1\r\n");
    EXPECT_EQ(ReadFile(dir / "Holiday.avi.bat"),
              "@ECHO OFF\r\nECHO Kestrava File Splitter\r\nECHO Restore Batch File\r\n"
              "ECHO Splits large files into pieces and puts them back together.\r\n"
              "ECHO Made by the Kestrava team.\r\n"
              "ECHO Please ensure ALL split files are in this folder!\r\n"
              "COPY /B \"Holiday.s01\" + \"Holiday.s02\" + \"Holiday.s03\" \"Holiday.avi\"");
}

TEST(SplitFile, RefusesBeforeAnythingIsWritten) {
    TempDir dir;
    WriteFile(dir / "same.bin", std::string(100, 'a'));
    MakeFolder(dir / "out");
    struct Case {
        std::string source;
        std::string folder;
        std::uint32_t pieceSize;
        std::string message;
    };
    const std::vector<Case> cases = {
        {dir / "same.bin", dir / "out", 100, "File does not need splitting!"},
        {dir / "missing.bin", dir / "out", 0, "File does not need splitting!"},
        {dir.Path(), dir / "out", 0, "File does not need splitting!"},  // a folder
        {dir / "same.bin", dir / "out", 0, "Invalid split size!"},
        {dir / "same.bin", "", 10, kNoDrive},
    };
    for (const auto& c : cases) {
        EngineHarness h;
        EXPECT_FALSE(h.Split(c.source, c.folder, c.pieceSize));
        EXPECT_EQ(h.message, c.message) << c.source;
        EXPECT_TRUE(h.files.created.empty()) << c.source;
        EXPECT_EQ(h.progress.shown, 0);
    }
    // 2 GiB is the largest piece.
    EngineHarness h;
    EXPECT_FALSE(h.Split(dir / "same.bin", dir / "out", 2147483648u));
    EXPECT_EQ(h.message, "File does not need splitting!");
}

TEST(SplitFile, NeverWritesAPieceOverTheSource) {
    TempDir dir;
    const std::string bytes = PatternBytes(3000);
    WriteFile(dir / "movie.s03", bytes);
    EngineHarness h;
    EXPECT_FALSE(h.Split(dir / "movie.s03", dir.Path(), 1000));  // piece 3 would be movie.s03
    EXPECT_EQ(h.message, "A split file would overwrite the source file!");
    EXPECT_EQ(ReadFile(dir / "movie.s03"), bytes);
    EXPECT_TRUE(h.files.created.empty());

    // The same file under another name: a hard link in the destination.
    MakeFolder(dir / "out");
    std::filesystem::create_hard_link(dir / "movie.s03",
                                      dir / "out" + kPathDelimiter + "movie.s02");
    EXPECT_FALSE(h.Split(dir / "movie.s03", dir / "out", 1000));
    EXPECT_EQ(h.message, "A split file would overwrite the source file!");
    EXPECT_EQ(ReadFile(dir / "movie.s03"), bytes);
}

TEST(SplitFile, AMissingFolderCannotBeCreatedInto) {
    TempDir dir;
    WriteFile(dir / "Holiday.avi", std::string(30, 'h'));
    EngineHarness h;
    h.files.freeSpace = [](const std::string&) { return std::int64_t{1} << 40; };
    EXPECT_FALSE(h.Split(dir / "Holiday.avi", dir / "Missing", 10));
    EXPECT_EQ(h.message,
              "Cannot create file " + (dir / "Missing/Holiday.s01") + ": " + kNoFolderReason + "!");
    EXPECT_EQ(h.progress.shown, 0);
    EXPECT_EQ(h.files.openFiles, 0);
}

TEST(SplitFile, AFullDiskLeavesNoPieceOnTheMediumAtHand) {
    TempDir dir;
    const std::string bytes = PatternBytes(10000);
    WriteFile(dir / "data.bin", bytes);
    EngineHarness h;
    h.files.failWritesAfter = 2500;  // in piece 3
    EXPECT_FALSE(h.Split(dir / "data.bin", dir.Path(), 1000));
    EXPECT_EQ(h.message, "Stream write error: " + SystemReason(ENOSPC) + "!");
    EXPECT_EQ(Pieces(dir.Path(), "data").size(), 0u);
    EXPECT_FALSE(Exists(dir / ".data.olvo-lock"));
    EXPECT_FALSE(Exists(dir / "data.bin.split"));
    EXPECT_FALSE(Exists(dir / "data.bin.bat"));
    EXPECT_EQ(ReadFile(dir / "data.bin"), bytes);
    EXPECT_EQ(h.progress.shown, 0);
    EXPECT_EQ(h.files.openFiles, 0);

    // Full while the small files are written: no piece, no small file, no descriptor.
    TempDir dir2;
    WriteFile(dir2 / "data.bin", bytes);
    EngineHarness h2;
    h2.files.failWritesAfter = 10003;
    EXPECT_FALSE(h2.Split(dir2 / "data.bin", dir2.Path(), 1000));
    EXPECT_EQ(h2.message, "Disk full: " + std::generic_category().message(ENOSPC) + "!");
    EXPECT_EQ(Pieces(dir2.Path(), "data").size(), 0u);
    EXPECT_FALSE(Exists(dir2 / "data.bin.split") || Exists(dir2 / "data.bin.sha256"));
    EXPECT_EQ(h2.files.openFiles, 0);
}

TEST(SplitFile, ASourceThatShrinksIsAReadError) {
    TempDir dir;
    WriteFile(dir / "data.bin", PatternBytes(5000));
    EngineHarness h;
    h.files.failReadPath = dir / "data.bin";
    h.files.failReadAfter = 1500;
    EXPECT_FALSE(h.Split(dir / "data.bin", dir.Path(), 1000));
    EXPECT_EQ(h.message, "Stream read error!");
    EXPECT_FALSE(Exists(dir / "data.bin.split"));
}

TEST(SplitFile, AsksForNewMediaOnlyOnceThePiecesSoFarAreOnTheMedium) {
    TempDir dir;
    const std::string bytes = PatternBytes(5000);
    WriteFile(dir / "data.bin", bytes);
    EngineHarness h;
    h.files.trackUnsynced = true;
    int calls = 0;
    bool swapped = false;
    // Room for two pieces, then none until the user swaps the medium.
    h.files.freeSpace = [&](const std::string&) -> std::int64_t {
        ++calls;
        if (swapped) return 1 << 20;
        return calls <= 2 ? 1000 : 999;
    };
    // At each question the user takes the medium out: whatever was not yet on it is lost, and
    // the pieces written so far must still be whole.
    std::vector<std::vector<std::string>> piecesAtPrompt;
    auto takeOut = [&] {
        h.files.DropUnsynced();
        piecesAtPrompt.push_back(Pieces(dir.Path(), "data"));
    };
    h.prompt.steps.push_back({PromptAnswer::Retry, takeOut});  // nothing changed: asked again
    h.prompt.steps.push_back({PromptAnswer::Retry, [&] {
                                  takeOut();
                                  swapped = true;
                              }});
    ASSERT_TRUE(h.Split(dir / "data.bin", dir.Path(), 1000)) << h.message;
    EXPECT_EQ(h.prompt.asked, std::vector<std::string>(2, kMediaPrompt));
    const std::vector<std::string> firstTwo = {bytes.substr(0, 1000), bytes.substr(1000, 1000)};
    ASSERT_EQ(piecesAtPrompt.size(), 2u);
    for (const auto& pieces : piecesAtPrompt) {
        EXPECT_TRUE(pieces == firstTwo)
            << pieces.size() << " pieces of " << (pieces.empty() ? 0 : pieces[0].size()) << ", "
            << (pieces.size() < 2 ? 0 : pieces[1].size()) << " bytes";
    }
    EXPECT_EQ(Joined(Pieces(dir.Path(), "data")), bytes);
}

// Cancel takes away the pieces on the medium at hand; those on media taken out before stay, and
// the message says which.
TEST(SplitFile, CancelAtThePromptKeepsOnlyThePiecesOfEarlierMedia) {
    const std::vector<std::pair<std::vector<PromptAnswer>, std::string>> cases = {
        {{PromptAnswer::Cancel}, "Operation aborted!"},
        {{PromptAnswer::Retry, PromptAnswer::Cancel},
         "Operation aborted! Pieces 1 to 2 stay on earlier media."},
    };
    for (const auto& [answers, message] : cases) {
        TempDir dir;
        WriteFile(dir / "data.bin", PatternBytes(5000));
        EngineHarness h;
        int calls = 0;  // room for two pieces, then for one on the next medium
        h.files.freeSpace = [&](const std::string&) -> std::int64_t {
            ++calls;
            return calls <= 2 || calls == 4 ? 1000 : 10;
        };
        for (const auto answer : answers) h.prompt.steps.push_back({answer, nullptr});
        EXPECT_FALSE(h.Split(dir / "data.bin", dir.Path(), 1000));
        EXPECT_EQ(h.message, message);
        // Here every medium is one folder: what stays is the earlier media's.
        EXPECT_EQ(Pieces(dir.Path(), "data").size(), answers.size() == 1 ? 0u : 2u);
        EXPECT_FALSE(Exists(dir / "data.s03"));
        EXPECT_FALSE(Exists(dir / "data.bin.split"));
        EXPECT_EQ(h.progress.shown, 0);
        EXPECT_EQ(h.files.openFiles, 0);
    }
}

TEST(SplitFile, FreeSpaceExactlyAPieceIsEnoughAndAnUnknownVolumeIsRefused) {
    TempDir dir;
    WriteFile(dir / "data.bin", PatternBytes(2500));
    EngineHarness h;
    // The last piece's medium also takes the descriptor, the batch file and the .sha256 file, a
    // block each.
    int calls = 0;
    h.files.freeSpace = [&](const std::string&) -> std::int64_t {
        return ++calls <= 2 ? 1000 : 500 + 3 * 4096;
    };
    EXPECT_TRUE(h.Split(dir / "data.bin", dir.Path(), 1000)) << h.message;
    EXPECT_TRUE(h.prompt.asked.empty());

    EngineHarness gone;
    gone.files.freeSpace = [](const std::string&) -> std::int64_t { return -1; };
    EXPECT_FALSE(gone.Split(dir / "data.bin", dir.Path(), 1000));
    EXPECT_EQ(gone.message, kNoDrive);
    EXPECT_TRUE(gone.prompt.asked.empty());
}

TEST(SplitFile, HundredPiecesAndNamesThatShareABase) {
    TempDir dir;
    WriteFile(dir / "Data.bin", PatternBytes(100 * 16 - 3));
    EngineHarness h;
    ASSERT_TRUE(h.Split(dir / "Data.bin", dir.Path(), 16)) << h.message;
    EXPECT_TRUE(Exists(dir / "Data.s09"));
    EXPECT_TRUE(Exists(dir / "Data.s100"));
    EXPECT_FALSE(Exists(dir / "Data.s101"));
    const std::string bat = ReadFile(dir / "Data.bin.bat");
    EXPECT_NE(bat.find("\"Data.s99\" + \"Data.s100\" \"Data.bin\""), std::string::npos);

    // Data.txt shares the pieces' names, not the descriptor or the batch file: only asked to, it
    // writes over them.
    WriteFile(dir / "Data.txt", PatternBytes(40, 7));
    EXPECT_FALSE(h.Split(dir / "Data.txt", dir.Path(), 16));
    EXPECT_EQ(h.message, OtherSetRefusal(dir.Path(), "Data.bin"));
    h.splitOptions.overwrite = true;
    ASSERT_TRUE(h.Split(dir / "Data.txt", dir.Path(), 16)) << h.message;
    EXPECT_EQ(ReadFile(dir / "Data.s01"), PatternBytes(40, 7).substr(0, 16));
    EXPECT_TRUE(Exists(dir / "Data.bin.split"));
    EXPECT_TRUE(Exists(dir / "Data.txt.split"));
    EXPECT_TRUE(Exists(dir / "Data.s100"));  // a longer earlier split keeps its higher numbers
}

TEST(SplitFile, NamesWithPercentSpacesAndLettersBeyondAscii) {
    TempDir dir;
#ifdef _WIN32
    // Names are text in the system code page there (1252): an en dash, an n with a tilde.
    const std::string words = "50% off \x96 a\xF1o 2024";
#else
    const std::string words = "50% off – año 2024";
#endif
    const std::string name = words + ".tar.gz";
    WriteFile(dir / name, PatternBytes(300));
    EngineHarness h;
    ASSERT_TRUE(h.Split(dir / name, dir.Path(), 100)) << h.message;
    EXPECT_TRUE(Exists(dir / (words + ".tar.s03")));
    // The batch file takes such names from its own name.
    EXPECT_NE(ReadFile(dir / (name + ".bat")).find("\"%B%.s03\" \"%~n0\""), std::string::npos);
#ifndef _WIN32
    // A name no batch file can carry still splits; its batch file says so when run.
    const std::string quoted = "say \"cheese\".bin";
    WriteFile(dir / quoted, PatternBytes(300));
    ASSERT_TRUE(h.Split(dir / quoted, dir.Path(), 100)) << h.message;
    EXPECT_NE(ReadFile(dir / (quoted + ".bat")).find("EXIT /B 1"), std::string::npos);
#endif
}

#ifndef _WIN32  // sparse files, sha256sum
// A sparse source past 4 GiB on disk, cut into the largest pieces FAT takes and put back: sizes
// are 64-bit from the plan through the copy, the hashes and the restore.
TEST(SplitFile, SourcesAbove4GiBAreSplitIntoFatSizedPiecesAndBack) {
    TempDir dir;
    struct statvfs vfs {};
    const std::uint64_t size = kFatLargestFile + (1 << 20) + 3;
    if (::statvfs(dir.Path().c_str(), &vfs) != 0 ||
        vfs.f_bavail * vfs.f_frsize < 2 * size + (1ull << 30))
        GTEST_SKIP() << "not enough room in " << dir.Path();
    const std::string source = dir / "big.img";
    const int fd = ::open(source.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
    for (const std::uint64_t at :
         {std::uint64_t{0}, kFatLargestFile - 1, kFatLargestFile, size - 1})
        ASSERT_EQ(::pwrite(fd, "M", 1, static_cast<off_t>(at)), 1);
    ::close(fd);

    // The system's own files, so that the copies go through the kernel as in real use.
    NullProgress progress;
    CancelPrompt prompt;
    const auto files = MakeSystemFileSystem();
    EngineContext context{*files, progress, prompt, DateTimeFormat(DateTimeConventions{})};
    const auto split = SplitFile(context, source, dir.Path(), kFatLargestFile);
    ASSERT_TRUE(split.ok) << split.message;
    EXPECT_EQ(std::filesystem::file_size(dir / "big.s01"), kFatLargestFile);
    MakeFolder(dir / "out");
    const auto restore = RestoreFile(context, dir / "big.img.split", dir / "out", {});
    ASSERT_TRUE(restore.ok) << restore.message;
    EXPECT_EQ(std::filesystem::file_size(dir / "out/big.img"), size);
    const auto sums = RunProgram("/usr/bin/sha256sum", {source, dir / "out/big.img"}, "", "", {},
                                 std::chrono::seconds(600));
    EXPECT_EQ(sums.out.substr(0, 64), sums.out.substr(sums.out.find('\n') + 1, 64));
}
#endif

// A file system whose largest file is smaller than a piece refuses the split before a byte of a
// piece goes there: the destination's at the start, a new medium's at the swap (whose earlier
// pieces stay).
TEST(SplitFile, PiecesLargerThanTheFileSystemTakesAreRefused) {
    EXPECT_EQ(TooLargeForFileSystemText("Pieces", 4ull << 30, "/media/usb", kFatLargestFile, ","),
              "Pieces of 4,096 MiB do not fit on /media/usb: its file system takes files of at "
              "most 4 GiB \u2212 1 byte");
    for (const bool atStart : {true, false}) {
        TempDir dir;
        WriteFile(dir / "data.bin", PatternBytes(5000));
        EngineHarness h;
        bool swapped = atStart;
        int calls = 0;  // room for two pieces, then none until the swap
        h.files.freeSpace = [&](const std::string&) -> std::int64_t {
            return ++calls <= 2 || swapped ? 1000 : 999;
        };
        h.files.largestFile = [&](const std::string&) {
            return swapped ? std::optional<std::uint64_t>(999) : std::nullopt;
        };
        h.prompt.steps.push_back({PromptAnswer::Retry, [&] { swapped = true; }});
        EXPECT_FALSE(h.Split(dir / "data.bin", dir.Path(), 1000));
        EXPECT_EQ(h.message, "Pieces of 1,000 bytes do not fit on " + dir.Path() +
                                 ": its file system takes files of at most 999 bytes!" +
                                 (atStart ? "" : " Pieces 1 to 2 stay on earlier media."));
        EXPECT_EQ(Exists(dir / "data.s02"), !atStart);
        EXPECT_FALSE(Exists(dir / "data.s03"));
    }
    // A recovery file holds a slice the size of a piece and the index beside it.
    TempDir dir;
    WriteFile(dir / "data.bin", PatternBytes(5000));
    EngineHarness h;
    h.splitOptions.recoveryCount = 1;
    h.files.largestFile = [](const std::string&) { return std::optional<std::uint64_t>(1000); };
    EXPECT_FALSE(h.Split(dir / "data.bin", dir.Path(), 1000));
    EXPECT_EQ(h.message.substr(0, 29), "Recovery files of 12 KiB do n") << h.message;
}

// What a pipe gives: its bytes once, from the start, and no size.
class StringStream final : public InputFile {
  public:
    explicit StringStream(std::string bytes) : m_bytes(std::move(bytes)) {}
    std::size_t Read(void* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, m_bytes.size() - m_at);
        std::memcpy(buffer, m_bytes.data() + m_at, n);
        m_at += n;
        return n;
    }
    FileStamp Stamp() override { return {}; }
    void Seek(std::uint64_t) override { throw FileError("Illegal seek", ESPIPE); }

  private:
    std::string m_bytes;
    std::size_t m_at = 0;
};

// A stream's descriptor checksum comes from the middle of the stream, read back at its end from
// the pieces that hold it: from a medium taken out, asked for (and the last piece's medium after
// it). Every medium is a folder here: swapping one moves the pieces between dir and a shelf.
TEST(SplitFile, AStreamsChecksumIsReadBackFromItsPiecesOnWhicheverMedium) {
    const std::string mediaPrompt =
        "Split|The split file being copied is too large for the destination drive.\r\rInsert new "
        "media to continue.";
    const std::string why =
        ".\r\rThe descriptor's checksum is taken from the middle of the stream, which that piece "
        "holds.";
    for (const bool acrossMedia : {false, true}) {
        TempDir dir, first, second;
        const std::string bytes = PatternBytes(5000);
        WriteFile(first / "whole.bin", bytes);
        EngineHarness h;
        int checks = 0;  // room for three pieces, then for the rest on a second medium
        h.files.freeSpace = [&](const std::string&) -> std::int64_t {
            return !acrossMedia || ++checks <= 3 || checks > 4 ? 1 << 20 : 10;
        };
        auto move = [&](const std::string& from, const std::string& to, int a, int b) {
            for (int k = a; k <= b; ++k)
                std::filesystem::rename(from + "/" + PieceName("data", k),
                                        to + "/" + PieceName("data", k));
        };
        h.prompt.steps = {{PromptAnswer::Retry, [&] { move(dir.Path(), first.Path(), 1, 3); }},
                          {PromptAnswer::Retry,
                           [&] {
                               move(dir.Path(), second.Path(), 4, 5);
                               move(first.Path(), dir.Path(), 3, 3);
                           }},
                          {PromptAnswer::Retry, [&] {
                               move(dir.Path(), first.Path(), 3, 3);
                               move(second.Path(), dir.Path(), 4, 5);
                           }}};
        StringStream stream(bytes);
        ASSERT_TRUE(h.Took(SplitStream(h.context, stream, "data.bin", dir.Path(), 1000)))
            << h.message;
        const std::vector<std::string> asked = {
            mediaPrompt, "Split|Please insert the medium that holds piece data.s03" + why,
            "Split|Please insert the medium that holds piece data.s04" + why};
        EXPECT_EQ(h.prompt.asked, acrossMedia ? asked : std::vector<std::string>{});
        const auto descriptor = ReadDescriptor(ReadFile(dir / "data.bin.split"));
        EXPECT_EQ(descriptor.pieceCount, 5u);
        EXPECT_EQ(descriptor.checksum, FileChecksum(h.files, first / "whole.bin"));
        move(first.Path(), dir.Path(), 1, acrossMedia ? 3 : 0);
        EXPECT_EQ(Joined(Pieces(dir.Path(), "data")), bytes);
    }
}

}  // namespace
}  // namespace olvo
