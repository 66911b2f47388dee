// olvo-cli.exe as a Windows user meets it: drive-letter paths and settings in the registry.

#include <gtest/gtest.h>
#include <windows.h>

#include "support/RunProgram.h"
#include "support/TempDir.h"
#include "tests/win32/RegistrySnapshot.h"

namespace olvo {
namespace {

using namespace test;

ProgramResult Cli(const std::vector<std::string>& args, const std::string& workDir = "") {
    return RunProgram(OLVO_CLI_PATH, args, "", workDir);
}

TEST(WindowsCli, SplitsAndRestoresWithDriveLetterPaths) {
    RegistrySnapshot keep;
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsSubKey);
    TempDir dir;
    ASSERT_EQ(dir.Path()[1], ':');
    MakeFolder(dir / "out");
    const std::string bytes = PatternBytes(5000);
    WriteFile(dir / "f.bin", bytes);
    auto r = Cli({"split", dir / "f.bin", "-s", "2", "-d", dir / "out"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Split " + (dir / "f.bin") + " into 3 pieces in " + (dir / "out") + "\n");
    EXPECT_TRUE(Exists(dir / "out\\f.s03"));

    // Relative paths and forward slashes, against the current folder.
    r = Cli({"restore", "out/f.bin.split", "-d", ".", "--overwrite"}, dir.Path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Restored " + (dir / "f.bin") + "\n");
    EXPECT_EQ(ReadFile(dir / "f.bin"), bytes);

    r = Cli({"checksum", dir / "f.bin"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, Cli({"checksum", dir / "out\\f.bin.split"}).exitCode == 0 ? r.out : "");
}

TEST(WindowsCli, SettingsLandInTheRegistry) {
    RegistrySnapshot keep;
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsSubKey);
    TempDir dir;
    MakeFolder(dir / "pieces");
    auto r = Cli({"config", "--split-to", "pieces", "--sizes", "10,20"}, dir.Path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(StoredSetting("Split To Folder"),
              std::make_pair(DWORD{REG_SZ}, std::string("1\0", 2)));
    EXPECT_EQ(StoredSetting("Split Folder Name").second, dir / "pieces" + '\0');
    EXPECT_EQ(StoredSetting("Split Sizes").second, std::string("10,20\0", 6));
    EXPECT_EQ(StoredSetting("Restore To Folder").second, std::string("0\0", 2));

    WriteFile(dir / "f.bin", PatternBytes(3000));
    ASSERT_EQ(Cli({"split", dir / "f.bin", "-s", "1"}).exitCode, 0);
    EXPECT_TRUE(Exists(dir / "pieces\\f.s03"));

    // A value of the wrong type is reported, and the file's own folder serves.
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsSubKey, 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    const DWORD number = 1;
    ::RegSetValueExA(key, "Split Folder Name", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                     4);
    ::RegCloseKey(key);
    r = Cli({"split", dir / "f.bin", "-s", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "olvo-cli: Invalid data type for 'Split Folder Name'\n");
    EXPECT_TRUE(Exists(dir / "f.s03"));
}

}  // namespace
}  // namespace olvo
