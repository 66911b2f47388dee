#include "gui/HelpViewer.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QPointer>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QUrl>
#include <QVBoxLayout>

#include "gui/GuiService.h"
#include "gui/WindowParts.h"
#include "gui/help/HelpFile.h"

namespace olvo {
namespace {

const QString kHelpScheme = QStringLiteral("help");
constexpr int kPageRole = Qt::UserRole;

// The address of a page of the help: "help:/splitting.html#media".
QUrl HelpUrl(const std::string& page) {
    return QUrl(kHelpScheme + QStringLiteral(":/")).resolved(QUrl(QString::fromUtf8(page)));
}

QUrl WithoutFragment(const QUrl& url) {
    return url.adjusted(QUrl::RemoveFragment | QUrl::RemoveQuery);
}

bool SamePage(const QUrl& a, const QUrl& b) {
    // Paths inside the help file are case-insensitive.
    return WithoutFragment(a).toString().compare(WithoutFragment(b).toString(),
                                                 Qt::CaseInsensitive) == 0;
}

// The colours of the help pages, from the palette: the pages' own style sheet sets none, so that
// they read as well on a dark palette as on a light one. Links take the link colour, headings a
// colour halfway between the text's and the link's (dark blue on white, light blue on black), a
// table's header row and the examples the alternate base behind the text.
QString PaletteStyleSheet(const QPalette& palette) {
    const QColor text = palette.color(QPalette::Text);
    const QColor link = palette.color(QPalette::Link);
    const QColor heading((text.red() + link.red()) / 2, (text.green() + link.green()) / 2,
                         (text.blue() + link.blue()) / 2);
    return QStringLiteral(
               "body { color: %1; }\n"
               "h1, h2 { color: %2; }\n"
               "a { color: %3; }\n"
               "th, pre { background-color: %4; color: %1; }\n"
               ".note { background-color: %5; color: %6; }\n")
        .arg(text.name(), heading.name(), link.name(),
             palette.color(QPalette::AlternateBase).name(),
             palette.color(QPalette::ToolTipBase).name(),
             palette.color(QPalette::ToolTipText).name());
}

// The page display reads every page, picture and style sheet from the help file.
class HelpBrowser final : public QTextBrowser {
  public:
    HelpBrowser(HelpViewer* viewer, QWidget* parent) : QTextBrowser(parent), m_viewer(viewer) {}

    QVariant loadResource(int type, const QUrl& name) override {
        if (name.scheme() != kHelpScheme) return {};
        const QByteArray bytes = m_viewer->ReadResource(name);
        switch (type) {
            case QTextDocument::HtmlResource:
                if (bytes.isEmpty())
                    return QStringLiteral("<p>This page is not in the help file.</p>");
                return bytes;
            case QTextDocument::StyleSheetResource:
                return QString::fromUtf8(bytes);
            default:
                return bytes;
        }
    }

  protected:
    void changeEvent(QEvent* event) override {
        QTextBrowser::changeEvent(event);
        if (event->type() != QEvent::PaletteChange) return;
        document()->setDefaultStyleSheet(PaletteStyleSheet(palette()));
        if (!source().isEmpty()) reload();
    }

  private:
    HelpViewer* m_viewer;
};

}  // namespace

HelpViewer::HelpViewer(GuiService& gui, QWidget* parent) : QWidget(parent, Qt::Window), m_gui(gui) {
    BuildWindow();
}

HelpViewer::~HelpViewer() = default;

// Escape and Ctrl+W (and the desktop's own close key) close the window wherever the focus is.
void HelpViewer::AddCloseKeys() {
    QList<QKeySequence> closeKeys = {QKeySequence(Qt::Key_Escape),
                                     QKeySequence(Qt::CTRL | Qt::Key_W)};
    for (const QKeySequence& keys : QKeySequence::keyBindings(QKeySequence::Close))
        if (!closeKeys.contains(keys)) closeKeys.append(keys);
    for (const QKeySequence& keys : closeKeys) {
        // One shortcut per key: two on the same key would both stay silent.
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, &QWidget::close);
    }
}

void HelpViewer::ConnectHandlers() {
    connect(backButton, &QToolButton::clicked, pageView, &QTextBrowser::backward);
    connect(forwardButton, &QToolButton::clicked, pageView, &QTextBrowser::forward);
    connect(pageView, &QTextBrowser::backwardAvailable, backButton, &QToolButton::setEnabled);
    connect(pageView, &QTextBrowser::forwardAvailable, forwardButton, &QToolButton::setEnabled);
    connect(pageView, &QTextBrowser::anchorClicked, this, &HelpViewer::LinkClicked);
    connect(pageView, &QTextBrowser::sourceChanged, this, &HelpViewer::SelectContentsEntry);
    connect(contentsTree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (m_selecting || !item) return;
        const QUrl page = item->data(0, kPageRole).toUrl();
        if (!page.isEmpty()) pageView->setSource(page);
    });
    connect(indexFindEdit, &QLineEdit::textChanged, this, &HelpViewer::IndexFindChanged);
    const auto showIndexItem = [this](QListWidgetItem* item) {
        if (item) pageView->setSource(item->data(kPageRole).toUrl());
    };
    connect(indexList, &QListWidget::itemActivated, this, showIndexItem);
    connect(indexList, &QListWidget::itemClicked, this, showIndexItem);
    connect(indexFindEdit, &QLineEdit::returnPressed, this,
            [this, showIndexItem] { showIndexItem(indexList->currentItem()); });
}

void HelpViewer::BuildWindow() {
    setObjectName(QStringLiteral("frmHelpViewer"));
    setWindowTitle(QStringLiteral("Help"));
    setWindowIcon(ProgramIcon());
    resize(780, 540);
    AddCloseKeys();

    // The desktop's icon theme where it has the arrows, the style's own otherwise.
    const auto arrow = [this](const char* name, const char* themeIcon, QStyle::StandardPixmap icon,
                              const char* hint) {
        auto* button = Named(new QToolButton(this), name);
        button->setIcon(
            QIcon::fromTheme(QString::fromLatin1(themeIcon), style()->standardIcon(icon)));
        button->setToolTip(QString::fromLatin1(hint));
        button->setEnabled(false);
        return button;
    };
    backButton = arrow("cmdBack", "go-previous", QStyle::SP_ArrowBack, "Back");
    forwardButton = arrow("cmdForward", "go-next", QStyle::SP_ArrowForward, "Forward");

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    navigationTabs = new QTabWidget(splitter);
    navigationTabs->setObjectName(QStringLiteral("pcNavigation"));

    contentsTree = new QTreeWidget(navigationTabs);
    contentsTree->setObjectName(QStringLiteral("tvContents"));
    contentsTree->setHeaderHidden(true);
    contentsTree->setColumnCount(1);
    navigationTabs->addTab(contentsTree, QStringLiteral("Contents"));

    auto* indexPage = new QWidget(navigationTabs);
    indexFindEdit = new QLineEdit(indexPage);
    indexFindEdit->setObjectName(QStringLiteral("txtIndexFind"));
    indexFindEdit->setPlaceholderText(QStringLiteral("Type the word to find"));
    indexList = new QListWidget(indexPage);
    indexList->setObjectName(QStringLiteral("lstIndex"));
    auto* indexLayout = new QVBoxLayout(indexPage);
    indexLayout->setContentsMargins(4, 4, 4, 4);
    indexLayout->addWidget(indexFindEdit);
    indexLayout->addWidget(indexList);
    navigationTabs->addTab(indexPage, QStringLiteral("Index"));

    pageView = new HelpBrowser(this, splitter);
    pageView->setObjectName(QStringLiteral("brPage"));
    pageView->document()->setDefaultStyleSheet(PaletteStyleSheet(pageView->palette()));
    // Every link goes through LinkClicked: pages of the help here, web addresses to the browser.
    pageView->setOpenLinks(false);
    splitter->addWidget(navigationTabs);
    splitter->addWidget(pageView);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({230, 550});

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(backButton);
    buttons->addWidget(forwardButton);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(buttons);
    layout->addWidget(splitter, 1);

    ConnectHandlers();
}

bool HelpViewer::OpenHelpFile(const std::string& helpFile) {
    std::unique_ptr<HelpFile> help = HelpFile::Open(helpFile);
    if (!help || help->ContentsPath().empty()) return false;
    const std::optional<std::string> contentsText = help->Read(help->ContentsPath());
    if (!contentsText) return false;
    const std::vector<SitemapEntry> contents = ParseSitemap(*contentsText);
    if (contents.empty()) return false;
    std::vector<SitemapEntry> index;
    if (!help->IndexPath().empty()) {
        if (const auto indexText = help->Read(help->IndexPath())) index = ParseSitemap(*indexText);
    }

    std::string firstPage;
    for (const SitemapEntry* entry : FlattenSitemap(contents)) {
        if (!entry->local.empty()) {
            firstPage = entry->local;
            break;
        }
    }
    std::string start = help->Header().defaultTopic;
    if (start.empty() || !help->Read(WithoutFragment(HelpUrl(start)).path().toStdString()))
        start = firstPage;

    m_help = std::move(help);
    m_helpFilePath = helpFile;
    setWindowTitle(m_help->Header().title.empty() ? QStringLiteral("Help")
                                                  : QString::fromUtf8(m_help->Header().title));
    m_selecting = true;
    contentsTree->clear();
    FillContents(nullptr, contents);
    contentsTree->expandAll();
    m_selecting = false;
    FillIndex(index);
    indexFindEdit->clear();
    navigationTabs->setTabVisible(1, indexList->count() > 0);
    navigationTabs->setCurrentWidget(contentsTree);

    // The page shown may have the same name in the file now open: read it afresh.
    const QUrl target = HelpUrl(start);
    if (SamePage(pageView->source(), target)) pageView->reload();
    pageView->setSource(target);
    pageView->clearHistory();
    SelectContentsEntry(pageView->source());
    return true;
}

void HelpViewer::FillContents(QTreeWidgetItem* parent, const std::vector<SitemapEntry>& entries) {
    // The tree is at most kMaxSitemapDepth deep, and so is this recursion.
    for (const SitemapEntry& entry : entries) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(contentsTree);
        item->setText(0, QString::fromUtf8(entry.name));
        if (!entry.local.empty()) item->setData(0, kPageRole, HelpUrl(entry.local));
        FillContents(item, entry.children);
    }
}

void HelpViewer::FillIndex(const std::vector<SitemapEntry>& entries) {
    indexList->clear();
    for (const SitemapEntry* entry : FlattenSitemap(entries)) {
        if (entry->local.empty()) continue;
        auto* item = new QListWidgetItem(QString::fromUtf8(entry->name), indexList);
        item->setData(kPageRole, HelpUrl(entry->local));
    }
}

void HelpViewer::ShowPage(const std::string& page) {
    pageView->setSource(HelpUrl(page));
}

std::string HelpViewer::CurrentPage() const {
    const QUrl source = pageView->source();
    if (source.isEmpty()) return {};
    return WithoutFragment(source).path().toStdString();
}

QByteArray HelpViewer::ReadResource(const QUrl& url) {
    if (!m_help || url.scheme() != kHelpScheme) return {};
    const std::optional<std::string> bytes =
        m_help->Read(WithoutFragment(url).path(QUrl::FullyDecoded).toStdString());
    if (!bytes) return {};
    return QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size()));
}

void HelpViewer::SelectContentsEntry(const QUrl& page) {
    QTreeWidgetItem* current = contentsTree->currentItem();
    if (current && SamePage(current->data(0, kPageRole).toUrl(), page)) return;
    for (QTreeWidgetItemIterator it(contentsTree); *it; ++it) {
        if (SamePage((*it)->data(0, kPageRole).toUrl(), page)) {
            m_selecting = true;
            contentsTree->setCurrentItem(*it);
            contentsTree->scrollToItem(*it);
            m_selecting = false;
            return;
        }
    }
}

void HelpViewer::IndexFindChanged(const QString& text) {
    const QString wanted = text.trimmed();
    if (wanted.isEmpty()) return;
    for (int row = 0; row < indexList->count(); ++row) {
        QListWidgetItem* item = indexList->item(row);
        if (item->text().startsWith(wanted, Qt::CaseInsensitive)) {
            indexList->setCurrentItem(item);
            indexList->scrollToItem(item, QAbstractItemView::PositionAtTop);
            return;
        }
    }
}

void HelpViewer::LinkClicked(const QUrl& url) {
    const QUrl target = pageView->source().resolved(url);
    if (target.scheme() == kHelpScheme) {
        pageView->setSource(target);
        return;
    }
    const QString scheme = target.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
        scheme == QLatin1String("mailto"))
        m_gui.OpenUrl(target.toString().toStdString());
}

HelpViewerSlot::~HelpViewerSlot() {
    delete m_viewer.data();
}

void HelpViewerSlot::Show(const std::string& helpFile) {
    const bool created = !m_viewer;
    if (created) {
        m_viewer = new HelpViewer(m_gui);
        m_viewer->setAttribute(Qt::WA_DeleteOnClose);
        // Reading the help never keeps the program alive once its main window has closed.
        m_viewer->setAttribute(Qt::WA_QuitOnClose, false);
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, m_viewer.data(),
                         [viewer = m_viewer] { delete viewer.data(); });
    }
    if (!m_viewer->OpenHelpFile(helpFile)) {
        if (created) delete m_viewer.data();
        // Says where the help was looked for, so that a user can put it there.
        m_gui.MessageBox("Help", "Cannot open the help file " + helpFile + "!", BoxIcon::Error,
                         BoxButtons::Ok);
        return;
    }
    m_viewer->show();
    m_viewer->raise();
    m_viewer->activateWindow();
}

}  // namespace olvo
