// The parts around the main window: the progress window, the media prompt, the folder picker
// and the up-down buttons.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <limits>

#include "gui/FolderPicker.h"
#include "gui/GuiProgress.h"
#include "gui/GuiPrompt.h"
#include "gui/QtText.h"
#include "gui/UpDownButtons.h"
#include "support/TempDir.h"
#include "tests/gui/FakeGui.h"

namespace olvo::test {
namespace {

TEST(GuiProgressTest, TheWindowTellsWhatIsDoneAndCanBeCancelled) {
    std::int64_t now = 0;
    GuiProgress progress;
    progress.SetClock([&] { return now; });
    EXPECT_EQ(progress.Window(), nullptr);
    progress.SetSubject("Restoring Holiday.avi");
    progress.Begin("Restoring File...", 0);
    QWidget* window = progress.Window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->parentWidget(), nullptr);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMinMaxButtonsHint);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Restoring File..."));
    EXPECT_EQ(progress.SubjectLabel()->text(), QStringLiteral("Restoring Holiday.avi"));
    EXPECT_EQ(progress.CancelButton()->text(), QStringLiteral("Cancel"));

    // The bar moves with the bytes, within a piece too; the texts follow at the next update.
    progress.SetMaximum(3);
    progress.SetPosition(2);
    now += 100;
    progress.Bytes(3 << 20, 4 << 20);
    EXPECT_EQ(progress.Bar()->value(), GuiProgress::kBarRange * 3 / 4);
    EXPECT_EQ(progress.PieceLabel()->text(), QStringLiteral("Piece 2 of 3"));
    EXPECT_EQ(progress.BytesLabel()->text(), QStringLiteral("3.0 MiB of 4.0 MiB"));

    EXPECT_FALSE(progress.CancelRequested());
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_TRUE(progress.CancelRequested());
    EXPECT_TRUE(window->isVisible());  // only the operation ends it
    EXPECT_FALSE(progress.CancelButton()->isEnabled());
    progress.End();
    EXPECT_EQ(progress.Window(), nullptr);

    // The next operation starts afresh, named by its caption unless told otherwise.
    progress.Begin("Splitting File...", 2);
    EXPECT_FALSE(progress.CancelRequested());
    EXPECT_EQ(progress.SubjectLabel()->text(), QStringLiteral("Splitting File..."));
    QTest::mouseClick(progress.CancelButton(), Qt::LeftButton);
    EXPECT_TRUE(progress.CancelRequested());
    progress.End();
}

TEST(GuiProgressTest, BarAndTexts) {
    constexpr std::uint64_t most = std::numeric_limits<std::uint64_t>::max();
    const struct {
        std::uint64_t done, total;
        int bar;
    } bars[] = {{0, 0, 0},      {0, 10, 0},        {5, 10, 500},
                {10, 10, 1000}, {20, 10, 1000},    {1ull << 63, most, 500},
                {1, most, 0},   {most, most, 1000}};
    for (const auto& bar : bars)
        EXPECT_EQ(GuiProgress::BarValue(bar.done, bar.total), bar.bar)
            << bar.done << " " << bar.total;

    EXPECT_EQ(GuiProgress::SizeText(0), "0 B");
    EXPECT_EQ(GuiProgress::SizeText(1023), "1023 B");
    EXPECT_EQ(GuiProgress::SizeText(1024), "1.0 KiB");
    EXPECT_EQ(GuiProgress::SizeText(1.5 * (1 << 30)), "1.5 GiB");
    EXPECT_EQ(GuiProgress::SizeText(3.0 * (1ull << 50)), "3072.0 TiB");
    EXPECT_EQ(GuiProgress::PieceText(3, 37), "Piece 3 of 37");
    EXPECT_EQ(GuiProgress::BytesText(1 << 20, 2ull << 30), "1.0 MiB of 2.0 GiB");
    // A descriptor that claims less than there is: never "5 of 4".
    EXPECT_EQ(GuiProgress::BytesText(5000, 4000), "4.9 KiB of 4.9 KiB");

    const double rate = 48.3 * (1 << 20);
    EXPECT_EQ(GuiProgress::RateText(0, 100), "");
    EXPECT_EQ(GuiProgress::RateText(rate, 0), "48.3 MiB/s");
    EXPECT_EQ(GuiProgress::RateText(rate, static_cast<std::uint64_t>(rate * 16.5)),
              "48.3 MiB/s, 0:17 left");
    EXPECT_EQ(GuiProgress::RateText(1000, 1), "1000 B/s, 0:01 left");
    EXPECT_EQ(GuiProgress::RateText(1000, 3723 * 1000 - 1), "1000 B/s, 1:02:03 left");
}

TEST(GuiProgressTest, TextsChangeAtMostEvery100MsAndTheLastStateStillShows) {
    std::int64_t now = 1000;
    GuiProgress progress;
    progress.SetClock([&] { return now; });
    progress.Begin("Splitting File...", 1);
    const auto bytes = [&] { return FromQ(progress.BytesLabel()->text()); };
    now += 100;
    progress.Bytes(2, 10);
    EXPECT_EQ(bytes(), "2 B of 10 B");
    now += 10;
    progress.Bytes(3, 10);
    EXPECT_EQ(bytes(), "2 B of 10 B");
    // No call follows: the window shows the last state once it is due, by itself.
    now += 100;
    EXPECT_TRUE(QTest::qWaitFor([&] { return bytes() == "3 B of 10 B"; }, 2000));
    progress.End();
}

TEST(GuiPromptTest, RetryCancelBoxWithTheInformationIcon) {
    FakeGui gui;
    GuiPrompt prompt(gui);
    gui.boxAnswers = {BoxAnswer::Retry, BoxAnswer::Cancel};
    EXPECT_EQ(prompt.AskRetryCancel("Split", "Insert"), PromptAnswer::Retry);
    EXPECT_EQ(prompt.AskRetryCancel("Restore", "Insert"), PromptAnswer::Cancel);
    ASSERT_EQ(gui.boxes.size(), 2u);
    EXPECT_EQ(gui.boxes[1].caption, "Restore");
    EXPECT_EQ(gui.boxes[0].icon, BoxIcon::Information);
    EXPECT_EQ(gui.boxes[0].buttons, BoxButtons::RetryCancel);
}

TEST(FolderPickerTest, SelectFolderGivesTheChoiceOrNothing) {
    FakeGui gui;
    gui.folderAnswer = "/data/pieces";
    EXPECT_EQ(SelectFolder(gui, "Select destination folder", "/data"), "/data/pieces");
    ASSERT_EQ(gui.folderRequests.size(), 1u);
    EXPECT_EQ(gui.folderRequests[0].title, "Select destination folder");
    EXPECT_EQ(gui.folderRequests[0].argument, "/data");

    gui.folderAnswer = std::nullopt;
    EXPECT_EQ(SelectFolder(gui, "Select destination folder", "/data"), "");
    FolderPicker browser(gui);
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

TEST(FolderPickerTest, TheChooserStartsAtAnExistingFolderAndOffersFoldersOnly) {
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
    UpDownButtons upDown(&edit, 1, 10, nullptr);
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
