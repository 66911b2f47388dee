#include "platform/win32/Win32Error.h"

#include <windows.h>

#include <string>

#include "platform/FileSystem.h"

namespace olvo {

std::string Win32ErrorText(unsigned long code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return "File not found";
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return "File access denied";
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return "Disk full";
        default:
            return "I/O error " + std::to_string(code);
    }
}

std::string SystemReason(int code) {
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason = length != 0 && text != nullptr ? std::string(text, length) : "";
    if (text != nullptr) ::LocalFree(text);
    // The system's sentences end in a full stop and a line end; ours add their own ending.
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                               reason.back() == '.' || reason.back() == ' '))
        reason.pop_back();
    return reason.empty() ? "system error " + std::to_string(code) : reason;
}

void ThrowWin32Error(unsigned long code) {
    throw FileError(Win32ErrorText(code), static_cast<int>(code));
}

}  // namespace olvo
