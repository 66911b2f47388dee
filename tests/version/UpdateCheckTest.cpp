#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/Download.h"
#include "platform/ProgramLocation.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"
#include "core/version/ExecutablePath.h"
#include "core/version/GetFileVerInfo.h"
#include "core/version/ProfileText.h"
#include "core/version/UpdateCheck.h"

namespace olvo {
namespace {

using namespace std::chrono_literals;
using test::ClosedPort;
using test::Exists;
using test::ReadFile;
using test::TempDir;
using test::TestHttpServer;
using test::WriteFile;

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

DownloadFunction DownloadWithin(std::chrono::milliseconds stall) {
    return [stall](const std::string& url, const std::string& localPath) {
        DownloadLimits limits;
        limits.stallTime = stall;
        return DownloadUrlToFile(url, localPath, limits);
    };
}

constexpr char kFailureText[] =
    "Could not retrieve version information from the Kestrava server! Ensure you are connected "
    "to the internet and try again.";
constexpr char kLatestText[] = "You have the latest version of Kestrava File Splitter.";

// An update information file: a section for another program, then one for us.
std::string VersionsIni(const std::string& section, const std::string& release,
                        const std::string& location = "http://www.example.com/files") {
    return "; published builds\r\n[Other.exe]\r\nRelease=99999\r\nVersion=9.9\r\n\r\n[" + section +
           "]\r\nRelease=" + release +
           "\r\nDisplayText=Version 1.0.1 is out: faster and smaller.\r\nVersion=1.0.1\r\n"
           "Location=" +
           location + "\r\nFileName=olvo-101.zip\r\n";
}

// Serves the update information file under a home page folder of its own.
class UpdateCheckTest : public ::testing::Test {
  protected:
    std::string Publish(const std::string& name, const std::string& ini) {
        m_server.Serve("/" + name + "/products/versions.ini", {"200 OK", ini});
        return m_server.Url("/" + name);
    }
    UpdateCheckSetup Setup(const std::string& homePage, std::chrono::milliseconds stall = 10s) {
        UpdateCheckSetup setup;
        setup.homePageUrl = homePage;
        setup.applicationTitle = "Kestrava File Splitter";
        setup.ownRelease = "100";
        setup.installedVersion = "1.0.0";
        setup.sectionName = "OLVO.exe";
        setup.localFolder = m_folder.Path();
        setup.download = DownloadWithin(stall);
        return setup;
    }
    std::string LocalCopy() const { return m_folder / "versions.ini"; }

    TestHttpServer m_server;
    TempDir m_folder;
};

TEST(ProfileText, MatchesNamesWithoutRegardToCaseWhateverTheLineEnds) {
    for (const char* end : {"\r\n", "\n", "\r"}) {
        const std::string text = std::string("\xEF\xBB\xBF[other]") + end + "Release=1" + end +
                                 "  [ olvo.EXE ]  " + end + "  release =  42  " + end;
        EXPECT_EQ(ReadProfileInteger(text, "OLVO.exe", "Release", -1), 42);
        EXPECT_EQ(ReadProfileInteger(text, "Other", "RELEASE", -1), 1);
    }
}

TEST(ProfileText, TakesTheFirstSectionAndKeyOfAName) {
    const std::string text =
        "Version=outside\n[A]\nVersion=first\nversion=second\nFlag\n; Version=comment\n"
        "[a]\nVersion=again\nLater=1\n[B=C]\nVersion=b\n";
    EXPECT_EQ(ReadProfileString(text, "A", "Version"), "first");
    EXPECT_EQ(ReadProfileString(text, "A", "Flag"), "");
    EXPECT_EQ(ReadProfileString(text, "A", "Later"), std::nullopt);  // only in the second [a]
    EXPECT_EQ(ReadProfileString(text, "B=C", "Version"), "b");
    EXPECT_EQ(ReadProfileString(text, "", "Version"), std::nullopt);
    EXPECT_EQ(ReadProfileString(text, "Z", "Version"), std::nullopt);
}

TEST(ProfileText, ValuesLoseQuotesAndAreCutAt2047Bytes) {
    const auto read = [](const std::string& value) {
        return *ReadProfileString("[S]\nK=" + value + "\n", "S", "K");
    };
    EXPECT_EQ(read("\"quoted ; text\""), "quoted ; text");
    EXPECT_EQ(read("'single'"), "single");
    EXPECT_EQ(read("\"unbalanced'"), "\"unbalanced'");
    EXPECT_EQ(read("a=b ; not a comment"), "a=b ; not a comment");
    EXPECT_EQ(read(std::string("before\0after", 12)), "before");
    EXPECT_EQ(read(std::string(3000, 'x')), std::string(2047, 'x'));
    // A two-byte character across the limit goes whole rather than in half.
    EXPECT_EQ(read(std::string(2046, 'x') + "\xC3\xA9zz"), std::string(2046, 'x'));
    EXPECT_EQ(read(std::string(2045, 'x') + "\xC3\xA9zz"), std::string(2045, 'x') + "\xC3\xA9");
}

TEST(ProfileText, ReleaseReadsAsSigned32BitInteger) {
    const std::map<std::string, std::int32_t> cases = {
        {"123", 123},
        {"-5", -5},
        {"+7", 7},
        {"0x1F", 31},
        {"0X1f", 31},
        {"$ff", 255},
        {"-$10", -16},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", 0},
        {"0x80000000", 0},
        {"99999999999999999999", 0},
        {"", 0},
        {"0x", 0},
        {"$", 0},
        {"12abc", 0},
        {"1.5", 0},
        {"5 ; note", 0},
        {"- 5", 0},
        {"0x-5", 0},
        {"\"77\"", 77},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ReadUpdateInfo("[OLVO.exe]\nRelease=" + text, "OLVO.exe").release, expected)
            << text;
}

TEST(ProfileText, SurvivesArbitraryBytes) {
    std::mt19937 random(8);
    const std::string alphabet = "[]=;\r\n \t\"'\0xX$0-9aOLVO.exe\xEF\xBB\xBF\xC3\xA9";
    for (int round = 0; round < 3000; ++round) {
        std::string text(random() % 400, '\0');
        for (char& c : text)
            c = random() % 4 == 0 ? static_cast<char>(random())
                                  : alphabet[random() % (alphabet.size())];
        if (round % 10 == 0) text += "=" + std::string(5000, '[');
        const UpdateInfo info = ReadUpdateInfo(text, round % 2 ? "OLVO.exe" : "");
        EXPECT_LE(info.displayText.size(), kProfileValueLimit);
        EXPECT_LE(info.location.size(), kProfileValueLimit);
    }
}

TEST(Download, FetchesTheWholeAnswerAndFollowsRedirects) {
    TestHttpServer server;
    TempDir folder;
    const std::string body = test::PatternBytes(300000, 3);
    server.Serve("/data/file.bin", {"200 OK", body});
    server.Serve("/moved", {"301 Moved Permanently", "", "Location: /data/file.bin\r\n"});
    WriteFile(folder / "old", "stale");

    EXPECT_TRUE(DownloadUrlToFile(server.Url("/moved"), folder / "old"));
    EXPECT_EQ(ReadFile(folder / "old"), body);
    EXPECT_EQ(FolderNames(folder.Path()), std::vector<std::string>{"old"});
}

TEST(Download, AFailureLeavesTheTargetAsItWas) {
    TestHttpServer server;
    TempDir folder;
    server.Serve("/partial", {"200 OK", std::string(5000, 'p'), "", false, 100});
    server.Serve("/to-file", {"302 Found", "", "Location: file:///etc/hostname\r\n"});
    server.Serve("/no-location", {"301 Moved Permanently", ""});
    server.Serve("/huge", {"200 OK", std::string(5000, 'h')});
    const std::string target = folder / "target";
    WriteFile(target, "previous");

    const std::vector<std::string> failing = {
        server.Url("/missing"),  // 404
        server.Url("/partial"),
        server.Url("/to-file"),
        server.Url("/no-location"),
        "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/versions.ini",
        "file://" + target,
    };
    for (const auto& url : failing) {
        EXPECT_FALSE(DownloadUrlToFile(url, target)) << url;
        EXPECT_EQ(ReadFile(target), "previous") << url;
        EXPECT_EQ(FolderNames(folder.Path()), std::vector<std::string>{"target"}) << url;
    }
    DownloadLimits small;
    small.maxBytes = 4096;
    EXPECT_FALSE(DownloadUrlToFile(server.Url("/huge"), target, small));
    EXPECT_FALSE(DownloadUrlToFile(server.Url("/huge"), folder / "no-such-folder/target"));
    EXPECT_EQ(FolderNames(folder.Path()), std::vector<std::string>{"target"});
}

TEST(Download, AServerThatNeverAnswersFailsAfterTheStallTime) {
    TestHttpServer server;
    TempDir folder;
    server.Serve("/silent", {"200 OK", "", "", true});
    DownloadLimits limits;
    limits.stallTime = 1s;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(DownloadUrlToFile(server.Url("/silent"), folder / "file", limits));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 1s);
    EXPECT_LT(took, 10s);
    EXPECT_TRUE(FolderNames(folder.Path()).empty());
}

TEST_F(UpdateCheckTest, ANewerReleaseIsOfferedWithItsLink) {
    // "Location" lacks a trailing slash: it runs straight into the file name, as published.
    const UpdateCheckResult result = CheckForUpdates(
        Setup(Publish("newer", VersionsIni("OLVO.exe", "101", "http://www.example.com/files"))));
    EXPECT_TRUE(result.fetched);
    EXPECT_EQ(result.info, "Version 1.0.1 is out: faster and smaller.");
    EXPECT_EQ(result.installedVersion, "1.0.0");
    EXPECT_EQ(result.availableVersion, "1.0.1");
    EXPECT_TRUE(result.offerDownload);
    EXPECT_EQ(result.link, "http://www.example.com/filesolvo-101.zip");
    EXPECT_FALSE(Exists(LocalCopy()));
    EXPECT_EQ(m_server.Requests("/newer/products/versions.ini"), 1);
}

TEST_F(UpdateCheckTest, TheSameOrAnOlderReleaseIsTheLatest) {
    for (const char* release : {"100", "0x64", "99", "-1"}) {
        const UpdateCheckResult result =
            CheckForUpdates(Setup(Publish("same", VersionsIni("olvo.exe", release))));
        EXPECT_EQ(result.info, kLatestText) << release;
        EXPECT_EQ(result.installedVersion, "1.0.0");
        EXPECT_EQ(result.availableVersion, "1.0.1");
        EXPECT_FALSE(result.offerDownload);
        EXPECT_EQ(result.link, "");
        EXPECT_FALSE(Exists(LocalCopy()));
    }
}

TEST_F(UpdateCheckTest, TheSectionIsNamedAfterTheExecutable) {
    const std::string home = Publish("renamed", VersionsIni("Renamed.exe", "101"));
    UpdateCheckSetup setup = Setup(home);
    EXPECT_EQ(CheckForUpdates(setup).info, kLatestText);  // no [OLVO.exe]: nothing newer

    setup.sectionName = "Renamed.exe";
    EXPECT_TRUE(CheckForUpdates(setup).offerDownload);

    // A file without our section (here a web page) is no error: the latest, with no version.
    const UpdateCheckResult page = CheckForUpdates(Setup(Publish("page", "<html>hello</html>")));
    EXPECT_TRUE(page.fetched);
    EXPECT_EQ(page.info, kLatestText);
    EXPECT_EQ(page.availableVersion, "");
    EXPECT_FALSE(page.offerDownload);
    EXPECT_FALSE(Exists(LocalCopy()));
}

TEST_F(UpdateCheckTest, AFailedDownloadShowsTheFailureTextAndDeletesNothing) {
    m_server.Serve("/silent/products/versions.ini", {"200 OK", "", "", true});
    const std::vector<std::string> homePages = {
        m_server.Url("/missing"),
        "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/olvo",
        m_server.Url("/silent"),
    };
    WriteFile(LocalCopy(), "[OLVO.exe]\nRelease=500\n");
    for (const auto& home : homePages) {
        const UpdateCheckResult result = CheckForUpdates(Setup(home, 1s));
        EXPECT_FALSE(result.fetched) << home;
        EXPECT_EQ(result.info, kFailureText) << home;
        EXPECT_EQ(result.installedVersion, "1.0.0");
        EXPECT_EQ(result.availableVersion, "-");
        EXPECT_FALSE(result.offerDownload);
        EXPECT_EQ(ReadFile(LocalCopy()), "[OLVO.exe]\nRelease=500\n") << home;
    }
    UpdateCheckSetup nowhere = Setup(Publish("nowhere", VersionsIni("OLVO.exe", "101")));
    nowhere.localFolder.clear();
    EXPECT_EQ(CheckForUpdates(nowhere).info, kFailureText);
}

TEST_F(UpdateCheckTest, EachCheckDownloadsAfreshAndDeletesTheCopy) {
    const UpdateCheckSetup setup = Setup(Publish("twice", VersionsIni("OLVO.exe", "100")));
    CheckForUpdates(setup);
    EXPECT_FALSE(Exists(LocalCopy()));
    m_server.Serve("/twice/products/versions.ini", {"200 OK", VersionsIni("OLVO.exe", "101")});
    EXPECT_TRUE(CheckForUpdates(setup).offerDownload);
    EXPECT_FALSE(Exists(LocalCopy()));
    EXPECT_EQ(m_server.Requests("/twice/products/versions.ini"), 2);
}

TEST_F(UpdateCheckTest, OnlyWebLinksMayBeOpened) {
    const UpdateCheckResult result = CheckForUpdates(
        Setup(Publish("tampered", VersionsIni("OLVO.exe", "101", "file:///usr/bin/"))));
    EXPECT_TRUE(result.offerDownload);
    EXPECT_EQ(result.link, "file:///usr/bin/olvo-101.zip");
    EXPECT_FALSE(IsOpenableLink(result.link));

    for (const char* link :
         {"http://www.example.com/olvo.zip", "HTTPS://example.com", "https://example.com/a b?x=1"})
        EXPECT_TRUE(IsOpenableLink(link)) << link;
    for (const char* link : {"", "http://", "https:///etc/passwd", "http:/example.com",
                             "ftp://example.com/x", "javascript:alert(1)", "/usr/bin/xterm",
                             "httpx://example.com", "http://example.com/\nrm -rf"})
        EXPECT_FALSE(IsOpenableLink(link)) << link;
}

TEST_F(UpdateCheckTest, ABrokenOwnReleaseIsRefusedBeforeDownloading) {
    UpdateCheckSetup setup = Setup(Publish("broken", VersionsIni("OLVO.exe", "101")));
    setup.ownRelease = "(unknown)";
    EXPECT_THROW(CheckForUpdates(setup), std::invalid_argument);
    EXPECT_EQ(m_server.Requests("/broken/products/versions.ini"), 0);
}

TEST(UpdateCopyFolder, TheProgramFolderWhenWritableOtherwiseTheUserCache) {
    TempDir program, home;
    EXPECT_EQ(UpdateCopyFolder(program.Path(), home / "cache"), program.Path());
    EXPECT_FALSE(Exists(home / "cache"));

    const std::string cache = home / "xdg/Kestrava";
    EXPECT_EQ(UpdateCopyFolder(program / "gone", cache), cache);
    EXPECT_TRUE(std::filesystem::is_directory(cache));
    WriteFile(program / "file", "");
    EXPECT_EQ(UpdateCopyFolder(program / "file", ""), "");

    const char* savedXdg = std::getenv("XDG_CACHE_HOME");
    const char* savedHome = std::getenv("HOME");
    const std::string keepXdg = savedXdg ? savedXdg : "", keepHome = savedHome ? savedHome : "";
    ::setenv("HOME", home.Path().c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home / "xdg").c_str(), 1);
    EXPECT_EQ(UserCacheFolder(), home / "xdg/Kestrava");
    ::setenv("XDG_CACHE_HOME", "relative/cache", 1);
    EXPECT_EQ(UserCacheFolder(), home / ".cache/Kestrava");
    ::unsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(UserCacheFolder(), home / ".cache/Kestrava");
    savedXdg ? ::setenv("XDG_CACHE_HOME", keepXdg.c_str(), 1) : ::unsetenv("XDG_CACHE_HOME");
    savedHome ? ::setenv("HOME", keepHome.c_str(), 1) : ::unsetenv("HOME");
}

// The whole check as the program runs it: its own version strings, the section named after its
// executable as it is named now, the copy in its folder, the real download. A copy of this test
// program under another name does the check and reports what it would show.
TEST(UpdateCheckOwnProgram, ChecksUnderTheNameItRunsAs) {
    if (const char* home = std::getenv("OLVO_TEST_HOME_PAGE")) {
        const UpdateCheckResult r =
            CheckForUpdates(OwnUpdateCheckSetup(home, "Kestrava File Splitter"));
        std::printf("@@%s|%s|%s|%d|%s@@\n", r.info.c_str(), r.installedVersion.c_str(),
                    r.availableVersion.c_str(), r.offerDownload ? 1 : 0, r.link.c_str());
        return;
    }
    const std::string ownRelease = GetVersionString(OwnExecutablePath(), kVersionRelease);
    const std::string ownVersion = GetVersionString(OwnExecutablePath(), kVersionFileVersion);
    ASSERT_FALSE(ownRelease.empty());
    TestHttpServer server;
    TempDir folder;
    const std::string renamed = folder / "Renamed Splitter.exe";
    std::filesystem::copy_file(RunningExecutablePath(), renamed);
    std::filesystem::permissions(renamed, std::filesystem::perms::owner_all);
    server.Serve(
        "/olvo/products/versions.ini",
        {"200 OK", VersionsIni("OLVO.exe", "1") +
                       VersionsIni("renamed splitter.EXE",
                                   std::to_string(std::stoi(ownRelease) + 1), "http://h/")});

    const std::string filter = std::string("--gtest_filter=") +
                               ::testing::UnitTest::GetInstance()->current_test_suite()->name() +
                               "." +
                               ::testing::UnitTest::GetInstance()->current_test_info()->name();
    const auto child =
        test::RunProgram(renamed, {filter}, "", "", {"OLVO_TEST_HOME_PAGE=" + server.Url("/olvo")});
    EXPECT_EQ(child.exitCode, 0) << child.err;
    EXPECT_NE(child.out.find("@@Version 1.0.1 is out: faster and smaller.|" + ownVersion +
                             "|1.0.1|1|http://h/olvo-101.zip@@"),
              std::string::npos)
        << child.out;
    EXPECT_EQ(server.Requests("/olvo/products/versions.ini"), 1);
    EXPECT_EQ(FolderNames(folder.Path()), std::vector<std::string>{"Renamed Splitter.exe"});
}

}  // namespace
}  // namespace olvo
