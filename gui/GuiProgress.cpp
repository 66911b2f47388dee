#include "gui/GuiProgress.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <utility>

#include "core/engine/Format.h"
#include "gui/QtText.h"

namespace olvo {
namespace {

constexpr std::int64_t kRefreshIntervalMs = 100;
// The rate is measured over about this span, so that it follows the medium's speed of the moment.
constexpr std::int64_t kRateSpanMs = 3000;

// The window: Escape and an attempt to close it ask for Cancel instead of hiding it, since only
// the operation may end it.
class ProgressDialog final : public QDialog {
  public:
    explicit ProgressDialog(GuiProgress& progress)
        : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::MSWindowsFixedSizeDialogHint),
          m_progress(progress) {}

    void reject() override { m_progress.Cancel(); }

  protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        m_progress.Cancel();
    }

  private:
    GuiProgress& m_progress;
};

std::string TimeText(std::uint64_t seconds) {
    char text[48];
    const auto hours = static_cast<unsigned long long>(seconds / 3600);
    const auto minutes = static_cast<unsigned>(seconds / 60 % 60);
    const auto rest = static_cast<unsigned>(seconds % 60);
    if (hours > 0)
        std::snprintf(text, sizeof text, "%llu:%02u:%02u", hours, minutes, rest);
    else
        std::snprintf(text, sizeof text, "%u:%02u", minutes, rest);
    return text;
}

}  // namespace

GuiProgress::GuiProgress()
    : m_clock([] {
          return std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now().time_since_epoch())
              .count();
      }) {}

void GuiProgress::SetClock(Clock clock) {
    m_clock = std::move(clock);
}
GuiProgress::~GuiProgress() = default;

QWidget* GuiProgress::Window() const {
    return m_window.get();
}

int GuiProgress::BarValue(std::uint64_t done, std::uint64_t total) {
    total = std::max(total, done);
    if (total == 0) return 0;
    // done / total * kBarRange without overflow for any 64-bit sizes.
    const long double fraction = static_cast<long double>(done) / static_cast<long double>(total);
    return std::clamp(static_cast<int>(fraction * kBarRange), 0, kBarRange);
}

std::string GuiProgress::SizeText(double bytes) {
    return HumanBytes(bytes);
}

std::string GuiProgress::PieceText(std::uint32_t position, std::uint32_t maximum) {
    return "Piece " + std::to_string(position) + " of " + std::to_string(maximum);
}

std::string GuiProgress::BytesText(std::uint64_t done, std::uint64_t total) {
    return SizeText(static_cast<double>(done)) + " of " +
           SizeText(static_cast<double>(std::max(total, done)));
}

std::string GuiProgress::RateText(double bytesPerSecond, std::uint64_t bytesLeft) {
    if (!(bytesPerSecond > 0)) return {};
    std::string text = SizeText(bytesPerSecond) + "/s";
    if (bytesLeft > 0) {
        const double seconds = static_cast<double>(bytesLeft) / bytesPerSecond;
        // Rounded up: "0:00 left" would not be true while bytes remain.
        const auto whole = static_cast<std::uint64_t>(std::min(seconds, 1e12)) + 1;
        text += ", " + TimeText(whole) + " left";
    }
    return text;
}

void GuiProgress::SetSubject(const std::string& subject) {
    m_subject = subject;
}

void GuiProgress::Begin(const std::string& caption, std::uint32_t maximum) {
    const QString notice = m_noticeLabel ? m_noticeLabel->text() : QString();
    Show(caption, maximum);
    // A notice said before the operation's own window came (a wait for a lock) stays true.
    if (!notice.isEmpty()) Notice(FromQ(notice));
}

void GuiProgress::Show(const std::string& caption, std::uint32_t maximum) {
    m_window = std::make_unique<ProgressDialog>(*this);
    m_window->setObjectName(QStringLiteral("ProgressWindow"));
    m_window->setWindowTitle(ToQ(caption));

    m_subjectLabel = new QLabel(m_window.get());
    m_subjectLabel->setObjectName(QStringLiteral("lblSubject"));
    m_bar = new QProgressBar(m_window.get());
    m_bar->setObjectName(QStringLiteral("ProgressBar"));
    m_bar->setRange(0, kBarRange);
    m_bar->setValue(0);
    m_pieceLabel = new QLabel(m_window.get());
    m_pieceLabel->setObjectName(QStringLiteral("lblPiece"));
    m_bytesLabel = new QLabel(m_window.get());
    m_bytesLabel->setObjectName(QStringLiteral("lblBytes"));
    m_bytesLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_rateLabel = new QLabel(m_window.get());
    m_rateLabel->setObjectName(QStringLiteral("lblRate"));
    m_noticeLabel = new QLabel(m_window.get());
    m_noticeLabel->setObjectName(QStringLiteral("lblNotice"));
    m_noticeLabel->setWordWrap(true);
    m_noticeLabel->setVisible(false);
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), m_window.get());
    m_cancelButton->setObjectName(QStringLiteral("cmdCancel"));
    m_cancelButton->setCursor(Qt::PointingHandCursor);
    // Enter must not stop an operation by accident; Escape and a click do.
    m_cancelButton->setAutoDefault(false);
    QObject::connect(m_cancelButton, &QPushButton::clicked, m_window.get(), [this] { Cancel(); });

    // Wide enough for the longest texts of the lines, so that the window keeps its size while
    // the numbers change, at any font size.
    const QFontMetrics metrics = m_window->fontMetrics();
    const int textWidth =
        std::max(metrics.horizontalAdvance(QStringLiteral("Piece 32767 of 32767")) +
                     metrics.horizontalAdvance(QStringLiteral("1023.9 GiB of 1023.9 GiB")),
                 metrics.horizontalAdvance(QStringLiteral("1023.9 MiB/s, 99:59:59 left")) +
                     m_cancelButton->sizeHint().width()) +
        4 * metrics.averageCharWidth();
    m_subjectLabel->setFixedWidth(textWidth);
    m_noticeLabel->setFixedWidth(textWidth);
    m_bytesLabel->setMinimumWidth(
        metrics.horizontalAdvance(QStringLiteral("1023.9 GiB of 1023.9 GiB")));
    m_rateLabel->setMinimumWidth(
        metrics.horizontalAdvance(QStringLiteral("1023.9 MiB/s, 99:59:59 left")));

    auto* layout = new QVBoxLayout(m_window.get());
    layout->addWidget(m_subjectLabel);
    layout->addWidget(m_noticeLabel);
    layout->addWidget(m_bar);
    auto* numbers = new QGridLayout;
    numbers->addWidget(m_pieceLabel, 0, 0);
    numbers->addWidget(m_bytesLabel, 0, 1);
    numbers->addWidget(m_rateLabel, 1, 0);
    numbers->addWidget(m_cancelButton, 1, 1, Qt::AlignRight);
    layout->addLayout(numbers);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_counts.maximum = maximum;
    m_counts.position = 0;
    m_counts.done = m_counts.total = 0;
    m_cancelRequested = false;
    m_samples.clear();
    m_dueTimer = new QTimer(m_window.get());
    m_dueTimer->setSingleShot(true);
    QObject::connect(m_dueTimer, &QTimer::timeout, m_window.get(),
                     [this] { Refresh(Update::Now); });
    m_window->setAccessibleName(ToQ(caption));
    m_bar->setAccessibleName(QStringLiteral("Progress"));
    m_cancelButton->setAccessibleName(QStringLiteral("Cancel"));
    m_cancelButton->setAccessibleDescription(
        QStringLiteral("Stop the operation; Escape does the same"));
    m_begunAt = m_clock();
    Refresh(Update::Now);
    m_window->adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        m_window->move(screen->availableGeometry().center() - m_window->rect().center());
    m_window->show();
    // In front, so that Escape reaches it.
    m_window->activateWindow();
}

void GuiProgress::SetMaximum(std::uint32_t maximum) {
    m_counts.maximum = maximum;
    Refresh(Update::Now);
}

void GuiProgress::SetPosition(std::uint32_t position) {
    // The first piece is shown at once, rather than "Piece 0" for a tenth of a second.
    const bool first = m_counts.position == 0;
    m_counts.position = position;
    Refresh(first ? Update::Now : Update::WhenDue);
}

void GuiProgress::ProcessMessages() {
    Refresh(Update::WhenDue);
}

void GuiProgress::Bytes(std::uint64_t done, std::uint64_t total) {
    m_counts.done = done;
    m_counts.total = total;
    Refresh(Update::WhenDue);
}

void GuiProgress::Notice(const std::string& text) {
    if (!m_window) Show(m_subject, 0);
    m_noticeLabel->setText(ToQ(text));
    m_noticeLabel->setVisible(!text.empty());
    m_noticeLabel->setAccessibleName(ToQ(text));
    m_window->adjustSize();
}

void GuiProgress::Cancel() {
    m_cancelRequested = true;
    if (m_cancelButton) m_cancelButton->setEnabled(false);
    if (m_onCancel) m_onCancel();
}

double GuiProgress::Rate() {
    if (m_samples.size() < 2) return 0;
    const Sample& first = m_samples.front();
    const Sample& last = m_samples.back();
    if (last.ms - first.ms < 200 || last.done < first.done) return 0;
    return static_cast<double>(last.done - first.done) * 1000.0 /
           static_cast<double>(last.ms - first.ms);
}

void GuiProgress::Refresh(Update update) {
    if (!m_window) return;
    const std::int64_t clock = m_clock();
    if (update == Update::WhenDue && m_refreshedAt && clock - *m_refreshedAt < kRefreshIntervalMs) {
        if (!m_dueTimer->isActive())
            m_dueTimer->start(static_cast<int>(kRefreshIntervalMs - (clock - *m_refreshedAt)));
        return;
    }
    m_dueTimer->stop();
    m_refreshedAt = clock;

    const std::int64_t now = clock - m_begunAt;
    if (m_samples.empty() || m_samples.back().done != m_counts.done ||
        now - m_samples.back().ms >= 1000)
        m_samples.push_back({now, m_counts.done});
    while (m_samples.size() > 2 && m_samples.front().ms < now - kRateSpanMs) m_samples.pop_front();

    const QString subject = ToQ(m_subject.empty() ? FromQ(m_window->windowTitle()) : m_subject);
    m_subjectLabel->setText(m_subjectLabel->fontMetrics().elidedText(
        subject, Qt::ElideMiddle, m_subjectLabel->minimumWidth()));
    m_subjectLabel->setToolTip(subject);
    m_bar->setValue(
        m_counts.total > 0 || m_counts.done > 0
            ? BarValue(m_counts.done, m_counts.total)
            : BarValue(std::min(m_counts.position, m_counts.maximum), m_counts.maximum));
    m_pieceLabel->setText(m_counts.maximum > 0 ? ToQ(PieceText(m_counts.position, m_counts.maximum))
                                               : QString());
    m_bytesLabel->setText(m_counts.total > 0 || m_counts.done > 0
                              ? ToQ(BytesText(m_counts.done, m_counts.total))
                              : QString());
    const std::uint64_t left = m_counts.BytesLeft();
    m_rateLabel->setText(ToQ(RateText(Rate(), left)));
    // A screen reader reads the bar's value as a percentage; the name says of what.
    m_bar->setAccessibleDescription(m_pieceLabel->text() + QStringLiteral(", ") +
                                    m_bytesLabel->text());
}

void GuiProgress::End() {
    m_bar = nullptr;
    m_subjectLabel = m_pieceLabel = m_bytesLabel = m_rateLabel = nullptr;
    m_cancelButton = nullptr;
    m_noticeLabel = nullptr;
    m_dueTimer = nullptr;
    m_window.reset();
    m_subject.clear();
    m_refreshedAt.reset();
}

}  // namespace olvo
