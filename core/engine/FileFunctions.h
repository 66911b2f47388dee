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

// Everything up to and including the last delimiter of path (on Windows also a drive's ":"):
// the folder a name found in a directory search goes back into. Empty when there is none.
std::string DirectoryPart(const std::string& path);

// The folder of the file at path as a destination: FolderPart, but the root itself for a file
// in the root, rather than a destination that names no volume.
std::string FolderOrRoot(const std::string& path);

// folder as the user reads it in a sentence: without trailing delimiters, unless it is the root.
std::string WithoutTrailingDelimiter(std::string folder);

// path made absolute against currentFolder (unless it already is), with empty and "." segments
// dropped and a trailing "/" kept. ".." is kept: it means something else when a symbolic link
// leads the way. The POSIX reading of a path; empty stays empty.
std::string AbsoluteFrom(const std::string& currentFolder, const std::string& path);

// folder with the delimiter appended unless it already ends with one.
std::string WithTrailingDelimiter(const std::string& folder);

// The extension of path: from the last "." after the last delimiter or ":", or empty.
std::string ExtensionPart(const std::string& path);

}  // namespace olvo
