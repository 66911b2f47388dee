#pragma once
// The engine's progress seam shown as the ProgressWindow: a small modeless window of its own
// (no owner) with a dialog frame and no title-bar buttons, centred on the screen. It tells what
// is being done ("Splitting Holiday.avi"), the piece being worked on, the bytes done of the
// total, the rate and the time left, with a bar that moves with the bytes; its Cancel button
// (and Escape) asks the engine to stop, which then ends the operation as Cancel at a media
// prompt does. The window exists from Begin to End; its texts change at most ten times a second,
// and the last state is shown within a tenth of a second even when no call follows it. It never
// processes events itself: the operation runs on a worker (see OperationRunner), and its calls
// arrive here through the window's own event loop.
//
// The object names of the window and its parts (ProgressWindow, lblSubject, ProgressBar,
// lblPiece, lblBytes, lblRate, lblNotice, cmdCancel) are how tests and the screenshot program
// find them: keep them.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/engine/Seams.h"

class QDialog;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QWidget;

namespace olvo {

class GuiProgress final : public Progress {
  public:
    GuiProgress();
    ~GuiProgress() override;

    // What the next operation does, in words ("Splitting Holiday.avi"), shown above the bar from
    // the next Begin to its End; without one the window shows the caption.
    void SetSubject(const std::string& subject);

    void Begin(const std::string& caption, std::uint32_t maximum) override;
    void SetMaximum(std::uint32_t maximum) override;
    void SetPosition(std::uint32_t position) override;
    // Shows what is due (see Bytes); processes no events.
    void ProcessMessages() override;
    // Moves the bar and updates the texts, at most every 100 ms.
    void Bytes(std::uint64_t done, std::uint64_t total) override;
    void End() override;
    // Shown under the subject until End ("waiting for another split of NAME into DIR..."); one
    // that comes before Begin opens the window with the subject alone, so that a wait is never
    // silent.
    void Notice(const std::string& text) override;
    // True from a press of Cancel (or Escape, or an attempt to close the window) to the next
    // Begin.
    bool CancelRequested() override { return m_cancelRequested; }

    // What the Cancel button does: CancelRequested becomes true and the cancel handler runs.
    void Cancel();
    // Runs on every Cancel, for an operation that reads its cancel flag elsewhere.
    void SetCancelHandler(std::function<void()> handler) { m_onCancel = std::move(handler); }

    // Where the window reads the time: a count of milliseconds that never goes back. By default
    // the system's steady clock.
    using Clock = std::function<std::int64_t()>;
    void SetClock(Clock clock);

    // The window while an operation runs, otherwise null; its parts likewise.
    QWidget* Window() const;
    QProgressBar* Bar() const { return m_bar; }
    QLabel* SubjectLabel() const { return m_subjectLabel; }
    QLabel* PieceLabel() const { return m_pieceLabel; }
    QLabel* BytesLabel() const { return m_bytesLabel; }
    QLabel* RateLabel() const { return m_rateLabel; }
    QPushButton* CancelButton() const { return m_cancelButton; }
    QLabel* NoticeLabel() const { return m_noticeLabel; }

    // The bar's value, 0 to BarRange, for done bytes of total; a total smaller than done (a
    // claim of outside data) counts as done.
    static constexpr int kBarRange = 1000;
    static int BarValue(std::uint64_t done, std::uint64_t total);

    // The texts of the window: "Piece 3 of 37"; "1.2 GiB of 2.0 GiB"; "48.3 MiB/s, 0:17 left"
    // (the rate alone once nothing is left, nothing while the rate is unknown).
    static std::string PieceText(std::uint32_t position, std::uint32_t maximum);
    static std::string BytesText(std::uint64_t done, std::uint64_t total);
    static std::string RateText(double bytesPerSecond, std::uint64_t bytesLeft);
    // 1023 bytes "1023 B", then KiB, MiB, GiB and TiB with one decimal.
    static std::string SizeText(double bytes);

  private:
    // Shows the current state now, or only when 100 ms have passed since it was last shown.
    enum class Update { Now, WhenDue };
    void Refresh(Update update);
    void Show(const std::string& caption, std::uint32_t maximum);
    // Bytes per second over the last few seconds, so that a pause at a media prompt is soon
    // forgotten; 0 while unknown.
    double Rate();

    std::unique_ptr<QDialog> m_window;
    QProgressBar* m_bar = nullptr;
    QLabel* m_subjectLabel = nullptr;
    QLabel* m_pieceLabel = nullptr;
    QLabel* m_bytesLabel = nullptr;
    QLabel* m_rateLabel = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QLabel* m_noticeLabel = nullptr;
    // Shows a state that came too soon after the last one, once it is due.
    QTimer* m_dueTimer = nullptr;
    std::function<void()> m_onCancel;

    std::string m_subject;
    ProgressCounts m_counts;
    bool m_cancelRequested = false;
    Clock m_clock;
    // When the operation began, the texts were last shown and the events last processed; nothing
    // while there is no operation.
    std::int64_t m_begunAt = 0;
    std::optional<std::int64_t> m_refreshedAt;
    struct Sample {
        std::int64_t ms;
        std::uint64_t done;
    };
    std::deque<Sample> m_samples;
};

}  // namespace olvo
