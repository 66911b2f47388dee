#pragma once
// The configuration window: the default split and restore folders with their switches, and the
// list of split sizes that the main window offers.
//
// One instance is created, hidden, at start-up right after the main window and lives until the
// program ends; the main window's File > Configuration shows it modally, and closing only hides
// it. Every showing loads the five values afresh from the settings store, so edits that were
// cancelled are never seen again. Apply and OK save all five to the store and only then hand
// them to the main window (its size list and ProgramSettings()); a failed save reports its
// error, hands nothing over and keeps the window open with its edits.
//
// The controls are the working copy of the settings while the window is open. Setting a folder
// field's or the memo's text, or a switch's state, from code runs its handler only when the value
// changes, as a user's edit would; the folder rule relies on that to keep a switch on only while
// its folder is set. Every handler runs inside RunHandler: an error that escapes it goes to the
// application-wide error report.

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace olvo {

class ConfigWindow final : public QDialog {
  public:
    explicit ConfigWindow(QWidget* parent = nullptr);
    ~ConfigWindow() override;

    // The instance of this run (the first one created), or null once it is gone.
    static ConfigWindow* Instance();

    // Controls.
    QTabWidget* PageControl1;
    QWidget* tsGeneral;
    QGroupBox* grpFolders;
    QCheckBox* chkSplitTo;
    QLineEdit* txtSplitToDef;
    QPushButton* cmdSplitTo;
    QCheckBox* chkRestoreTo;
    QLineEdit* txtRestoreToDef;
    QPushButton* cmdRestoreTo;
    QPushButton* cmdClear;
    QGroupBox* grpSplitSizes;
    QWidget* tsChecks;
    QCheckBox* chkWriteHashes;
    QPlainTextEdit* mmoSplitSizes;
    QPushButton* cmdDefault;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    QPushButton* cmdApply;

    // Handlers.
    // Loads the store into the controls, then disables Apply and focuses OK. A load that fails
    // raises after the values before the failing one reached their controls; Apply and the focus
    // are then left as the load left them.
    void FormShow();
    // 'r' loads the five values into the controls, 'w' saves the controls' values to the store;
    // any other mode does nothing. Raises SettingsError at the value that failed; the values
    // before it were loaded or saved, the later ones were not.
    void ReadWriteRegistry(char mode);
    // Saves, then gives the main window the memo's sizes as its size list (its shown size stays)
    // and ProgramSettings() the switches and folders; disables Apply and focuses OK. When the save
    // raises, nothing is handed over and Apply stays as it was.
    void cmdApplyClick();
    // cmdApplyClick whether or not Apply is enabled, then closes; a failed save keeps it open.
    void cmdOKClick();
    void cmdCancelClick();
    void cmdDefaultClick();
    void cmdClearClick();
    // The folder rule of each side: a switch may be on only while its folder is set. With the
    // folder set, Apply is enabled; without it, the switch is cleared and Apply left alone.
    void chkSplitToClick();
    void chkRestoreToClick();
    // Chooses a side's default folder; a chosen folder also turns its switch on. Cancelling the
    // chooser changes nothing.
    void cmdSplitToClick();
    void cmdRestoreToClick();
    // The memo's filter: digits, the comma and backspace pass; any other character, control
    // characters included, becomes 0 (discarded).
    void mmoSplitSizesKeyPress(char& key);
    void mmoSplitSizesChange();

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildWindow();
    void BuildFolders();
    void BuildSplitSizes();
    void ConnectHandlers();
    // The folder rule on one side's controls.
    void FolderRule(QLineEdit* folder, QCheckBox* toFolder);
    // The folder chooser for one side.
    void ChooseFolder(QLineEdit* folder, QCheckBox* toFolder);
};

}  // namespace olvo
