#include "cli/Checks.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/Text.h"

namespace olvo::cli {
namespace {

namespace fs = std::filesystem;

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

// The system's own words for an error number ("No such file or directory").
std::string Reason(int error) {
    return std::generic_category().message(error);
}

// The same words for an error of the file system library, whose codes may be the platform's own.
std::string Reason(const std::error_code& error) {
    const std::error_condition condition = error.default_error_condition();
    return condition.category() == std::generic_category() ? condition.message() : error.message();
}

// The folder part of the path as typed, with its delimiter, so that a name beside it reads the
// way the user wrote the first one.
std::string TypedFolder(const std::string& shown) {
    const auto at = shown.find_last_of("/\\");
    return at == std::string::npos ? std::string() : shown.substr(0, at + 1);
}

bool IsRegularFile(const std::string& path) {
    std::error_code error;
    return fs::is_regular_file(fs::path(path), error);
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
std::optional<std::string> DescriptorForPieces(const std::string& folder, const std::string& stem) {
    std::optional<std::string> found;
    std::error_code error;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(folder), error), end;
         !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= 6 || ToLowerAscii(name.substr(name.size() - 6)) != ".split") continue;
        const std::string base = name.substr(0, name.size() - 6);
        const auto dot = base.rfind('.');
        if (base != stem && (dot == std::string::npos || base.substr(0, dot) != stem)) continue;
        if (!IsRegularFile((it->path()).string())) continue;
        if (!found || name < *found) found = name;
    }
    return found;
}

}  // namespace

std::optional<std::string> CheckInputFile(const std::string& shown, const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::status(fs::path(path), error);
    if (error) return "cannot open " + Quoted(shown) + ": " + Reason(error);
    if (status.type() == fs::file_type::directory)
        return Quoted(shown) + " is a folder, not a file";
    if (status.type() != fs::file_type::regular) return Quoted(shown) + " is not a regular file";
#ifndef _WIN32
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return "cannot open " + Quoted(shown) + ": " + Reason(errno);
    ::close(fd);
#endif
    return std::nullopt;
}

std::optional<std::string> CheckDescriptor(const std::string& shown, const std::string& path) {
    if (auto problem = CheckInputFile(shown, path)) return problem;
    const std::string name = fs::path(path).filename().string();
    if (name.size() > 6 && ToLowerAscii(name.substr(name.size() - 6)) == ".split")
        return std::nullopt;

    const std::string folder = fs::path(path).parent_path().string();
    std::optional<std::string> descriptor;
    std::string kind;
    if (const auto stem = PieceStem(name)) {
        descriptor = DescriptorForPieces(folder, *stem);
        kind = "a piece";
    } else if (name.size() > 4 && ToLowerAscii(name.substr(name.size() - 4)) == ".bat") {
        const std::string candidate = name.substr(0, name.size() - 4) + ".split";
        if (IsRegularFile((fs::path(folder) / candidate).string())) descriptor = candidate;
        kind = "a restore batch file";
    }
    if (descriptor)
        return Quoted(shown) + " is " + kind + "; restore from " +
               Quoted(TypedFolder(shown) + *descriptor);
    return Quoted(shown) + " is not a split descriptor (.split)";
}

std::optional<std::string> CheckOutputFolder(const std::string& shown, const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::status(fs::path(path), error);
    if (error) return "cannot write to " + Quoted(shown) + ": " + Reason(error);
    if (status.type() != fs::file_type::directory)
        return "cannot write to " + Quoted(shown) + ": " + Reason(ENOTDIR);
#ifndef _WIN32
    if (::access(path.c_str(), W_OK | X_OK) != 0)
        return "cannot write to " + Quoted(shown) + ": " + Reason(errno);
#endif
    return std::nullopt;
}

bool IsSizeText(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    if (at == 0) return false;
    const std::string suffix = ToLowerAscii(text.substr(at));
    return suffix.empty() || suffix == "k" || suffix == "m" || suffix == "g" || suffix == "kb" ||
           suffix == "mb" || suffix == "gb";
}

}  // namespace olvo::cli
