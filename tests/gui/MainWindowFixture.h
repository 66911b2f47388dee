#pragma once
// A main window over real files in a temporary folder, with its own settings hive in another and
// every dialog answered by a FakeGui.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "core/settings/SettingsStore.h"
#include "gui/Application.h"
#include "gui/ConfigWindow.h"
#include "gui/MainWindow.h"
#include "gui/QtText.h"
#include "platform/HiveRegistry.h"
#include "platform/Registry.h"
#include "support/FakeFileSystem.h"
#include "support/TempDir.h"
#include "tests/gui/FakeGui.h"

namespace olvo::test {

// Counts the look-ups the window makes.
class CountingFileSystem final : public FakeFileSystem {
  public:
    int lookups = 0;
    std::optional<FileEntry> Find(const std::string& path) override {
        ++lookups;
        return FakeFileSystem::Find(path);
    }
    bool FileExists(const std::string& path) override {
        ++lookups;
        return FakeFileSystem::FileExists(path);
    }
};

class MainWindowFixture : public ::testing::Test {
  protected:
    ~MainWindowFixture() override { m_form.reset(); }

    // The main window; its menus open what openers name.
    MainWindow& Create(const std::vector<std::string>& arguments = {},
                       MainWindow::Openers openers = {}) {
        m_form = std::make_unique<MainWindow>(Services(), arguments, std::move(openers));
        return *m_form;
    }
    MainWindow& Form() { return *m_form; }
    // Every window, as the program's start-up makes them; the main window is Form().
    ProgramWindows StartAll(const std::vector<std::string>& arguments = {}) {
        const ProgramWindows windows = StartUp(Services(), arguments);
        m_form.reset(windows.mainWindow);
        return windows;
    }
    // What the windows of this test share.
    ProgramServices Services() { return {gui, *registry, files, settings}; }
    // Hands what a configuration window applies to the main window, as the program does.
    static ConfigWindow::Applied ApplyTo(MainWindow& form) {
        return [&form](const Settings& applied, const std::vector<std::string>& sizes) {
            form.ApplyConfiguration(applied, sizes);
        };
    }

    void StoreSettings(const ConfigValues& values) { SaveConfigValues(*registry, values); }

    // A file of size bytes in the temporary folder; sparse when big, real bytes otherwise.
    std::string MakeFile(const std::string& name, std::uint64_t size) {
        const std::string path = dir / name;
        if (size <= (16u << 20)) {
            WriteFile(path, PatternBytes(static_cast<std::size_t>(size)));
        } else {
            WriteFile(path, "");
            std::filesystem::resize_file(path, size);
        }
        return path;
    }

    static std::string Text(const QLineEdit* edit) { return FromQPath(edit->text()); }
    static std::string Text(const QLabel* label) { return FromQ(label->text()); }
    static std::string Text(const QComboBox* box) { return FromQ(box->currentText()); }

    // Replaces the text of an edit as typing does: select all, then type.
    static void Retype(QLineEdit* edit, const QString& text) {
        edit->selectAll();
        if (text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Backspace);
        else
            QTest::keyClicks(edit, text);
    }

  private:
    TempDir m_config;

  protected:
    TempDir dir;
    CountingFileSystem files;
    FakeGui gui;
    // The settings hive of this test, and the settings of its run.
    const std::string hivePath = m_config / "olvo.reg";
    const std::unique_ptr<Registry> registry = MakeHiveFileRegistry(hivePath);
    Settings settings;

  private:
    std::unique_ptr<MainWindow> m_form;
};

}  // namespace olvo::test
