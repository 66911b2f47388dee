#include <windows.h>

#include <cstdlib>

#include "platform/ProgramLocation.h"

namespace olvo {

std::string RunningExecutablePath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);  // cut short: try again with room to spare
    }
}

std::string UserCacheFolder() {
    // The per-user, per-machine application data folder (not carried along with a roaming
    // profile, which suits files that can be fetched again).
    const char* local = std::getenv("LOCALAPPDATA");
    if (local == nullptr || local[0] == '\0') return {};
    const std::string base = local;
    const bool absolute =
        (base.size() > 2 && base[1] == ':' && (base[2] == '\\' || base[2] == '/')) ||
        base.rfind("\\\\", 0) == 0;
    if (!absolute) return {};
    return base + (base.back() == '\\' ? "" : "\\") + "Kestrava";
}

bool IsWritableFolder(const std::string& folder) {
    if (folder.empty()) return false;
    const DWORD attributes = ::GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    // The attributes do not tell about access rights: only making a file does.
    char probe[MAX_PATH];
    if (::GetTempFileNameA(folder.c_str(), "olv", 0, probe) == 0) return false;
    ::DeleteFileA(probe);
    return true;
}

bool CreateFolders(const std::string& folder) {
    if (folder.empty()) return false;
    // Start past what names a volume: "C:\" or "\\server\share\".
    std::size_t start = 0;
    if (folder.size() >= 2 && folder[1] == ':') {
        start = 2;
    } else if (folder.rfind("\\\\", 0) == 0) {
        const std::size_t server = folder.find_first_of("\\/", 2);
        const std::size_t share = server == std::string::npos
                                      ? std::string::npos
                                      : folder.find_first_of("\\/", server + 1);
        start = share == std::string::npos ? folder.size() : share;
    }
    for (std::size_t end = start + 1; end <= folder.size(); ++end) {
        if (end < folder.size() && folder[end] != '\\' && folder[end] != '/') continue;
        const std::string part = folder.substr(0, end);
        if (!::CreateDirectoryA(part.c_str(), nullptr) &&
            ::GetLastError() != ERROR_ALREADY_EXISTS) {
            const DWORD attributes = ::GetFileAttributesA(part.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES) return false;
        }
    }
    const DWORD attributes = ::GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace olvo
