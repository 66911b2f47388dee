// The file system seam over kernel32, with the ANSI calls: paths are text in the system code page.
//
// Copies go through BufferedCopy; Windows has no kernel copy of a part of a file.
//
// Putting written data on the medium: flushing a whole volume (FlushFileBuffers on \\.\X:) needs
// administrator rights, which the program does not ask for. So this file system remembers the
// files it has created since the last SyncVolume and, when the volume cannot be flushed as a
// whole, flushes each of them that still exists on the folder's drive. Files written by other
// programs are not covered; ours are all that a split or restore relies on.

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <set>

#include "platform/FileSystem.h"
#include "platform/win32/Win32Error.h"
#include "platform/win32/Win32FileTime.h"

namespace olvo {
namespace {

class Handle {
  public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : m_handle(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (IsValid()) ::CloseHandle(m_handle);
    }
    bool IsValid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr; }
    HANDLE Get() const { return m_handle; }

  private:
    HANDLE m_handle;
};

class Win32InputFile final : public InputFile {
  public:
    explicit Win32InputFile(HANDLE handle) : m_handle(handle) {}
    std::size_t Read(void* buffer, std::size_t size) override {
        std::size_t total = 0;
        auto* out = static_cast<char*>(buffer);
        while (total < size) {
            const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size - total, 1u << 30));
            DWORD got = 0;
            if (!::ReadFile(m_handle.Get(), out + total, want, &got, nullptr))
                ThrowWin32Error(::GetLastError());
            if (got == 0) break;
            total += got;
        }
        return total;
    }
    FileStamp Stamp() override {
        LARGE_INTEGER size{};
        FILETIME written{};
        if (!::GetFileSizeEx(m_handle.Get(), &size) ||
            !::GetFileTime(m_handle.Get(), nullptr, nullptr, &written))
            ThrowWin32Error(::GetLastError());
        const std::uint64_t ticks =
            (static_cast<std::uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
        return FileStamp{static_cast<std::uint64_t>(size.QuadPart), FromWin32FileTime(written),
                         static_cast<std::uint32_t>(ticks % 10000000u) * 100u};
    }
    void Seek(std::uint64_t offset) override {
        LARGE_INTEGER to{};
        to.QuadPart = static_cast<LONGLONG>(offset);
        if (!::SetFilePointerEx(m_handle.Get(), to, nullptr, FILE_BEGIN))
            ThrowWin32Error(::GetLastError());
    }

  private:
    Handle m_handle;
};

class Win32OutputFile final : public OutputFile {
  public:
    explicit Win32OutputFile(HANDLE handle) : m_handle(handle) {}
    void Write(const void* data, std::size_t size) override {
        const auto* in = static_cast<const char*>(data);
        while (size > 0) {
            const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
            DWORD done = 0;
            if (!::WriteFile(m_handle.Get(), in, want, &done, nullptr))
                ThrowWin32Error(::GetLastError());
            if (done == 0) ThrowWin32Error(ERROR_DISK_FULL);
            in += done;
            size -= done;
        }
    }
    void Flush() override {
        if (!::FlushFileBuffers(m_handle.Get())) ThrowWin32Error(::GetLastError());
    }
    void Truncate(std::uint64_t size) override {
        LARGE_INTEGER at{};
        at.QuadPart = static_cast<LONGLONG>(size);
        if (!::SetFilePointerEx(m_handle.Get(), at, nullptr, FILE_BEGIN) ||
            !::SetEndOfFile(m_handle.Get()))
            ThrowWin32Error(::GetLastError());
    }
    bool SetLastWriteTime(FileTime time) override {
        FILETIME written{};
        return ToWin32FileTime(time, written) &&
               ::SetFileTime(m_handle.Get(), nullptr, nullptr, &written) != 0;
    }

  private:
    Handle m_handle;
};

// Standard input through its handle, which the process keeps: a pipe whose writer closed its end
// (ERROR_BROKEN_PIPE) is the end of the stream, as ReadFile's 0 bytes are for a file.
class StandardInput final : public InputFile {
  public:
    std::size_t Read(void* buffer, std::size_t size) override {
        const HANDLE handle = ::GetStdHandle(STD_INPUT_HANDLE);
        std::size_t total = 0;
        auto* out = static_cast<char*>(buffer);
        while (total < size) {
            const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size - total, 1u << 30));
            DWORD got = 0;
            if (!::ReadFile(handle, out + total, want, &got, nullptr)) {
                const DWORD code = ::GetLastError();
                if (code == ERROR_BROKEN_PIPE) break;
                ThrowWin32Error(code);
            }
            if (got == 0) break;
            total += got;
        }
        return total;
    }
    FileStamp Stamp() override { return {}; }
    void Seek(std::uint64_t) override { ThrowWin32Error(ERROR_SEEK_ON_DEVICE); }
};

// Standard output through its handle, which the process keeps; bytes go out as they are.
class StandardOutput final : public OutputFile {
  public:
    void Write(const void* data, std::size_t size) override {
        const HANDLE handle = ::GetStdHandle(STD_OUTPUT_HANDLE);
        const auto* in = static_cast<const char*>(data);
        while (size > 0) {
            const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
            DWORD done = 0;
            if (!::WriteFile(handle, in, want, &done, nullptr)) ThrowWin32Error(::GetLastError());
            if (done == 0) ThrowWin32Error(ERROR_DISK_FULL);
            in += done;
            size -= done;
        }
    }
    // A file takes the flush; a pipe or a console has nothing more to pass on.
    void Flush() override { ::FlushFileBuffers(::GetStdHandle(STD_OUTPUT_HANDLE)); }
    bool SetLastWriteTime(FileTime) override { return false; }
};

// Held as long as its handle is open: the lock file is opened without sharing writes, so a second
// opener is refused. Released without a note, it is deleted on close; a note (and a killed
// holder's file) stays.
class Win32Lock final : public FileLock {
  public:
    static constexpr std::size_t kMaxNote = 1 << 16;
    explicit Win32Lock(HANDLE handle) : m_handle(handle) {
        char buffer[4096];
        DWORD got = 0;
        while (m_note.size() < kMaxNote &&
               ::ReadFile(m_handle.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
            m_note.append(buffer, got);
    }
    ~Win32Lock() override {
        if (!m_note.empty()) return;
        FILE_DISPOSITION_INFO dispose{};
        dispose.DeleteFile = TRUE;
        ::SetFileInformationByHandle(m_handle.Get(), FileDispositionInfo, &dispose, sizeof dispose);
    }
    std::string Note() const override { return m_note; }
    void SetNote(const std::string& note) override {
        LARGE_INTEGER start{};
        DWORD done = 0;
        if (!::SetFilePointerEx(m_handle.Get(), start, nullptr, FILE_BEGIN) ||
            !::SetEndOfFile(m_handle.Get()) ||
            !::WriteFile(m_handle.Get(), note.data(), static_cast<DWORD>(note.size()), &done,
                         nullptr))
            ThrowWin32Error(::GetLastError());
        if (done != note.size()) ThrowWin32Error(ERROR_DISK_FULL);
        m_note = note;
    }

  private:
    Handle m_handle;
    std::string m_note;
};

bool IsDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char UpperDrive(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// Removable drives without a medium must answer "no", not raise the system's "insert a disk" box.
class QuietCriticalErrors {
  public:
    QuietCriticalErrors() { ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, &m_previous); }
    ~QuietCriticalErrors() { ::SetThreadErrorMode(m_previous, nullptr); }

  private:
    DWORD m_previous = 0;
};

// The byte an unfinished file is locked on: past any end a file has, so that the lock keeps no
// reader (Windows locks are mandatory) from the bytes themselves.
bool LockMarker(HANDLE handle) {
    OVERLAPPED at{};
    at.OffsetHigh = 0x80000000u;
    return ::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                        &at) != 0;
}

class Win32FileSystem final : public FileSystem {
  public:
    std::optional<FileInfo> Lookup(const std::string& path) override {
        // Wildcards would make the search match other names; no stored name can hold them.
        if (path.empty() || path.find_first_of("*?") != std::string::npos) return std::nullopt;
        std::string query = path;
        while (query.size() > 1 && (query.back() == '\\' || query.back() == '/') &&
               !(query.size() == 3 && query[1] == ':'))
            query.pop_back();
        QuietCriticalErrors quiet;
        WIN32_FIND_DATAA data{};
        const HANDLE search = ::FindFirstFileA(query.c_str(), &data);
        FileInfo info;
        if (search == INVALID_HANDLE_VALUE) {
            // A drive root is no entry of any folder, yet it is a folder.
            const DWORD attributes = ::GetFileAttributesA(query.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
            info.kind = attributes & FILE_ATTRIBUTE_DIRECTORY ? FileKind::Folder : FileKind::File;
            info.storedName = query;
        } else {
            ::FindClose(search);
            // A link is what its own entry says: the search does not follow it.
            const bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            info.kind = folder ? FileKind::Folder : FileKind::File;
            info.size =
                folder ? 0
                       : (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            info.storedName = data.cFileName;
        }
        info.identity = IdentityOf(path);
        return info;
    }

    std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
        const HANDLE handle =
            ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (handle == INVALID_HANDLE_VALUE) ThrowWin32Error(::GetLastError());
        return std::make_unique<Win32InputFile>(handle);
    }

    std::unique_ptr<OutputFile> Create(const std::string& path) override {
        // No sharing: nobody reads a piece half written or writes into it meanwhile.
        const HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) ThrowWin32Error(::GetLastError());
        m_written.insert(FullPath(path));
        return std::make_unique<Win32OutputFile>(handle);
    }

    std::unique_ptr<OutputFile> CreateExclusive(const std::string& path) override {
        // Readers are let in: the engine reads its own unfinished file back (the checksum of a
        // restore) before the file is closed and renamed.
        const HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD code = ::GetLastError();
            if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) ThrowSystemError(EEXIST);
            ThrowWin32Error(code);
        }
        // Released when the handle closes, however the program ends.
        LockMarker(handle);
        m_written.insert(FullPath(path));
        return std::make_unique<Win32OutputFile>(handle);
    }

    bool DeleteIfUnlocked(const std::string& path) override {
        {
            Handle file(::CreateFileA(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file.IsValid() || !LockMarker(file.Get())) return false;
        }
        // A writer that opened it since holds it without sharing its deletion: this then fails.
        return ::DeleteFileA(path.c_str()) != 0;
    }

    void Rename(const std::string& from, const std::string& to) override {
        // The name in the system code page, as every other call here; written through, so that
        // the new name is on the medium when the call returns.
        if (!::MoveFileExA(from.c_str(), to.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            ThrowWin32Error(::GetLastError());
        m_written.erase(FullPath(from));
        m_written.insert(FullPath(to));
    }

    std::vector<std::string> List(const std::string& folder) override {
        std::vector<std::string> names;
        std::string query = folder.empty() ? std::string(".") : folder;
        if (query.back() != '\\' && query.back() != '/') query += '\\';
        query += '*';
        QuietCriticalErrors quiet;
        WIN32_FIND_DATAA data{};
        const HANDLE search = ::FindFirstFileA(query.c_str(), &data);
        if (search == INVALID_HANDLE_VALUE) return names;
        do {
            const std::string name = data.cFileName;
            if (name != "." && name != "..") names.push_back(name);
        } while (::FindNextFileA(search, &data));
        ::FindClose(search);
        return names;
    }

    bool Delete(const std::string& path) override {
        return !path.empty() && ::DeleteFileA(path.c_str()) != 0;
    }

    std::int64_t FreeSpace(const std::string& folder) override {
        if (folder.empty() || !IsDriveLetter(folder[0])) return -1;
        const std::string root = std::string(1, folder[0]) + ":\\";
        QuietCriticalErrors quiet;
        ULARGE_INTEGER available{};
        if (!::GetDiskFreeSpaceExA(root.c_str(), &available, nullptr, nullptr)) return -1;
        return available.QuadPart > static_cast<ULONGLONG>(LLONG_MAX)
                   ? LLONG_MAX
                   : static_cast<std::int64_t>(available.QuadPart);
    }

    std::unique_ptr<FileLock> TryLock(const std::string& path) override {
        for (int attempt = 0;; ++attempt) {
            // The link itself is opened, never what it points to.
            const HANDLE handle = ::CreateFileA(
                path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
            if (handle == INVALID_HANDLE_VALUE) {
                const DWORD error = ::GetLastError();
                if (error == ERROR_SHARING_VIOLATION) return nullptr;
                ThrowWin32Error(error);
            }
            BY_HANDLE_FILE_INFORMATION info{};
            const bool link = ::GetFileInformationByHandle(handle, &info) &&
                              (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if (!link) return std::make_unique<Win32Lock>(handle);
            // A link in the lock's place makes way for the lock file.
            FILE_DISPOSITION_INFO dispose{};
            dispose.DeleteFile = TRUE;
            const bool gone = ::SetFileInformationByHandle(handle, FileDispositionInfo, &dispose,
                                                           sizeof dispose) != 0;
            const DWORD error = ::GetLastError();
            ::CloseHandle(handle);
            if (!gone || attempt == 10) ThrowWin32Error(gone ? ERROR_ACCESS_DENIED : error);
        }
    }

    void SyncVolume(const std::string& folder) override {
        const bool knownDrive = !folder.empty() && IsDriveLetter(folder[0]);
        const char drive = knownDrive ? UpperDrive(folder[0]) : 0;
        if (knownDrive && FlushVolume(drive)) {
            ForgetDrive(drive);
            return;
        }
        for (auto it = m_written.begin(); it != m_written.end();) {
            const bool onDrive =
                !knownDrive || (it->size() > 1 && (*it)[1] == ':' && UpperDrive((*it)[0]) == drive);
            if (!onDrive) {
                ++it;
                continue;
            }
            Handle file(::CreateFileA(it->c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (file.IsValid()) {
                if (!::FlushFileBuffers(file.Get())) ThrowWin32Error(::GetLastError());
            } else {
                const DWORD error = ::GetLastError();
                // Gone (deleted, medium taken out) or held by someone else: nothing of ours to
                // put on the medium, or nothing we may touch.
                if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
                    error != ERROR_SHARING_VIOLATION && error != ERROR_NOT_READY &&
                    error != ERROR_ACCESS_DENIED)
                    ThrowWin32Error(error);
            }
            it = m_written.erase(it);
        }
    }

    std::size_t MaxNameLength(const std::string&) override {
        // NTFS, FAT32 (long names) and exFAT all stop at 255.
        return 255;
    }

    bool IsRemovable(const std::string&) override { return false; }

    std::optional<std::uint64_t> LargestFile(const std::string& folder) override {
        if (folder.empty() || !IsDriveLetter(folder[0])) return std::nullopt;
        const std::string root = std::string(1, folder[0]) + ":\\";
        QuietCriticalErrors quiet;
        char name[MAX_PATH + 1] = {};
        if (!::GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, name,
                                     sizeof name))
            return std::nullopt;
        // FAT, FAT12, FAT16 and FAT32 alike; exFAT, NTFS and ReFS take files far past a piece.
        if (std::string(name).rfind("FAT", 0) == 0) return kFatLargestFile;
        return std::nullopt;
    }

    std::unique_ptr<InputFile> OpenStandardInput(std::function<bool()>) override {
        return std::make_unique<StandardInput>();
    }

    std::unique_ptr<OutputFile> OpenStandardOutput() override {
        return std::make_unique<StandardOutput>();
    }

    std::uint64_t Copy(InputFile& from, OutputFile& to, std::uint64_t limit,
                       const std::function<void(std::uint64_t)>& progress) override {
        return BufferedCopy(from, to, limit, progress);
    }

  private:
    static std::optional<FileIdentity> IdentityOf(const std::string& path) {
        // No access asked for: the identity of a file that others hold open can still be read.
        Handle handle(::CreateFileA(path.c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!handle.IsValid()) return std::nullopt;
        BY_HANDLE_FILE_INFORMATION info{};
        if (!::GetFileInformationByHandle(handle.Get(), &info)) return std::nullopt;
        return FileIdentity{
            info.dwVolumeSerialNumber,
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    }

    static std::string FullPath(const std::string& path) {
        char buffer[MAX_PATH * 2];
        const DWORD n = ::GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
        return n > 0 && n < sizeof buffer ? std::string(buffer, n) : path;
    }

    static bool FlushVolume(char drive) {
        const std::string volume = std::string("\\\\.\\") + drive + ":";
        QuietCriticalErrors quiet;
        Handle handle(::CreateFileA(volume.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                    nullptr));
        return handle.IsValid() && ::FlushFileBuffers(handle.Get());
    }

    void ForgetDrive(char drive) {
        std::erase_if(m_written, [drive](const std::string& path) {
            return path.size() > 1 && path[1] == ':' && UpperDrive(path[0]) == drive;
        });
    }

    // Full paths of the files created since they were last flushed.
    std::set<std::string> m_written;
};

}  // namespace

bool NameConvertsToUnicode(std::string_view) {
    return true;
}

std::unique_ptr<FileSystem> MakeSystemFileSystem(CopyMethod) {
    // Nothing to choose: every copy goes through the buffer here.
    return std::make_unique<Win32FileSystem>();
}

}  // namespace olvo
