// The main window's start-up, its split options and summary, and file selection.

#include <QAction>
#include <QCoreApplication>
#include <QDropEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QToolButton>
#include <QUrl>
#include <fstream>

#include "gui/Application.h"
#include "gui/UpDownButtons.h"
#include "support/RunProgram.h"
#include "tests/gui/MainWindowFixture.h"

namespace olvo::test {
namespace {

using StartUpTest = MainWindowFixture;

TEST_F(StartUpTest, WithoutAFileBothTabsAreEmptyAndTheDefaultsApply) {
    MainForm form = Create();
    EXPECT_EQ(form.tabs->currentWidget(), form.splitTab);
    EXPECT_EQ(form.actionButton->text(), QStringLiteral("&Split"));
    EXPECT_TRUE(Text(form.sourceFileEdit).empty());
    EXPECT_TRUE(Text(form.descriptorEdit).empty());
    EXPECT_EQ(Text(form.fileSizeLabel), "-");
    EXPECT_EQ(Text(form.splitDetailsLabel), "");
    EXPECT_EQ(form.splitMethodBox->currentIndex(), -1);
    EXPECT_TRUE(form.splitSizeBox->isHidden());
    EXPECT_TRUE(form.pieceCountEdit->isHidden());
    EXPECT_TRUE(form.pieceCountButtons->isHidden());
    EXPECT_EQ(form->SplitSizes(), (std::vector<std::string>{"1420", "663552", "714752"}));
    EXPECT_EQ(Text(form.splitSizeBox), "1420");
    EXPECT_EQ(Text(form.pieceCountEdit), "1");
    EXPECT_FALSE(settings.SplitToFolder);
    EXPECT_FALSE(settings.RestoreToFolder);
    EXPECT_EQ(form->HelpFilePath(),
              FromQPath(QCoreApplication::applicationDirPath()) + "/OLVO.chm");
    EXPECT_TRUE(gui.boxes.empty());
}

TEST_F(StartUpTest, TheWindowHasItsFixedClientAreaAndMenus) {
    MainForm form = Create();
    EXPECT_EQ(form->centralWidget()->size(), QSize(448, 241));
    EXPECT_EQ(form->size(), form->minimumSize());
    EXPECT_EQ(form->size(), form->maximumSize());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Kestrava File Splitter"));
    EXPECT_TRUE(form.actionButton->isDefault());
    EXPECT_EQ(form.helpAction->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_FALSE(form.configurationAction->icon().isNull());
    EXPECT_FALSE(form.helpAction->icon().isNull());
    EXPECT_EQ(form.configurationAction->icon().availableSizes().value(0), QSize(16, 16));
    EXPECT_TRUE(form.splitFolderEdit->isReadOnly());
    EXPECT_EQ(form.splitFolderEdit->focusPolicy() & Qt::TabFocus, 0);
}

TEST_F(StartUpTest, ASplitDescriptorGoesToTheRestoreTabWhateverTheCaseOfItsExtension) {
    const std::string descriptor = MakeFile("Archive.SPLIT", 10);
    MainForm form = Create({descriptor, MakeFile("other.bin", 10)});
    EXPECT_EQ(form.tabs->currentWidget(), form.restoreTab);
    EXPECT_EQ(form.actionButton->text(), QStringLiteral("&Restore"));
    EXPECT_EQ(Text(form.descriptorEdit), descriptor);
    EXPECT_EQ(Text(form.restoreFolderEdit), dir.Path());
    EXPECT_TRUE(Text(form.sourceFileEdit).empty());
}

TEST_F(StartUpTest, AnyOtherFileGoesToTheSplitTab) {
    const std::string file = MakeFile("report.split.txt", 1500000);
    MainForm form = Create({file});
    EXPECT_EQ(form.tabs->currentWidget(), form.splitTab);
    EXPECT_EQ(Text(form.sourceFileEdit), file);
    EXPECT_EQ(Text(form.splitFolderEdit), dir.Path());
    EXPECT_EQ(Text(form.fileSizeLabel), "1,465KB");
    EXPECT_TRUE(Text(form.descriptorEdit).empty());
}

TEST_F(StartUpTest, AMissingFileShowsAsGivenWithoutSizes) {
    const std::string missing = dir / "gone.iso";
    MainForm form = Create({missing});
    EXPECT_EQ(Text(form.sourceFileEdit), missing);
    EXPECT_EQ(Text(form.fileSizeLabel), "-");
    EXPECT_EQ(Text(form.splitDetailsLabel), "");
    EXPECT_TRUE(gui.boxes.empty());
}

TEST_F(StartUpTest, ARelativeFileIsTakenFromTheWorkingFolder) {
    MakeFile("movie.avi", 5000);
    const QString previous = QDir::currentPath();
    QDir::setCurrent(ToQPath(dir.Path()));
    MainForm form = Create({"movie.avi"});
    QDir::setCurrent(previous);
    EXPECT_EQ(Text(form.sourceFileEdit), dir / "movie.avi");
    EXPECT_EQ(Text(form.splitFolderEdit), dir.Path());
    EXPECT_EQ(Text(form.fileSizeLabel), "5KB");
}

TEST_F(StartUpTest, SplitAndRestoreOptionsChooseTheTab) {
    const std::string descriptor = MakeFile("movie.avi.split", 40);
    MainForm split = Create({"--split", descriptor});
    EXPECT_EQ(split.tabs->currentWidget(), split.splitTab);
    EXPECT_EQ(Text(split.sourceFileEdit), descriptor);
    EXPECT_EQ(Text(split.descriptorEdit), "");

    const std::string other = MakeFile("movie.avi.split.old", 40);
    MainForm restore = Create({"--restore", other});
    EXPECT_EQ(restore.tabs->currentWidget(), restore.restoreTab);
    EXPECT_EQ(Text(restore.descriptorEdit), other);
    EXPECT_EQ(Text(restore.restoreFolderEdit), dir.Path());
    EXPECT_EQ(Text(restore.sourceFileEdit), "");
}

TEST(CommandLineTest, OptionsAndTheFileTheWindowTakes) {
    using Action = CommandLine::Action;
    const struct {
        std::vector<std::string> given;
        Action action;
        std::vector<std::string> window;
    } cases[] = {
        {{}, Action::Run, {}},
        {{"a.bin", "b.bin"}, Action::Run, {"a.bin"}},
        {{"--restore", "x.split", "y"}, Action::Run, {"--restore", "x.split"}},
        {{"a.bin", "--split", "b.bin"}, Action::Run, {"a.bin"}},
        {{"--", "-x.bin"}, Action::Run, {"-x.bin"}},
        {{"--", "--help"}, Action::Run, {"--help"}},
        {{"a.bin", "-h"}, Action::Help, {}},
        {{"--version"}, Action::Version, {}},
        {{"--split"}, Action::UsageError, {}},
        {{"-x.bin"}, Action::UsageError, {}},
    };
    for (const auto& c : cases) {
        const CommandLine line = ParseCommandLine(c.given);
        EXPECT_EQ(line.action, c.action) << ::testing::PrintToString(c.given);
        EXPECT_EQ(line.windowArguments, c.window) << ::testing::PrintToString(c.given);
    }
}

TEST(CommandLineTest, TheProgramAnswersWithoutAWindowWhereItMust) {
    const std::vector<std::string> noDisplay = {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="};
    const std::vector<std::string> offscreen = {"QT_QPA_PLATFORM=offscreen"};
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> env;
        int exitCode;
        std::string out, errEnd;
    } cases[] = {
        {{"--version"},
         noDisplay,
         0,
         std::string("olvo (Kestrava File Splitter) ") + OLVO_VERSION + "\n",
         ""},
        {{"--help"}, noDisplay, 0, HelpText(), ""},
        {{}, noDisplay, 1, "", std::string(kNoDisplayText) + "\n"},
        {{"--restore", "x.split"},
         {"DISPLAY=:999", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="},
         1,
         "",
         std::string(kNoDisplayText) + "\n"},
        {{"--bogus"}, offscreen, 2, "", "olvo: unknown option '--bogus'\nTry 'olvo --help'.\n"},
        {{"--split"},
         offscreen,
         2,
         "",
         "olvo: option '--split' needs a FILE\nTry 'olvo --help'.\n"},
    };
    for (const auto& c : cases) {
        const ProgramResult result = RunProgram(OLVO_GUI_PATH, c.args, "", "", c.env);
        const std::string what = ::testing::PrintToString(c.args);
        EXPECT_EQ(result.exitCode, c.exitCode) << what << result.err;
        EXPECT_EQ(result.out, c.out) << what;
        if (c.exitCode == 1) {
            EXPECT_EQ(result.err, c.errEnd) << what;  // one line, nothing else
        }
        EXPECT_TRUE(result.err.ends_with(c.errEnd)) << what << result.err;
    }
    EXPECT_NE(HelpText().find("--split FILE"), std::string::npos);
    EXPECT_NE(HelpText().find("olvo-cli"), std::string::npos);
}

TEST_F(StartUpTest, StoredSettingsAreLoadedAndAWrongFirstSizeIsCorrectedSilently) {
    StoreSettings({true, true, "/pieces", "/restored", "0,5,7"});
    MainForm form = Create();
    EXPECT_TRUE(settings.SplitToFolder);
    EXPECT_EQ(settings.SplitFolderName, "/pieces");
    EXPECT_EQ(settings.RestoreFolderName, "/restored");
    EXPECT_EQ(form->SplitSizes(), (std::vector<std::string>{"0", "5", "7"}));
    EXPECT_EQ(Text(form.splitSizeBox), "1");
    EXPECT_TRUE(gui.boxes.empty());

    form->SetSplitSizes({"99999999999", "5"});
    EXPECT_EQ(Text(form.splitSizeBox), "4294967296");
    form->SetSplitSizes({"25MB"});
    EXPECT_EQ(Text(form.splitSizeBox), "25MB");
    form->SetSplitSizes({"abc"});
    EXPECT_EQ(Text(form.splitSizeBox), "1");
    form->SetSplitSizes({});
    EXPECT_EQ(Text(form.splitSizeBox), "1");
    EXPECT_TRUE(gui.boxes.empty());
}

TEST_F(StartUpTest, ASettingsFailureIsReportedAndTheRestOfTheCreationSkipped) {
    const std::string hive = hivePath;
    std::filesystem::create_directories(std::filesystem::path(hive).parent_path());
    std::ofstream(hive) << "Windows Registry Editor Version 5.00\r\n\r\n"
                           "[HKEY_CURRENT_USER\\software\\Kestrava\\File Splitter]\r\n"
                           "\"Split Sizes\"=\"700,800\"\r\n"
                           "\"Split To Folder\"=\"1\"\r\n"
                           "\"Split Folder Name\"=dword:00000001\r\n";
    MainForm form = Create({MakeFile("movie.avi", 5000)});
    ASSERT_EQ(gui.boxes.size(), 1u);
    EXPECT_EQ(gui.boxes[0].caption, "Kestrava File Splitter");
    // The text ends in a quote, which sorts before the full stop: none is appended.
    EXPECT_EQ(gui.boxes[0].text, "Invalid data type for 'Split Folder Name'");
    EXPECT_EQ(gui.boxes[0].icon, BoxIcon::Error);
    EXPECT_TRUE(settings.SplitToFolder);
    EXPECT_EQ(form->SplitSizes(), (std::vector<std::string>{"700", "800"}));
    EXPECT_TRUE(Text(form.sourceFileEdit).empty());
    EXPECT_TRUE(form->HelpFilePath().empty());
}

using SummaryTest = MainWindowFixture;

TEST_F(SummaryTest, LabelsBySize) {
    MainForm form = Create();
    form.splitMethodBox->setCurrentIndex(0);
    const auto labels = [&](std::uint64_t size) {
        form->OpenFile(MainWindow::Operation::Split, MakeFile("f" + std::to_string(size), size));
        return Text(form.fileSizeLabel) + "|" + Text(form.splitDetailsLabel);
    };
    EXPECT_EQ(labels(1500000), "1,465KB|Split files created:  2 (+ 3)");
    EXPECT_EQ(labels(1454080), "1,420KB|Split files created:  0");
    EXPECT_EQ(labels(1454081), "1,421KB|Split files created:  2 (+ 3)");
    EXPECT_EQ(labels(0), "0KB|Split files created:  0");
    EXPECT_EQ(labels(1023), "1KB|Split files created:  0");
    EXPECT_EQ(labels(1024), "1KB|Split files created:  0");
    EXPECT_EQ(labels(1048577), "1,025KB|Split files created:  0");
    EXPECT_EQ(labels(716800ull * 1024), "716,800KB|Split files created:  505 (+ 3)");
    // Beyond 32 bits the sizes are not cut short.
    EXPECT_EQ(labels(5ull << 30), "5,242,880KB|Split files created:  3,693 (+ 3)");
}

TEST_F(SummaryTest, LabelsByNumberOfFilesAndTheSwitchBetweenMethods) {
    MainForm form = Create({MakeFile("data.bin", 10000)});
    EXPECT_EQ(Text(form.splitDetailsLabel), "");
    form.splitMethodBox->setCurrentIndex(1);
    EXPECT_FALSE(form.pieceCountEdit->isHidden());
    EXPECT_FALSE(form.pieceCountButtons->isHidden());
    EXPECT_FALSE(form.pieceCountNoteLabel->isHidden());
    EXPECT_TRUE(form.splitSizeBox->isHidden());
    EXPECT_TRUE(form.splitSizeUnitLabel->isHidden());
    EXPECT_EQ(Text(form.splitDetailsLabel), "Split file size:  10KB");
    Retype(form.pieceCountEdit, "3");
    EXPECT_EQ(Text(form.splitDetailsLabel), "Split file size:  4KB");

    form.splitMethodBox->setCurrentIndex(0);
    EXPECT_TRUE(form.pieceCountEdit->isHidden());
    EXPECT_FALSE(form.splitSizeBox->isHidden());
    EXPECT_FALSE(form.splitSizeUnitLabel->isHidden());
    EXPECT_EQ(Text(form.splitDetailsLabel), "Split files created:  0");
    EXPECT_TRUE(gui.boxes.empty());
}

TEST_F(SummaryTest, TypingAFileNameUpdatesTheLabelsOnceItNamesAFile) {
    const std::string file = MakeFile("data.bin", 3000);
    MainForm form = Create();
    form.splitMethodBox->setCurrentIndex(0);
    QTest::keyClicks(form.sourceFileEdit, ToQPath(file.substr(0, file.size() - 1)));
    EXPECT_EQ(Text(form.fileSizeLabel), "-");
    EXPECT_TRUE(Text(form.splitFolderEdit).empty());
    // The last keystroke completes the name: one look-up serves the whole chain.
    files.lookups = 0;
    QTest::keyClicks(form.sourceFileEdit, QString(QChar(file.back())));
    EXPECT_EQ(files.lookups, 1);
    EXPECT_EQ(Text(form.fileSizeLabel), "3KB");
    EXPECT_EQ(Text(form.splitDetailsLabel), "Split files created:  0");
    EXPECT_EQ(Text(form.splitFolderEdit), dir.Path());
    // A folder is not a file; the destination keeps its text.
    files.lookups = 0;
    QTest::keyClick(form.sourceFileEdit, Qt::Key_Backspace);
    EXPECT_EQ(files.lookups, 1);
    EXPECT_EQ(Text(form.fileSizeLabel), "-");
    EXPECT_EQ(Text(form.splitDetailsLabel), "");
    EXPECT_EQ(Text(form.splitFolderEdit), dir.Path());
    Retype(form.sourceFileEdit, ToQPath(dir.Path()));
    EXPECT_EQ(Text(form.fileSizeLabel), "-");
}

using NumericFieldTest = MainWindowFixture;

TEST_F(NumericFieldTest, SizeOutOfRangeIsReportedAndCorrected) {
    MainForm form = Create({MakeFile("data.bin", 5000)});
    form.splitMethodBox->setCurrentIndex(0);
    QLineEdit* size = form.splitSizeBox->lineEdit();

    Retype(size, "0");
    EXPECT_EQ(gui.TakeBoxTexts(),
              std::vector<std::string>{"Split size must be between 1 and 4,294,967,296KB!"});
    EXPECT_EQ(Text(form.splitSizeBox), "1");
    EXPECT_EQ(Text(form.splitDetailsLabel), "Split files created:  5 (+ 3)");

    Retype(size, "5T");
    EXPECT_EQ(gui.TakeBoxTexts(),
              std::vector<std::string>{"Split size must be between 1 and 4,294,967,296KB!"});
    EXPECT_EQ(Text(form.splitSizeBox), "4294967296");

    Retype(size, "");
    EXPECT_EQ(gui.TakeBoxTexts(),
              std::vector<std::string>{"Split size must be between 1 and 4,294,967,296KB!"});
    EXPECT_EQ(Text(form.splitSizeBox), "1");

    Retype(size, "2");
    EXPECT_TRUE(gui.boxes.empty());
    EXPECT_EQ(Text(form.splitDetailsLabel), "Split files created:  3 (+ 3)");
    Retype(size, "1KB");  // 1,000 bytes, as the terminal tool reads it
    EXPECT_EQ(Text(form.splitDetailsLabel), "Split files created:  5 (+ 3)");
    EXPECT_TRUE(gui.boxes.empty());
}

TEST_F(NumericFieldTest, PickingAListedSizeRunsTheCheck) {
    MainForm form = Create({MakeFile("data.bin", 1500000)});
    form.splitMethodBox->setCurrentIndex(0);
    form.splitSizeBox->setCurrentIndex(1);
    EXPECT_EQ(Text(form.splitDetailsLabel), "Split files created:  0");
    form->SetSplitSizes({"1", "4097G"});
    form.splitSizeBox->setCurrentIndex(1);
    EXPECT_EQ(gui.TakeBoxTexts(),
              std::vector<std::string>{"Split size must be between 1 and 4,294,967,296KB!"});
    EXPECT_EQ(Text(form.splitSizeBox), "4294967296");
}

TEST_F(NumericFieldTest, NumberOfFilesOutOfRangeIsReportedAndCorrected) {
    MainForm form = Create({MakeFile("data.bin", 100000)});
    form.splitMethodBox->setCurrentIndex(1);

    Retype(form.pieceCountEdit, "40000");
    EXPECT_EQ(gui.TakeBoxTexts(),
              std::vector<std::string>{"No. of split files must be between 1 and 32,767"});
    EXPECT_EQ(Text(form.pieceCountEdit), "32767");
    EXPECT_EQ(Text(form.splitDetailsLabel), "Split file size:  1KB");

    Retype(form.pieceCountEdit, "");
    EXPECT_EQ(gui.TakeBoxTexts(),
              std::vector<std::string>{"No. of split files must be between 1 and 32,767"});
    EXPECT_EQ(Text(form.pieceCountEdit), "1");

    Retype(form.pieceCountEdit, "0");
    EXPECT_EQ(gui.TakeBoxTexts(),
              std::vector<std::string>{"No. of split files must be between 1 and 32,767"});
    EXPECT_EQ(Text(form.pieceCountEdit), "1");
    EXPECT_EQ(Text(form.splitDetailsLabel), "Split file size:  98KB");
}

TEST_F(NumericFieldTest, OnlyDigitsBackspaceAndUnitsCanBeTyped) {
    MainForm form = Create();
    form.splitMethodBox->setCurrentIndex(0);
    QTest::keyClicks(form.splitSizeBox, "x-1.");
    EXPECT_EQ(Text(form.splitSizeBox), "14201");
    form.splitSizeBox->lineEdit()->selectAll();
    QTest::keyClicks(form.splitSizeBox->lineEdit(), "ax");
    EXPECT_EQ(Text(form.splitSizeBox), "14201");
    form.splitSizeBox->lineEdit()->end(false);
    QTest::keyClicks(form.splitSizeBox->lineEdit(), "M");
    EXPECT_EQ(Text(form.splitSizeBox), "14201M");
    QTest::keyClicks(form.pieceCountEdit, "qM");
    EXPECT_EQ(Text(form.pieceCountEdit), "1");
    QTest::keyClick(form.pieceCountEdit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Text(form.pieceCountEdit), "1");
    EXPECT_TRUE(gui.boxes.empty());
}

TEST_F(NumericFieldTest, UpDownStepsWithinTheRange) {
    MainForm form = Create({MakeFile("data.bin", 10000)});
    form.splitMethodBox->setCurrentIndex(1);
    QTest::mouseClick(form.pieceCountButtons->UpButton(), Qt::LeftButton);
    EXPECT_EQ(Text(form.pieceCountEdit), "2");
    EXPECT_EQ(Text(form.splitDetailsLabel), "Split file size:  5KB");
    QTest::keyClick(form.pieceCountEdit, Qt::Key_Up);
    EXPECT_EQ(Text(form.pieceCountEdit), "3");
    Retype(form.pieceCountEdit, "32767");
    QTest::mouseClick(form.pieceCountButtons->UpButton(), Qt::LeftButton);
    EXPECT_EQ(Text(form.pieceCountEdit), "32767");
    Retype(form.pieceCountEdit, "1");
    QTest::mouseClick(form.pieceCountButtons->DownButton(), Qt::LeftButton);
    EXPECT_EQ(Text(form.pieceCountEdit), "1");
    EXPECT_TRUE(gui.boxes.empty());
}

TEST_F(NumericFieldTest, PastedTextThatIsNoNumberGoesToTheErrorReport) {
    MainForm form = Create({MakeFile("data.bin", 10000)});
    form.splitMethodBox->setCurrentIndex(0);
    form.splitSizeBox->setEditText(QStringLiteral("12a"));
    ASSERT_EQ(gui.boxes.size(), 1u);
    EXPECT_EQ(gui.boxes[0].caption, "Kestrava File Splitter");
    EXPECT_EQ(gui.boxes[0].text, "'12a' is not a valid integer value.");
    EXPECT_EQ(Text(form.splitSizeBox), "12a");
    // Setting the text it already holds runs no handler.
    form.splitSizeBox->setEditText(QStringLiteral("12a"));
    form.splitMethodBox->setCurrentIndex(0);
    EXPECT_EQ(gui.boxes.size(), 1u);
}

using AddFileTest = MainWindowFixture;

TEST_F(AddFileTest, DestinationIsTheFilesOwnFolderUnlessADefaultIsSet) {
    const std::string movie = MakeFile("movie.avi", 100);
    const std::string descriptor = MakeFile("movie.avi.split", 10);
    {
        MainForm form = Create();
        form->OpenFile(MainWindow::Operation::Split, movie);
        EXPECT_EQ(Text(form.splitFolderEdit), dir.Path());
        form->OpenFile(MainWindow::Operation::Restore, descriptor);
        EXPECT_EQ(Text(form.restoreFolderEdit), dir.Path());
        EXPECT_EQ(form.tabs->currentWidget(), form.restoreTab);
        EXPECT_EQ(form.actionButton->text(), QStringLiteral("&Restore"));
        EXPECT_EQ(Text(form.sourceFileEdit), movie);
    }
    MainForm form = Create();
    settings = Settings{};
    settings.SplitToFolder = settings.RestoreToFolder = true;
    settings.SplitFolderName = "/media/pieces";
    settings.RestoreFolderName = "/media/whole";
    form->OpenFile(MainWindow::Operation::Split, movie);
    EXPECT_EQ(Text(form.splitFolderEdit), "/media/pieces");
    EXPECT_EQ(form.actionButton->text(), QStringLiteral("&Split"));
    form->OpenFile(MainWindow::Operation::Restore, descriptor);
    EXPECT_EQ(Text(form.restoreFolderEdit), "/media/whole");
}

TEST_F(AddFileTest, AFileInTheRootFolderGetsTheRoot) {
    MainForm form = Create();
    form->OpenFile(MainWindow::Operation::Split, "/big.iso");
    EXPECT_EQ(Text(form.sourceFileEdit), "/big.iso");
    EXPECT_EQ(Text(form.splitFolderEdit), "/");
    form->OpenFile(MainWindow::Operation::Restore, "/big.iso.split");
    EXPECT_EQ(Text(form.restoreFolderEdit), "/");
}

TEST_F(AddFileTest, TheChainsEndAfterOneNesting) {
    MainForm form = Create();
    int splitChanges = 0;
    int restoreChanges = 0;
    QObject::connect(form.sourceFileEdit, &QLineEdit::textChanged, [&] { ++splitChanges; });
    QObject::connect(form.descriptorEdit, &QLineEdit::textChanged, [&] { ++restoreChanges; });
    const std::string movie = MakeFile("movie.avi", 100);
    files.lookups = 0;
    form->OpenFile(MainWindow::Operation::Split, movie);
    EXPECT_EQ(splitChanges, 1);
    // AddFile's own search, then the change handler's: each a single look-up.
    EXPECT_EQ(files.lookups, 2);
    form->OpenFile(MainWindow::Operation::Split, movie);
    EXPECT_EQ(splitChanges, 1);

    const std::string descriptor = MakeFile("movie.avi.split", 10);
    form->OpenFile(MainWindow::Operation::Restore, descriptor);
    EXPECT_EQ(restoreChanges, 1);
    EXPECT_EQ(Text(form.restoreFolderEdit), dir.Path());
    form->OpenFile(MainWindow::Operation::Restore, descriptor);
    EXPECT_EQ(restoreChanges, 1);
}

TEST_F(AddFileTest, TypingADescriptorNameFillsTheDestinationOnceItExists) {
    const std::string descriptor = MakeFile("archive.split", 10);
    const std::string text = MakeFile("archive.txt", 10);
    MainForm form = Create();
    form.tabs->setCurrentWidget(form.restoreTab);
    QTest::keyClicks(form.descriptorEdit, ToQPath(text));
    EXPECT_TRUE(Text(form.restoreFolderEdit).empty());
    Retype(form.descriptorEdit, ToQPath(descriptor));
    EXPECT_EQ(Text(form.restoreFolderEdit), dir.Path());
    Retype(form.descriptorEdit, ToQPath(dir / "nothing.split"));
    EXPECT_EQ(Text(form.restoreFolderEdit), dir.Path());
}

TEST_F(AddFileTest, FileChooserWorksOnTheActiveTab) {
    const std::string movie = MakeFile("movie.avi", 100);
    const std::string descriptor = MakeFile("old.split", 10);
    MainForm form = Create();

    gui.fileAnswer = movie;
    QTest::mouseClick(form.browseSourceButton, Qt::LeftButton);
    ASSERT_EQ(gui.fileRequests.size(), 1u);
    EXPECT_EQ(gui.fileRequests[0].title, "Select file to split");
    EXPECT_EQ(gui.fileRequests[0].argument, "All Files (*.*)|*.*");
    EXPECT_EQ(Text(form.sourceFileEdit), movie);

    form.tabs->setCurrentWidget(form.restoreTab);
    EXPECT_EQ(form.actionButton->text(), QStringLiteral("&Restore"));
    gui.fileAnswer = std::nullopt;
    QTest::mouseClick(form.browseDescriptorButton, Qt::LeftButton);
    EXPECT_EQ(gui.fileRequests[1].title, "Select file to restore");
    EXPECT_EQ(gui.fileRequests[1].argument, "Split Files (*.split)|*.split");
    EXPECT_TRUE(Text(form.descriptorEdit).empty());

    gui.fileAnswer = descriptor;
    QTest::mouseClick(form.browseDescriptorButton, Qt::LeftButton);
    EXPECT_EQ(Text(form.descriptorEdit), descriptor);
    EXPECT_EQ(Text(form.restoreFolderEdit), dir.Path());
    EXPECT_EQ(Text(form.sourceFileEdit), movie);
    EXPECT_EQ(form.tabs->currentWidget(), form.restoreTab);
}

TEST_F(AddFileTest, FolderChooserStartsAtTheFieldAndCancelKeepsIt) {
    MainForm form = Create({MakeFile("movie.avi", 100)});
    gui.folderAnswer = std::nullopt;
    QTest::mouseClick(form.browseSplitFolderButton, Qt::LeftButton);
    ASSERT_EQ(gui.folderRequests.size(), 1u);
    EXPECT_EQ(gui.folderRequests[0].title, "Select destination folder");
    EXPECT_EQ(gui.folderRequests[0].argument, dir.Path());
    EXPECT_EQ(Text(form.splitFolderEdit), dir.Path());

    gui.folderAnswer = "/elsewhere";
    QTest::mouseClick(form.browseSplitFolderButton, Qt::LeftButton);
    EXPECT_EQ(Text(form.splitFolderEdit), "/elsewhere");
    QTest::mouseClick(form.browseRestoreFolderButton, Qt::LeftButton);
    EXPECT_EQ(gui.folderRequests[2].argument, "");
    EXPECT_EQ(Text(form.restoreFolderEdit), "/elsewhere");
}

TEST_F(AddFileTest, ADroppedFileGoesToTheTabOfItsKind) {
    const std::string movie = MakeFile("movie.avi", 100);
    const std::string descriptor = MakeFile("movie.avi.SPLIT", 10);
    MainForm form = Create();
    const auto drop = [&](const std::string& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(ToQPath(path))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        enter.setAccepted(false);
        QCoreApplication::sendEvent(form.window, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form.window, &dropped);
    };
    drop(descriptor);
    EXPECT_EQ(form.tabs->currentWidget(), form.restoreTab);
    EXPECT_EQ(Text(form.descriptorEdit), descriptor);
    drop(movie);
    EXPECT_EQ(form.tabs->currentWidget(), form.splitTab);
    EXPECT_EQ(Text(form.sourceFileEdit), movie);
}

using CloseTest = MainWindowFixture;

TEST_F(CloseTest, ExitAndCloseFreeTheWindow) {
    for (int way = 0; way < 2; ++way) {
        QPointer<MainWindow> form = new MainWindow(Services(), {});
        form->show();
        if (way == 0)
            form->findChild<QAction*>(QStringLiteral("miExit"))->trigger();
        else
            QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("cmdClose")),
                              Qt::LeftButton);
        EXPECT_FALSE(form->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(form.isNull()) << way;
    }
}

TEST(ErrorReportTest, AFullStopFollowsTextsThatEndAfterIt) {
    EXPECT_EQ(ErrorReportText("Disk full"), "Disk full.");
    EXPECT_EQ(ErrorReportText("Operation aborted!"), "Operation aborted!");
    EXPECT_EQ(ErrorReportText("Done."), "Done.");
    EXPECT_EQ(ErrorReportText("Size 12"), "Size 12.");
    EXPECT_EQ(ErrorReportText("(none)"), "(none)");
    EXPECT_EQ(ErrorReportText("What?"), "What?.");
    EXPECT_EQ(ErrorReportText(""), "");
}

}  // namespace
}  // namespace olvo::test
