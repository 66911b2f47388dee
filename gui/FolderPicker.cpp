#include "gui/FolderPicker.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "gui/GuiService.h"
#include "gui/QtText.h"

namespace olvo {

bool FolderPicker::Execute() {
    const auto chosen = m_gui.SelectFolder(Title, Path);
    if (!chosen) return false;
    Path = *chosen;
    return true;
}

std::string SelectFolder(GuiService& gui, const std::string& title,
                         const std::string& initialFolder) {
    FolderPicker browser(gui);
    browser.Title = title;
    browser.Path = initialFolder;
    return browser.Execute() ? browser.Path : std::string();
}

std::optional<std::string> ShowFolderDialog(const std::string& title, const std::string& path) {
    QFileDialog dialog(QApplication::activeWindow(), ToQ(title));
    dialog.setFileMode(QFileDialog::Directory);
    // Choosing only: no new folders, no renaming or deleting from inside the chooser.
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::ReadOnly);
    const QFileInfo start(ToQPath(path));
    if (!path.empty() && start.isDir()) dialog.setDirectory(start.absoluteFilePath());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    // The dialog refuses a name that is not a folder; a folder removed meanwhile is refused here.
    const QFileInfo chosen(dialog.selectedFiles().constFirst());
    if (!chosen.isDir()) return std::nullopt;
    return FromQPath(QDir::cleanPath(chosen.absoluteFilePath()));
}

}  // namespace olvo
