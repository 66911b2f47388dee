#include "ui/GuiProgress.h"

#include <QApplication>
#include <QProgressBar>
#include <QScreen>
#include <QWidget>
#include <limits>

#include "ui/QtText.h"

namespace olvo {
namespace {

// The window is 220 x 80 with its dialog frame; these are the inner measures of that frame.
constexpr int kClientWidth = 214;
constexpr int kClientHeight = 54;
constexpr int kPumpIntervalMs = 100;

}  // namespace

GuiProgress::GuiProgress() = default;
GuiProgress::~GuiProgress() = default;

int GuiProgress::BarMaximum(std::uint32_t maximum) {
    return static_cast<int>(std::min<std::uint32_t>(maximum, std::numeric_limits<int>::max()));
}

int GuiProgress::BarValue(std::uint32_t position, std::uint32_t maximum) {
    if (maximum == 0) return 0;
    position = std::min(position, maximum);
    const std::uint64_t scaled = static_cast<std::uint64_t>(position) *
                                 static_cast<std::uint64_t>(BarMaximum(maximum)) / maximum;
    return static_cast<int>(scaled);
}

void GuiProgress::Begin(const std::string& caption, std::uint32_t maximum) {
    m_window = std::make_unique<QWidget>(nullptr, Qt::Dialog | Qt::CustomizeWindowHint |
                                                      Qt::WindowTitleHint |
                                                      Qt::MSWindowsFixedSizeDialogHint);
    m_window->setObjectName(QStringLiteral("ProgressWindow"));
    m_window->setWindowTitle(ToQ(caption));
    m_window->setFixedSize(kClientWidth, kClientHeight);
    m_bar = new QProgressBar(m_window.get());
    m_bar->setObjectName(QStringLiteral("ProgressBar"));
    m_bar->setGeometry(8, 20, 198, 18);
    m_bar->setTextVisible(false);
    m_bar->setMinimum(0);
    m_maximum = maximum;
    m_position = 0;
    ShowPosition();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        m_window->move(area.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
    }
    m_window->show();
    m_sincePump.start();
}

void GuiProgress::SetMaximum(std::uint32_t maximum) {
    m_maximum = maximum;
    ShowPosition();
}

void GuiProgress::SetPosition(std::uint32_t position) {
    m_position = position;
    ShowPosition();
}

void GuiProgress::ShowPosition() {
    if (!m_bar) return;
    m_bar->setMaximum(BarMaximum(m_maximum));
    m_bar->setValue(BarValue(m_position, m_maximum));
}

void GuiProgress::ProcessMessages() {
    QCoreApplication::processEvents();
    m_sincePump.restart();
}

void GuiProgress::Bytes(std::uint64_t /*done*/, std::uint64_t /*total*/) {
    if (m_sincePump.isValid() && m_sincePump.elapsed() < kPumpIntervalMs) return;
    ProcessMessages();
}

void GuiProgress::End() {
    m_bar = nullptr;
    m_window.reset();
    m_sincePump.invalidate();
}

}  // namespace olvo
