// The Win32 backend against the real system (under wine in our builds): drive letters, the
// directory search, sharing, file times, the locale, and the registry below HKEY_CURRENT_USER.

#include <gtest/gtest.h>
#include <windows.h>

#include "core/engine/DateText.h"
#include "core/settings/SettingsStore.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "support/TempDir.h"
#include "tests/win32/RegistrySnapshot.h"

namespace olvo {
namespace {

using namespace test;

TEST(Win32FileSystem, FreeSpaceOfTheDriveNamedByTheFirstCharacter) {
    TempDir dir;
    const auto system = MakeSystemFileSystem();
    FileSystem& files = *system;
    ASSERT_EQ(dir.Path()[1], ':') << dir.Path();
    EXPECT_GT(files.FreeSpace(dir.Path()), 0);
    EXPECT_GT(files.FreeSpace(std::string(1, static_cast<char>(std::tolower(dir.Path()[0])))), 0);
    EXPECT_GT(files.FreeSpace(dir / "not" + kPathDelimiter + "there"), 0);  // only the drive counts
    for (const std::string path : {"", "\\\\server\\share\\folder", "\\folder", "1:\\", ":"})
        EXPECT_EQ(files.FreeSpace(path), -1) << path;
}

TEST(Win32FileSystem, FindReportsSizeStoredNameAndFolders) {
    TempDir dir;
    const auto system = MakeSystemFileSystem();
    FileSystem& files = *system;
    WriteFile(dir / "MixedCase.Bin", PatternBytes(5000));
    const auto entry = files.Find(dir / "mixedcase.bin");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->size, 5000u);
    EXPECT_EQ(entry->storedName, "MixedCase.Bin");
    EXPECT_FALSE(entry->isFolder);
    EXPECT_TRUE(files.FileExists(dir / "MIXEDCASE.BIN"));

    EXPECT_FALSE(files.Find(dir / "*.bin")) << "a pattern is not a name";
    EXPECT_FALSE(files.Find(dir / "missing"));
    const auto folder = files.Find(dir.Path() + kPathDelimiter);
    ASSERT_TRUE(folder);
    EXPECT_TRUE(folder->isFolder);
    EXPECT_FALSE(files.FileExists(dir.Path()));
    const auto root = files.Find(dir.Path().substr(0, 3));
    ASSERT_TRUE(root);
    EXPECT_TRUE(root->isFolder);
}

TEST(Win32FileSystem, CreatingIsExclusiveAndReadingIsShared) {
    TempDir dir;
    const auto system = MakeSystemFileSystem();
    FileSystem& files = *system;
    const std::string path = dir / "piece.s01";
    {
        auto out = files.Create(path);
        out->Write("abc", 3);
        try {
            files.OpenRead(path);
            ADD_FAILURE() << "a piece being written was opened";
        } catch (const FileError& e) {
            // The words of the system that runs the test follow: Windows and wine differ.
            EXPECT_EQ(std::string(e.what()).rfind("File access denied: ", 0), 0u) << e.what();
        }
    }
    auto first = files.OpenRead(path);
    auto second = files.OpenRead(path);
    char buffer[8] = {};
    EXPECT_EQ(second->Read(buffer, sizeof buffer), 3u);
    EXPECT_THROW(files.Create(path), FileError) << "replaced while it is being read";
    first.reset();
    second.reset();
    EXPECT_NO_THROW(files.Create(path));

    EXPECT_TRUE(files.Delete(path));
    EXPECT_FALSE(files.Delete(path));
    try {
        files.OpenRead(path);
        ADD_FAILURE();
    } catch (const FileError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("File not found: ", 0), 0u) << e.what();
    }
    try {
        files.Create(dir / "no" + kPathDelimiter + "such" + kPathDelimiter + "folder.bin");
        ADD_FAILURE();
    } catch (const FileError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("File not found: ", 0), 0u) << e.what();
    }
}

TEST(Win32FileSystem, FileTimesAndIdentity) {
    TempDir dir;
    const auto system = MakeSystemFileSystem();
    FileSystem& files = *system;
    {
        auto out = files.Create(dir / "t.bin");
        out->Write("x", 1);
        EXPECT_TRUE(out->SetLastWriteTime(1111759433));
        out->Flush();
    }
    EXPECT_EQ(files.OpenRead(dir / "t.bin")->Stamp().seconds, 1111759433);
    EXPECT_NO_THROW(files.SyncVolume(dir.Path()));

    WriteFile(dir / "other.bin", "x");
    const auto identity = files.Identity(dir / "t.bin");
    ASSERT_TRUE(identity);
    EXPECT_EQ(files.Identity(dir / "T.BIN"), identity);
    EXPECT_NE(files.Identity(dir / "other.bin"), identity);
    EXPECT_FALSE(files.Identity(dir / "missing"));
}

TEST(Win32Clock, LocalTimeFollowsTheTimeZoneBothWays) {
    // The tests run with TZ=UTC.
    const auto local = ToLocalTime(1111759433);
    ASSERT_TRUE(local);
    EXPECT_EQ(*local, (LocalDateTime{2005, 3, 25, 14, 3, 53}));
    EXPECT_EQ(FromLocalTime(*local), 1111759433);
    EXPECT_FALSE(FromLocalTime({2005, 2, 30, 0, 0, 0}));
    EXPECT_FALSE(ToLocalTime(-20000000000)) << "before 1601";
}

// What the system itself writes for a date and time, in the user's formats, must read back.
TEST(Win32Clock, ConventionsReadWhatTheLocaleWrites) {
    SYSTEMTIME when{};
    when.wYear = 2005;
    when.wMonth = 3;
    when.wDay = 25;
    when.wHour = 14;
    when.wMinute = 3;
    when.wSecond = 52;
    char date[64], time[64];
    ASSERT_GT(::GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &when, nullptr, date, 64), 0);
    ASSERT_GT(::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &when, nullptr, time, 64), 0);
    const DateTimeFormat format(CurrentDateTimeConventions());
    const auto parsed = format.Parse(std::string(date) + " " + time);
    ASSERT_TRUE(parsed) << date << " " << time;
    EXPECT_EQ(*parsed, (LocalDateTime{2005, 3, 25, 14, 3, 52})) << date << " " << time;

    char separator[8];
    ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, sizeof separator);
    EXPECT_EQ(CurrentThousandsSeparator(), separator[0] ? separator : ",");
}

TEST(Win32Registry, KeysAndStringValuesBelowTheCurrentUser) {
    const auto hive = OpenUserRegistry();
    Registry& registry = *hive;
    ::RegDeleteTreeA(HKEY_CURRENT_USER, "software\\Kestrava-test");
    {
        ScopedRegistryKey key(registry,
                              registry.CreateKey(kCurrentUser, "software\\Kestrava-test\\Sub"));
        ASSERT_TRUE(key.IsOpen());
        EXPECT_TRUE(registry.SetStringValue(key.Get(), "Name", "text"));
        EXPECT_TRUE(registry.SetStringValue(key.Get(), "Empty", ""));
    }
    ScopedRegistryKey again(registry,
                            registry.OpenKey(kCurrentUser, "SOFTWARE\\KESTRAVA-TEST\\sub"));
    ASSERT_TRUE(again.IsOpen());
    EXPECT_EQ(registry.QueryValue(again.Get(), "NAME"),
              (RegistryValue{kRegSz, std::string("text\0", 5)}));
    EXPECT_EQ(registry.QueryValue(again.Get(), "Empty"),
              (RegistryValue{kRegSz, std::string(1, '\0')}));
    EXPECT_FALSE(registry.QueryValue(again.Get(), "missing"));
    EXPECT_FALSE(registry.OpenKey(kCurrentUser, "software\\Kestrava-test\\none"));
    EXPECT_FALSE(registry.CreateKey(kCurrentUser, "software\\\\Kestrava-test"));
    EXPECT_FALSE(registry.CreateKey(kCurrentUser, "\\software"));
    EXPECT_FALSE(registry.QueryValue(12345, "Name")) << "not an open handle";

    HKEY raw = nullptr;
    ASSERT_EQ(
        ::RegOpenKeyExA(HKEY_CURRENT_USER, "software\\Kestrava-test\\Sub", 0, KEY_ALL_ACCESS, &raw),
        ERROR_SUCCESS);
    const DWORD number = 1;
    ::RegSetValueExA(raw, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
    ::RegCloseKey(raw);
    EXPECT_EQ(registry.QueryValue(again.Get(), "Number"),
              (RegistryValue{kRegDword, std::string("\1\0\0\0", 4)}));
    ::RegDeleteTreeA(HKEY_CURRENT_USER, "software\\Kestrava-test");
}

TEST(Win32Registry, TheSettingsStoreWritesStringValues) {
    RegistrySnapshot keep;
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsSubKey);
    const auto hive = OpenUserRegistry();
    SaveConfigValues(*hive, {true, false, "C:\\Split", "D:\\Restore", "1,2"});
    EXPECT_EQ(StoredSetting("Split To Folder"),
              std::make_pair(DWORD{REG_SZ}, std::string("1\0", 2)));
    EXPECT_EQ(StoredSetting("Restore To Folder"),
              std::make_pair(DWORD{REG_SZ}, std::string("0\0", 2)));
    EXPECT_EQ(StoredSetting("Split Folder Name").second, std::string("C:\\Split\0", 9));
    Settings values;
    LoadConfigValues(*hive, values);
    EXPECT_TRUE(values.SplitToFolder);
    EXPECT_FALSE(values.RestoreToFolder);
    EXPECT_EQ(values.RestoreFolderName, "D:\\Restore");
    EXPECT_EQ(values.SplitSizes, "1,2");
}

}  // namespace
}  // namespace olvo
