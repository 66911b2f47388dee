// The help: the sitemap parser and the help file reader on made-up input, the OLVO.chm that the
// build compiled read back whole, the viewer on it, and F1 in the main window.

#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <set>

#include "gui/HelpViewer.h"
#include "gui/help/HelpFile.h"
#include "gui/help/HelpSitemap.h"
#include "tests/gui/MainWindowFixture.h"

namespace olvo::test {
namespace {

const std::string kBuiltHelpFile = OLVO_HELP_FILE;

std::string Object(const std::string& name, const std::string& local) {
    return "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"" + name +
           "\"><param name=\"Local\" value=\"" + local + "\"></OBJECT>\n";
}

// ---------------------------------------------------------------------------------------------
// The sitemap parser

TEST(HelpSitemapTest, NestedListsBecomeChildrenOfTheEntryBeforeThem) {
    const std::string text =
        "<HTML><BODY><OBJECT type=\"text/site properties\"><param name=\"Name\" value=\"x\">"
        "</OBJECT><UL>" +
        Object("One", "one.html") + "<UL>" + Object("One.a", "one.html#a") + "<UL>" +
        Object("One.a.i", "i.html") + "</UL></UL>" + Object("Two", "two.html") +
        "</UL></BODY></HTML>";
    const std::vector<SitemapEntry> entries = ParseSitemap(text);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "One");
    EXPECT_EQ(entries[0].local, "one.html");
    ASSERT_EQ(entries[0].children.size(), 1u);
    EXPECT_EQ(entries[0].children[0].local, "one.html#a");
    ASSERT_EQ(entries[0].children[0].children.size(), 1u);
    EXPECT_EQ(entries[0].children[0].children[0].name, "One.a.i");
    EXPECT_EQ(entries[1].name, "Two");
    EXPECT_TRUE(entries[1].children.empty());

    std::vector<std::string> order;
    for (const SitemapEntry* entry : FlattenSitemap(entries)) order.push_back(entry->name);
    EXPECT_EQ(order, (std::vector<std::string>{"One", "One.a", "One.a.i", "Two"}));
}

TEST(HelpSitemapTest, ReadsAttributesAsWrittenInAnyCaseAndQuoting) {
    const std::string text =
        "<ul><li><object TYPE='Text/Sitemap'><PARAM NAME=name VALUE=\"  Fish &amp; chips "
        "&#233;&#x41;&lt;&bogus; &\"><param name=local value=fish.html>"
        "<param name=\"Name\" value=\"second name is ignored\"></object>"
        "<!-- <object type=\"text/sitemap\"><param name=\"Name\" value=\"commented\"></object> -->"
        "<object type=\"text/sitemap\"><param name=\"Local\" value=\"untitled.html\"></object>"
        "<object type=\"text/sitemap\"><param name=\"ImageNumber\" value=\"1\"></object>"
        "</ul>";
    const std::vector<SitemapEntry> entries = ParseSitemap(text);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name,
              "Fish & chips \xC3\xA9"
              "A<&bogus; &");
    EXPECT_EQ(entries[0].local, "fish.html");
    // A page without a name is listed under its page; an entry with neither is left out.
    EXPECT_EQ(entries[1].name, "untitled.html");
}

TEST(HelpSitemapTest, BrokenInputGivesWhatCanBeReadAndNeverMore) {
    // Unterminated tags, quotes and comments, stray closing lists, references out of range.
    for (const std::string& text :
         {std::string("<"), std::string("<ul><li><object type=\"text/sitemap"),
          std::string("</ul></ul><ul>") + Object("A", "a.html") + "</ul></ul>",
          std::string("<ul><object type=text/sitemap><param name=Name value=\"&#0;&#xD800;"
                      "&#99999999;\"></object>"),
          std::string("<!-- never closed <ul>"), std::string("<ul =x><param = >"),
          std::string("\0<ul>\xff\xfe", 7)}) {
        const std::vector<SitemapEntry> entries = ParseSitemap(text);
        for (const SitemapEntry* entry : FlattenSitemap(entries)) EXPECT_FALSE(entry->name.empty());
    }
    const auto odd = ParseSitemap(
        "<ul><object type=text/sitemap><param name=Name "
        "value=\"&#0;&#xD800;&#99999999;\"></object>");
    ASSERT_EQ(odd.size(), 1u);
    EXPECT_EQ(odd[0].name, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");

    // Lists nested without end stop at the depth limit instead of exhausting the stack.
    std::string deep = "<ul>";
    for (int i = 0; i < 5000; ++i) deep += Object("E", "e.html") + "<ul>";
    std::size_t depth = 0;
    const std::vector<SitemapEntry> entries = ParseSitemap(deep);
    for (const std::vector<SitemapEntry>* level = &entries; !level->empty();
         level = &level->front().children)
        ++depth;
    EXPECT_EQ(depth, kMaxSitemapDepth);
    EXPECT_EQ(FlattenSitemap(entries).size(), 5000u);
}

// ---------------------------------------------------------------------------------------------
// The help file reader

std::string Record(std::uint16_t code, const std::string& data) {
    std::string record;
    record += static_cast<char>(code & 0xFF);
    record += static_cast<char>(code >> 8);
    record += static_cast<char>(data.size() & 0xFF);
    record += static_cast<char>(data.size() >> 8);
    return record + data;
}

TEST(HelpFileTest, HeaderRecordsAreReadUpToTheFirstThatRunsPastTheEnd) {
    const std::string version("\x03\0\0\0", 4);
    const std::string bytes = version + Record(0, std::string("toc.hhc\0", 8)) +
                              Record(9, "ignored") + Record(3, "Title") +
                              Record(2, std::string("start.html\0junk", 15));
    HelpFileHeader header = ParseHelpFileHeader(bytes);
    EXPECT_EQ(header.contentsFile, "toc.hhc");
    EXPECT_EQ(header.title, "Title");
    EXPECT_EQ(header.defaultTopic, "start.html");
    EXPECT_EQ(header.indexFile, "");

    std::string cut = version + Record(3, "Title") + Record(1, "index.hhk");
    cut.resize(cut.size() - 1);
    header = ParseHelpFileHeader(cut);
    EXPECT_EQ(header.title, "Title");
    EXPECT_EQ(header.indexFile, "");
    EXPECT_EQ(ParseHelpFileHeader("").title, "");
}

TEST(HelpFileTest, MissingOrForeignFilesDoNotOpen) {
    TempDir dir;
    EXPECT_EQ(HelpFile::Open(""), nullptr);
    EXPECT_EQ(HelpFile::Open(dir / "OLVO.chm"), nullptr);
    EXPECT_EQ(HelpFile::Open(dir.Path()), nullptr);
    WriteFile(dir / "plain.chm", "<html>not a compiled help file</html>");
    EXPECT_EQ(HelpFile::Open(dir / "plain.chm"), nullptr);
    // The first bytes of a real one and nothing after them.
    WriteFile(dir / "cut.chm", ReadFile(kBuiltHelpFile).substr(0, 100));
    EXPECT_EQ(HelpFile::Open(dir / "cut.chm"), nullptr);
}

// The pages that the contents name, without fragments, in order and each once.
std::vector<std::string> ContentsPages(HelpFile& help) {
    std::vector<std::string> pages;
    const auto text = help.Read(help.ContentsPath());
    if (!text) return pages;
    const std::vector<SitemapEntry> entries = ParseSitemap(*text);
    for (const SitemapEntry* entry : FlattenSitemap(entries)) {
        const std::string page = "/" + entry->local.substr(0, entry->local.find('#'));
        if (std::find(pages.begin(), pages.end(), page) == pages.end()) pages.push_back(page);
    }
    return pages;
}

TEST(HelpFileTest, TheBuiltHelpHoldsEveryPageItsContentsAndIndexName) {
    const auto help = HelpFile::Open(kBuiltHelpFile);
    ASSERT_NE(help, nullptr) << kBuiltHelpFile;
    EXPECT_EQ(help->Header().title, "Kestrava File Splitter Help");
    EXPECT_EQ(help->Header().defaultTopic, "getting-started.html");
    EXPECT_EQ(help->ContentsPath(), "/OLVO.hhc");
    EXPECT_EQ(help->IndexPath(), "/OLVO.hhk");

    std::set<std::string> htmlFiles;
    for (const std::string& path : help->List())
        if (path.size() > 5 && path.substr(path.size() - 5) == ".html") htmlFiles.insert(path);
    const std::vector<std::string> pages = ContentsPages(*help);
    EXPECT_EQ(std::set<std::string>(pages.begin(), pages.end()), htmlFiles)
        << "every page is in the contents and every entry has its page";
    EXPECT_EQ(pages.size(), 7u);
    EXPECT_EQ(pages.front(), "/getting-started.html");

    const auto index = help->Read(help->IndexPath());
    ASSERT_TRUE(index);
    const auto entries = ParseSitemap(*index);
    EXPECT_GT(entries.size(), 20u);
    for (const SitemapEntry& entry : entries)
        EXPECT_TRUE(htmlFiles.count("/" + entry.local.substr(0, entry.local.find('#'))))
            << entry.name << " -> " << entry.local;
}

TEST(HelpFileTest, EveryLinkAndPictureOfEveryPageResolvesInsideTheHelp) {
    const auto help = HelpFile::Open(kBuiltHelpFile);
    ASSERT_NE(help, nullptr);
    const QRegularExpression reference(QStringLiteral(R"re((?:href|src)="([^"]*)")re"));
    const QRegularExpression anchor(QStringLiteral(R"re(name="([^"]*)")re"));
    int links = 0;
    for (const std::string& page : ContentsPages(*help)) {
        const auto bytes = help->Read(page);
        ASSERT_TRUE(bytes) << page;
        const QString html =
            QString::fromUtf8(bytes->data(), static_cast<qsizetype>(bytes->size()));
        const QUrl base(QStringLiteral("help:") + QString::fromStdString(page));
        for (const auto& match : reference.globalMatch(html)) {
            const QUrl target = base.resolved(QUrl(match.captured(1)));
            if (target.scheme() != QLatin1String("help")) continue;  // the web
            const auto targetBytes = help->Read(target.path().toStdString());
            ASSERT_TRUE(targetBytes) << page << " links to " << match.captured(1).toStdString();
            if (target.hasFragment()) {
                std::set<QString> names;
                for (const auto& m : anchor.globalMatch(QString::fromUtf8(*targetBytes)))
                    names.insert(m.captured(1));
                EXPECT_TRUE(names.count(target.fragment()))
                    << page << " links to a missing place " << match.captured(1).toStdString();
            }
            ++links;
        }
    }
    EXPECT_GT(links, 20);
}

// ---------------------------------------------------------------------------------------------
// The viewer

class HelpViewerTest : public ::testing::Test {
  protected:
    static std::vector<std::string> TopLevelNames(const QTreeWidget* tree) {
        std::vector<std::string> names;
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            names.push_back(tree->topLevelItem(i)->text(0).toStdString());
        return names;
    }

    FakeGui gui;
    // The program's help window, as the desktop's GUI service keeps it.
    HelpViewerSlot help{gui};
};

TEST_F(HelpViewerTest, OpensOnTheTableOfContentsWithTheFirstPage) {
    HelpViewer viewer(gui);
    ASSERT_TRUE(viewer.OpenHelpFile(kBuiltHelpFile));
    EXPECT_EQ(viewer.HelpFilePath(), kBuiltHelpFile);
    EXPECT_EQ(viewer.windowTitle(), QStringLiteral("Kestrava File Splitter Help"));
    EXPECT_EQ(viewer.navigationTabs->currentWidget(), viewer.contentsTree);
    EXPECT_EQ(TopLevelNames(viewer.contentsTree),
              (std::vector<std::string>{"Getting started", "Splitting a file", "Restoring a file",
                                        "The split-set files", "Configuration",
                                        "The command-line tool", "Messages and troubleshooting"}));
    EXPECT_EQ(viewer.CurrentPage(), "/getting-started.html");
    ASSERT_NE(viewer.contentsTree->currentItem(), nullptr);
    EXPECT_EQ(viewer.contentsTree->currentItem()->text(0), QStringLiteral("Getting started"));
    EXPECT_TRUE(viewer.pageView->toPlainText().contains(QStringLiteral("Getting started")));
}

TEST_F(HelpViewerTest, EveryEntryOfTheContentsShowsItsPage) {
    HelpViewer viewer(gui);
    ASSERT_TRUE(viewer.OpenHelpFile(kBuiltHelpFile));
    for (int i = 0; i < viewer.contentsTree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = viewer.contentsTree->topLevelItem(i);
        viewer.contentsTree->setCurrentItem(item);
        const QString text = viewer.pageView->toPlainText();
        // Each page starts with the heading its entry bears.
        EXPECT_TRUE(text.startsWith(item->text(0))) << text.left(80).toStdString();
        EXPECT_GT(text.size(), 500);
        EXPECT_FALSE(text.contains(QStringLiteral("not in the help file")));
    }
    // An entry below a page shows that page at its place.
    QTreeWidgetItem* media = viewer.contentsTree->topLevelItem(2)->child(0);
    ASSERT_EQ(media->text(0), QStringLiteral("Pieces on several media"));
    viewer.contentsTree->setCurrentItem(media);
    EXPECT_EQ(viewer.CurrentPage(), "/restoring.html");
    EXPECT_EQ(viewer.pageView->source().fragment(), QStringLiteral("media"));
}

TEST_F(HelpViewerTest, LinksMoveBetweenPagesAndWebAddressesGoToTheBrowser) {
    HelpViewer viewer(gui);
    ASSERT_TRUE(viewer.OpenHelpFile(kBuiltHelpFile));
    emit viewer.pageView->anchorClicked(QUrl(QStringLiteral("splitting.html")));
    EXPECT_EQ(viewer.CurrentPage(), "/splitting.html");
    EXPECT_EQ(viewer.contentsTree->currentItem()->text(0), QStringLiteral("Splitting a file"));
    EXPECT_TRUE(viewer.backButton->isEnabled());
    viewer.backButton->click();
    EXPECT_EQ(viewer.CurrentPage(), "/getting-started.html");
    EXPECT_EQ(viewer.contentsTree->currentItem()->text(0), QStringLiteral("Getting started"));

    emit viewer.pageView->anchorClicked(QUrl(QStringLiteral("https://example.org/page")));
    EXPECT_EQ(gui.urls, (std::vector<std::string>{"https://example.org/page"}));
    EXPECT_EQ(viewer.CurrentPage(), "/getting-started.html");
    // Other kinds of address go nowhere.
    emit viewer.pageView->anchorClicked(QUrl(QStringLiteral("file:///etc/passwd")));
    EXPECT_EQ(gui.urls.size(), 1u);
    EXPECT_EQ(viewer.CurrentPage(), "/getting-started.html");

    // A page the help does not hold says so instead of showing the previous one.
    viewer.ShowPage("../../missing.html");
    EXPECT_EQ(viewer.CurrentPage(), "/missing.html");
    EXPECT_TRUE(viewer.pageView->toPlainText().contains(QStringLiteral("not in the help file")));
    EXPECT_TRUE(gui.boxes.empty());
}

TEST_F(HelpViewerTest, PicturesAndTheStyleSheetComeFromTheHelpFile) {
    HelpViewer viewer(gui);
    ASSERT_TRUE(viewer.OpenHelpFile(kBuiltHelpFile));
    const QByteArray picture =
        viewer.ReadResource(QUrl(QStringLiteral("help:/images/main-window.png")));
    QImage image;
    ASSERT_TRUE(image.loadFromData(picture));
    EXPECT_GT(image.width(), 300);
    const QVariant shown = viewer.pageView->document()->resource(
        QTextDocument::ImageResource, QUrl(QStringLiteral("images/main-window.png")));
    EXPECT_TRUE(shown.isValid());
    EXPECT_FALSE(viewer.ReadResource(QUrl(QStringLiteral("help:/olvo.css"))).isEmpty());
    EXPECT_TRUE(viewer.ReadResource(QUrl(QStringLiteral("file:/olvo.css"))).isEmpty());
}

TEST_F(HelpViewerTest, TheIndexFindsAnEntryAsItIsTypedAndOpensItsPage) {
    HelpViewer viewer(gui);
    ASSERT_TRUE(viewer.OpenHelpFile(kBuiltHelpFile));
    EXPECT_GT(viewer.indexList->count(), 20);
    viewer.navigationTabs->setCurrentIndex(1);
    QTest::keyClicks(viewer.indexFindEdit, QStringLiteral("CHECKS"));
    ASSERT_NE(viewer.indexList->currentItem(), nullptr);
    EXPECT_EQ(viewer.indexList->currentItem()->text(), QStringLiteral("checksum"));
    QTest::keyClick(viewer.indexFindEdit, Qt::Key_Return);
    EXPECT_EQ(viewer.CurrentPage(), "/restoring.html");
}

TEST_F(HelpViewerTest, AMissingOrForeignFileIsNamedAndLeavesAnOpenViewerAsItWas) {
    TempDir dir;
    WriteFile(dir / "OLVO.chm", "not a help file");
    for (const std::string& file : {dir / "missing.chm", dir / "OLVO.chm", std::string()}) {
        help.Show(file);
        EXPECT_EQ(help.Viewer(), nullptr);
        ASSERT_EQ(gui.boxes.size(), 1u);
        EXPECT_EQ(gui.boxes[0].caption, "Help");
        EXPECT_EQ(gui.boxes[0].text, "Cannot open the help file " + file + "!");
        EXPECT_EQ(gui.boxes[0].icon, BoxIcon::Error);
        gui.boxes.clear();
    }
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty() ||
                std::none_of(QApplication::topLevelWidgets().cbegin(),
                             QApplication::topLevelWidgets().cend(),
                             [](QWidget* w) { return w->isVisible(); }));

    help.Show(kBuiltHelpFile);
    HelpViewer* viewer = help.Viewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    viewer->ShowPage("restoring.html");
    help.Show(dir / "missing.chm");
    EXPECT_EQ(help.Viewer(), viewer);
    EXPECT_EQ(viewer->HelpFilePath(), kBuiltHelpFile);
    EXPECT_EQ(viewer->CurrentPage(), "/restoring.html");

    // Asked again, the same window opens on the contents afresh.
    viewer->navigationTabs->setCurrentIndex(1);
    help.Show(kBuiltHelpFile);
    EXPECT_EQ(help.Viewer(), viewer);
    EXPECT_EQ(viewer->navigationTabs->currentWidget(), viewer->contentsTree);
    EXPECT_EQ(viewer->CurrentPage(), "/getting-started.html");
    EXPECT_FALSE(viewer->testAttribute(Qt::WA_QuitOnClose));
    EXPECT_EQ(gui.TakeBoxTexts(),
              std::vector<std::string>{"Cannot open the help file " + dir / "missing.chm" + "!"});
}

TEST_F(HelpViewerTest, EscapeAndCtrlWCloseTheWindowWhereverTheFocusIs) {
    for (const QKeyCombination keys :
         {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::ControlModifier, Qt::Key_W)}) {
        help.Show(kBuiltHelpFile);
        QPointer<HelpViewer> viewer = help.Viewer();
        ASSERT_NE(viewer, nullptr);
        QApplication::setActiveWindow(viewer);
        ASSERT_TRUE(QTest::qWaitForWindowActive(viewer));
        viewer->navigationTabs->setCurrentIndex(1);
        viewer->indexFindEdit->setFocus();
        QTest::keyClick(viewer->indexFindEdit, keys.key(), keys.keyboardModifiers());
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(viewer.isNull()) << QKeySequence(keys).toString().toStdString();
    }
}

// ---------------------------------------------------------------------------------------------
// F1 in the main window

using HelpCommandTest = MainWindowFixture;

TEST_F(HelpCommandTest, F1AnywhereInTheWindowAsksForTheHelpBesideTheProgram) {
    MainForm form = Create();
    form->show();
    QApplication::setActiveWindow(form.window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.window));
    const std::string expected = FromQPath(QCoreApplication::applicationDirPath()) + "/OLVO.chm";

    form.sourceFileEdit->setFocus();
    QTest::keyClick(form.sourceFileEdit, Qt::Key_F1);
    EXPECT_EQ(gui.helpFiles, std::vector<std::string>{expected});

    form.tabs->setCurrentWidget(form.restoreTab);
    form.restoreTimeBox->setFocus();
    QTest::keyClick(form.restoreTimeBox, Qt::Key_F1);
    form.helpAction->trigger();
    EXPECT_EQ(gui.helpFiles, (std::vector<std::string>{expected, expected, expected}));
    EXPECT_TRUE(gui.boxes.empty());
}

}  // namespace
}  // namespace olvo::test
