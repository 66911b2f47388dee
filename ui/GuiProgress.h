#pragma once
// The engine's progress seam shown as the ProgressWindow: a small modeless window of its own
// (no owner), 220 x 80 with a dialog frame and no title-bar buttons, centred on the screen, with
// one bar that counts the pieces. The window exists from Begin to End.

#include <QElapsedTimer>
#include <memory>

#include "engine/Seams.h"

class QProgressBar;
class QWidget;

namespace olvo {

class GuiProgress final : public Progress {
  public:
    GuiProgress();
    ~GuiProgress() override;

    void Begin(const std::string& caption, std::uint32_t maximum) override;
    void SetMaximum(std::uint32_t maximum) override;
    void SetPosition(std::uint32_t position) override;
    // Processes the pending events of every window.
    void ProcessMessages() override;
    // Processes pending events at most every 100 ms, so that the windows repaint during a long
    // piece as well.
    void Bytes(std::uint64_t done, std::uint64_t total) override;
    void End() override;

    // The window while an operation runs, otherwise null.
    QWidget* Window() const { return m_window.get(); }
    QProgressBar* Bar() const { return m_bar; }

    // The bar's own range is an int; a piece count beyond it is scaled down.
    static int BarValue(std::uint32_t position, std::uint32_t maximum);
    static int BarMaximum(std::uint32_t maximum);

  private:
    void ShowPosition();

    std::unique_ptr<QWidget> m_window;
    QProgressBar* m_bar = nullptr;
    std::uint32_t m_maximum = 0;
    std::uint32_t m_position = 0;
    QElapsedTimer m_sincePump;
};

}  // namespace olvo
