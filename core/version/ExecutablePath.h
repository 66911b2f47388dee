#pragma once
// Where the running program's executable file can be read. Each platform supplies its own.

#include <string>

namespace olvo {

// A path that opens the executable file of the running program, for reading its version
// strings. On Linux this is "/proc/self/exe", which reaches the very image that is running even
// when the file on disk has since been renamed, replaced or deleted. Never raises.
std::string OwnExecutablePath();

}  // namespace olvo
