#include "cli/Terminal.h"

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <iostream>

#include "core/engine/Format.h"

namespace olvo::cli {

namespace {

volatile std::sig_atomic_t g_signal = 0;

#ifndef _WIN32
// The terminal's mode while a question has it in single-key mode, for the handler to put back
// when a second signal ends the program.
struct termios g_savedMode;
volatile std::sig_atomic_t g_modeSaved = 0;
// Where the keys of a question come from: standard input, or the terminal when that is data.
volatile std::sig_atomic_t g_keyFd = STDIN_FILENO;

void OnInterrupt(int signal) {
    if (g_signal != 0) {
        // Each write to a pipe nobody reads brings another; only a person asks twice.
        if (signal == SIGPIPE) return;
        // The second one: end now, as the default action would, with the terminal as it was.
        if (g_modeSaved) ::tcsetattr(g_keyFd, TCSANOW, &g_savedMode);
        std::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    g_signal = signal;
}
#else
void OnInterrupt(int signal) {
    g_signal = signal;
    std::signal(signal, SIG_DFL);
}
#endif

}  // namespace

std::string ForStderr(const std::string& message) {
    std::string out;
    std::size_t at = 0;
    while (at < message.size()) {
        auto end = message.find_first_of("\r\n", at);
        if (end == std::string::npos) end = message.size();
        if (end > at) out += "olvo-cli: " + message.substr(at, end - at) + '\n';
        at = end + 1;
    }
    return out;
}

bool PrintMessage(const std::string& text) {
    const bool written = std::fputs(ForStderr(text).c_str(), stderr) >= 0;
    return std::fflush(stderr) == 0 && written;
}

int FinishOutput(int status) {
    errno = 0;
    const bool outFailed = std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
    const int reason = errno;
    const bool errFailed = std::fflush(stderr) != 0 || std::ferror(stderr) != 0;
    if (!outFailed && !errFailed) return status;
#ifndef _WIN32
    // What the default action of the signal would have ended with, had it not been caught.
    if (g_signal == SIGPIPE) return 128 + SIGPIPE;
#endif
    if (outFailed) {
        PrintMessage(reason != 0 ? std::string("write error: ") + std::strerror(reason)
                                 : "write error");
    }
    return status == 0 ? 1 : status;
}

void CatchInterrupts() {
#ifndef _WIN32
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // Restarted, so that no file operation of the engine fails on it; a question waits in
    // poll(), which an interrupt always ends.
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        ::sigaction(signal, &action, nullptr);
#else
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
#endif
}

int InterruptSignal() {
    return g_signal;
}

bool TerminalProgress::CancelRequested() {
    return g_signal != 0;
}

void TerminalProgress::Begin(const std::string& caption, std::uint32_t maximum) {
    m_caption = caption;
    m_counts = ProgressCounts{.maximum = maximum};
    m_start = m_lastDraw = std::chrono::steady_clock::now();
    Draw(true);
}

void TerminalProgress::SetPosition(std::uint32_t position) {
    m_counts.position = position;
    Draw(false);
}

void TerminalProgress::Bytes(std::uint64_t done, std::uint64_t total) {
    m_counts.done = done;
    m_counts.total = total;
    Draw(false);
}

void TerminalProgress::End() {
    Clear();
}

void TerminalProgress::Notice(const std::string& text) {
    Clear();
    PrintMessage(text);
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
    const double total = static_cast<double>(std::max(m_counts.total, m_counts.done));
    const double fraction = total > 0 ? static_cast<double>(m_counts.done) / total
                            : m_counts.maximum > 0
                                ? static_cast<double>(m_counts.position) / m_counts.maximum
                                : 0.0;
    constexpr int kWidth = 24;
    const int filled = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * kWidth);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kWidth - filled), '.');

    const double seconds = std::chrono::duration<double>(now - m_start).count();
    const double rate = seconds > 0.2 ? static_cast<double>(m_counts.done) / seconds : 0.0;
    // A stream's size comes only at its end: no bar, and no count of pieces to come.
    const bool sizeUnknown = m_counts.maximum == 0 && m_counts.total == 0 && m_counts.position > 0;
    std::string line = m_caption + (sizeUnknown ? " " : " [" + bar + "] ") +
                       HumanBytes(static_cast<double>(m_counts.done));
    if (m_counts.total > 0) line += " / " + HumanBytes(static_cast<double>(m_counts.total));
    line += "  piece " + std::to_string(m_counts.position);
    if (!sizeUnknown) line += " of " + std::to_string(m_counts.maximum);
    if (rate > 0) {
        line += "  " + HumanBytes(rate) + "/s";
        if (m_counts.BytesLeft() > 0) {
            const auto left =
                static_cast<long long>(static_cast<double>(m_counts.BytesLeft()) / rate);
            char eta[32];
            std::snprintf(eta, sizeof eta, "  %lld:%02lld left", left / 60, left % 60);
            line += eta;
        }
    }
    std::fprintf(m_out, "\r\033[K%s", line.c_str());
    std::fflush(m_out);
    m_drawn = true;
}

#ifndef _WIN32
namespace {

// Standard input in single-key mode (no line editing, no echo) for its lifetime; signals still
// come from the keyboard.
class SingleKeyMode {
  public:
    SingleKeyMode() {
        if (::tcgetattr(g_keyFd, &g_savedMode) != 0) return;
        struct termios raw = g_savedMode;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        g_modeSaved = 1;
        ::tcsetattr(g_keyFd, TCSANOW, &raw);
    }
    ~SingleKeyMode() {
        if (!g_modeSaved) return;
        ::tcsetattr(g_keyFd, TCSANOW, &g_savedMode);
        g_modeSaved = 0;
    }
    SingleKeyMode(const SingleKeyMode&) = delete;
    SingleKeyMode& operator=(const SingleKeyMode&) = delete;
};

// The next key, or -1 at the end of input or when a signal asked to stop.
int ReadKey() {
    while (g_signal == 0) {
        pollfd fd{g_keyFd, POLLIN, 0};
        const int ready = ::poll(&fd, 1, -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return -1;
        unsigned char key = 0;
        const ssize_t n = ::read(g_keyFd, &key, 1);
        if (n < 0 && errno == EINTR) continue;
        return n == 1 ? key : -1;
    }
    return -1;
}

}  // namespace
#endif

#ifndef _WIN32
bool UseTerminalForKeys() {
    const int fd = ::open("/dev/tty", O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    g_keyFd = fd;  // open for the rest of the program
    return true;
}
#else
bool UseTerminalForKeys() {
    return false;
}
#endif

PromptAnswer TerminalPrompt::AskRetryCancel(const std::string& caption, const std::string& text) {
    m_progress.Clear();
    if (g_signal != 0) return PromptAnswer::Cancel;
    // Without a user the answer is Cancel, but the question still tells a script's log what was
    // missing and where it was looked for.
    // A question that cannot be shown (stderr into a closed pipe, a full disk) is not asked.
    if (!PrintMessage(caption + ": " + text) || !m_interactive) return PromptAnswer::Cancel;
#ifndef _WIN32
    SingleKeyMode mode;
    std::fputs("[R]etry or [C]ancel? ", stderr);
    std::fflush(stderr);
    while (true) {
        const int key = ReadKey();
        if (key == 'r' || key == 'R' || key == '\n' || key == '\r') {
            std::fputs("r\n", stderr);
            return PromptAnswer::Retry;
        }
        if (key < 0 || key == 'c' || key == 'C' || key == 0x1b || key == 0x04) {
            std::fputs("c\n", stderr);
            return PromptAnswer::Cancel;
        }
    }
#else
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
#endif
}

bool TerminalPrompt::AskYesNo(const std::string&, const std::string& text) {
    // The question names one file ("...overwrite it?") or a set's pieces ("...them?").
    const bool many = text.size() >= 5 && text.compare(text.size() - 5, 5, "them?") == 0;
    m_overwriteHint = std::string(" Use --overwrite to replace ") + (many ? "them." : "it.");
    return false;
}

}  // namespace olvo::cli
