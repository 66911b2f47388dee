// olvo-screenshot [--font-size PT] [--dark] OUTDIR [WINDOW...]: starts the program's windows as
// the program does and saves PNG pictures of them into OUTDIR: the main window's Split tab (fresh,
// and with a file and a piece size chosen) and its Restore tab, and every further WINDOW named
// ("progress": a split to a 5 MB/s medium a second after its start; "verify": the Verify window of
// a set with two recovery pieces, a missing and a damaged piece, and again after its Repair;
// "about", "config", "help", "updates-newer",
// "updates-latest", "done").
// --font-size gives the application a font of that many points, as a desktop's font setting does;
// --dark gives it the Fusion style with a dark palette.
// Dialogs that would wait for a user are answered at once. Run it with QT_QPA_PLATFORM=offscreen
// where there is no display.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/settings/SettingsStore.h"
#include "core/version/ProductUrls.h"
#include "gui/AboutWindow.h"
#include "gui/Application.h"
#include "gui/ConfigWindow.h"
#include "gui/GuiProgress.h"
#include "gui/GuiService.h"
#include "gui/HelpViewer.h"
#include "gui/MainWindow.h"
#include "gui/StatusLine.h"
#include "gui/UpdateCheckWindow.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"

namespace {

using namespace olvo;

class SilentGui final : public GuiService {
  public:
    BoxAnswer MessageBox(const std::string& caption, const std::string& text, BoxIcon,
                         BoxButtons buttons) override {
        std::fprintf(stderr, "olvo-screenshot: box \"%s\": %s\n", caption.c_str(), text.c_str());
        return buttons == BoxButtons::Ok      ? BoxAnswer::Ok
               : buttons == BoxButtons::YesNo ? BoxAnswer::No
                                              : BoxAnswer::Cancel;
    }
    std::optional<std::string> OpenFileName(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> SelectFolder(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    void OpenUrl(const std::string&) override {}
    void PlaySystemSound(const std::string&) override {}
    void ShowHelpContents(const std::string&) override {}
};

// The system's files, with every write held to about 5 MB/s while slow is set: a USB 2 stick.
class SlowFiles final : public FileSystemWrapper {
  public:
    using FileSystemWrapper::FileSystemWrapper;
    bool slow = false;

    std::unique_ptr<OutputFile> Create(const std::string& p) override {
        return std::make_unique<SlowFile>(Target().Create(p), slow);
    }
    std::unique_ptr<OutputFile> CreateExclusive(const std::string& p) override {
        return std::make_unique<SlowFile>(Target().CreateExclusive(p), slow);
    }
    // The slow files have no descriptor for the kernel, so the copy goes through their Write.

  private:
    class SlowFile final : public OutputFile {
      public:
        SlowFile(std::unique_ptr<OutputFile> file, const bool& slow)
            : m_file(std::move(file)), m_slow(slow) {}
        void Write(const void* data, std::size_t size) override {
            if (m_slow) QThread::usleep(static_cast<unsigned long>(size / 5));
            m_file->Write(data, size);
        }
        void Flush() override { m_file->Flush(); }
        void Truncate(std::uint64_t size) override { m_file->Truncate(size); }
        bool SetLastWriteTime(FileTime time) override { return m_file->SetLastWriteTime(time); }
        bool SetExactTime(FileTime seconds, std::uint32_t nanoseconds) override {
            return m_file->SetExactTime(seconds, nanoseconds);
        }

      private:
        std::unique_ptr<OutputFile> m_file;
        const bool& m_slow;
    };
};

template <class Widget>
Widget* Find(QWidget* window, const char* name) {
    return window->findChild<Widget*>(QString::fromLatin1(name));
}

QWidget* TopLevel(const char* name) {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String(name) && widget->isVisible()) return widget;
    return nullptr;
}

// Runs the event loop for ms milliseconds, or until done says so.
void RunFor(int ms, const std::function<bool()>& done = {}) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms && !(done && done())) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

bool Save(QWidget* window, const QString& folder, const QString& name) {
    window->show();
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    if (!window->grab().save(path)) {
        std::fprintf(stderr, "olvo-screenshot: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

// A dark palette as a desktop's dark theme gives one.
QPalette DarkPalette() {
    QPalette palette;
    const QColor window(53, 53, 53), base(35, 35, 35), text(230, 230, 230);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::ToolTipBase, QColor(70, 70, 50));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::red);
    palette.setColor(QPalette::Link, QColor(110, 170, 255));
    palette.setColor(QPalette::LinkVisited, QColor(180, 140, 255));
    palette.setColor(QPalette::Highlight, QColor(42, 130, 218));
    palette.setColor(QPalette::HighlightedText, Qt::black);
    palette.setColor(QPalette::PlaceholderText, QColor(150, 150, 150));
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, QColor(127, 127, 127));
    return palette;
}

int Usage() {
    std::fprintf(
        stderr,
        "usage: olvo-screenshot [--font-size PT] [--dark] OUTDIR [progress] [verify] [about] "
        "[config] [help] [updates-newer] [updates-latest]\n");
    return 2;
}

namespace {

// The options before OUTDIR: the index of the first argument after them, or nothing when one
// is not understood.
std::optional<int> ApplyOptions(int argc, char** argv) {
    int first = 1;
    for (; first < argc && std::strncmp(argv[first], "--", 2) == 0; ++first) {
        const std::string option = argv[first];
        if (option == "--dark") {
            QApplication::setStyle(QStringLiteral("Fusion"));
            QApplication::setPalette(DarkPalette());
        } else if (option == "--font-size" && first + 1 < argc && std::atoi(argv[first + 1]) > 0) {
            QFont font = QApplication::font();
            font.setPointSize(std::atoi(argv[++first]));
            QApplication::setFont(font);
        } else {
            return std::nullopt;
        }
    }
    return first;
}

// What every picture is taken with: the windows, the sample files, where the pictures go, and
// whether all were saved so far.
struct Shots {
    const ProgramWindows& windows;
    SlowFiles& files;
    HelpViewerSlot& help;
    const QString& folder;
    QTemporaryDir& sample;
    MainWindow* form;
    QTabWidget* tabs;
    QComboBox* method;
    std::string file;  // the small sample, Holiday.avi
    bool ok = true;

    void Take(QWidget* window, const QString& name) {
        ok = window && Save(window, folder, name) && ok;
    }
};

// The main window empty, with a file split by size and by count, and on the Restore tab.
void ShootMainWindow(Shots& shots) {
    shots.Take(shots.form, QStringLiteral("main-split"));
    std::ofstream(shots.file, std::ios::binary) << std::string(1500000, 'x');
    shots.form->OpenFile(MainWindow::Operation::Split, shots.file);
    shots.method->setCurrentIndex(0);
    shots.Take(shots.form, QStringLiteral("main-split-size"));
    shots.method->setCurrentIndex(1);
    Find<QLineEdit>(shots.form, "txtNoFiles")->setText(QStringLiteral("3"));
    shots.Take(shots.form, QStringLiteral("main-split-files"));
    auto* recovery = Find<QSpinBox>(shots.form, "recoveryPiecesBox");
    recovery->setValue(1);
    shots.Take(shots.form, QStringLiteral("main-split-recovery"));
    recovery->setValue(0);
    shots.tabs->setCurrentWidget(Find<QWidget>(shots.form, "tsRestore"));
    shots.Take(shots.form, QStringLiteral("main-restore"));
}

// A 60 MB file split into pieces of 10 MB on a 5 MB/s medium, a second and a half after its
// start; then cancelled, as the user would.
void ShootProgress(Shots& shots) {
    MainWindow* form = shots.form;
    const std::string big = shots.sample.filePath(QStringLiteral("Film.iso")).toStdString();
    std::ofstream(big, std::ios::binary) << std::string(60000000, 'y');
    form->OpenFile(MainWindow::Operation::Split, big);
    shots.method->setCurrentIndex(0);
    Find<QComboBox>(form, "cmbSplitSize")->setEditText(QStringLiteral("10240"));
    shots.files.slow = true;
    Find<QPushButton>(form, "cmdAction")->click();
    RunFor(1500);
    QWidget* progress = TopLevel("ProgressWindow");
    shots.Take(progress, QStringLiteral("progress"));
    if (progress) Find<QPushButton>(progress, "cmdCancel")->click();
    RunFor(5000, [form] { return !form->Busy(); });
    shots.files.slow = false;
}

// A set of five pieces and two recovery pieces, the second lost and the fourth damaged; then
// repaired.
void ShootVerify(Shots& shots) {
    MainWindow* form = shots.form;
    form->OpenFile(MainWindow::Operation::Split, shots.file);
    shots.method->setCurrentIndex(1);
    Find<QLineEdit>(form, "txtNoFiles")->setText(QStringLiteral("5"));
    auto* recovery = Find<QSpinBox>(form, "recoveryPiecesBox");
    recovery->setValue(2);
    Find<QPushButton>(form, "cmdAction")->click();
    RunFor(10000, [form] { return !form->Busy(); });
    const std::string base = shots.sample.filePath(QStringLiteral("Holiday")).toStdString();
    std::remove((base + ".s02").c_str());
    std::fstream(base + ".s04", std::ios::in | std::ios::out | std::ios::binary) << "!";
    form->OpenFile(MainWindow::Operation::Restore, base + ".avi.split");
    Find<QPushButton>(form, "cmdVerify")->click();
    RunFor(10000, [form] { return !form->Busy(); });
    QWidget* verify = Find<QWidget>(form, "VerifyWindow");
    shots.Take(verify, QStringLiteral("verify"));
    if (verify) {
        Find<QPushButton>(verify, "repairButton")->click();
        RunFor(10000, [form] { return !form->Busy(); });
        shots.Take(verify, QStringLiteral("verify-repaired"));
        verify->hide();
    }
    recovery->setValue(0);
}

// The update check against a file published here and now instead of on the web site.
void ShootUpdateCheck(Shots& shots, const std::string& name) {
    UpdateCheckWindow* check = shots.windows.updateCheck;
    const bool newer = name == "updates-newer";
    QTemporaryDir& sample = shots.sample;
    check->SetSetupSource([newer, &sample] {
        UpdateCheckSetup setup = OwnUpdateCheckSetup(HomePageUrl, kApplicationTitle);
        const std::string ini =
            "[" + setup.sectionName + "]\nRelease=" + (newer ? "2147483647" : setup.ownRelease) +
            "\nVersion=" + (newer ? "1.1.0" : setup.installedVersion) +
            "\nDisplayText=Version 1.1.0 of Kestrava File Splitter is out. It splits "
            "and restores large files faster and remembers the last folders used."
            "\nLocation=http://www.example.com/olvo/files/\nFileName=olvo-1.1.0.zip\n";
        setup.localFolder = sample.path().toStdString();
        setup.download = [ini](const std::string&, const std::string& localPath) {
            return static_cast<bool>(std::ofstream(localPath, std::ios::binary) << ini);
        };
        return setup;
    });
    check->CentreOnShow(shots.form);
    shots.Take(check, QString::fromStdString(name));
    check->hide();
}

// The picture of the window named on the command line; false when there is no such window.
bool ShootNamed(Shots& shots, const std::string& name) {
    const ProgramWindows& windows = shots.windows;
    if (name == "progress") {
        ShootProgress(shots);
    } else if (name == "verify") {
        ShootVerify(shots);
    } else if (name == "done") {
        // After a split: the status line with the way to the pieces.
        shots.tabs->setCurrentWidget(Find<QWidget>(shots.form, "tsSplit"));
        auto* status = Find<StatusLine>(shots.form, "StatusLine");
        status->ShowDone("Split into 37 pieces in /tmp/data", "/tmp/data");
        shots.Take(shots.form, QStringLiteral("main-done"));
        status->Clear();
    } else if (name == "config" && windows.config) {
        // As a new user first sees it, then with a default split folder chosen.
        shots.Take(windows.config, QStringLiteral("config"));
        windows.config->defaultSplitFolderEdit->setText(QStringLiteral("/home/user/Splits"));
        windows.config->splitToFolderBox->setChecked(true);
        shots.Take(windows.config, QStringLiteral("config-folders"));
        windows.config->hide();
    } else if (name == "about" && windows.about) {
        shots.Take(windows.about, QStringLiteral("about"));
        windows.about->hide();
    } else if ((name == "updates-newer" || name == "updates-latest") && windows.updateCheck) {
        ShootUpdateCheck(shots, name);
    } else if (name == "help") {
        // The help beside the program, opened on its contents as F1 opens it.
        shots.help.Show(shots.form->HelpFilePath());
        HelpViewer* viewer = shots.help.Viewer();
        shots.Take(viewer, QStringLiteral("help"));
        delete viewer;
    } else {
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    std::setlocale(LC_ALL, "");
    const std::optional<int> first = ApplyOptions(argc, argv);
    if (!first || *first >= argc) return Usage();
    argv += *first - 1;
    argc -= *first - 1;
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    // The program's own file system, settings hive and settings, as it makes them; writes can
    // be slowed down to a stick's pace.
    const std::unique_ptr<FileSystem> system = MakeSystemFileSystem();
    SlowFiles files(*system);
    const std::unique_ptr<Registry> registry = OpenUserRegistry();
    Settings settings;
    SilentGui gui;
    HelpViewerSlot help(gui);

    const ProgramWindows windows = StartUp({gui, *registry, files, settings}, {});
    MainWindow* form = windows.mainWindow;
    QTemporaryDir sample;
    Shots shots{windows,
                files,
                help,
                folder,
                sample,
                form,
                Find<QTabWidget>(form, "pcMain"),
                Find<QComboBox>(form, "cmbSplitMethod"),
                sample.filePath(QStringLiteral("Holiday.avi")).toStdString()};
    ShootMainWindow(shots);
    for (int i = 2; i < argc; ++i) {
        const std::string name = argv[i];
        if (!ShootNamed(shots, name)) {
            std::fprintf(stderr, "olvo-screenshot: no window named %s\n", name.c_str());
            shots.ok = false;
        }
    }
    delete form;
    return shots.ok ? 0 : 1;
}
