#include "gui/AboutWindow.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <cstdlib>
#include <vector>

#include "core/version/AboutPictures.h"
#include "core/version/AboutText.h"
#include "core/version/ExecutablePath.h"
#include "core/version/JpegImage.h"
#include "core/version/ProductUrls.h"
#include "gui/Application.h"
#include "gui/GuiService.h"
#include "gui/QtText.h"
#include "gui/WindowParts.h"

namespace olvo {
namespace {

constexpr int kMargin = 8;

const char* const kDonationHint =
    "If you would like to contribute and help ensure further development of this product, "
    "please make a donation via PayPal";

// The picture in jpeg, or an empty pixmap when it does not decode.
QPixmap Picture(std::span<const std::uint8_t> jpeg) {
    const std::optional<RgbImage> image = DecodeJpeg(jpeg);
    if (!image) return QPixmap();
    // QImage only borrows the pixels; the copy owns them before image goes.
    const QImage borrowed(image->rgb.data(), image->width, image->height, image->width * 3,
                          QImage::Format_RGB888);
    return QPixmap::fromImage(borrowed.copy());
}

// The donation button is drawn on a dialog's light grey. On a face of another colour (a dark
// palette) that grey would stand as a box around the button, so it is cut away there: every pixel
// of about the corners' colour that joins a corner becomes transparent.
QPixmap OnFace(const QPixmap& picture, const QColor& face) {
    if (picture.isNull()) return picture;
    QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    const QColor ground = image.pixelColor(0, 0);
    const auto near = [](const QColor& a, const QColor& b, int distance) {
        return std::abs(a.red() - b.red()) <= distance &&
               std::abs(a.green() - b.green()) <= distance &&
               std::abs(a.blue() - b.blue()) <= distance;
    };
    // The picture's grey is a little off after its compression.
    if (near(ground, face, 16)) return picture;
    const int right = image.width() - 1, bottom = image.height() - 1;
    std::vector<QPoint> todo = {{0, 0}, {right, 0}, {0, bottom}, {right, bottom}};
    while (!todo.empty()) {
        const QPoint at = todo.back();
        todo.pop_back();
        if (!image.rect().contains(at)) continue;
        const QColor colour = image.pixelColor(at);
        if (colour.alpha() == 0 || !near(colour, ground, 24)) continue;
        image.setPixelColor(at, Qt::transparent);
        for (const QPoint step : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)})
            todo.push_back(at + step);
    }
    return QPixmap::fromImage(image);
}

// Below what layout holds: a gap of above pixels, an etched line across the window named name,
// and a gap of 4 pixels.
QFrame* AddLine(QVBoxLayout* layout, int above, const char* name) {
    layout->addSpacing(above);
    QFrame* line = Named(EtchedLine(layout->parentWidget()), name);
    AddDesign(layout, line, QSize(361, 2), Qt::Horizontal);
    layout->addSpacing(4);
    return line;
}

}  // namespace

AboutWindow::AboutWindow(GuiService& gui, QWidget* parent)
    : AboutWindow(gui, OwnExecutablePath(), parent) {}

AboutWindow::AboutWindow(GuiService& gui, const std::string& executable, QWidget* parent)
    : QDialog(parent), m_gui(gui) {
    BuildWindow();
    RunHandler(m_gui, [&] { OnCreate(executable); });
}

AboutWindow::~AboutWindow() = default;

// ---------------------------------------------------------------------------------------------
// The window's make-up

void AboutWindow::BuildWindow() {
    // 377 x 230 with the default font: the logo at the top right, the text between two lines,
    // the donation button and the home page link on one row, OK at the bottom right.
    QVBoxLayout* layout =
        SetUpFixedDialog(this, "frmAbout", "About", QMargins(kMargin, kMargin, kMargin, 5), 0);

    logoImage = Named(new QLabel(this), "imgKestrava");
    logoImage->setScaledContents(true);
    logoImage->setPixmap(Picture(AboutLogoJpeg()));
    auto* logoRow = new QHBoxLayout;
    logoRow->addStretch(1);
    AddDesign(logoRow, logoImage, QSize(136, 40));
    layout->addLayout(logoRow);
    upperLine = AddLine(layout, 8, "Bevel2");

    infoLabel = Named(new QLabel(this), "lblInfo");
    infoLabel->setTextFormat(Qt::PlainText);
    infoLabel->setWordWrap(false);
    infoLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    AddDesign(layout, infoLabel, QSize(361, 89), Qt::Horizontal);
    layout->addSpacing(6);

    donateImage = Named(new QLabel(this), "imgPayPal");
    donateImage->setPixmap(OnFace(Picture(AboutDonateJpeg()), palette().color(QPalette::Window)));
    donateImage->setCursor(Qt::PointingHandCursor);
    donateImage->setToolTip(QString::fromLatin1(kDonationHint));
    donateImage->installEventFilter(this);
    homePageLink =
        Named(new QLabel(QStringLiteral("Go to Kestrava home page..."), this), "lblHomePage");
    StyleAsLink(homePageLink);
    homePageLink->installEventFilter(this);
    auto* linkRow = new QHBoxLayout;
    linkRow->setSpacing(0);
    AddDesign(linkRow, donateImage, QSize(62, 31));
    linkRow->addStretch(1);
    // As wide as its text: only the text is the link.
    AddDesign(linkRow, homePageLink, QSize(0, 0));
    layout->addLayout(linkRow);
    lowerLine = AddLine(layout, 6, "Bevel1");

    okButton = Named(new QPushButton(QStringLiteral("OK"), this), "cmdOK");
    okButton->setCursor(Qt::PointingHandCursor);
    okButton->setDefault(true);
    okButton->setAutoDefault(true);
    connect(okButton, &QPushButton::clicked, this,
            [this] { RunHandler(m_gui, [this] { OnOk(); }); });
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    AddDesign(buttonRow, okButton, QSize(75, 25));
    layout->addLayout(buttonRow);
    layout->activate();

    // Only OK takes the focus: Tab has nowhere else to go.
    for (QWidget* picture :
         {static_cast<QWidget*>(logoImage), static_cast<QWidget*>(infoLabel),
          static_cast<QWidget*>(donateImage), static_cast<QWidget*>(homePageLink)})
        picture->setFocusPolicy(Qt::NoFocus);
    okButton->setFocus();
}

// ---------------------------------------------------------------------------------------------
// Handlers

void AboutWindow::OnCreate(const std::string& executable) {
    const AboutText text = AboutTextOf(executable);
    setWindowTitle(ToQ(text.caption));
    // The text breaks its lines with carriage returns alone; Qt lays out line feeds.
    infoLabel->setText(ToQ(text.info).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    // The window takes the size its text needs now, not only when it is first shown.
    layout()->activate();
}

void AboutWindow::OnHomePageLink() {
    m_gui.OpenUrl(std::string(HomePageUrl));
}

void AboutWindow::OnDonateImage() {
    m_gui.OpenUrl(std::string(DonationUrl));
}

void AboutWindow::OnOk() {
    accept();
}

void AboutWindow::ShowModal(const QWidget* owner) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area =
        owner ? owner->frameGeometry() : (screen ? screen->availableGeometry() : QRect());
    if (area.isValid()) {
        // The frame is what shows. Its margins come with the native window, which is made
        // before the first showing for that.
        winId();
        QRect frame = frameGeometry();
        frame.moveCenter(area.center());
        move(frame.topLeft());
    }
    okButton->setFocus();
    exec();
}

bool AboutWindow::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == homePageLink || watched == donateImage) &&
        event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const auto* widget = static_cast<QWidget*>(watched);
        // A click ends with the left button let go over the control.
        if (mouse->button() == Qt::LeftButton &&
            widget->rect().contains(mouse->position().toPoint())) {
            if (watched == homePageLink)
                RunHandler(m_gui, [this] { OnHomePageLink(); });
            else
                RunHandler(m_gui, [this] { OnDonateImage(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void AboutWindow::keyPressEvent(QKeyEvent* event) {
    // OK is both the default and the cancel button.
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            okButton->click();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

}  // namespace olvo
