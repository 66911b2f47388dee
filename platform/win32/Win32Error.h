#pragma once
// System error codes (GetLastError) as the texts the program shows: "File not found",
// "File access denied", "Disk full", and "I/O error N" with the system's own number otherwise.

#include <string>

namespace olvo {

std::string Win32ErrorText(unsigned long code);
[[noreturn]] void ThrowWin32Error(unsigned long code);

}  // namespace olvo
