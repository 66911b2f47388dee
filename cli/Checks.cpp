#include "cli/Checks.h"

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cerrno>
#include <system_error>

#include "core/engine/FileFunctions.h"
#include "core/engine/Format.h"
#include "core/engine/SplitPlan.h"
#include "platform/Text.h"

namespace olvo::cli {
namespace {

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

// The system's own words for an error number of the C library ("Not a directory").
std::string Reason(int error) {
    return std::generic_category().message(error);
}

// The folder part of the path as typed, with its delimiter, so that a name beside it reads the
// way the user wrote the first one. Either slash counts: this is text as typed, not a path the
// system has read.
std::string TypedFolder(const std::string& shown) {
    const auto at = shown.find_last_of("/\\");
    return at == std::string::npos ? std::string() : shown.substr(0, at + 1);
}

// Why nothing is found at path, in the system's words ("No such file or directory", "Not a
// directory", "Permission denied"): the seam's directory search tells only that nothing is
// there, an attempt to open it tells why.
std::string WhyNotFound(FileSystem& files, const std::string& path) {
    try {
        files.OpenRead(path);
    } catch (const FileError& error) {
        if (!error.Reason().empty()) return error.Reason();
    }
    return Reason(ENOENT);
}

// "big.s01" -> "big": the stem of a piece name (two or more digits after ".s"), or nothing.
std::optional<std::string> PieceStem(const std::string& name) {
    const auto dot = name.rfind(".s");
    if (dot == std::string::npos || dot == 0 || name.size() - dot < 4) return std::nullopt;
    for (std::size_t i = dot + 2; i < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9') return std::nullopt;
    return name.substr(0, dot);
}

// The name of the descriptor beside a piece whose stem is stem: "stem.EXT.split" or
// "stem.split", the first in name order when there are several.
std::optional<std::string> DescriptorForPieces(FileSystem& files, const std::string& folder,
                                               const std::string& stem) {
    std::optional<std::string> found;
    for (const std::string& name : files.List(folder)) {
        if (!HasDescriptorSuffix(name)) continue;
        const std::string base = WithoutDescriptorSuffix(name);
        const auto dot = base.rfind('.');
        if (base != stem && (dot == std::string::npos || base.substr(0, dot) != stem)) continue;
        if (!files.FileExists(WithTrailingDelimiter(folder) + name)) continue;
        if (!found || name < *found) found = name;
    }
    return found;
}

}  // namespace

std::optional<std::string> CheckInputFile(FileSystem& files, const std::string& shown,
                                          const std::string& path) {
    const auto entry = files.Find(path);
    if (!entry) return "cannot open " + Quoted(shown) + ": " + WhyNotFound(files, path);
    if (entry->isFolder) return Quoted(shown) + " is a folder, not a file";
    if (!files.FileExists(path)) return Quoted(shown) + " is not a regular file";
    try {
        files.OpenRead(path);
    } catch (const FileError& error) {
        return "cannot open " + Quoted(shown) + ": " + error.Reason();
    }
    return std::nullopt;
}

std::optional<std::string> CheckDescriptor(FileSystem& files, const std::string& command,
                                           const std::string& shown, const std::string& path) {
    if (auto problem = CheckInputFile(files, shown, path)) return problem;
    const std::string name = FileNamePart(path, Extension::Keep);
    if (HasDescriptorSuffix(name)) return std::nullopt;

    const std::string folder = FolderOrRoot(path);
    std::optional<std::string> descriptor;
    std::string kind;
    if (const auto stem = PieceStem(name)) {
        descriptor = DescriptorForPieces(files, folder, *stem);
        kind = "a piece";
    } else if (name.size() > 4 && ToLowerAscii(name.substr(name.size() - 4)) == ".bat") {
        const std::string candidate = DescriptorName(name.substr(0, name.size() - 4));
        if (files.FileExists(WithTrailingDelimiter(folder) + candidate)) descriptor = candidate;
        kind = "a restore batch file";
    }
    if (descriptor)
        return Quoted(shown) + " is " + kind + "; " + command + " from " +
               Quoted(TypedFolder(shown) + *descriptor);
    return Quoted(shown) + " is not a split descriptor (.split)";
}

std::optional<std::string> CheckOutputFolder(FileSystem& files, const std::string& shown,
                                             const std::string& path) {
    const auto entry = files.Find(path);
    if (!entry) return "cannot write to " + Quoted(shown) + ": " + WhyNotFound(files, path);
    if (!entry->isFolder) return "cannot write to " + Quoted(shown) + ": " + Reason(ENOTDIR);
#ifndef _WIN32
    // The seam cannot tell whether the system lets this user create files in a folder short of
    // creating one, which a check must not do: the system is asked directly.
    if (::access(path.c_str(), W_OK | X_OK) != 0)
        return "cannot write to " + Quoted(shown) + ": " + Reason(errno);
#endif
    return std::nullopt;
}

bool IsSizeText(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    return at > 0 && ParseSize("1" + text.substr(at)).has_value();
}

}  // namespace olvo::cli
