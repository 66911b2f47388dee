#pragma once
// The main window: the Split and Restore tabs, the choice of split method and piece size with its
// summary, the dispatch of the two operations to the engine, and the menus.
//
// The controls carry the names of the window's layout and are reachable as members, like those of
// a designed form. Setting a control's text or check state from code runs its handler only when
// the value changes; the handler chains below (AddFile and the change handlers) rely on that and
// end after one nesting. Every handler runs inside RunHandler: an error that escapes it goes to
// the application-wide error report.
//
// While a split or restore runs, the inputs, the action and close buttons and the menus are
// disabled and the window cannot be closed; it keeps repainting through the engine's progress.

#include <QMainWindow>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "core/engine/Seams.h"
#include "core/engine/SplitPlan.h"
#include "platform/FileSystem.h"
#include "core/settings/SettingsStore.h"
#include "gui/GuiProgress.h"
#include "gui/GuiPrompt.h"

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

// The range of the number of pieces (kMaxSplitSizeKB, the size box's limit, is the split plan's).
inline constexpr int kMaxSplitFiles = kMaxSplitCount;

// The settings of this run: loaded by the main window's creation, replaced by the configuration
// window's Apply.
Settings& ProgramSettings();

class MainWindow final : public QMainWindow {
  public:
    // Builds the window and runs FormCreate with the command-line arguments (without the program
    // name): nothing, a FILE, or "--split FILE" or "--restore FILE" to choose its tab. files
    // serves every look-up of the window and the engine.
    explicit MainWindow(const std::vector<std::string>& arguments,
                          FileSystem& files = SystemFileSystem(), QWidget* parent = nullptr);
    ~MainWindow() override;

    // The instance of this run (the first one created), or null once it is gone.
    static MainWindow* Instance();

    // The folder of the program file followed by "OLVO.chm"; empty when the creation failed
    // before it was set.
    const std::string& HelpFilePath() const { return m_helpFilePath; }

    // The offered split sizes, the entries of cmbSplitSize.
    std::vector<std::string> SplitSizes() const;
    // Replaces the entries of cmbSplitSize and shows the first one, without its change handler;
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
    QTabWidget* pcMain;
    QWidget* tsSplit;
    QWidget* tsRestore;
    QPushButton* cmdAction;
    QPushButton* cmdClose;

    QLineEdit* txtFileToSplit;
    QPushButton* cmdBrowseFile;
    QLineEdit* txtSplitTo;
    QPushButton* cmdBrowseFolderSplit;
    QComboBox* cmbSplitMethod;
    QComboBox* cmbSplitSize;
    QLabel* lblSplitSize;
    QLineEdit* txtNoFiles;
    UpDownButtons* udNoFiles;
    QLabel* lblNoFiles;
    QLabel* lblFileSize;
    QLabel* lblSplitDetails;

    QLineEdit* txtSplitFile;
    QPushButton* cmdBrowseFile2;
    QLineEdit* txtRestoreTo;
    QPushButton* cmdBrowseFolderRestore;
    QCheckBox* chkDeletePieces;
    QCheckBox* chkRestoreTime;
    QPushButton* cmdVerify;

    // Under the tabs: what the last operation did, with a button that opens its folder.
    StatusLine* statusLine;

    QAction* miConfig;
    QAction* miExit;
    QAction* miHelp;
    QAction* miChk4Updt;
    QAction* miDonate;
    QAction* miHomePage;
    QAction* miAbout;

    // Handlers.
    void FormCreate(const std::vector<std::string>& arguments);
    void FormClose();
    // The key filter of cmbSplitSize and txtNoFiles: backspace and digits pass, anything else
    // becomes 0 (discarded).
    void cmbSplitSizeKeyPress(char& key);
    void cmbSplitMethodChange();
    void cmbSplitSizeChange();
    void txtNoFilesChange();
    void txtFileToSplitChange();
    void UpdateLabels();
    void cmdActionClick();
    // Checks the split set of txtSplitFile without writing anything and shows the outcome.
    void cmdVerifyClick();
    // Puts fileName into tab (tsSplit or tsRestore), makes that tab active and fills its
    // destination from the settings or from the file's own folder.
    void AddFile(QWidget* tab, const std::string& fileName);
    void pcMainChange();
    void txtSplitFileChange();
    void cmdBrowseFileClick();
    void cmdBrowseFolderSplitClick();
    void cmdBrowseFolderRestoreClick();
    void miExitClick();
    void miConfigClick();
    void miHelpClick();
    void miChk4UpdtClick();
    void miDonateClick();
    void miHomePageClick();
    void miAboutClick();

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
    void SetBusy(bool busy);
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

    FileSystem& m_files;
    GuiProgress m_progress;
    GuiPrompt m_prompt;
    std::string m_helpFilePath;
    bool m_busy = false;
    std::chrono::milliseconds m_notifyAfter{std::chrono::seconds(5)};
};

}  // namespace olvo
