#pragma once
// How a file that is not whole yet is named: FOLDER/NAME.unfinished-XXXXXX, beside the final name
// and on its volume, so that the rename that finishes it is one step. Restores and repairs name
// their outputs so; a leftover of a killed run is recognised by the same name.

#include <cstddef>
#include <memory>
#include <string>

#include "platform/FileSystem.h"

namespace olvo {

// The length of the random end.
constexpr std::size_t kUnfinishedRandomLength = 6;

// What the unfinished files for name in folder are called before their random end. The name must
// fit where the final one fits: a long name gives up its end.
std::string UnfinishedPrefix(FileSystem& files, const std::string& folder, const std::string& name);

// Creates a new unfinished file for name in folder, locked while open (CreateExclusive), and
// sets path to it. Raises the FileError of the last try when none can be made.
std::unique_ptr<OutputFile> CreateUnfinished(FileSystem& files, const std::string& folder,
                                             const std::string& name, std::string& path);

}  // namespace olvo
