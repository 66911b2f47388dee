// The About window: its controls, its text from our own version strings, its modal showing from
// the Help menu, and the web addresses it and the menu open.

#include <QAction>
#include <QFrame>
#include <QPixmap>
#include <QPointer>
#include <QSignalSpy>
#include <QTimer>

#include "core/version/ExecutablePath.h"
#include "core/version/GetFileVerInfo.h"
#include "core/version/ProductUrls.h"
#include "gui/AboutWindow.h"
#include "gui/Application.h"
#include "tests/gui/MainWindowFixture.h"

namespace olvo::test {
namespace {

class AboutTest : public MainWindowFixture {};

TEST_F(AboutTest, ControlsAsLaidOut) {
    AboutWindow about(gui);
    EXPECT_EQ(about.size(), QSize(377, 230));
    EXPECT_TRUE(about.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(about.windowFlags() & Qt::WindowMinMaxButtonsHint);
    EXPECT_FALSE(about.isVisible());

    EXPECT_EQ(about.infoLabel->size(), QSize(361, 89));
    EXPECT_FALSE(about.infoLabel->wordWrap());
    EXPECT_EQ(about.infoLabel->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    EXPECT_EQ(about.infoLabel->textFormat(), Qt::PlainText);

    // The logo fills its box at the top right; the button shows at its own size.
    EXPECT_EQ(about.logoImage->size(), QSize(136, 40));
    EXPECT_EQ(about.logoImage->geometry().right(), 377 - 8 - 1);
    EXPECT_TRUE(about.logoImage->hasScaledContents());
    EXPECT_EQ(about.logoImage->pixmap().size(), QSize(136, 40));
    EXPECT_EQ(about.donateImage->size(), QSize(62, 31));
    EXPECT_EQ(about.donateImage->pixmap().size(), QSize(62, 31));
    EXPECT_EQ(about.donateImage->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(FromQ(about.donateImage->toolTip()),
              "If you would like to contribute and help ensure further development of this "
              "product, please make a donation via PayPal");

    EXPECT_EQ(Text(about.homePageLink), "Go to Kestrava home page...");
    EXPECT_TRUE(about.homePageLink->font().underline());
    // The link's colour is the palette's, a dark one's included.
    EXPECT_EQ(about.homePageLink->foregroundRole(), QPalette::Link);
    EXPECT_EQ(about.homePageLink->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(about.homePageLink->toolTip().isEmpty());
    // On the donation button's row, at the right.
    EXPECT_GT(about.homePageLink->x(), about.donateImage->geometry().right());
    EXPECT_TRUE(about.homePageLink->geometry().intersects(
        QRect(0, about.donateImage->y(), 377, about.donateImage->height())));

    // The separators run under the logo row and above the button row.
    EXPECT_LT(about.upperLine->y(), about.infoLabel->y());
    EXPECT_GT(about.upperLine->y(), about.logoImage->geometry().bottom());
    EXPECT_GT(about.lowerLine->y(), about.donateImage->geometry().bottom());
    EXPECT_LT(about.lowerLine->y(), about.okButton->y());

    EXPECT_EQ(FromQ(about.okButton->text()), "OK");
    EXPECT_TRUE(about.okButton->isDefault());
    EXPECT_EQ(about.okButton->cursor().shape(), Qt::PointingHandCursor);
    for (QWidget* child : about.findChildren<QWidget*>()) {
        if (child != about.okButton) {
            EXPECT_EQ(child->focusPolicy(), Qt::NoFocus) << FromQ(child->objectName());
        }
    }
}

TEST_F(AboutTest, TextOfOurOwnVersionStrings) {
    AboutWindow about(gui);
    EXPECT_EQ(FromQ(about.windowTitle()), "About Kestrava File Splitter");
    const QStringList lines = about.infoLabel->text().split(QLatin1Char('\n'));
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
    const ProgramWindows windows = StartUp(Services(), {});
    ASSERT_NE(windows.about, nullptr);
    const QPointer<AboutWindow> about(windows.about);
    EXPECT_EQ(windows.about->parentWidget(), windows.mainWindow);
    EXPECT_FALSE(windows.about->isVisible());
    EXPECT_EQ(FromQ(windows.about->windowTitle()), "About Kestrava File Splitter");
    delete windows.mainWindow;
    EXPECT_EQ(about.data(), nullptr);
}

// Shows the window from Help > About and presses key in it; true when the key closed it.
bool CloseFromTheMenuWith(MainForm form, AboutWindow& about, Qt::Key key, QWidget*& shown,
                          QWidget*& focus, QPoint& offCentre) {
    bool closedByKey = false;
    QTimer::singleShot(0, &about, [&] {
        shown = QApplication::activeModalWidget();
        focus = about.focusWidget();
        offCentre = about.frameGeometry().center() - form->frameGeometry().center();
        QTest::keyClick(focus ? focus : &about, key);
        closedByKey = !about.isVisible();
    });
    // A window that ignores the key must not hang the test.
    QTimer::singleShot(3000, &about, [&] { about.reject(); });
    form.aboutAction->trigger();
    return closedByKey;
}

TEST_F(AboutTest, TheMenuShowsItModallyOverTheMainWindowAndEnterOrEscapeClosesIt) {
    const ProgramWindows windows = StartAll();
    MainForm form = *windows.mainWindow;
    form->move(200, 150);
    form->show();
    AboutWindow& about = *windows.about;
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        SCOPED_TRACE(key);
        QSignalSpy pressed(about.okButton, &QPushButton::clicked);
        QWidget* shown = nullptr;
        QWidget* focus = nullptr;
        QPoint offCentre;
        EXPECT_TRUE(CloseFromTheMenuWith(form, about, key, shown, focus, offCentre));
        EXPECT_EQ(shown, &about);
        EXPECT_EQ(focus, about.okButton);
        EXPECT_LE(offCentre.manhattanLength(), 2);
        EXPECT_EQ(pressed.count(), 1);
        EXPECT_FALSE(about.isVisible());
        EXPECT_EQ(FromQ(about.windowTitle()), "About Kestrava File Splitter");
    }
}

TEST_F(AboutTest, LinkAndButtonOpenTheirPagesAndTheWindowStays) {
    AboutWindow about(gui);
    about.show();
    QTest::mouseClick(about.homePageLink, Qt::LeftButton);
    QTest::mouseClick(about.donateImage, Qt::LeftButton);
    QTest::mouseClick(about.donateImage, Qt::RightButton);
    QTest::mouseClick(about.logoImage, Qt::LeftButton);
    EXPECT_EQ(gui.urls,
              (std::vector<std::string>{std::string(HomePageUrl), std::string(DonationUrl)}));
    EXPECT_TRUE(about.isVisible());
}

TEST_F(AboutTest, MenuOpensTheHomeAndDonationPages) {
    MainForm form = Create();
    form.homePageAction->trigger();
    form.donateAction->trigger();
    EXPECT_EQ(gui.urls,
              (std::vector<std::string>{std::string(HomePageUrl), std::string(DonationUrl)}));
    EXPECT_TRUE(gui.boxes.empty());
}

}  // namespace
}  // namespace olvo::test
