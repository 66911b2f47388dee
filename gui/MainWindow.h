#pragma once
// The main window: the Split and Restore tabs, the choice of split method and piece size with its
// summary, the dispatch of the two operations to the engine, and the menus.
//
// The controls are the window's own (Ui, in the .cpp): callers go through the public interface
// below. Each control carries an object name, set where it is made; tests and the screenshot
// program find the controls by those names (findChild), so the names are a contract: change one
// only with its tests. Setting a control's text or check state from code runs its handler only
// when the value changes; the handler chains (OpenFile and the change handlers) rely on that and
// end after one nesting. Every handler runs inside RunHandler: an error that escapes it goes to
// the application-wide error report.
//
// Which operation the action button starts follows the active tab. Split, restore and verify run
// on a worker (OperationRunner): the window keeps repainting and its event loop running; while
// one runs, the inputs, the action and close buttons and the menus are disabled, Escape cancels
// it, and closing the window cancels it and closes the window once it has ended.

#include <QMainWindow>
#include <chrono>
#include <functional>
#include <memory>
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
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace olvo {

class OperationRunner;

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

    // True while a split, restore or verify runs.
    bool Busy() const;

    // A split or restore that takes at least this long and ends while none of the program's
    // windows is in front is announced by a desktop notification as well.
    void SetNotifyAfter(std::chrono::milliseconds duration) { m_notifyAfter = duration; }

    // Puts fileName into the tab of operation, makes that tab active and fills its destination
    // from the settings or from the file's own folder: what the command line, a drop and the
    // file choosers do.
    enum class Operation { Split, Restore };
    void OpenFile(Operation operation, const std::string& fileName);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    struct Ui;

    void OnCreate(const std::vector<std::string>& arguments);
    void OnSplitMethodChanged();
    void OnSplitSizeChanged();
    void OnPieceCountChanged();
    // Keeps the recovery count in the settings (this run's and the hive's) and the summary.
    void OnRecoveryPiecesChanged();
    void OnSourceFileChanged();
    void UpdateLabels();
    // Starts the operation of the active tab.
    void OnAction();
    void StartSplit();
    void StartRestore();
    // Checks the split set of the Restore tab without writing anything and shows the outcome.
    void OnVerify();
    void ShowVerifyReport(const struct VerifyReport& report);
    // Rebuilds the lost pieces of the set the Verify window shows from its recovery files, then
    // checks the set again and shows what it found, the rebuilt pieces marked.
    void OnRepair(const VerifyReport& before);
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
    Operation CurrentOperation() const;
    // What the settings store had to say (a hive kept aside, a lock held too long), in a box.
    void ShowSettingsNotices();
    void BuildWindow();
    void BuildSplitTab();
    void BuildSplitSummary(QWidget* page, QGridLayout* grid);
    void BuildRecoveryRow(QWidget* page, QGridLayout* grid);
    void BuildRestoreTab();
    void BuildMenus();
    void DescribeForScreenReaders();
    void BuildStatusLine(QWidget* client);
    void ConnectHandlers();
    // OpenFile for the Split tab with the directory search for fileName already made.
    void AddSplitFile(const std::string& fileName, const std::optional<FileEntry>& entry);
    void UpdateLabels(const std::optional<FileEntry>& entry);
    // The files a split writes beside its pieces: the small files and the recovery files.
    unsigned ExtraFileCount() const;
    // The pieces a split of entry would make by the method, size and count shown; 0 when there
    // is no file, no method, or a size or count the window cannot work with.
    std::uint64_t PiecesShown(const std::optional<FileEntry>& entry) const;
    // The recovery box's maximum set to PiecesShown, its value to the settings' count within it.
    void UpdateRecoveryRange(const std::optional<FileEntry>& entry);
    // The piece size for the split action, or nothing: with failure set for the outcome's report,
    // or with failure empty when a size or count the window cannot work with was reported.
    std::optional<std::uint64_t> PieceSizeForSplit(std::string& failure);
    // While an operation runs: the inputs, the action and close buttons and the menus disabled.
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
    std::unique_ptr<Ui> m_ui;
    std::unique_ptr<OperationRunner> m_runner;
    std::string m_helpFilePath;
    // Set when the user closed the window during an operation: it closes once that has ended.
    bool m_closeWhenDone = false;
    std::chrono::milliseconds m_notifyAfter{std::chrono::seconds(5)};
};

}  // namespace olvo
