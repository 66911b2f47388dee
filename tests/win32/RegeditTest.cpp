// The settings hive as the POSIX build writes it (the five values saved through the settings
// store into a hive, then the hive file), imported by the system's registry editor, and the
// editor's export read back as a hive: every value, folders with letters beyond ASCII included,
// arrives unchanged both ways.

#include <gtest/gtest.h>
#include <windows.h>

#include "core/settings/SettingsStore.h"
#include "platform/RegistryHive.h"
#include "support/MemoryRegistry.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"
#include "tests/win32/RegistrySnapshot.h"

namespace olvo {
namespace {

using namespace test;

std::string RegistryEditor() {
    char folder[MAX_PATH];
    const UINT n = ::GetWindowsDirectoryA(folder, sizeof folder);
    return std::string(folder, n) + "\\regedit.exe";
}

std::string Utf8(const std::wstring& wide) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n,
                          nullptr, nullptr);
    return text;
}

// A REG_SZ value of the settings key, read in UTF-16 and given as UTF-8.
std::string ImportedText(const wchar_t* name) {
    wchar_t data[1024];
    DWORD type = 0, size = sizeof data;
    if (::RegGetValueW(HKEY_CURRENT_USER, L"software\\Kestrava\\File Splitter", name, RRF_RT_ANY,
                       &type, data, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return "(none)";
    return Utf8(std::wstring(data, size / sizeof(wchar_t) - 1));
}

TEST(Regedit, ImportsAndExportsTheSettingsHiveUnchanged) {
    RegistrySnapshot keep;
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsSubKey);
    const Settings values{true, false, "/home/\u00e9 \u00fc \u65e5\u672c",
                          "/data/\u0416\u0436\u0436 \"q\" \\x", "1420,716800"};
    MemoryRegistry saved;
    SaveConfigValues(saved, values);
    TempDir dir;
    WriteFile(dir / "registry.reg", WriteHive(saved.Contents()));

    auto r = RunProgram(RegistryEditor(), {"/S", dir / "registry.reg"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ImportedText(L"Split To Folder"), "1");
    EXPECT_EQ(ImportedText(L"Split Folder Name"), values.SplitFolderName);
    EXPECT_EQ(ImportedText(L"Restore To Folder"), "0");
    EXPECT_EQ(ImportedText(L"Restore Folder Name"), values.RestoreFolderName);
    EXPECT_EQ(ImportedText(L"Split Sizes"), values.SplitSizes);

    r = RunProgram(RegistryEditor(),
                   {"/E", dir / "export.reg", "HKEY_CURRENT_USER\\software\\Kestrava"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::optional<Hive> exported = ParseHive(ReadFile(dir / "export.reg"));
    ASSERT_TRUE(exported);
    MemoryRegistry read;
    read.Contents() = *exported;
    Settings back;
    LoadConfigValues(read, back);
    EXPECT_EQ(back.SplitToFolder, values.SplitToFolder);
    EXPECT_EQ(back.RestoreToFolder, values.RestoreToFolder);
    EXPECT_EQ(back.SplitFolderName, values.SplitFolderName);
    EXPECT_EQ(back.RestoreFolderName, values.RestoreFolderName);
    EXPECT_EQ(back.SplitSizes, values.SplitSizes);
}

}  // namespace
}  // namespace olvo
