// The About window: its controls, its text from our own version strings, its modal showing from
// the Help menu, and the web addresses it and the menu open.

#include <QAction>
#include <QFrame>
#include <QPixmap>
#include <QSignalSpy>
#include <QTimer>

#include "tests/gui/MainWindowFixture.h"
#include "gui/Application.h"
#include "gui/AboutWindow.h"
#include "core/version/ExecutablePath.h"
#include "core/version/GetFileVerInfo.h"
#include "core/version/ProductUrls.h"

namespace olvo::test {
namespace {

class AboutTest : public MainWindowFixture {};

TEST_F(AboutTest, ControlsAsLaidOut) {
    AboutWindow about;
    EXPECT_EQ(about.size(), QSize(377, 230));
    EXPECT_TRUE(about.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(about.windowFlags() & Qt::WindowMinMaxButtonsHint);
    EXPECT_FALSE(about.isVisible());

    EXPECT_EQ(about.lblInfo->size(), QSize(361, 89));
    EXPECT_FALSE(about.lblInfo->wordWrap());
    EXPECT_EQ(about.lblInfo->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    EXPECT_EQ(about.lblInfo->textFormat(), Qt::PlainText);

    // The logo fills its box at the top right; the button shows at its own size.
    EXPECT_EQ(about.imgKestrava->size(), QSize(136, 40));
    EXPECT_EQ(about.imgKestrava->geometry().right(), 377 - 8 - 1);
    EXPECT_TRUE(about.imgKestrava->hasScaledContents());
    EXPECT_EQ(about.imgKestrava->pixmap().size(), QSize(136, 40));
    EXPECT_EQ(about.imgPayPal->size(), QSize(62, 31));
    EXPECT_EQ(about.imgPayPal->pixmap().size(), QSize(62, 31));
    EXPECT_EQ(about.imgPayPal->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(FromQ(about.imgPayPal->toolTip()),
              "If you would like to contribute and help ensure further development of this "
              "product, please make a donation via PayPal");

    EXPECT_EQ(Text(about.lblHomePage), "Go to Kestrava home page...");
    EXPECT_TRUE(about.lblHomePage->font().underline());
    // The link's colour is the palette's, a dark one's included.
    EXPECT_EQ(about.lblHomePage->foregroundRole(), QPalette::Link);
    EXPECT_EQ(about.lblHomePage->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(about.lblHomePage->toolTip().isEmpty());
    // On the donation button's row, at the right.
    EXPECT_GT(about.lblHomePage->x(), about.imgPayPal->geometry().right());
    EXPECT_TRUE(about.lblHomePage->geometry().intersects(
        QRect(0, about.imgPayPal->y(), 377, about.imgPayPal->height())));

    // The separators run under the logo row and above the button row.
    EXPECT_LT(about.Bevel2->y(), about.lblInfo->y());
    EXPECT_GT(about.Bevel2->y(), about.imgKestrava->geometry().bottom());
    EXPECT_GT(about.Bevel1->y(), about.imgPayPal->geometry().bottom());
    EXPECT_LT(about.Bevel1->y(), about.cmdOK->y());

    EXPECT_EQ(FromQ(about.cmdOK->text()), "OK");
    EXPECT_TRUE(about.cmdOK->isDefault());
    EXPECT_EQ(about.cmdOK->cursor().shape(), Qt::PointingHandCursor);
    for (QWidget* child : about.findChildren<QWidget*>()) {
        if (child != about.cmdOK) {
            EXPECT_EQ(child->focusPolicy(), Qt::NoFocus) << FromQ(child->objectName());
        }
    }
}

TEST_F(AboutTest, TextOfOurOwnVersionStrings) {
    AboutWindow about;
    EXPECT_EQ(FromQ(about.windowTitle()), "About Kestrava File Splitter");
    const QStringList lines = about.lblInfo->text().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 5);
    const std::string own = OwnExecutablePath();
    EXPECT_EQ(FromQ(lines[0]), std::string("Kestrava File Splitter v") + OLVO_VERSION);
    EXPECT_EQ(FromQ(lines[1]), GetVersionString(own, kVersionLegalCopyright));
    EXPECT_EQ(FromQ(lines[2]), GetVersionString(own, kVersionComments));
    EXPECT_EQ(FromQ(lines[3]), "");
    EXPECT_EQ(FromQ(lines[4]), GetVersionString(own, kVersionLegalTrademarks));
    for (int line : {1, 2, 4}) EXPECT_FALSE(lines[line].isEmpty());
}

TEST_F(AboutTest, StartUpCreatesItHiddenAndOwnedByTheMainWindow) {
    const ProgramWindows windows = StartUp({});
    ASSERT_NE(windows.about, nullptr);
    EXPECT_EQ(AboutWindow::Instance(), windows.about);
    EXPECT_EQ(windows.about->parentWidget(), windows.mainForm);
    EXPECT_FALSE(windows.about->isVisible());
    EXPECT_EQ(FromQ(windows.about->windowTitle()), "About Kestrava File Splitter");
    delete windows.mainForm;
    EXPECT_EQ(AboutWindow::Instance(), nullptr);
}

// Shows the window from Help > About and presses key in it; true when the key closed it.
bool CloseFromTheMenuWith(MainWindow& form, AboutWindow& about, Qt::Key key, QWidget*& shown,
                          QWidget*& focus, QPoint& offCentre) {
    bool closedByKey = false;
    QTimer::singleShot(0, &about, [&] {
        shown = QApplication::activeModalWidget();
        focus = about.focusWidget();
        offCentre = about.frameGeometry().center() - form.frameGeometry().center();
        QTest::keyClick(focus ? focus : &about, key);
        closedByKey = !about.isVisible();
    });
    // A window that ignores the key must not hang the test.
    QTimer::singleShot(3000, &about, [&] { about.reject(); });
    form.miAbout->trigger();
    return closedByKey;
}

TEST_F(AboutTest, TheMenuShowsItModallyOverTheMainWindowAndEnterOrEscapeClosesIt) {
    MainWindow& form = Create();
    form.move(200, 150);
    form.show();
    AboutWindow about(&form);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        SCOPED_TRACE(key);
        QSignalSpy pressed(about.cmdOK, &QPushButton::clicked);
        QWidget* shown = nullptr;
        QWidget* focus = nullptr;
        QPoint offCentre;
        EXPECT_TRUE(CloseFromTheMenuWith(form, about, key, shown, focus, offCentre));
        EXPECT_EQ(shown, &about);
        EXPECT_EQ(focus, about.cmdOK);
        EXPECT_LE(offCentre.manhattanLength(), 2);
        EXPECT_EQ(pressed.count(), 1);
        EXPECT_FALSE(about.isVisible());
        EXPECT_EQ(FromQ(about.windowTitle()), "About Kestrava File Splitter");
    }
}

TEST_F(AboutTest, LinkAndButtonOpenTheirPagesAndTheWindowStays) {
    AboutWindow about;
    about.show();
    QTest::mouseClick(about.lblHomePage, Qt::LeftButton);
    QTest::mouseClick(about.imgPayPal, Qt::LeftButton);
    QTest::mouseClick(about.imgPayPal, Qt::RightButton);
    QTest::mouseClick(about.imgKestrava, Qt::LeftButton);
    EXPECT_EQ(gui.urls,
              (std::vector<std::string>{std::string(HomePageUrl), std::string(DonationUrl)}));
    EXPECT_TRUE(about.isVisible());
}

TEST_F(AboutTest, MenuOpensTheHomeAndDonationPages) {
    MainWindow& form = Create();
    form.miHomePage->trigger();
    form.miDonate->trigger();
    EXPECT_EQ(gui.urls,
              (std::vector<std::string>{std::string(HomePageUrl), std::string(DonationUrl)}));
    EXPECT_TRUE(gui.boxes.empty());
}

}  // namespace
}  // namespace olvo::test
