#pragma once
// The main window's line under the tabs that says what the last operation did ("Split into 37
// pieces in /tmp/data", "Restored Holiday.avi in /tmp"). The folder at its end is a link-like
// button that opens that folder in the desktop's file manager. Empty until there is news.

#include <QWidget>
#include <string>

class QLabel;
class QToolButton;

namespace olvo {

class GuiService;

class StatusLine final : public QWidget {
  public:
    // gui opens the folder in the file manager.
    explicit StatusLine(GuiService& gui, QWidget* parent = nullptr);

    // Shows text, which ends with folder; the folder becomes the button that opens it. What does
    // not fit the line is shortened in the middle (the folder first) and shown whole in the tool
    // tips.
    void ShowDone(const std::string& text, const std::string& folder);
    void Clear();

    // The news shown whole, empty when there is none; the folder the button opens.
    const std::string& Message() const { return m_text; }
    const std::string& Folder() const { return m_folder; }

    // The text before the folder, and the folder as a button.
    QLabel* textLabel;
    QToolButton* openFolderButton;

    // The address the desktop opens for a folder.
    static std::string FolderUrl(const std::string& folder);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void ShowText();
    void OnOpenFolder();

    GuiService& m_gui;
    std::string m_text;
    std::string m_folder;
};

}  // namespace olvo
