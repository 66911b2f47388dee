#include "support/TempDir.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/Win32FileTime.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace olvo::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);  // TMPDIR on POSIX, TEMP on Windows
    if (error) throw std::runtime_error("no folder for temporary files");
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path folder = base / ("olvo-test-" + std::to_string(random() % 1000000000));
        if (fs::create_directory(folder, error)) {
            fs::permissions(folder, fs::perms::owner_all, error);
            m_path = folder.string();
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder in " + base.string());
}

TempDir::~TempDir() {
    std::error_code ignored;
    // What a test made read-only must be writable again to be removed.
    for (auto it = fs::recursive_directory_iterator(m_path, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
#ifdef _WIN32
        else
            fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
#endif
    }
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(m_path, ignored);
}

std::string TempDir::operator/(const std::string& name) const {
    std::string path = m_path + kPathDelimiter + name;
    for (std::size_t i = m_path.size(); i < path.size(); ++i) {
        if (path[i] == '/') path[i] = kPathDelimiter;
    }
    return path;
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Exists(const std::string& path) {
#ifdef _WIN32
    // Names are text in the system code page, as the file system seam passes them.
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
#else
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path, ignored));
#endif
}

void MakeFolder(const std::string& path) {
    std::error_code error;
    fs::create_directory(path, error);
    if (error) throw std::runtime_error("cannot make the folder " + path);
}

FileTime ModifiedTime(const std::string& path) {
    return MakeSystemFileSystem()->OpenRead(path)->Stamp().seconds;
}

void SetModifiedTime(const std::string& path, FileTime time) {
#ifdef _WIN32
    FILETIME written{};
    const HANDLE file =
        ::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const bool set = file != INVALID_HANDLE_VALUE && ToWin32FileTime(time, written) &&
                     ::SetFileTime(file, nullptr, nullptr, &written);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
#else
    struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(time), 0}};
    const bool set = ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
#endif
    if (!set) throw std::runtime_error("cannot set the time of " + path);
}

std::string PatternBytes(std::size_t size, std::uint32_t seed) {
    std::string bytes(size, '\0');
    std::uint32_t state = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(state >> 24);
    }
    return bytes;
}

}  // namespace olvo::test
