// The action button: validation, the piece size handed to the engine, whole splits and restores
// driven through the window's own controls, the reports and the busy state.

#include <QElapsedTimer>
#include <QProgressBar>
#include <QSpinBox>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include "gui/StatusLine.h"
#include "tests/gui/MainWindowFixture.h"

namespace olvo::test {
namespace {

namespace fs = std::filesystem;

class ActionTest : public MainWindowFixture {
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
        MainForm form = Create({file});
        gui.folderAnswer = Out();
        QTest::mouseClick(form.browseSplitFolderButton, Qt::LeftButton);
        form.splitMethodBox->setCurrentIndex(method);
        Retype(method == 0 ? form.splitSizeBox->lineEdit() : form.pieceCountEdit, value);
        QTest::mouseClick(form.actionButton, Qt::LeftButton);
        WaitForOperation();
    }
};

TEST_F(ActionTest, EnterWithoutAMethodReportsMissingDetails) {
    MainForm form = Create({MakeFile("data.bin", 5000)});
    QTest::keyClick(form.sourceFileEdit, Qt::Key_Return);
    WaitForOperation();
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
    EXPECT_EQ(Text(Form().splitDetailsLabel), "Split file size:  4KB");
    EXPECT_TRUE(gui.boxes.empty());
    const auto out = OutFiles();
    EXPECT_EQ(out.at("data.s01"), 3334u);
    EXPECT_EQ(out.at("data.s02"), 3334u);
    EXPECT_EQ(out.at("data.s03"), 3332u);
    // The fields keep their contents, ready for the same action again.
    EXPECT_EQ(Text(Form().pieceCountEdit), "3");
    EXPECT_EQ(Text(Form().splitFolderEdit), dir / "out");
}

TEST_F(ActionTest, APieceAbove4TiBIsRefusedBeforeTheEngineRuns) {
    SplitBy(1, "1", MakeFile("big.iso", (4ull << 40) + 1));
    ASSERT_EQ(gui.boxes.size(), 1u);
    EXPECT_EQ(gui.boxes[0].text,
              "Split file size is too large! Increase the number of split files to be created.");
    EXPECT_TRUE(OutFiles().empty());

    gui.boxes.clear();
    SplitBy(1, "2", MakeFile("odd.iso", (8ull << 40) + 1));
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
    MainForm form = Create({MakeFile("data.bin", 5000)});
    gui.folderAnswer = dir / "missing";
    QTest::mouseClick(form.browseSplitFolderButton, Qt::LeftButton);
    form.splitMethodBox->setCurrentIndex(0);
    Retype(form.splitSizeBox->lineEdit(), "1");
    QTest::mouseClick(form.actionButton, Qt::LeftButton);
    WaitForOperation();
    ASSERT_EQ(gui.boxes.size(), 1u);
    EXPECT_EQ(gui.boxes[0].caption, "Error");
    EXPECT_EQ(gui.boxes[0].text,
              "Cannot create file " + dir / "missing/data.s01: No such file or directory!");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(form.actionButton->isEnabled());
}

TEST_F(ActionTest, MediaPromptsAreRetryCancelBoxes) {
    MainForm form = Create({MakeFile("data.bin", 5000)});
    gui.folderAnswer = Out();
    QTest::mouseClick(form.browseSplitFolderButton, Qt::LeftButton);
    form.splitMethodBox->setCurrentIndex(0);
    Retype(form.splitSizeBox->lineEdit(), "2");

    // Room for two pieces; then the user cancels.
    std::int64_t room = 4096;
    files.freeSpace = [&](const std::string&) { return room - std::int64_t(files.written); };
    QTest::mouseClick(form.actionButton, Qt::LeftButton);
    WaitForOperation();
    ASSERT_EQ(gui.boxes.size(), 2u);
    EXPECT_EQ(gui.boxes[0].caption, "Split");
    EXPECT_EQ(gui.boxes[0].buttons, BoxButtons::RetryCancel);
    EXPECT_EQ(gui.boxes[0].icon, BoxIcon::Information);
    EXPECT_EQ(gui.boxes[0].text,
              "The split file being copied is too large for the destination drive.\r\r"
              "Insert new media to continue.");
    EXPECT_EQ(gui.boxes[1].caption, "Error");
    EXPECT_EQ(gui.boxes[1].text, "Operation aborted!");
    EXPECT_TRUE(OutFiles().empty());  // Cancel takes this medium's pieces away

    // Retry after a new medium was inserted.
    gui.boxes.clear();
    gui.boxAnswers = {BoxAnswer::Retry};
    gui.onBox = [&](const FakeGui::Box& box) {
        if (box.buttons == BoxButtons::RetryCancel) room = std::int64_t(1) << 40;
    };
    room = 4096 + std::int64_t(files.written);
    QTest::mouseClick(form.actionButton, Qt::LeftButton);
    WaitForOperation();
    ASSERT_EQ(gui.boxes.size(), 1u);
    EXPECT_EQ(gui.boxes[0].caption, "Split");
    EXPECT_EQ(gui.sounds, std::vector<std::string>{"SystemAsterisk"});
    EXPECT_EQ(OutFiles().at("data.s03"), 5000u - 4096u);
}

TEST_F(ActionTest, AnErrorThatEscapesResetsTheHourglassAndTheInputs) {
    MainForm form = Create({MakeFile("data.bin", 5000)});
    form.splitMethodBox->setCurrentIndex(1);
    form.pieceCountEdit->setText(QStringLiteral("x"));  // as a paste through the context menu
    ASSERT_EQ(gui.boxes.size(), 1u);
    gui.boxes.clear();
    QTest::mouseClick(form.actionButton, Qt::LeftButton);
    WaitForOperation();
    ASSERT_EQ(gui.boxes.size(), 1u);
    EXPECT_EQ(gui.boxes[0].caption, "Kestrava File Splitter");
    EXPECT_EQ(gui.boxes[0].text, "'x' is not a valid integer value.");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(form->Busy());
    EXPECT_TRUE(form.actionButton->isEnabled());
}

TEST_F(ActionTest, AWholeSplitAndRestoreThroughTheControls) {
    const std::string original = PatternBytes(50000, 7);
    const std::string source = dir / "Holiday.avi";
    WriteFile(source, original);
    const std::string pieces = Out();
    const std::string restored = dir / "restored";
    fs::create_directories(restored);

    MainForm form = Create();
    form->show();
    QTest::keyClicks(form.sourceFileEdit, ToQPath(source));
    EXPECT_EQ(Text(form.fileSizeLabel), "49KB");
    gui.folderAnswer = pieces;
    QTest::mouseClick(form.browseSplitFolderButton, Qt::LeftButton);
    form.splitMethodBox->setCurrentIndex(1);
    Retype(form.pieceCountEdit, "4");
    EXPECT_EQ(Text(form.splitDetailsLabel), "Split file size:  13KB");

    // Seen from the window while the worker waits for the answer to its question, and in the
    // progress window once it shows the first piece.
    struct During {
        bool busy = false, actionEnabled = true, inputsEnabled = true, menusEnabled = true;
        QString caption, subject, piece;
        bool cancellable = false;
    } during;
    // A file of someone else's in the place of a piece: the window asks before it is replaced.
    WriteFile(pieces + "/Holiday.s03", "not of this set");
    gui.boxAnswers.push_back(BoxAnswer::Yes);
    gui.onBox = [&](const FakeGui::Box&) {
        during.busy = form->Busy();
        during.actionEnabled = form.actionButton->isEnabled();
        during.inputsEnabled = form.sourceFileEdit->isEnabled();
        during.menusEnabled = form.configurationAction->isEnabled() && form.exitAction->isEnabled();
    };
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        QWidget* window = ProgressWindow();
        if (!window || !during.piece.isEmpty()) return;
        const QString piece = window->findChild<QLabel*>(QStringLiteral("lblPiece"))->text();
        if (piece.isEmpty() || piece.startsWith(QStringLiteral("Piece 0"))) return;
        during.caption = window->windowTitle();
        during.subject = window->findChild<QLabel*>(QStringLiteral("lblSubject"))->text();
        during.piece = window->findChild<QLabel*>(QStringLiteral("lblPiece"))->text();
        during.cancellable =
            window->findChild<QPushButton*>(QStringLiteral("cmdCancel"))->isEnabled();
    });
    watch.start(0);
    // Each piece's space check takes a while, so that the window is seen at the first piece.
    files.freeSpace = [](const std::string&) {
        QThread::msleep(100);
        return std::int64_t(1) << 40;
    };
    QTest::mouseClick(form.actionButton, Qt::LeftButton);
    WaitForOperation();
    watch.stop();
    files.freeSpace = nullptr;
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
    EXPECT_EQ(during.caption, QStringLiteral("Splitting File..."));
    EXPECT_EQ(during.subject, QStringLiteral("Splitting Holiday.avi"));
    EXPECT_EQ(during.piece, QStringLiteral("Piece 1 of 4"));
    EXPECT_TRUE(during.cancellable);
    EXPECT_EQ(ProgressWindow(), nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->Busy());
    EXPECT_TRUE(form.actionButton->isEnabled());
    EXPECT_TRUE(form.sourceFileEdit->isEnabled());
    EXPECT_EQ(OutFiles().size(), 7u);  // 4 pieces, .split, .bat, .sha256
    EXPECT_EQ(OutFiles().at("Holiday.s01"), 12500u);
    // Seen in the window: what was done, and the way to the pieces.
    EXPECT_EQ(form.statusLine->Message(), "Split into 4 pieces in " + pieces);
    // The folder is the button that opens it; a folder too long for the line is shortened in
    // the middle.
    const QString head = form.statusLine->textLabel->text();
    const QString folder = form.statusLine->openFolderButton->text();
    EXPECT_EQ(head, QStringLiteral("Split into 4 pieces in")) << FromQ(head);
    EXPECT_TRUE(folder.startsWith(QLatin1Char('/')) && folder.endsWith(QStringLiteral("out")))
        << FromQ(folder);
    EXPECT_LE(form.statusLine->openFolderButton->geometry().right(),
              form.statusLine->contentsRect().right());
    EXPECT_EQ(FromQ(form.statusLine->textLabel->toolTip()), form.statusLine->Message());
    ASSERT_TRUE(form.statusLine->openFolderButton->isVisible());
    QTest::mouseClick(form.statusLine->openFolderButton, Qt::LeftButton);
    EXPECT_EQ(gui.urls, std::vector<std::string>{"file://" + pieces});

    // Restore: the descriptor chosen with the Restore tab's "...", both options ticked.
    QTest::mouseClick(form.tabs->tabBar(), Qt::LeftButton, Qt::NoModifier,
                      form.tabs->tabBar()->tabRect(1).center());
    EXPECT_EQ(form.actionButton->text(), QStringLiteral("&Restore"));
    gui.fileAnswer = pieces + "/Holiday.avi.split";
    QTest::mouseClick(form.browseDescriptorButton, Qt::LeftButton);
    EXPECT_EQ(Text(form.restoreFolderEdit), pieces);
    QTest::mouseClick(form.verifyButton, Qt::LeftButton);
    WaitForOperation();
    EXPECT_TRUE(gui.boxes.empty());
    auto* verify = form.Get<QWidget>("VerifyWindow");
    ASSERT_NE(verify, nullptr);
    EXPECT_EQ(verify->findChild<QLabel*>(QStringLiteral("lblVerifySummary"))->text(),
              QStringLiteral("The split set is whole: every piece is there and undamaged."));
    EXPECT_EQ(verify->findChild<QLabel*>(QStringLiteral("lblPieceList"))->text(),
              QStringLiteral("Whole: 1-4"));
    verify->close();
    gui.boxes.clear();
    gui.folderAnswer = restored;
    QTest::mouseClick(form.browseRestoreFolderButton, Qt::LeftButton);
    QTest::mouseClick(form.deletePiecesBox, Qt::LeftButton);
    QTest::mouseClick(form.restoreTimeBox, Qt::LeftButton);
    ASSERT_TRUE(form.deletePiecesBox->isChecked());
    ASSERT_TRUE(form.restoreTimeBox->isChecked());
    fs::last_write_time(source, fs::last_write_time(source));  // unchanged since the split
    QTest::keyClick(form.actionButton, Qt::Key_Return);
    WaitForOperation();

    EXPECT_TRUE(gui.boxes.empty()) << (gui.boxes.empty() ? "" : gui.boxes[0].text);
    EXPECT_EQ(gui.sounds.size(), 2u);
    EXPECT_EQ(ReadFile(restored + "/Holiday.avi"), original);
    EXPECT_TRUE(OutFiles().empty());
    EXPECT_EQ(form.statusLine->Message(), "Restored Holiday.avi in " + restored);
    QTest::mouseClick(form.statusLine->openFolderButton, Qt::LeftButton);
    EXPECT_EQ(gui.urls.back(), "file://" + restored);
    // The descriptor it named is gone; the source that was split is still there.
    EXPECT_EQ(Text(form.descriptorEdit), "");
    EXPECT_EQ(Text(form.sourceFileEdit), source);
    EXPECT_TRUE(gui.notifications.empty());  // quick, and in front
    const auto difference =
        fs::last_write_time(source) - fs::last_write_time(restored + "/Holiday.avi");
    EXPECT_LE(std::chrono::abs(difference), std::chrono::seconds(2));
}

// A split with a recovery piece, a piece lost, and the Verify window's Repair bringing it back.
TEST_F(ActionTest, ALostPieceIsRebuiltThroughTheVerifyWindow) {
    const std::string file = MakeFile("Holiday.avi", 50000);
    MainForm form = Create({file});
    auto* recoveryBox = form.Get<QSpinBox>("recoveryPiecesBox");
    gui.folderAnswer = Out();
    QTest::mouseClick(form.browseSplitFolderButton, Qt::LeftButton);
    form.splitMethodBox->setCurrentIndex(1);
    Retype(form.pieceCountEdit, "4");
    EXPECT_EQ(recoveryBox->maximum(), 4);
    recoveryBox->setValue(1);
    EXPECT_EQ(Text(form.pieceCountNoteLabel), "files (+ 5)");  // .split, .bat, .sha256, 2 .par2
    QTest::mouseClick(form.actionButton, Qt::LeftButton);
    WaitForOperation();
    ASSERT_TRUE(gui.boxes.empty()) << gui.boxes[0].text;
    EXPECT_EQ(OutFiles().size(), 9u);  // and the 4 pieces
    EXPECT_EQ(form.statusLine->Message(), "Split into 4 pieces and 1 recovery piece in " + Out());
    const std::string piece = Out() + "/Holiday.s02";
    const std::string original = ReadFile(piece);
    fs::remove(piece);
    // Two lost are more than one recovery piece rebuilds: no Repair.
    fs::rename(Out() + "/Holiday.s03", dir / "s03");

    gui.fileAnswer = Out() + "/Holiday.avi.split";
    form.tabs->setCurrentWidget(form.restoreTab);
    QTest::mouseClick(form.browseDescriptorButton, Qt::LeftButton);
    QTest::mouseClick(form.verifyButton, Qt::LeftButton);
    WaitForOperation();
    auto* verify = form.Get<QWidget>("VerifyWindow");
    ASSERT_NE(verify, nullptr);
    auto* repair = verify->findChild<QPushButton*>(QStringLiteral("repairButton"));
    auto* line = verify->findChild<QLabel*>(QStringLiteral("lblRecovery"));
    EXPECT_EQ(line->text(), QStringLiteral("2 pieces are missing or damaged and 1 recovery piece "
                                           "can rebuild at most 1!"));
    EXPECT_FALSE(repair->isEnabled());
    fs::rename(dir / "s03", Out() + "/Holiday.s03");
    QTest::mouseClick(form.verifyButton, Qt::LeftButton);
    WaitForOperation();
    EXPECT_EQ(line->text(), QStringLiteral("1 piece is missing or damaged; the 1 recovery piece "
                                           "can rebuild it."));
    ASSERT_TRUE(repair->isVisible() && repair->isEnabled());
    QTest::mouseClick(repair, Qt::LeftButton);
    WaitForOperation();
    EXPECT_TRUE(gui.boxes.empty());
    EXPECT_EQ(ReadFile(piece), original);
    EXPECT_EQ(line->text(),
              QStringLiteral("Rebuilt 1 piece from the recovery pieces: Holiday.s02."));
    EXPECT_EQ(verify->findChild<QLabel*>(QStringLiteral("lblPieceList"))->text(),
              QStringLiteral("Whole: 1, 3-4; rebuilt: 2"));
    EXPECT_FALSE(repair->isEnabled());
    // The choice is kept for the next run.
    Settings stored;
    LoadConfigValues(*registry, stored);
    EXPECT_EQ(stored.RecoveryPieces, 1u);
}

TEST_F(ActionTest, CancelInTheProgressWindowEndsASplitAsCancelAtAPromptDoes) {
    // Big enough to be stopped part-way: 64 MiB in pieces of 4 MiB.
    constexpr std::uint64_t kPiece = 4u << 20;
    const std::string source = MakeFile("big.bin", 16 * kPiece);
    MainForm form = Create({source});
    gui.folderAnswer = Out();
    QTest::mouseClick(form.browseSplitFolderButton, Qt::LeftButton);
    form.splitMethodBox->setCurrentIndex(0);
    Retype(form.splitSizeBox->lineEdit(), "4096");

    // Each piece's space check takes a while, as on a slow medium, so that the user sees the
    // window; the user waits until it shows bytes, reads it, then presses Cancel.
    files.freeSpace = [](const std::string&) {
        QThread::msleep(100);
        return std::int64_t(1) << 40;
    };
    QString subject, bytes;
    QTimer user;
    user.setInterval(0);
    QObject::connect(&user, &QTimer::timeout, [&] {
        QWidget* window = ProgressWindow();
        if (!window) return;
        bytes = window->findChild<QLabel*>(QStringLiteral("lblBytes"))->text();
        if (bytes.isEmpty()) return;
        subject = window->findChild<QLabel*>(QStringLiteral("lblSubject"))->text();
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdCancel")),
                          Qt::LeftButton);
        user.stop();
    });
    user.start();
    QTest::mouseClick(form.actionButton, Qt::LeftButton);
    WaitForOperation();

    EXPECT_EQ(subject, QStringLiteral("Splitting big.bin"));
    EXPECT_TRUE(bytes.endsWith(QStringLiteral(" of 64.0 MiB"))) << bytes.toStdString();
    EXPECT_EQ(gui.TakeBoxTexts(), std::vector<std::string>{"Operation aborted!"});
    EXPECT_TRUE(gui.sounds.empty());
    EXPECT_EQ(form.statusLine->Message(), "");
    EXPECT_EQ(ProgressWindow(), nullptr);
    EXPECT_FALSE(form->Busy());
    // Cancel takes away what this split wrote: nothing is left that would pass for a set.
    EXPECT_TRUE(OutFiles().empty());
}

TEST_F(ActionTest, ALongOperationThatEndsBehindOtherWindowsIsNotified) {
    const std::string source = MakeFile("data.bin", 5000);
    const std::string out = Out();
    const struct {
        bool inFront;
        std::chrono::milliseconds after;
        std::string folder;
        std::vector<FakeGui::Notification> expected;
    } cases[] = {
        {false,
         std::chrono::milliseconds(0),
         out,
         {{"Split finished", "Split into 3 pieces in " + out}}},
        {true, std::chrono::milliseconds(0), out, {}},
        {false, std::chrono::hours(1), out, {}},
        {false,
         std::chrono::milliseconds(0),
         dir / "missing",
         {{"Split failed",
           "Cannot create file " + dir / "missing/data.s01: No such file or directory!"}}},
    };
    for (const auto& c : cases) {
        MainForm form = Create({source});
        form->SetNotifyAfter(c.after);
        gui.inFront = c.inFront;
        gui.notifications.clear();
        gui.folderAnswer = c.folder;
        QTest::mouseClick(form.browseSplitFolderButton, Qt::LeftButton);
        form.splitMethodBox->setCurrentIndex(0);
        Retype(form.splitSizeBox->lineEdit(), "2");
        QTest::mouseClick(form.actionButton, Qt::LeftButton);
        WaitForOperation();
        EXPECT_EQ(gui.notifications, c.expected) << c.folder << " " << c.inFront;
    }

    // A restore says so too; validation that stops before the engine never does.
    MainForm form = Create({out + "/data.bin.split"});
    form->SetNotifyAfter(std::chrono::milliseconds(0));
    gui.notifications.clear();
    gui.folderAnswer = dir / "restored";
    MakeFolder(dir / "restored");
    QTest::mouseClick(form.browseRestoreFolderButton, Qt::LeftButton);
    QTest::mouseClick(form.actionButton, Qt::LeftButton);
    WaitForOperation();
    EXPECT_EQ(gui.notifications,
              (std::vector<FakeGui::Notification>{
                  {"Restore finished", "Restored data.bin in " + dir / "restored"}}));
    gui.notifications.clear();
    form.tabs->setCurrentWidget(form.splitTab);
    form.splitMethodBox->setCurrentIndex(-1);
    QTest::mouseClick(form.actionButton, Qt::LeftButton);
    WaitForOperation();
    EXPECT_TRUE(gui.notifications.empty());
}

}  // namespace
}  // namespace olvo::test
