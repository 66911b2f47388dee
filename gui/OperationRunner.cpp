#include "gui/OperationRunner.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "gui/GuiProgress.h"
#include "platform/Clock.h"

namespace olvo {

// The engine's progress on the worker: every call goes to the progress window by the window's
// event loop.
class OperationRunner::WorkerProgress final : public Progress {
  public:
    explicit WorkerProgress(OperationRunner& runner) : m_runner(runner) {}
    void Begin(const std::string& caption, std::uint32_t maximum) override {
        m_runner.Post(
            [&display = m_runner.m_display, caption, maximum] { display.Begin(caption, maximum); });
    }
    void SetMaximum(std::uint32_t maximum) override {
        m_runner.Post([&display = m_runner.m_display, maximum] { display.SetMaximum(maximum); });
    }
    void SetPosition(std::uint32_t position) override {
        m_runner.Post([&display = m_runner.m_display, position] { display.SetPosition(position); });
    }
    void ProcessMessages() override {}
    void Bytes(std::uint64_t done, std::uint64_t total) override {
        m_runner.Post([&display = m_runner.m_display, done, total] { display.Bytes(done, total); });
    }
    void End() override {
        m_runner.Post([&display = m_runner.m_display] { display.End(); });
    }
    bool CancelRequested() override { return m_runner.m_cancel; }
    void Notice(const std::string& text) override {
        m_runner.Post([&display = m_runner.m_display, text] { display.Notice(text); });
    }

  private:
    OperationRunner& m_runner;
};

// The engine's questions on the worker, asked on the window's thread.
class OperationRunner::WorkerPrompt final : public Prompt {
  public:
    explicit WorkerPrompt(OperationRunner& runner) : m_runner(runner) {}
    PromptAnswer AskRetryCancel(const std::string& caption, const std::string& text) override {
        const int retry = m_runner.Ask(
            [&prompt = m_runner.m_prompt, caption, text] {
                return prompt.AskRetryCancel(caption, text) == PromptAnswer::Retry ? 1 : 0;
            },
            0);
        return retry ? PromptAnswer::Retry : PromptAnswer::Cancel;
    }
    bool AskYesNo(const std::string& caption, const std::string& text) override {
        return m_runner.Ask([&prompt = m_runner.m_prompt, caption,
                             text] { return prompt.AskYesNo(caption, text) ? 1 : 0; },
                            0) != 0;
    }

  private:
    OperationRunner& m_runner;
};

OperationRunner::OperationRunner(GuiProgress& display, Prompt& prompt, QObject* parent)
    : QObject(parent), m_display(display), m_prompt(prompt) {
    // Cancel in the progress window (its button, Escape, its close button) stops the worker.
    m_display.SetCancelHandler([this] { Cancel(); });
}

OperationRunner::~OperationRunner() {
    m_display.SetCancelHandler({});
    m_cancel = true;
    m_abandoned = true;
    if (m_worker.joinable()) m_worker.join();
    // Whatever the worker posted after this point is dropped with this object.
    m_display.End();
}

bool OperationRunner::Start(FileSystem& files, Work work, Done done) {
    if (m_busy) return false;
    m_busy = true;
    m_cancel = false;
    if (onBusyChanged) onBusyChanged(true);
    m_worker = std::thread([this, &files, work = std::move(work), done = std::move(done)] {
        WorkerProgress progress(*this);
        WorkerPrompt prompt(*this);
        EngineContext context{files, progress, prompt,
                              DateTimeFormat(CurrentDateTimeConventions())};
        std::exception_ptr error;
        try {
            work(context);
        } catch (...) {  // whatever ends the work is the window thread's to report
            error = std::current_exception();
        }
        Post([this, done, error] { Finish(done, error); });
    });
    return true;
}

void OperationRunner::Finish(const Done& done, std::exception_ptr error) {
    m_worker.join();
    // A progress window that an operation left open (one that only said a notice) goes too.
    m_display.End();
    // Not busy before done runs: what it does (close the window, start another operation)
    // finds the runner free.
    m_busy = false;
    if (onBusyChanged) onBusyChanged(false);
    if (done) done(error);
}

void OperationRunner::Post(std::function<void()> call) {
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

int OperationRunner::Ask(std::function<int()> question, int refusal) {
    struct Pending {
        std::mutex lock;
        std::condition_variable answered;
        std::optional<int> answer;
    };
    const auto pending = std::make_shared<Pending>();
    Post([pending, question = std::move(question)] {
        const int answer = question();
        const std::lock_guard lock(pending->lock);
        pending->answer = answer;
        pending->answered.notify_all();
    });
    std::unique_lock lock(pending->lock);
    while (!pending->answer) {
        if (m_abandoned) return refusal;
        pending->answered.wait_for(lock, std::chrono::milliseconds(50));
    }
    return *pending->answer;
}

}  // namespace olvo
