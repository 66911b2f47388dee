// The update-check window against a web server of the test's own on 127.0.0.1: what it shows for
// a newer, the same and an older release, for a file without our section and for each kind of
// failed download; the menu command's modal, centred showing with the hourglass; and the link,
// which ends the program only for a web address.

#include <QAction>
#include <QGroupBox>
#include <QScreen>
#include <QTimer>
#include <chrono>
#include <functional>

#include "gui/UpdateCheckWindow.h"
#include "support/TestHttpServer.h"
#include "tests/gui/MainWindowFixture.h"

namespace olvo::test {
namespace {

using namespace std::chrono_literals;

constexpr char kFailureText[] =
    "Could not retrieve version information from the Kestrava server! Ensure you are connected "
    "to the internet and try again.";
constexpr char kLatestText[] = "You have the latest version of Kestrava File Splitter.";
constexpr char kNewsText[] = "Version 1.0.1 is out: faster and smaller.";

// An update information file with a section for another program and one for section.
std::string VersionsIni(const std::string& section, const std::string& release,
                        const std::string& location = "http://www.example.com/files") {
    return "[Other.exe]\r\nRelease=99999\r\nVersion=9.9\r\n\r\n[" + section +
           "]\r\nRelease=" + release + "\r\nDisplayText=" + kNewsText +
           "\r\nVersion=1.0.1\r\nLocation=" + location + "\r\nFileName=olvo-101.zip\r\n";
}

class UpdateCheckTest : public MainWindowFixture {
  protected:
    ~UpdateCheckTest() override {
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    }

    // The main window and the update-check window, created as start-up creates them; we are
    // release 100, version "1.0.0", running as "OLVO.exe".
    UpdateCheckWindow& CreateBoth() {
        m_check = StartAll().updateCheck;
        m_setup.applicationTitle = "Kestrava File Splitter";
        m_setup.ownRelease = "100";
        m_setup.installedVersion = "1.0.0";
        m_setup.sectionName = "OLVO.exe";
        m_setup.localFolder = m_copies.Path();
        m_setup.download = [this](const std::string& url, const std::string& localPath) {
            const QCursor* cursor = QApplication::overrideCursor();
            hourglassWhileDownloading = cursor && cursor->shape() == Qt::WaitCursor;
            DownloadLimits limits;
            limits.stallTime = stallTime;
            return DownloadUrlToFile(url, localPath, limits);
        };
        m_check->SetSetupSource([this] { return m_setup; });
        return *m_check;
    }
    UpdateCheckWindow& Check() { return *m_check; }

    // Publishes ini as the update information file under a home page of its own and makes that
    // the home page of the next checks.
    void Publish(const std::string& name, const std::string& ini) {
        server.Serve("/" + name + "/products/versions.ini", {"200 OK", ini});
        m_setup.homePageUrl = server.Url("/" + name);
    }
    void SetHomePage(const std::string& url) { m_setup.homePageUrl = url; }
    void SetOwnRelease(const std::string& release) { m_setup.ownRelease = release; }

    // Shows the window afresh as its modal showing does, without waiting for it to close; it
    // stays shown.
    UpdateCheckWindow& ShowOnce() {
        m_check->hide();
        m_check->show();
        return *m_check;
    }

    // Runs body inside the application's own event loop, as the program's message loop. The exit
    // code the program ends with: 7 when nothing ended it within grace.
    static int RunAsProgram(std::function<void()> body, std::chrono::milliseconds grace = 2000ms) {
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(7); });
        guard.start(grace);
        QTimer::singleShot(0, [body = std::move(body)] { body(); });
        return QApplication::exec();
    }

    std::string LocalCopy() const { return m_copies / "versions.ini"; }
    static bool Hourglass() { return QApplication::overrideCursor() != nullptr; }

    TestHttpServer server;
    std::chrono::milliseconds stallTime = 10s;
    bool hourglassWhileDownloading = false;

  private:
    TempDir m_copies;
    UpdateCheckSetup m_setup;
    UpdateCheckWindow* m_check = nullptr;
};

TEST_F(UpdateCheckTest, TheWindowHasItsCaptionsAndStartsEmpty) {
    UpdateCheckWindow& check = CreateBoth();
    EXPECT_FALSE(check.isVisible());
    EXPECT_EQ(check.windowTitle(), QStringLiteral("Check for Updates"));
    EXPECT_EQ(check.size(), QSize(376, 342));
    EXPECT_EQ(check.minimumSize(), check.maximumSize());
    EXPECT_EQ(check.infoGroup->title(), QStringLiteral("Update Information"));
    EXPECT_EQ(check.versionGroup->title(), QStringLiteral("Version"));
    EXPECT_EQ(check.downloadGroup->title(), QStringLiteral("Download"));
    EXPECT_EQ(Text(check.installedCaption), "Currently installed version:");
    EXPECT_EQ(Text(check.availableCaption), "Available version:");
    EXPECT_EQ(Text(check.downloadHint),
              "Click on the link below to exit this application and download the update.");
    EXPECT_EQ(Text(check.downloadLink), "==>>DOWNLOAD UPDATE!<<==");
    EXPECT_TRUE(check.downloadLink->font().underline());
    EXPECT_EQ(check.downloadLink->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(check.closeButton->text(), QStringLiteral("&Close"));
    EXPECT_TRUE(check.closeButton->isDefault());
    for (QLabel* value :
         {check.infoLabel, check.installedVersionLabel, check.availableVersionLabel})
        EXPECT_EQ(Text(value), "");
    // Texts from the network are never read as markup.
    EXPECT_EQ(check.infoLabel->textFormat(), Qt::PlainText);
    EXPECT_EQ(check.availableVersionLabel->textFormat(), Qt::PlainText);
}

TEST_F(UpdateCheckTest, ANewerReleaseIsOfferedWithItsLink) {
    UpdateCheckWindow& check = CreateBoth();
    // "Location" lacks a trailing slash: it runs straight into the file name, as published.
    Publish("newer", VersionsIni("OLVO.exe", "101", "http://www.example.com/files"));
    ShowOnce();
    EXPECT_EQ(Text(check.infoLabel), kNewsText);
    EXPECT_EQ(Text(check.installedVersionLabel), "1.0.0");
    EXPECT_EQ(Text(check.availableVersionLabel), "1.0.1");
    EXPECT_TRUE(check.downloadGroup->isVisible());
    EXPECT_EQ(FromQ(check.downloadLink->toolTip()), "http://www.example.com/filesolvo-101.zip");
    EXPECT_FALSE(Exists(LocalCopy()));
    EXPECT_TRUE(hourglassWhileDownloading);
    EXPECT_FALSE(Hourglass());
    EXPECT_TRUE(gui.boxes.empty());
}

TEST_F(UpdateCheckTest, TheSameOrAnOlderReleaseIsTheLatestAndEachShowingChecksAfresh) {
    UpdateCheckWindow& check = CreateBoth();
    Publish("newer", VersionsIni("olvo.EXE", "101"));
    ShowOnce();
    ASSERT_TRUE(check.downloadGroup->isVisible());

    for (const char* release : {"100", "0x64", "99"}) {
        Publish("same", VersionsIni("OLVO.exe", release));
        ShowOnce();
        EXPECT_EQ(Text(check.infoLabel), kLatestText) << release;
        EXPECT_EQ(Text(check.installedVersionLabel), "1.0.0");
        EXPECT_EQ(Text(check.availableVersionLabel), "1.0.1");
        EXPECT_FALSE(check.downloadGroup->isVisible()) << release;
        EXPECT_EQ(FromQ(check.downloadLink->toolTip()), "");
        EXPECT_FALSE(Exists(LocalCopy()));
    }
    EXPECT_EQ(server.Requests("/same/products/versions.ini"), 3);
}

TEST_F(UpdateCheckTest, AFileWithoutOurSectionIsTheLatestWithoutAVersion) {
    UpdateCheckWindow& check = CreateBoth();
    // Published for the program under another name only.
    Publish("renamed", VersionsIni("Renamed.exe", "101"));
    ShowOnce();
    EXPECT_EQ(Text(check.infoLabel), kLatestText);
    EXPECT_EQ(Text(check.installedVersionLabel), "1.0.0");
    EXPECT_EQ(Text(check.availableVersionLabel), "");
    EXPECT_FALSE(check.downloadGroup->isVisible());
    EXPECT_FALSE(Exists(LocalCopy()));
    EXPECT_TRUE(gui.boxes.empty());
}

TEST_F(UpdateCheckTest, AFailedDownloadShowsTheFailureTextAndDeletesNothing) {
    UpdateCheckWindow& check = CreateBoth();
    server.Serve("/silent/products/versions.ini", {"200 OK", "", "", true});
    stallTime = 1s;
    WriteFile(LocalCopy(), "[OLVO.exe]\nRelease=500\n");
    const std::vector<std::string> homePages = {
        server.Url("/missing"),  // 404
        "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/olvo",
        server.Url("/silent"),
    };
    for (const std::string& home : homePages) {
        // An offer from the showing before must not survive a failed one.
        Publish("newer", VersionsIni("OLVO.exe", "101"));
        ShowOnce();
        ASSERT_TRUE(check.downloadGroup->isVisible());
        WriteFile(LocalCopy(), "[OLVO.exe]\nRelease=500\n");

        SetHomePage(home);
        const auto start = std::chrono::steady_clock::now();
        ShowOnce();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s) << home;
        EXPECT_EQ(Text(check.infoLabel), kFailureText) << home;
        EXPECT_EQ(Text(check.installedVersionLabel), "1.0.0");
        EXPECT_EQ(Text(check.availableVersionLabel), "-");
        EXPECT_FALSE(check.downloadGroup->isVisible()) << home;
        EXPECT_EQ(ReadFile(LocalCopy()), "[OLVO.exe]\nRelease=500\n") << home;
        EXPECT_FALSE(Hourglass());
    }
    EXPECT_TRUE(gui.boxes.empty());
}

TEST_F(UpdateCheckTest, TheMenuShowsItModallyCentredOnTheMainWindowWithTheHourglass) {
    UpdateCheckWindow& check = CreateBoth();
    MainForm form = Form();
    Publish("latest", VersionsIni("OLVO.exe", "100"));
    form->show();
    const QRect screen = form->screen()->availableGeometry();
    const QSize formSize = form->frameGeometry().size();
    ASSERT_LE(formSize.width() + 40, screen.width());
    ASSERT_LE(check.height() + 100, screen.height());

    // Places where the window, taller than the main window, still fits on the screen.
    const int top = (check.frameGeometry().height() - formSize.height()) / 2;
    const std::vector<QPoint> places = {
        screen.topLeft() + QPoint(10, top + 10),
        screen.topLeft() + QPoint(screen.width() - formSize.width() - 10, top + 60),
    };
    for (const QPoint& place : places) {
        form->move(place);
        bool modal = false, hourglassShown = true;
        QRect shownAt;
        QTimer::singleShot(0, [&] {
            modal = QApplication::activeModalWidget() == &check;
            hourglassShown = Hourglass();
            shownAt = check.frameGeometry();
            check.closeButton->click();
        });
        hourglassWhileDownloading = false;
        form.checkUpdatesAction->trigger();
        EXPECT_TRUE(modal);
        EXPECT_TRUE(hourglassWhileDownloading);
        EXPECT_FALSE(hourglassShown);  // the check is over once the window can be seen
        EXPECT_FALSE(Hourglass());
        EXPECT_FALSE(check.isVisible());
        const QPoint offset = shownAt.center() - form->frameGeometry().center();
        EXPECT_LE(offset.manhattanLength(), 2) << place.x() << "," << place.y();
        EXPECT_EQ(Text(check.infoLabel), kLatestText);
    }

    // A main window at the screen's edge: centred as far as the screen allows.
    form->move(screen.topLeft() + QPoint(screen.width() - formSize.width() / 3, 10));
    QRect shownAt;
    QTimer::singleShot(0, [&] {
        shownAt = check.frameGeometry();
        check.close();
    });
    form.checkUpdatesAction->trigger();
    EXPECT_TRUE(screen.contains(shownAt)) << shownAt.x() << "," << shownAt.y();
}

TEST_F(UpdateCheckTest, AnOwnReleaseThatIsNoNumberIsReportedAndTheCursorRestored) {
    UpdateCheckWindow& check = CreateBoth();
    Publish("newer", VersionsIni("OLVO.exe", "101"));
    ShowOnce();
    ASSERT_TRUE(check.downloadGroup->isVisible());

    check.hide();
    SetOwnRelease("(unknown)");
    bool hourglassShown = true;
    QTimer::singleShot(0, [&] {
        hourglassShown = Hourglass();
        check.close();
    });
    Form().checkUpdatesAction->trigger();
    EXPECT_FALSE(hourglassShown);
    EXPECT_FALSE(Hourglass());
    ASSERT_EQ(gui.boxes.size(), 1u);
    EXPECT_EQ(gui.boxes[0].caption, "Kestrava File Splitter");
    EXPECT_EQ(gui.boxes[0].text, "'(unknown)' is not a valid integer value.");
    EXPECT_EQ(gui.boxes[0].icon, BoxIcon::Error);
    // No offer from before is left standing.
    EXPECT_FALSE(check.downloadGroup->isVisible());
    EXPECT_EQ(Text(check.infoLabel), "");
    EXPECT_EQ(server.Requests("/newer/products/versions.ini"), 1);
}

TEST_F(UpdateCheckTest, EnterClosesTheWindowAndEscapeDoesNot) {
    UpdateCheckWindow& check = CreateBoth();
    Publish("latest", VersionsIni("OLVO.exe", "100"));
    ShowOnce();
    QTest::keyClick(&check, Qt::Key_Escape);
    EXPECT_TRUE(check.isVisible());
    QTest::keyClick(&check, Qt::Key_Return);
    EXPECT_FALSE(check.isVisible());
}

TEST_F(UpdateCheckTest, TheLinkOpensAWebAddressAndEndsTheProgram) {
    UpdateCheckWindow& check = CreateBoth();
    Publish("newer", VersionsIni("OLVO.exe", "101", "https://www.example.com/files/"));
    bool stillShown = false;
    const int code = RunAsProgram([&] {
        QTimer::singleShot(0, [&] { QTest::mouseClick(check.downloadLink, Qt::LeftButton); });
        Form().checkUpdatesAction->trigger();
        stillShown = check.isVisible();
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(gui.urls, std::vector<std::string>{"https://www.example.com/files/olvo-101.zip"});
    EXPECT_FALSE(stillShown);
    EXPECT_FALSE(Hourglass());
}

TEST_F(UpdateCheckTest, ALinkToAnythingButTheWebIsNeitherOpenedNorEndsTheProgram) {
    UpdateCheckWindow& check = CreateBoth();
    Publish("tampered", VersionsIni("OLVO.exe", "101", "file:///usr/bin/"));
    bool stillShown = false;
    const int code = RunAsProgram(
        [&] {
            QTimer::singleShot(0, [&] {
                QTest::mouseClick(check.downloadLink, Qt::LeftButton);
                check.OnDownloadLink();
                stillShown = check.isVisible();
                check.close();
            });
            Form().checkUpdatesAction->trigger();
        },
        500ms);
    EXPECT_EQ(code, 7);  // only the test's own deadline ended it
    EXPECT_TRUE(stillShown);
    EXPECT_EQ(FromQ(check.downloadLink->toolTip()), "file:///usr/bin/olvo-101.zip");
    EXPECT_TRUE(gui.urls.empty());
}

}  // namespace
}  // namespace olvo::test
