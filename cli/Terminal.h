#pragma once
// The terminal's side of the engine's seams: a progress bar on stderr, Retry/Cancel questions
// answered with one key, and SIGINT, SIGTERM, SIGHUP and SIGPIPE taken as a request to stop.

#include <chrono>
#include <cstdio>
#include <string>

#include "core/engine/Seams.h"

namespace olvo::cli {

// A one-line bar: bytes done, piece k of N, rate and time left. Draws nothing when disabled.
class TerminalProgress final : public Progress {
  public:
    explicit TerminalProgress(bool enabled, std::FILE* out = stderr)
        : m_enabled(enabled), m_out(out) {}
    void Begin(const std::string& caption, std::uint32_t maximum) override;
    void SetMaximum(std::uint32_t maximum) override { m_counts.maximum = maximum; }
    void SetPosition(std::uint32_t position) override;
    void ProcessMessages() override {}
    void Bytes(std::uint64_t done, std::uint64_t total) override;
    void End() override;
    // True once SIGINT or SIGTERM arrived (see CatchInterrupts).
    bool CancelRequested() override;
    // On stderr as a message of its own, quiet or not: it is no progress.
    void Notice(const std::string& text) override;
    // Clears the bar's line so that other text can be written.
    void Clear();

  private:
    void Draw(bool force);

    bool m_enabled;
    std::FILE* m_out;
    std::string m_caption;
    ProgressCounts m_counts;
    bool m_drawn = false;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastDraw;
};

// Asks on the terminal; with no terminal on standard input every answer is Cancel, after the
// question is written to stderr all the same, so that a log tells what was missing. On a
// terminal one key answers, without Enter: R (or Enter alone) is Retry; C, Escape, Ctrl-D and
// an interrupt are Cancel, as is a question that cannot be written to stderr. The terminal's own
// mode is back whenever the question ends. Whether to overwrite a file is never asked: the answer
// is No, and the command line's --overwrite says Yes before the question comes.
class TerminalPrompt final : public Prompt {
  public:
    TerminalPrompt(TerminalProgress& progress, bool interactive)
        : m_progress(progress), m_interactive(interactive) {}
    PromptAnswer AskRetryCancel(const std::string& caption, const std::string& text) override;
    bool AskYesNo(const std::string& caption, const std::string& text) override;
    // After a No to a question about files in the way: what to add to the failure's message
    // (" Use --overwrite to replace it."); empty when none was asked.
    const std::string& OverwriteHint() const { return m_overwriteHint; }

  private:
    TerminalProgress& m_progress;
    bool m_interactive;
    std::string m_overwriteHint;
};

// From now on the questions read their keys from the terminal (/dev/tty), not from standard
// input, which carries data (split -): true when there is one. On Windows there is none, and a
// question is then answered Cancel.
bool UseTerminalForKeys();

// A message as olvo-cli writes it on stderr, whether that is a terminal or a log: each carriage
// return becomes a line end, every line begins with "olvo-cli: ", and lines without text (two
// line ends in a row, one at the end) are left out. Ends with a line end, unless it is empty
// (nothing to say).
std::string ForStderr(const std::string& message);
// Writes ForStderr(text) to stderr; false when it could not be written.
bool PrintMessage(const std::string& text);
// The exit status once what is left of stdout and stderr is written, as coreutils end: a write
// to stdout that failed, now or earlier (a full disk, a closed pipe), turns a status of 0 into 1,
// with "write error: REASON" on stderr; one to stderr into 1 without a word. After a caught
// SIGPIPE the status is 141, as if the signal had ended the program.
int FinishOutput(int status);

// From now on SIGINT, SIGTERM, SIGHUP and SIGPIPE only note the signal; the engine then stops
// between copy steps as Cancel stops it. A second SIGINT, SIGTERM or SIGHUP ends the program at
// once, with the terminal's mode restored; a second SIGPIPE (another write into the closed pipe)
// is ignored.
void CatchInterrupts();
// The signal that asked to stop (SIGINT, SIGTERM, SIGHUP, SIGPIPE), or 0.
int InterruptSignal();

}  // namespace olvo::cli
