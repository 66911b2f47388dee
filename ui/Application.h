#pragma once
// The program as a whole: its title, the application-wide error report and the start-up of its
// windows.

#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

namespace olvo {

class TfrmAbout;
class TfrmConfig;
class TfrmMainForm;

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
    TfrmMainForm* mainForm = nullptr;
    TfrmConfig* config = nullptr;
    // The update-check window joins here, created after the configuration window.
    TfrmAbout* about = nullptr;
};

// Start-up after the QApplication exists: sets the application title and creates the windows,
// the main window first (which loads the settings and takes the first argument as its file).
// Nothing is shown yet. arguments are the command line without the program name.
ProgramWindows StartUp(const std::vector<std::string>& arguments);

// Start-up, then shows the main window and runs the event loop until it is closed. Returns the
// process's exit code.
int RunProgram(const std::vector<std::string>& arguments);

}  // namespace olvo
