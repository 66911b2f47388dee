#pragma once
// A split set at a glance: one small square per piece, coloured by what a verify found of it,
// and the Verify window that shows such a map with its legend, the same as text, and the
// engine's warnings.
//
// The state of a piece is never told by colour alone: a whole piece is a filled square, a missing
// one a hollow frame, a damaged one a filled square with a cross, a rebuilt one a filled square
// with a dot. The text form
// ("Whole: 1-40, 43-99; missing: 41; damaged: 42") is what a screen reader reads and what a set
// too large to draw shows instead of the squares.

#include <QDialog>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "core/engine/FileSplit.h"

class QLabel;
class QPushButton;

namespace olvo {

// What the window shows after a verify, or after a restore that found bad pieces.
struct VerifyReport {
    std::string setName;  // the descriptor's file name
    bool whole = false;
    // Why the operation failed: the set could not be checked at all, or the restore's message.
    std::string failure;
    std::vector<std::string> problems;  // one line per bad piece, as the engine words it
    std::vector<PieceState> states;     // piece k at k - 1; empty when nothing could be checked
    std::vector<std::string> warnings;  // about a check that stands (a weak one)
    std::string descriptorPath;         // the set, for a repair
    // What the recovery files can do for the lost pieces (RecoveryLine), or what a repair did;
    // empty when the set has none or there was nothing to do.
    std::string recovery;
    bool canRepair = false;  // the recovery files can rebuild every lost piece
};

// The pieces of each state as ranges, states in their order, empty states left out:
// "Whole: 1-40, 43-99; missing: 41; damaged: 42". Empty for no pieces.
std::string PieceMapText(const std::vector<PieceState>& states);

// One sentence on the set: "The split set is whole: every piece is there and undamaged.", or
// "2 of 99 pieces are missing or damaged (1 missing, 1 damaged)."
std::string VerifySummary(const VerifyReport& report);

// The colour of a state, the same in light and dark palettes.
QColor PieceColour(PieceState state);

class PieceMap final : public QWidget {
  public:
    // More pieces than this are told only as text.
    static constexpr std::size_t kMaxDrawn = 2048;

    explicit PieceMap(QWidget* parent = nullptr);
    // Shows states; hides itself when there are none or too many to draw.
    void SetStates(std::vector<PieceState> states);

    // The square of piece index (0-based), in the widget's coordinates.
    QRect SquareRect(std::size_t index) const;
    // Squares on one line.
    int Columns() const;
    QSize sizeHint() const override;

    // Draws one square of state into rect: what the map and the legend share.
    static void PaintSquare(QPainter& painter, const QRect& rect, PieceState state);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int Side() const;

    std::vector<PieceState> m_states;
};

// The Verify window: modeless, owned by the main window, reused for every report. Its parts'
// object names (VerifyWindow, lblVerifySummary, PieceMap, lblPieceList, lblRecovery,
// repairButton, lblVerifyWarnings, cmdVerifyOk) are what tests and the screenshot program find
// them by.
class VerifyWindow final : public QDialog {
  public:
    explicit VerifyWindow(QWidget* owner);
    // Fills the window with report, shows it and brings it in front. The recovery line shows
    // when the report has one, with the Repair button beside it, enabled when canRepair.
    void ShowReport(const VerifyReport& report);

    // What the Repair button starts, with the report it was pressed on.
    std::function<void(const VerifyReport& report)> onRepair;

  private:
    VerifyReport m_report;
    QWidget* m_recoveryRow;
    QLabel* m_recovery;
    QPushButton* m_repairButton;
    QLabel* m_summary;
    PieceMap* m_map;
    QWidget* m_legend;
    QLabel* m_pieceList;
    QLabel* m_warnings;
};

}  // namespace olvo
