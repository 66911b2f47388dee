#pragma once
// Path helpers. Both scan a path backwards for a delimiter character.

#include <string>

namespace olvo {

// The text after the last delimiter in path, at most 255 characters of it; empty when path holds
// no delimiter. Without the extension, everything from the last "." of that text on is dropped
// (a name whose only "." is its first character becomes empty).
std::string FileNamePart(const std::string& path, bool withExtension, char delimiter);

// The text before the last delimiter in path, without it; empty when path holds none.
std::string FolderPart(const std::string& path, char delimiter);

// folder with the delimiter appended unless it already ends with one.
std::string WithTrailingDelimiter(const std::string& folder, char delimiter);

// The extension of path: from the last "." after the last delimiter or ":", or empty.
std::string ExtensionPart(const std::string& path, char delimiter);

// text without its leading and trailing blanks and control characters (codes 0 to 32).
std::string TrimBlanks(const std::string& text);

// ASCII lower case; other bytes unchanged.
std::string LowerCase(std::string text);

}  // namespace olvo
