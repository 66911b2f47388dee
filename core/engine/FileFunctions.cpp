#include "core/engine/FileFunctions.h"

#include "platform/FileSystem.h"

namespace olvo {

std::string FileNamePart(const std::string& path, Extension extension) {
    const auto at = path.rfind(kPathDelimiter);
    if (at == std::string::npos) return {};
    std::string name = path.substr(at + 1, 255);
    if (extension == Extension::Drop) {
        const auto dot = name.rfind('.');
        if (dot != std::string::npos) name.erase(dot);
    }
    return name;
}

std::string FolderPart(const std::string& path) {
    const auto at = path.rfind(kPathDelimiter);
    return at == std::string::npos ? std::string() : path.substr(0, at);
}

std::string DirectoryPart(const std::string& path) {
    // A drive letter ends the folder part on the one system whose delimiter is a backslash.
    const auto at = path.find_last_of(kPathDelimiter == '\\' ? "\\:" : "/");
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

std::string FolderOrRoot(const std::string& path) {
    const std::string folder = FolderPart(path);
    if (folder.empty() && !path.empty() && path.front() == kPathDelimiter)
        return std::string(1, kPathDelimiter);
    return folder;
}

std::string WithoutTrailingDelimiter(std::string folder) {
    while (folder.size() > 1 && folder.back() == kPathDelimiter) folder.pop_back();
    return folder;
}

std::string AbsoluteFrom(const std::string& currentFolder, const std::string& path) {
    if (path.empty()) return path;
    const std::string full = path[0] == '/' ? path : currentFolder + "/" + path;
    std::string out;
    std::size_t at = 0;
    while (at < full.size()) {
        auto next = full.find('/', at);
        if (next == std::string::npos) next = full.size();
        const std::string segment = full.substr(at, next - at);
        if (!segment.empty() && segment != ".") out += "/" + segment;
        at = next + 1;
    }
    if (out.empty()) return "/";
    if (full.back() == '/') out += '/';
    return out;
}

std::string WithTrailingDelimiter(const std::string& folder) {
    if (!folder.empty() && folder.back() == kPathDelimiter) return folder;
    return folder + kPathDelimiter;
}

std::string ExtensionPart(const std::string& path) {
    const auto dot = path.rfind('.');
    if (dot == std::string::npos) return {};
    const auto separator = path.find_last_of(std::string{kPathDelimiter, ':'});
    if (separator != std::string::npos && separator > dot) return {};
    return path.substr(dot);
}

}  // namespace olvo
