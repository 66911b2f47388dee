#include "version/AboutForm.h"

#include <QFrame>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

#include "ui/Application.h"
#include "ui/FormParts.h"
#include "ui/GuiService.h"
#include "ui/QtText.h"
#include "version/AboutPictures.h"
#include "version/AboutText.h"
#include "version/ExecutablePath.h"
#include "version/JpegImage.h"
#include "version/ProductUrls.h"

namespace olvo {
namespace {

constexpr int kClientWidth = 377;
constexpr int kClientHeight = 230;
constexpr int kMargin = 8;

const char* const kDonationHint =
    "If you would like to contribute and help ensure further development of this product, "
    "please make a donation via PayPal";

TfrmAbout* g_instance = nullptr;

// The picture in jpeg, or an empty pixmap when it does not decode.
QPixmap Picture(std::span<const std::uint8_t> jpeg) {
    const std::optional<RgbImage> image = DecodeJpeg(jpeg);
    if (!image) return QPixmap();
    // QImage only borrows the pixels; the copy owns them before image goes.
    const QImage borrowed(image->rgb.data(), image->width, image->height, image->width * 3,
                          QImage::Format_RGB888);
    return QPixmap::fromImage(borrowed.copy());
}

QFrame* Separator(QWidget* parent, const char* name, int top) {
    QFrame* line = Named(new QFrame(parent), name);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(kMargin, top, kClientWidth - 2 * kMargin, 2);
    return line;
}

}  // namespace

TfrmAbout* TfrmAbout::Instance() {
    return g_instance;
}

TfrmAbout::TfrmAbout(QWidget* parent) : TfrmAbout(OwnExecutablePath(), parent) {}

TfrmAbout::TfrmAbout(const std::string& executable, QWidget* parent) : QDialog(parent) {
    if (!g_instance) g_instance = this;
    BuildWindow();
    RunHandler([&] { FormCreate(executable); });
}

TfrmAbout::~TfrmAbout() {
    if (g_instance == this) g_instance = nullptr;
}

// ---------------------------------------------------------------------------------------------
// The window's make-up

void TfrmAbout::BuildWindow() {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));
    SetUpFixedDialog(this, kClientWidth, kClientHeight);

    imgKestrava = Named(new QLabel(this), "imgKestrava");
    imgKestrava->setGeometry(kClientWidth - kMargin - 136, kMargin, 136, 40);
    imgKestrava->setScaledContents(true);
    imgKestrava->setPixmap(Picture(AboutLogoJpeg()));

    Bevel2 = Separator(this, "Bevel2", 56);

    lblInfo = Named(new QLabel(this), "lblInfo");
    lblInfo->setGeometry(kMargin, 62, 361, 89);
    lblInfo->setTextFormat(Qt::PlainText);
    lblInfo->setWordWrap(false);
    lblInfo->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    constexpr int rowTop = 157;
    imgPayPal = Named(new QLabel(this), "imgPayPal");
    imgPayPal->setGeometry(kMargin, rowTop, 62, 31);
    imgPayPal->setPixmap(Picture(AboutDonateJpeg()));
    imgPayPal->setCursor(Qt::PointingHandCursor);
    imgPayPal->setToolTip(QString::fromLatin1(kDonationHint));
    imgPayPal->installEventFilter(this);

    lblHomePage =
        Named(new QLabel(QStringLiteral("Go to Kestrava home page..."), this), "lblHomePage");
    StyleAsLink(lblHomePage);
    lblHomePage->adjustSize();
    lblHomePage->move(kClientWidth - kMargin - lblHomePage->width(),
                      rowTop + (31 - lblHomePage->height()) / 2);
    lblHomePage->installEventFilter(this);

    Bevel1 = Separator(this, "Bevel1", 194);

    cmdOK = Named(new QPushButton(QStringLiteral("OK"), this), "cmdOK");
    cmdOK->setGeometry(kClientWidth - kMargin - 75, 200, 75, 25);
    cmdOK->setCursor(Qt::PointingHandCursor);
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, [this] { RunHandler([this] { cmdOKClick(); }); });

    // Only OK takes the focus: Tab has nowhere else to go.
    for (QWidget* picture : {static_cast<QWidget*>(imgKestrava), static_cast<QWidget*>(lblInfo),
                             static_cast<QWidget*>(imgPayPal), static_cast<QWidget*>(lblHomePage)})
        picture->setFocusPolicy(Qt::NoFocus);
    cmdOK->setFocus();
}

// ---------------------------------------------------------------------------------------------
// Handlers

void TfrmAbout::FormCreate(const std::string& executable) {
    const AboutText text = AboutTextOf(executable);
    setWindowTitle(ToQ(text.caption));
    // The text breaks its lines with carriage returns alone; Qt lays out line feeds.
    lblInfo->setText(ToQ(text.info).replace(QLatin1Char('\r'), QLatin1Char('\n')));
}

void TfrmAbout::lblHomePageClick() {
    Gui().OpenUrl(std::string(HomePageUrl));
}

void TfrmAbout::imgPayPalClick() {
    Gui().OpenUrl(std::string(DonationUrl));
}

void TfrmAbout::cmdOKClick() {
    accept();
}

void TfrmAbout::ShowModal(const QWidget* owner) {
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

bool TfrmAbout::eventFilter(QObject* watched, QEvent* event) {
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

void TfrmAbout::keyPressEvent(QKeyEvent* event) {
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
