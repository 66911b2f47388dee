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

// The application's cursor as a single setting, not a stack: the hourglass, or the default (no
// cursor of the application's own). Setting the hourglass twice and the default once ends with
// the default, as the update check and its menu command expect.
void SetHourglassCursor();
void SetDefaultCursor();

// The hourglass from construction; the default cursor at the end of the scope, however it ends.
class HourglassScope {
  public:
    HourglassScope() { SetHourglassCursor(); }
    ~HourglassScope() { SetDefaultCursor(); }
    HourglassScope(const HourglassScope&) = delete;
    HourglassScope& operator=(const HourglassScope&) = delete;
};

class UpdateCheckWindow final : public QDialog {
  public:
    // Where a check gets its setup: by default OwnUpdateCheckSetup for HomePageUrl and the
    // application title, read afresh for every check.
    using SetupSource = std::function<UpdateCheckSetup()>;

    explicit UpdateCheckWindow(QWidget* parent = nullptr);
    ~UpdateCheckWindow() override;

    // The instance of this run (the first one created), or null once it is gone.
    static UpdateCheckWindow* Instance();

    // Replaces where the checks get their setup (nothing: the default again).
    void SetSetupSource(SetupSource source);

    // From now on every showing appears centred on owner as it stands then, kept on owner's
    // screen. Without an owner the window appears where the platform puts it.
    void CentreOnShow(QWidget* owner);

    // Controls.
    QGroupBox* grpUpdtInfo;
    QLabel* lblInfo;
    QGroupBox* grpVersion;
    QLabel* Label2;
    QLabel* lblCurVer;
    QLabel* Label3;
    QLabel* lblAvailVer;
    QGroupBox* grpDownload;
    QLabel* Label6;
    // Its hint (tool tip) holds the address of the new release; hints are not shown here.
    QLabel* lblLink;
    QPushButton* cmdClose;

    // Handlers.
    // Runs the check and shows its outcome, with the hourglass until it is done. The labels are
    // emptied and the download group hidden first, so a check that raises (our own release
    // number not an integer) leaves no earlier outcome behind; the cursor is the default again
    // on every path.
    void FormShow();
    // A web address in lblLink's hint: hands it to the browser, then asks the application to end
    // (the window closes with it). Any other address: nothing happens.
    void lblLinkClick();
    void cmdCloseClick();

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildWindow();
    void Display(const UpdateCheckResult& result);

    SetupSource m_setupSource;
    QPointer<QWidget> m_centreOn;
};

}  // namespace olvo
