// The action button: validation, the piece size handed to the engine, whole splits and restores
// driven through the window's own controls, the reports and the busy state.

#include <QProgressBar>
#include <QTimer>

#include "tests/ui/MainFormFixture.h"

namespace olvo::test {
namespace {

namespace fs = std::filesystem;

class ActionTest : public MainFormFixture {
  protected:
    std::string Out() {
        const std::string out = dir / "out";
        fs::create_directories(out);
        return out;
    }
    // The files of the output folder, with their sizes.
    std::map<std::string, std::uintmax_t> OutFiles() {
        std::map<std::string, std::uintmax_t> found;
        for (const auto& entry : fs::directory_iterator(dir / "out"))
            found[entry.path().filename().string()] = entry.file_size();
        return found;
    }
    void SplitBy(int method, const QString& value, const std::string& file) {
        TfrmMainForm& form = Create({file});
        gui.folderAnswer = Out();
        QTest::mouseClick(form.cmdBrowseFolderSplit, Qt::LeftButton);
        form.cmbSplitMethod->setCurrentIndex(method);
        Retype(method == 0 ? form.cmbSplitSize->lineEdit() : form.txtNoFiles, value);
        QTest::mouseClick(form.cmdAction, Qt::LeftButton);
    }
};

TEST_F(ActionTest, EnterWithoutAMethodReportsMissingDetails) {
    TfrmMainForm& form = Create({MakeFile("data.bin", 5000)});
    QTest::keyClick(form.txtFileToSplit, Qt::Key_Return);
    ASSERT_EQ(gui.boxes.size(), 1u);
    EXPECT_EQ(gui.boxes[0].caption, "Error");
    EXPECT_EQ(gui.boxes[0].text, "Required details are missing!");
    EXPECT_EQ(gui.boxes[0].icon, BoxIcon::Error);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
    EXPECT_TRUE(gui.sounds.empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ActionTest, SizeInKilobytesBecomesThePieceSize) {
    SplitBy(0, "1420", MakeFile("data.bin", 10 << 20));
    EXPECT_TRUE(gui.boxes.empty());
    EXPECT_EQ(gui.sounds, std::vector<std::string>{"SystemAsterisk"});
    const auto out = OutFiles();
    EXPECT_EQ(out.at("data.s01"), 1454080u);
    EXPECT_EQ(out.at("data.s08"), (10u << 20) - 7 * 1454080u);
    EXPECT_EQ(out.count("data.s09"), 0u);
    EXPECT_EQ(out.count("data.bin.split"), 1u);
    EXPECT_EQ(out.count("data.bin.bat"), 1u);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ActionTest, NumberOfFilesGivesTheRoundedUpPieceSize) {
    SplitBy(1, "3", MakeFile("data.bin", 10000));
    EXPECT_EQ(Text(Form().lblSplitDetails), "Split file size:  4KB");
    EXPECT_TRUE(gui.boxes.empty());
    const auto out = OutFiles();
    EXPECT_EQ(out.at("data.s01"), 3334u);
    EXPECT_EQ(out.at("data.s02"), 3334u);
    EXPECT_EQ(out.at("data.s03"), 3332u);
    // The fields keep their contents, ready for the same action again.
    EXPECT_EQ(Text(Form().txtNoFiles), "3");
    EXPECT_EQ(Text(Form().txtSplitTo), dir / "out");
}

TEST_F(ActionTest, APieceAbove2GiBIsRefusedBeforeTheEngineRuns) {
    SplitBy(1, "1", MakeFile("big.iso", 3000000000ull));
    ASSERT_EQ(gui.boxes.size(), 1u);
    EXPECT_EQ(gui.boxes[0].text,
              "Split file size is too large! Increase the number of split files to be created.");
    EXPECT_TRUE(OutFiles().empty());

    gui.boxes.clear();
    SplitBy(1, "2", MakeFile("odd.iso", 4294967295ull));
    ASSERT_EQ(gui.boxes.size(), 1u);
    EXPECT_EQ(gui.boxes[0].text,
              "Split file size is too large! Increase the number of split files to be created.");
    EXPECT_TRUE(OutFiles().empty());
}

TEST_F(ActionTest, AnEmptyFileNeedsNoSplitting) {
    SplitBy(1, "2", MakeFile("empty.bin", 0));
    ASSERT_EQ(gui.boxes.size(), 1u);
    EXPECT_EQ(gui.boxes[0].caption, "Error");
    EXPECT_EQ(gui.boxes[0].text, "File does not need splitting!");
    EXPECT_TRUE(gui.sounds.empty());
}

TEST_F(ActionTest, EngineFailuresAreShownInTheErrorBox) {
    TfrmMainForm& form = Create({MakeFile("data.bin", 5000)});
    gui.folderAnswer = dir / "missing";
    QTest::mouseClick(form.cmdBrowseFolderSplit, Qt::LeftButton);
    form.cmbSplitMethod->setCurrentIndex(0);
    Retype(form.cmbSplitSize->lineEdit(), "1");
    QTest::mouseClick(form.cmdAction, Qt::LeftButton);
    ASSERT_EQ(gui.boxes.size(), 1u);
    EXPECT_EQ(gui.boxes[0].caption, "Error");
    EXPECT_EQ(gui.boxes[0].text, "Cannot create file " + dir / "missing/data.s01!");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(form.cmdAction->isEnabled());
}

TEST_F(ActionTest, MediaPromptsAreRetryCancelBoxes) {
    TfrmMainForm& form = Create({MakeFile("data.bin", 5000)});
    gui.folderAnswer = Out();
    QTest::mouseClick(form.cmdBrowseFolderSplit, Qt::LeftButton);
    form.cmbSplitMethod->setCurrentIndex(0);
    Retype(form.cmbSplitSize->lineEdit(), "2");

    // Room for two pieces; then the user cancels.
    std::int64_t room = 4096;
    files.freeSpace = [&](const std::string&) { return room - std::int64_t(files.written); };
    QTest::mouseClick(form.cmdAction, Qt::LeftButton);
    ASSERT_EQ(gui.boxes.size(), 2u);
    EXPECT_EQ(gui.boxes[0].caption, "Split");
    EXPECT_EQ(gui.boxes[0].buttons, BoxButtons::RetryCancel);
    EXPECT_EQ(gui.boxes[0].icon, BoxIcon::Information);
    EXPECT_EQ(gui.boxes[0].text,
              "The split file being copied is too large for the destination drive.\r\r"
              "Insert new media to continue.");
    EXPECT_EQ(gui.boxes[1].caption, "Error");
    EXPECT_EQ(gui.boxes[1].text, "Operation aborted!");
    EXPECT_EQ(OutFiles().size(), 2u);

    // Retry after a new medium was inserted. The pieces the cancelled split left belong to no
    // set (no descriptor claims them): the window asks before they are replaced.
    gui.boxes.clear();
    gui.boxAnswers = {BoxAnswer::Yes, BoxAnswer::Retry};
    gui.onBox = [&](const FakeGui::Box& box) {
        if (box.buttons == BoxButtons::RetryCancel) room = std::int64_t(1) << 40;
    };
    room = 4096 + std::int64_t(files.written);
    QTest::mouseClick(form.cmdAction, Qt::LeftButton);
    ASSERT_EQ(gui.boxes.size(), 2u);
    EXPECT_EQ(gui.boxes[0].buttons, BoxButtons::YesNo);
    EXPECT_EQ(gui.boxes[1].caption, "Split");
    EXPECT_EQ(gui.sounds, std::vector<std::string>{"SystemAsterisk"});
    EXPECT_EQ(OutFiles().at("data.s03"), 5000u - 4096u);
}

TEST_F(ActionTest, AnErrorThatEscapesResetsTheHourglassAndTheInputs) {
    TfrmMainForm& form = Create({MakeFile("data.bin", 5000)});
    form.cmbSplitMethod->setCurrentIndex(1);
    form.txtNoFiles->setText(QStringLiteral("x"));  // as a paste through the context menu
    ASSERT_EQ(gui.boxes.size(), 1u);
    gui.boxes.clear();
    QTest::mouseClick(form.cmdAction, Qt::LeftButton);
    ASSERT_EQ(gui.boxes.size(), 1u);
    EXPECT_EQ(gui.boxes[0].caption, "Kestrava File Splitter");
    EXPECT_EQ(gui.boxes[0].text, "'x' is not a valid integer value.");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(form.Busy());
    EXPECT_TRUE(form.cmdAction->isEnabled());
}

TEST_F(ActionTest, AWholeSplitAndRestoreThroughTheControls) {
    const std::string original = PatternBytes(50000, 7);
    const std::string source = dir / "Holiday.avi";
    WriteFile(source, original);
    const std::string pieces = Out();
    const std::string restored = dir / "restored";
    fs::create_directories(restored);

    TfrmMainForm& form = Create();
    form.show();
    QTest::keyClicks(form.txtFileToSplit, ToQPath(source));
    EXPECT_EQ(Text(form.lblFileSize), "49KB");
    gui.folderAnswer = pieces;
    QTest::mouseClick(form.cmdBrowseFolderSplit, Qt::LeftButton);
    form.cmbSplitMethod->setCurrentIndex(1);
    Retype(form.txtNoFiles, "4");
    EXPECT_EQ(Text(form.lblSplitDetails), "Split file size:  13KB");

    // Seen from inside the operation, at its first pumping point.
    struct During {
        bool busy = false, actionEnabled = true, inputsEnabled = true, menusEnabled = true;
        bool closed = true;
        QString caption;
        QSize size;
        int barMaximum = 0, barValue = 0;
        QRect barGeometry;
    } during;
    // A file of someone else's in the place of a piece: the window asks before it is replaced.
    WriteFile(pieces + "/Holiday.s03", "not of this set");
    gui.boxAnswers.push_back(BoxAnswer::Yes);
    QTimer::singleShot(0, &form, [&] {
        during.busy = form.Busy();
        during.actionEnabled = form.cmdAction->isEnabled();
        during.inputsEnabled = form.txtFileToSplit->isEnabled();
        during.menusEnabled = form.miConfig->isEnabled() && form.miExit->isEnabled();
        during.closed = form.close();
        if (QWidget* window = form.ProgressDisplay().Window()) {
            during.caption = window->windowTitle();
            during.size = window->size();
            during.barMaximum = form.ProgressDisplay().Bar()->maximum();
            during.barValue = form.ProgressDisplay().Bar()->value();
            during.barGeometry = form.ProgressDisplay().Bar()->geometry();
        }
    });
    QTest::mouseClick(form.cmdAction, Qt::LeftButton);
    ASSERT_EQ(gui.boxes.size(), 1u);
    EXPECT_EQ(gui.boxes[0].caption, "Split");
    EXPECT_EQ(gui.boxes[0].text,
              "The file Holiday.s03 would be overwritten!\r\rDo you want to overwrite it?");
    EXPECT_EQ(gui.boxes[0].buttons, BoxButtons::YesNo);
    gui.boxes.clear();
    EXPECT_EQ(gui.sounds, std::vector<std::string>{"SystemAsterisk"});
    EXPECT_TRUE(during.busy);
    EXPECT_FALSE(during.actionEnabled);
    EXPECT_FALSE(during.inputsEnabled);
    EXPECT_FALSE(during.menusEnabled);
    EXPECT_FALSE(during.closed);
    EXPECT_EQ(during.caption, QStringLiteral("Splitting File..."));
    EXPECT_EQ(during.size, QSize(214, 54));
    EXPECT_EQ(during.barGeometry, QRect(8, 20, 198, 18));
    EXPECT_EQ(during.barMaximum, 4);
    EXPECT_EQ(during.barValue, 1);
    EXPECT_EQ(form.ProgressDisplay().Window(), nullptr);
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.Busy());
    EXPECT_TRUE(form.cmdAction->isEnabled());
    EXPECT_TRUE(form.txtFileToSplit->isEnabled());
    EXPECT_EQ(OutFiles().size(), 7u);  // 4 pieces, .split, .bat, .sha256
    EXPECT_EQ(OutFiles().at("Holiday.s01"), 12500u);

    // Restore: the descriptor chosen with the Restore tab's "...", both options ticked.
    QTest::mouseClick(form.pcMain->tabBar(), Qt::LeftButton, Qt::NoModifier,
                      form.pcMain->tabBar()->tabRect(1).center());
    EXPECT_EQ(form.cmdAction->text(), QStringLiteral("&Restore"));
    gui.fileAnswer = pieces + "/Holiday.avi.split";
    QTest::mouseClick(form.cmdBrowseFile2, Qt::LeftButton);
    EXPECT_EQ(Text(form.txtRestoreTo), pieces);
    QTest::mouseClick(form.cmdVerify, Qt::LeftButton);
    ASSERT_EQ(gui.boxes.size(), 1u);
    EXPECT_EQ(gui.boxes[0].caption, "Verify");
    EXPECT_EQ(gui.boxes[0].text, "The split set is whole: every piece is there and undamaged.");
    EXPECT_EQ(gui.boxes[0].icon, BoxIcon::Information);
    gui.boxes.clear();
    gui.folderAnswer = restored;
    QTest::mouseClick(form.cmdBrowseFolderRestore, Qt::LeftButton);
    QTest::mouseClick(form.chkDeletePieces, Qt::LeftButton);
    QTest::mouseClick(form.chkRestoreTime, Qt::LeftButton);
    ASSERT_TRUE(form.chkDeletePieces->isChecked());
    ASSERT_TRUE(form.chkRestoreTime->isChecked());
    fs::last_write_time(source, fs::last_write_time(source));  // unchanged since the split
    QTest::keyClick(form.cmdAction, Qt::Key_Return);

    EXPECT_TRUE(gui.boxes.empty()) << (gui.boxes.empty() ? "" : gui.boxes[0].text);
    EXPECT_EQ(gui.sounds.size(), 2u);
    EXPECT_EQ(ReadFile(restored + "/Holiday.avi"), original);
    EXPECT_TRUE(OutFiles().empty());
    const auto difference =
        fs::last_write_time(source) - fs::last_write_time(restored + "/Holiday.avi");
    EXPECT_LE(std::chrono::abs(difference), std::chrono::seconds(2));
}

}  // namespace
}  // namespace olvo::test
