#include "gui/ConfigWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <exception>
#include <tuple>

#include "gui/FolderPicker.h"
#include "core/settings/SettingsStore.h"
#include "gui/Application.h"
#include "gui/FormParts.h"
#include "gui/MainWindow.h"
#include "gui/QtKeys.h"
#include "gui/QtText.h"

namespace olvo {
namespace {

const char* const kSelectFolderTitle = "Select destination folder";

ConfigWindow* g_instance = nullptr;

// Setting a value the control already holds must run no handler; Qt's setters do not all hold
// back on their own.
void SetText(QPlainTextEdit* memo, const std::string& text) {
    const QString value = ToQ(text);
    if (memo->toPlainText() != value) memo->setPlainText(value);
}

void SetChecked(QCheckBox* box, bool checked) {
    if (box->isChecked() != checked) box->setChecked(checked);
}

std::string Text(const QPlainTextEdit* memo) {
    return FromQ(memo->toPlainText());
}

// The main window's size box gets a new list while it keeps showing the size the user chose;
// its change handler stays quiet, as nothing the user sees has changed.
void ReplaceSizeItems(QComboBox* box, const std::vector<std::string>& sizes) {
    const QSignalBlocker blocker(box);
    const QString shown = box->currentText();
    box->clear();
    for (const std::string& size : sizes) box->addItem(ToQ(size));
    box->setCurrentIndex(-1);
    box->setEditText(shown);
}

// A default folder's row: its switch, the folder and the "..." button that chooses it, in row of
// grid (switches, a gap of 2, the folders, a gap of 4, the buttons). A folder gets here only
// through that button, the load or Clear: the field is display-only.
std::tuple<QCheckBox*, QLineEdit*, QPushButton*> AddFolderRow(
    QGridLayout* grid, int row, const char* caption, const char* switchName, const char* folderName,
    const char* hint, const char* buttonName) {
    QWidget* group = grid->parentWidget();
    auto* toFolder = Named(new QCheckBox(QString::fromLatin1(caption), group), switchName);
    AddDesign(grid, toFolder, QSize(92, 21), row, 0, 1, 1, Qt::Horizontal);
    auto* folder = Named(new QLineEdit(group), folderName);
    folder->setToolTip(QString::fromLatin1(hint));
    MakeDisplayOnly(folder);
    AddDesign(grid, folder, QSize(134, 21), row, 2, 1, 1, Qt::Horizontal);
    auto* button = Named(new QPushButton(QStringLiteral("..."), group), buttonName);
    AddDesign(grid, button, QSize(25, 21), row, 4, 1, 1, Qt::Vertical);
    return {toFolder, folder, button};
}

// A button at the right end of its own row.
QHBoxLayout* RightAligned(QWidget* button, QSize design) {
    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    row->addStretch(1);
    AddDesign(row, button, design);
    return row;
}

}  // namespace

ConfigWindow* ConfigWindow::Instance() {
    return g_instance;
}

ConfigWindow::ConfigWindow(QWidget* parent) : QDialog(parent) {
    if (!g_instance) g_instance = this;
    BuildWindow();
    ConnectHandlers();
}

ConfigWindow::~ConfigWindow() {
    if (g_instance == this) g_instance = nullptr;
}

// ---------------------------------------------------------------------------------------------
// The window's make-up

void ConfigWindow::BuildWindow() {
    setObjectName(QStringLiteral("frmConfig"));
    setWindowTitle(QStringLiteral("Configuration"));
    SetUpFixedDialog(this);

    // 321 x 352 with the default font: the page, then OK, Cancel and Apply at the bottom right.
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setContentsMargins(8, 8, 8, 6);
    layout->setSpacing(8);

    PageControl1 = Named(new QTabWidget(this), "PageControl1");
    PageControl1->setFocusPolicy(Qt::NoFocus);
    PageControl1->tabBar()->setFocusPolicy(Qt::NoFocus);
    tsGeneral = Named(new QWidget, "tsGeneral");
    PageControl1->addTab(tsGeneral, QStringLiteral("General"));
    AddDesign(layout, PageControl1, QSize(305, 305), Qt::Horizontal | Qt::Vertical);
    auto* page = new QVBoxLayout(tsGeneral);
    page->setContentsMargins(8, 8, 12, 0);
    page->setSpacing(8);
    BuildFolders();
    BuildSplitSizes();
    AddDesign(page, grpFolders, QSize(281, 116), Qt::Horizontal);
    AddDesign(page, grpSplitSizes, QSize(281, 140), Qt::Horizontal);
    page->addStretch(1);
    tsChecks = Named(new QWidget, "tsChecks");
    PageControl1->addTab(tsChecks, QStringLiteral("Checks"));
    chkWriteHashes =
        Named(new QCheckBox(QStringLiteral("Write SHA-256 checksums (.sha256 file)"), tsChecks),
              "chkWriteHashes");
    chkWriteHashes->setChecked(true);
    auto* checks = new QVBoxLayout(tsChecks);
    checks->setContentsMargins(12, 12, 12, 0);
    AddDesign(checks, chkWriteHashes, QSize(277, 19), Qt::Horizontal);
    checks->addStretch(1);

    cmdOK = Named(new QPushButton(QStringLiteral("OK"), this), "cmdOK");
    cmdOK->setDefault(true);
    cmdCancel = Named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
    cmdApply = Named(new QPushButton(QStringLiteral("&Apply"), this), "cmdApply");
    cmdApply->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addStretch(1);
    for (QPushButton* button : {cmdOK, cmdCancel, cmdApply}) AddDesign(buttons, button, {75, 25});
    layout->addLayout(buttons);

    // A focused button answers Enter itself; elsewhere Enter presses OK.
    SetUpClickables(this);

    setTabOrder(chkSplitTo, txtSplitToDef);
    setTabOrder(txtSplitToDef, cmdSplitTo);
    setTabOrder(cmdSplitTo, chkRestoreTo);
    setTabOrder(chkRestoreTo, txtRestoreToDef);
    setTabOrder(txtRestoreToDef, cmdRestoreTo);
    setTabOrder(cmdRestoreTo, cmdClear);
    setTabOrder(cmdClear, mmoSplitSizes);
    setTabOrder(mmoSplitSizes, cmdDefault);
    setTabOrder(cmdDefault, chkWriteHashes);
    setTabOrder(chkWriteHashes, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    setTabOrder(cmdCancel, cmdApply);
    layout->activate();
}

void ConfigWindow::BuildFolders() {
    grpFolders = Named(new QGroupBox(QStringLiteral("Default Folders"), tsGeneral), "grpFolders");
    auto* grid = new QGridLayout(grpFolders);
    SetInnerMargins(grid, grpFolders, 12, 24, 12, 9);
    grid->setSpacing(0);
    grid->setColumnMinimumWidth(1, 2);
    grid->setColumnMinimumWidth(3, 4);
    grid->setColumnStretch(2, 1);

    std::tie(chkSplitTo, txtSplitToDef, cmdSplitTo) =
        AddFolderRow(grid, 0, "Split to:", "chkSplitTo", "txtSplitToDef",
                     "Press '...' button to select default folder to split to", "cmdSplitTo");
    grid->setRowMinimumHeight(1, 7);
    std::tie(chkRestoreTo, txtRestoreToDef, cmdRestoreTo) =
        AddFolderRow(grid, 2, "Restore to:", "chkRestoreTo", "txtRestoreToDef",
                     "Press '...' button to select default folder to restore to", "cmdRestoreTo");
    grid->setRowMinimumHeight(3, 9);

    cmdClear = Named(new QPushButton(QStringLiteral("&Clear"), grpFolders), "cmdClear");
    grid->addLayout(RightAligned(cmdClear, {75, 25}), 4, 0, 1, 5);
    grid->setRowStretch(5, 1);
}

void ConfigWindow::BuildSplitSizes() {
    grpSplitSizes =
        Named(new QGroupBox(QStringLiteral("Default Split Sizes (in kilobytes)"), tsGeneral),
              "grpSplitSizes");
    auto* layout = new QVBoxLayout(grpSplitSizes);
    SetInnerMargins(layout, grpSplitSizes, 12, 22, 12, 9);
    layout->setSpacing(6);

    mmoSplitSizes = Named(new QPlainTextEdit(grpSplitSizes), "mmoSplitSizes");
    mmoSplitSizes->setToolTip(
        QStringLiteral("Add or remove split sizes (in kb), separated by commas (,)"));
    mmoSplitSizes->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmoSplitSizes->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A list of sizes holds no blanks to break at; it wraps wherever the line is full.
    mmoSplitSizes->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    // Tab moves on, and Enter belongs to the OK button (see eventFilter).
    mmoSplitSizes->setTabChangesFocus(true);
    mmoSplitSizes->installEventFilter(this);
    // Four lines of sizes, in whatever font.
    mmoSplitSizes->setMinimumHeight(4 * mmoSplitSizes->fontMetrics().lineSpacing() + 8);
    AddDesign(layout, mmoSplitSizes, QSize(257, 78), Qt::Horizontal | Qt::Vertical);

    cmdDefault = Named(new QPushButton(QStringLiteral("&Default"), grpSplitSizes), "cmdDefault");
    layout->addLayout(RightAligned(cmdDefault, {75, 25}));
    layout->addStretch(1);
}

void ConfigWindow::ConnectHandlers() {
    const auto handle = [this](void (ConfigWindow::*handler)()) {
        return [this, handler] { RunHandler([&] { (this->*handler)(); }); };
    };
    connect(chkSplitTo, &QCheckBox::toggled, this, handle(&ConfigWindow::chkSplitToClick));
    connect(txtSplitToDef, &QLineEdit::textChanged, this, handle(&ConfigWindow::chkSplitToClick));
    connect(cmdSplitTo, &QPushButton::clicked, this, handle(&ConfigWindow::cmdSplitToClick));
    connect(chkRestoreTo, &QCheckBox::toggled, this, handle(&ConfigWindow::chkRestoreToClick));
    connect(txtRestoreToDef, &QLineEdit::textChanged, this, handle(&ConfigWindow::chkRestoreToClick));
    connect(cmdRestoreTo, &QPushButton::clicked, this, handle(&ConfigWindow::cmdRestoreToClick));
    connect(cmdClear, &QPushButton::clicked, this, handle(&ConfigWindow::cmdClearClick));
    connect(mmoSplitSizes, &QPlainTextEdit::textChanged, this,
            handle(&ConfigWindow::mmoSplitSizesChange));
    connect(cmdDefault, &QPushButton::clicked, this, handle(&ConfigWindow::cmdDefaultClick));
    connect(chkWriteHashes, &QCheckBox::toggled, this, handle(&ConfigWindow::mmoSplitSizesChange));
    connect(cmdOK, &QPushButton::clicked, this, handle(&ConfigWindow::cmdOKClick));
    connect(cmdCancel, &QPushButton::clicked, this, handle(&ConfigWindow::cmdCancelClick));
    connect(cmdApply, &QPushButton::clicked, this, handle(&ConfigWindow::cmdApplyClick));
}

// ---------------------------------------------------------------------------------------------
// Showing, loading and saving

void ConfigWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A window coming back from being minimised is not a new opening.
    if (event->spontaneous()) return;
    CentreOnScreen(this);
    RunHandler([this] { FormShow(); });
}

void ConfigWindow::FormShow() {
    ReadWriteRegistry('r');
    cmdApply->setEnabled(false);
    cmdOK->setFocus();
}

void ConfigWindow::ReadWriteRegistry(char mode) {
    ConfigValues values;
    values.splitToFolder = chkSplitTo->isChecked();
    values.splitFolderName = Text(txtSplitToDef);
    values.restoreToFolder = chkRestoreTo->isChecked();
    values.restoreFolderName = Text(txtRestoreToDef);
    values.splitSizes = Text(mmoSplitSizes);
    values.writeHashes = chkWriteHashes->isChecked();
    switch (mode) {
        case 'r': {
            // A failing load leaves the values after the failing one as the controls held them.
            std::exception_ptr failure;
            try {
                LoadConfigValues(UserRegistry(), values);
            } catch (...) {
                failure = std::current_exception();
            }
            // The folders go in before their switches, so a switch stored as on with an empty
            // folder is cleared by the folder rule. A switch the rule cleared while its folder
            // was emptied is set back here only to be cleared again: the end is the same as a
            // load that set each control as it read it.
            SetText(txtSplitToDef, values.splitFolderName);
            SetText(txtRestoreToDef, values.restoreFolderName);
            SetChecked(chkSplitTo, values.splitToFolder);
            SetChecked(chkRestoreTo, values.restoreToFolder);
            SetText(mmoSplitSizes, values.splitSizes);
            SetChecked(chkWriteHashes, values.writeHashes);
            if (failure) std::rethrow_exception(failure);
            break;
        }
        case 'w':
            SaveConfigValues(UserRegistry(), values);
            break;
        default:
            break;
    }
}

void ConfigWindow::cmdApplyClick() {
    ReadWriteRegistry('w');
    if (MainWindow* mainForm = MainWindow::Instance())
        ReplaceSizeItems(mainForm->cmbSplitSize, SplitSizeEntries(Text(mmoSplitSizes)));
    Settings& settings = ProgramSettings();
    settings.SplitToFolder = chkSplitTo->isChecked();
    settings.RestoreToFolder = chkRestoreTo->isChecked();
    settings.SplitFolderName = Text(txtSplitToDef);
    settings.RestoreFolderName = Text(txtRestoreToDef);
    settings.WriteHashes = chkWriteHashes->isChecked();
    cmdApply->setEnabled(false);
    cmdOK->setFocus();
}

void ConfigWindow::cmdOKClick() {
    cmdApplyClick();
    accept();
}

void ConfigWindow::cmdCancelClick() {
    reject();
}

// ---------------------------------------------------------------------------------------------
// Editing

void ConfigWindow::cmdDefaultClick() {
    SetText(mmoSplitSizes, DefaultSplitSizes);
    cmdApply->setEnabled(true);
}

void ConfigWindow::cmdClearClick() {
    SetText(txtSplitToDef, "");
    SetChecked(chkSplitTo, false);
    SetText(txtRestoreToDef, "");
    SetChecked(chkRestoreTo, false);
    cmdApply->setEnabled(true);
}

void ConfigWindow::FolderRule(QLineEdit* folder, QCheckBox* toFolder) {
    if (!folder->text().isEmpty())
        cmdApply->setEnabled(true);
    else
        SetChecked(toFolder, false);
}

void ConfigWindow::chkSplitToClick() {
    FolderRule(txtSplitToDef, chkSplitTo);
}

void ConfigWindow::chkRestoreToClick() {
    FolderRule(txtRestoreToDef, chkRestoreTo);
}

void ConfigWindow::ChooseFolder(QLineEdit* folder, QCheckBox* toFolder) {
    const std::string chosen = SelectFolder(kSelectFolderTitle, Text(folder));
    if (chosen.empty()) return;
    SetText(folder, chosen);
    SetChecked(toFolder, true);
}

void ConfigWindow::cmdSplitToClick() {
    ChooseFolder(txtSplitToDef, chkSplitTo);
}

void ConfigWindow::cmdRestoreToClick() {
    ChooseFolder(txtRestoreToDef, chkRestoreTo);
}

void ConfigWindow::mmoSplitSizesKeyPress(char& key) {
    if (key != '\b' && key != ',' && (key < '0' || key > '9')) key = 0;
}

void ConfigWindow::mmoSplitSizesChange() {
    cmdApply->setEnabled(true);
}

bool ConfigWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched != mmoSplitSizes || event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto* press = static_cast<QKeyEvent*>(event);
    if (press->key() == Qt::Key_Return || press->key() == Qt::Key_Enter) {
        // The memo takes no line break: Enter presses the default button.
        if (cmdOK->isEnabled()) cmdOK->click();
        return true;
    }
    return KeyDiscarded(*press,
                        [this](char& key) { RunHandler([&] { mmoSplitSizesKeyPress(key); }); });
}

}  // namespace olvo
