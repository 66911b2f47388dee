#pragma once
// The folder picker: a modal chooser of an existing folder of the file system. It is reached
// through the program's GuiService, so a test can answer it.

#include <optional>
#include <string>

namespace olvo {

class GuiService;

class FolderPicker {
  public:
    // gui shows the chooser.
    explicit FolderPicker(GuiService& gui) : m_gui(gui) {}

    // Before Execute: the folder to start at. After a true result: the chosen folder, without a
    // trailing delimiter except for the root folder "/".
    std::string Path;
    // The instruction shown with the chooser.
    std::string Title;

    // Shows the chooser over the active window. True with Path set when the user chose a folder;
    // false, Path unchanged, when the user cancelled.
    bool Execute();

  private:
    GuiService& m_gui;
};

// The folder chosen through gui, or empty text when the user cancelled.
std::string SelectFolder(GuiService& gui, const std::string& title,
                         const std::string& initialFolder);

// The desktop's own chooser behind GuiService::SelectFolder: shows title, starts at path when that
// folder exists (otherwise at the chooser's default), offers folders only and accepts only an
// existing one. Nothing when the user cancelled.
std::optional<std::string> ShowFolderDialog(const std::string& title, const std::string& path);

}  // namespace olvo
