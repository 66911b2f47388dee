#include "gui/PieceMap.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

#include "gui/QtText.h"

namespace olvo {
namespace {

// Every state the map knows, in the order the legend and the text give them. A new state of the
// engine gets a line here and nothing else.
struct StateLook {
    PieceState state;
    const char* name;
    QRgb colour;
};
constexpr std::array kLooks{
    StateLook{PieceState::Whole, "Whole", qRgb(0x2e, 0x9d, 0x45)},
    StateLook{PieceState::Missing, "Missing", qRgb(0x8c, 0x8c, 0x8c)},
    StateLook{PieceState::Damaged, "Damaged", qRgb(0xd3, 0x2f, 0x2f)},
    StateLook{PieceState::Rebuilt, "Rebuilt", qRgb(0x1f, 0x6f, 0xc8)},
};

const StateLook& LookOf(PieceState state) {
    for (const StateLook& look : kLooks)
        if (look.state == state) return look;
    return kLooks.front();
}

// "1-40, 43-99" for the 1-based numbers of the pieces in state.
std::string Ranges(const std::vector<PieceState>& states, PieceState state) {
    std::string text;
    for (std::size_t i = 0; i < states.size(); ++i) {
        if (states[i] != state) continue;
        std::size_t last = i;
        while (last + 1 < states.size() && states[last + 1] == state) ++last;
        if (!text.empty()) text += ", ";
        text += std::to_string(i + 1);
        if (last > i) text += "-" + std::to_string(last + 1);
        i = last;
    }
    return text;
}

std::string Lower(std::string text) {
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') text[0] = char(text[0] - 'A' + 'a');
    return text;
}

// The legend: a square and the name of each state.
QWidget* MakeLegend(QWidget* parent) {
    auto* legend = new QWidget(parent);
    legend->setObjectName(QStringLiteral("PieceLegend"));
    auto* row = new QHBoxLayout(legend);
    row->setContentsMargins(0, 0, 0, 0);
    const int side = std::max(10, legend->fontMetrics().height() * 2 / 3);
    for (const StateLook& look : kLooks) {
        QPixmap swatch(side, side);
        swatch.fill(Qt::transparent);
        QPainter painter(&swatch);
        PieceMap::PaintSquare(painter, QRect(0, 0, side, side), look.state);
        painter.end();
        auto* square = new QLabel(legend);
        square->setPixmap(swatch);
        // The name beside it says all; the square is decoration for a screen reader.
        square->setAccessibleName(QString::fromLatin1(look.name) + QStringLiteral(" square"));
        auto* name = new QLabel(QString::fromLatin1(look.name), legend);
        row->addWidget(square);
        row->addWidget(name);
        row->addSpacing(side);
    }
    row->addStretch(1);
    return legend;
}

}  // namespace

std::string PieceMapText(const std::vector<PieceState>& states) {
    std::string text;
    for (const StateLook& look : kLooks) {
        const std::string ranges = Ranges(states, look.state);
        if (ranges.empty()) continue;
        text += (text.empty() ? std::string(look.name) : "; " + Lower(look.name)) + ": " + ranges;
    }
    return text;
}

std::string VerifySummary(const VerifyReport& report) {
    if (report.whole) return "The split set is whole: every piece is there and undamaged.";
    std::size_t bad = 0;
    std::string detail;
    for (const StateLook& look : kLooks) {
        if (look.state == PieceState::Whole || look.state == PieceState::Rebuilt) continue;
        const auto count = static_cast<std::size_t>(
            std::count(report.states.begin(), report.states.end(), look.state));
        if (count == 0) continue;
        bad += count;
        detail += (detail.empty() ? "" : ", ") + std::to_string(count) + " " + Lower(look.name);
    }
    const std::size_t all = report.states.size();
    if (bad == 0) return report.failure;
    return std::to_string(bad) + " of " + std::to_string(all) +
           (all == 1 ? " piece " : " pieces ") + (bad == 1 ? "is" : "are") +
           " missing or damaged (" + detail + ").";
}

QColor PieceColour(PieceState state) {
    return QColor(LookOf(state).colour);
}

PieceMap::PieceMap(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PieceMap"));
    setAccessibleName(QStringLiteral("Pieces"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void PieceMap::SetStates(std::vector<PieceState> states) {
    m_states = std::move(states);
    setAccessibleDescription(ToQ(PieceMapText(m_states)));
    setVisible(!m_states.empty() && m_states.size() <= kMaxDrawn);
    updateGeometry();
    update();
}

int PieceMap::Side() const {
    return std::max(10, fontMetrics().height() * 2 / 3);
}

int PieceMap::Columns() const {
    // Rows of 32 at most, fewer when the window is narrow.
    const int step = Side() + Side() / 4;
    return std::clamp(width() / step, 1, 32);
}

QRect PieceMap::SquareRect(std::size_t index) const {
    const int step = Side() + Side() / 4;
    const int columns = Columns();
    const int column = static_cast<int>(index % static_cast<std::size_t>(columns));
    const int row = static_cast<int>(index / static_cast<std::size_t>(columns));
    return QRect(column * step, row * step, Side(), Side());
}

QSize PieceMap::sizeHint() const {
    const int step = Side() + Side() / 4;
    const int count = static_cast<int>(m_states.size());
    const int columns = std::clamp(count, 1, 32);
    const int rows = (count + columns - 1) / columns;
    return QSize(columns * step, std::max(rows, 1) * step);
}

void PieceMap::PaintSquare(QPainter& painter, const QRect& rect, PieceState state) {
    const QColor colour = PieceColour(state);
    const int frame = std::max(2, rect.width() / 5);
    if (state == PieceState::Missing) {
        // A hollow frame: nothing is there.
        painter.fillRect(QRect(rect.left(), rect.top(), rect.width(), frame), colour);
        painter.fillRect(QRect(rect.left(), rect.bottom() - frame + 1, rect.width(), frame),
                         colour);
        painter.fillRect(QRect(rect.left(), rect.top(), frame, rect.height()), colour);
        painter.fillRect(QRect(rect.right() - frame + 1, rect.top(), frame, rect.height()), colour);
        return;
    }
    painter.fillRect(rect, colour);
    if (state == PieceState::Damaged) {
        // A cross in the middle, away from the edges the colour is read at.
        painter.save();
        painter.setPen(QPen(Qt::white, std::max(1, rect.width() / 8)));
        const QRect cross = rect.adjusted(frame + 1, frame + 1, -frame - 1, -frame - 1);
        painter.drawLine(cross.topLeft(), cross.bottomRight());
        painter.drawLine(cross.topRight(), cross.bottomLeft());
        painter.restore();
    }
    if (state == PieceState::Rebuilt) {
        // A white dot in the middle: whole again, but not as it was sent.
        const int dot = std::max(2, rect.width() / 3);
        painter.fillRect(QRect(rect.center() - QPoint(dot / 2, dot / 2), QSize(dot, dot)),
                         Qt::white);
    }
}

void PieceMap::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (std::size_t i = 0; i < m_states.size() && i < kMaxDrawn; ++i) {
        const QRect rect = SquareRect(i);
        if (rect.top() > height()) break;
        PaintSquare(painter, rect, m_states[i]);
    }
}

VerifyWindow::VerifyWindow(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("VerifyWindow"));
    setWindowTitle(QStringLiteral("Verify"));
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("lblVerifySummary"));
    m_summary->setWordWrap(true);
    m_summary->setTextFormat(Qt::PlainText);
    m_map = new PieceMap(this);
    m_legend = MakeLegend(this);
    m_pieceList = new QLabel(this);
    m_pieceList->setObjectName(QStringLiteral("lblPieceList"));
    m_pieceList->setWordWrap(true);
    m_pieceList->setTextFormat(Qt::PlainText);
    // Reachable by Tab and readable line by line, for a screen reader and for a long list.
    m_pieceList->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    m_pieceList->setFocusPolicy(Qt::StrongFocus);
    m_pieceList->setAccessibleName(QStringLiteral("Pieces by state"));
    m_recoveryRow = new QWidget(this);
    auto* recoveryRow = new QHBoxLayout(m_recoveryRow);
    recoveryRow->setContentsMargins(0, 0, 0, 0);
    m_recovery = new QLabel(m_recoveryRow);
    m_recovery->setObjectName(QStringLiteral("lblRecovery"));
    m_recovery->setWordWrap(true);
    m_recovery->setTextFormat(Qt::PlainText);
    m_recovery->setAccessibleName(QStringLiteral("Recovery pieces"));
    m_repairButton = new QPushButton(QStringLiteral("&Repair"), m_recoveryRow);
    m_repairButton->setObjectName(QStringLiteral("repairButton"));
    m_repairButton->setAccessibleName(QStringLiteral("Repair"));
    m_repairButton->setAccessibleDescription(
        QStringLiteral("Rebuild the missing or damaged pieces from the recovery pieces"));
    m_repairButton->setAutoDefault(false);
    recoveryRow->addWidget(m_recovery, 1);
    recoveryRow->addWidget(m_repairButton, 0, Qt::AlignTop);
    connect(m_repairButton, &QPushButton::clicked, this, [this] {
        if (onRepair) onRepair(m_report);
    });
    m_warnings = new QLabel(this);
    m_warnings->setObjectName(QStringLiteral("lblVerifyWarnings"));
    m_warnings->setWordWrap(true);
    m_warnings->setTextFormat(Qt::PlainText);
    m_warnings->setAccessibleName(QStringLiteral("Warnings"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("cmdVerifyOk"));
    ok->setAccessibleName(QStringLiteral("OK"));
    ok->setAccessibleDescription(QStringLiteral("Close the Verify window"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    const int width = fontMetrics().averageCharWidth() * 60;
    for (QLabel* label : {m_summary, m_pieceList, m_warnings}) label->setFixedWidth(width);
    m_map->setFixedWidth(width);
    m_recoveryRow->setFixedWidth(width);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_map);
    layout->addWidget(m_legend);
    layout->addWidget(m_pieceList);
    layout->addWidget(m_recoveryRow);
    layout->addWidget(m_warnings);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setTabOrder(m_pieceList, m_repairButton);
    setTabOrder(m_repairButton, ok);
}

void VerifyWindow::ShowReport(const VerifyReport& report) {
    std::string summary = VerifySummary(report);
    if (!report.failure.empty() && summary != report.failure)
        summary = report.failure + "\n" + summary;
    m_summary->setText(ToQ(summary));
    m_map->SetStates(report.states);
    m_legend->setVisible(m_map->isVisibleTo(this));
    m_pieceList->setText(ToQ(PieceMapText(report.states)));
    m_report = report;
    m_recovery->setText(ToQ(report.recovery));
    m_repairButton->setEnabled(report.canRepair);
    m_recoveryRow->setVisible(!report.recovery.empty());
    std::string warnings;
    for (const std::string& warning : report.warnings)
        warnings += (warnings.empty() ? "" : "\n") + ("Warning: " + warning);
    m_warnings->setText(ToQ(warnings));
    m_warnings->setVisible(!warnings.empty());
    setAccessibleDescription(ToQ(summary));
    adjustSize();
    show();
    raise();
    activateWindow();
    findChild<QPushButton*>(QStringLiteral("cmdVerifyOk"))->setFocus();
}

}  // namespace olvo
