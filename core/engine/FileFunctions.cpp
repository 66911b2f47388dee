#include "core/engine/FileFunctions.h"

namespace olvo {

std::string FileNamePart(const std::string& path, bool withExtension, char delimiter) {
    const auto at = path.rfind(delimiter);
    if (at == std::string::npos) return {};
    std::string name = path.substr(at + 1, 255);
    if (!withExtension) {
        const auto dot = name.rfind('.');
        if (dot != std::string::npos) name.erase(dot);
    }
    return name;
}

std::string FolderPart(const std::string& path, char delimiter) {
    const auto at = path.rfind(delimiter);
    return at == std::string::npos ? std::string() : path.substr(0, at);
}

std::string WithTrailingDelimiter(const std::string& folder, char delimiter) {
    if (!folder.empty() && folder.back() == delimiter) return folder;
    return folder + delimiter;
}

std::string ExtensionPart(const std::string& path, char delimiter) {
    const auto dot = path.rfind('.');
    if (dot == std::string::npos) return {};
    const auto separator = path.find_last_of(std::string{delimiter, ':'});
    if (separator != std::string::npos && separator > dot) return {};
    return path.substr(dot);
}

std::string TrimBlanks(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
    return text.substr(begin, end - begin);
}

std::string LowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace olvo
