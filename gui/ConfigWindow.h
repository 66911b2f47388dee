#pragma once
// The configuration window: the default split and restore folders with their switches, and the
// list of split sizes that the main window offers.
//
// One instance is created, hidden, at start-up right after the main window and lives until the
// program ends; the main window's File > Configuration shows it modally, and closing only hides
// it. Every showing loads the five values afresh from the settings store, so edits that were
// cancelled are never seen again. Apply and OK save all five to the store and only then hand
// them on (to the main window: its size list and the settings of the run); a failed save reports
// its error, hands nothing over and keeps the window open with its edits.
//
// The controls are the working copy of the settings while the window is open. Setting a folder
// field's or the memo's text, or a switch's state, from code runs its handler only when the value
// changes, as a user's edit would; the folder rule relies on that to keep a switch on only while
// its folder is set. Every handler runs inside RunHandler: an error that escapes it goes to the
// application-wide error report.

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "core/settings/SettingsStore.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace olvo {

class GuiService;
class Registry;

class ConfigWindow final : public QDialog {
  public:
    // What Apply hands on once the store has the values: the switches and folders as settings,
    // and the memo's sizes as the list of split sizes.
    using Applied =
        std::function<void(const Settings& settings, const std::vector<std::string>& splitSizes)>;

    // gui serves the folder chooser and the error reports; registry is the store the values are
    // loaded from and saved to; applied hears of every Apply (nothing: nobody does).
    ConfigWindow(GuiService& gui, Registry& registry, Applied applied, QWidget* parent = nullptr);
    ~ConfigWindow() override;

    // Controls.
    QTabWidget* tabs;
    QWidget* generalTab;
    QGroupBox* foldersGroup;
    QCheckBox* splitToFolderBox;
    QLineEdit* defaultSplitFolderEdit;
    QPushButton* browseDefaultSplitFolderButton;
    QCheckBox* restoreToFolderBox;
    QLineEdit* defaultRestoreFolderEdit;
    QPushButton* browseDefaultRestoreFolderButton;
    QPushButton* clearFoldersButton;
    QGroupBox* splitSizesGroup;
    QWidget* checksTab;
    QCheckBox* writeHashesBox;
    QPlainTextEdit* splitSizesEdit;
    QPushButton* defaultSizesButton;
    QPushButton* okButton;
    QPushButton* cancelButton;
    QPushButton* applyButton;

    // Handlers.
    // Loads the store into the controls, then disables Apply and focuses OK. A load that fails
    // raises after the values before the failing one reached their controls; Apply and the focus
    // are then left as the load left them.
    void OnShow();
    // Loads the values of the store into the controls. Raises SettingsError at the value that
    // failed; the values before it were loaded, the later ones were not.
    void LoadFromStore();
    // Saves, then hands the switches, the folders and the memo's sizes to applied; disables Apply
    // and focuses OK. When the save raises, nothing is handed over and Apply stays as it was.
    void OnApply();
    // OnApply whether or not Apply is enabled, then closes; a failed save keeps it open.
    void OnOk();
    void OnCancel();
    void OnDefaultSizes();
    void OnClearFolders();
    // The folder rule of each side: a switch may be on only while its folder is set. With the
    // folder set, Apply is enabled; without it, the switch is cleared and Apply left alone.
    void OnSplitFolderRule();
    void OnRestoreFolderRule();
    // Chooses a side's default folder; a chosen folder also turns its switch on. Cancelling the
    // chooser changes nothing.
    void OnBrowseDefaultSplitFolder();
    void OnBrowseDefaultRestoreFolder();
    // The memo's filter: digits, the comma and backspace pass; any other character, control
    // characters included, becomes 0 (discarded).
    void FilterSizeKey(char& key);
    void OnEdited();

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildWindow();
    void BuildFolders();
    void BuildSplitSizes();
    void ConnectHandlers();
    // The values the controls hold, and the last load's values of those the window does not
    // show (the main window's recovery count), so that Apply keeps them.
    Settings ShownValues() const;
    // The folder rule on one side's controls.
    void FolderRule(QLineEdit* folder, QCheckBox* toFolder);
    // The folder chooser for one side.
    void ChooseFolder(QLineEdit* folder, QCheckBox* toFolder);

    GuiService& m_gui;
    Registry& m_registry;
    Applied m_applied;
    Settings m_loaded;
};

}  // namespace olvo
