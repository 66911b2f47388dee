#pragma once
// The help window: the table of contents of a compiled help file as a tree, its index as a list
// with a search field, and the chosen page beside them. Pages are read from the help file itself
// (through HelpFile), so links between pages, pictures and the style sheet work as they do in
// the file; a link to a web address goes to the browser through the GUI service.
//
// The program keeps one such window (HelpViewerSlot). It is not owned by the main window and does
// not keep the program running once the main window has closed.

#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>

#include "gui/NonCopyable.h"
#include "gui/help/HelpSitemap.h"

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QUrl;

namespace olvo {

class GuiService;
class HelpFile;

class HelpViewer final : public QWidget {
  public:
    // gui takes the web addresses the pages link to.
    explicit HelpViewer(GuiService& gui, QWidget* parent = nullptr);
    ~HelpViewer() override;

    // Opens helpFile and shows its table of contents, the Contents tab active, with its default
    // page (else the first page of the contents). False, with the window left as it was, when the
    // file cannot be opened or holds no table of contents with an entry.
    bool OpenHelpFile(const std::string& helpFile);
    // The help file shown; empty before the first successful OpenHelpFile.
    const std::string& HelpFilePath() const { return m_helpFilePath; }

    // Shows a page of the help file ("splitting.html", "/restoring.html#media") and selects its
    // entry in the contents when it has one.
    void ShowPage(const std::string& page);
    // The path of the page shown ("/splitting.html"), without its fragment; empty when none.
    std::string CurrentPage() const;

    // The bytes of a file of the help named by a "help:" address; empty when there is none.
    QByteArray ReadResource(const QUrl& url);

    // Controls.
    QTabWidget* navigationTabs;
    QTreeWidget* contentsTree;
    QLineEdit* indexFindEdit;
    QListWidget* indexList;
    QTextBrowser* pageView;
    QToolButton* backButton;
    QToolButton* forwardButton;

  private:
    void BuildWindow();
    void AddCloseKeys();
    void ConnectHandlers();
    void FillContents(QTreeWidgetItem* parent, const std::vector<SitemapEntry>& entries);
    void FillIndex(const std::vector<SitemapEntry>& entries);
    void SelectContentsEntry(const QUrl& page);
    void IndexFindChanged(const QString& text);
    void LinkClicked(const QUrl& url);

    GuiService& m_gui;
    std::unique_ptr<HelpFile> m_help;
    std::string m_helpFilePath;
    bool m_selecting = false;
};

// The program's help window, created on first use and then reused; it goes with the slot.
class HelpViewerSlot : NonCopyable {
  public:
    // gui reports a help file that cannot be opened, and serves the window.
    explicit HelpViewerSlot(GuiService& gui) : m_gui(gui) {}
    ~HelpViewerSlot();

    // Shows the table of contents of helpFile in the help window: it is opened on helpFile
    // afresh, shown and brought to the front. When helpFile cannot be opened, a message box names
    // it ("Cannot open the help file PATH!"); a help window already showing another file stays as
    // it was. Escape and Ctrl+W close the window.
    void Show(const std::string& helpFile);

    // The help window, or null when none is open.
    HelpViewer* Viewer() const { return m_viewer.data(); }

  private:
    GuiService& m_gui;
    QPointer<HelpViewer> m_viewer;
};

}  // namespace olvo
