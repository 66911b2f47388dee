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
