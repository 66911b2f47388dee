#pragma once
// The About window: the program's name, version, copyright, comments and licence note, read from
// the version strings of its own executable, with the maker's logo, a link to the home page and
// a donation button.
//
// One instance is created, hidden, at start-up and lives until the program ends. Its caption and
// text are composed once, by its creation (OnCreate); every showing shows the same text. The
// main window's Help > About shows it modally, centred on the main window; OK, Enter, Escape and
// the close box hide it again. The link and the donation button hand their address to the
// desktop's browser (GuiService::OpenUrl) and leave the window open. A picture that does not decode
// is left empty rather than shown half or as filler. Every handler runs inside RunHandler.

#include <QDialog>
#include <string>

class QFrame;
class QLabel;
class QPushButton;

namespace olvo {

class GuiService;

class AboutWindow final : public QDialog {
  public:
    // Builds the window and runs OnCreate on the running program's own executable; gui takes
    // the addresses of the link and the donation button.
    explicit AboutWindow(GuiService& gui, QWidget* parent = nullptr);
    // The same, with the version strings of executable.
    AboutWindow(GuiService& gui, const std::string& executable, QWidget* parent);
    ~AboutWindow() override;

    // Centres the window on owner (on the screen without one), shows it modally and returns when
    // it has closed.
    void ShowModal(const QWidget* owner);

    // Controls.
    QLabel* logoImage;
    QFrame* upperLine;
    QLabel* infoLabel;
    QLabel* donateImage;
    QLabel* homePageLink;
    QFrame* lowerLine;
    QPushButton* okButton;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildWindow();

    // Handlers.
    // Sets the caption and infoLabel from the version strings of executable (AboutText.h).
    void OnCreate(const std::string& executable);
    void OnHomePageLink();
    void OnDonateImage();
    void OnOk();

    GuiService& m_gui;
};

}  // namespace olvo
