// What a new user may throw at the main window: names typed or chosen that are not files, names
// of every kind, destinations that are read-only or full, descriptors and hives and update files of
// rubbish. Every case ends in seconds with one exact message (or none, on success), leaves the
// source and the pieces as they were, and leaves the window idle: the default cursor, no progress
// window, the action enabled.

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QGroupBox>
#include <QProgressBar>
#include <QTabBar>
#include <chrono>
#include <map>
#include <random>

#include "gui/ConfigWindow.h"
#include "gui/UpdateCheckWindow.h"
#include "platform/Download.h"
#include "platform/Registry.h"
#include "platform/RegistryHive.h"
#include "support/TestHttpServer.h"
#include "tests/gui/MainWindowFixture.h"

namespace olvo::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr auto kPatience = 10s;

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

// The regular files of a folder with their contents.
std::map<std::string, std::string> Contents(const std::string& folder) {
    std::map<std::string, std::string> found;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file())
            found[entry.path().filename().string()] = ReadFile(entry.path().string());
    return found;
}

// A tmpfs of its own at path for the life of the object, where mounting is permitted.
class TmpfsMount {
  public:
    TmpfsMount(const std::string& path, unsigned long flags, const std::string& options)
        : m_path(path) {
        fs::create_directories(path);
        m_mounted = ::mount("tmpfs", path.c_str(), "tmpfs", flags, options.c_str()) == 0;
    }
    ~TmpfsMount() {
        if (m_mounted) ::umount2(m_path.c_str(), MNT_DETACH);
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;
    bool Mounted() const { return m_mounted; }

  private:
    std::string m_path;
    bool m_mounted = false;
};

class BadInputGui : public MainWindowFixture {
  protected:
    MainWindow& Open() {
        MainForm form = Create();
        form->show();
        return form;
    }
    std::string Folder(const std::string& name) {
        const std::string path = dir / name;
        fs::create_directories(path);
        return path;
    }

    // The boxes shown so far as "caption: text", forgotten afterwards.
    std::vector<std::string> Shown() {
        std::vector<std::string> shown;
        for (const FakeGui::Box& box : gui.boxes) shown.push_back(box.caption + ": " + box.text);
        gui.boxes.clear();
        return shown;
    }
    static std::vector<std::string> Error(const std::string& text) { return {"Error: " + text}; }

    // Replaces the text of an edit as typing does, letters beyond ASCII as a keyboard layout
    // delivers them: key events that carry the letter as their text.
    static void TypeInto(QLineEdit* edit, const QString& text) {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        for (const QChar letter : text) {
            if (letter.unicode() < 128) {
                QTest::keyClick(edit, letter.toLatin1());
                continue;
            }
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(letter));
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(letter));
            QApplication::sendEvent(edit, &press);
            QApplication::sendEvent(edit, &release);
        }
    }

    void ShowTab(int index) {
        QTest::mouseClick(Form().tabs->tabBar(), Qt::LeftButton, Qt::NoModifier,
                          Form().tabs->tabBar()->tabRect(index).center());
    }

    // The Split tab: the source typed or chosen in the file dialog, the destination chosen in the
    // folder dialog (none: the one the window filled in), pieces of sizeKB.
    void PrepareSplit(const std::string& source, bool typed, const std::string& destination = "",
                      const QString& sizeKB = QStringLiteral("1")) {
        MainForm form = Form();
        ShowTab(0);
        if (typed) {
            TypeInto(form.sourceFileEdit, ToQPath(source));
        } else {
            gui.fileAnswer = source;
            QTest::mouseClick(form.browseSourceButton, Qt::LeftButton);
        }
        if (!destination.empty()) {
            gui.folderAnswer = destination;
            QTest::mouseClick(form.browseSplitFolderButton, Qt::LeftButton);
        }
        form.splitMethodBox->setCurrentIndex(0);
        Retype(form.splitSizeBox->lineEdit(), sizeKB);
    }
    // The Restore tab: the descriptor typed or chosen, the destination chosen.
    void PrepareRestore(const std::string& descriptor, bool typed, const std::string& destination) {
        MainForm form = Form();
        ShowTab(1);
        if (typed) {
            TypeInto(form.descriptorEdit, ToQPath(descriptor));
        } else {
            gui.fileAnswer = descriptor;
            QTest::mouseClick(form.browseDescriptorButton, Qt::LeftButton);
        }
        gui.folderAnswer = destination;
        QTest::mouseClick(form.browseRestoreFolderButton, Qt::LeftButton);
    }

    // Presses the action button; the operation must be over in seconds, the window idle again.
    void Act(const std::string& what) {
        const auto start = std::chrono::steady_clock::now();
        QTest::mouseClick(Form().actionButton, Qt::LeftButton);
        WaitForOperation();
        EXPECT_LT(std::chrono::steady_clock::now() - start, kPatience) << what;
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << what;
        EXPECT_EQ(ProgressWindow(), nullptr) << what;
        EXPECT_FALSE(Form()->Busy()) << what;
        EXPECT_TRUE(Form().actionButton->isEnabled()) << what;
    }
};

TEST_F(BadInputGui, SourcesThatAreNotFilesNeedNoSplitting) {
    const std::string pipe = dir / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    ASSERT_EQ(::symlink((dir / "loop").c_str(), (dir / "loop").c_str()), 0);
    const std::string out = Folder("out");
    Open();
    for (const bool typed : {true, false}) {
        for (const std::string& source :
             {dir / "missing.bin", dir / "out", std::string("/dev/zero"), pipe, dir / "loop"}) {
            const std::string what = source + (typed ? " typed" : " chosen");
            PrepareSplit(source, typed, out);
            // A device or a pipe is found, with nothing in it to split.
            const bool found = source == "/dev/zero" || source == pipe;
            EXPECT_EQ(Text(Form().fileSizeLabel), found ? "0KB" : "-") << what;
            Act(what);
            EXPECT_EQ(Shown(), Error("File does not need splitting!")) << what;
            EXPECT_TRUE(gui.sounds.empty());
            EXPECT_TRUE(fs::is_empty(out)) << what;
        }
    }
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_TRUE(fs::is_symlink(dir / "loop"));
}

TEST_F(BadInputGui, DescriptorsThatAreNotFilesAreNotValid) {
    const std::string pipe = dir / "pipe.split";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    ASSERT_EQ(::symlink((dir / "loop.split").c_str(), (dir / "loop.split").c_str()), 0);
    const std::string folder = Folder("folder.split");
    const std::string out = Folder("out");
    Open();
    for (const bool typed : {true, false}) {
        for (const std::string& descriptor :
             {dir / "missing.split", folder, std::string("/dev/zero"), pipe, dir / "loop.split"}) {
            const std::string what = descriptor + (typed ? " typed" : " chosen");
            PrepareRestore(descriptor, typed, out);
            Act(what);
            EXPECT_EQ(Shown(), Error("Not a valid .split file!")) << what;
            EXPECT_TRUE(fs::is_empty(out)) << what;
        }
    }
}

// A pipe where a piece or the restored file is to be written has no reader: opening it for
// writing would wait for ever.
TEST_F(BadInputGui, APipeInThePlaceOfAFileToWriteIsNotWaitedFor) {
    const std::string out = Folder("out");
    const std::string bytes = PatternBytes(3000, 2);
    const std::string source = dir / "p.bin";
    WriteFile(source, bytes);
    ASSERT_EQ(::mkfifo((out + "/p.s02").c_str(), 0600), 0);
    Open();
    PrepareSplit(source, true, out);
    gui.boxAnswers = {BoxAnswer::Yes};  // a pipe in the place of a piece is someone's file
    Act("split");
    EXPECT_EQ(Shown(), (std::vector<std::string>{
                           "Split: The file p.s02 would be overwritten!\r\rDo you want to "
                           "overwrite it?",
                           "Error: Cannot create file " + out + "/p.s02: Permission denied!"}));
    EXPECT_EQ(ReadFile(source), bytes);
    EXPECT_TRUE(fs::is_fifo(out + "/p.s02"));

    const std::string pieces = Folder("pieces");
    PrepareSplit(source, false, pieces);
    Act("split elsewhere");
    ASSERT_EQ(Shown(), std::vector<std::string>{});
    const auto set = Contents(pieces);
    fs::remove(out + "/p.s01");
    ASSERT_EQ(::mkfifo((out + "/p.bin").c_str(), 0600), 0);
    PrepareRestore(pieces + "/p.bin.split", true, out);
    Act("restore");
    EXPECT_EQ(Shown(), Error("Cannot create file " + out + "/p.bin!"));
    EXPECT_EQ(Contents(pieces), set);
    EXPECT_TRUE(fs::is_fifo(out + "/p.bin"));
}

TEST_F(BadInputGui, NamesOfEveryKindSplitAndRestore) {
    const std::string pieces = Folder("pieces");
    const std::string restored = Folder("restored");
    Open();
    const std::vector<std::pair<std::string, bool>> names = {
        {"with  two spaces .bin", true},
        {"año ñandú.bin", true},
        {"100% 50%d.bin", true},
        {"it's.bin", true},
        {"Привет мир.bin", true},
        {"日本語.dat", false},
        // Names no batch file can carry split too (the batch file says so when run); a line
        // break or a tab cannot be typed into the field, so they come from the dialog.
        {"quo\"te.bin", true},
        {"line\nbreak.bin", false},
        {"tab\tbed.bin", false}};
    unsigned seed = 1;
    for (const auto& [name, typed] : names) {
        const std::string bytes = PatternBytes(2500, seed++);
        const std::string source = dir / name;
        WriteFile(source, bytes);
        PrepareSplit(source, typed, pieces);
        Act(name);
        EXPECT_EQ(Shown(), std::vector<std::string>{}) << name;
        EXPECT_EQ(ReadFile(source), bytes) << name;
        const auto set = Contents(pieces);
        EXPECT_EQ(set.size(), 6u) << name;

        PrepareRestore(pieces + "/" + name + ".split", typed, restored);
        Act(name);
        EXPECT_EQ(Shown(), std::vector<std::string>{}) << name;
        EXPECT_EQ(ReadFile(restored + "/" + name), bytes) << name;
        EXPECT_EQ(Contents(pieces), set) << name;
        for (const auto& entry : set) fs::remove(pieces + "/" + entry.first);
    }
    EXPECT_EQ(gui.sounds.size(), 2 * names.size());
}

TEST_F(BadInputGui, AReadOnlyDestinationIsReportedAndHarmsNothing) {
    const std::string readOnly = dir / "ro";
    // Permission bits do not stop root; a read-only file system does.
    TmpfsMount mount(readOnly, MS_RDONLY, "size=1m");
    if (!mount.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";

    const std::string bytes = PatternBytes(5000, 4);
    const std::string source = dir / "data.bin";
    WriteFile(source, bytes);
    Open();
    PrepareSplit(source, true, readOnly);
    Act("split");
    EXPECT_EQ(Shown(),
              Error("Cannot create file " + readOnly + "/data.s01: Read-only file system!"));
    EXPECT_EQ(ReadFile(source), bytes);

    const std::string pieces = Folder("pieces");
    PrepareSplit(source, false, pieces);
    Act("split elsewhere");
    ASSERT_EQ(Shown(), std::vector<std::string>{});
    const auto set = Contents(pieces);
    PrepareRestore(pieces + "/data.bin.split", false, readOnly);
    Act("restore");
    EXPECT_EQ(Shown(),
              Error("Cannot create file " + readOnly + "/data.bin: Read-only file system!"));
    EXPECT_EQ(Contents(pieces), set);
    EXPECT_TRUE(fs::is_empty(readOnly));
}

TEST_F(BadInputGui, AFullDestinationAsksForMediaOrReportsTheFailedWrite) {
    const std::string small = dir / "small";
    TmpfsMount mount(small, 0, "size=256k");
    if (!mount.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";

    const std::string bytes = PatternBytes(400 * 1024, 5);
    const std::string source = dir / "big.bin";
    WriteFile(source, bytes);
    Open();

    // The space check finds room for two pieces of 100 KB, then asks for a new medium: Cancel.
    PrepareSplit(source, true, small, QStringLiteral("100"));
    Act("split, checked");
    EXPECT_EQ(Shown(), (std::vector<std::string>{
                           "Split: The split file being copied is too large for the destination "
                           "drive.\r\rInsert new media to continue.",
                           "Error: Operation aborted!"}));
    EXPECT_EQ(ReadFile(source), bytes);
    EXPECT_TRUE(Contents(small).empty());  // Cancel takes this medium's pieces away

    // A volume that claims more room than it has: the write itself fails.
    files.freeSpace = [](const std::string&) { return std::int64_t(1) << 40; };
    Act("split, disk full while writing");
    EXPECT_EQ(Shown(), Error("Stream write error: No space left on device!"));
    EXPECT_EQ(ReadFile(source), bytes);
    EXPECT_TRUE(Contents(small).empty());  // a failed write takes the pieces away too
    files.freeSpace = nullptr;

    // Restore: the whole file does not fit; nothing is created.
    const std::string pieces = Folder("pieces");
    PrepareSplit(source, false, pieces, QStringLiteral("100"));
    Act("split elsewhere");
    ASSERT_EQ(Shown(), std::vector<std::string>{});
    const auto set = Contents(pieces);
    PrepareRestore(pieces + "/big.bin.split", true, small);
    Act("restore, checked");
    EXPECT_EQ(Shown(), Error("The restored file will be too large for the destination drive.\r\r"
                             "Please select a new drive or insert higher capacity media."));
    EXPECT_TRUE(fs::is_empty(small));

    files.freeSpace = [](const std::string&) { return std::int64_t(1) << 40; };
    Act("restore, disk full while writing");
    EXPECT_EQ(Shown(), Error("Stream write error: No space left on device!"));
    EXPECT_TRUE(fs::is_empty(small));  // the unfinished file is gone
    EXPECT_EQ(Contents(pieces), set);
    EXPECT_EQ(ReadFile(source), bytes);
}

TEST_F(BadInputGui, ADescriptorOfRandomBytesIsRefused) {
    const std::string pieces = Folder("pieces");
    const std::string out = Folder("out");
    const std::string bytes = PatternBytes(3000, 6);
    WriteFile(pieces + "/noise.s01", bytes);
    Open();
    for (unsigned seed = 1; seed <= 4; ++seed) {
        const std::string noise = RandomBytes(4096, seed);
        WriteFile(pieces + "/noise.split", noise);
        PrepareRestore(pieces + "/noise.split", seed % 2 == 0, out);
        Act("seed " + std::to_string(seed));
        EXPECT_EQ(Shown(), Error("Invalid numeric input!")) << seed;
        EXPECT_EQ(ReadFile(pieces + "/noise.split"), noise);
        EXPECT_EQ(ReadFile(pieces + "/noise.s01"), bytes);
        EXPECT_TRUE(fs::is_empty(out)) << seed;
    }
}

TEST_F(BadInputGui, APieceCountOfFourBillionForAFewBytesIsRefused) {
    const std::string pieces = Folder("pieces");
    const std::string out = Folder("out");
    const std::string bytes = PatternBytes(3000, 7);
    const std::string source = dir / "p.bin";
    WriteFile(source, bytes);
    Open();
    PrepareSplit(source, true, pieces);
    Act("split");
    ASSERT_EQ(Shown(), std::vector<std::string>{});

    // The count rewritten to the largest the descriptor can state; size, date, checksum stay.
    const std::string descriptor = pieces + "/p.bin.split";
    std::string text = ReadFile(descriptor);
    text.replace(0, text.find("\r\n"), "4294967295");
    WriteFile(descriptor, text);
    const auto set = Contents(pieces);

    PrepareRestore(descriptor, false, out);
    Act("restore");
    EXPECT_EQ(Shown(), Error("Not a valid .split file!"));
    EXPECT_TRUE(fs::is_empty(out));
    EXPECT_EQ(Contents(pieces), set);
}

TEST_F(BadInputGui, AHiveOfRandomBytesGivesTheDefaultsAndIsKeptAsideOnTheNextSave) {
    const std::string hive = hivePath;
    fs::create_directories(fs::path(hive).parent_path());
    const std::string noise = RandomBytes(8192, 11);
    WriteFile(hive, noise);

    // The store's notices are said as the terminal tool says them.
    MainForm form = Open();
    EXPECT_EQ(Shown(), std::vector<std::string>{"Settings: The settings file " + hive +
                                                " cannot be read; the defaults are used."});
    EXPECT_EQ(form->SplitSizes(), (std::vector<std::string>{"1420", "663552", "714752"}));
    EXPECT_EQ(Text(form.splitSizeBox), "1420");
    EXPECT_FALSE(settings.SplitToFolder);
    EXPECT_FALSE(settings.RestoreToFolder);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // The next save, through the configuration window's OK.
    auto* config = new ConfigWindow(gui, *registry, ApplyTo(form), form.window);
    config->show();
    QTest::mouseClick(config->okButton, Qt::LeftButton);
    EXPECT_EQ(Shown(), std::vector<std::string>{});
    EXPECT_EQ(ReadFile(hive + ".bad"), noise);
    EXPECT_TRUE(ParseHive(ReadFile(hive)));
    Settings stored;
    LoadConfigValues(*registry, stored);
    EXPECT_EQ(stored.SplitSizes, "1420,663552,714752");
}

TEST_F(BadInputGui, AnUpdateFileOfRandomBytesShowsTheLatestVersion) {
    TestHttpServer server;
    TempDir copies;
    MainForm form = Open();
    auto* check = new UpdateCheckWindow(gui, form.window);
    UpdateCheckSetup setup;
    setup.homePageUrl = server.Url("/noise");
    setup.applicationTitle = "Kestrava File Splitter";
    setup.ownRelease = "100";
    setup.installedVersion = "1.0.0";
    setup.sectionName = "OLVO.exe";
    setup.localFolder = copies.Path();
    setup.download = [](const std::string& url, const std::string& localPath) {
        DownloadLimits limits;
        limits.stallTime = 2s;
        return DownloadUrlToFile(url, localPath, limits);
    };
    check->SetSetupSource([&] { return setup; });

    for (unsigned seed = 1; seed <= 3; ++seed) {
        server.Serve("/noise/products/versions.ini", {"200 OK", RandomBytes(64 * 1024, seed)});
        const auto start = std::chrono::steady_clock::now();
        check->hide();
        check->show();
        EXPECT_LT(std::chrono::steady_clock::now() - start, kPatience);
        EXPECT_EQ(Text(check->infoLabel), "You have the latest version of Kestrava File Splitter.");
        EXPECT_EQ(Text(check->installedVersionLabel), "1.0.0");
        EXPECT_EQ(Text(check->availableVersionLabel), "");
        EXPECT_FALSE(check->downloadGroup->isVisible());
        EXPECT_FALSE(Exists(copies / "versions.ini"));
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(Shown(), std::vector<std::string>{});
    }
    EXPECT_TRUE(gui.urls.empty());
}

}  // namespace
}  // namespace olvo::test
