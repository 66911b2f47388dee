#include "gui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <limits>
#include <tuple>

#include "core/engine/FileFunctions.h"
#include "core/engine/FileSplit.h"
#include "core/engine/Format.h"
#include "core/engine/SplitPlan.h"
#include "core/engine/SplitSet.h"
#include "core/version/ProductUrls.h"
#include "gui/Application.h"
#include "gui/FolderPicker.h"
#include "gui/GuiService.h"
#include "gui/Hourglass.h"
#include "gui/OperationRunner.h"
#include "gui/PieceMap.h"
#include "gui/QtKeys.h"
#include "gui/QtText.h"
#include "gui/StatusLine.h"
#include "gui/UpDownButtons.h"
#include "gui/WindowParts.h"
#include "platform/Clock.h"
#include "platform/Text.h"

namespace olvo {
namespace {

#include "resources/ConfigIcon.xpm"
#include "resources/HelpIcon.xpm"

const char* const kSplitFilter = "All Files (*.*)|*.*";
const char* const kRestoreFilter = "Split Files (*.split)|*.split";
const char* const kSelectFolderTitle = "Select destination folder";

// The integer value of a text as the size and count fields hold it: blanks before it, a sign,
// decimal digits, within the range of an int. Anything else raises.
int ParseInteger(const std::string& text) {
    const auto value = ParseSignedNumber(
        text, NumberRules{.bits = 32, .skipLeadingSpaces = true, .decimalOnly = true});
    if (!value) throw std::runtime_error("'" + text + "' is not a valid integer value");
    return static_cast<int>(static_cast<std::int32_t>(static_cast<std::uint32_t>(*value)));
}

// The text a size or count field is corrected to when it is out of range: empty and values below
// 1 become "1", values above maximum become maximum. Text that is not a number becomes "1".
std::string CorrectedNumber(const std::string& text, std::uint64_t maximum) {
    if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos) {
        const auto first = text.find_first_not_of('0');
        if (first == std::string::npos) return "1";
        const std::string digits = text.substr(first);
        const std::string top = std::to_string(maximum);
        if (digits.size() > top.size() || (digits.size() == top.size() && digits > top)) return top;
        return digits == text ? text : digits;
    }
    return "1";
}

// The piece size a size box text names, in bytes: a size as ParseSize reads it ("1420", "700M",
// "25MB"), else the whole kilobytes the field has always taken (blanks before them, a sign), a
// negative number as 0. Raises when the text is neither.
std::uint64_t SizeBoxBytes(const std::string& text) {
    if (const auto bytes = ParseSize(text)) return *bytes;
    const int kb = ParseInteger(text);
    return kb < 0 ? 0 : static_cast<std::uint64_t>(kb) * 1024;
}

// The text the size box is corrected to when its size is out of range: a size above the largest
// becomes the largest, in kilobytes; one below the smallest becomes "1"; a text that is no size
// follows CorrectedNumber.
std::string CorrectedSize(const std::string& text) {
    const auto bytes = ParseSize(text);
    if (!bytes) return CorrectedNumber(text, kMaxSplitSizeKB);
    if (*bytes > kMaxPieceSize) return std::to_string(kMaxSplitSizeKB);
    if (*bytes < kMinSplitSize) return "1";
    return text;
}

// The piece size the size box names, in bytes; raises when its text is no size (SizeBoxBytes).
std::uint64_t PieceSizeBytes(const QComboBox* sizeBox) {
    return SizeBoxBytes(FromQ(sizeBox->currentText()));
}

// What the window says of a count below 1, which no piece size can be worked out for.
constexpr char kNoPieceCount[] = "Division by zero";

// The number of pieces the count field names, or nothing when it is below 1; raises when its text
// is not an integer.
std::optional<int> PieceCount(const QLineEdit* countField) {
    const int count = ParseInteger(Text(countField));
    if (count < 1) return std::nullopt;
    return count;
}

// The value of a size or count field's text when it is one, and whether inRange takes it.
bool InRange(const std::string& text, bool (*inRange)(std::int64_t), int& value) {
    if (text.empty()) return false;
    value = ParseInteger(text);
    return inRange(value);
}

// The tab a file goes to when the user did not say: descriptors to Restore, the rest to Split.
// The window hands over paths with their folder, so a file named ".split" is never one.
MainWindow::Operation OperationFor(const std::string& file) {
    return HasDescriptorSuffix(file) ? MainWindow::Operation::Restore
                                     : MainWindow::Operation::Split;
}

// The key filter of the count field: backspace and digits pass, anything else becomes 0
// (discarded).
void FilterNumberKey(char& key) {
    if (key != '\b' && (key < '0' || key > '9')) key = 0;
}

// The key filter of the size box: the count field's, and the letters of a size's units.
void FilterSizeKey(char& key) {
    if (!IsSizeUnitLetter(key)) FilterNumberKey(key);
}

// The name of the file a descriptor restores: its own name without ".split".
std::string RestoredName(const std::string& descriptor) {
    return FileNamePart(WithoutDescriptorSuffix(descriptor), Extension::Keep);
}

// A path named relative to the program's working folder, as one given on the command line, made
// absolute: the window shows it long after that folder stopped meaning anything to the user,
// and the split names its pieces after the text behind the last delimiter.
std::string AbsolutePath(const std::string& path) {
    if (path.empty() || path.front() == kPathDelimiter) return path;
    return WithTrailingDelimiter(FromQPath(QDir::currentPath())) + path;
}

// The columns of a tab's grid: the captions, a gap, the fields, a gap, the "..." buttons.
enum TabColumn {
    kCaptionColumn = 0,
    kFieldColumn = 2,
    kButtonColumn = 4,
    kLastColumn = kButtonColumn
};

// The grid of a tab with the design's margins and gaps: captions 66 wide from the left edge 4,
// fields from 76, buttons 25 wide ending 12 before the right edge; the rows start at 12, and
// the last one ends at least 8 above the bottom.
QGridLayout* TabGrid(QWidget* page) {
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(4, 12, 12, 8);
    grid->setSpacing(0);
    grid->setColumnMinimumWidth(1, 6);
    grid->setColumnMinimumWidth(3, 4);
    grid->setColumnStretch(kFieldColumn, 1);
    return grid;
}

// A gap of height pixels before row of grid.
void RowGap(QGridLayout* grid, int row, int height) {
    grid->setRowMinimumHeight(row, height);
}

// The caption in front of a tab's field, right-aligned in the captions' column.
QLabel* AddCaption(QGridLayout* grid, int row, const char* text, int height = 21) {
    auto* label = new QLabel(QString::fromLatin1(text), grid->parentWidget());
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    AddDesign(grid, label, QSize(66, height), row, kCaptionColumn, 1, 1, Qt::Horizontal);
    return label;
}

// A row of a tab: its caption before a path field, and the "..." button that chooses the path.
std::pair<QLineEdit*, QPushButton*> AddPathRow(QGridLayout* grid, int row, const char* caption,
                                               const char* fieldName, const char* hint,
                                               const char* buttonName) {
    QWidget* page = grid->parentWidget();
    AddCaption(grid, row, caption);
    auto* field = Named(new QLineEdit(page), fieldName);
    field->setToolTip(QString::fromLatin1(hint));
    AddDesign(grid, field, QSize(311, 21), row, kFieldColumn, 1, 1, Qt::Horizontal);
    auto* button = Named(new QPushButton(QStringLiteral("..."), page), buttonName);
    AddDesign(grid, button, QSize(25, 21), row, kButtonColumn, 1, 1, Qt::Vertical);
    return {field, button};
}

// A control that is shown only with one split method keeps its place while hidden, so that the
// window does not change its size with the method.
template <class Widget>
Widget* KeepsPlace(Widget* widget) {
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
    return widget;
}

// What a verify found, for the Verify window; the window says the recovery line in its own words
// and offers its Repair button instead of the terminal's command.
void FillReport(VerifyReport& report, VerifyResult found) {
    report.whole = found.ok;
    report.problems = std::move(found.problems);
    report.states = std::move(found.states);
    report.failure = std::move(found.message);
    report.warnings = std::move(found.warnings);
    if (found.recovery && found.recovery->lost > 0) {
        report.recovery = RecoveryLine(*found.recovery, ".");
        report.canRepair = found.recovery->canRebuild;
    }
}

// The pieces a repair rebuilt that the verify after it found whole, marked so on the map, and
// what the repair did in a line: "Rebuilt 2 pieces from the recovery pieces: f.s02, f.s04."
void MarkRepaired(VerifyReport& report, const RepairResult& repaired) {
    const std::string base =
        FileNamePart(WithoutDescriptorSuffix(report.descriptorPath), Extension::Drop);
    for (std::size_t k = 1; k <= report.states.size(); ++k) {
        const auto& rebuilt = repaired.rebuilt;
        if (report.states[k - 1] == PieceState::Whole &&
            std::find(rebuilt.begin(), rebuilt.end(), PieceName(base, k)) != rebuilt.end())
            report.states[k - 1] = PieceState::Rebuilt;
    }
    std::string line;
    const auto list = [](const std::vector<std::string>& names) {
        std::string text;
        for (const auto& name : names) text += (text.empty() ? "" : ", ") + name;
        return text;
    };
    if (!repaired.rebuilt.empty())
        line = "Rebuilt " + std::to_string(repaired.rebuilt.size()) +
               (repaired.rebuilt.size() == 1 ? " piece" : " pieces") +
               " from the recovery pieces: " + list(repaired.rebuilt) + ".";
    if (!repaired.mended.empty())
        line += (line.empty() ? "" : " ") + ("Rewrote damaged " + list(repaired.mended) + ".");
    if (report.recovery.empty()) report.recovery = line;
}

}  // namespace

// The window's controls. The object names given where they are made are what tests and the
// screenshot program look them up by (findChild): a contract, kept as they are.
struct MainWindow::Ui {
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
    QSpinBox* recoveryPiecesBox;
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
    // The outcome of the last verify (or of a restore that found damage), made when first needed.
    VerifyWindow* verifyWindow = nullptr;

    QAction* configurationAction;
    QAction* exitAction;
    QAction* helpAction;
    QAction* checkUpdatesAction;
    QAction* donateAction;
    QAction* homePageAction;
    QAction* aboutAction;
};

MainWindow::MainWindow(const ProgramServices& services, const std::vector<std::string>& arguments,
                       Openers openers, QWidget* parent)
    : QMainWindow(parent),
      m_gui(services.gui),
      m_registry(services.registry),
      m_files(services.files),
      m_settings(services.settings),
      m_open(std::move(openers)),
      m_prompt(services.gui),
      m_ui(std::make_unique<Ui>()),
      m_runner(std::make_unique<OperationRunner>(m_progress, m_prompt)) {
    m_runner->onBusyChanged = [this](bool busy) { EnableInputs(!busy); };
    BuildWindow();
    ConnectHandlers();
    RunHandler(m_gui, [&] { OnCreate(arguments); });
}

MainWindow::~MainWindow() = default;

void MainWindow::ApplyConfiguration(const Settings& settings,
                                    const std::vector<std::string>& splitSizes) {
    const QSignalBlocker blocker(m_ui->splitSizeBox);
    const QString shown = m_ui->splitSizeBox->currentText();
    m_ui->splitSizeBox->clear();
    for (const std::string& size : splitSizes) m_ui->splitSizeBox->addItem(ToQ(size));
    m_ui->splitSizeBox->setCurrentIndex(-1);
    m_ui->splitSizeBox->setEditText(shown);
    m_settings = settings;
}

// ---------------------------------------------------------------------------------------------
// The window's make-up

void MainWindow::BuildWindow() {
    setObjectName(QStringLiteral("frmMainForm"));
    setWindowTitle(QString::fromLatin1(kApplicationTitle));
    setWindowIcon(ProgramIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    UseWindowFont(this);
    setAcceptDrops(true);

    BuildMenus();

    // The client area: an etched line under the menu bar, the m_ui->tabs, and the buttons at the
    // bottom right; 448 x 241 with the default font.
    auto* client = new QWidget(this);
    setCentralWidget(client);
    auto* clientLayout = new QVBoxLayout(client);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->setSpacing(0);
    clientLayout->addWidget(EtchedLine(client));
    auto* body = new QVBoxLayout;
    body->setContentsMargins(8, 6, 8, 8);
    body->setSpacing(8);
    clientLayout->addLayout(body);

    m_ui->tabs = Named(new QTabWidget(client), "pcMain");
    AddDesign(body, m_ui->tabs, QSize(432, 170), Qt::Horizontal | Qt::Vertical);
    m_ui->tabs->tabBar()->setCursor(Qt::PointingHandCursor);
    m_ui->splitTab = Named(new QWidget, "tsSplit");
    m_ui->restoreTab = Named(new QWidget, "tsRestore");
    m_ui->tabs->addTab(m_ui->splitTab, QStringLiteral("Split"));
    m_ui->tabs->addTab(m_ui->restoreTab, QStringLiteral("Restore"));
    BuildSplitTab();
    BuildRestoreTab();

    m_ui->actionButton = Named(new QPushButton(QStringLiteral("&Split"), client), "cmdAction");
    m_ui->actionButton->setDefault(true);
    m_ui->closeButton = Named(new QPushButton(QStringLiteral("&Close"), client), "cmdClose");
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    BuildStatusLine(client);
    buttons->addWidget(m_ui->statusLine, 1);
    // Both captions fit the wider of the two, whichever tab is active.
    const QSize buttonSize = QSize(75, 25).expandedTo(
        TextNeed(m_ui->actionButton, {}).expandedTo(TextNeed(m_ui->closeButton, {})));
    m_ui->actionButton->setText(QStringLiteral("&Restore"));
    const QSize restoreSize = buttonSize.expandedTo(TextNeed(m_ui->actionButton, {}));
    m_ui->actionButton->setText(QStringLiteral("&Split"));
    AddDesign(buttons, m_ui->actionButton, restoreSize);
    AddDesign(buttons, m_ui->closeButton, restoreSize);
    body->addLayout(buttons);
    SetUpClickables(client);

    setTabOrder(m_ui->tabs, m_ui->sourceFileEdit);
    setTabOrder(m_ui->sourceFileEdit, m_ui->browseSourceButton);
    setTabOrder(m_ui->browseSourceButton, m_ui->browseSplitFolderButton);
    setTabOrder(m_ui->browseSplitFolderButton, m_ui->splitMethodBox);
    setTabOrder(m_ui->splitMethodBox, m_ui->splitSizeBox);
    setTabOrder(m_ui->splitSizeBox, m_ui->pieceCountEdit);
    setTabOrder(m_ui->pieceCountEdit, m_ui->recoveryPiecesBox);
    setTabOrder(m_ui->recoveryPiecesBox, m_ui->descriptorEdit);
    setTabOrder(m_ui->descriptorEdit, m_ui->browseDescriptorButton);
    setTabOrder(m_ui->browseDescriptorButton, m_ui->browseRestoreFolderButton);
    setTabOrder(m_ui->browseRestoreFolderButton, m_ui->deletePiecesBox);
    setTabOrder(m_ui->deletePiecesBox, m_ui->restoreTimeBox);
    setTabOrder(m_ui->restoreTimeBox, m_ui->verifyButton);
    setTabOrder(m_ui->verifyButton, m_ui->actionButton);
    setTabOrder(m_ui->actionButton, m_ui->closeButton);
    setTabOrder(m_ui->closeButton, m_ui->statusLine->openFolderButton);

    DescribeForScreenReaders();

    // The window takes the size of its client area with the menu bar above it; the user cannot
    // resize it.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    CentreOnScreen(this);
    m_ui->sourceFileEdit->setFocus();
}

void MainWindow::DescribeForScreenReaders() {
    // What a screen reader says for each control: its name, and a description where the name
    // does not say all. The captions before the fields are not buddies (they carry no shortcut),
    // so the names are given here.
    struct Description {
        QWidget* control;
        const char* name;
        const char* description;
    };
    const Ui& ui = *m_ui;
    const Description descriptions[] = {
        {ui.tabs, "Operation", "Split a file into pieces, or restore a file from its pieces"},
        {ui.sourceFileEdit, "File to split", nullptr},
        {ui.browseSourceButton, "Choose the file to split", nullptr},
        {ui.splitFolderEdit, "Split to folder", "Chosen with the button after it"},
        {ui.browseSplitFolderButton, "Choose the folder for the pieces", nullptr},
        {ui.splitMethodBox, "Split by", "Split by piece size or by number of pieces"},
        {ui.splitSizeBox, "Piece size in kilobytes, or with a unit: 700M, 2G, 25MB", nullptr},
        {ui.pieceCountEdit, "Number of pieces", "Up and Down change it by one"},
        {ui.recoveryPiecesBox, "Recovery pieces",
         "Recovery files written after the pieces; each can rebuild any one lost or damaged "
         "piece"},
        {ui.fileSizeLabel, "File size", nullptr},
        {ui.splitDetailsLabel, "Split summary", nullptr},
        {ui.descriptorEdit, "Split file to restore", nullptr},
        {ui.browseDescriptorButton, "Choose the .split file to restore", nullptr},
        {ui.restoreFolderEdit, "Restore to folder", "Chosen with the button after it"},
        {ui.browseRestoreFolderButton, "Choose the folder for the restored file", nullptr},
        {ui.deletePiecesBox, "Delete pieces after successful restore", nullptr},
        {ui.restoreTimeBox, "Restore original file time", nullptr},
        {ui.verifyButton, "Verify", "Check that every piece is there and undamaged"},
        {ui.actionButton, "Split", "Split or restore, as the active tab says"},
        {ui.closeButton, "Close", "Close the window; a running operation is cancelled first"},
    };
    for (const Description& item : descriptions) {
        item.control->setAccessibleName(QString::fromLatin1(item.name));
        if (item.description)
            item.control->setAccessibleDescription(QString::fromLatin1(item.description));
    }
    ui.splitTab->setAccessibleName(QStringLiteral("Split"));
    ui.restoreTab->setAccessibleName(QStringLiteral("Restore"));
}

// The summary at the foot of the Split tab, below an etched line: the file's size and what the
// split makes of it.
void MainWindow::BuildSplitSummary(QWidget* page, QGridLayout* grid) {
    RowGap(grid, 7, 13);
    auto* line = new QHBoxLayout;
    line->setContentsMargins(4, 0, 0, 0);
    line->addWidget(EtchedLine(page));
    grid->addLayout(line, 8, 0, 1, kLastColumn + 1);
    RowGap(grid, 9, 8);
    AddCaption(grid, 10, "File size:", 17);
    auto* summary = new QHBoxLayout;
    summary->setSpacing(4);
    m_ui->fileSizeLabel = Named(new QLabel(QStringLiteral("-"), page), "lblFileSize");
    // An em of room after the size, so that a large font does not run it into the details.
    m_ui->fileSizeLabel->setContentsMargins(
        0, 0, m_ui->fileSizeLabel->fontMetrics().horizontalAdvance(u'M'), 0);
    AddDesign(summary, m_ui->fileSizeLabel, QSize(110, 17));
    m_ui->splitDetailsLabel = Named(new QLabel(page), "lblSplitDetails");
    AddDesign(summary, m_ui->splitDetailsLabel, QSize(226, 17), Qt::Horizontal);
    grid->addLayout(summary, 10, kFieldColumn, 1, kLastColumn - kFieldColumn + 1);
}

// Under the method: how many recovery files the split writes after the pieces, 0 to the piece
// count, as the user last chose it.
void MainWindow::BuildRecoveryRow(QWidget* page, QGridLayout* grid) {
    RowGap(grid, 5, 6);
    // The box under the size or count field, as the method's own gap of 8 puts that.
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    auto* label = Named(new QLabel(QStringLiteral("&Recovery pieces:"), page), "lblRecoveryPieces");
    AddDesign(row, label, QSize(97, 21));
    m_ui->recoveryPiecesBox = Named(new QSpinBox(page), "recoveryPiecesBox");
    m_ui->recoveryPiecesBox->setRange(0, 0);
    m_ui->recoveryPiecesBox->setToolTip(
        QStringLiteral("Recovery files to write after the pieces: each can rebuild any one lost "
                       "or damaged piece"));
    label->setBuddy(m_ui->recoveryPiecesBox);
    AddDesign(row, m_ui->recoveryPiecesBox, QSize(64, 21), Qt::Vertical);
    row->addStretch(1);
    grid->addLayout(row, 6, kFieldColumn, 1, kLastColumn - kFieldColumn + 1);
}

void MainWindow::BuildSplitTab() {
    QWidget* page = m_ui->splitTab;
    QGridLayout* grid = TabGrid(page);
    std::tie(m_ui->sourceFileEdit, m_ui->browseSourceButton) =
        AddPathRow(grid, 0, "File name:", "txtFileToSplit",
                   "Type or press '...' button to select file you wish to split", "cmdBrowseFile");
    RowGap(grid, 1, 6);
    std::tie(m_ui->splitFolderEdit, m_ui->browseSplitFolderButton) = AddPathRow(
        grid, 2, "Split to:", "txtSplitTo",
        "Press '...' button to select destination folder for split files", "cmdBrowseFolderSplit");
    RowGap(grid, 3, 6);

    // The method, and beside it either the size with its unit or the count with its note: the
    // two groups share one place.
    AddCaption(grid, 4, "Split by:");
    auto* method = new QGridLayout;
    method->setSpacing(0);
    method->setColumnMinimumWidth(1, 8);
    method->setColumnMinimumWidth(3, 6);
    method->setColumnStretch(5, 1);
    grid->addLayout(method, 4, kFieldColumn, 1, kLastColumn - kFieldColumn + 1);

    m_ui->splitMethodBox = Named(new QComboBox(page), "cmbSplitMethod");
    m_ui->splitMethodBox->addItems({QStringLiteral("Size"), QStringLiteral("No. Files")});
    m_ui->splitMethodBox->setCurrentIndex(-1);
    AddDesign(method, m_ui->splitMethodBox, QSize(97, 21), 0, 0, 1, 1, Qt::Vertical);

    m_ui->splitSizeBox = KeepsPlace(Named(new QComboBox(page), "cmbSplitSize"));
    m_ui->splitSizeBox->setEditable(true);
    m_ui->splitSizeBox->setInsertPolicy(QComboBox::NoInsert);
    m_ui->splitSizeBox->setCompleter(nullptr);
    // "4294967296", the largest size in kilobytes, or a size with its unit ("4096GiB").
    m_ui->splitSizeBox->lineEdit()->setMaxLength(10);
    m_ui->splitSizeBox->setToolTip(
        QStringLiteral("Select or enter split size in kilobytes, or with a unit (700M, 2G, 25MB)"));
    m_ui->splitSizeBox->setVisible(false);
    AddDesign(method, m_ui->splitSizeBox, QSize(89, 21), 0, 2, 1, 1, Qt::Vertical);
    m_ui->splitSizeUnitLabel =
        KeepsPlace(Named(new QLabel(QStringLiteral("kilobytes"), page), "lblSplitSize"));
    m_ui->splitSizeUnitLabel->setVisible(false);
    AddDesign(method, m_ui->splitSizeUnitLabel, QSize(80, 21), 0, 4);

    m_ui->pieceCountEdit =
        KeepsPlace(Named(new QLineEdit(QStringLiteral("1"), page), "txtNoFiles"));
    m_ui->pieceCountEdit->setMaxLength(5);
    m_ui->pieceCountEdit->setVisible(false);
    m_ui->pieceCountButtons = KeepsPlace(
        Named(new UpDownButtons(m_ui->pieceCountEdit, 1, kMaxSplitCount, page), "udNoFiles"));
    m_ui->pieceCountButtons->setCursor(Qt::PointingHandCursor);
    m_ui->pieceCountButtons->setVisible(false);
    auto* count = new QHBoxLayout;
    count->setSpacing(0);
    AddDesign(count, m_ui->pieceCountEdit, QSize(72, 21), Qt::Vertical);
    AddDesign(count, m_ui->pieceCountButtons, QSize(17, 21), Qt::Vertical);
    count->addStretch(1);
    method->addLayout(count, 0, 2);
    m_ui->pieceCountNoteLabel =
        KeepsPlace(Named(new QLabel(QStringLiteral("files (+ 3)"), page), "lblNoFiles"));
    m_ui->pieceCountNoteLabel->setVisible(false);
    AddDesign(method, m_ui->pieceCountNoteLabel, QSize(80, 21), 0, 4);

    for (QComboBox* box : {m_ui->splitMethodBox, m_ui->splitSizeBox})
        box->setCursor(Qt::PointingHandCursor);
    m_ui->splitSizeBox->lineEdit()->setCursor(Qt::IBeamCursor);

    BuildRecoveryRow(page, grid);
    BuildSplitSummary(page, grid);
    grid->setRowStretch(11, 1);
}

void MainWindow::BuildRestoreTab() {
    QWidget* page = m_ui->restoreTab;
    QGridLayout* grid = TabGrid(page);
    std::tie(m_ui->descriptorEdit, m_ui->browseDescriptorButton) = AddPathRow(
        grid, 0, "File name:", "txtSplitFile",
        "Type or press '...' button to select SPLIT file you wish to restore", "cmdBrowseFile2");
    RowGap(grid, 1, 6);
    std::tie(m_ui->restoreFolderEdit, m_ui->browseRestoreFolderButton) =
        AddPathRow(grid, 2, "Restore to:", "txtRestoreTo",
                   "Press '...' button to select destination folder for restored file",
                   "cmdBrowseFolderRestore");

    RowGap(grid, 3, 8);
    m_ui->deletePiecesBox =
        Named(new QCheckBox(QStringLiteral("Delete pieces after successful restore"), page),
              "chkDeletePieces");
    AddDesign(grid, m_ui->deletePiecesBox, QSize(300, 19), 4, kFieldColumn, 1,
              kLastColumn - kFieldColumn + 1);
    RowGap(grid, 5, 4);
    m_ui->restoreTimeBox =
        Named(new QCheckBox(QStringLiteral("Restore original file time"), page), "chkRestoreTime");
    m_ui->verifyButton = Named(new QPushButton(QStringLiteral("&Verify"), page), "cmdVerify");
    m_ui->verifyButton->setToolTip(QStringLiteral("Check that every piece is there and undamaged"));
    // The time box and, at the tab's right edge, the Verify button, on one line.
    auto* timeRow = new QHBoxLayout;
    timeRow->setSpacing(6);
    AddDesign(timeRow, m_ui->restoreTimeBox, QSize(259, 19));
    timeRow->addStretch(1);
    AddDesign(timeRow, m_ui->verifyButton, QSize(75, 25));
    grid->addLayout(timeRow, 6, kFieldColumn, 1, kLastColumn - kFieldColumn + 1);
    grid->setRowStretch(7, 1);

    // The destinations are chosen with their "..." buttons only: read-only, greyed like the
    // window's face, skipped by Tab.
    for (QLineEdit* field : {m_ui->splitFolderEdit, m_ui->restoreFolderEdit}) {
        MakeDisplayOnly(field);
        field->setFocusPolicy(Qt::ClickFocus);
    }
}

void MainWindow::BuildStatusLine(QWidget* client) {
    // Left of the action buttons, under the m_ui->tabs, taking the room they leave; it shortens its
    // own text, so it never widens the window. Its button comes last in the tab order.
    m_ui->statusLine = Named(new StatusLine(m_gui, client), "StatusLine");
    m_ui->statusLine->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void MainWindow::BuildMenus() {
    const QIcon configIcon{QPixmap(ConfigIcon_xpm)};
    const QIcon helpIcon{QPixmap(HelpIcon_xpm)};

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    m_ui->configurationAction =
        Named(file->addAction(configIcon, QStringLiteral("&Configuration...")), "miConfig");
    file->addSeparator();
    m_ui->exitAction = Named(file->addAction(QStringLiteral("E&xit")), "miExit");

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    m_ui->helpAction =
        Named(help->addAction(helpIcon, QStringLiteral("&Contents and Index")), "miHelp");
    m_ui->helpAction->setShortcut(QKeySequence(Qt::Key_F1));
    m_ui->helpAction->setShortcutContext(Qt::WindowShortcut);
    help->addSeparator();
    m_ui->checkUpdatesAction =
        Named(help->addAction(QStringLiteral("Check for &Updates...")), "miChk4Updt");
    m_ui->donateAction = Named(help->addAction(QStringLiteral("&Make a Donation")), "miDonate");
    m_ui->homePageAction =
        Named(help->addAction(QStringLiteral("&Kestrava Home Page")), "miHomePage");
    help->addSeparator();
    m_ui->aboutAction = Named(help->addAction(QStringLiteral("&About")), "miAbout");
}

void MainWindow::ConnectHandlers() {
    // Every handler runs inside RunHandler.
    const auto on = [this](auto* control, auto signal, void (MainWindow::*handler)()) {
        connect(control, signal, this, HandlerSlot(m_gui, this, handler));
    };
    on(m_ui->tabs, &QTabWidget::currentChanged, &MainWindow::OnTabChanged);
    on(m_ui->actionButton, &QPushButton::clicked, &MainWindow::OnAction);
    on(m_ui->verifyButton, &QPushButton::clicked, &MainWindow::OnVerify);
    on(m_ui->closeButton, &QPushButton::clicked, &MainWindow::OnExit);
    on(m_ui->sourceFileEdit, &QLineEdit::textChanged, &MainWindow::OnSourceFileChanged);
    on(m_ui->browseSourceButton, &QPushButton::clicked, &MainWindow::OnBrowseFile);
    on(m_ui->browseDescriptorButton, &QPushButton::clicked, &MainWindow::OnBrowseFile);
    on(m_ui->browseSplitFolderButton, &QPushButton::clicked, &MainWindow::OnBrowseSplitFolder);
    on(m_ui->browseRestoreFolderButton, &QPushButton::clicked, &MainWindow::OnBrowseRestoreFolder);
    on(m_ui->splitMethodBox, &QComboBox::currentIndexChanged, &MainWindow::OnSplitMethodChanged);
    on(m_ui->splitSizeBox, &QComboBox::editTextChanged, &MainWindow::OnSplitSizeChanged);
    on(m_ui->pieceCountEdit, &QLineEdit::textChanged, &MainWindow::OnPieceCountChanged);
    on(m_ui->recoveryPiecesBox, &QSpinBox::valueChanged, &MainWindow::OnRecoveryPiecesChanged);
    on(m_ui->descriptorEdit, &QLineEdit::textChanged, &MainWindow::OnDescriptorChanged);
    on(m_ui->configurationAction, &QAction::triggered, &MainWindow::OnConfiguration);
    on(m_ui->exitAction, &QAction::triggered, &MainWindow::OnExit);
    on(m_ui->helpAction, &QAction::triggered, &MainWindow::OnHelp);
    on(m_ui->checkUpdatesAction, &QAction::triggered, &MainWindow::OnCheckUpdates);
    on(m_ui->donateAction, &QAction::triggered, &MainWindow::OnDonate);
    on(m_ui->homePageAction, &QAction::triggered, &MainWindow::OnHomePage);
    on(m_ui->aboutAction, &QAction::triggered, &MainWindow::OnAbout);

    for (QObject* field : {static_cast<QObject*>(m_ui->splitSizeBox),
                           static_cast<QObject*>(m_ui->splitSizeBox->lineEdit()),
                           static_cast<QObject*>(m_ui->pieceCountEdit)})
        field->installEventFilter(this);
}

// ---------------------------------------------------------------------------------------------
// Creation and closing

void MainWindow::OnCreate(const std::vector<std::string>& arguments) {
    std::vector<std::string> sizes;
    try {
        LoadStartupSettings(m_registry, m_settings, sizes);
    } catch (const SettingsError&) {
        // What was read before the failing value stays in effect; the rest of the creation is
        // skipped.
        SetSplitSizes(sizes);
        ShowSettingsNotices();
        throw;
    }
    SetSplitSizes(sizes);
    ShowSettingsNotices();

    if (!arguments.empty()) {
        // "--split FILE" and "--restore FILE" (the file managers' entries) choose the tab;
        // a file alone goes to the tab of its kind.
        const bool split = arguments.front() == "--split";
        const bool chosen = arguments.size() > 1 && (split || arguments.front() == "--restore");
        const std::string file = AbsolutePath(arguments[chosen ? 1 : 0]);
        OpenFile(chosen ? (split ? Operation::Split : Operation::Restore) : OperationFor(file),
                 file);
    }

    m_helpFilePath =
        WithTrailingDelimiter(FromQPath(QCoreApplication::applicationDirPath())) + "OLVO.chm";
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // An operation is cancelled first; the window closes once it has ended, as the engine then
    // leaves only what its contract allows.
    if (Busy()) {
        m_closeWhenDone = true;
        m_runner->Cancel();
        event->ignore();
        return;
    }
    setAttribute(Qt::WA_DeleteOnClose);
    event->accept();
}

std::vector<std::string> MainWindow::SplitSizes() const {
    std::vector<std::string> sizes;
    for (int i = 0; i < m_ui->splitSizeBox->count(); ++i)
        sizes.push_back(FromQ(m_ui->splitSizeBox->itemText(i)));
    return sizes;
}

void MainWindow::SetSplitSizes(const std::vector<std::string>& sizes) {
    {
        const QSignalBlocker blocker(m_ui->splitSizeBox);
        m_ui->splitSizeBox->clear();
        for (const std::string& size : sizes) m_ui->splitSizeBox->addItem(ToQ(size));
        if (!sizes.empty()) m_ui->splitSizeBox->setCurrentIndex(0);
        // The first size is never validated by its change handler here; a wrong one would
        // otherwise fail the summary and the action until the user picked another.
        const std::string shown = FromQ(m_ui->splitSizeBox->currentText());
        const std::string corrected = CorrectedSize(shown);
        if (corrected != shown) m_ui->splitSizeBox->setEditText(ToQ(corrected));
    }
    if (m_ui->splitMethodBox->currentIndex() == 0) UpdateLabels();
}

// ---------------------------------------------------------------------------------------------
// Split options and summary

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QMainWindow::eventFilter(watched, event);
    const auto* press = static_cast<QKeyEvent*>(event);
    if (watched == m_ui->pieceCountEdit &&
        (press->key() == Qt::Key_Up || press->key() == Qt::Key_Down)) {
        RunHandler(m_gui,
                   [&] { m_ui->pieceCountButtons->Step(press->key() == Qt::Key_Up ? +1 : -1); });
        return true;
    }
    return KeyDiscarded(*press, watched == m_ui->pieceCountEdit ? FilterNumberKey : FilterSizeKey);
}

void MainWindow::OnSplitMethodChanged() {
    const int method = m_ui->splitMethodBox->currentIndex();
    m_ui->pieceCountEdit->setVisible(method == 1);
    m_ui->pieceCountButtons->setVisible(method == 1);
    m_ui->pieceCountNoteLabel->setVisible(method == 1);
    m_ui->splitSizeBox->setVisible(method == 0);
    m_ui->splitSizeUnitLabel->setVisible(method == 0);
    UpdateLabels();
}

void MainWindow::OnSplitSizeChanged() {
    const std::string text = FromQ(m_ui->splitSizeBox->currentText());
    if (!text.empty() && IsSplitSize(SizeBoxBytes(text))) {
        UpdateLabels();
        return;
    }
    m_gui.MessageBox("Error", SplitSizeRangeMessage(CurrentThousandsSeparator()), BoxIcon::Error,
                     BoxButtons::Ok);
    m_ui->splitSizeBox->setEditText(ToQ(CorrectedSize(text)));
    UpdateLabels();
}

void MainWindow::OnPieceCountChanged() {
    const std::string text = Text(m_ui->pieceCountEdit);
    int value = 0;
    if (InRange(text, IsSplitCount, value)) {
        m_ui->pieceCountButtons->SetPosition(value);
        UpdateLabels();
        return;
    }
    m_gui.MessageBox("Error", SplitCountRangeMessage(CurrentThousandsSeparator()), BoxIcon::Error,
                     BoxButtons::Ok);
    SetText(m_ui->pieceCountEdit, CorrectedNumber(text, kMaxSplitCount));
    UpdateLabels();
}

void MainWindow::OnSourceFileChanged() {
    // One directory search per keystroke serves the whole chain below.
    const std::string name = Text(m_ui->sourceFileEdit);
    const auto entry = m_files.Find(name);
    if (entry && !entry->isFolder) {
        AddSplitFile(name, entry);
        return;
    }
    UpdateRecoveryRange(std::nullopt);
    m_ui->fileSizeLabel->setText(QStringLiteral("-"));
    m_ui->splitDetailsLabel->clear();
}

unsigned MainWindow::ExtraFileCount() const {
    // The descriptor and the batch file, the .sha256 unless the settings leave it out, and with
    // recovery pieces the index NAME.EXT.par2 and one vol file each.
    const auto recovery = static_cast<unsigned>(m_ui->recoveryPiecesBox->value());
    return (m_settings.WriteHashes ? 3 : 2) + (recovery > 0 ? recovery + 1 : 0);
}

std::uint64_t MainWindow::PiecesShown(const std::optional<FileEntry>& entry) const {
    if (!entry || entry->isFolder) return 0;
    const auto number = [](const std::string& text) -> std::int64_t {
        const auto value = ParseSignedNumber(
            text, NumberRules{.bits = 32, .skipLeadingSpaces = true, .decimalOnly = true});
        return value ? static_cast<std::int32_t>(static_cast<std::uint32_t>(*value)) : 0;
    };
    switch (m_ui->splitMethodBox->currentIndex()) {
        case 0: {
            const std::optional<std::uint64_t> bytes =
                ParseSize(FromQ(m_ui->splitSizeBox->currentText()));
            return bytes && IsSplitSize(*bytes) ? PieceCountFor(entry->size, *bytes) : 0;
        }
        case 1: {
            const std::int64_t count = number(Text(m_ui->pieceCountEdit));
            if (!IsSplitCount(count)) return 0;
            const auto pieceSize = PieceSizeForCount(entry->size, std::uint64_t(count));
            // An empty file has no piece size, and nothing to split.
            return pieceSize && *pieceSize > 0 ? PieceCountFor(entry->size, *pieceSize) : 0;
        }
        default:
            return 0;
    }
}

void MainWindow::UpdateRecoveryRange(const std::optional<FileEntry>& entry) {
    // The box never offers more than the pieces; the choice the settings keep comes back as
    // soon as there are pieces enough for it.
    const auto pieces =
        static_cast<int>(std::min<std::uint64_t>(PiecesShown(entry), kMaxSplitCount));
    const QSignalBlocker blocker(m_ui->recoveryPiecesBox);
    m_ui->recoveryPiecesBox->setMaximum(pieces);
    m_ui->recoveryPiecesBox->setValue(
        std::min(pieces, static_cast<int>(m_settings.RecoveryPieces)));
}

void MainWindow::OnRecoveryPiecesChanged() {
    const auto count = static_cast<std::uint32_t>(m_ui->recoveryPiecesBox->value());
    m_settings.RecoveryPieces = count;
    UpdateLabels();
    ChangeConfigValues(m_registry, [count](Settings& values) { values.RecoveryPieces = count; });
    ShowSettingsNotices();
}

void MainWindow::UpdateLabels() {
    UpdateLabels(m_files.Find(Text(m_ui->sourceFileEdit)));
}

void MainWindow::UpdateLabels(const std::optional<FileEntry>& entry) {
    UpdateRecoveryRange(entry);
    m_ui->pieceCountNoteLabel->setText(QStringLiteral("files (+ %1)").arg(ExtraFileCount()));
    if (!entry || entry->isFolder) {
        m_ui->fileSizeLabel->setText(QStringLiteral("-"));
        m_ui->splitDetailsLabel->clear();
        return;
    }
    const std::uint64_t fileSize = entry->size;
    m_ui->fileSizeLabel->setText(ToQ(FormatKB(fileSize)));
    switch (m_ui->splitMethodBox->currentIndex()) {
        case 0: {
            const std::uint64_t pieceSize = PieceSizeBytes(m_ui->splitSizeBox);
            if (pieceSize > kMaxPieceSize) return ReportError(m_gui, "Integer overflow");
            m_ui->splitDetailsLabel->setText(
                ToQ("Split files created:  " +
                    FormatPieceCount(fileSize, pieceSize, ExtraFileCount())));
            break;
        }
        case 1: {
            const std::optional<int> count = PieceCount(m_ui->pieceCountEdit);
            if (!count) return ReportError(m_gui, kNoPieceCount);
            m_ui->splitDetailsLabel->setText(
                ToQ("Split file size:  " + FormatKB(fileSize / static_cast<unsigned>(*count))));
            break;
        }
        default:
            break;
    }
}

// ---------------------------------------------------------------------------------------------
// Actions and file selection

std::optional<std::uint64_t> MainWindow::PieceSizeForSplit(std::string& failure) {
    switch (m_ui->splitMethodBox->currentIndex()) {
        case 0: {
            const std::uint64_t bytes = PieceSizeBytes(m_ui->splitSizeBox);
            if (bytes <= kMaxPieceSize) return bytes;
            ReportError(m_gui, "Range check error");
            return std::nullopt;
        }
        case 1: {
            const std::optional<int> count = PieceCount(m_ui->pieceCountEdit);
            if (!count) {
                ReportError(m_gui, kNoPieceCount);
                return std::nullopt;
            }
            const std::uint64_t fileSize = SourceFileSize(m_files, Text(m_ui->sourceFileEdit));
            const auto pieceSize = PieceSizeForCount(fileSize, static_cast<std::uint64_t>(*count));
            if (!pieceSize) failure = kPieceSizeTooLarge;
            return pieceSize;
        }
        default:
            failure = "Required details are missing!";
            return std::nullopt;
    }
}

bool MainWindow::Busy() const {
    return m_runner->Busy();
}

void MainWindow::EnableInputs(bool enabled) {
    m_ui->tabs->setEnabled(enabled);
    m_ui->actionButton->setEnabled(enabled);
    m_ui->closeButton->setEnabled(enabled);
    menuBar()->setEnabled(enabled);
    // Its Repair button starts an operation too.
    if (m_ui->verifyWindow) m_ui->verifyWindow->setEnabled(enabled);
    for (QAction* item :
         {m_ui->configurationAction, m_ui->exitAction, m_ui->helpAction, m_ui->checkUpdatesAction,
          m_ui->donateAction, m_ui->homePageAction, m_ui->aboutAction})
        item->setEnabled(enabled);
}

MainWindow::Operation MainWindow::CurrentOperation() const {
    return m_ui->tabs->currentWidget() == m_ui->restoreTab ? Operation::Restore : Operation::Split;
}

void MainWindow::OnAction() {
    if (CurrentOperation() == Operation::Split)
        StartSplit();
    else
        StartRestore();
}

void MainWindow::StartSplit() {
    m_ui->statusLine->Clear();
    auto outcome = std::make_shared<Outcome>();
    outcome->split = true;
    const std::optional<std::uint64_t> pieceSize = PieceSizeForSplit(outcome->failure);
    if (!pieceSize) {
        // A size the window cannot work with was reported already, and ends the action.
        if (!outcome->failure.empty()) ReportOutcome(*outcome);
        return;
    }
    const std::string source = Text(m_ui->sourceFileEdit);
    const std::string folder = Text(m_ui->splitFolderEdit);
    const std::uint64_t fileSize = SourceFileSize(m_files, source);
    const std::uint64_t pieces = *pieceSize == 0 ? 0 : PieceCountFor(fileSize, *pieceSize);
    const auto recovery = static_cast<std::uint32_t>(std::min<std::uint64_t>(
        pieces, static_cast<std::uint64_t>(m_ui->recoveryPiecesBox->value())));
    const SplitOptions options{.writeHashes = m_settings.WriteHashes, .recoveryCount = recovery};
    outcome->folder = WithoutTrailingDelimiter(folder);
    outcome->done = "Split into " + std::to_string(pieces) + " pieces" +
                    (recovery == 0 ? std::string()
                                   : " and " + std::to_string(recovery) +
                                         (recovery == 1 ? " recovery piece" : " recovery pieces")) +
                    " in " + outcome->folder;
    m_progress.SetSubject("Splitting " + FileNamePart(source, Extension::Keep));
    const auto started = std::chrono::steady_clock::now();
    m_runner->Start(
        m_files,
        [=](EngineContext& context) {
            OperationResult result = SplitFile(context, source, folder, *pieceSize, options);
            outcome->succeeded = result.ok;
            outcome->failure = std::move(result.message);
            outcome->warnings = std::move(result.warnings);
        },
        [this, outcome, started](std::exception_ptr error) {
            RunHandler(m_gui, [&] {
                if (error) std::rethrow_exception(error);
                outcome->ran = true;
                outcome->duration = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - started);
                ReportOutcome(*outcome);
            });
        });
}

void MainWindow::StartRestore() {
    m_ui->statusLine->Clear();
    auto outcome = std::make_shared<Outcome>();
    const std::string descriptor = Text(m_ui->descriptorEdit);
    const std::string folder = Text(m_ui->restoreFolderEdit);
    const std::string restored = RestoredName(descriptor);
    const bool splitFileExisted = m_files.FileExists(Text(m_ui->sourceFileEdit));
    const RestoreOptions options{.deletePieces = m_ui->deletePiecesBox->isChecked(),
                                 .restoreTime = m_ui->restoreTimeBox->isChecked()};
    outcome->folder = WithoutTrailingDelimiter(folder);
    outcome->done = "Restored " + restored + " in " + outcome->folder;
    m_progress.SetSubject("Restoring " + restored);
    // A restore stopped by a bad or missing piece is followed by a verify, so that the window
    // can show which pieces are whole.
    auto report = std::make_shared<VerifyReport>();
    report->setName = FileNamePart(descriptor, Extension::Keep);
    report->descriptorPath = descriptor;
    const auto started = std::chrono::steady_clock::now();
    m_runner->Start(
        m_files,
        [=](EngineContext& context) {
            OperationResult result = RestoreFile(context, descriptor, folder, options);
            outcome->succeeded = result.ok;
            outcome->failure = std::move(result.message);
            outcome->warnings = std::move(result.warnings);
            if (outcome->succeeded || context.progress.CancelRequested()) return;
            FillReport(*report, VerifySet(context, descriptor));
        },
        [=, this](std::exception_ptr error) {
            RunHandler(m_gui, [&] {
                if (error) std::rethrow_exception(error);
                outcome->ran = true;
                outcome->duration = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - started);
                if (outcome->succeeded && options.deletePieces) {
                    // The set is gone: a field that still named one of its files would only
                    // lead to "Not a valid .split file!" on the next press.
                    SetText(m_ui->descriptorEdit, "");
                    if (splitFileExisted && !m_files.FileExists(Text(m_ui->sourceFileEdit)))
                        SetText(m_ui->sourceFileEdit, "");
                }
                ReportOutcome(*outcome);
                const bool damaged =
                    std::any_of(report->states.begin(), report->states.end(),
                                [](PieceState state) { return state != PieceState::Whole; });
                if (!outcome->succeeded && damaged) {
                    report->failure = outcome->failure;
                    ShowVerifyReport(*report);
                }
            });
        });
}

void MainWindow::ReportOutcome(const Outcome& outcome) {
    if (m_closeWhenDone) {
        close();
        return;
    }
    // The engine's warnings (a weak check, a piece not deleted) follow what was done.
    if (outcome.succeeded) {
        std::string line = outcome.done;
        if (!outcome.warnings.empty()) line = "Warning: " + outcome.warnings.front() + ". " + line;
        m_ui->statusLine->ShowDone(line, outcome.folder);
    }
    // A long operation may have been left to itself: when it ends behind another program's
    // window, the desktop tells.
    if (outcome.ran && outcome.duration >= m_notifyAfter && !m_gui.ProgramInFront()) {
        const std::string what = outcome.split ? "Split" : "Restore";
        std::string body = outcome.succeeded ? outcome.done : outcome.failure;
        std::replace(body.begin(), body.end(), '\r', '\n');
        m_gui.Notify(what + (outcome.succeeded ? " finished" : " failed"), body);
    }
    if (outcome.succeeded)
        m_gui.PlaySystemSound("SystemAsterisk");
    else
        m_gui.MessageBox("Error", outcome.failure, BoxIcon::Error, BoxButtons::Ok);
    // What succeeded with a flaw (a piece that could not be deleted) is told after it.
    if (outcome.succeeded && !outcome.warnings.empty()) {
        std::string text;
        for (const auto& warning : outcome.warnings) text += (text.empty() ? "" : "\r") + warning;
        m_gui.MessageBox("Warning", text, BoxIcon::Information, BoxButtons::Ok);
    }
}

void MainWindow::OnVerify() {
    m_ui->statusLine->Clear();
    const std::string descriptor = Text(m_ui->descriptorEdit);
    auto report = std::make_shared<VerifyReport>();
    report->setName = FileNamePart(descriptor, Extension::Keep);
    report->descriptorPath = descriptor;
    m_progress.SetSubject("Verifying " + report->setName);
    m_runner->Start(
        m_files,
        [=](EngineContext& context) { FillReport(*report, VerifySet(context, descriptor)); },
        [this, report](std::exception_ptr error) {
            RunHandler(m_gui, [&] {
                if (error) std::rethrow_exception(error);
                if (m_closeWhenDone) {
                    close();
                    return;
                }
                ShowVerifyReport(*report);
            });
        });
}

void MainWindow::OnRepair(const VerifyReport& before) {
    m_ui->statusLine->Clear();
    const std::string descriptor = before.descriptorPath;
    auto report = std::make_shared<VerifyReport>();
    report->setName = before.setName;
    report->descriptorPath = descriptor;
    auto repaired = std::make_shared<RepairResult>();
    m_progress.SetSubject("Repairing " + report->setName);
    m_runner->Start(
        m_files,
        [=](EngineContext& context) {
            *repaired = RepairSet(context, descriptor);
            // What the set is now, whatever the repair did; after a failure it wrote nothing.
            if (repaired->ok) FillReport(*report, VerifySet(context, descriptor));
        },
        [this, report, repaired](std::exception_ptr error) {
            RunHandler(m_gui, [&] {
                if (error) std::rethrow_exception(error);
                if (m_closeWhenDone) {
                    close();
                    return;
                }
                if (!repaired->ok) {
                    m_gui.MessageBox("Error", repaired->message, BoxIcon::Error, BoxButtons::Ok);
                    return;
                }
                MarkRepaired(*report, *repaired);
                report->warnings.insert(report->warnings.begin(), repaired->warnings.begin(),
                                        repaired->warnings.end());
                ShowVerifyReport(*report);
            });
        });
}

void MainWindow::ShowVerifyReport(const VerifyReport& report) {
    // A set that cannot be checked at all has no map: the reason is all there is to say.
    if (report.states.empty() && !report.whole) {
        m_gui.MessageBox("Verify", report.failure, BoxIcon::Error, BoxButtons::Ok);
        return;
    }
    if (!m_ui->verifyWindow) {
        m_ui->verifyWindow = new VerifyWindow(this);
        m_ui->verifyWindow->onRepair = [this](const VerifyReport& shown) {
            RunHandler(m_gui, [&] { OnRepair(shown); });
        };
    }
    m_ui->verifyWindow->ShowReport(report);
    std::string line = VerifySummary(report);
    for (const auto& warning : report.warnings) line += " " + warning;
    m_ui->statusLine->ShowDone(line, {});
}

void MainWindow::OpenFile(Operation operation, const std::string& fileName) {
    if (operation == Operation::Split) {
        AddSplitFile(fileName, m_files.Find(fileName));
        return;
    }
    m_ui->tabs->setCurrentWidget(m_ui->restoreTab);
    OnTabChanged();
    SetText(m_ui->descriptorEdit, fileName);
    const Settings& settings = m_settings;
    SetText(m_ui->restoreFolderEdit, settings.RestoreToFolder
                                         ? settings.RestoreFolderName
                                         : FolderOrRoot(Text(m_ui->descriptorEdit)));
}

void MainWindow::AddSplitFile(const std::string& fileName, const std::optional<FileEntry>& entry) {
    m_ui->tabs->setCurrentWidget(m_ui->splitTab);
    OnTabChanged();
    // The name as it is stored; a name that is not found stays as given.
    SetText(m_ui->sourceFileEdit, entry ? DirectoryPart(fileName) + entry->storedName : fileName);
    const Settings& settings = m_settings;
    SetText(m_ui->splitFolderEdit, settings.SplitToFolder
                                       ? settings.SplitFolderName
                                       : FolderOrRoot(Text(m_ui->sourceFileEdit)));
    UpdateLabels(entry);
}

void MainWindow::OnTabChanged() {
    const QString operation = m_ui->tabs->tabText(m_ui->tabs->currentIndex());
    m_ui->actionButton->setText(QLatin1Char('&') + operation);
    m_ui->actionButton->setAccessibleName(operation);
}

void MainWindow::OnDescriptorChanged() {
    const std::string name = Text(m_ui->descriptorEdit);
    if (HasDescriptorSuffix(name) && m_files.FileExists(name)) OpenFile(Operation::Restore, name);
}

void MainWindow::OnBrowseFile() {
    QWidget* tab = m_ui->tabs->currentWidget();
    const std::string filter = tab == m_ui->splitTab ? kSplitFilter : kRestoreFilter;
    const std::string title =
        "Select file to " + ToLowerAscii(FromQ(m_ui->tabs->tabText(m_ui->tabs->currentIndex())));
    if (const auto chosen = m_gui.OpenFileName(title, filter))
        OpenFile(tab == m_ui->splitTab ? Operation::Split : Operation::Restore, *chosen);
}

void MainWindow::OnBrowseSplitFolder() {
    const std::string folder = SelectFolder(m_gui, kSelectFolderTitle, Text(m_ui->splitFolderEdit));
    if (!folder.empty()) SetText(m_ui->splitFolderEdit, folder);
}

void MainWindow::OnBrowseRestoreFolder() {
    const std::string folder =
        SelectFolder(m_gui, kSelectFolderTitle, Text(m_ui->restoreFolderEdit));
    if (!folder.empty()) SetText(m_ui->restoreFolderEdit, folder);
}

void MainWindow::OnExit() {
    close();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && Busy()) {
        m_runner->Cancel();
        return;
    }
    // Enter presses the default button wherever the focus is, unless a button has the focus.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        m_ui->actionButton->isEnabled()) {
        m_ui->actionButton->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (Busy() || !event->mimeData()->hasUrls()) return;
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.constFirst().isLocalFile()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    if (Busy() || !event->mimeData()->hasUrls()) return;
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.constFirst().isLocalFile()) return;
    const std::string file = FromQPath(urls.constFirst().toLocalFile());
    event->acceptProposedAction();
    RunHandler(m_gui, [&] { OpenFile(OperationFor(file), file); });
}

// ---------------------------------------------------------------------------------------------
// Menu commands: each shows its window (or the help contents, or the browser) and returns when it
// has closed.

void MainWindow::OnConfiguration() {
    if (m_open.configuration) m_open.configuration();
    // The configuration window writes through the same store.
    ShowSettingsNotices();
}

void MainWindow::ShowSettingsNotices() {
    std::string text;
    for (const std::string& notice : m_registry.TakeNotices())
        text += (text.empty() ? "" : "\r") + notice;
    if (!text.empty()) m_gui.MessageBox("Settings", text, BoxIcon::Information, BoxButtons::Ok);
}

void MainWindow::OnHelp() {
    m_gui.ShowHelpContents(m_helpFilePath);
}

void MainWindow::OnCheckUpdates() {
    if (!m_open.updateCheck) return;
    // The window's own check sets the default cursor once it is done; this one covers the
    // showing before it, and the default again on the way out, however the window ended.
    const Hourglass hourglass(Hourglass::Ending::DefaultCursor);
    m_open.updateCheck(this);
}

void MainWindow::OnDonate() {
    m_gui.OpenUrl(std::string(DonationUrl));
}

void MainWindow::OnHomePage() {
    m_gui.OpenUrl(std::string(HomePageUrl));
}

void MainWindow::OnAbout() {
    if (m_open.about) m_open.about(this);
}

}  // namespace olvo
