#pragma once
// A main window over real files in a temporary folder, with its own settings hive in another and
// every dialog answered by a FakeGui.

#include <gtest/gtest.h>

#include <QAction>
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
#include "gui/StatusLine.h"
#include "gui/UpDownButtons.h"
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
    std::optional<FileInfo> Lookup(const std::string& path) override {
        ++lookups;
        return FakeFileSystem::Lookup(path);
    }
};

// The main window with its controls found by their object names, as the window's contract
// names them; a window call goes through ->.
struct MainForm {
    MainForm(MainWindow& form) : window(&form) {}  // NOLINT: a view of the window
    MainWindow* operator->() const { return window; }
    operator MainWindow&() const { return *window; }  // NOLINT
    template <class Widget = QWidget>
    Widget* Get(const char* name) const {
        auto* found = window->findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    MainWindow* window;
    QTabWidget* tabs = Get<QTabWidget>("pcMain");
    QWidget* splitTab = Get("tsSplit");
    QWidget* restoreTab = Get("tsRestore");
    QPushButton* actionButton = Get<QPushButton>("cmdAction");
    QPushButton* closeButton = Get<QPushButton>("cmdClose");
    QLineEdit* sourceFileEdit = Get<QLineEdit>("txtFileToSplit");
    QPushButton* browseSourceButton = Get<QPushButton>("cmdBrowseFile");
    QLineEdit* splitFolderEdit = Get<QLineEdit>("txtSplitTo");
    QPushButton* browseSplitFolderButton = Get<QPushButton>("cmdBrowseFolderSplit");
    QComboBox* splitMethodBox = Get<QComboBox>("cmbSplitMethod");
    QComboBox* splitSizeBox = Get<QComboBox>("cmbSplitSize");
    QLabel* splitSizeUnitLabel = Get<QLabel>("lblSplitSize");
    QLineEdit* pieceCountEdit = Get<QLineEdit>("txtNoFiles");
    UpDownButtons* pieceCountButtons = Get<UpDownButtons>("udNoFiles");
    QLabel* pieceCountNoteLabel = Get<QLabel>("lblNoFiles");
    QLabel* fileSizeLabel = Get<QLabel>("lblFileSize");
    QLabel* splitDetailsLabel = Get<QLabel>("lblSplitDetails");
    QLineEdit* descriptorEdit = Get<QLineEdit>("txtSplitFile");
    QPushButton* browseDescriptorButton = Get<QPushButton>("cmdBrowseFile2");
    QLineEdit* restoreFolderEdit = Get<QLineEdit>("txtRestoreTo");
    QPushButton* browseRestoreFolderButton = Get<QPushButton>("cmdBrowseFolderRestore");
    QCheckBox* deletePiecesBox = Get<QCheckBox>("chkDeletePieces");
    QCheckBox* restoreTimeBox = Get<QCheckBox>("chkRestoreTime");
    QPushButton* verifyButton = Get<QPushButton>("cmdVerify");
    StatusLine* statusLine = Get<StatusLine>("StatusLine");
    QAction* configurationAction = Get<QAction>("miConfig");
    QAction* exitAction = Get<QAction>("miExit");
    QAction* helpAction = Get<QAction>("miHelp");
    QAction* checkUpdatesAction = Get<QAction>("miChk4Updt");
    QAction* donateAction = Get<QAction>("miDonate");
    QAction* homePageAction = Get<QAction>("miHomePage");
    QAction* aboutAction = Get<QAction>("miAbout");
};

// The progress window while an operation shows it, or null.
inline QWidget* ProgressWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("ProgressWindow")) return widget;
    return nullptr;
}

class MainWindowFixture : public ::testing::Test {
  protected:
    ~MainWindowFixture() override { m_form.reset(); }

    // The main window; its menus open what openers name.
    MainForm Create(const std::vector<std::string>& arguments = {},
                    MainWindow::Openers openers = {}) {
        m_form = std::make_unique<MainWindow>(Services(), arguments, std::move(openers));
        return *m_form;
    }
    MainForm Form() { return *m_form; }
    // Runs the event loop until the operation that the last click started has ended.
    void WaitForOperation() {
        EXPECT_TRUE(QTest::qWaitFor([this] { return !m_form->Busy(); }, 120000));
        QApplication::processEvents();
    }
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

    void StoreSettings(const Settings& values) { SaveConfigValues(*registry, values); }

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
