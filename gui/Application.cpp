#include "gui/Application.h"

#include <QApplication>
#include <QPointer>
#include <QString>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "core/settings/SettingsStore.h"
#include "gui/AboutWindow.h"
#include "gui/ConfigWindow.h"
#include "gui/GuiService.h"
#include "gui/MainWindow.h"
#include "gui/UpdateCheckWindow.h"
#include "gui/WindowParts.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"

namespace olvo {
namespace {

// Qt's messages while the QApplication is being created, held back until it is known whether
// there is a display.
struct HeldMessage {
    QtMsgType type;
    std::string file, function, category;
    int line;
    QString text;
};
std::mutex g_heldLock;
std::vector<HeldMessage> g_held;
QtMessageHandler g_previousHandler = nullptr;

void HoldStartUpMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        // The only fatal error while the application object is created: no platform plugin
        // could reach a display.
        std::fprintf(stderr, "%s\n", kNoDisplayText);
        std::fflush(stderr);
        std::_Exit(1);
    }
    const std::lock_guard<std::mutex> lock(g_heldLock);
    g_held.push_back({type, context.file ? context.file : "",
                      context.function ? context.function : "",
                      context.category ? context.category : "", context.line, text});
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    const auto fail = [&](const std::string& error) {
        line.action = CommandLine::Action::UsageError;
        line.error = error;
        line.windowArguments.clear();
        return line;
    };
    bool options = true;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (options && argument == "--") {
            options = false;
        } else if (options && (argument == "-h" || argument == "--help")) {
            line.action = CommandLine::Action::Help;
            line.windowArguments.clear();
            return line;
        } else if (options && argument == "--version") {
            line.action = CommandLine::Action::Version;
            line.windowArguments.clear();
            return line;
        } else if (options && (argument == "--split" || argument == "--restore")) {
            if (i + 1 >= arguments.size()) return fail("option '" + argument + "' needs a FILE");
            if (line.windowArguments.empty()) line.windowArguments = {argument, arguments[i + 1]};
            ++i;
        } else if (options && argument.size() > 1 && argument.front() == '-') {
            return fail("unknown option '" + argument + "'");
        } else if (line.windowArguments.empty()) {
            line.windowArguments = {argument};
        }
    }
    return line;
}

std::string HelpText() {
    return "Usage: olvo [FILE]\n"
           "       olvo --split FILE\n"
           "       olvo --restore FILE.split\n"
           "Kestrava File Splitter: cut a file into numbered pieces and put it back together.\n"
           "\n"
           "Opens the window. FILE goes into the Restore tab when its name ends in .split, and\n"
           "into the Split tab otherwise.\n"
           "\n"
           "Options:\n"
           "  --split FILE      open FILE in the Split tab, whatever its name\n"
           "  --restore FILE    open FILE, a .split file, in the Restore tab\n"
           "  -h, --help        print this help and exit\n"
           "  --version         print the version and exit\n"
           "  --                take what follows as a FILE, even when it begins with '-'\n"
           "Qt's own options (-style NAME, -platform NAME, ...) work as well.\n"
           "\n"
           "The window needs a graphical display. In a terminal, olvo-cli splits and restores\n"
           "the same files: see 'olvo-cli --help'.\n"
           "\n"
           "Exit status: 0 once the window is closed, 1 without a display, 2 for a wrong\n"
           "command line.\n";
}

std::string VersionText() {
    return std::string("olvo (") + kApplicationTitle + ") " + OLVO_VERSION + "\n";
}

std::optional<int> AnswerWithoutDisplay(const std::vector<std::string>& arguments, std::FILE* out) {
    for (const std::string& argument : arguments) {
        if (argument == "--") break;
        const bool help = argument == "-h" || argument == "--help";
        if (help || argument == "--version") {
            std::fputs((help ? HelpText() : VersionText()).c_str(), out);
            std::fflush(out);
            return 0;
        }
    }
    return std::nullopt;
}

NoDisplayGuard::NoDisplayGuard() {
    g_previousHandler = qInstallMessageHandler(HoldStartUpMessage);
}

NoDisplayGuard::~NoDisplayGuard() {
    qInstallMessageHandler(g_previousHandler);
    std::vector<HeldMessage> held;
    {
        const std::lock_guard<std::mutex> lock(g_heldLock);
        held.swap(g_held);
    }
    for (const HeldMessage& message : held) {
        const QMessageLogContext context(
            message.file.empty() ? nullptr : message.file.c_str(), message.line,
            message.function.empty() ? nullptr : message.function.c_str(),
            message.category.empty() ? nullptr : message.category.c_str());
        g_previousHandler(message.type, context, message.text);
    }
}

std::string ErrorReportText(const std::string& errorText) {
    if (!errorText.empty() && static_cast<unsigned char>(errorText.back()) > '.')
        return errorText + ".";
    return errorText;
}

void ReportError(GuiService& gui, const std::exception& error) {
    ReportError(gui, std::string(error.what()));
}

void ReportError(GuiService& gui, const std::string& errorText) {
    gui.MessageBox(kApplicationTitle, ErrorReportText(errorText), BoxIcon::Error, BoxButtons::Ok);
}

ProgramWindows StartUp(const ProgramServices& services, const std::vector<std::string>& arguments) {
    QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
    // The icon of every window that has none of its own: message boxes, the file choosers.
    QApplication::setWindowIcon(ProgramIcon());
    // The windows the menus open come after the main window, which owns them; its openers find
    // them here once they are made.
    const auto opened = std::make_shared<ProgramWindows>();
    MainWindow::Openers openers;
    openers.configuration = [opened] {
        if (opened->config) opened->config->exec();
    };
    openers.updateCheck = [opened](QWidget* owner) {
        if (!opened->updateCheck) return;
        opened->updateCheck->CentreOnShow(owner);
        opened->updateCheck->exec();
    };
    openers.about = [opened](QWidget* owner) {
        if (opened->about) opened->about->ShowModal(owner);
    };
    ProgramWindows windows;
    windows.mainWindow = new MainWindow(services, arguments, std::move(openers));
    MainWindow* mainWindow = windows.mainWindow;
    windows.config = new ConfigWindow(
        services.gui, services.registry,
        [mainWindow](const Settings& settings, const std::vector<std::string>& splitSizes) {
            mainWindow->ApplyConfiguration(settings, splitSizes);
        },
        mainWindow);
    // It checks afresh each time it is shown.
    windows.updateCheck = new UpdateCheckWindow(services.gui, mainWindow);
    // It composes its text from the version strings now, once.
    windows.about = new AboutWindow(services.gui, mainWindow);
    *opened = windows;
    return windows;
}

int RunProgram(const std::vector<std::string>& arguments) {
    const std::unique_ptr<FileSystem> files = MakeSystemFileSystem();
    const std::unique_ptr<Registry> registry = OpenUserRegistry();
    const std::unique_ptr<GuiService> gui = MakeDesktopGuiService();
    Settings settings;
    const ProgramWindows windows = StartUp({*gui, *registry, *files, settings}, arguments);
    const QPointer<MainWindow> mainWindow(windows.mainWindow);
    mainWindow->show();
    const int code = QApplication::exec();
    // Closing frees the main window only once the event loop has run on.
    delete mainWindow.data();
    return code;
}

}  // namespace olvo
