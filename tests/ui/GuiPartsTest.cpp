// The parts around the main window: the progress window, the media prompt, the folder picker
// and the up-down buttons.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <limits>

#include "settings/BrowseFolder.h"
#include "support/TempDir.h"
#include "tests/ui/FakeGui.h"
#include "ui/GuiProgress.h"
#include "ui/GuiPrompt.h"
#include "ui/QtText.h"
#include "ui/UpDown.h"

namespace olvo::test {
namespace {

TEST(GuiProgressTest, TheWindowLivesFromBeginToEnd) {
    GuiProgress progress;
    EXPECT_EQ(progress.Window(), nullptr);
    progress.Begin("Restoring File...", 0);
    QWidget* window = progress.Window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->parentWidget(), nullptr);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMinMaxButtonsHint);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Restoring File..."));
    progress.SetMaximum(3);
    progress.SetPosition(2);
    EXPECT_EQ(progress.Bar()->maximum(), 3);
    EXPECT_EQ(progress.Bar()->value(), 2);
    progress.End();
    EXPECT_EQ(progress.Window(), nullptr);
}

TEST(GuiProgressTest, AnyPieceCountFitsTheBar) {
    constexpr std::uint32_t most = std::numeric_limits<std::uint32_t>::max();
    EXPECT_EQ(GuiProgress::BarMaximum(most), std::numeric_limits<int>::max());
    EXPECT_EQ(GuiProgress::BarValue(most, most), std::numeric_limits<int>::max());
    EXPECT_NEAR(GuiProgress::BarValue(most / 2 + 1, most), std::numeric_limits<int>::max() / 2, 1);
    EXPECT_EQ(GuiProgress::BarValue(1, most), 0);
    EXPECT_EQ(GuiProgress::BarValue(7, 10), 7);
    EXPECT_EQ(GuiProgress::BarValue(3, 0), 0);
    GuiProgress progress;
    progress.Begin("Splitting File...", most);
    progress.SetPosition(most);
    EXPECT_EQ(progress.Bar()->value(), progress.Bar()->maximum());
    progress.End();
}

TEST(GuiProgressTest, CopyingPumpsEventsAtMostEvery100Ms) {
    GuiProgress progress;
    progress.Begin("Splitting File...", 1);
    int fired = 0;
    QTimer::singleShot(0, [&] { ++fired; });
    progress.Bytes(1, 10);
    EXPECT_EQ(fired, 0);
    QTest::qWait(0);  // let the timer become due without it being delivered here
    fired = 0;
    QTimer::singleShot(0, [&] { ++fired; });
    QThread::msleep(110);
    progress.Bytes(2, 10);
    EXPECT_EQ(fired, 1);
    progress.End();
}

TEST(GuiPromptTest, RetryCancelBoxWithTheInformationIcon) {
    FakeGui gui;
    const ScopedGuiService installed(gui);
    GuiPrompt prompt;
    gui.boxAnswers = {BoxAnswer::Retry, BoxAnswer::Cancel};
    EXPECT_EQ(prompt.AskRetryCancel("Split", "Insert"), PromptAnswer::Retry);
    EXPECT_EQ(prompt.AskRetryCancel("Restore", "Insert"), PromptAnswer::Cancel);
    ASSERT_EQ(gui.boxes.size(), 2u);
    EXPECT_EQ(gui.boxes[1].caption, "Restore");
    EXPECT_EQ(gui.boxes[0].icon, BoxIcon::Information);
    EXPECT_EQ(gui.boxes[0].buttons, BoxButtons::RetryCancel);
}

TEST(BrowseFolderTest, SelectFolderGivesTheChoiceOrNothing) {
    FakeGui gui;
    const ScopedGuiService installed(gui);
    gui.folderAnswer = "/data/pieces";
    EXPECT_EQ(SelectFolder("Select destination folder", "/data"), "/data/pieces");
    ASSERT_EQ(gui.folderRequests.size(), 1u);
    EXPECT_EQ(gui.folderRequests[0].title, "Select destination folder");
    EXPECT_EQ(gui.folderRequests[0].argument, "/data");

    gui.folderAnswer = std::nullopt;
    EXPECT_EQ(SelectFolder("Select destination folder", "/data"), "");
    TBrowseFolder browser;
    browser.Path = "/start";
    EXPECT_FALSE(browser.Execute());
    EXPECT_EQ(browser.Path, "/start");
}

// The desktop's own chooser, answered by a timer once it is on the screen.
std::optional<std::string> RunChooser(const std::string& title, const std::string& path,
                                      const std::function<void(QFileDialog&)>& answer) {
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        answer(*dialog);
    });
    return ShowFolderDialog(title, path);
}

TEST(BrowseFolderTest, TheChooserStartsAtAnExistingFolderAndOffersFoldersOnly) {
    TempDir dir;
    const std::string inner = dir / "inner";
    std::filesystem::create_directories(inner);
    QString shownTitle, shownFolder;
    bool foldersOnly = false;
    const auto chosen = RunChooser("Select destination folder", inner, [&](QFileDialog& dialog) {
        shownTitle = dialog.windowTitle();
        shownFolder = dialog.directory().absolutePath();
        foldersOnly = dialog.fileMode() == QFileDialog::Directory &&
                      dialog.testOption(QFileDialog::ShowDirsOnly);
        static_cast<QDialog&>(dialog).accept();
    });
    EXPECT_EQ(shownTitle, QStringLiteral("Select destination folder"));
    EXPECT_EQ(shownFolder, ToQPath(inner));
    EXPECT_TRUE(foldersOnly);
    EXPECT_EQ(chosen, inner);

    const auto cancelled = RunChooser("t", dir / "missing", [&](QFileDialog& dialog) {
        shownFolder = dialog.directory().absolutePath();
        static_cast<QDialog&>(dialog).reject();
    });
    EXPECT_EQ(cancelled, std::nullopt);
    EXPECT_NE(shownFolder, ToQPath(dir / "missing"));
}

TEST(UpDownTest, StepsFromTheEditsNumberOrItsLastPosition) {
    QLineEdit edit(QStringLiteral("5"));
    TUpDown upDown(&edit, 1, 10, nullptr);
    int changes = 0;
    QObject::connect(&edit, &QLineEdit::textChanged, [&] { ++changes; });
    upDown.Step(+1);
    EXPECT_EQ(edit.text(), QStringLiteral("6"));
    edit.setText(QStringLiteral("10"));
    changes = 0;
    upDown.Step(+1);
    EXPECT_EQ(edit.text(), QStringLiteral("10"));
    EXPECT_EQ(changes, 0);
    edit.setText(QStringLiteral("abc"));
    upDown.Step(-1);
    EXPECT_EQ(edit.text(), QStringLiteral("9"));
}

}  // namespace
}  // namespace olvo::test
