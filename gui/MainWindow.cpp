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
#include "core/version/ProductUrls.h"
#include "platform/Clock.h"
#include "platform/Text.h"
#include "gui/Application.h"
#include "gui/FolderPicker.h"
#include "gui/GuiService.h"
#include "gui/Hourglass.h"
#include "gui/QtKeys.h"
#include "gui/QtText.h"
#include "gui/StatusLine.h"
#include "gui/UpDownButtons.h"
#include "gui/WindowParts.h"
#include "platform/Clock.h"

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
std::string CorrectedNumber(const std::string& text, int maximum) {
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

// The piece size the size box names, in bytes; raises when its text is not an integer.
long long PieceSizeBytes(const QComboBox* sizeBox) {
    return static_cast<long long>(ParseInteger(FromQ(sizeBox->currentText()))) * 1024;
}

// The number of pieces the count field names; raises when its text is not an integer, and below
// 1 as the division by it would.
int PieceCount(const QLineEdit* countField) {
    const int count = ParseInteger(Text(countField));
    if (count < 1) throw std::domain_error("Division by zero");
    return count;
}

bool InRange(const std::string& text, int maximum, int& value) {
    if (text.empty()) return false;
    value = ParseInteger(text);
    return value >= 1 && value <= maximum;
}

// Everything up to and including the last delimiter of a path: where the stored name goes.
std::string DirectoryPart(const std::string& path) {
#ifdef _WIN32
    const auto at = path.find_last_of("\\:");
#else
    const auto at = path.rfind(kPathDelimiter);
#endif
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

bool IsSplitDescriptorName(const std::string& path) {
    return ToLowerAscii(ExtensionPart(path)) == ".split";
}

// The name of the file a descriptor restores: its own name without ".split".
std::string RestoredName(const std::string& descriptor) {
    return FileNamePart(WithoutDescriptorSuffix(descriptor), Extension::Keep);
}

// A folder as the user reads it in a sentence: without a trailing delimiter, unless it is the
// root.
std::string WithoutTrailingDelimiter(std::string folder) {
    while (folder.size() > 1 && folder.back() == kPathDelimiter) folder.pop_back();
    return folder;
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

}  // namespace

MainWindow::MainWindow(const ProgramServices& services, const std::vector<std::string>& arguments,
                       Openers openers, QWidget* parent)
    : QMainWindow(parent),
      m_gui(services.gui),
      m_registry(services.registry),
      m_files(services.files),
      m_settings(services.settings),
      m_open(std::move(openers)),
      m_prompt(services.gui) {
    BuildWindow();
    ConnectHandlers();
    RunHandler(m_gui, [&] { OnCreate(arguments); });
}

MainWindow::~MainWindow() = default;

void MainWindow::ApplyConfiguration(const Settings& settings,
                                    const std::vector<std::string>& splitSizes) {
    const QSignalBlocker blocker(splitSizeBox);
    const QString shown = splitSizeBox->currentText();
    splitSizeBox->clear();
    for (const std::string& size : splitSizes) splitSizeBox->addItem(ToQ(size));
    splitSizeBox->setCurrentIndex(-1);
    splitSizeBox->setEditText(shown);
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

    // The client area: an etched line under the menu bar, the tabs, and the buttons at the
    // bottom right; 448 x 219 with the default font.
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

    tabs = Named(new QTabWidget(client), "pcMain");
    AddDesign(body, tabs, QSize(432, 170), Qt::Horizontal | Qt::Vertical);
    tabs->tabBar()->setCursor(Qt::PointingHandCursor);
    splitTab = Named(new QWidget, "tsSplit");
    restoreTab = Named(new QWidget, "tsRestore");
    tabs->addTab(splitTab, QStringLiteral("Split"));
    tabs->addTab(restoreTab, QStringLiteral("Restore"));
    BuildSplitTab();
    BuildRestoreTab();

    actionButton = Named(new QPushButton(QStringLiteral("&Split"), client), "cmdAction");
    actionButton->setDefault(true);
    closeButton = Named(new QPushButton(QStringLiteral("&Close"), client), "cmdClose");
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    BuildStatusLine(client);
    buttons->addWidget(statusLine, 1);
    // Both captions fit the wider of the two, whichever tab is active.
    const QSize buttonSize =
        QSize(75, 25).expandedTo(TextNeed(actionButton, {}).expandedTo(TextNeed(closeButton, {})));
    actionButton->setText(QStringLiteral("&Restore"));
    const QSize restoreSize = buttonSize.expandedTo(TextNeed(actionButton, {}));
    actionButton->setText(QStringLiteral("&Split"));
    AddDesign(buttons, actionButton, restoreSize);
    AddDesign(buttons, closeButton, restoreSize);
    body->addLayout(buttons);
    SetUpClickables(client);

    setTabOrder(tabs, sourceFileEdit);
    setTabOrder(sourceFileEdit, browseSourceButton);
    setTabOrder(browseSourceButton, browseSplitFolderButton);
    setTabOrder(browseSplitFolderButton, splitMethodBox);
    setTabOrder(splitMethodBox, splitSizeBox);
    setTabOrder(splitSizeBox, pieceCountEdit);
    setTabOrder(pieceCountEdit, descriptorEdit);
    setTabOrder(descriptorEdit, browseDescriptorButton);
    setTabOrder(browseDescriptorButton, browseRestoreFolderButton);
    setTabOrder(browseRestoreFolderButton, deletePiecesBox);
    setTabOrder(deletePiecesBox, restoreTimeBox);
    setTabOrder(restoreTimeBox, actionButton);
    setTabOrder(actionButton, closeButton);
    setTabOrder(closeButton, statusLine->openFolderButton);

    // The window takes the size of its client area with the menu bar above it; the user cannot
    // resize it.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    CentreOnScreen(this);
    sourceFileEdit->setFocus();
}

void MainWindow::BuildSplitTab() {
    QWidget* page = splitTab;
    QGridLayout* grid = TabGrid(page);
    std::tie(sourceFileEdit, browseSourceButton) =
        AddPathRow(grid, 0, "File name:", "txtFileToSplit",
                   "Type or press '...' button to select file you wish to split", "cmdBrowseFile");
    RowGap(grid, 1, 6);
    std::tie(splitFolderEdit, browseSplitFolderButton) = AddPathRow(
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

    splitMethodBox = Named(new QComboBox(page), "cmbSplitMethod");
    splitMethodBox->addItems({QStringLiteral("Size"), QStringLiteral("No. Files")});
    splitMethodBox->setCurrentIndex(-1);
    AddDesign(method, splitMethodBox, QSize(97, 21), 0, 0, 1, 1, Qt::Vertical);

    splitSizeBox = KeepsPlace(Named(new QComboBox(page), "cmbSplitSize"));
    splitSizeBox->setEditable(true);
    splitSizeBox->setInsertPolicy(QComboBox::NoInsert);
    splitSizeBox->setCompleter(nullptr);
    splitSizeBox->lineEdit()->setMaxLength(7);
    splitSizeBox->setToolTip(QStringLiteral("Select or enter split size in kilobytes"));
    splitSizeBox->setVisible(false);
    AddDesign(method, splitSizeBox, QSize(89, 21), 0, 2, 1, 1, Qt::Vertical);
    splitSizeUnitLabel =
        KeepsPlace(Named(new QLabel(QStringLiteral("kilobytes"), page), "lblSplitSize"));
    splitSizeUnitLabel->setVisible(false);
    AddDesign(method, splitSizeUnitLabel, QSize(80, 21), 0, 4);

    pieceCountEdit = KeepsPlace(Named(new QLineEdit(QStringLiteral("1"), page), "txtNoFiles"));
    pieceCountEdit->setMaxLength(5);
    pieceCountEdit->setVisible(false);
    pieceCountButtons =
        KeepsPlace(Named(new UpDownButtons(pieceCountEdit, 1, kMaxSplitCount, page), "udNoFiles"));
    pieceCountButtons->setCursor(Qt::PointingHandCursor);
    pieceCountButtons->setVisible(false);
    auto* count = new QHBoxLayout;
    count->setSpacing(0);
    AddDesign(count, pieceCountEdit, QSize(72, 21), Qt::Vertical);
    AddDesign(count, pieceCountButtons, QSize(17, 21), Qt::Vertical);
    count->addStretch(1);
    method->addLayout(count, 0, 2);
    pieceCountNoteLabel =
        KeepsPlace(Named(new QLabel(QStringLiteral("files (+ 2)"), page), "lblNoFiles"));
    pieceCountNoteLabel->setVisible(false);
    AddDesign(method, pieceCountNoteLabel, QSize(80, 21), 0, 4);

    for (QComboBox* box : {splitMethodBox, splitSizeBox}) box->setCursor(Qt::PointingHandCursor);
    splitSizeBox->lineEdit()->setCursor(Qt::IBeamCursor);

    // The summary at the foot of the tab, below an etched line.
    RowGap(grid, 5, 13);
    auto* line = new QHBoxLayout;
    line->setContentsMargins(4, 0, 0, 0);
    line->addWidget(EtchedLine(page));
    grid->addLayout(line, 6, 0, 1, kLastColumn + 1);
    RowGap(grid, 7, 8);
    AddCaption(grid, 8, "File size:", 17);
    auto* summary = new QHBoxLayout;
    summary->setSpacing(4);
    fileSizeLabel = Named(new QLabel(QStringLiteral("-"), page), "lblFileSize");
    // An em of room after the size, so that a large font does not run it into the details.
    fileSizeLabel->setContentsMargins(0, 0, fileSizeLabel->fontMetrics().horizontalAdvance(u'M'),
                                      0);
    AddDesign(summary, fileSizeLabel, QSize(110, 17));
    splitDetailsLabel = Named(new QLabel(page), "lblSplitDetails");
    AddDesign(summary, splitDetailsLabel, QSize(226, 17), Qt::Horizontal);
    grid->addLayout(summary, 8, kFieldColumn, 1, kLastColumn - kFieldColumn + 1);
    grid->setRowStretch(9, 1);
}

void MainWindow::BuildRestoreTab() {
    QWidget* page = restoreTab;
    QGridLayout* grid = TabGrid(page);
    std::tie(descriptorEdit, browseDescriptorButton) = AddPathRow(
        grid, 0, "File name:", "txtSplitFile",
        "Type or press '...' button to select SPLIT file you wish to restore", "cmdBrowseFile2");
    RowGap(grid, 1, 6);
    std::tie(restoreFolderEdit, browseRestoreFolderButton) =
        AddPathRow(grid, 2, "Restore to:", "txtRestoreTo",
                   "Press '...' button to select destination folder for restored file",
                   "cmdBrowseFolderRestore");

    RowGap(grid, 3, 8);
    deletePiecesBox =
        Named(new QCheckBox(QStringLiteral("Delete pieces after successful restore"), page),
              "chkDeletePieces");
    AddDesign(grid, deletePiecesBox, QSize(300, 19), 4, kFieldColumn, 1,
              kLastColumn - kFieldColumn + 1);
    RowGap(grid, 5, 4);
    restoreTimeBox =
        Named(new QCheckBox(QStringLiteral("Restore original file time"), page), "chkRestoreTime");
    verifyButton = Named(new QPushButton(QStringLiteral("&Verify"), page), "cmdVerify");
    verifyButton->setToolTip(QStringLiteral("Check that every piece is there and undamaged"));
    // The time box and, at the tab's right edge, the Verify button, on one line.
    auto* timeRow = new QHBoxLayout;
    timeRow->setSpacing(6);
    AddDesign(timeRow, restoreTimeBox, QSize(259, 19));
    timeRow->addStretch(1);
    AddDesign(timeRow, verifyButton, QSize(75, 25));
    grid->addLayout(timeRow, 6, kFieldColumn, 1, kLastColumn - kFieldColumn + 1);
    grid->setRowStretch(7, 1);

    // The destinations are chosen with their "..." buttons only: read-only, greyed like the
    // window's face, skipped by Tab.
    for (QLineEdit* field : {splitFolderEdit, restoreFolderEdit}) {
        MakeDisplayOnly(field);
        field->setFocusPolicy(Qt::ClickFocus);
    }
}

void MainWindow::BuildStatusLine(QWidget* client) {
    // Left of the action buttons, under the tabs, taking the room they leave; it shortens its
    // own text, so it never widens the window. Its button comes last in the tab order.
    statusLine = Named(new StatusLine(m_gui, client), "StatusLine");
    statusLine->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void MainWindow::BuildMenus() {
    const QIcon configIcon{QPixmap(ConfigIcon_xpm)};
    const QIcon helpIcon{QPixmap(HelpIcon_xpm)};

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    configurationAction =
        Named(file->addAction(configIcon, QStringLiteral("&Configuration...")), "miConfig");
    file->addSeparator();
    exitAction = Named(file->addAction(QStringLiteral("E&xit")), "miExit");

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    helpAction = Named(help->addAction(helpIcon, QStringLiteral("&Contents and Index")), "miHelp");
    helpAction->setShortcut(QKeySequence(Qt::Key_F1));
    helpAction->setShortcutContext(Qt::WindowShortcut);
    help->addSeparator();
    checkUpdatesAction =
        Named(help->addAction(QStringLiteral("Check for &Updates...")), "miChk4Updt");
    donateAction = Named(help->addAction(QStringLiteral("&Make a Donation")), "miDonate");
    homePageAction = Named(help->addAction(QStringLiteral("&Kestrava Home Page")), "miHomePage");
    help->addSeparator();
    aboutAction = Named(help->addAction(QStringLiteral("&About")), "miAbout");
}

void MainWindow::ConnectHandlers() {
    // Every handler runs inside RunHandler.
    const auto on = [this](auto* control, auto signal, void (MainWindow::*handler)()) {
        connect(control, signal, this, HandlerSlot(m_gui, this, handler));
    };
    on(tabs, &QTabWidget::currentChanged, &MainWindow::OnTabChanged);
    on(actionButton, &QPushButton::clicked, &MainWindow::OnAction);
    on(verifyButton, &QPushButton::clicked, &MainWindow::OnVerify);
    on(closeButton, &QPushButton::clicked, &MainWindow::OnExit);
    on(sourceFileEdit, &QLineEdit::textChanged, &MainWindow::OnSourceFileChanged);
    on(browseSourceButton, &QPushButton::clicked, &MainWindow::OnBrowseFile);
    on(browseDescriptorButton, &QPushButton::clicked, &MainWindow::OnBrowseFile);
    on(browseSplitFolderButton, &QPushButton::clicked, &MainWindow::OnBrowseSplitFolder);
    on(browseRestoreFolderButton, &QPushButton::clicked, &MainWindow::OnBrowseRestoreFolder);
    on(splitMethodBox, &QComboBox::currentIndexChanged, &MainWindow::OnSplitMethodChanged);
    on(splitSizeBox, &QComboBox::editTextChanged, &MainWindow::OnSplitSizeChanged);
    on(pieceCountEdit, &QLineEdit::textChanged, &MainWindow::OnPieceCountChanged);
    on(descriptorEdit, &QLineEdit::textChanged, &MainWindow::OnDescriptorChanged);
    on(configurationAction, &QAction::triggered, &MainWindow::OnConfiguration);
    on(exitAction, &QAction::triggered, &MainWindow::OnExit);
    on(helpAction, &QAction::triggered, &MainWindow::OnHelp);
    on(checkUpdatesAction, &QAction::triggered, &MainWindow::OnCheckUpdates);
    on(donateAction, &QAction::triggered, &MainWindow::OnDonate);
    on(homePageAction, &QAction::triggered, &MainWindow::OnHomePage);
    on(aboutAction, &QAction::triggered, &MainWindow::OnAbout);

    for (QObject* field :
         {static_cast<QObject*>(splitSizeBox), static_cast<QObject*>(splitSizeBox->lineEdit()),
          static_cast<QObject*>(pieceCountEdit)})
        field->installEventFilter(this);
}

// ---------------------------------------------------------------------------------------------
// Creation and closing

void MainWindow::OnCreate(const std::vector<std::string>& arguments) {
    std::vector<std::string> sizes;
    try {
        LoadStartupSettings(m_registry, m_settings, sizes);
    } catch (...) {
        // What was read before the failing value stays in effect; the rest of the creation is
        // skipped.
        SetSplitSizes(sizes);
        throw;
    }
    SetSplitSizes(sizes);

    if (!arguments.empty()) {
        // "--split FILE" and "--restore FILE" (the file managers' entries) choose the tab;
        // a file alone goes to the tab of its kind.
        const bool split = arguments.front() == "--split";
        const bool chosen = arguments.size() > 1 && (split || arguments.front() == "--restore");
        const std::string file = AbsolutePath(arguments[chosen ? 1 : 0]);
        QWidget* tab = chosen ? (split ? splitTab : restoreTab)
                              : (IsSplitDescriptorName(file) ? restoreTab : splitTab);
        AddFile(tab, file);
    }

    m_helpFilePath =
        WithTrailingDelimiter(FromQPath(QCoreApplication::applicationDirPath())) +
        "OLVO.chm";
}

void MainWindow::OnClose() {
    setAttribute(Qt::WA_DeleteOnClose);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The operation runs inside this window's handler; it ends before the window may go.
    if (m_busy) {
        event->ignore();
        return;
    }
    OnClose();
    event->accept();
}

std::vector<std::string> MainWindow::SplitSizes() const {
    std::vector<std::string> sizes;
    for (int i = 0; i < splitSizeBox->count(); ++i)
        sizes.push_back(FromQ(splitSizeBox->itemText(i)));
    return sizes;
}

void MainWindow::SetSplitSizes(const std::vector<std::string>& sizes) {
    {
        const QSignalBlocker blocker(splitSizeBox);
        splitSizeBox->clear();
        for (const std::string& size : sizes) splitSizeBox->addItem(ToQ(size));
        if (!sizes.empty()) splitSizeBox->setCurrentIndex(0);
        // The first size is never validated by its change handler here; a wrong one would
        // otherwise fail the summary and the action until the user picked another.
        const std::string shown = FromQ(splitSizeBox->currentText());
        const std::string corrected = CorrectedNumber(shown, kMaxSplitSizeKB);
        if (corrected != shown) splitSizeBox->setEditText(ToQ(corrected));
    }
    if (splitMethodBox->currentIndex() == 0) UpdateLabels();
}

// ---------------------------------------------------------------------------------------------
// Split options and summary

void MainWindow::FilterNumberKey(char& key) {
    if (key != '\b' && (key < '0' || key > '9')) key = 0;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QMainWindow::eventFilter(watched, event);
    const auto* press = static_cast<QKeyEvent*>(event);
    if (watched == pieceCountEdit && (press->key() == Qt::Key_Up || press->key() == Qt::Key_Down)) {
        RunHandler(m_gui, [&] { pieceCountButtons->Step(press->key() == Qt::Key_Up ? +1 : -1); });
        return true;
    }
    return KeyDiscarded(*press, [this](char& key) { FilterNumberKey(key); });
}

void MainWindow::OnSplitMethodChanged() {
    const int method = splitMethodBox->currentIndex();
    pieceCountEdit->setVisible(method == 1);
    pieceCountButtons->setVisible(method == 1);
    pieceCountNoteLabel->setVisible(method == 1);
    splitSizeBox->setVisible(method == 0);
    splitSizeUnitLabel->setVisible(method == 0);
    UpdateLabels();
}

void MainWindow::OnSplitSizeChanged() {
    const std::string text = FromQ(splitSizeBox->currentText());
    int value = 0;
    if (InRange(text, kMaxSplitSizeKB, value)) {
        UpdateLabels();
        return;
    }
    m_gui.MessageBox("Error",
                     "Split size must be between 1 and " +
                         GroupThousands(kMaxSplitSizeKB, CurrentThousandsSeparator()) + "KB!",
                     BoxIcon::Error, BoxButtons::Ok);
    splitSizeBox->setEditText(ToQ(CorrectedNumber(text, kMaxSplitSizeKB)));
    UpdateLabels();
}

void MainWindow::OnPieceCountChanged() {
    const std::string text = Text(pieceCountEdit);
    int value = 0;
    if (InRange(text, kMaxSplitCount, value)) {
        pieceCountButtons->SetPosition(value);
        UpdateLabels();
        return;
    }
    m_gui.MessageBox("Error", "No. of split files must be between 1 and 32,767", BoxIcon::Error,
                     BoxButtons::Ok);
    SetText(pieceCountEdit, CorrectedNumber(text, kMaxSplitCount));
    UpdateLabels();
}

void MainWindow::OnSourceFileChanged() {
    // One directory search per keystroke serves the whole chain below.
    const std::string name = Text(sourceFileEdit);
    const auto entry = m_files.Find(name);
    if (entry && !entry->isFolder) {
        AddSplitFile(name, entry);
        return;
    }
    fileSizeLabel->setText(QStringLiteral("-"));
    splitDetailsLabel->clear();
}

void MainWindow::UpdateLabels() {
    UpdateLabels(m_files.Find(Text(sourceFileEdit)));
}

void MainWindow::UpdateLabels(const std::optional<FileEntry>& entry) {
    if (!entry || entry->isFolder) {
        fileSizeLabel->setText(QStringLiteral("-"));
        splitDetailsLabel->clear();
        return;
    }
    const std::uint64_t fileSize = entry->size;
    fileSizeLabel->setText(ToQ(FormatKB(fileSize)));
    switch (splitMethodBox->currentIndex()) {
        case 0: {
            const long long pieceSize = PieceSizeBytes(splitSizeBox);
            if (pieceSize < 0 || pieceSize > std::numeric_limits<std::int32_t>::max())
                throw std::overflow_error("Integer overflow");
            splitDetailsLabel->setText(
                ToQ("Split files created:  " +
                    FormatPieceCount(fileSize, static_cast<std::uint32_t>(pieceSize))));
            break;
        }
        case 1: {
            const int count = PieceCount(pieceCountEdit);
            splitDetailsLabel->setText(
                ToQ("Split file size:  " + FormatKB(fileSize / static_cast<unsigned>(count))));
            break;
        }
        default:
            break;
    }
}

// ---------------------------------------------------------------------------------------------
// Actions and file selection

std::optional<std::uint32_t> MainWindow::PieceSizeForSplit(std::string& failure) {
    switch (splitMethodBox->currentIndex()) {
        case 0: {
            const long long bytes = PieceSizeBytes(splitSizeBox);
            if (bytes < 0 || bytes > std::numeric_limits<std::uint32_t>::max())
                throw std::range_error("Range check error");
            return static_cast<std::uint32_t>(bytes);
        }
        case 1: {
            const std::uint64_t fileSize = SourceFileSize(m_files, Text(sourceFileEdit));
            const auto pieceSize =
                PieceSizeForCount(fileSize, static_cast<std::uint64_t>(PieceCount(pieceCountEdit)));
            if (!pieceSize) failure = kPieceSizeTooLarge;
            return pieceSize;
        }
        default:
            failure = "Required details are missing!";
            return std::nullopt;
    }
}

void MainWindow::BeginBusy() {
    m_busy = true;
    EnableInputs(false);
}

void MainWindow::EndBusy() {
    m_busy = false;
    EnableInputs(true);
}

void MainWindow::EnableInputs(bool enabled) {
    tabs->setEnabled(enabled);
    actionButton->setEnabled(enabled);
    closeButton->setEnabled(enabled);
    menuBar()->setEnabled(enabled);
    for (QAction* item : {configurationAction, exitAction, helpAction, checkUpdatesAction,
                          donateAction, homePageAction, aboutAction})
        item->setEnabled(enabled);
}

void MainWindow::OnAction() {
    if (m_busy) return;
    statusLine->Clear();
    Hourglass hourglass(Hourglass::Ending::PreviousCursor);
    Outcome outcome;
    bool splitFileExisted = false;
    {
        std::optional<std::uint32_t> pieceSize;
        const bool split = actionButton->text() == QLatin1String("&Split");
        outcome.split = split;
        if (split) pieceSize = PieceSizeForSplit(outcome.failure);
        if (!split || pieceSize) {
            QWidget* focused = QApplication::focusWidget();
            BeginBusy();
            struct Idle {
                MainWindow* form;
                QWidget* focused;
                ~Idle() {
                    form->EndBusy();
                    if (focused) focused->setFocus();
                }
            } idle{this, focused};
            EngineContext context{m_files, m_progress, m_prompt,
                                  DateTimeFormat(CurrentDateTimeConventions())};
            const auto started = std::chrono::steady_clock::now();
            if (split) {
                const std::string source = Text(sourceFileEdit);
                const std::string folder = Text(splitFolderEdit);
                const std::uint64_t fileSize = SourceFileSize(m_files, source);
                const std::uint64_t pieces =
                    *pieceSize == 0 ? 0 : (fileSize + *pieceSize - 1) / *pieceSize;
                m_progress.SetSubject("Splitting " + FileNamePart(source, Extension::Keep));
                SplitOptions options;
                options.writeHashes = m_settings.WriteHashes;
                outcome.succeeded =
                    SplitFile(context, source, folder, outcome.failure, *pieceSize, options);
                outcome.folder = WithoutTrailingDelimiter(folder);
                outcome.done =
                    "Split into " + std::to_string(pieces) + " pieces in " + outcome.folder;
            } else {
                const std::string descriptor = Text(descriptorEdit);
                const std::string folder = Text(restoreFolderEdit);
                const std::string restored = RestoredName(descriptor);
                splitFileExisted = m_files.FileExists(Text(sourceFileEdit));
                m_progress.SetSubject("Restoring " + restored);
                outcome.succeeded =
                    RestoreFile(context, descriptor, folder, outcome.failure,
                                {.deletePieces = deletePiecesBox->isChecked(),
                                 .restoreTime = restoreTimeBox->isChecked()});
                outcome.folder = WithoutTrailingDelimiter(folder);
                outcome.done = "Restored " + restored + " in " + outcome.folder;
            }
            outcome.duration = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - started);
            outcome.ran = true;
            outcome.warnings = context.warnings;
        }
    }
    hourglass.Restore();
    if (outcome.succeeded && !outcome.split && deletePiecesBox->isChecked()) {
        // The set is gone: a field that still named one of its files would only lead to
        // "Not a valid .split file!" on the next press.
        SetText(descriptorEdit, "");
        if (splitFileExisted && !m_files.FileExists(Text(sourceFileEdit)))
            SetText(sourceFileEdit, "");
    }
    ReportOutcome(outcome);
}

void MainWindow::ReportOutcome(const Outcome& outcome) {
    if (outcome.succeeded) statusLine->ShowDone(outcome.done, outcome.folder);
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
    if (m_busy) return;
    statusLine->Clear();
    Hourglass hourglass(Hourglass::Ending::PreviousCursor);
    std::string failure;
    std::vector<std::string> problems;
    bool whole = false;
    {
        BeginBusy();
        struct Idle {
            MainWindow* form;
            ~Idle() { form->EndBusy(); }
        } idle{this};
        EngineContext context{m_files, m_progress, m_prompt,
                              DateTimeFormat(CurrentDateTimeConventions())};
        m_progress.SetSubject("Verifying " +
                              FileNamePart(Text(descriptorEdit), Extension::Keep));
        whole = VerifySet(context, Text(descriptorEdit), problems, failure);
    }
    hourglass.Restore();
    if (whole) {
        m_gui.MessageBox("Verify", "The split set is whole: every piece is there and undamaged.",
                         BoxIcon::Information, BoxButtons::Ok);
        return;
    }
    for (const auto& problem : problems) failure += (failure.empty() ? "" : "\r") + problem;
    m_gui.MessageBox("Verify", failure, BoxIcon::Error, BoxButtons::Ok);
}

void MainWindow::AddFile(QWidget* tab, const std::string& fileName) {
    if (tab != restoreTab) {
        AddSplitFile(fileName, m_files.Find(fileName));
        return;
    }
    tabs->setCurrentWidget(restoreTab);
    OnTabChanged();
    SetText(descriptorEdit, fileName);
    const Settings& settings = m_settings;
    SetText(restoreFolderEdit, settings.RestoreToFolder ? settings.RestoreFolderName
                                                        : OwnFolder(Text(descriptorEdit)));
}

void MainWindow::AddSplitFile(const std::string& fileName, const std::optional<FileEntry>& entry) {
    tabs->setCurrentWidget(splitTab);
    OnTabChanged();
    // The name as it is stored; a name that is not found stays as given.
    SetText(sourceFileEdit, entry ? DirectoryPart(fileName) + entry->storedName : fileName);
    const Settings& settings = m_settings;
    SetText(splitFolderEdit,
            settings.SplitToFolder ? settings.SplitFolderName : OwnFolder(Text(sourceFileEdit)));
    UpdateLabels(entry);
}

std::string MainWindow::OwnFolder(const std::string& fileName) const {
    const std::string folder = FolderPart(fileName);
    // A file in the root folder: the root, rather than a destination that names no volume.
    if (folder.empty() && !fileName.empty() && fileName.front() == kPathDelimiter)
        return std::string(1, kPathDelimiter);
    return folder;
}

void MainWindow::OnTabChanged() {
    actionButton->setText(QLatin1Char('&') + tabs->tabText(tabs->currentIndex()));
}

void MainWindow::OnDescriptorChanged() {
    const std::string name = Text(descriptorEdit);
    if (IsSplitDescriptorName(name) && m_files.FileExists(name)) AddFile(restoreTab, name);
}

void MainWindow::OnBrowseFile() {
    QWidget* tab = tabs->currentWidget();
    const std::string filter = tab == splitTab ? kSplitFilter : kRestoreFilter;
    const std::string title =
        "Select file to " + ToLowerAscii(FromQ(tabs->tabText(tabs->currentIndex())));
    if (const auto chosen = m_gui.OpenFileName(title, filter)) AddFile(tab, *chosen);
}

void MainWindow::OnBrowseSplitFolder() {
    const std::string folder = SelectFolder(m_gui, kSelectFolderTitle, Text(splitFolderEdit));
    if (!folder.empty()) SetText(splitFolderEdit, folder);
}

void MainWindow::OnBrowseRestoreFolder() {
    const std::string folder = SelectFolder(m_gui, kSelectFolderTitle, Text(restoreFolderEdit));
    if (!folder.empty()) SetText(restoreFolderEdit, folder);
}

void MainWindow::OnExit() {
    close();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // Enter presses the default button wherever the focus is, unless a button has the focus.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        actionButton->isEnabled()) {
        actionButton->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (m_busy || !event->mimeData()->hasUrls()) return;
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.constFirst().isLocalFile()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    if (m_busy || !event->mimeData()->hasUrls()) return;
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.constFirst().isLocalFile()) return;
    const std::string file = FromQPath(urls.constFirst().toLocalFile());
    event->acceptProposedAction();
    RunHandler(m_gui, [&] { AddFile(IsSplitDescriptorName(file) ? restoreTab : splitTab, file); });
}

// ---------------------------------------------------------------------------------------------
// Menu commands: each shows its window (or the help contents, or the browser) and returns when it
// has closed.

void MainWindow::OnConfiguration() {
    if (m_open.configuration) m_open.configuration();
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
