#pragma once
// The program as a whole: its title, the application-wide error report and the start-up of its
// windows.

#include <cstdio>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace olvo {

class AboutWindow;
class ConfigWindow;
class MainWindow;

inline constexpr char kApplicationTitle[] = "Kestrava File Splitter";

// The text of the error report: the error's text, with a full stop appended when its last
// character sorts after ".".
std::string ErrorReportText(const std::string& errorText);

// The application-wide error report: a modal box with ErrorReportText, the application title as
// caption and the error icon. The program carries on afterwards.
void ReportError(const std::exception& error);

// Runs an event handler; an error that escapes it ends the handler and goes to ReportError.
// Qt cannot carry an exception through its event delivery, so every handler runs inside this.
template <class Handler>
void RunHandler(Handler&& handler) noexcept {
    try {
        handler();
    } catch (const std::exception& error) {
        ReportError(error);
    } catch (...) {
        ReportError(std::runtime_error("Unknown error"));
    }
}

// The windows of one run, created once at start-up in this order and living until its end.
struct ProgramWindows {
    MainWindow* mainForm = nullptr;
    ConfigWindow* config = nullptr;
    // The update-check window joins here, created after the configuration window.
    AboutWindow* about = nullptr;
};

// Start-up after the QApplication exists: sets the application title and creates the windows,
// the main window first (which loads the settings and takes the first argument as its file).
// Nothing is shown yet. arguments are the command line without the program name.
ProgramWindows StartUp(const std::vector<std::string>& arguments);

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
class NoDisplayGuard {
  public:
    NoDisplayGuard();
    ~NoDisplayGuard();
    NoDisplayGuard(const NoDisplayGuard&) = delete;
    NoDisplayGuard& operator=(const NoDisplayGuard&) = delete;
};

// Start-up, then shows the main window and runs the event loop until it is closed. Returns the
// process's exit code.
int RunProgram(const std::vector<std::string>& arguments);

}  // namespace olvo
