#include "gui/UpdateCheckWindow.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "gui/Application.h"
#include "gui/FormParts.h"
#include "gui/GuiService.h"
#include "gui/QtText.h"
#include "core/version/ProductUrls.h"

namespace olvo {
namespace {

const char* const kLinkText = "==>>DOWNLOAD UPDATE!<<==";

UpdateCheckWindow* g_instance = nullptr;

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

UpdateCheckWindow* UpdateCheckWindow::Instance() {
    return g_instance;
}

UpdateCheckWindow::UpdateCheckWindow(QWidget* parent) : QDialog(parent) {
    if (!g_instance) g_instance = this;
    BuildWindow();
    connect(cmdClose, &QPushButton::clicked, this,
            [this] { RunHandler([this] { cmdCloseClick(); }); });
}

UpdateCheckWindow::~UpdateCheckWindow() {
    if (g_instance == this) g_instance = nullptr;
}

void UpdateCheckWindow::SetSetupSource(SetupSource source) {
    m_setupSource = std::move(source);
}

void UpdateCheckWindow::CentreOnShow(QWidget* owner) {
    m_centreOn = owner;
}

// ---------------------------------------------------------------------------------------------
// The window's make-up

void UpdateCheckWindow::BuildWindow() {
    setObjectName(QStringLiteral("frmChk4Updt"));
    setWindowTitle(QStringLiteral("Check for Updates"));
    SetUpFixedDialog(this);

    // 376 x 342 with the default font: three groups above each other, Close centred below.
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setContentsMargins(8, 8, 8, 11);
    layout->setSpacing(0);

    grpUpdtInfo = Named(new QGroupBox(QStringLiteral("Update Information"), this), "grpUpdtInfo");
    auto* info = new QVBoxLayout(grpUpdtInfo);
    SetInnerMargins(info, grpUpdtInfo, 12, 22, 12, 6);
    lblInfo = PlainLabel("lblInfo", "", grpUpdtInfo);
    lblInfo->setWordWrap(true);
    lblInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Room for five lines of the window's font, whichever font the desktop gave it.
    const int fiveLines = 5 * fontMetrics().lineSpacing() + 2;
    lblInfo->setMaximumHeight(fiveLines);
    AddDesign(info, lblInfo, QSize(336, std::min(80, fiveLines)), Qt::Horizontal);
    info->addStretch(1);
    AddDesign(layout, grpUpdtInfo, QSize(360, 108), Qt::Horizontal);
    layout->addSpacing(8);

    grpVersion = Named(new QGroupBox(QStringLiteral("Version"), this), "grpVersion");
    auto* version = new QGridLayout(grpVersion);
    SetInnerMargins(version, grpVersion, 12, 22, 12, 8);
    version->setSpacing(0);
    version->setColumnMinimumWidth(1, 8);
    version->setColumnStretch(2, 1);
    version->setRowMinimumHeight(1, 4);
    version->setRowStretch(3, 1);
    Label2 = PlainLabel("Label2", "Currently installed version:", grpVersion);
    Label3 = PlainLabel("Label3", "Available version:", grpVersion);
    // The values start right of the longer caption.
    AddDesign(version, Label2, QSize(0, 17), 0, 0, 1, 1, Qt::Horizontal);
    AddDesign(version, Label3, QSize(0, 17), 2, 0, 1, 1, Qt::Horizontal);
    lblCurVer = PlainLabel("lblCurVer", "", grpVersion);
    AddDesign(version, lblCurVer, QSize(0, 17), 0, 2, 1, 1, Qt::Horizontal);
    lblAvailVer = PlainLabel("lblAvailVer", "", grpVersion);
    AddDesign(version, lblAvailVer, QSize(0, 17), 2, 2, 1, 1, Qt::Horizontal);
    AddDesign(layout, grpVersion, QSize(360, 68), Qt::Horizontal);
    layout->addSpacing(8);

    grpDownload = Named(new QGroupBox(QStringLiteral("Download"), this), "grpDownload");
    // Hidden when there is nothing to download, with the window keeping its size.
    QSizePolicy keepPlace = grpDownload->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    grpDownload->setSizePolicy(keepPlace);
    auto* download = new QVBoxLayout(grpDownload);
    SetInnerMargins(download, grpDownload, 12, 22, 12, 14);
    download->setSpacing(6);
    Label6 = PlainLabel("Label6",
                        "Click on the link below to exit this application and download the update.",
                        grpDownload);
    Label6->setWordWrap(true);
    Label6->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    AddDesign(download, Label6, QSize(336, 34), Qt::Horizontal);
    lblLink = PlainLabel("lblLink", kLinkText, grpDownload);
    lblLink->setAlignment(Qt::AlignCenter);
    StyleAsLink(lblLink);
    lblLink->installEventFilter(this);
    AddDesign(download, lblLink, QSize(336, 20), Qt::Horizontal);
    download->addStretch(1);
    AddDesign(layout, grpDownload, QSize(360, 96), Qt::Horizontal);

    layout->addSpacing(10);
    cmdClose = Named(new QPushButton(QStringLiteral("&Close"), this), "cmdClose");
    cmdClose->setCursor(Qt::PointingHandCursor);
    cmdClose->setAutoDefault(true);
    cmdClose->setDefault(true);
    QLayoutItem* close = DesignItem(cmdClose, QSize(75, 25));
    close->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    layout->addItem(close);
    layout->activate();
}

// ---------------------------------------------------------------------------------------------
// Showing

void UpdateCheckWindow::showEvent(QShowEvent* event) {
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

void UpdateCheckWindow::FormShow() {
    const HourglassScope hourglass;
    Display(UpdateCheckResult{});
    const UpdateCheckSetup setup =
        m_setupSource ? m_setupSource() : OwnUpdateCheckSetup(HomePageUrl, kApplicationTitle);
    Display(CheckForUpdates(setup));
}

void UpdateCheckWindow::Display(const UpdateCheckResult& result) {
    lblInfo->setText(ToQ(result.info));
    lblCurVer->setText(ToQ(result.installedVersion));
    lblAvailVer->setText(ToQ(result.availableVersion));
    lblLink->setToolTip(ToQ(result.link));
    grpDownload->setVisible(result.offerDownload);
}

// ---------------------------------------------------------------------------------------------
// Leaving

void UpdateCheckWindow::lblLinkClick() {
    const std::string link = FromQ(lblLink->toolTip());
    if (!IsOpenableLink(link)) return;
    Gui().OpenUrl(link);
    // Every event loop ends, this window's and then the program's.
    QCoreApplication::exit(0);
    reject();
}

void UpdateCheckWindow::cmdCloseClick() {
    close();
}

void UpdateCheckWindow::keyPressEvent(QKeyEvent* event) {
    // There is no Cancel button, so Escape closes nothing; Enter still presses Close.
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool UpdateCheckWindow::eventFilter(QObject* watched, QEvent* event) {
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
