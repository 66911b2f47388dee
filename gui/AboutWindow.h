#pragma once
// The About window: the program's name, version, copyright, comments and licence note, read from
// the version strings of its own executable, with the maker's logo, a link to the home page and
// a donation button.
//
// One instance is created, hidden, at start-up and lives until the program ends. Its caption and
// text are composed once, by its creation (FormCreate); every showing shows the same text. The
// main window's Help > About shows it modally, centred on the main window; OK, Enter, Escape and
// the close box hide it again. The link and the donation button hand their address to the
// desktop's browser (Gui().OpenUrl) and leave the window open. A picture that does not decode is
// left empty rather than shown half or as filler. Every handler runs inside RunHandler.

#include <QDialog>
#include <string>

class QFrame;
class QLabel;
class QPushButton;

namespace olvo {

class AboutWindow final : public QDialog {
  public:
    // Builds the window and runs FormCreate on the running program's own executable.
    explicit AboutWindow(QWidget* parent = nullptr);
    // The same, with the version strings of executable.
    AboutWindow(const std::string& executable, QWidget* parent);
    ~AboutWindow() override;

    // The instance of this run (the first one created), or null once it is gone.
    static AboutWindow* Instance();

    // Centres the window on owner (on the screen without one), shows it modally and returns when
    // it has closed.
    void ShowModal(const QWidget* owner);

    // Controls.
    QLabel* imgKestrava;
    QFrame* Bevel2;
    QLabel* lblInfo;
    QLabel* imgPayPal;
    QLabel* lblHomePage;
    QFrame* Bevel1;
    QPushButton* cmdOK;

    // Handlers.
    // Sets the caption and lblInfo from the version strings of executable (AboutText.h).
    void FormCreate(const std::string& executable);
    void lblHomePageClick();
    void imgPayPalClick();
    void cmdOKClick();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void BuildWindow();
};

}  // namespace olvo
