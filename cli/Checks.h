#pragma once
// What olvo-cli checks before it hands a file to the engine, so that a wrong argument is named
// with its reason. Each check returns the message for stderr (without the "olvo-cli: " prefix),
// or nothing when the engine may go ahead. Paths are shown as the user typed them; files are
// looked at through the tool's FileSystem.

#include <optional>
#include <string>

#include "platform/FileSystem.h"

namespace olvo::cli {

// A file to split or to checksum: it exists, can be opened, and is a regular file.
std::optional<std::string> CheckInputFile(FileSystem& files, const std::string& shown,
                                          const std::string& path);

// A split descriptor for command ("restore", "verify"): an input file whose name ends in
// ".split". For a piece or a batch file of a set whose descriptor lies beside it, the message
// names that descriptor: "'f.s01' is a piece; verify from 'f.bin.split'".
std::optional<std::string> CheckDescriptor(FileSystem& files, const std::string& command,
                                           const std::string& shown, const std::string& path);

// A folder to write into: it exists, is a folder, and the system lets us create files in it.
std::optional<std::string> CheckOutputFolder(FileSystem& files, const std::string& shown,
                                             const std::string& path);

// Whether text has the form of a size as ParseSize reads it (digits, then an optional unit),
// though it may be too large for 64 bits. Says nothing about its range.
bool IsSizeText(const std::string& text);

}  // namespace olvo::cli
