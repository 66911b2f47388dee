#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "core/engine/EngineError.h"
#include "core/engine/FileFunctions.h"
#include "core/engine/FileSplit.h"
#include "core/engine/SplitSet.h"
#include "support/TempDir.h"

namespace olvo {
namespace {

using test::TempDir;
using test::WriteFile;

// path with its "/" written as the platform's delimiter.
std::string Native(std::string path) {
    std::replace(path.begin(), path.end(), '/', kPathDelimiter);
    return path;
}

TEST(PathHelpers, NameAndFolderAroundTheLastDelimiter) {
    EXPECT_EQ(FileNamePart(Native("C:/Video/Holiday.avi"), Extension::Keep), "Holiday.avi");
    EXPECT_EQ(FileNamePart(Native("C:/Video/Holiday.avi"), Extension::Drop), "Holiday");
    EXPECT_EQ(FileNamePart(Native("/a/backup.tar.gz"), Extension::Drop), "backup.tar");
    EXPECT_EQ(FileNamePart(Native("/a/README"), Extension::Drop), "README");
    EXPECT_EQ(FileNamePart(Native("/a/.profile"), Extension::Drop), "");
    EXPECT_EQ(FileNamePart("bare.txt", Extension::Keep), "");
    EXPECT_EQ(FileNamePart(Native("/a/" + std::string(300, 'x')), Extension::Keep).size(), 255u);
    EXPECT_EQ(FolderPart(Native("C:/big.iso")), "C:");
    EXPECT_EQ(FolderPart(Native("/a/b/c.txt")), Native("/a/b"));
    EXPECT_EQ(FolderPart("c.txt"), "");
    EXPECT_EQ(ExtensionPart(Native("/x.y/archive.SPLIT")), ".SPLIT");
    EXPECT_EQ(ExtensionPart(Native("/x.y/archive")), "");
    EXPECT_EQ(WithTrailingDelimiter(Native("/a")), Native("/a/"));
    EXPECT_EQ(WithTrailingDelimiter(Native("/a/")), Native("/a/"));
}

TEST(PieceNames, AtLeastTwoDigitsWithoutUpperBound) {
    EXPECT_EQ(PieceName("Holiday", 1), "Holiday.s01");
    EXPECT_EQ(PieceName("Holiday", 9), "Holiday.s09");
    EXPECT_EQ(PieceName("Holiday", 10), "Holiday.s10");
    EXPECT_EQ(PieceName("Holiday", 100), "Holiday.s100");
    EXPECT_EQ(PieceName("Holiday", 4294967295u), "Holiday.s4294967295");
}

TEST(Descriptor, WritesFourCrLfLines) {
    SplitDescriptor d{3, "25/03/2005 14:03:52", 3145728, 4294967295u};
    EXPECT_EQ(DescriptorHead(d) + DescriptorTail(d),
              "3\r\n25/03/2005 14:03:52\r\n3145728\r\n4294967295\r\n");
    d.fileSize = 5ull << 30;  // sizes above 4 GiB are written whole
    EXPECT_EQ(DescriptorHead(d), "3\r\n25/03/2005 14:03:52\r\n5368709120\r\n");
}

TEST(Descriptor, ReadsNumbersByTheLooseRules) {
    auto d = ReadDescriptor("3 pieces\r\n25/03/2005 14:03:52\r\n3145728 bytes\r\n77 sum\r\n");
    EXPECT_EQ(d.pieceCount, 3u);
    EXPECT_EQ(d.dateText, "25/03/2005 14:03:52");
    EXPECT_EQ(d.fileSize, 3145728u);
    EXPECT_EQ(d.checksum, 77u);

    d = ReadDescriptor("$10\nwhenever\n0x20\n-1\n");  // LF alone, hexadecimal, negative
    EXPECT_EQ(d.pieceCount, 16u);
    EXPECT_EQ(d.dateText, "whenever");
    EXPECT_EQ(d.fileSize, 32u);
    EXPECT_EQ(d.checksum, 4294967295u);
}

// A count or size out of range is refused, never wrapped into range.
TEST(Descriptor, CountsOutsideOneTo32767AreNoSet) {
    for (const char* count : {"-1", "0", "32768", "4294967297", "$100000001"}) {
        const auto d = ReadDescriptor(std::string(count) + "\r\nx\r\n65534\r\n0\r\n");
        EXPECT_FALSE(IsValidDescriptor(d)) << count;
    }
    EXPECT_TRUE(IsValidDescriptor(ReadDescriptor("32767\r\nx\r\n65534\r\n0\r\n")));
    EXPECT_FALSE(IsValidDescriptor(ReadDescriptor("1\r\nx\r\n-5\r\n0\r\n")));
}

TEST(Descriptor, CutShortGivesZeros) {
    const auto d = ReadDescriptor("2\r\n01/01/2001\r\n");
    EXPECT_EQ(d.pieceCount, 2u);
    EXPECT_EQ(d.fileSize, 0u);
    EXPECT_EQ(d.checksum, 0u);
    // A byte 26 ends the text as the end of the file does.
    EXPECT_EQ(ReadDescriptor("2\r\nx\r\n\x1a"
                             "99\r\n")
                  .fileSize,
              0u);
    EXPECT_EQ(ReadDescriptor("").pieceCount, 0u);
}

TEST(Descriptor, BadNumbersFailWithInvalidNumericInput) {
    for (const char* text : {"3pieces\r\n", "\r\n25/03/2005 14:03:52\r\n1\r\n1\r\n", "0x\r\n",
                             "9223372036854775808\r\n", "$1FFFFFFFFFFFFFFFF\r\n", "--1\r\n"}) {
        try {
            ReadDescriptor(text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const EngineError& e) {
            EXPECT_STREQ(e.what(), "Invalid numeric input");
        }
    }
    EXPECT_EQ(ReadDescriptor("-9223372036854775808\r\n").pieceCount, 0u);
}

TEST(BatchFile, SevenLinesWithTheCopyCommandLast) {
    const std::string text = BatchFileText("Holiday.avi", "Holiday", 3);
    const std::string expected =
        "@ECHO OFF\r\n"
        "ECHO Kestrava File Splitter\r\n"
        "ECHO Restore Batch File\r\n"
        "ECHO Splits large files into pieces and puts them back together.\r\n"
        "ECHO Made by the Kestrava team.\r\n"
        "ECHO Please ensure ALL split files are in this folder!\r\n"
        "COPY /B \"Holiday.s01\" + \"Holiday.s02\" + \"Holiday.s03\" \"Holiday.avi\"";
    EXPECT_EQ(text, expected);
    EXPECT_NE(BatchFileText("Holiday", "Holiday", 2).find("\"Holiday.s02\" \"Holiday\""),
              std::string::npos);
}

// Which way each name reaches cmd: written out (ASCII), taken from the batch file's own name
// (other letters, which the console's code page may lack), or not at all (no Windows file can
// have it: the batch file says so and fails).
TEST(BatchFile, EachNameReachesCmdOrTheBatchFileSaysItCannot) {
    const std::string selfName =
        "SETLOCAL\r\nFOR %%N IN (\"%~n0\") DO SET \"B=%%~nN\"\r\n"
        "IF NOT EXIST \"%B%.s01\" ECHO The pieces were not found. This batch file must keep the "
        "name the split gave it.\r\nIF NOT EXIST \"%B%.s01\" EXIT /B 1\r\n"
        "COPY /B \"%B%.s01\" + \"%B%.s02\" \"%~n0\"";
    const std::string none =
        "ECHO The name of the split file cannot be written in a batch file.\r\n"
        "ECHO Please restore it with Kestrava File Splitter.\r\nEXIT /B 1";
    const struct {
        std::string file, base, tail;
    } cases[] = {
        {"100%.bin", "100%", "COPY /B \"100%%.s01\" + \"100%%.s02\" \"100%%.bin\""},
        {"it's & (more).bin", "it's & (more)",
         "COPY /B \"it's & (more).s01\" + \"it's & (more).s02\" \"it's & (more).bin\""},
        {"M\u00fcller fa\u00e7ade.bin", "M\u00fcller fa\u00e7ade", selfName},
        {"\u0416\u0436\u0436 \u0434\u0430\u043d\u043d\u044b\u0435.bin",
         "\u0416\u0436\u0436 \u0434\u0430\u043d\u043d\u044b\u0435", selfName},
        {"\u65e5\u672c\u8a9e.bin", "\u65e5\u672c\u8a9e", selfName},
        {"a\"b.bin", "a\"b", none},
        {"line\nbreak.bin", "line\nbreak", none},
        {"what?.bin", "what?", none},
        {"a:b", "a:b", none},
        {"dot.", "dot", none},
#ifndef _WIN32  // names there are text in the system code page, not UTF-8
        {"latin1 \xe9t\xe9.bin", "latin1 \xe9t\xe9", none},  // not UTF-8
#endif
    };
    const std::string plain = BatchFileText("Holiday.avi", "Holiday", 2);
    const std::string head = plain.substr(0, plain.find("COPY"));
    for (const auto& c : cases) {
        const std::string text = BatchFileText(c.file, c.base, 2);
        EXPECT_EQ(text.rfind(head, 0), 0u) << c.file;
        ASSERT_GE(text.size(), c.tail.size()) << c.file;
        EXPECT_EQ(text.substr(text.size() - c.tail.size()), c.tail) << c.file;
        EXPECT_EQ(IsBatchSafeName(c.file), c.tail != none) << c.file;
        // Whatever cannot be written out stays out of the file.
        if (c.tail != none && c.tail != selfName) continue;
        EXPECT_EQ(text.find_first_of("\x80\x81\xc3\xd0\xe6\xe9?:"), std::string::npos) << c.file;
    }
}

TEST(BatchFile, LongSetsSpreadOverLinesWithinTheLimit) {
    const std::uint32_t count = 600;
    const std::string text = BatchFileText("Movie.mkv", "Movie", count);
    std::vector<std::string> lines;
    for (std::size_t at = 0;;) {
        const auto end = text.find("\r\n", at);
        lines.push_back(text.substr(at, end - at));
        if (end == std::string::npos) break;
        at = end + 2;
    }
    ASSERT_GT(lines.size(), 7u);
    std::uint32_t next = 1;
    for (std::size_t i = 6; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        EXPECT_LE(line.size(), kBatchLineLimit);
        const std::string start = i == 6 ? "COPY /B \"Movie.s01\"" : "COPY /B \"Movie.mkv\" + \"";
        EXPECT_EQ(line.rfind(start, 0), 0u) << line.substr(0, 40);
        EXPECT_EQ(line.substr(line.size() - 12), " \"Movie.mkv\"");
        // Every piece once, in order.
        for (std::size_t at = line.find("\"Movie.s"); at != std::string::npos;
             at = line.find("\"Movie.s", at + 1)) {
            EXPECT_EQ(line.substr(at + 1, line.find('"', at + 1) - at - 1),
                      PieceName("Movie", next));
            ++next;
        }
    }
    EXPECT_EQ(next, count + 1);
    EXPECT_EQ(text.substr(text.size() - 2) == "\r\n", false);
}

TEST(Checksum, SumsHalfTheWordsFromTheMiddleWithWrapAround) {
    const auto files = MakeSystemFileSystem();
    TempDir dir;
    std::string bytes(24, '\0');
    bytes.replace(12, 4, "\xFF\xFF\xFF\xFF");
    bytes.replace(16, 4, std::string("\x02\x00\x00\x00", 4));
    WriteFile(dir / "24", bytes);
    EXPECT_EQ(FileChecksum(*files, dir / "24"), 1u);

    // 4,000 bytes: the 499 words 500 to 998; the last word never counts.
    std::string four(4000, '\0');
    for (int w = 0; w < 1000; ++w) four[w * 4] = static_cast<char>(w >= 500 && w <= 998 ? 1 : 100);
    WriteFile(dir / "4000", four);
    EXPECT_EQ(FileChecksum(*files, dir / "4000"), 499u);

    // Damage outside the window goes unnoticed; inside it does not.
    std::string big = test::PatternBytes(100000);
    WriteFile(dir / "a", big);
    big[0] ^= 1;
    big[99999] ^= 1;
    WriteFile(dir / "b", big);
    EXPECT_EQ(FileChecksum(*files, dir / "a"), FileChecksum(*files, dir / "b"));
    big[50000] ^= 1;
    WriteFile(dir / "c", big);
    EXPECT_NE(FileChecksum(*files, dir / "a"), FileChecksum(*files, dir / "c"));
}

TEST(Checksum, ShortFilesSumToZeroAndMissingOnesRaise) {
    const auto files = MakeSystemFileSystem();
    TempDir dir;
    for (int size : {0, 1, 8, 11}) {
        WriteFile(dir / "f", std::string(static_cast<std::size_t>(size), '\x7f'));
        EXPECT_EQ(FileChecksum(*files, dir / "f"), 0u) << size;
    }
    WriteFile(dir / "f", std::string(12, '\x01'));
    EXPECT_EQ(FileChecksum(*files, dir / "f"), 0x01010101u);
    try {
        FileChecksum(*files, dir / "missing");
        ADD_FAILURE();
    } catch (const FileError& e) {
        EXPECT_EQ(e.what(), "File not found: " + std::string(test::kNoFileReason));
    }
}

}  // namespace
}  // namespace olvo
