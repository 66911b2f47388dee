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

#include "support/RunProgram.h"
#include "tests/gui/MainWindowFixture.h"
#include "gui/Application.h"
#include "gui/UpDownButtons.h"

namespace olvo::test {
namespace {

using StartUpTest = MainWindowFixture;

TEST_F(StartUpTest, WithoutAFileBothTabsAreEmptyAndTheDefaultsApply) {
    MainWindow& form = Create();
    EXPECT_EQ(form.pcMain->currentWidget(), form.tsSplit);
    EXPECT_EQ(form.cmdAction->text(), QStringLiteral("&Split"));
    EXPECT_TRUE(Text(form.txtFileToSplit).empty());
    EXPECT_TRUE(Text(form.txtSplitFile).empty());
    EXPECT_EQ(Text(form.lblFileSize), "-");
    EXPECT_EQ(Text(form.lblSplitDetails), "");
    EXPECT_EQ(form.cmbSplitMethod->currentIndex(), -1);
    EXPECT_TRUE(form.cmbSplitSize->isHidden());
    EXPECT_TRUE(form.txtNoFiles->isHidden());
    EXPECT_TRUE(form.udNoFiles->isHidden());
    EXPECT_EQ(form.SplitSizes(), (std::vector<std::string>{"1420", "663552", "714752"}));
    EXPECT_EQ(Text(form.cmbSplitSize), "1420");
    EXPECT_EQ(Text(form.txtNoFiles), "1");
    EXPECT_FALSE(ProgramSettings().SplitToFolder);
    EXPECT_FALSE(ProgramSettings().RestoreToFolder);
    EXPECT_EQ(form.HelpFilePath(), FromQPath(QCoreApplication::applicationDirPath()) + "/OLVO.chm");
    EXPECT_TRUE(gui.boxes.empty());
}

TEST_F(StartUpTest, TheWindowHasItsFixedClientAreaAndMenus) {
    MainWindow& form = Create();
    EXPECT_EQ(form.centralWidget()->size(), QSize(448, 219));
    EXPECT_EQ(form.size(), form.minimumSize());
    EXPECT_EQ(form.size(), form.maximumSize());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Kestrava File Splitter"));
    EXPECT_TRUE(form.cmdAction->isDefault());
    EXPECT_EQ(form.miHelp->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_FALSE(form.miConfig->icon().isNull());
    EXPECT_FALSE(form.miHelp->icon().isNull());
    EXPECT_EQ(form.miConfig->icon().availableSizes().value(0), QSize(16, 16));
    EXPECT_TRUE(form.txtSplitTo->isReadOnly());
    EXPECT_EQ(form.txtSplitTo->focusPolicy() & Qt::TabFocus, 0);
    EXPECT_EQ(form.cmbSplitSize->lineEdit()->maxLength(), 7);
    EXPECT_EQ(form.txtNoFiles->maxLength(), 5);
}

TEST_F(StartUpTest, ASplitDescriptorGoesToTheRestoreTabWhateverTheCaseOfItsExtension) {
    const std::string descriptor = MakeFile("Archive.SPLIT", 10);
    MainWindow& form = Create({descriptor, MakeFile("other.bin", 10)});
    EXPECT_EQ(form.pcMain->currentWidget(), form.tsRestore);
    EXPECT_EQ(form.cmdAction->text(), QStringLiteral("&Restore"));
    EXPECT_EQ(Text(form.txtSplitFile), descriptor);
    EXPECT_EQ(Text(form.txtRestoreTo), dir.Path());
    EXPECT_TRUE(Text(form.txtFileToSplit).empty());
}

TEST_F(StartUpTest, AnyOtherFileGoesToTheSplitTab) {
    const std::string file = MakeFile("report.split.txt", 1500000);
    MainWindow& form = Create({file});
    EXPECT_EQ(form.pcMain->currentWidget(), form.tsSplit);
    EXPECT_EQ(Text(form.txtFileToSplit), file);
    EXPECT_EQ(Text(form.txtSplitTo), dir.Path());
    EXPECT_EQ(Text(form.lblFileSize), "1,465KB");
    EXPECT_TRUE(Text(form.txtSplitFile).empty());
}

TEST_F(StartUpTest, AMissingFileShowsAsGivenWithoutSizes) {
    const std::string missing = dir / "gone.iso";
    MainWindow& form = Create({missing});
    EXPECT_EQ(Text(form.txtFileToSplit), missing);
    EXPECT_EQ(Text(form.lblFileSize), "-");
    EXPECT_EQ(Text(form.lblSplitDetails), "");
    EXPECT_TRUE(gui.boxes.empty());
}

TEST_F(StartUpTest, ARelativeFileIsTakenFromTheWorkingFolder) {
    MakeFile("movie.avi", 5000);
    const QString previous = QDir::currentPath();
    QDir::setCurrent(ToQPath(dir.Path()));
    MainWindow& form = Create({"movie.avi"});
    QDir::setCurrent(previous);
    EXPECT_EQ(Text(form.txtFileToSplit), dir / "movie.avi");
    EXPECT_EQ(Text(form.txtSplitTo), dir.Path());
    EXPECT_EQ(Text(form.lblFileSize), "5KB");
}

TEST_F(StartUpTest, SplitAndRestoreOptionsChooseTheTab) {
    const std::string descriptor = MakeFile("movie.avi.split", 40);
    MainWindow& split = Create({"--split", descriptor});
    EXPECT_EQ(split.pcMain->currentWidget(), split.tsSplit);
    EXPECT_EQ(Text(split.txtFileToSplit), descriptor);
    EXPECT_EQ(Text(split.txtSplitFile), "");

    const std::string other = MakeFile("movie.avi.split.old", 40);
    MainWindow& restore = Create({"--restore", other});
    EXPECT_EQ(restore.pcMain->currentWidget(), restore.tsRestore);
    EXPECT_EQ(Text(restore.txtSplitFile), other);
    EXPECT_EQ(Text(restore.txtRestoreTo), dir.Path());
    EXPECT_EQ(Text(restore.txtFileToSplit), "");
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
        if (c.exitCode == 1) EXPECT_EQ(result.err, c.errEnd) << what;  // one line, nothing else
        EXPECT_TRUE(result.err.ends_with(c.errEnd)) << what << result.err;
    }
    EXPECT_NE(HelpText().find("--split FILE"), std::string::npos);
    EXPECT_NE(HelpText().find("olvo-cli"), std::string::npos);
}

TEST_F(StartUpTest, StoredSettingsAreLoadedAndAWrongFirstSizeIsCorrectedSilently) {
    StoreSettings({true, true, "/pieces", "/restored", "0,5,7"});
    MainWindow& form = Create();
    EXPECT_TRUE(ProgramSettings().SplitToFolder);
    EXPECT_EQ(ProgramSettings().SplitFolderName, "/pieces");
    EXPECT_EQ(ProgramSettings().RestoreFolderName, "/restored");
    EXPECT_EQ(form.SplitSizes(), (std::vector<std::string>{"0", "5", "7"}));
    EXPECT_EQ(Text(form.cmbSplitSize), "1");
    EXPECT_TRUE(gui.boxes.empty());

    form.SetSplitSizes({"99999999", "5"});
    EXPECT_EQ(Text(form.cmbSplitSize), "2097151");
    form.SetSplitSizes({"abc"});
    EXPECT_EQ(Text(form.cmbSplitSize), "1");
    form.SetSplitSizes({});
    EXPECT_EQ(Text(form.cmbSplitSize), "1");
    EXPECT_TRUE(gui.boxes.empty());
}

TEST_F(StartUpTest, ASettingsFailureIsReportedAndTheRestOfTheCreationSkipped) {
    const std::string hive = UserHivePath();
    std::filesystem::create_directories(std::filesystem::path(hive).parent_path());
    std::ofstream(hive) << "Windows Registry Editor Version 5.00\r\n\r\n"
                           "[HKEY_CURRENT_USER\\software\\Kestrava\\File Splitter]\r\n"
                           "\"Split Sizes\"=\"700,800\"\r\n"
                           "\"Split To Folder\"=\"1\"\r\n"
                           "\"Split Folder Name\"=dword:00000001\r\n";
    MainWindow& form = Create({MakeFile("movie.avi", 5000)});
    ASSERT_EQ(gui.boxes.size(), 1u);
    EXPECT_EQ(gui.boxes[0].caption, "Kestrava File Splitter");
    // The text ends in a quote, which sorts before the full stop: none is appended.
    EXPECT_EQ(gui.boxes[0].text, "Invalid data type for 'Split Folder Name'");
    EXPECT_EQ(gui.boxes[0].icon, BoxIcon::Error);
    EXPECT_TRUE(ProgramSettings().SplitToFolder);
    EXPECT_EQ(form.SplitSizes(), (std::vector<std::string>{"700", "800"}));
    EXPECT_TRUE(Text(form.txtFileToSplit).empty());
    EXPECT_TRUE(form.HelpFilePath().empty());
}

using SummaryTest = MainWindowFixture;

TEST_F(SummaryTest, LabelsBySize) {
    MainWindow& form = Create();
    form.cmbSplitMethod->setCurrentIndex(0);
    const auto labels = [&](std::uint64_t size) {
        form.AddFile(form.tsSplit, MakeFile("f" + std::to_string(size), size));
        return Text(form.lblFileSize) + "|" + Text(form.lblSplitDetails);
    };
    EXPECT_EQ(labels(1500000), "1,465KB|Split files created:  2 (+ 2)");
    EXPECT_EQ(labels(1454080), "1,420KB|Split files created:  0");
    EXPECT_EQ(labels(1454081), "1,421KB|Split files created:  2 (+ 2)");
    EXPECT_EQ(labels(0), "0KB|Split files created:  0");
    EXPECT_EQ(labels(1023), "1KB|Split files created:  0");
    EXPECT_EQ(labels(1024), "1KB|Split files created:  0");
    EXPECT_EQ(labels(1048577), "1,025KB|Split files created:  0");
    EXPECT_EQ(labels(716800ull * 1024), "716,800KB|Split files created:  505 (+ 2)");
    // Beyond 32 bits the sizes are not cut short.
    EXPECT_EQ(labels(5ull << 30), "5,242,880KB|Split files created:  3,693 (+ 2)");
}

TEST_F(SummaryTest, LabelsByNumberOfFilesAndTheSwitchBetweenMethods) {
    MainWindow& form = Create({MakeFile("data.bin", 10000)});
    EXPECT_EQ(Text(form.lblSplitDetails), "");
    form.cmbSplitMethod->setCurrentIndex(1);
    EXPECT_FALSE(form.txtNoFiles->isHidden());
    EXPECT_FALSE(form.udNoFiles->isHidden());
    EXPECT_FALSE(form.lblNoFiles->isHidden());
    EXPECT_TRUE(form.cmbSplitSize->isHidden());
    EXPECT_TRUE(form.lblSplitSize->isHidden());
    EXPECT_EQ(Text(form.lblSplitDetails), "Split file size:  10KB");
    Retype(form.txtNoFiles, "3");
    EXPECT_EQ(Text(form.lblSplitDetails), "Split file size:  4KB");

    form.cmbSplitMethod->setCurrentIndex(0);
    EXPECT_TRUE(form.txtNoFiles->isHidden());
    EXPECT_FALSE(form.cmbSplitSize->isHidden());
    EXPECT_FALSE(form.lblSplitSize->isHidden());
    EXPECT_EQ(Text(form.lblSplitDetails), "Split files created:  0");
    EXPECT_TRUE(gui.boxes.empty());
}

TEST_F(SummaryTest, TypingAFileNameUpdatesTheLabelsOnceItNamesAFile) {
    const std::string file = MakeFile("data.bin", 3000);
    MainWindow& form = Create();
    form.cmbSplitMethod->setCurrentIndex(0);
    QTest::keyClicks(form.txtFileToSplit, ToQPath(file.substr(0, file.size() - 1)));
    EXPECT_EQ(Text(form.lblFileSize), "-");
    EXPECT_TRUE(Text(form.txtSplitTo).empty());
    // The last keystroke completes the name: one look-up serves the whole chain.
    files.lookups = 0;
    QTest::keyClicks(form.txtFileToSplit, QString(QChar(file.back())));
    EXPECT_EQ(files.lookups, 1);
    EXPECT_EQ(Text(form.lblFileSize), "3KB");
    EXPECT_EQ(Text(form.lblSplitDetails), "Split files created:  0");
    EXPECT_EQ(Text(form.txtSplitTo), dir.Path());
    // A folder is not a file; the destination keeps its text.
    files.lookups = 0;
    QTest::keyClick(form.txtFileToSplit, Qt::Key_Backspace);
    EXPECT_EQ(files.lookups, 1);
    EXPECT_EQ(Text(form.lblFileSize), "-");
    EXPECT_EQ(Text(form.lblSplitDetails), "");
    EXPECT_EQ(Text(form.txtSplitTo), dir.Path());
    Retype(form.txtFileToSplit, ToQPath(dir.Path()));
    EXPECT_EQ(Text(form.lblFileSize), "-");
}

using NumericFieldTest = MainWindowFixture;

TEST_F(NumericFieldTest, SizeOutOfRangeIsReportedAndCorrected) {
    MainWindow& form = Create({MakeFile("data.bin", 5000)});
    form.cmbSplitMethod->setCurrentIndex(0);
    QLineEdit* size = form.cmbSplitSize->lineEdit();

    Retype(size, "0");
    EXPECT_EQ(gui.TakeBoxTexts(),
              std::vector<std::string>{"Split size must be between 1 and 2,097,151KB!"});
    EXPECT_EQ(Text(form.cmbSplitSize), "1");
    EXPECT_EQ(Text(form.lblSplitDetails), "Split files created:  5 (+ 2)");

    Retype(size, "3000000");
    EXPECT_EQ(gui.TakeBoxTexts(),
              std::vector<std::string>{"Split size must be between 1 and 2,097,151KB!"});
    EXPECT_EQ(Text(form.cmbSplitSize), "2097151");

    Retype(size, "");
    EXPECT_EQ(gui.TakeBoxTexts(),
              std::vector<std::string>{"Split size must be between 1 and 2,097,151KB!"});
    EXPECT_EQ(Text(form.cmbSplitSize), "1");

    Retype(size, "2");
    EXPECT_TRUE(gui.boxes.empty());
    EXPECT_EQ(Text(form.lblSplitDetails), "Split files created:  3 (+ 2)");
}

TEST_F(NumericFieldTest, PickingAListedSizeRunsTheCheck) {
    MainWindow& form = Create({MakeFile("data.bin", 1500000)});
    form.cmbSplitMethod->setCurrentIndex(0);
    form.cmbSplitSize->setCurrentIndex(1);
    EXPECT_EQ(Text(form.lblSplitDetails), "Split files created:  0");
    form.SetSplitSizes({"1", "9999999"});
    form.cmbSplitSize->setCurrentIndex(1);
    EXPECT_EQ(gui.TakeBoxTexts(),
              std::vector<std::string>{"Split size must be between 1 and 2,097,151KB!"});
    EXPECT_EQ(Text(form.cmbSplitSize), "2097151");
}

TEST_F(NumericFieldTest, NumberOfFilesOutOfRangeIsReportedAndCorrected) {
    MainWindow& form = Create({MakeFile("data.bin", 100000)});
    form.cmbSplitMethod->setCurrentIndex(1);

    Retype(form.txtNoFiles, "40000");
    EXPECT_EQ(gui.TakeBoxTexts(),
              std::vector<std::string>{"No. of split files must be between 1 and 32,767"});
    EXPECT_EQ(Text(form.txtNoFiles), "32767");
    EXPECT_EQ(Text(form.lblSplitDetails), "Split file size:  1KB");

    Retype(form.txtNoFiles, "");
    EXPECT_EQ(gui.TakeBoxTexts(),
              std::vector<std::string>{"No. of split files must be between 1 and 32,767"});
    EXPECT_EQ(Text(form.txtNoFiles), "1");

    Retype(form.txtNoFiles, "0");
    EXPECT_EQ(gui.TakeBoxTexts(),
              std::vector<std::string>{"No. of split files must be between 1 and 32,767"});
    EXPECT_EQ(Text(form.txtNoFiles), "1");
    EXPECT_EQ(Text(form.lblSplitDetails), "Split file size:  98KB");
}

TEST_F(NumericFieldTest, OnlyDigitsAndBackspaceCanBeTyped) {
    MainWindow& form = Create();
    form.cmbSplitMethod->setCurrentIndex(0);
    for (char key : {'0', '5', '9', '\b'}) {
        char typed = key;
        form.cmbSplitSizeKeyPress(typed);
        EXPECT_EQ(typed, key);
    }
    for (char key : {'a', ' ', '-', '.', '\x16', '\x03', '\r'}) {
        char typed = key;
        form.cmbSplitSizeKeyPress(typed);
        EXPECT_EQ(typed, 0) << int(key);
    }

    QTest::keyClicks(form.cmbSplitSize, "x-1.");
    EXPECT_EQ(Text(form.cmbSplitSize), "14201");
    form.cmbSplitSize->lineEdit()->selectAll();
    QTest::keyClicks(form.cmbSplitSize->lineEdit(), "ab");
    EXPECT_EQ(Text(form.cmbSplitSize), "14201");
    QTest::keyClicks(form.txtNoFiles, "q");
    EXPECT_EQ(Text(form.txtNoFiles), "1");
    QTest::keyClick(form.txtNoFiles, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Text(form.txtNoFiles), "1");
    EXPECT_TRUE(gui.boxes.empty());
}

TEST_F(NumericFieldTest, UpDownStepsWithinTheRange) {
    MainWindow& form = Create({MakeFile("data.bin", 10000)});
    form.cmbSplitMethod->setCurrentIndex(1);
    QTest::mouseClick(form.udNoFiles->UpButton(), Qt::LeftButton);
    EXPECT_EQ(Text(form.txtNoFiles), "2");
    EXPECT_EQ(Text(form.lblSplitDetails), "Split file size:  5KB");
    QTest::keyClick(form.txtNoFiles, Qt::Key_Up);
    EXPECT_EQ(Text(form.txtNoFiles), "3");
    Retype(form.txtNoFiles, "32767");
    QTest::mouseClick(form.udNoFiles->UpButton(), Qt::LeftButton);
    EXPECT_EQ(Text(form.txtNoFiles), "32767");
    Retype(form.txtNoFiles, "1");
    QTest::mouseClick(form.udNoFiles->DownButton(), Qt::LeftButton);
    EXPECT_EQ(Text(form.txtNoFiles), "1");
    EXPECT_TRUE(gui.boxes.empty());
}

TEST_F(NumericFieldTest, PastedTextThatIsNoNumberGoesToTheErrorReport) {
    MainWindow& form = Create({MakeFile("data.bin", 10000)});
    form.cmbSplitMethod->setCurrentIndex(0);
    form.cmbSplitSize->setEditText(QStringLiteral("12a"));
    ASSERT_EQ(gui.boxes.size(), 1u);
    EXPECT_EQ(gui.boxes[0].caption, "Kestrava File Splitter");
    EXPECT_EQ(gui.boxes[0].text, "'12a' is not a valid integer value.");
    EXPECT_EQ(Text(form.cmbSplitSize), "12a");
    // Setting the text it already holds runs no handler.
    form.cmbSplitSize->setEditText(QStringLiteral("12a"));
    form.cmbSplitMethod->setCurrentIndex(0);
    EXPECT_EQ(gui.boxes.size(), 1u);
}

using AddFileTest = MainWindowFixture;

TEST_F(AddFileTest, DestinationIsTheFilesOwnFolderUnlessADefaultIsSet) {
    const std::string movie = MakeFile("movie.avi", 100);
    const std::string descriptor = MakeFile("movie.avi.split", 10);
    {
        MainWindow& form = Create();
        form.AddFile(form.tsSplit, movie);
        EXPECT_EQ(Text(form.txtSplitTo), dir.Path());
        form.AddFile(form.tsRestore, descriptor);
        EXPECT_EQ(Text(form.txtRestoreTo), dir.Path());
        EXPECT_EQ(form.pcMain->currentWidget(), form.tsRestore);
        EXPECT_EQ(form.cmdAction->text(), QStringLiteral("&Restore"));
        EXPECT_EQ(Text(form.txtFileToSplit), movie);
    }
    MainWindow& form = Create();
    ProgramSettings() = Settings{true, true, "/media/pieces", "/media/whole"};
    form.AddFile(form.tsSplit, movie);
    EXPECT_EQ(Text(form.txtSplitTo), "/media/pieces");
    EXPECT_EQ(form.cmdAction->text(), QStringLiteral("&Split"));
    form.AddFile(form.tsRestore, descriptor);
    EXPECT_EQ(Text(form.txtRestoreTo), "/media/whole");
}

TEST_F(AddFileTest, AFileInTheRootFolderGetsTheRoot) {
    MainWindow& form = Create();
    form.AddFile(form.tsSplit, "/big.iso");
    EXPECT_EQ(Text(form.txtFileToSplit), "/big.iso");
    EXPECT_EQ(Text(form.txtSplitTo), "/");
    form.AddFile(form.tsRestore, "/big.iso.split");
    EXPECT_EQ(Text(form.txtRestoreTo), "/");
}

TEST_F(AddFileTest, TheChainsEndAfterOneNesting) {
    MainWindow& form = Create();
    int splitChanges = 0;
    int restoreChanges = 0;
    QObject::connect(form.txtFileToSplit, &QLineEdit::textChanged, [&] { ++splitChanges; });
    QObject::connect(form.txtSplitFile, &QLineEdit::textChanged, [&] { ++restoreChanges; });
    const std::string movie = MakeFile("movie.avi", 100);
    files.lookups = 0;
    form.AddFile(form.tsSplit, movie);
    EXPECT_EQ(splitChanges, 1);
    // AddFile's own search, then the change handler's: each a single look-up.
    EXPECT_EQ(files.lookups, 2);
    form.AddFile(form.tsSplit, movie);
    EXPECT_EQ(splitChanges, 1);

    const std::string descriptor = MakeFile("movie.avi.split", 10);
    form.AddFile(form.tsRestore, descriptor);
    EXPECT_EQ(restoreChanges, 1);
    EXPECT_EQ(Text(form.txtRestoreTo), dir.Path());
    form.AddFile(form.tsRestore, descriptor);
    EXPECT_EQ(restoreChanges, 1);
}

TEST_F(AddFileTest, TypingADescriptorNameFillsTheDestinationOnceItExists) {
    const std::string descriptor = MakeFile("archive.split", 10);
    const std::string text = MakeFile("archive.txt", 10);
    MainWindow& form = Create();
    form.pcMain->setCurrentWidget(form.tsRestore);
    QTest::keyClicks(form.txtSplitFile, ToQPath(text));
    EXPECT_TRUE(Text(form.txtRestoreTo).empty());
    Retype(form.txtSplitFile, ToQPath(descriptor));
    EXPECT_EQ(Text(form.txtRestoreTo), dir.Path());
    Retype(form.txtSplitFile, ToQPath(dir / "nothing.split"));
    EXPECT_EQ(Text(form.txtRestoreTo), dir.Path());
}

TEST_F(AddFileTest, FileChooserWorksOnTheActiveTab) {
    const std::string movie = MakeFile("movie.avi", 100);
    const std::string descriptor = MakeFile("old.split", 10);
    MainWindow& form = Create();

    gui.fileAnswer = movie;
    QTest::mouseClick(form.cmdBrowseFile, Qt::LeftButton);
    ASSERT_EQ(gui.fileRequests.size(), 1u);
    EXPECT_EQ(gui.fileRequests[0].title, "Select file to split");
    EXPECT_EQ(gui.fileRequests[0].argument, "All Files (*.*)|*.*");
    EXPECT_EQ(Text(form.txtFileToSplit), movie);

    form.pcMain->setCurrentWidget(form.tsRestore);
    EXPECT_EQ(form.cmdAction->text(), QStringLiteral("&Restore"));
    gui.fileAnswer = std::nullopt;
    QTest::mouseClick(form.cmdBrowseFile2, Qt::LeftButton);
    EXPECT_EQ(gui.fileRequests[1].title, "Select file to restore");
    EXPECT_EQ(gui.fileRequests[1].argument, "Split Files (*.split)|*.split");
    EXPECT_TRUE(Text(form.txtSplitFile).empty());

    gui.fileAnswer = descriptor;
    QTest::mouseClick(form.cmdBrowseFile2, Qt::LeftButton);
    EXPECT_EQ(Text(form.txtSplitFile), descriptor);
    EXPECT_EQ(Text(form.txtRestoreTo), dir.Path());
    EXPECT_EQ(Text(form.txtFileToSplit), movie);
    EXPECT_EQ(form.pcMain->currentWidget(), form.tsRestore);
}

TEST_F(AddFileTest, FolderChooserStartsAtTheFieldAndCancelKeepsIt) {
    MainWindow& form = Create({MakeFile("movie.avi", 100)});
    gui.folderAnswer = std::nullopt;
    QTest::mouseClick(form.cmdBrowseFolderSplit, Qt::LeftButton);
    ASSERT_EQ(gui.folderRequests.size(), 1u);
    EXPECT_EQ(gui.folderRequests[0].title, "Select destination folder");
    EXPECT_EQ(gui.folderRequests[0].argument, dir.Path());
    EXPECT_EQ(Text(form.txtSplitTo), dir.Path());

    gui.folderAnswer = "/elsewhere";
    QTest::mouseClick(form.cmdBrowseFolderSplit, Qt::LeftButton);
    EXPECT_EQ(Text(form.txtSplitTo), "/elsewhere");
    QTest::mouseClick(form.cmdBrowseFolderRestore, Qt::LeftButton);
    EXPECT_EQ(gui.folderRequests[2].argument, "");
    EXPECT_EQ(Text(form.txtRestoreTo), "/elsewhere");
}

TEST_F(AddFileTest, ADroppedFileGoesToTheTabOfItsKind) {
    const std::string movie = MakeFile("movie.avi", 100);
    const std::string descriptor = MakeFile("movie.avi.SPLIT", 10);
    MainWindow& form = Create();
    const auto drop = [&](const std::string& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(ToQPath(path))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        enter.setAccepted(false);
        QCoreApplication::sendEvent(&form, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&form, &dropped);
    };
    drop(descriptor);
    EXPECT_EQ(form.pcMain->currentWidget(), form.tsRestore);
    EXPECT_EQ(Text(form.txtSplitFile), descriptor);
    drop(movie);
    EXPECT_EQ(form.pcMain->currentWidget(), form.tsSplit);
    EXPECT_EQ(Text(form.txtFileToSplit), movie);
}

using CloseTest = MainWindowFixture;

TEST_F(CloseTest, ExitAndCloseFreeTheWindow) {
    for (int way = 0; way < 2; ++way) {
        QPointer<MainWindow> form = new MainWindow({}, files);
        form->show();
        if (way == 0)
            form->miExit->trigger();
        else
            QTest::mouseClick(form->cmdClose, Qt::LeftButton);
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
