#include "cli/Terminal.h"

#include <algorithm>
#include <cmath>
#include <iostream>

namespace olvo::cli {

std::string ForTerminal(const std::string& text) {
    std::string out = text;
    std::replace(out.begin(), out.end(), '\r', '\n');
    return out;
}

std::string HumanBytes(double bytes) {
    static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    int unit = 0;
    while (bytes >= 1024 && unit < 4) {
        bytes /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, kUnits[unit]);
    return text;
}

void TerminalProgress::Begin(const std::string& caption, std::uint32_t maximum) {
    m_caption = caption;
    m_maximum = maximum;
    m_position = 0;
    m_done = m_total = 0;
    m_start = m_lastDraw = std::chrono::steady_clock::now();
    Draw(true);
}

void TerminalProgress::SetPosition(std::uint32_t position) {
    m_position = position;
    Draw(false);
}

void TerminalProgress::Bytes(std::uint64_t done, std::uint64_t total) {
    m_done = done;
    m_total = total;
    Draw(false);
}

void TerminalProgress::End() {
    Clear();
}

void TerminalProgress::Clear() {
    if (!m_enabled || !m_drawn) return;
    std::fputs("\r\033[K", m_out);
    std::fflush(m_out);
    m_drawn = false;
}

void TerminalProgress::Draw(bool force) {
    if (!m_enabled) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - m_lastDraw < std::chrono::milliseconds(100)) return;
    m_lastDraw = now;

    // The descriptor's size is outside data: the bar never runs past full, whatever it claims.
    const double total = static_cast<double>(std::max(m_total, m_done));
    const double fraction = total > 0       ? static_cast<double>(m_done) / total
                            : m_maximum > 0 ? static_cast<double>(m_position) / m_maximum
                                            : 0.0;
    constexpr int kWidth = 24;
    const int filled = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * kWidth);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kWidth - filled), '.');

    const double seconds = std::chrono::duration<double>(now - m_start).count();
    const double rate = seconds > 0.2 ? static_cast<double>(m_done) / seconds : 0.0;
    std::string line = m_caption + " [" + bar + "] " + HumanBytes(static_cast<double>(m_done));
    if (m_total > 0) line += " / " + HumanBytes(static_cast<double>(m_total));
    line += "  piece " + std::to_string(m_position) + " of " + std::to_string(m_maximum);
    if (rate > 0) {
        line += "  " + HumanBytes(rate) + "/s";
        if (m_total > m_done) {
            const auto left = static_cast<long long>(static_cast<double>(m_total - m_done) / rate);
            char eta[32];
            std::snprintf(eta, sizeof eta, "  %lld:%02lld left", left / 60, left % 60);
            line += eta;
        }
    }
    std::fprintf(m_out, "\r\033[K%s", line.c_str());
    std::fflush(m_out);
    m_drawn = true;
}

PromptAnswer TerminalPrompt::AskRetryCancel(const std::string& caption, const std::string& text) {
    m_progress.Clear();
    if (!m_interactive) return PromptAnswer::Cancel;
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), ForTerminal(text).c_str());
    while (true) {
        std::fputs("[R]etry or [C]ancel? ", stderr);
        std::fflush(stderr);
        std::string answer;
        if (!std::getline(std::cin, answer)) return PromptAnswer::Cancel;
        if (answer == "r" || answer == "R" || answer == "retry" || answer == "Retry")
            return PromptAnswer::Retry;
        if (answer == "c" || answer == "C" || answer == "cancel" || answer == "Cancel")
            return PromptAnswer::Cancel;
    }
}

}  // namespace olvo::cli
