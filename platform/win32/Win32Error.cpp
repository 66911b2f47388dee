#include "platform/win32/Win32Error.h"

#include <windows.h>

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

void ThrowWin32Error(unsigned long code) {
    throw FileError(Win32ErrorText(code), static_cast<int>(code));
}

}  // namespace olvo
