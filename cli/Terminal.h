#pragma once
// The terminal's side of the engine's seams: a progress bar on stderr and Retry/Cancel questions.

#include <chrono>
#include <cstdio>
#include <string>

#include "engine/Seams.h"

namespace olvo::cli {

// A one-line bar: bytes done, piece k of N, rate and time left. Draws nothing when disabled.
class TerminalProgress final : public Progress {
  public:
    explicit TerminalProgress(bool enabled, std::FILE* out = stderr)
        : m_enabled(enabled), m_out(out) {}
    void Begin(const std::string& caption, std::uint32_t maximum) override;
    void SetMaximum(std::uint32_t maximum) override { m_maximum = maximum; }
    void SetPosition(std::uint32_t position) override;
    void ProcessMessages() override {}
    void Bytes(std::uint64_t done, std::uint64_t total) override;
    void End() override;
    // Clears the bar's line so that other text can be written.
    void Clear();

  private:
    void Draw(bool force);

    bool m_enabled;
    std::FILE* m_out;
    std::string m_caption;
    std::uint32_t m_maximum = 0;
    std::uint32_t m_position = 0;
    std::uint64_t m_done = 0;
    std::uint64_t m_total = 0;
    bool m_drawn = false;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastDraw;
};

// Asks on the terminal; with no terminal on standard input every answer is Cancel.
class TerminalPrompt final : public Prompt {
  public:
    TerminalPrompt(TerminalProgress& progress, bool interactive)
        : m_progress(progress), m_interactive(interactive) {}
    PromptAnswer AskRetryCancel(const std::string& caption, const std::string& text) override;

  private:
    TerminalProgress& m_progress;
    bool m_interactive;
};

// Text for a terminal: each carriage return of a message becomes a line end.
std::string ForTerminal(const std::string& text);

// A byte count in the largest unit that keeps it at 1 or more: "512 B", "1.5 MiB".
std::string HumanBytes(double bytes);

}  // namespace olvo::cli
