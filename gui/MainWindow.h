#pragma once
// The main window: the Split and Restore tabs, the choice of split method and piece size with its
// summary, the dispatch of the two operations to the engine, and the menus.
//
// The controls are reachable as members; each also carries its name in the window's layout (its
// object name), by which tests and screenshots find it. Setting a control's text or check state
// from code runs its handler only when the value changes; the handler chains below (AddFile and the
// change handlers) rely on that and end after one nesting. Every handler runs inside RunHandler: an
// error that escapes it goes to the application-wide error report.
//
// While a split or restore runs, the inputs, the action and close buttons and the menus are
// disabled and the window cannot be closed; it keeps repainting through the engine's progress.

#include <QMainWindow>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/engine/Seams.h"
#include "core/settings/SettingsStore.h"
#include "gui/Application.h"
#include "gui/GuiProgress.h"
#include "gui/GuiPrompt.h"
#include "platform/FileSystem.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace olvo {

class StatusLine;
class UpDownButtons;

class MainWindow final : public QMainWindow {
  public:
    // What the menus File > Configuration, Help > Check for Updates and Help > About open, each
    // modally and returning when it has closed; owner is this window. One left empty opens
    // nothing.
    struct Openers {
        std::function<void()> configuration;
        std::function<void(QWidget* owner)> updateCheck;
        std::function<void(QWidget* owner)> about;
    };

    // Builds the window and runs OnCreate with the command-line arguments (without the program
    // name): nothing, a FILE, or "--split FILE" or "--restore FILE" to choose its tab. The window
    // keeps services (its dialogs, the settings hive, the file system for every look-up of the
    // window and the engine, and the settings of this run) for its lifetime.
    MainWindow(const ProgramServices& services, const std::vector<std::string>& arguments,
               Openers openers = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The settings of this run, as loaded and as the configuration window last applied them.
    const Settings& CurrentSettings() const { return m_settings; }
    // What the configuration window's Apply hands over: the settings replace those of this run,
    // and splitSizes the entries of splitSizeBox while it keeps showing the size the user chose
    // (its change handler stays quiet, as nothing the user sees has changed).
    void ApplyConfiguration(const Settings& settings, const std::vector<std::string>& splitSizes);

    // The folder of the program file followed by "OLVO.chm"; empty when the creation failed
    // before it was set.
    const std::string& HelpFilePath() const { return m_helpFilePath; }

    // The offered split sizes, the entries of splitSizeBox.
    std::vector<std::string> SplitSizes() const;
    // Replaces the entries of splitSizeBox and shows the first one, without its change handler;
    // a first entry that is out of range, empty or not a number is shown corrected ("1" or
    // "2097151"), without a message.
    void SetSplitSizes(const std::vector<std::string>& sizes);

    // True while a split or restore runs.
    bool Busy() const { return m_busy; }
    // The engine's progress display, for looking at it while an operation runs.
    GuiProgress& ProgressDisplay() { return m_progress; }

    // A split or restore that takes at least this long and ends while none of the program's
    // windows is in front is announced by a desktop notification as well.
    void SetNotifyAfter(std::chrono::milliseconds duration) { m_notifyAfter = duration; }

    // Controls.
    QTabWidget* tabs;
    QWidget* splitTab;
    QWidget* restoreTab;
    QPushButton* actionButton;
    QPushButton* closeButton;

    QLineEdit* sourceFileEdit;
    QPushButton* browseSourceButton;
    QLineEdit* splitFolderEdit;
    QPushButton* browseSplitFolderButton;
    QComboBox* splitMethodBox;
    QComboBox* splitSizeBox;
    QLabel* splitSizeUnitLabel;
    QLineEdit* pieceCountEdit;
    UpDownButtons* pieceCountButtons;
    QLabel* pieceCountNoteLabel;
    QLabel* fileSizeLabel;
    QLabel* splitDetailsLabel;

    QLineEdit* descriptorEdit;
    QPushButton* browseDescriptorButton;
    QLineEdit* restoreFolderEdit;
    QPushButton* browseRestoreFolderButton;
    QCheckBox* deletePiecesBox;
    QCheckBox* restoreTimeBox;
    QPushButton* verifyButton;

    // Under the tabs: what the last operation did, with a button that opens its folder.
    StatusLine* statusLine;

    QAction* configurationAction;
    QAction* exitAction;
    QAction* helpAction;
    QAction* checkUpdatesAction;
    QAction* donateAction;
    QAction* homePageAction;
    QAction* aboutAction;

    // Handlers.
    void OnCreate(const std::vector<std::string>& arguments);
    void OnClose();
    // The key filter of splitSizeBox and pieceCountEdit: backspace and digits pass, anything else
    // becomes 0 (discarded).
    void FilterNumberKey(char& key);
    void OnSplitMethodChanged();
    void OnSplitSizeChanged();
    void OnPieceCountChanged();
    void OnSourceFileChanged();
    void UpdateLabels();
    void OnAction();
    // Checks the split set of descriptorEdit without writing anything and shows the outcome.
    void OnVerify();
    // Puts fileName into tab (splitTab or restoreTab), makes that tab active and fills its
    // destination from the settings or from the file's own folder.
    void AddFile(QWidget* tab, const std::string& fileName);
    void OnTabChanged();
    void OnDescriptorChanged();
    void OnBrowseFile();
    void OnBrowseSplitFolder();
    void OnBrowseRestoreFolder();
    void OnExit();
    void OnConfiguration();
    void OnHelp();
    void OnCheckUpdates();
    void OnDonate();
    void OnHomePage();
    void OnAbout();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void BuildWindow();
    void BuildSplitTab();
    void BuildRestoreTab();
    void BuildMenus();
    void BuildStatusLine(QWidget* client);
    void ConnectHandlers();
    // AddFile for the Split tab with the directory search for fileName already made.
    void AddSplitFile(const std::string& fileName, const std::optional<FileEntry>& entry);
    void UpdateLabels(const std::optional<FileEntry>& entry);
    // The destination a file gets when no default folder is set: its own folder.
    std::string OwnFolder(const std::string& fileName) const;
    // The piece size for the split action, or nothing with failure set.
    std::optional<std::uint32_t> PieceSizeForSplit(std::string& failure);
    // While an operation runs: the inputs, the action and close buttons and the menus disabled.
    void BeginBusy();
    void EndBusy();
    void EnableInputs(bool enabled);
    // After an operation: the status line, the fields that name files it deleted, the sound or
    // the error box, and the notification when the user may be away.
    struct Outcome {
        bool split = false;
        bool ran = false;  // the engine was called
        bool succeeded = false;
        std::string failure;
        std::string done;    // the status line's text on success
        std::string folder;  // the folder written to
        std::chrono::milliseconds duration{0};
        std::vector<std::string> warnings;  // flaws of an operation that succeeded
    };
    void ReportOutcome(const Outcome& outcome);

    GuiService& m_gui;
    Registry& m_registry;
    FileSystem& m_files;
    Settings& m_settings;
    Openers m_open;
    GuiProgress m_progress;
    GuiPrompt m_prompt;
    std::string m_helpFilePath;
    bool m_busy = false;
    std::chrono::milliseconds m_notifyAfter{std::chrono::seconds(5)};
};

}  // namespace olvo
