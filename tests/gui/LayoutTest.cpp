// The windows at any font size: with the default application font and with fonts of 12, 14 and
// 18 points (and, run again under QT_SCALE_FACTOR=2, at twice the pixels), every label, check box
// and button of every window shows its whole text, inside its window; with the default font the
// windows keep their design sizes. A palette turned dark reaches what the windows colour
// themselves.

#include <QAction>
#include <QCheckBox>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTextBrowser>
#include <QTimer>
#include <fstream>
#include <functional>

#include "gui/AboutWindow.h"
#include "gui/ConfigWindow.h"
#include "gui/HelpViewer.h"
#include "gui/UpDownButtons.h"
#include "gui/UpdateCheckWindow.h"
#include "tests/gui/MainWindowFixture.h"

namespace olvo::test {
namespace {

// The room a control has for its text, and that text as it is drawn; nothing when the control
// shows no text of its own.
struct TextRoom {
    QRect room;
    QString text;
    bool wraps = false;
};

std::optional<TextRoom> RoomOf(QWidget* widget) {
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (label->text().isEmpty()) return std::nullopt;
        const int margin = label->margin();
        return TextRoom{label->contentsRect().adjusted(margin, margin, -margin, -margin),
                        label->text(), label->wordWrap()};
    }
    if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        return TextRoom{box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box),
                        box->text()};
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        if (button->text().isEmpty()) return std::nullopt;
        QStyleOptionButton option;
        option.initFrom(button);
        if (button->autoDefault() || button->isDefault())
            option.features |= QStyleOptionButton::AutoDefaultButton;
        return TextRoom{
            button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button),
            button->text()};
    }
    return std::nullopt;
}

// "name: text" for each label, check box and button of window whose text does not fit it, or
// that reaches beyond its window.
std::vector<std::string> ClippedTexts(QWidget* window) {
    std::vector<std::string> clipped;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(window)) continue;
        const std::optional<TextRoom> room = RoomOf(widget);
        if (!room) continue;
        const QFontMetrics metrics = widget->fontMetrics();
        bool fits = true;
        if (room->wraps) {
            fits =
                static_cast<QLabel*>(widget)->heightForWidth(widget->width()) <= widget->height();
        } else {
            const QSize text = metrics.size(Qt::TextShowMnemonic, room->text);
            fits = text.width() <= room->room.width() && text.height() <= room->room.height();
        }
        const QRect inWindow(widget->mapTo(window, QPoint(0, 0)), widget->size());
        if (!window->rect().contains(inWindow)) fits = false;
        if (!fits)
            clipped.push_back(widget->objectName().toStdString() + ": " + room->text.toStdString());
    }
    return clipped;
}

class LayoutTest : public MainWindowFixture {
  protected:
    ~LayoutTest() override {
        QApplication::setFont(m_defaultFont);
        QApplication::setPalette(m_defaultPalette);
    }

    // Shows window as the program would and hands back what does not fit in it.
    static std::vector<std::string> Shown(QWidget* window) {
        window->show();
        QApplication::processEvents();
        return ClippedTexts(window);
    }

    QFont m_defaultFont = QApplication::font();
    QPalette m_defaultPalette = QApplication::palette();
};

TEST_F(LayoutTest, EveryTextFitsAtEveryFontSize) {
    // A file that splits into 37 pieces of 40 KB, and the update check finding a newer release.
    const std::string file = MakeFile("Holiday of the year.avi", 1500000);
    const std::string ini =
        "[OLVO.exe]\nRelease=2147483647\nVersion=1.1.0\nDisplayText=Version 1.1.0 is out. It "
        "splits and restores large files faster and remembers the last folders used.\n"
        "Location=http://www.example.com/olvo/files/\nFileName=olvo-1.1.0.zip\n";

    for (const int points : {0, 12, 14, 18}) {
        SCOPED_TRACE(points == 0 ? std::string("the default font")
                                 : std::to_string(points) + " pt");
        QFont font = m_defaultFont;
        if (points) font.setPointSize(points);
        QApplication::setFont(font);

        MainForm form = Create();
        auto* config = new ConfigWindow(gui, *registry, ApplyTo(form), form.window);
        auto* check = new UpdateCheckWindow(gui, form.window);
        auto* about = new AboutWindow(gui, form.window);
        form->OpenFile(MainWindow::Operation::Split, file);
        form.splitMethodBox->setCurrentIndex(0);
        form.splitSizeBox->setEditText(QStringLiteral("40"));
        ASSERT_EQ(Text(form.splitDetailsLabel), "Split files created:  37 (+ 3)");
        EXPECT_EQ(Shown(form.window), std::vector<std::string>{});
        form.splitMethodBox->setCurrentIndex(1);
        form.pieceCountEdit->setText(QStringLiteral("32767"));
        EXPECT_EQ(Shown(form.window), std::vector<std::string>{});
        form.tabs->setCurrentWidget(form.restoreTab);
        EXPECT_EQ(Shown(form.window), std::vector<std::string>{});

        config->splitToFolderBox->setChecked(true);
        EXPECT_EQ(Shown(config), std::vector<std::string>{});
        config->hide();

        check->SetSetupSource([&] {
            UpdateCheckSetup setup;
            setup.applicationTitle = "Kestrava File Splitter";
            setup.ownRelease = "100";
            setup.installedVersion = "1.0.0";
            setup.sectionName = "OLVO.exe";
            setup.homePageUrl = "http://www.example.com";
            setup.localFolder = dir.Path();
            setup.download = [&](const std::string&, const std::string& localPath) {
                return static_cast<bool>(std::ofstream(localPath) << ini);
            };
            return setup;
        });
        EXPECT_EQ(Shown(check), std::vector<std::string>{});
        EXPECT_TRUE(check->downloadGroup->isVisible());
        check->hide();

        EXPECT_EQ(Shown(about), std::vector<std::string>{});
        about->hide();

        HelpViewerSlot help(gui);
        help.Show(OLVO_HELP_FILE);
        ASSERT_NE(help.Viewer(), nullptr);
        EXPECT_EQ(Shown(help.Viewer()), std::vector<std::string>{});

        // The windows each carry the program's icon.
        for (QWidget* window : {static_cast<QWidget*>(form.window), static_cast<QWidget*>(config),
                                static_cast<QWidget*>(check), static_cast<QWidget*>(about)})
            EXPECT_FALSE(window->windowIcon().isNull()) << window->objectName().toStdString();
    }
}

TEST_F(LayoutTest, APaletteTurnedDarkWhileTheWindowsAreOpenReachesFieldsLinksAndHelpPages) {
    MainForm form = Create();
    auto* about = new AboutWindow(gui, form.window);
    HelpViewer help(gui);
    ASSERT_TRUE(help.OpenHelpFile(OLVO_HELP_FILE));
    help.show();

    QPalette dark = QApplication::palette();
    dark.setColor(QPalette::Window, QColor(53, 53, 53));
    dark.setColor(QPalette::Base, QColor(35, 35, 35));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Link, QColor(110, 170, 255));
    // Turned inside the event loop, as a desktop turns it while the program runs.
    QTimer::singleShot(0, [&] {
        QApplication::setPalette(dark);
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    });
    QApplication::exec();

    // The display-only field greys like the dark face, with light text.
    EXPECT_EQ(form.splitFolderEdit->palette().color(QPalette::Base), QColor(53, 53, 53));
    EXPECT_EQ(form.splitFolderEdit->palette().color(QPalette::Text), QColor(230, 230, 230));
    EXPECT_EQ(about->homePageLink->palette().color(about->homePageLink->foregroundRole()),
              QColor(110, 170, 255));
    // The pages: links in the link colour, headings halfway between it and the text.
    const QString sheet = help.pageView->document()->defaultStyleSheet();
    EXPECT_TRUE(sheet.contains(QStringLiteral("a { color: #6eaaff; }"))) << sheet.toStdString();
    EXPECT_TRUE(sheet.contains(QStringLiteral("h1, h2 { color: #aac8f2; }")))
        << sheet.toStdString();
}

}  // namespace
}  // namespace olvo::test
