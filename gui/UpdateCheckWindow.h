#pragma once
// The update-check window: whether a newer release has been published, with the offer to fetch
// it, the message that the program is up to date, or the message that the check failed.
//
// One instance is created, hidden, at start-up after the configuration window and lives until the
// program ends; Help > Check for Updates shows it modally, centred on the main window. Every
// showing runs the whole check afresh (CheckForUpdates of version/UpdateCheck.h) before the window
// appears, with the hourglass as the application's cursor meanwhile, and fills every value label
// and the download group anew. Closing (the Close button or the close box) only hides it; Escape
// does not close it.
//
// Following the download link hands its address to the browser and ends the program, but only a
// web address (IsOpenableLink): the address comes from a file fetched over plain http, and any
// other kind could make the desktop start a local program.
//
// Every handler runs inside RunHandler: an error that escapes it goes to the application-wide
// error report.

#include <QDialog>
#include <QPointer>
#include <functional>

#include "core/version/UpdateCheck.h"

class QGroupBox;
class QLabel;
class QPushButton;

namespace olvo {

class GuiService;

class UpdateCheckWindow final : public QDialog {
  public:
    // Where a check gets its setup: by default OwnUpdateCheckSetup for HomePageUrl and the
    // application title, read afresh for every check.
    using SetupSource = std::function<UpdateCheckSetup()>;

    // gui takes the download link to the browser.
    explicit UpdateCheckWindow(GuiService& gui, QWidget* parent = nullptr);
    ~UpdateCheckWindow() override;

    // Replaces where the checks get their setup (nothing: the default again).
    void SetSetupSource(SetupSource source);

    // From now on every showing appears centred on owner as it stands then, kept on owner's
    // screen. Without an owner the window appears where the platform puts it.
    void CentreOnShow(QWidget* owner);

    // Controls.
    QGroupBox* infoGroup;
    QLabel* infoLabel;
    QGroupBox* versionGroup;
    QLabel* installedCaption;
    QLabel* installedVersionLabel;
    QLabel* availableCaption;
    QLabel* availableVersionLabel;
    QGroupBox* downloadGroup;
    QLabel* downloadHint;
    // Its hint (tool tip) holds the address of the new release; hints are not shown here.
    QLabel* downloadLink;
    QPushButton* closeButton;

    // Handlers.
    // Runs the check and shows its outcome, with the hourglass until it is done. The labels are
    // emptied and the download group hidden first, so a check that raises (our own release
    // number not an integer) leaves no earlier outcome behind; the cursor is the default again
    // on every path.
    void OnShow();
    // A web address in downloadLink's hint: hands it to the browser, then asks the application to
    // end (the window closes with it). Any other address: nothing happens.
    void OnDownloadLink();
    void OnCloseButton();

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildWindow();
    void Display(const UpdateCheckResult& result);

    GuiService& m_gui;
    SetupSource m_setupSource;
    QPointer<QWidget> m_centreOn;
};

}  // namespace olvo
