// olvo-screenshot [--font-size PT] [--dark] OUTDIR [WINDOW...]: starts the program's windows as
// the program does and saves PNG pictures of them into OUTDIR: the main window's Split tab (fresh,
// and with a file and a piece size chosen) and its Restore tab, and every further WINDOW named
// ("progress", "about", "config", "help", "updates-newer", "updates-latest", "done").
// --font-size gives the application a font of that many points, as a desktop's font setting does;
// --dark gives it the Fusion style with a dark palette.
// Dialogs that would wait for a user are answered at once. Run it with QT_QPA_PLATFORM=offscreen
// where there is no display.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPalette>
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
#include <memory>

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
    std::fprintf(stderr,
                 "usage: olvo-screenshot [--font-size PT] [--dark] OUTDIR [progress] [about] "
                 "[config] [help] [updates-newer] [updates-latest]\n");
    return 2;
}

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    std::setlocale(LC_ALL, "");
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
            return Usage();
        }
    }
    if (first >= argc) return Usage();
    argv += first - 1;
    argc -= first - 1;
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    // The program's own file system, settings hive and settings, as it makes them.
    const std::unique_ptr<FileSystem> files = MakeSystemFileSystem();
    const std::unique_ptr<Registry> registry = OpenUserRegistry();
    Settings settings;
    SilentGui gui;
    HelpViewerSlot help(gui);

    const ProgramWindows windows = StartUp({gui, *registry, *files, settings}, {});
    MainWindow* form = windows.mainWindow;
    bool ok = Save(form, folder, QStringLiteral("main-split"));

    QTemporaryDir sample;
    const std::string file = sample.filePath(QStringLiteral("Holiday.avi")).toStdString();
    std::ofstream(file, std::ios::binary) << std::string(1500000, 'x');
    form->AddFile(form->splitTab, file);
    form->splitMethodBox->setCurrentIndex(0);
    ok = Save(form, folder, QStringLiteral("main-split-size")) && ok;
    form->splitMethodBox->setCurrentIndex(1);
    form->pieceCountEdit->setText(QStringLiteral("3"));
    ok = Save(form, folder, QStringLiteral("main-split-files")) && ok;

    form->tabs->setCurrentWidget(form->restoreTab);
    ok = Save(form, folder, QStringLiteral("main-restore")) && ok;

    for (int i = 2; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "progress") {
            // A 2 GB split a while after its start: the texts change at most every 100 ms.
            GuiProgress progress;
            progress.SetSubject("Splitting Holiday.avi");
            progress.Begin("Splitting File...", 37);
            constexpr std::uint64_t total = 2000000000;
            for (std::uint32_t step = 1; step <= 3; ++step) {
                QThread::msleep(110);
                progress.SetPosition(10 + step);
                progress.Bytes(step * (total / 4), total);
            }
            QThread::msleep(110);
            progress.ProcessMessages();
            ok = Save(progress.Window(), folder, QStringLiteral("progress")) && ok;
            progress.End();
        } else if (name == "done") {
            // After a split: the status line with the way to the pieces.
            form->tabs->setCurrentWidget(form->splitTab);
            form->statusLine->ShowDone("Split into 37 pieces in /tmp/data", "/tmp/data");
            ok = Save(form, folder, QStringLiteral("main-done")) && ok;
            form->statusLine->Clear();
        } else if (name == "config" && windows.config) {
            // As a new user first sees it, then with a default split folder chosen.
            ok = Save(windows.config, folder, QStringLiteral("config")) && ok;
            windows.config->defaultSplitFolderEdit->setText(QStringLiteral("/home/user/Splits"));
            windows.config->splitToFolderBox->setChecked(true);
            ok = Save(windows.config, folder, QStringLiteral("config-folders")) && ok;
            windows.config->hide();
        } else if (name == "about" && windows.about) {
            ok = Save(windows.about, folder, QStringLiteral("about")) && ok;
            windows.about->hide();
        } else if ((name == "updates-newer" || name == "updates-latest") && windows.updateCheck) {
            // Checked against a file published here and now instead of on the web site.
            UpdateCheckWindow* check = windows.updateCheck;
            const bool newer = name == "updates-newer";
            check->SetSetupSource([newer, &sample] {
                UpdateCheckSetup setup = OwnUpdateCheckSetup(HomePageUrl, kApplicationTitle);
                const std::string ini =
                    "[" + setup.sectionName +
                    "]\nRelease=" + (newer ? "2147483647" : setup.ownRelease) +
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
            check->CentreOnShow(form);
            ok = Save(check, folder, QString::fromStdString(name)) && ok;
            check->hide();
        } else if (name == "help") {
            // The help beside the program, opened on its contents as F1 opens it.
            help.Show(form->HelpFilePath());
            HelpViewer* viewer = help.Viewer();
            ok = viewer && Save(viewer, folder, QStringLiteral("help")) && ok;
            delete viewer;
        } else {
            std::fprintf(stderr, "olvo-screenshot: no window named %s\n", name.c_str());
            ok = false;
        }
    }
    delete form;
    return ok ? 0 : 1;
}
