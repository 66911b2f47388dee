#include "gui/ConfigWindow.h"

#include <QCheckBox>
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
#include <utility>

#include "core/engine/Format.h"
#include "core/settings/SettingsStore.h"
#include "gui/Application.h"
#include "gui/FolderPicker.h"
#include "gui/GuiService.h"
#include "gui/QtKeys.h"
#include "gui/QtText.h"
#include "gui/WindowParts.h"

namespace olvo {
namespace {

const char* const kSelectFolderTitle = "Select destination folder";

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

ConfigWindow::ConfigWindow(GuiService& gui, Registry& registry, Applied applied, QWidget* parent)
    : QDialog(parent), m_gui(gui), m_registry(registry), m_applied(std::move(applied)) {
    BuildWindow();
    ConnectHandlers();
}

ConfigWindow::~ConfigWindow() = default;

// ---------------------------------------------------------------------------------------------
// The window's make-up

void ConfigWindow::BuildWindow() {
    // 321 x 352 with the default font: the page, then OK, Cancel and Apply at the bottom right.
    QVBoxLayout* layout =
        SetUpFixedDialog(this, "frmConfig", "Configuration", QMargins(8, 8, 8, 6), 8);

    tabs = Named(new QTabWidget(this), "PageControl1");
    tabs->setFocusPolicy(Qt::NoFocus);
    tabs->tabBar()->setFocusPolicy(Qt::NoFocus);
    generalTab = Named(new QWidget, "tsGeneral");
    tabs->addTab(generalTab, QStringLiteral("General"));
    AddDesign(layout, tabs, QSize(305, 305), Qt::Horizontal | Qt::Vertical);
    auto* page = new QVBoxLayout(generalTab);
    page->setContentsMargins(8, 8, 12, 0);
    page->setSpacing(8);
    BuildFolders();
    BuildSplitSizes();
    AddDesign(page, foldersGroup, QSize(281, 116), Qt::Horizontal);
    AddDesign(page, splitSizesGroup, QSize(281, 140), Qt::Horizontal);
    page->addStretch(1);
    checksTab = Named(new QWidget, "tsChecks");
    tabs->addTab(checksTab, QStringLiteral("Checks"));
    writeHashesBox =
        Named(new QCheckBox(QStringLiteral("Write SHA-256 checksums (.sha256 file)"), checksTab),
              "chkWriteHashes");
    writeHashesBox->setChecked(true);
    auto* checks = new QVBoxLayout(checksTab);
    checks->setContentsMargins(12, 12, 12, 0);
    AddDesign(checks, writeHashesBox, QSize(277, 19), Qt::Horizontal);
    checks->addStretch(1);

    okButton = Named(new QPushButton(QStringLiteral("OK"), this), "cmdOK");
    okButton->setDefault(true);
    cancelButton = Named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
    applyButton = Named(new QPushButton(QStringLiteral("&Apply"), this), "cmdApply");
    applyButton->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addStretch(1);
    for (QPushButton* button : {okButton, cancelButton, applyButton})
        AddDesign(buttons, button, {75, 25});
    layout->addLayout(buttons);

    // A focused button answers Enter itself; elsewhere Enter presses OK.
    SetUpClickables(this);

    setTabOrder(splitToFolderBox, defaultSplitFolderEdit);
    setTabOrder(defaultSplitFolderEdit, browseDefaultSplitFolderButton);
    setTabOrder(browseDefaultSplitFolderButton, restoreToFolderBox);
    setTabOrder(restoreToFolderBox, defaultRestoreFolderEdit);
    setTabOrder(defaultRestoreFolderEdit, browseDefaultRestoreFolderButton);
    setTabOrder(browseDefaultRestoreFolderButton, clearFoldersButton);
    setTabOrder(clearFoldersButton, splitSizesEdit);
    setTabOrder(splitSizesEdit, defaultSizesButton);
    setTabOrder(defaultSizesButton, writeHashesBox);
    setTabOrder(writeHashesBox, okButton);
    setTabOrder(okButton, cancelButton);
    setTabOrder(cancelButton, applyButton);
    layout->activate();
}

void ConfigWindow::BuildFolders() {
    foldersGroup =
        Named(new QGroupBox(QStringLiteral("Default Folders"), generalTab), "grpFolders");
    QGridLayout* grid = GroupGrid(foldersGroup, 12, 24, 12, 9, 2);
    grid->setColumnMinimumWidth(1, 2);
    grid->setColumnMinimumWidth(3, 4);

    std::tie(splitToFolderBox, defaultSplitFolderEdit, browseDefaultSplitFolderButton) =
        AddFolderRow(grid, 0, "Split to:", "chkSplitTo", "txtSplitToDef",
                     "Press '...' button to select default folder to split to", "cmdSplitTo");
    grid->setRowMinimumHeight(1, 7);
    std::tie(restoreToFolderBox, defaultRestoreFolderEdit, browseDefaultRestoreFolderButton) =
        AddFolderRow(grid, 2, "Restore to:", "chkRestoreTo", "txtRestoreToDef",
                     "Press '...' button to select default folder to restore to", "cmdRestoreTo");
    grid->setRowMinimumHeight(3, 9);

    clearFoldersButton = Named(new QPushButton(QStringLiteral("&Clear"), foldersGroup), "cmdClear");
    grid->addLayout(RightAligned(clearFoldersButton, {75, 25}), 4, 0, 1, 5);
    grid->setRowStretch(5, 1);
}

void ConfigWindow::BuildSplitSizes() {
    splitSizesGroup =
        Named(new QGroupBox(QStringLiteral("Default Split Sizes (in kilobytes)"), generalTab),
              "grpSplitSizes");
    auto* layout = new QVBoxLayout(splitSizesGroup);
    SetInnerMargins(layout, splitSizesGroup, 12, 22, 12, 9);
    layout->setSpacing(6);

    splitSizesEdit = Named(new QPlainTextEdit(splitSizesGroup), "mmoSplitSizes");
    splitSizesEdit->setToolTip(
        QStringLiteral("Add or remove split sizes (in kb, or with a unit: 700M, 2G, 25MB), "
                       "separated by commas (,)"));
    splitSizesEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    splitSizesEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A list of sizes holds no blanks to break at; it wraps wherever the line is full.
    splitSizesEdit->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    // Tab moves on, and Enter belongs to the OK button (see eventFilter).
    splitSizesEdit->setTabChangesFocus(true);
    splitSizesEdit->installEventFilter(this);
    // Four lines of sizes, in whatever font.
    splitSizesEdit->setMinimumHeight(4 * splitSizesEdit->fontMetrics().lineSpacing() + 8);
    AddDesign(layout, splitSizesEdit, QSize(257, 78), Qt::Horizontal | Qt::Vertical);

    defaultSizesButton =
        Named(new QPushButton(QStringLiteral("&Default"), splitSizesGroup), "cmdDefault");
    layout->addLayout(RightAligned(defaultSizesButton, {75, 25}));
    layout->addStretch(1);
}

void ConfigWindow::ConnectHandlers() {
    // Every handler runs inside RunHandler.
    const auto on = [this](auto* control, auto signal, void (ConfigWindow::*handler)()) {
        connect(control, signal, this, HandlerSlot(m_gui, this, handler));
    };
    on(splitToFolderBox, &QCheckBox::toggled, &ConfigWindow::OnSplitFolderRule);
    on(defaultSplitFolderEdit, &QLineEdit::textChanged, &ConfigWindow::OnSplitFolderRule);
    on(browseDefaultSplitFolderButton, &QPushButton::clicked,
       &ConfigWindow::OnBrowseDefaultSplitFolder);
    on(restoreToFolderBox, &QCheckBox::toggled, &ConfigWindow::OnRestoreFolderRule);
    on(defaultRestoreFolderEdit, &QLineEdit::textChanged, &ConfigWindow::OnRestoreFolderRule);
    on(browseDefaultRestoreFolderButton, &QPushButton::clicked,
       &ConfigWindow::OnBrowseDefaultRestoreFolder);
    on(clearFoldersButton, &QPushButton::clicked, &ConfigWindow::OnClearFolders);
    on(splitSizesEdit, &QPlainTextEdit::textChanged, &ConfigWindow::OnEdited);
    on(defaultSizesButton, &QPushButton::clicked, &ConfigWindow::OnDefaultSizes);
    on(writeHashesBox, &QCheckBox::toggled, &ConfigWindow::OnEdited);
    on(okButton, &QPushButton::clicked, &ConfigWindow::OnOk);
    on(cancelButton, &QPushButton::clicked, &ConfigWindow::OnCancel);
    on(applyButton, &QPushButton::clicked, &ConfigWindow::OnApply);
}

// ---------------------------------------------------------------------------------------------
// Showing, loading and saving

void ConfigWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A window coming back from being minimised is not a new opening.
    if (event->spontaneous()) return;
    CentreOnScreen(this);
    RunHandler(m_gui, [this] { OnShow(); });
}

void ConfigWindow::OnShow() {
    LoadFromStore();
    applyButton->setEnabled(false);
    okButton->setFocus();
}

Settings ConfigWindow::ShownValues() const {
    Settings values = m_loaded;
    values.SplitToFolder = splitToFolderBox->isChecked();
    values.SplitFolderName = Text(defaultSplitFolderEdit);
    values.RestoreToFolder = restoreToFolderBox->isChecked();
    values.RestoreFolderName = Text(defaultRestoreFolderEdit);
    values.SplitSizes = Text(splitSizesEdit);
    values.WriteHashes = writeHashesBox->isChecked();
    return values;
}

void ConfigWindow::LoadFromStore() {
    Settings values = ShownValues();
    // A failing load leaves the values after the failing one as the controls held them.
    std::exception_ptr failure;
    try {
        LoadConfigValues(m_registry, values);
    } catch (const SettingsError&) {
        failure = std::current_exception();
    }
    m_loaded = values;
    // The folders go in before their switches, so a switch stored as on with an empty folder is
    // cleared by the folder rule. A switch the rule cleared while its folder was emptied is set
    // back here only to be cleared again: the end is the same as a load that set each control as
    // it read it.
    SetText(defaultSplitFolderEdit, values.SplitFolderName);
    SetText(defaultRestoreFolderEdit, values.RestoreFolderName);
    SetChecked(splitToFolderBox, values.SplitToFolder);
    SetChecked(restoreToFolderBox, values.RestoreToFolder);
    SetText(splitSizesEdit, values.SplitSizes);
    SetChecked(writeHashesBox, values.WriteHashes);
    if (failure) std::rethrow_exception(failure);
}

void ConfigWindow::OnApply() {
    Settings settings = ShownValues();
    // Whole kilobytes in the form every version reads, however they were typed.
    settings.SplitSizes = StoredSplitSizes(settings.SplitSizes);
    SaveConfigValues(m_registry, settings);
    if (m_applied) m_applied(settings, SplitSizeEntries(settings.SplitSizes));
    applyButton->setEnabled(false);
    okButton->setFocus();
}

void ConfigWindow::OnOk() {
    OnApply();
    accept();
}

void ConfigWindow::OnCancel() {
    reject();
}

// ---------------------------------------------------------------------------------------------
// Editing

void ConfigWindow::OnDefaultSizes() {
    SetText(splitSizesEdit, DefaultSplitSizes);
    applyButton->setEnabled(true);
}

void ConfigWindow::OnClearFolders() {
    SetText(defaultSplitFolderEdit, "");
    SetChecked(splitToFolderBox, false);
    SetText(defaultRestoreFolderEdit, "");
    SetChecked(restoreToFolderBox, false);
    applyButton->setEnabled(true);
}

void ConfigWindow::FolderRule(QLineEdit* folder, QCheckBox* toFolder) {
    if (!folder->text().isEmpty())
        applyButton->setEnabled(true);
    else
        SetChecked(toFolder, false);
}

void ConfigWindow::OnSplitFolderRule() {
    FolderRule(defaultSplitFolderEdit, splitToFolderBox);
}

void ConfigWindow::OnRestoreFolderRule() {
    FolderRule(defaultRestoreFolderEdit, restoreToFolderBox);
}

void ConfigWindow::ChooseFolder(QLineEdit* folder, QCheckBox* toFolder) {
    const std::string chosen = SelectFolder(m_gui, kSelectFolderTitle, Text(folder));
    if (chosen.empty()) return;
    SetText(folder, chosen);
    SetChecked(toFolder, true);
}

void ConfigWindow::OnBrowseDefaultSplitFolder() {
    ChooseFolder(defaultSplitFolderEdit, splitToFolderBox);
}

void ConfigWindow::OnBrowseDefaultRestoreFolder() {
    ChooseFolder(defaultRestoreFolderEdit, restoreToFolderBox);
}

void ConfigWindow::FilterSizeKey(char& key) {
    if (key != '\b' && key != ',' && (key < '0' || key > '9') && !IsSizeUnitLetter(key)) key = 0;
}

void ConfigWindow::OnEdited() {
    applyButton->setEnabled(true);
}

bool ConfigWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched != splitSizesEdit || event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto* press = static_cast<QKeyEvent*>(event);
    if (press->key() == Qt::Key_Return || press->key() == Qt::Key_Enter) {
        // The memo takes no line break: Enter presses the default button.
        if (okButton->isEnabled()) okButton->click();
        return true;
    }
    return KeyDiscarded(*press,
                        [this](char& key) { RunHandler(m_gui, [&] { FilterSizeKey(key); }); });
}

}  // namespace olvo
