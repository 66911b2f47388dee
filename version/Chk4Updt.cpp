#include "version/Chk4Updt.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <utility>

#include "ui/Application.h"
#include "ui/FormParts.h"
#include "ui/GuiService.h"
#include "ui/QtText.h"
#include "version/ProductUrls.h"

namespace olvo {
namespace {

constexpr int kClientWidth = 376;
constexpr int kClientHeight = 342;

const char* const kLinkText = "==>>DOWNLOAD UPDATE!<<==";

TfrmChk4Updt* g_instance = nullptr;

// Everything shown here may come from a file fetched over the network: it is shown as it is,
// never read as markup (which could fetch pictures or make links of its own).
QLabel* PlainLabel(const char* name, const char* text, QWidget* parent) {
    QLabel* label = Named(new QLabel(QString::fromLatin1(text), parent), name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

void SetHourglassCursor() {
    if (QApplication::overrideCursor())
        QApplication::changeOverrideCursor(Qt::WaitCursor);
    else
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

void SetDefaultCursor() {
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

TfrmChk4Updt* TfrmChk4Updt::Instance() {
    return g_instance;
}

TfrmChk4Updt::TfrmChk4Updt(QWidget* parent) : QDialog(parent) {
    if (!g_instance) g_instance = this;
    BuildWindow();
    connect(cmdClose, &QPushButton::clicked, this,
            [this] { RunHandler([this] { cmdCloseClick(); }); });
}

TfrmChk4Updt::~TfrmChk4Updt() {
    if (g_instance == this) g_instance = nullptr;
}

void TfrmChk4Updt::SetSetupSource(SetupSource source) {
    m_setupSource = std::move(source);
}

void TfrmChk4Updt::CentreOnShow(QWidget* owner) {
    m_centreOn = owner;
}

// ---------------------------------------------------------------------------------------------
// The window's make-up

void TfrmChk4Updt::BuildWindow() {
    setObjectName(QStringLiteral("frmChk4Updt"));
    setWindowTitle(QStringLiteral("Check for Updates"));
    SetUpFixedDialog(this, kClientWidth, kClientHeight);

    grpUpdtInfo = Named(new QGroupBox(QStringLiteral("Update Information"), this), "grpUpdtInfo");
    grpUpdtInfo->setGeometry(8, 8, 360, 108);
    lblInfo = PlainLabel("lblInfo", "", grpUpdtInfo);
    lblInfo->setWordWrap(true);
    lblInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Room for five lines of the window's font, whichever font the desktop gave it.
    lblInfo->setGeometry(12, 22, 336, std::min(80, 5 * fontMetrics().lineSpacing() + 2));

    grpVersion = Named(new QGroupBox(QStringLiteral("Version"), this), "grpVersion");
    grpVersion->setGeometry(8, 124, 360, 68);
    Label2 = PlainLabel("Label2", "Currently installed version:", grpVersion);
    Label3 = PlainLabel("Label3", "Available version:", grpVersion);
    // The values start right of the longer caption, in whichever font the desktop gave us.
    const int captionWidth = std::max(Label2->sizeHint().width(), Label3->sizeHint().width());
    Label2->setGeometry(12, 22, captionWidth, 17);
    Label3->setGeometry(12, 43, captionWidth, 17);
    const int valueLeft = 12 + captionWidth + 8;
    lblCurVer = PlainLabel("lblCurVer", "", grpVersion);
    lblCurVer->setGeometry(valueLeft, 22, 348 - valueLeft, 17);
    lblAvailVer = PlainLabel("lblAvailVer", "", grpVersion);
    lblAvailVer->setGeometry(valueLeft, 43, 348 - valueLeft, 17);

    grpDownload = Named(new QGroupBox(QStringLiteral("Download"), this), "grpDownload");
    grpDownload->setGeometry(8, 200, 360, 96);
    Label6 = PlainLabel("Label6",
                        "Click on the link below to exit this application and download the update.",
                        grpDownload);
    Label6->setWordWrap(true);
    Label6->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label6->setGeometry(12, 22, 336, 34);
    lblLink = PlainLabel("lblLink", kLinkText, grpDownload);
    lblLink->setGeometry(12, 62, 336, 20);
    lblLink->setAlignment(Qt::AlignCenter);
    StyleAsLink(lblLink);
    lblLink->installEventFilter(this);

    cmdClose = Named(new QPushButton(QStringLiteral("&Close"), this), "cmdClose");
    cmdClose->setGeometry((kClientWidth - 75) / 2, 306, 75, 25);
    cmdClose->setCursor(Qt::PointingHandCursor);
    cmdClose->setAutoDefault(true);
    cmdClose->setDefault(true);
}

// ---------------------------------------------------------------------------------------------
// Showing

void TfrmChk4Updt::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A window coming back from being minimised is not a new opening.
    if (event->spontaneous()) return;
    if (m_centreOn) {
        QRect target = frameGeometry();
        target.moveCenter(m_centreOn->frameGeometry().center());
        // Centred on a main window near a screen's edge would put part of this one off it.
        if (const QScreen* screen = m_centreOn->screen()) {
            const QRect area = screen->availableGeometry();
            target.moveLeft(
                std::max(area.left(), std::min(target.left(), area.right() + 1 - target.width())));
            target.moveTop(
                std::max(area.top(), std::min(target.top(), area.bottom() + 1 - target.height())));
        }
        move(target.topLeft());
    }
    cmdClose->setFocus();
    RunHandler([this] { FormShow(); });
}

void TfrmChk4Updt::FormShow() {
    const HourglassScope hourglass;
    Display(UpdateCheckResult{});
    const UpdateCheckSetup setup =
        m_setupSource ? m_setupSource() : OwnUpdateCheckSetup(HomePageUrl, kApplicationTitle);
    Display(CheckForUpdates(setup));
}

void TfrmChk4Updt::Display(const UpdateCheckResult& result) {
    lblInfo->setText(ToQ(result.info));
    lblCurVer->setText(ToQ(result.installedVersion));
    lblAvailVer->setText(ToQ(result.availableVersion));
    lblLink->setToolTip(ToQ(result.link));
    grpDownload->setVisible(result.offerDownload);
}

// ---------------------------------------------------------------------------------------------
// Leaving

void TfrmChk4Updt::lblLinkClick() {
    const std::string link = FromQ(lblLink->toolTip());
    if (!IsOpenableLink(link)) return;
    Gui().OpenUrl(link);
    // Every event loop ends, this window's and then the program's.
    QCoreApplication::exit(0);
    reject();
}

void TfrmChk4Updt::cmdCloseClick() {
    close();
}

void TfrmChk4Updt::keyPressEvent(QKeyEvent* event) {
    // There is no Cancel button, so Escape closes nothing; Enter still presses Close.
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TfrmChk4Updt::eventFilter(QObject* watched, QEvent* event) {
    if (watched != lblLink) return QDialog::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::ToolTip:
            // The hint only stores the address.
            return true;
        case QEvent::MouseButtonRelease: {
            const auto* release = static_cast<QMouseEvent*>(event);
            if (release->button() == Qt::LeftButton &&
                lblLink->rect().contains(release->position().toPoint())) {
                RunHandler([this] { lblLinkClick(); });
                return true;
            }
            return false;
        }
        default:
            return false;
    }
}

}  // namespace olvo
