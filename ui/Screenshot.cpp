// olvo-screenshot OUTDIR [WINDOW...]: starts the program's windows as the program does and saves
// PNG pictures of them into OUTDIR: the main window's Split tab (fresh, and with a file and a
// piece size chosen) and its Restore tab, and every further WINDOW named ("progress", "about",
// "config", "help", "updates-newer", "updates-latest").
// Dialogs that would wait for a user are answered at once. Run it with QT_QPA_PLATFORM=offscreen
// where there is no display.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QWidget>
#include <clocale>
#include <cstdio>
#include <fstream>

#include "settings/Config.h"
#include "ui/Application.h"
#include "ui/GuiProgress.h"
#include "ui/GuiService.h"
#include "ui/HelpViewer.h"
#include "ui/Main.h"
#include "version/AboutForm.h"
#include "version/Chk4Updt.h"
#include "version/ProductUrls.h"

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

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    std::setlocale(LC_ALL, "");
    if (argc < 2) {
        std::fprintf(stderr, "usage: olvo-screenshot OUTDIR [progress] [about] [config]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    SilentGui gui;
    const ScopedGuiService installed(gui);

    const ProgramWindows windows = StartUp({});
    TfrmMainForm* form = windows.mainForm;
    bool ok = Save(form, folder, QStringLiteral("main-split"));

    QTemporaryDir sample;
    const std::string file = sample.filePath(QStringLiteral("Holiday.avi")).toStdString();
    std::ofstream(file, std::ios::binary) << std::string(1500000, 'x');
    form->AddFile(form->tsSplit, file);
    form->cmbSplitMethod->setCurrentIndex(0);
    ok = Save(form, folder, QStringLiteral("main-split-size")) && ok;
    form->cmbSplitMethod->setCurrentIndex(1);
    form->txtNoFiles->setText(QStringLiteral("3"));
    ok = Save(form, folder, QStringLiteral("main-split-files")) && ok;

    form->pcMain->setCurrentWidget(form->tsRestore);
    ok = Save(form, folder, QStringLiteral("main-restore")) && ok;

    for (int i = 2; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "progress") {
            GuiProgress progress;
            progress.Begin("Splitting File...", 10);
            progress.SetPosition(4);
            ok = Save(progress.Window(), folder, QStringLiteral("progress")) && ok;
            progress.End();
        } else if (name == "config" && windows.config) {
            // As a new user first sees it, then with a default split folder chosen.
            ok = Save(windows.config, folder, QStringLiteral("config")) && ok;
            windows.config->txtSplitToDef->setText(QStringLiteral("/home/user/Splits"));
            windows.config->chkSplitTo->setChecked(true);
            ok = Save(windows.config, folder, QStringLiteral("config-folders")) && ok;
            windows.config->hide();
        } else if (name == "about" && windows.about) {
            ok = Save(windows.about, folder, QStringLiteral("about")) && ok;
            windows.about->hide();
        } else if ((name == "updates-newer" || name == "updates-latest") &&
                   TfrmChk4Updt::Instance()) {
            // Checked against a file published here and now instead of on the web site.
            TfrmChk4Updt* check = TfrmChk4Updt::Instance();
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
            ShowHelpViewer(form->HelpFilePath());
            TfrmHelpViewer* viewer = HelpViewerInstance();
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
