// RunProgram on Windows: CreateProcess with pipes for the three standard streams. There is no
// pseudo-terminal here, so RunInTerminal is not provided; its tests are POSIX-only.
//
// Two things make the tests of both platforms read alike: a program path that the build wrote in
// as a path of the build machine ("/work/...") is reached through wine's drive Z:, which shows the
// build machine's root, and the line ends a Windows program writes in text mode ("\r\n") come back
// as "\n". A lone "\r" stays as it is.

#include "support/RunProgram.h"

#include <windows.h>

#include <cstring>
#include <future>
#include <map>
#include <stdexcept>
#include <thread>

namespace olvo::test {
namespace {

class Handle {
  public:
    explicit Handle(HANDLE handle = nullptr) : m_handle(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { Close(); }
    void Close() {
        if (m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE) ::CloseHandle(m_handle);
        m_handle = nullptr;
    }
    HANDLE Get() const { return m_handle; }
    HANDLE* Out() { return &m_handle; }

  private:
    HANDLE m_handle;
};

// One argument as the C runtime's command-line parser reads it back.
std::string QuoteArgument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
    std::string out = "\"";
    for (std::size_t i = 0;; ++i) {
        std::size_t backslashes = 0;
        while (i < arg.size() && arg[i] == '\\') {
            ++backslashes;
            ++i;
        }
        if (i == arg.size()) {
            out.append(backslashes * 2, '\\');
            break;
        }
        if (arg[i] == '"') {
            out.append(backslashes * 2 + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        out += arg[i];
    }
    return out + "\"";
}

// The current environment with extraEnv laid over it, as CreateProcess wants it: sorted
// (without regard to case) "NAME=value" strings, each ended by a zero, and one more zero.
std::string EnvironmentBlock(const std::vector<std::string>& extraEnv) {
    struct NoCase {
        bool operator()(const std::string& a, const std::string& b) const {
            return _stricmp(a.c_str(), b.c_str()) < 0;
        }
    };
    std::map<std::string, std::string, NoCase> variables;
    char* current = ::GetEnvironmentStringsA();
    for (const char* entry = current; entry != nullptr && *entry != '\0';
         entry += std::strlen(entry) + 1) {
        const std::string text = entry;
        const std::size_t equals = text.find('=', 1);  // "=C:=C:\..." entries start with '='
        if (equals != std::string::npos)
            variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    if (current != nullptr) ::FreeEnvironmentStringsA(current);
    for (const std::string& entry : extraEnv) {
        const std::size_t equals = entry.find('=');
        if (equals != std::string::npos)
            variables[entry.substr(0, equals)] = entry.substr(equals + 1);
    }
    std::string block;
    for (const auto& [name, value] : variables) {
        block += name + "=" + value;
        block += '\0';
    }
    block += '\0';
    return block;
}

void ReadAll(HANDLE from, std::string& into) {
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(from, buffer, sizeof buffer, &got, nullptr) && got > 0)
        into.append(buffer, got);
}

std::string WithoutCarriageReturnsBeforeLineEnds(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

std::string WindowsPath(const std::string& path) {
    if (path.empty() || path[0] != '/') return path;
    std::string out = "Z:" + path;
    for (char& c : out) {
        if (c == '/') c = '\\';
    }
    return out;
}

}  // namespace

ProgramResult RunProgram(const std::string& path, const std::vector<std::string>& args,
                         const std::string& input, const std::string& workDir,
                         const std::vector<std::string>& extraEnv, std::chrono::seconds timeLimit) {
    const auto deadline = std::chrono::steady_clock::now() + timeLimit;
    const std::string program = WindowsPath(path);
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Handle inRead, inWrite, outRead, outWrite, errRead, errWrite;
    if (!::CreatePipe(inRead.Out(), inWrite.Out(), &inherit, 0) ||
        !::CreatePipe(outRead.Out(), outWrite.Out(), &inherit, 0) ||
        !::CreatePipe(errRead.Out(), errWrite.Out(), &inherit, 0))
        throw std::runtime_error("CreatePipe failed");
    // Our ends stay with us.
    ::SetHandleInformation(inWrite.Get(), HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(outRead.Get(), HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(errRead.Get(), HANDLE_FLAG_INHERIT, 0);

    std::string commandLine = QuoteArgument(program);
    for (const std::string& arg : args) commandLine += " " + QuoteArgument(arg);
    std::string environment = EnvironmentBlock(extraEnv);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead.Get();
    startup.hStdOutput = outWrite.Get();
    startup.hStdError = errWrite.Get();
    PROCESS_INFORMATION process{};
    // Started held, so that it is in the job before it can start anything of its own.
    if (!::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                          CREATE_NO_WINDOW | CREATE_SUSPENDED, environment.data(),
                          workDir.empty() ? nullptr : workDir.c_str(), &startup, &process))
        throw std::runtime_error("cannot start " + path + ": error " +
                                 std::to_string(::GetLastError()));
    Handle processHandle(process.hProcess);
    Handle threadHandle(process.hThread);
    // The job holds the program and whatever it starts: a hung program goes with all of them.
    // Without a job (the system refused one), the program alone is ended.
    Handle job(::CreateJobObjectA(nullptr, nullptr));
    if (job.Get() != nullptr && !::AssignProcessToJobObject(job.Get(), processHandle.Get()))
        job.Close();
    ::ResumeThread(threadHandle.Get());
    inRead.Close();
    outWrite.Close();
    errWrite.Close();

    // Nothing below raises until every thread is joined.
    ProgramResult result;
    std::promise<void> outDone, errDone;
    std::future<void> outEnded = outDone.get_future(), errEnded = errDone.get_future();
    std::thread outReader([&] {
        ReadAll(outRead.Get(), result.out);
        outDone.set_value();
    });
    std::thread errReader([&] {
        ReadAll(errRead.Get(), result.err);
        errDone.set_value();
    });
    // The input goes in on a thread of its own: a program that does not read it must not hold
    // us up. The writer ends when all is written or the program's end of the pipe is gone.
    std::thread inputWriter([&] {
        std::size_t sent = 0;
        while (sent < input.size()) {
            DWORD written = 0;
            const std::size_t rest = input.size() - sent;
            const DWORD chunk = static_cast<DWORD>(rest < 65536 ? rest : 65536);
            if (!::WriteFile(inWrite.Get(), input.data() + sent, chunk, &written, nullptr)) break;
            sent += written;
        }
        inWrite.Close();
    });
    auto millisecondsLeft = [&]() -> DWORD {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        return left <= 0 ? 0 : static_cast<DWORD>(left);
    };
    // The program ends and its output is closed (by it and by all it started) in time, or
    // everything is ended.
    bool hung = ::WaitForSingleObject(processHandle.Get(), millisecondsLeft()) != WAIT_OBJECT_0;
    if (!hung) {
        const auto left = std::chrono::milliseconds(millisecondsLeft());
        hung = outEnded.wait_for(left) != std::future_status::ready ||
               errEnded.wait_for(std::chrono::milliseconds(millisecondsLeft())) !=
                   std::future_status::ready;
    }
    if (hung) {
        if (job.Get() != nullptr) ::TerminateJobObject(job.Get(), 1);
        ::TerminateProcess(processHandle.Get(), 1);
        ::WaitForSingleObject(processHandle.Get(), INFINITE);
    }
    inputWriter.join();
    outReader.join();
    errReader.join();
    if (hung) {
        std::string command = path;
        for (const auto& arg : args) command += " " + arg;
        throw std::runtime_error(command + " did not end within " +
                                 std::to_string(timeLimit.count()) +
                                 " s and was killed.\nIt wrote to its output:\n" + result.out +
                                 "\nand to its errors:\n" + result.err);
    }
    DWORD code = 0;
    ::GetExitCodeProcess(processHandle.Get(), &code);
    result.exitCode = static_cast<int>(code);
    result.out = WithoutCarriageReturnsBeforeLineEnds(result.out);
    result.err = WithoutCarriageReturnsBeforeLineEnds(result.err);
    return result;
}

}  // namespace olvo::test
