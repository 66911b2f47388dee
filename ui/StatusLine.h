#pragma once
// The main window's line under the tabs that says what the last operation did ("Split into 37
// pieces in /tmp/data", "Restored Holiday.avi"), with a button that opens the folder it wrote
// to in the desktop's file manager. Empty and without the button until there is news.

#include <QWidget>
#include <string>

class QLabel;
class QPushButton;

namespace olvo {

class TStatusLine final : public QWidget {
  public:
    explicit TStatusLine(QWidget* parent = nullptr);

    // Shows text and offers to open folder; a text too long for the line is shortened in the
    // middle, and shown whole in its tool tip.
    void ShowDone(const std::string& text, const std::string& folder);
    void Clear();

    // The news shown whole, empty when there is none; the folder the button opens.
    const std::string& Message() const { return m_text; }
    const std::string& Folder() const { return m_folder; }

    QLabel* lblStatus;
    QPushButton* cmdOpenFolder;

    // The address the desktop opens for a folder.
    static std::string FolderUrl(const std::string& folder);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ShowText();
    void cmdOpenFolderClick();

    std::string m_text;
    std::string m_folder;
};

}  // namespace olvo
