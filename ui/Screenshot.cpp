// olvo-screenshot OUTDIR [WINDOW...]: starts the program's windows as the program does and saves
// PNG pictures of them into OUTDIR: the main window's Split tab (fresh, and with a file and a
// piece size chosen) and its Restore tab, and every further WINDOW named ("progress"). Dialogs
// that would wait for a user are answered at once. Run it with QT_QPA_PLATFORM=offscreen where
// there is no display.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QWidget>
#include <clocale>
#include <cstdio>
#include <fstream>

#include "ui/Application.h"
#include "ui/GuiProgress.h"
#include "ui/GuiService.h"
#include "ui/Main.h"

namespace {

using namespace olvo;

class SilentGui final : public GuiService {
  public:
    BoxAnswer MessageBox(const std::string& caption, const std::string& text, BoxIcon,
                         BoxButtons buttons) override {
        std::fprintf(stderr, "olvo-screenshot: box \"%s\": %s\n", caption.c_str(), text.c_str());
        return buttons == BoxButtons::Ok ? BoxAnswer::Ok : BoxAnswer::Cancel;
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
        std::fprintf(stderr, "usage: olvo-screenshot OUTDIR [progress]\n");
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
        } else {
            std::fprintf(stderr, "olvo-screenshot: no window named %s\n", name.c_str());
            ok = false;
        }
    }
    delete form;
    return ok ? 0 : 1;
}
