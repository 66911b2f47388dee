#include "support/RunProgram.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>

namespace olvo::test {
namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until deadline, for poll: 0 once it has passed.
int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : left > 1000000 ? 1000000 : static_cast<int>(left);
}

// Waits for pid to end until deadline; its wait status, or nothing when it still runs.
bool WaitUntil(pid_t pid, Clock::time_point deadline, int& status) {
    for (;;) {
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid || (ended < 0 && errno != EINTR)) return true;
        if (Clock::now() >= deadline) return false;
        const struct timespec pause = {0, 10 * 1000 * 1000};
        ::nanosleep(&pause, nullptr);
    }
}

int ExitCode(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Kills pid and every process of its group (what it started), reaps it, and raises.
[[noreturn]] void KillHung(pid_t pid, const std::string& path, const std::vector<std::string>& args,
                           std::chrono::seconds limit, const ProgramResult& sofar) {
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    std::string command = path;
    for (const auto& arg : args) command += " " + arg;
    auto tail = [](const std::string& text) {
        return text.size() > 2000 ? "..." + text.substr(text.size() - 2000) : text;
    };
    throw std::runtime_error(command + " did not end within " + std::to_string(limit.count()) +
                             " s and was killed.\nIt wrote to its output:\n" + tail(sofar.out) +
                             "\nand to its errors:\n" + tail(sofar.err));
}

// Writes to a pipe whose reader may be gone without the SIGPIPE that would end this process:
// the signal is held back for this thread and a pending one taken away again.
ssize_t WriteWithoutSignal(int fd, const char* data, std::size_t size) {
    sigset_t pipeSignal, before;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipeSignal, &before);
    const ssize_t n = ::write(fd, data, size);
    const int code = errno;
    if (n < 0 && code == EPIPE) {
        const struct timespec now = {0, 0};
        while (::sigtimedwait(&pipeSignal, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    errno = code;
    return n;
}

}  // namespace

ProgramResult RunProgram(const std::string& path, const std::vector<std::string>& args,
                         const std::string& input, const std::string& workDir,
                         const std::vector<std::string>& extraEnv, std::chrono::seconds timeLimit) {
    const auto deadline = Clock::now() + timeLimit;
    int in[2], out[2], err[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0) throw std::runtime_error("pipe");
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork");
    if (pid == 0) {
        // A group of its own, so that a hung program goes with everything it started.
        ::setpgid(0, 0);
        ::signal(SIGPIPE, SIG_DFL);
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) ::close(fd);
        if (!workDir.empty() && ::chdir(workDir.c_str()) != 0) ::_exit(126);
        for (const auto& entry : extraEnv) ::putenv(const_cast<char*>(entry.c_str()));
        std::vector<char*> argv{const_cast<char*>(path.c_str())};
        for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(path.c_str(), argv.data());
        ::_exit(127);
    }
    ::setpgid(pid, pid);  // whichever of the two comes first
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    // The input goes in as the program takes it, between reads of its output: a program that
    // writes much before it reads would otherwise wait for us while we wait for it.
    ::fcntl(in[1], F_SETFL, ::fcntl(in[1], F_GETFL) | O_NONBLOCK);
    std::size_t inputSent = 0;
    if (input.empty()) {
        ::close(in[1]);
        in[1] = -1;
    }
    ProgramResult result;
    pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {in[1], POLLOUT, 0}};
    int open = 2;
    while (open > 0 || fds[2].fd >= 0) {
        const int ready = ::poll(fds, 3, MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) break;
        // Out of time, whether silent or still writing.
        if (ready == 0 || Clock::now() >= deadline) {
            for (const pollfd& fd : fds) {
                if (fd.fd >= 0) ::close(fd.fd);
            }
            KillHung(pid, path, args, timeLimit, result);
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
            }
        }
        if (fds[2].fd >= 0 && (fds[2].revents & (POLLOUT | POLLHUP | POLLERR))) {
            const ssize_t n =
                WriteWithoutSignal(fds[2].fd, input.data() + inputSent, input.size() - inputSent);
            if (n > 0) inputSent += static_cast<std::size_t>(n);
            // Written whole, or the program closed its input without reading it all.
            if (inputSent == input.size() || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                ::close(fds[2].fd);
                fds[2].fd = -1;
            }
        }
    }
    int status = 0;
    if (!WaitUntil(pid, deadline, status)) KillHung(pid, path, args, timeLimit, result);
    result.exitCode = ExitCode(status);
    return result;
}

}  // namespace olvo::test

#include <pty.h>

namespace olvo::test {

ProgramResult RunInTerminal(const std::string& path, const std::vector<std::string>& args,
                            const std::string& prompt, const std::vector<std::string>& answers,
                            std::chrono::seconds timeLimit) {
    const auto deadline = Clock::now() + timeLimit;
    int master = -1;
    // The child leads a session of its own, and so a process group of its own.
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) throw std::runtime_error("forkpty");
    if (pid == 0) {
        ::signal(SIGPIPE, SIG_DFL);
        std::vector<char*> argv{const_cast<char*>(path.c_str())};
        for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(path.c_str(), argv.data());
        ::_exit(127);
    }
    ProgramResult result;
    std::size_t next = 0;
    std::size_t answeredAt = 0;
    while (true) {
        pollfd fd{master, POLLIN, 0};
        const int wait = MillisecondsLeft(deadline);
        const int ready = ::poll(&fd, 1, wait < 20000 ? wait : 20000);
        if (ready < 0 && errno == EINTR) continue;
        if ((ready == 0 && wait <= 20000) || Clock::now() >= deadline) {
            ::close(master);
            KillHung(pid, path, args, timeLimit, result);
        }
        if (ready <= 0) break;  // silent for long: a hang shows as missing output
        char buffer[4096];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0) break;
        result.out.append(buffer, static_cast<std::size_t>(n));
        const auto at = result.out.rfind(prompt);
        if (at != std::string::npos && at + prompt.size() > answeredAt && next < answers.size()) {
            const std::string& line = answers[next++];
            answeredAt = at + prompt.size();
            if (::write(master, line.data(), line.size()) < 0) break;
        }
    }
    ::close(master);  // the terminal hangs up
    int status = 0;
    if (!WaitUntil(pid, deadline, status)) KillHung(pid, path, args, timeLimit, result);
    result.exitCode = ExitCode(status);
    return result;
}

}  // namespace olvo::test
