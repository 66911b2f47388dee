// A split never overwrites another set's files unasked, never leaves a descriptor that lies, and
// never writes through a symbolic link.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <algorithm>
#include <cerrno>
#include <functional>
#include <map>
#include <system_error>

#include "core/engine/FileFunctions.h"
#include "core/engine/FileSplit.h"
#include "core/recovery/RecoveryFiles.h"
#include "support/EngineHarness.h"

namespace olvo {
namespace {

using namespace test;

std::vector<std::string> Names(const std::string& folder) {
    auto names = MakeSystemFileSystem()->List(folder);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> Names(const TempDir& dir) {
    return Names(dir.Path());
}

// Restores descriptor into a folder of its own and returns the bytes, or the failure message.
std::string Restored(const std::string& descriptor) {
    TempDir out;
    EngineHarness h;
    if (!h.Restore(descriptor, out.Path())) return h.message;
    return ReadFile(out /
                    FileNamePart(descriptor.substr(0, descriptor.size() - 6), Extension::Keep));
}

TEST(SplitSafety, PiecesInTheWay) {
    const std::string avi = PatternBytes(500, 1), srt = PatternBytes(300, 2);
    std::string otherSet;  // learnt from the first split
    struct Case {
        const char* what;
        std::string first;              // split first, in 100-byte pieces
        std::string second;             // then this source, of the second content
        std::uint32_t secondPiece;      // in pieces of this size
        bool overwrite;                 // --overwrite
        std::optional<bool> answer;     // what the user answers when asked
        std::string message;            // empty: the second split succeeds
        std::vector<std::string> left;  // the pieces afterwards
    };
    const std::vector<std::string> five = {"movie.s01", "movie.s02", "movie.s03", "movie.s04",
                                           "movie.s05"};
    const std::vector<Case> cases = {
        {"another set, No (or no one to ask)", "movie.avi", "movie.srt", 100, false, false, "other",
         five},
        {"another set, Yes", "movie.avi", "movie.srt", 100, false, true, "", five},
        {"another set, --overwrite", "movie.avi", "movie.srt", 100, true, std::nullopt, "", five},
        {"the same file, fewer pieces",
         "movie.avi",
         "movie.avi",
         250,
         false,
         std::nullopt,
         "",
         {"movie.s01", "movie.s02"}},
        {"the same file, more pieces",
         "movie.avi",
         "movie.avi",
         50,
         false,
         std::nullopt,
         "",
         {"movie.s01", "movie.s02", "movie.s03", "movie.s04", "movie.s05", "movie.s06", "movie.s07",
          "movie.s08", "movie.s09", "movie.s10"}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        WriteFile(dir / c.first, avi);
        EngineHarness first;
        ASSERT_TRUE(first.Split(dir / c.first, dir.Path(), 100)) << first.message;
        const auto before = Names(dir);
        otherSet = OtherSetRefusal(dir.Path(), "movie.avi");
        if (c.second != c.first) WriteFile(dir / c.second, srt);

        struct YesNo : ScriptedPrompt {
            std::optional<bool> answer;
            std::string expected;
            int asked = 0;
            bool AskYesNo(const std::string& caption, const std::string& text) override {
                ++asked;
                EXPECT_EQ(caption + "|" + text, "Split|" + expected +
                                                    "\r\rDo you want to "
                                                    "overwrite them?");
                return answer.value_or(false);
            }
        } prompt;
        prompt.answer = c.answer;
        prompt.expected = otherSet;
        EngineHarness h;
        EngineContext context{h.files, h.progress, prompt, h.context.dateFormat};
        SplitOptions options;
        options.overwrite = c.overwrite;
        const auto split = SplitFile(context, dir / c.second, dir.Path(), c.secondPiece, options);
        EXPECT_EQ(split.ok, c.message.empty()) << c.what;
        EXPECT_EQ(split.message, c.message == "other" ? otherSet : c.message) << c.what;
        EXPECT_EQ(prompt.asked, c.answer ? 1 : 0) << c.what;  // asked only for another set
        std::vector<std::string> pieces;
        for (const auto& name : Names(dir))
            if (name.rfind("movie.s", 0) == 0 && name.find('.', 6) == std::string::npos &&
                name != "movie.srt")
                pieces.push_back(name);
        EXPECT_EQ(pieces, c.left) << c.what;
        if (!split.ok) {
            auto now = Names(dir);
            now.erase(std::find(now.begin(), now.end(), c.second));
            EXPECT_EQ(now, before) << c.what;  // nothing written
            EXPECT_EQ(Restored(dir / "movie.avi.split"), avi) << c.what;
        } else {
            EXPECT_EQ(Restored(dir / (c.second + ".split")), c.second == c.first ? avi : srt)
                << c.what;
        }
    }
}

// A re-split of the same file with fewer recovery pieces, whatever the width of their names,
// takes the earlier set's others away, and its index with none.
TEST(SplitSafety, RecoveryFilesOfTheEarlierSetGoWithIt) {
    TempDir dir;
    WriteFile(dir / "f.bin", PatternBytes(4800));
    for (const std::uint32_t count : {120u, 3u, 0u, 1u}) {
        EngineHarness h;
        h.splitOptions.recoveryCount = count;
        ASSERT_TRUE(h.Split(dir / "f.bin", dir.Path(), 40)) << h.message;
        std::vector<std::string> left = RecoveryFileNames("f.bin", count), names;
        if (count > 0) left.insert(left.begin(), "f.bin.par2");
        for (const auto& name : Names(dir))
            if (name.find(".par2") < 99) names.push_back(name);
        EXPECT_EQ(names, left) << count;
    }
}

TEST(SplitSafety, AFullMediumNeverLeavesAnEmptyOrPartialSmallFile) {
    const std::string bytes = PatternBytes(3000);
    for (std::uint64_t room = 3000; room < 3800; room += 7) {
        TempDir dir;
        WriteFile(dir / "f.bin", bytes);
        WriteFile(dir / "f.bin.split", "an earlier descriptor");
        EngineHarness h;
        h.splitOptions.overwrite = true;
        h.files.failWritesAfter = room;
        const bool ok = h.Split(dir / "f.bin", dir.Path(), 1000);
        if (!ok) {
            EXPECT_EQ(h.message, "Disk full: " + std::generic_category().message(ENOSPC) + "!")
                << room;
            EXPECT_FALSE(Exists(dir / "f.bin.split")) << room;
        } else {
            EXPECT_EQ(Restored(dir / "f.bin.split"), bytes);
        }
        for (const std::string name : {"f.bin.split", "f.bin.bat", "f.bin.sha256"}) {
            if (Exists(dir / name)) {
                EXPECT_FALSE(ReadFile(dir / name).empty()) << name;
            }
        }
        for (const auto& name : Names(dir))
            EXPECT_EQ(name.find(".unfinished-"), std::string::npos) << room << " " << name;
    }
    // The small files count in the space check of the last piece.
    TempDir dir;
    WriteFile(dir / "f.bin", bytes);
    EngineHarness h;
    h.files.freeSpace = [](const std::string&) -> std::int64_t { return 1000; };
    EXPECT_FALSE(h.Split(dir / "f.bin", dir.Path(), 1000));
    EXPECT_EQ(h.message, "Operation aborted!");
    EXPECT_EQ(h.prompt.asked.size(), 1u);
    EXPECT_FALSE(Exists(dir / "f.s03"));
}

#ifndef _WIN32  // processes, appends and links as POSIX makes them
// What a split of source killed before piece killAt leaves: a child process ends there at once.
void KilledSplit(const std::string& source, const std::string& folder, std::uint32_t pieceSize,
                 std::uint32_t killAt) {
    const pid_t child = ::fork();
    if (child == 0) {
        struct Dying : RecordingProgress {
            std::uint32_t at = 0;
            void SetPosition(std::uint32_t k) override {
                if (k == at) ::_exit(9);
            }
        } progress;
        progress.at = killAt;
        EngineHarness h;
        EngineContext context{h.files, progress, h.prompt, h.context.dateFormat};
        SplitFile(context, source, folder, pieceSize);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
}

// Every name a split writes is claimed first: what is not of an earlier split of this same file
// stays unless replacing it was asked for.
TEST(SplitSafety, FilesInTheWay) {
    const std::string bytes = PatternBytes(3000, 3);
    struct Case {
        const char* what;
        std::function<void(const TempDir&)> before;
        std::string refusal;  // empty: replaced without a question; "other": another set's
    };
    const std::vector<Case> cases = {
        {"the user's setup.bat", [](auto& d) { WriteFile(d / "out/setup.bat", "mine"); },
         "The file setup.bat would be overwritten!"},
        {"the user's setup.sha256", [](auto& d) { WriteFile(d / "out/setup.sha256", "mine"); },
         "The file setup.sha256 would be overwritten!"},
        {"the user's setup.split", [](auto& d) { WriteFile(d / "out/setup.split", "mine"); },
         "The file setup.split would be overwritten!"},
        {"a set of another file of this name",
         [](auto& d) {
             WriteFile(d / "v1/setup", PatternBytes(2500, 4));
             EngineHarness().Split(d / "v1/setup", d / "out", 500);
         },
         "other"},
        {"an earlier set of this same file",
         [](auto& d) { EngineHarness().Split(d / "src/setup", d / "out", 500); }, ""},
        {"the leftovers of a split of this same file killed",
         [](auto& d) { KilledSplit(d / "src/setup", d / "out", 500, 5); }, ""},
    };
    for (const auto& c : cases) {
        for (const bool overwrite : {false, true}) {
            TempDir dir;
            for (const char* folder : {"out", "src", "v1"}) MakeFolder(dir / folder);
            WriteFile(dir / "src/setup", bytes);
            c.before(dir);
            std::map<std::string, std::string> was;
            for (const auto& name : Names(dir / "out")) was[name] = ReadFile(dir / ("out/" + name));
            const std::string refusal =
                c.refusal == "other" ? OtherSetRefusal(dir / "out", "setup") : c.refusal;
            EngineHarness h;
            h.splitOptions.overwrite = overwrite;
            const bool ok = h.Split(dir / "src/setup", dir / "out", 1000);
            const std::string label = std::string(c.what) + (overwrite ? ", --overwrite" : "");
            if (!overwrite && !refusal.empty()) {
                EXPECT_FALSE(ok) << label;
                EXPECT_EQ(h.message, refusal) << label;
                std::map<std::string, std::string> now;
                for (const auto& name : Names(dir / "out"))
                    now[name] = ReadFile(dir / ("out/" + name));
                EXPECT_EQ(now, was) << label;
                continue;
            }
            ASSERT_TRUE(ok) << label << ": " << h.message;
            EXPECT_EQ(Restored(dir / "out/setup.split"), bytes) << label;
            EXPECT_EQ(Names(dir / "out"),
                      (std::vector<std::string>{"setup.bat", "setup.s01", "setup.s02", "setup.s03",
                                                "setup.sha256", "setup.split"}))
                << label;  // the earlier pieces past the new count and the lock file gone
        }
    }
}

TEST(SplitSafety, TwoSplitsIntoOneFolderAtOnce) {
    TempDir dir;
    const std::string a = PatternBytes(32 << 20, 1), b = PatternBytes(32 << 20, 2);
    WriteFile(dir / "a.bin", a);
    WriteFile(dir / "a.dat", b);
    pid_t children[2];
    for (int i = 0; i < 2; ++i) {
        children[i] = ::fork();
        ASSERT_GE(children[i], 0);
        if (children[i] == 0) {
            EngineHarness h;
            const bool ok = h.Split(dir / (i == 0 ? "a.bin" : "a.dat"), dir.Path(), 1 << 20);
            ::_exit(ok ? 0
                    : h.message.rfind("The pieces of a.bin (", 0) == 0 ||
                            h.message.rfind("The pieces of a.dat (", 0) == 0
                        ? 1
                        : 2);
        }
    }
    int results[2];
    for (int i = 0; i < 2; ++i) {
        int status = 0;
        ::waitpid(children[i], &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        results[i] = WEXITSTATUS(status);
    }
    // One wins, the other is told whose pieces are in its way; the winner's set is whole.
    EXPECT_EQ(std::min(results[0], results[1]), 0);
    EXPECT_EQ(std::max(results[0], results[1]), 1);
    EXPECT_EQ(Restored(dir / (results[0] == 0 ? "a.bin.split" : "a.dat.split")),
              results[0] == 0 ? a : b);
    EXPECT_FALSE(Exists(dir / (results[0] == 0 ? "a.dat.split" : "a.bin.split")));
    EXPECT_FALSE(Exists(dir / ".a.olvo-lock"));
}

TEST(SplitSafety, ASourceThatChangesMeanwhile) {
    for (const bool grows : {true, false}) {
        TempDir dir;
        const std::string bytes = PatternBytes(64 << 20);
        WriteFile(dir / "c.bin", bytes);
        // The source changes under the split: a child appends to it, or it is cut short.
        struct Changing : RecordingProgress {
            std::function<void()> change;
            int positions = 0;
            void SetPosition(std::uint32_t) override {
                if (++positions == 2 && change) change();
            }
        } progress;
        pid_t child = -1;
        progress.change = [&] {
            if (!grows) {
                ASSERT_EQ(::truncate((dir / "c.bin").c_str(), 10 << 20), 0);
                return;
            }
            child = ::fork();
            if (child == 0) {
                const int fd = ::open((dir / "c.bin").c_str(), O_WRONLY | O_APPEND);
                (void)!::write(fd, "more", 4);
                ::_exit(0);
            }
            ::waitpid(child, nullptr, 0);
        };
        EngineHarness h;
        EngineContext context{h.files, progress, h.prompt, h.context.dateFormat};
        const auto split = SplitFile(context, dir / "c.bin", dir.Path(), 8 << 20);
        EXPECT_FALSE(split.ok);
        EXPECT_EQ(split.message, "The file changed while it was being split!") << grows;
        EXPECT_EQ(Names(dir), std::vector<std::string>{"c.bin"}) << grows;
    }
}

TEST(SplitSafety, NoFileOfASetIsWrittenThroughALink) {
    TempDir dir;
    const std::string bytes = PatternBytes(3000);
    WriteFile(dir / "a.bin", bytes);
    WriteFile(dir / "precious", "not to be touched");
    for (const std::string name : {"a.s02", "a.bin.bat", "a.bin.split", "a.bin.sha256"})
        ASSERT_EQ(::symlink((dir / "precious").c_str(), (dir / name).c_str()), 0);
    EngineHarness h;
    h.splitOptions.overwrite = true;  // a link in a piece's place is someone's file
    ASSERT_TRUE(h.Split(dir / "a.bin", dir.Path(), 1000)) << h.message;
    EXPECT_EQ(ReadFile(dir / "precious"), "not to be touched");
    struct stat st {};
    for (const std::string name : {"a.s02", "a.bin.bat", "a.bin.split", "a.bin.sha256"}) {
        ASSERT_EQ(::lstat((dir / name).c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode)) << name;
    }
    // The restored file arrives by rename: a link under its name is replaced, not followed.
    TempDir out;
    ASSERT_EQ(::symlink((dir / "precious").c_str(), (out / "a.bin").c_str()), 0);
    ASSERT_TRUE(h.Restore(dir / "a.bin.split", out.Path(), {.overwrite = true})) << h.message;
    EXPECT_EQ(ReadFile(dir / "precious"), "not to be touched");
    EXPECT_EQ(ReadFile(out / "a.bin"), bytes);

    // A name too long for the folder is refused before anything is written.
    TempDir longer;
    const std::string name(250, 'n');
    WriteFile(longer / (name + ".bin"), bytes);
    const auto before = Names(longer);
    EXPECT_FALSE(h.Split(longer / (name + ".bin"), longer.Path(), 1000));
    EXPECT_EQ(h.message, "The file name is too long for the destination folder: " + name +
                             ".bin.sha256 has 261 bytes, at most 255 fit!");
    EXPECT_EQ(Names(longer), before);
}

#endif

}  // namespace
}  // namespace olvo
