#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <memory>

#include "core/settings/SettingsStore.h"
#include "platform/RegistryHive.h"
#include "support/TempDir.h"

namespace olvo {
namespace {

using test::Exists;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

const std::string kHead = "Windows Registry Editor Version 5.00\n\n";
const std::string kSectionLine = "[HKEY_CURRENT_USER\\software\\Kestrava\\File Splitter]\n";

// Every test gets a config home of its own, so the user's real hive is never touched.
class UserHiveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        if (old != nullptr) m_oldConfigHome = old;
        m_hadConfigHome = old != nullptr;
        m_configHome = m_temp / "config";
        ::setenv("XDG_CONFIG_HOME", m_configHome.c_str(), 1);
        m_folder = m_configHome + "/Kestrava";
        m_hive = m_folder + "/registry.reg";
        m_registry = OpenUserRegistry();
    }
    void TearDown() override {
        if (m_hadConfigHome) {
            ::setenv("XDG_CONFIG_HOME", m_oldConfigHome.c_str(), 1);
        } else {
            ::unsetenv("XDG_CONFIG_HOME");
        }
    }

    void WriteHiveText(const std::string& sectionLines) {
        ::mkdir(m_configHome.c_str(), 0700);
        ::mkdir(m_folder.c_str(), 0700);
        WriteFile(m_hive, kHead + kSectionLine + sectionLines + "\n");
    }
    Settings LoadStartup(std::vector<std::string>* sizes = nullptr) {
        Settings settings;
        std::vector<std::string> ignored;
        LoadStartupSettings(*m_registry, settings, sizes ? *sizes : ignored);
        return settings;
    }
    static std::string ErrorOf(const std::function<void()>& action) {
        try {
            action();
        } catch (const SettingsError& error) {
            return error.what();
        }
        return "no error";
    }

    TempDir m_temp;
    std::string m_configHome, m_folder, m_hive;
    std::string m_oldConfigHome;
    // The hive as the program opens it at start-up: it finds its file through XDG_CONFIG_HOME.
    std::unique_ptr<Registry> m_registry;
    bool m_hadConfigHome = false;
};

TEST_F(UserHiveTest, NoHiveGivesDefaultsAndCreatesNothing) {
    EXPECT_EQ(UserHivePath(), m_hive);
    std::vector<std::string> sizes;
    const Settings settings = LoadStartup(&sizes);
    EXPECT_EQ(sizes, (std::vector<std::string>{"1420", "663552", "714752"}));
    EXPECT_FALSE(settings.SplitToFolder);
    EXPECT_FALSE(settings.RestoreToFolder);
    EXPECT_EQ(settings.SplitFolderName, "");
    EXPECT_EQ(settings.RestoreFolderName, "");
    Settings values;
    LoadConfigValues(*m_registry, values);
    EXPECT_FALSE(Exists(m_configHome)) << "reading the settings created their folder";
}

TEST_F(UserHiveTest, StoredFormsReadAsTheUserLeftThem) {
    WriteHiveText("\"Split Sizes\"=\"\"\n\"Split To Folder\"=dword:00000001\n");
    std::vector<std::string> sizes = {"stale"};
    EXPECT_TRUE(LoadStartup(&sizes).SplitToFolder);
    EXPECT_TRUE(sizes.empty());  // present but empty is not absent

    WriteHiveText("\"Split To Folder\"=\"yes\"\n\"Restore To Folder\"=\"2\"\n");
    Settings settings = LoadStartup();
    EXPECT_FALSE(settings.SplitToFolder);
    EXPECT_TRUE(settings.RestoreToFolder);
}

TEST_F(UserHiveTest, ASaveWritesAllFiveAsStrings) {
    WriteHiveText("\"Split To Folder\"=dword:00000001\n\"Split Folder Name\"=\"/data/out\"\n");
    Settings values;
    LoadConfigValues(*m_registry, values);
    SaveConfigValues(*m_registry, values);
    struct stat st {};
    ASSERT_EQ(::stat(m_hive.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(HiveText(*ParseHive(ReadFile(m_hive))), kHead + kSectionLine +
                                                          "\"Split To Folder\"=\"1\"\n"
                                                          "\"Split Folder Name\"=\"/data/out\"\n"
                                                          "\"Restore To Folder\"=\"0\"\n"
                                                          "\"Restore Folder Name\"=\"\"\n"
                                                          "\"Split Sizes\"=\"1420,663552,714752\"\n"
                                                          "\n");
    EXPECT_FALSE(Exists(m_hive + ".bad"));
}

TEST_F(UserHiveTest, AFolderNameOfTheWrongTypeStopsTheLoad) {
    WriteHiveText(
        "\"Split Sizes\"=\"7,8\"\n\"Split To Folder\"=\"1\"\n\"Split Folder Name\"=dword:00000001\n"
        "\"Restore To Folder\"=\"1\"\n");
    Settings settings;
    std::vector<std::string> sizes;
    EXPECT_EQ(ErrorOf([&] { LoadStartupSettings(*m_registry, settings, sizes); }),
              "Invalid data type for 'Split Folder Name'");
    EXPECT_EQ(sizes, (std::vector<std::string>{"7", "8"}));
    EXPECT_TRUE(settings.SplitToFolder);
    EXPECT_FALSE(settings.RestoreToFolder);
    // The store was released: a second load can take the lock again.
    EXPECT_EQ(ErrorOf([&] { LoadStartupSettings(*m_registry, settings, sizes); }),
              "Invalid data type for 'Split Folder Name'");
}

TEST_F(UserHiveTest, ACutOffHiveReadsUpToTheCutAndAStrangerIsKeptAside) {
    SaveConfigValues(*m_registry, {true, true, "/split", "/restore", "100,200"});
    const std::string whole = HiveText(*ParseHive(ReadFile(m_hive)));
    WriteFile(m_hive, whole.substr(0, whole.find("/restore") + 4));
    std::vector<std::string> sizes;
    Settings settings = LoadStartup(&sizes);
    EXPECT_TRUE(settings.SplitToFolder);
    EXPECT_EQ(settings.SplitFolderName, "/split");
    EXPECT_EQ(settings.RestoreFolderName, "");  // the cut line is not read as "/res"
    EXPECT_EQ(sizes.size(), 3u);
    EXPECT_FALSE(Exists(m_hive + ".bad"));

    // Not a hive at all: the defaults, and the file is kept aside by the first save only.
    WriteFile(m_hive,
              "\x7f"
              "ELF binary");
    settings = LoadStartup(&sizes);
    EXPECT_FALSE(settings.SplitToFolder);
    EXPECT_FALSE(Exists(m_hive + ".bad"));
    EXPECT_EQ(m_registry->TakeNotices(),
              std::vector<std::string>{"The settings file " + m_hive +
                                       " cannot be read; the defaults are used."});
    SaveConfigValues(*m_registry, {false, true, "/s2", "/r2", "300"});
    EXPECT_EQ(ReadFile(m_hive + ".bad"),
              "\x7f"
              "ELF binary");
    Settings values;
    LoadConfigValues(*m_registry, values);
    EXPECT_EQ(values.RestoreFolderName, "/r2");
    EXPECT_EQ(values.SplitSizes, "300");
    m_registry->TakeNotices();
}

TEST_F(UserHiveTest, AHiveThatCannotBeReadIsNeverWrittenOver) {
    ::mkdir(m_configHome.c_str(), 0700);
    ::mkdir(m_folder.c_str(), 0700);
    ::mkdir(m_hive.c_str(), 0700);  // a folder where the file belongs
    EXPECT_EQ(LoadStartup().SplitFolderName, "");
    EXPECT_EQ(ErrorOf([this] { SaveConfigValues(*m_registry, Settings{}); }),
              "Failed to create key File Splitter");
    struct stat st {};
    ASSERT_EQ(::stat(m_hive.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(UserHiveTest, APipeInTheHivesPlaceIsNeitherWaitedForNorWrittenOver) {
    ::mkdir(m_configHome.c_str(), 0700);
    ::mkdir(m_folder.c_str(), 0700);
    ASSERT_EQ(::mkfifo(m_hive.c_str(), 0600), 0);
    EXPECT_EQ(LoadStartup().SplitFolderName, "");
    EXPECT_EQ(ErrorOf([this] { SaveConfigValues(*m_registry, Settings{}); }),
              "Failed to create key File Splitter");
    struct stat st {};
    ASSERT_EQ(::stat(m_hive.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(UserHiveTest, ALinkedHiveStaysALink) {
    const std::string real = m_temp / "dotfiles.reg";
    WriteFile(real, kHead + kSectionLine + "\"Split Sizes\"=\"9\"\n\n");
    ::mkdir(m_configHome.c_str(), 0700);
    ::mkdir(m_folder.c_str(), 0700);
    ASSERT_EQ(::symlink(real.c_str(), m_hive.c_str()), 0);
    SaveConfigValues(*m_registry, {true, false, "", "", "10"});
    struct stat st {};
    ASSERT_EQ(::lstat(m_hive.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_NE(HiveText(*ParseHive(ReadFile(real))).find("\"Split Sizes\"=\"10\""),
              std::string::npos);
}

TEST_F(UserHiveTest, ASaveWhereNothingCanBeCreatedFails) {
    WriteFile(m_temp / "file", "not a folder");
    ::setenv("XDG_CONFIG_HOME", (m_temp / "file/config").c_str(), 1);
    EXPECT_EQ(LoadStartup().SplitFolderName, "");
    EXPECT_EQ(ErrorOf([this] {
                  SaveConfigValues(*m_registry, {true, true, "a", "b", "1"});
              }),
              "Failed to create key File Splitter");
}

// Runs action in a child process that may not write where its owner may not; as root (which
// may write anywhere) the child becomes nobody first. Returns the error text the action raised.
std::string ErrorAsUnprivileged(const std::function<void()>& action) {
    int channel[2];
    if (::pipe(channel) != 0) return "pipe failed";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        std::string text = "no error";
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            text = "cannot drop privileges";
        } else {
            try {
                action();
            } catch (const std::exception& error) {
                text = error.what();
            }
        }
        (void)!::write(channel[1], text.data(), text.size());
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string text;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(channel[0], buffer, sizeof buffer)) > 0) text.append(buffer, n);
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return text;
}

TEST_F(UserHiveTest, ASaveIntoAFolderThatCannotBeWrittenFails) {
    SaveConfigValues(*m_registry, {true, true, "/a", "/b", "1"});
    const std::string before = ReadFile(m_hive);
    // Readable by the child, writable by no one but root.
    for (const std::string& folder : {m_temp.Path(), m_configHome}) ::chmod(folder.c_str(), 0755);
    ::chmod(m_folder.c_str(), 0555);
    ::chmod(m_hive.c_str(), 0644);

    const std::string text = ErrorAsUnprivileged([this] {
        SaveConfigValues(*m_registry, {false, false, "", "", "2"});
    });
    if (text == "cannot drop privileges") GTEST_SKIP() << text;
    EXPECT_EQ(text, "Failed to set data for 'Split To Folder'");
    EXPECT_EQ(ReadFile(m_hive), before);
}

// Two processes saving at once: each save is whole when seen through the store, the file always
// parses, and at the end it holds the last save of one of them.
TEST_F(UserHiveTest, ConcurrentSavesNeverMixOrCorrupt) {
    constexpr int kSaves = 200;
    const auto valuesOf = [](char who, int round) {
        const std::string tag = std::string(1, who) + std::to_string(round);
        return Settings{round % 2 == 0, round % 2 == 1, "/split/" + tag, "/restore/" + tag, tag};
    };
    const auto isWhole = [&](const Settings& v) {
        if (v.SplitSizes.size() < 2) return false;
        const Settings expected = valuesOf(v.SplitSizes[0], std::atoi(v.SplitSizes.c_str() + 1));
        return v.SplitToFolder == expected.SplitToFolder &&
               v.RestoreToFolder == expected.RestoreToFolder &&
               v.SplitFolderName == expected.SplitFolderName &&
               v.RestoreFolderName == expected.RestoreFolderName &&
               v.SplitSizes == expected.SplitSizes;
    };
    SaveConfigValues(*m_registry, valuesOf('A', 0));

    std::vector<pid_t> children;
    for (const char who : {'A', 'B'}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int failures = 0;
            for (int round = 0; round < kSaves; ++round) {
                try {
                    SaveConfigValues(*m_registry, valuesOf(who, round));
                } catch (...) {
                    ++failures;
                }
            }
            ::_exit(failures == 0 ? 0 : 1);
        }
        children.push_back(child);
    }

    int checks = 0;
    std::vector<int> statuses(children.size(), -1);
    for (;;) {
        int running = 0;
        for (std::size_t i = 0; i < children.size(); ++i) {
            if (statuses[i] != -1) continue;
            int status = 0;
            if (::waitpid(children[i], &status, WNOHANG) == children[i]) {
                statuses[i] = status;
            } else {
                ++running;
            }
        }
        const std::optional<Hive> raw = ParseHive(ReadFile(m_hive));
        ASSERT_TRUE(raw);
        Settings seen;
        LoadConfigValues(*m_registry, seen);
        ASSERT_TRUE(isWhole(seen)) << seen.SplitSizes << " " << seen.SplitFolderName;
        ++checks;
        if (running == 0) break;
    }
    for (const int status : statuses) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    Settings last;
    LoadConfigValues(*m_registry, last);
    EXPECT_TRUE(last.SplitSizes == "A199" || last.SplitSizes == "B199") << last.SplitSizes;
    EXPECT_TRUE(isWhole(last));
    EXPECT_GT(checks, 1);
    EXPECT_FALSE(Exists(m_hive + ".bad"));
}

}  // namespace
}  // namespace olvo
