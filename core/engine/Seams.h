#pragma once
// What the engine asks of the program that runs it: a progress display and the media prompts.

#include <cstdint>
#include <string>

namespace olvo {

// The progress window of one operation: shown by Begin, gone after End.
class Progress {
  public:
    virtual ~Progress() = default;
    virtual void Begin(const std::string& caption, std::uint32_t maximum) = 0;
    virtual void SetMaximum(std::uint32_t maximum) = 0;
    // The number of the piece being worked on, 1 to maximum.
    virtual void SetPosition(std::uint32_t position) = 0;
    // Lets the windows repaint and handle pending input.
    virtual void ProcessMessages() = 0;
    // Finer progress within and across pieces, for displays that show bytes; total may be a
    // claim of outside data and smaller than done. A stream, whose size and piece count are
    // known only at its end, gives a total of 0 and leaves the maximum at 0.
    virtual void Bytes(std::uint64_t /*done*/, std::uint64_t /*total*/) {}
    virtual void End() = 0;
    // True once the user asked to stop (a Cancel button, an interrupt). The engine asks between
    // copy steps and then ends the operation as Cancel at a media prompt does. May be called
    // often: it must be cheap, and it must not process window events itself.
    virtual bool CancelRequested() { return false; }
    // A passing state the user should know of while the operation goes on, such as a wait for
    // another program that holds the set's name. The terminal prints it on stderr once, the
    // window shows it in the progress window.
    virtual void Notice(const std::string& /*text*/) {}
};

// Where an operation stands, as a progress display keeps it from the calls above.
struct ProgressCounts {
    std::uint32_t maximum = 0;   // pieces in all
    std::uint32_t position = 0;  // the piece being worked on, 0 before the first
    std::uint64_t done = 0;      // bytes
    std::uint64_t total = 0;     // bytes; may be smaller than done (see Progress::Bytes)
    // The bytes still to go, 0 once done reaches total.
    std::uint64_t BytesLeft() const { return total > done ? total - done : 0; }
};

// Shows the progress window for the lifetime of one operation, however it ends.
class ProgressWindow {
  public:
    ProgressWindow(Progress& progress, const std::string& caption, std::uint32_t maximum)
        : m_progress(progress) {
        m_progress.Begin(caption, maximum);
    }
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;
    ~ProgressWindow() { m_progress.End(); }

  private:
    Progress& m_progress;
};

enum class PromptAnswer { Retry, Cancel };

// The modal questions of an operation: Retry/Cancel about media, with the information icon, and
// Yes/No before files of another split set are overwritten.
class Prompt {
  public:
    virtual ~Prompt() = default;
    virtual PromptAnswer AskRetryCancel(const std::string& caption, const std::string& text) = 0;
    // True for Yes. Without a user to ask, the answer is No.
    virtual bool AskYesNo(const std::string& /*caption*/, const std::string& /*text*/) {
        return false;
    }
};

class NullProgress final : public Progress {
  public:
    void Begin(const std::string&, std::uint32_t) override {}
    void SetMaximum(std::uint32_t) override {}
    void SetPosition(std::uint32_t) override {}
    void ProcessMessages() override {}
    void End() override {}
};

// Answers Cancel to every question: what a program without a user does.
class CancelPrompt final : public Prompt {
  public:
    PromptAnswer AskRetryCancel(const std::string&, const std::string&) override {
        return PromptAnswer::Cancel;
    }
};

}  // namespace olvo
