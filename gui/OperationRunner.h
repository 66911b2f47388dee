#pragma once
// Runs the engine's operations (split, restore, verify) on a worker thread for a window, one at
// a time, so that the window repaints and Cancel acts however slow the medium is.
//
// The engine sees a context whose progress and prompt belong to the worker: progress reaches the
// progress window by queued calls on the window's thread; a question (a media prompt, Yes/No
// before a file is replaced) is asked there while the worker waits for the answer;
// CancelRequested reads a flag that Cancel sets from the window's thread; ProcessMessages does
// nothing, as nothing on the worker has events to process.
//
// Only one operation runs at a time by construction: Start refuses while one runs, and the
// window hears through onBusyChanged when to disable and enable what starts one. The runner and
// the display and prompt it is given live on the window's thread, and so does every call below.

#include <QObject>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <thread>

#include "core/engine/FileSplit.h"
#include "core/engine/Seams.h"

namespace olvo {

class GuiProgress;

class OperationRunner final : public QObject {
  public:
    // display shows the progress of each operation; prompt asks its questions. Both outlive this.
    OperationRunner(GuiProgress& display, Prompt& prompt, QObject* parent = nullptr);
    // An operation still running is cancelled, its pending question answered as refused (Cancel,
    // No), and waited for.
    ~OperationRunner() override;

    // What runs on the worker: the engine call with a context over files and the worker's
    // progress and prompt.
    using Work = std::function<void(EngineContext& context)>;
    // Runs work on the worker, then done on the window's thread once the worker has ended and the
    // progress window is gone, with what work raised (null when nothing). False, with nothing
    // started, while another operation runs.
    using Done = std::function<void(std::exception_ptr error)>;
    bool Start(FileSystem& files, Work work, Done done);
    bool Busy() const { return m_busy; }
    // Asks the running operation to stop; the engine ends it as Cancel at a media prompt does.
    void Cancel() { m_cancel = true; }

    // Told true as an operation starts and false once it has ended, just before its done runs.
    std::function<void(bool busy)> onBusyChanged;

  private:
    class WorkerProgress;
    class WorkerPrompt;
    friend class WorkerProgress;
    friend class WorkerPrompt;

    // Runs call on the window's thread, in the order posted.
    void Post(std::function<void()> call);
    // Runs question on the window's thread and waits for its answer; refusal when the runner is
    // being destroyed meanwhile.
    int Ask(std::function<int()> question, int refusal);
    void Finish(const Done& done, std::exception_ptr error);

    GuiProgress& m_display;
    Prompt& m_prompt;
    bool m_busy = false;
    std::atomic<bool> m_cancel = false;
    std::atomic<bool> m_abandoned = false;
    std::thread m_worker;
};

}  // namespace olvo
