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

#include "gui/Application.h"
#include "gui/FormParts.h"
#include "gui/GuiService.h"
#include "gui/QtText.h"
#include "core/version/AboutPictures.h"
#include "core/version/AboutText.h"
#include "core/version/ExecutablePath.h"
#include "core/version/JpegImage.h"
#include "core/version/ProductUrls.h"

namespace olvo {
namespace {

constexpr int kMargin = 8;

const char* const kDonationHint =
    "If you would like to contribute and help ensure further development of this product, "
    "please make a donation via PayPal";

AboutWindow* g_instance = nullptr;

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

QFrame* Separator(QWidget* parent, const char* name) {
    return Named(EtchedLine(parent), name);
}

}  // namespace

AboutWindow* AboutWindow::Instance() {
    return g_instance;
}

AboutWindow::AboutWindow(QWidget* parent) : AboutWindow(OwnExecutablePath(), parent) {}

AboutWindow::AboutWindow(const std::string& executable, QWidget* parent) : QDialog(parent) {
    if (!g_instance) g_instance = this;
    BuildWindow();
    RunHandler([&] { FormCreate(executable); });
}

AboutWindow::~AboutWindow() {
    if (g_instance == this) g_instance = nullptr;
}

// ---------------------------------------------------------------------------------------------
// The window's make-up

void AboutWindow::BuildWindow() {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));
    SetUpFixedDialog(this);

    // 377 x 230 with the default font: the logo at the top right, the text between two lines,
    // the donation button and the home page link on one row, OK at the bottom right.
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setContentsMargins(kMargin, kMargin, kMargin, 5);
    layout->setSpacing(0);

    imgKestrava = Named(new QLabel(this), "imgKestrava");
    imgKestrava->setScaledContents(true);
    imgKestrava->setPixmap(Picture(AboutLogoJpeg()));
    auto* logoRow = new QHBoxLayout;
    logoRow->addStretch(1);
    AddDesign(logoRow, imgKestrava, QSize(136, 40));
    layout->addLayout(logoRow);
    layout->addSpacing(8);

    Bevel2 = Separator(this, "Bevel2");
    AddDesign(layout, Bevel2, QSize(361, 2), Qt::Horizontal);
    layout->addSpacing(4);

    lblInfo = Named(new QLabel(this), "lblInfo");
    lblInfo->setTextFormat(Qt::PlainText);
    lblInfo->setWordWrap(false);
    lblInfo->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    AddDesign(layout, lblInfo, QSize(361, 89), Qt::Horizontal);
    layout->addSpacing(6);

    imgPayPal = Named(new QLabel(this), "imgPayPal");
    imgPayPal->setPixmap(OnFace(Picture(AboutDonateJpeg()), palette().color(QPalette::Window)));
    imgPayPal->setCursor(Qt::PointingHandCursor);
    imgPayPal->setToolTip(QString::fromLatin1(kDonationHint));
    imgPayPal->installEventFilter(this);
    lblHomePage =
        Named(new QLabel(QStringLiteral("Go to Kestrava home page..."), this), "lblHomePage");
    StyleAsLink(lblHomePage);
    lblHomePage->installEventFilter(this);
    auto* linkRow = new QHBoxLayout;
    linkRow->setSpacing(0);
    AddDesign(linkRow, imgPayPal, QSize(62, 31));
    linkRow->addStretch(1);
    // As wide as its text: only the text is the link.
    AddDesign(linkRow, lblHomePage, QSize(0, 0));
    layout->addLayout(linkRow);
    layout->addSpacing(6);

    Bevel1 = Separator(this, "Bevel1");
    AddDesign(layout, Bevel1, QSize(361, 2), Qt::Horizontal);
    layout->addSpacing(4);

    cmdOK = Named(new QPushButton(QStringLiteral("OK"), this), "cmdOK");
    cmdOK->setCursor(Qt::PointingHandCursor);
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, [this] { RunHandler([this] { cmdOKClick(); }); });
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    AddDesign(buttonRow, cmdOK, QSize(75, 25));
    layout->addLayout(buttonRow);
    layout->activate();

    // Only OK takes the focus: Tab has nowhere else to go.
    for (QWidget* picture : {static_cast<QWidget*>(imgKestrava), static_cast<QWidget*>(lblInfo),
                             static_cast<QWidget*>(imgPayPal), static_cast<QWidget*>(lblHomePage)})
        picture->setFocusPolicy(Qt::NoFocus);
    cmdOK->setFocus();
}

// ---------------------------------------------------------------------------------------------
// Handlers

void AboutWindow::FormCreate(const std::string& executable) {
    const AboutText text = AboutTextOf(executable);
    setWindowTitle(ToQ(text.caption));
    // The text breaks its lines with carriage returns alone; Qt lays out line feeds.
    lblInfo->setText(ToQ(text.info).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    // The window takes the size its text needs now, not only when it is first shown.
    layout()->activate();
}

void AboutWindow::lblHomePageClick() {
    Gui().OpenUrl(std::string(HomePageUrl));
}

void AboutWindow::imgPayPalClick() {
    Gui().OpenUrl(std::string(DonationUrl));
}

void AboutWindow::cmdOKClick() {
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
    cmdOK->setFocus();
    exec();
}

bool AboutWindow::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == lblHomePage || watched == imgPayPal) &&
        event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const auto* widget = static_cast<QWidget*>(watched);
        // A click ends with the left button let go over the control.
        if (mouse->button() == Qt::LeftButton &&
            widget->rect().contains(mouse->position().toPoint())) {
            if (watched == lblHomePage)
                RunHandler([this] { lblHomePageClick(); });
            else
                RunHandler([this] { imgPayPalClick(); });
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
            cmdOK->click();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

}  // namespace olvo
