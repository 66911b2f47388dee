#pragma once
// Everything the windows ask of the desktop beyond drawing themselves: message boxes, the file and
// folder choosers, the browser, system sounds and the help viewer. The program's start-up makes one
// service and hands it to every window, so that a test can hand them a service that answers every
// dialog without a human.
// Texts are UTF-8; paths are the file system's bytes.

#include <memory>
#include <optional>
#include <string>

namespace olvo {

enum class BoxIcon { Information, Error };
enum class BoxButtons { Ok, RetryCancel, YesNo };
enum class BoxAnswer { Ok, Retry, Cancel, Yes, No };

class GuiService {
  public:
    virtual ~GuiService() = default;

    // A modal message box over the active window. A carriage return in text breaks the line.
    // Closing the box without a button answers Cancel (Ok for a box that has only Ok, No for a
    // Yes/No box).
    virtual BoxAnswer MessageBox(const std::string& caption, const std::string& text, BoxIcon icon,
                                 BoxButtons buttons) = 0;

    // The modal open-file dialog; filter holds "description|pattern" pairs separated by "|".
    // The path of an existing file, or nothing when the user cancelled.
    virtual std::optional<std::string> OpenFileName(const std::string& title,
                                                    const std::string& filter) = 0;

    // The modal folder chooser, showing title and starting at path when that folder exists.
    // The path of an existing folder, or nothing when the user cancelled.
    virtual std::optional<std::string> SelectFolder(const std::string& title,
                                                    const std::string& path) = 0;

    // Hands a web address to the desktop's browser; a failure is not reported.
    virtual void OpenUrl(const std::string& url) = 0;

    // Plays a system sound by its alias ("SystemAsterisk") without waiting; silence when the
    // desktop has no sound for it.
    virtual void PlaySystemSound(const std::string& alias) = 0;

    // Shows the table of contents of a help file; one that cannot be opened is reported with its
    // path.
    virtual void ShowHelpContents(const std::string& helpFile) = 0;

    // True while one of the program's windows is the desktop's active window, so that the user
    // sees what the program shows.
    virtual bool ProgramInFront() { return true; }

    // A desktop notification with a summary line and a body, for news the user may be away
    // from; nothing when the desktop has no notification service. Does not wait.
    virtual void Notify(const std::string& /*summary*/, const std::string& /*body*/) {}
};

// The desktop's own dialogs, browser, sounds, notifications and help window.
std::unique_ptr<GuiService> MakeDesktopGuiService();

}  // namespace olvo
