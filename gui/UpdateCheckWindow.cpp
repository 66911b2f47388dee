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

#include "core/version/ProductUrls.h"
#include "gui/Application.h"
#include "gui/GuiService.h"
#include "gui/Hourglass.h"
#include "gui/QtText.h"
#include "gui/WindowParts.h"

namespace olvo {
namespace {

const char* const kLinkText = "==>>DOWNLOAD UPDATE!<<==";

// Everything shown here may come from a file fetched over the network: it is shown as it is,
// never read as markup (which could fetch pictures or make links of its own).
QLabel* PlainLabel(const char* name, const char* text, QWidget* parent) {
    QLabel* label = Named(new QLabel(QString::fromLatin1(text), parent), name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

UpdateCheckWindow::UpdateCheckWindow(GuiService& gui, QWidget* parent)
    : QDialog(parent), m_gui(gui) {
    BuildWindow();
    connect(closeButton, &QPushButton::clicked, this,
            [this] { RunHandler(m_gui, [this] { OnCloseButton(); }); });
}

UpdateCheckWindow::~UpdateCheckWindow() = default;

void UpdateCheckWindow::SetSetupSource(SetupSource source) {
    m_setupSource = std::move(source);
}

void UpdateCheckWindow::CentreOnShow(QWidget* owner) {
    m_centreOn = owner;
}

// ---------------------------------------------------------------------------------------------
// The window's make-up

void UpdateCheckWindow::BuildWindow() {
    // 376 x 342 with the default font: three groups above each other, Close centred below.
    QVBoxLayout* layout =
        SetUpFixedDialog(this, "frmChk4Updt", "Check for Updates", QMargins(8, 8, 8, 11), 0);

    infoGroup = Named(new QGroupBox(QStringLiteral("Update Information"), this), "grpUpdtInfo");
    auto* info = new QVBoxLayout(infoGroup);
    SetInnerMargins(info, infoGroup, 12, 22, 12, 6);
    infoLabel = PlainLabel("lblInfo", "", infoGroup);
    infoLabel->setWordWrap(true);
    infoLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Room for five lines of the window's font, whichever font the desktop gave it.
    const int fiveLines = 5 * fontMetrics().lineSpacing() + 2;
    infoLabel->setMaximumHeight(fiveLines);
    AddDesign(info, infoLabel, QSize(336, std::min(80, fiveLines)), Qt::Horizontal);
    info->addStretch(1);
    AddDesign(layout, infoGroup, QSize(360, 108), Qt::Horizontal);
    layout->addSpacing(8);

    versionGroup = Named(new QGroupBox(QStringLiteral("Version"), this), "grpVersion");
    QGridLayout* version = GroupGrid(versionGroup, 12, 22, 12, 8, 2);
    version->setColumnMinimumWidth(1, 8);
    version->setRowMinimumHeight(1, 4);
    version->setRowStretch(3, 1);
    installedCaption = PlainLabel("Label2", "Currently installed version:", versionGroup);
    availableCaption = PlainLabel("Label3", "Available version:", versionGroup);
    // The values start right of the longer caption.
    AddDesign(version, installedCaption, QSize(0, 17), 0, 0, 1, 1, Qt::Horizontal);
    AddDesign(version, availableCaption, QSize(0, 17), 2, 0, 1, 1, Qt::Horizontal);
    installedVersionLabel = PlainLabel("lblCurVer", "", versionGroup);
    AddDesign(version, installedVersionLabel, QSize(0, 17), 0, 2, 1, 1, Qt::Horizontal);
    availableVersionLabel = PlainLabel("lblAvailVer", "", versionGroup);
    AddDesign(version, availableVersionLabel, QSize(0, 17), 2, 2, 1, 1, Qt::Horizontal);
    AddDesign(layout, versionGroup, QSize(360, 68), Qt::Horizontal);
    layout->addSpacing(8);

    downloadGroup = Named(new QGroupBox(QStringLiteral("Download"), this), "grpDownload");
    // Hidden when there is nothing to download, with the window keeping its size.
    QSizePolicy keepPlace = downloadGroup->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    downloadGroup->setSizePolicy(keepPlace);
    auto* download = new QVBoxLayout(downloadGroup);
    SetInnerMargins(download, downloadGroup, 12, 22, 12, 14);
    download->setSpacing(6);
    downloadHint = PlainLabel(
        "Label6", "Click on the link below to exit this application and download the update.",
        downloadGroup);
    downloadHint->setWordWrap(true);
    downloadHint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    AddDesign(download, downloadHint, QSize(336, 34), Qt::Horizontal);
    downloadLink = PlainLabel("lblLink", kLinkText, downloadGroup);
    downloadLink->setAlignment(Qt::AlignCenter);
    StyleAsLink(downloadLink);
    downloadLink->installEventFilter(this);
    AddDesign(download, downloadLink, QSize(336, 20), Qt::Horizontal);
    download->addStretch(1);
    AddDesign(layout, downloadGroup, QSize(360, 96), Qt::Horizontal);

    layout->addSpacing(10);
    closeButton = Named(new QPushButton(QStringLiteral("&Close"), this), "cmdClose");
    closeButton->setCursor(Qt::PointingHandCursor);
    closeButton->setAutoDefault(true);
    closeButton->setDefault(true);
    QLayoutItem* close = DesignItem(closeButton, QSize(75, 25));
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
    closeButton->setFocus();
    RunHandler(m_gui, [this] { OnShow(); });
}

void UpdateCheckWindow::OnShow() {
    const Hourglass hourglass(Hourglass::Ending::DefaultCursor);
    Display(UpdateCheckResult{});
    const UpdateCheckSetup setup =
        m_setupSource ? m_setupSource() : OwnUpdateCheckSetup(HomePageUrl, kApplicationTitle);
    Display(CheckForUpdates(setup));
}

void UpdateCheckWindow::Display(const UpdateCheckResult& result) {
    infoLabel->setText(ToQ(result.info));
    installedVersionLabel->setText(ToQ(result.installedVersion));
    availableVersionLabel->setText(ToQ(result.availableVersion));
    downloadLink->setToolTip(ToQ(result.link));
    downloadGroup->setVisible(result.offerDownload);
}

// ---------------------------------------------------------------------------------------------
// Leaving

void UpdateCheckWindow::OnDownloadLink() {
    const std::string link = FromQ(downloadLink->toolTip());
    if (!IsOpenableLink(link)) return;
    m_gui.OpenUrl(link);
    // Every event loop ends, this window's and then the program's.
    QCoreApplication::exit(0);
    reject();
}

void UpdateCheckWindow::OnCloseButton() {
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
    if (watched != downloadLink) return QDialog::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::ToolTip:
            // The hint only stores the address.
            return true;
        case QEvent::MouseButtonRelease: {
            const auto* release = static_cast<QMouseEvent*>(event);
            if (release->button() == Qt::LeftButton &&
                downloadLink->rect().contains(release->position().toPoint())) {
                RunHandler(m_gui, [this] { OnDownloadLink(); });
                return true;
            }
            return false;
        }
        default:
            return false;
    }
}

}  // namespace olvo
