#pragma once
// A main window over real files in a temporary folder, with its own settings hive and every
// dialog answered by a FakeGui.

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
#include "support/FakeFileSystem.h"
#include "support/TempDir.h"
#include "tests/gui/FakeGui.h"
#include "gui/MainWindow.h"
#include "gui/QtText.h"

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
    MainWindowFixture() {
        const char* previous = std::getenv("XDG_CONFIG_HOME");
        if (previous) m_previousConfig = previous;
        ::setenv("XDG_CONFIG_HOME", m_config.Path().c_str(), 1);
        ProgramSettings() = Settings{};
    }
    ~MainWindowFixture() override {
        m_form.reset();
        if (m_previousConfig)
            ::setenv("XDG_CONFIG_HOME", m_previousConfig->c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
    }

    MainWindow& Create(const std::vector<std::string>& arguments = {}) {
        m_form = std::make_unique<MainWindow>(arguments, files);
        return *m_form;
    }
    MainWindow& Form() { return *m_form; }

    void StoreSettings(const ConfigValues& values) { SaveConfigValues(UserRegistry(), values); }

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

    TempDir dir;
    CountingFileSystem files;
    FakeGui gui;

  private:
    TempDir m_config;
    std::optional<std::string> m_previousConfig;
    ScopedGuiService m_installed{gui};
    std::unique_ptr<MainWindow> m_form;
};

}  // namespace olvo::test
