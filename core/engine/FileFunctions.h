#pragma once
// Path helpers. Each scans a path backwards for the platform's path delimiter (kPathDelimiter).

#include <string>

namespace olvo {

// Whether FileNamePart keeps the extension of the name.
enum class Extension { Keep, Drop };

// The text after the last delimiter in path, at most 255 characters of it; empty when path holds
// no delimiter. With Extension::Drop, everything from the last "." of that text on is dropped
// (a name whose only "." is its first character becomes empty).
std::string FileNamePart(const std::string& path, Extension extension);

// The text before the last delimiter in path, without it; empty when path holds none.
std::string FolderPart(const std::string& path);

// folder with the delimiter appended unless it already ends with one.
std::string WithTrailingDelimiter(const std::string& folder);

// The extension of path: from the last "." after the last delimiter or ":", or empty.
std::string ExtensionPart(const std::string& path);

}  // namespace olvo
