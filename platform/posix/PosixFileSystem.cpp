// The file system seam over POSIX calls. Kernel copies (copy_file_range) where the kernel offers
// them for the pair of files, BufferedCopy otherwise.

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>
#include <fstream>
#include <system_error>

#include "platform/FileSystem.h"
#include "platform/posix/FileDescriptor.h"

namespace olvo {
namespace {

class PosixInputFile final : public InputFile {
  public:
    explicit PosixInputFile(int fd) : m_fd(fd) {}
    std::size_t Read(void* buffer, std::size_t size) override {
        std::size_t total = 0;
        auto* out = static_cast<char*>(buffer);
        while (total < size) {
            const ssize_t n = ::read(m_fd.Get(), out + total, size - total);
            if (n < 0) {
                if (errno == EINTR) continue;
                ThrowSystemError(errno);
            }
            if (n == 0) break;
            total += static_cast<std::size_t>(n);
        }
        return total;
    }
    FileStamp Stamp() override {
        struct stat st {};
        if (::fstat(m_fd.Get(), &st) != 0) ThrowSystemError(errno);
        return FileStamp{static_cast<std::uint64_t>(st.st_size), st.st_mtim.tv_sec,
                         static_cast<std::uint32_t>(st.st_mtim.tv_nsec)};
    }
    void Seek(std::uint64_t offset) override {
        if (::lseek(m_fd.Get(), static_cast<off_t>(offset), SEEK_SET) < 0) ThrowSystemError(errno);
    }
    int Descriptor() const override { return m_fd.Get(); }

  private:
    FileDescriptor m_fd;
};

// Writes all size bytes of data to fd, through short writes and interrupts.
void WriteAll(int fd, const void* data, std::size_t size) {
    const auto* in = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, in, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowSystemError(errno);
        }
        in += n;
        size -= static_cast<std::size_t>(n);
    }
}

class PosixOutputFile final : public OutputFile {
  public:
    explicit PosixOutputFile(int fd) : m_fd(fd) {}
    void Write(const void* data, std::size_t size) override { WriteAll(m_fd.Get(), data, size); }
    void Flush() override {
        if (::fsync(m_fd.Get()) != 0 && errno != EINVAL && errno != EROFS) ThrowSystemError(errno);
    }
    bool SetLastWriteTime(FileTime time) override {
        struct timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = static_cast<time_t>(time);
        times[1].tv_nsec = 0;
        return ::futimens(m_fd.Get(), times) == 0;
    }
    void Truncate(std::uint64_t size) override {
        if (::ftruncate(m_fd.Get(), static_cast<off_t>(size)) != 0 ||
            ::lseek(m_fd.Get(), static_cast<off_t>(size), SEEK_SET) < 0)
            ThrowSystemError(errno);
    }
    bool SetExactTime(FileTime seconds, std::uint32_t nanoseconds) override {
        struct timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = static_cast<time_t>(seconds);
        times[1].tv_nsec = static_cast<long>(nanoseconds);
        if (static_cast<FileTime>(times[1].tv_sec) != seconds) return false;
        struct stat st {};
        // File systems clamp a time they cannot hold without an error: read it back.
        return ::futimens(m_fd.Get(), times) == 0 && ::fstat(m_fd.Get(), &st) == 0 &&
               st.st_mtim.tv_sec == times[1].tv_sec && st.st_mtim.tv_nsec == times[1].tv_nsec;
    }
    int Descriptor() const override { return m_fd.Get(); }

  private:
    FileDescriptor m_fd;
};

// Standard input, read to its end; the descriptor stays open for the process.
class StandardInput final : public InputFile {
  public:
    explicit StandardInput(std::function<bool()> stopWaiting)
        : m_stopWaiting(std::move(stopWaiting)) {}
    std::size_t Read(void* buffer, std::size_t size) override {
        std::size_t total = 0;
        auto* out = static_cast<char*>(buffer);
        while (total < size) {
            WaitForData();
            const ssize_t n = ::read(STDIN_FILENO, out + total, size - total);
            if (n < 0) {
                if (errno == EINTR) continue;
                ThrowSystemError(errno);
            }
            if (n == 0) break;
            total += static_cast<std::size_t>(n);
        }
        return total;
    }
    FileStamp Stamp() override { return {}; }
    void Seek(std::uint64_t) override { ThrowSystemError(ESPIPE); }

  private:
    // A writer that stalls must not keep a request to stop waiting: interrupts restart read().
    void WaitForData() {
        if (!m_stopWaiting) return;
        for (;;) {
            pollfd fd{STDIN_FILENO, POLLIN, 0};
            const int ready = ::poll(&fd, 1, 250);
            // Data, the end, or a failure that read() reports; an interrupt is asked about.
            if (ready > 0 || (ready < 0 && errno != EINTR)) return;
            if (m_stopWaiting()) ThrowSystemError(EINTR);
        }
    }

    std::function<bool()> m_stopWaiting;
};

// Standard output, written in order; the descriptor stays open for the process.
class StandardOutput final : public OutputFile {
  public:
    void Write(const void* data, std::size_t size) override { WriteAll(STDOUT_FILENO, data, size); }
    // Into a file, what was written goes on its medium; a pipe has nothing more to pass on.
    void Flush() override {
        if (::fsync(STDOUT_FILENO) != 0 && errno != EINVAL && errno != EROFS && errno != ENOTSUP)
            ThrowSystemError(errno);
    }
    bool SetLastWriteTime(FileTime) override { return false; }
};

// The last name of path, as it stands in its folder (the path names it that way on POSIX).
std::string StoredName(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The nearest existing ancestor of a path (the path itself when it exists).
std::string NearestExisting(std::string path) {
    struct stat st {};
    while (!path.empty()) {
        if (::stat(path.c_str(), &st) == 0) return path;
        while (!path.empty() && path.back() == '/') path.pop_back();
        const auto slash = path.rfind('/');
        if (slash == std::string::npos) return ".";
        path.erase(slash == 0 ? 1 : slash);
        if (path == "/") return path;
    }
    return ".";
}

bool IsFallbackError(int code) {
    return code == EXDEV || code == ENOSYS || code == EINVAL || code == EOPNOTSUPP ||
           code == EBADF || code == ETXTBSY || code == EPERM;
}

// Opens path for writing without following a symbolic link; -1 with errno on failure.
int Open(const std::string& path, int mode) {
    const int fd =
        ::open(path.c_str(),
               O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW | mode, 0666);
    if (fd < 0 && errno == ENXIO) errno = EACCES;
    return fd;
}

// A descriptor opened without waiting (O_NONBLOCK), kept only when it is a regular file and then
// made blocking again; anything else is closed and refused.
int RegularFile(int fd) {
    if (fd < 0) ThrowSystemError(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        ThrowSystemError(EACCES);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::unique_ptr<OutputFile> Opened(int fd) {
    return std::make_unique<PosixOutputFile>(RegularFile(fd));
}

// The lock file is removed while it is still held, unless it keeps a note, so that no file is
// left behind; a waiter that opened it before then sees that it was removed and takes a new one.
class PosixLock final : public FileLock {
  public:
    static constexpr std::size_t kMaxNote = 1 << 16;
    PosixLock(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {
        char buffer[4096];
        ssize_t n = 0;
        // A note is a line or two; a lock file that holds more was not written as one.
        while (m_note.size() < kMaxNote && (n = ::pread(m_fd.Get(), buffer, sizeof buffer,
                                                        static_cast<off_t>(m_note.size()))) > 0)
            m_note.append(buffer, static_cast<std::size_t>(n));
    }
    ~PosixLock() override {
        struct stat held {
        }, named{};
        if (m_note.empty() && ::fstat(m_fd.Get(), &held) == 0 &&
            ::lstat(m_path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino)
            ::unlink(m_path.c_str());
    }
    std::string Note() const override { return m_note; }
    void SetNote(const std::string& note) override {
        // A kill needs no flush to keep it: the page cache outlives the process.
        if (::ftruncate(m_fd.Get(), 0) != 0) ThrowSystemError(errno);
        std::size_t done = 0;
        while (done < note.size()) {
            const ssize_t n = ::pwrite(m_fd.Get(), note.data() + done, note.size() - done,
                                       static_cast<off_t>(done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) ThrowSystemError(n < 0 ? errno : ENOSPC);
            done += static_cast<std::size_t>(n);
        }
        m_note = note;
    }

  private:
    FileDescriptor m_fd;
    std::string m_path;
    std::string m_note;
};

// Opens the lock file at path, never through a symbolic link: a link there (even a dangling one)
// is taken away, so that no file is made where it points.
int OpenLockFile(const std::string& path) {
    for (int attempt = 0;; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0 || errno != ELOOP || attempt == 10) {
            if (fd < 0) ThrowSystemError(errno);
            return fd;
        }
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && ::unlink(path.c_str()) != 0 &&
            errno != ENOENT)
            ThrowSystemError(errno);
    }
}

class PosixFileSystem final : public FileSystem {
  public:
    explicit PosixFileSystem(CopyMethod method) : m_method(method) {}

    std::optional<FileInfo> Lookup(const std::string& path) override {
        if (path.empty()) return std::nullopt;
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            // A link that leads nowhere still holds its name.
            if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
            return FileInfo{FileKind::Link, 0, StoredName(path), std::nullopt};
        }
        // Only regular files count as files: a pipe or a device named like a piece would never
        // end or never start when read.
        const FileKind kind = S_ISREG(st.st_mode)   ? FileKind::File
                              : S_ISDIR(st.st_mode) ? FileKind::Folder
                                                    : FileKind::Other;
        return FileInfo{kind, kind == FileKind::File ? static_cast<std::uint64_t>(st.st_size) : 0,
                        StoredName(path),
                        FileIdentity{static_cast<std::uint64_t>(st.st_dev),
                                     static_cast<std::uint64_t>(st.st_ino)}};
    }

    std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
        // Without O_NONBLOCK, opening a pipe that has no writer would wait for ever.
        return std::make_unique<PosixInputFile>(
            RegularFile(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)));
    }

    std::unique_ptr<OutputFile> Create(const std::string& path) override {
        // A pipe without a reader would block the open for ever, and what went into a pipe or a
        // device would not be there to read back: only regular files are written. A symbolic
        // link is not followed into a file the user never named: it makes way for the new file.
        int fd = Open(path, O_TRUNC);
        if (fd < 0 && errno == ELOOP) {
            struct stat st {};
            if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) &&
                ::unlink(path.c_str()) != 0)
                ThrowSystemError(errno);
            fd = Open(path, O_EXCL);
        }
        return Opened(fd);
    }

    std::unique_ptr<OutputFile> CreateExclusive(const std::string& path) override {
        for (int attempt = 0; attempt < 10; ++attempt) {
            auto file = Opened(Open(path, O_EXCL));
            const int fd = file->Descriptor();
            // DeleteIfUnlocked may have taken the lock between the open and this flock: it then
            // removes the file (or has removed it), and the name is made again. A file system
            // without locks leaves the file unlocked, and so never deleted by it.
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                if (errno != EWOULDBLOCK) return file;
                continue;
            }
            struct stat st {};
            if (::fstat(fd, &st) == 0 && st.st_nlink > 0) return file;
        }
        ThrowSystemError(EEXIST);
    }

    bool DeleteIfUnlocked(const std::string& path) override {
        const int fd =
            ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
        if (fd < 0) return false;
        FileDescriptor guard(fd);
        // Removed while the lock is held and only while the name still leads to the locked file.
        struct stat held {
        }, named{};
        return ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
               ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(path.c_str(), &named) == 0 &&
               held.st_dev == named.st_dev && held.st_ino == named.st_ino &&
               ::unlink(path.c_str()) == 0;
    }

    void Rename(const std::string& from, const std::string& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0) ThrowSystemError(errno);
    }

    std::vector<std::string> List(const std::string& folder) override {
        std::vector<std::string> names;
        DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
        if (dir == nullptr) return names;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(dir);
        return names;
    }

    std::size_t MaxNameLength(const std::string& folder) override {
        errno = 0;
        const long limit = ::pathconf(NearestExisting(folder).c_str(), _PC_NAME_MAX);
        return limit > 0 ? static_cast<std::size_t>(limit) : NAME_MAX;
    }

    std::optional<std::uint64_t> LargestFile(const std::string& folder) override {
        // The file system's type, not pathconf(_PC_FILESIZEBITS): the C library answers 32 bits
        // for every type it does not know (overlays, FUSE, new ones), which would refuse pieces
        // past 2 GiB where any size fits; FAT's own limit is 4 GiB - 1, not 2 GiB - 1.
        struct statfs volume {};
        if (::statfs(NearestExisting(folder).c_str(), &volume) == 0 &&
            volume.f_type == MSDOS_SUPER_MAGIC)
            return kFatLargestFile;
        return std::nullopt;
    }

    bool IsRemovable(const std::string& folder) override {
        struct stat st {};
        if (::stat(NearestExisting(folder).c_str(), &st) != 0) return false;
        // The block device behind the folder; a partition's flag sits with its whole disk.
        const std::string device = "/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" +
                                   std::to_string(minor(st.st_dev));
        char resolved[PATH_MAX];
        if (::realpath(device.c_str(), resolved) == nullptr) return false;
        std::string at = resolved;
        for (int level = 0; level < 2 && !at.empty(); ++level) {
            std::ifstream flag(at + "/removable");
            char value = '0';
            if (flag >> value) return value == '1';
            at.erase(at.rfind('/'));
        }
        return false;
    }

    std::unique_ptr<FileLock> TryLock(const std::string& path) override {
        for (;;) {
            const int fd = OpenLockFile(path);
            FileDescriptor guard(fd);
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                if (errno == EWOULDBLOCK) return nullptr;
                ThrowSystemError(errno);
            }
            // The holder before us may have removed the file after we opened it: a lock on a
            // name that is gone protects nothing.
            struct stat held {
            }, named{};
            if (::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 &&
                held.st_dev == named.st_dev && held.st_ino == named.st_ino)
                return std::make_unique<PosixLock>(::fcntl(fd, F_DUPFD_CLOEXEC, 0), path);
        }
    }

    bool Delete(const std::string& path) override { return ::unlink(path.c_str()) == 0; }

    std::int64_t FreeSpace(const std::string& folder) override {
        if (folder.empty()) return -1;
        struct statvfs vfs {};
        if (::statvfs(NearestExisting(folder).c_str(), &vfs) != 0) return -1;
        const unsigned __int128 bytes = static_cast<unsigned __int128>(vfs.f_bavail) *
                                        static_cast<unsigned __int128>(vfs.f_frsize);
        return bytes > static_cast<unsigned __int128>(INT64_MAX) ? INT64_MAX
                                                                 : static_cast<std::int64_t>(bytes);
    }

    void SyncVolume(const std::string& folder) override {
        const int fd = ::open(NearestExisting(folder).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) ThrowSystemError(errno);
        FileDescriptor guard(fd);
        if (::syncfs(fd) != 0) ThrowSystemError(errno);
    }

    std::unique_ptr<InputFile> OpenStandardInput(std::function<bool()> stopWaiting) override {
        return std::make_unique<StandardInput>(std::move(stopWaiting));
    }

    std::unique_ptr<OutputFile> OpenStandardOutput() override {
        return std::make_unique<StandardOutput>();
    }

    std::uint64_t Copy(InputFile& from, OutputFile& to, std::uint64_t limit,
                       const std::function<void(std::uint64_t)>& progress) override {
        const int in = from.Descriptor();
        const int out = to.Descriptor();
        std::uint64_t done = 0;
        if (m_method == CopyMethod::KernelWherePossible && in >= 0 && out >= 0) {
            // From 1 MiB (a fifth of a second at 5 MB/s) to 256 MiB a step.
            CopyPace pace(1u << 20, 256u << 20);
            while (done < limit) {
                const auto want = static_cast<std::size_t>(std::min(pace.Next(), limit - done));
                const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, want, 0);
                if (n < 0) {
                    if (errno == EINTR) continue;
                    if (IsFallbackError(errno)) break;  // the buffered copy goes on from here
                    const int code = errno;
                    const bool writeSide = code == ENOSPC || code == EDQUOT || code == EFBIG ||
                                           code == EIO || code == EROFS;
                    throw CopyError(writeSide ? CopyError::Side::Write : CopyError::Side::Read,
                                    code);
                }
                if (n == 0) return done;
                done += static_cast<std::uint64_t>(n);
                pace.Took(static_cast<std::uint64_t>(n));
                // Start the writeback now, so that the disk works while the copy goes on and
                // the flush before success finds little left to do. Only a hint: no error.
                ::sync_file_range(out, 0, 0, SYNC_FILE_RANGE_WRITE);
                if (progress) progress(done);
            }
            if (done == limit) return done;
        }
        return done + BufferedCopy(from, to, limit - done, [&](std::uint64_t step) {
                   if (progress) progress(done + step);
               });
    }

  private:
    CopyMethod m_method;
};

// UTF-8 as Unicode defines it: shortest forms only, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        std::uint32_t point = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            length = 2;
            point = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3;
            point = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4;
            point = c & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            point = point << 6 | (next & 0x3F);
        }
        static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (point < kSmallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

}  // namespace

std::string SystemReason(int code) {
    return std::generic_category().message(code);
}

bool NameConvertsToUnicode(std::string_view name) {
    return IsValidUtf8(name);
}

std::unique_ptr<FileSystem> MakeSystemFileSystem(CopyMethod method) {
    return std::make_unique<PosixFileSystem>(method);
}

}  // namespace olvo
