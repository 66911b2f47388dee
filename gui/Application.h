#pragma once
// The program as a whole: its title, the application-wide error report and the start-up of its
// windows.

#include <cstdio>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "gui/NonCopyable.h"

namespace olvo {

class AboutWindow;
class ConfigWindow;
class FileSystem;
class GuiService;
class MainWindow;
class Registry;
class UpdateCheckWindow;
struct Settings;

inline constexpr char kApplicationTitle[] = "Kestrava File Splitter";

// The text of the error report: the error's text, with a full stop appended when its last
// character sorts after ".".
std::string ErrorReportText(const std::string& errorText);

// The application-wide error report: a modal box through gui with ErrorReportText, the application
// title as caption and the error icon. The program carries on afterwards.
void ReportError(GuiService& gui, const std::exception& error);
// The same report of an error text: a check that ends a handler reports as a raised error does.
void ReportError(GuiService& gui, const std::string& errorText);

// Runs an event handler; an error that escapes it ends the handler and goes to ReportError.
// Qt cannot carry an exception through its event delivery, so every handler runs inside this.
template <class Handler>
void RunHandler(GuiService& gui, Handler&& handler) noexcept {
    try {
        handler();
    } catch (const std::exception& error) {
        ReportError(gui, error);
    } catch (...) {  // nothing may cross Qt's event delivery, whatever raised it
        ReportError(gui, std::runtime_error("Unknown error"));
    }
}

// The slot that runs handler of window inside RunHandler, for connecting to a control's signal.
template <class Window>
auto HandlerSlot(GuiService& gui, Window* window, void (Window::*handler)()) {
    return [&gui, window, handler] { RunHandler(gui, [&] { (window->*handler)(); }); };
}

// What the windows of one run share. RunProgram makes each once and hands them to StartUp, which
// hands each window what it uses.
struct ProgramServices {
    // Every dialog, the browser, the sounds and the help window.
    GuiService& gui;
    // The per-user hive the settings are kept in.
    Registry& registry;
    // Every look-up of the main window and the engine.
    FileSystem& files;
    // The settings of this run: loaded by the main window's creation, replaced by the
    // configuration window's Apply.
    Settings& settings;
};

// The windows of one run, created once at start-up in this order and living until its end. The
// main window owns the others.
struct ProgramWindows {
    MainWindow* mainWindow = nullptr;
    ConfigWindow* config = nullptr;
    UpdateCheckWindow* updateCheck = nullptr;
    AboutWindow* about = nullptr;
};

// Start-up after the QApplication exists: sets the application title and creates the windows,
// the main window first (which loads the settings and takes the first argument as its file).
// The main window's menus open the others; the configuration window's Apply goes to the main
// window. Nothing is shown yet. arguments are the command line without the program name.
ProgramWindows StartUp(const ProgramServices& services, const std::vector<std::string>& arguments);

// The desktop program's command line (without the program name, and after Qt took its own
// options such as -style): at most one FILE, alone or after --split or --restore, which choose
// its tab; -h/--help and --version print and end; "--" ends the options. Further files are
// ignored.
struct CommandLine {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::Run;
    // What the main window takes: nothing, {FILE}, {"--split", FILE} or {"--restore", FILE}.
    std::vector<std::string> windowArguments;
    // For UsageError: what is wrong, in a few words.
    std::string error;
};
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The text of --help, and of --version.
std::string HelpText();
std::string VersionText();

// What the program does with the command line before it needs a display: --help and --version
// print to out and end with 0, anything else goes on (nothing). Qt's own options are still in
// arguments here, so usage errors wait for ParseCommandLine.
std::optional<int> AnswerWithoutDisplay(const std::vector<std::string>& arguments, std::FILE* out);

// The one line the program writes to standard error when it cannot open a window.
inline constexpr char kNoDisplayText[] =
    "olvo: no graphical display to open a window on; use olvo-cli to split and restore in a "
    "terminal (see 'olvo-cli --help')";

// Held around the creation of the QApplication: when Qt finds no display (it would end the
// process with an abort and a page of platform-plugin text), the program writes kNoDisplayText
// instead and exits with 1. Qt's messages of a successful start pass on when it goes.
class NoDisplayGuard : NonCopyable {
  public:
    NoDisplayGuard();
    ~NoDisplayGuard();
};

// Makes the file system, the settings hive, the settings and the desktop's GUI service, starts up
// with them, then shows the main window and runs the event loop until it is closed. Returns the
// process's exit code.
int RunProgram(const std::vector<std::string>& arguments);

}  // namespace olvo
