// The file system seam over POSIX calls. Kernel copies (copy_file_range) where the kernel offers
// them for the pair of files, the buffered copy of the base class otherwise.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/FileSystem.h"

namespace olvo {
namespace {

class Descriptor {
  public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    int Get() const { return m_fd; }

  private:
    int m_fd;
};

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
    FileTime LastWriteTime() override {
        struct stat st {};
        if (::fstat(m_fd.Get(), &st) != 0) ThrowSystemError(errno);
        return st.st_mtim.tv_sec;
    }
    void Seek(std::uint64_t offset) override {
        if (::lseek(m_fd.Get(), static_cast<off_t>(offset), SEEK_SET) < 0) ThrowSystemError(errno);
    }
    int Descriptor() const override { return m_fd.Get(); }

  private:
    class Descriptor m_fd;
};

class PosixOutputFile final : public OutputFile {
  public:
    explicit PosixOutputFile(int fd) : m_fd(fd) {}
    void Write(const void* data, std::size_t size) override {
        const auto* in = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t n = ::write(m_fd.Get(), in, size);
            if (n < 0) {
                if (errno == EINTR) continue;
                ThrowSystemError(errno);
            }
            in += n;
            size -= static_cast<std::size_t>(n);
        }
    }
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
    int Descriptor() const override { return m_fd.Get(); }

  private:
    class Descriptor m_fd;
};

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

bool g_kernelCopy = true;

bool IsFallbackError(int code) {
    return code == EXDEV || code == ENOSYS || code == EINVAL || code == EOPNOTSUPP ||
           code == EBADF || code == ETXTBSY || code == EPERM;
}

class PosixFileSystem final : public FileSystem {
  public:
    std::optional<FileEntry> Find(const std::string& path) override {
        struct stat st {};
        if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
        FileEntry entry;
        entry.isFolder = S_ISDIR(st.st_mode);
        entry.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
        std::string name = path;
        while (name.size() > 1 && name.back() == '/') name.pop_back();
        const auto slash = name.rfind('/');
        entry.storedName = slash == std::string::npos ? name : name.substr(slash + 1);
        return entry;
    }

    bool FileExists(const std::string& path) override {
        struct stat st {};
        // Only regular files: a pipe or a device named like a piece would never end or never
        // start when read.
        return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    }

    std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
        // Without O_NONBLOCK, opening a pipe that has no writer would wait for ever.
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) ThrowSystemError(errno);
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            ThrowSystemError(EACCES);
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return std::make_unique<PosixInputFile>(fd);
    }

    std::unique_ptr<OutputFile> Create(const std::string& path) override {
        // A pipe without a reader would block the open for ever, and what went into a pipe or a
        // device would not be there to read back: only regular files are written.
        const int fd = ::open(
            path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
        if (fd < 0) ThrowSystemError(errno == ENXIO ? EACCES : errno);
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            ThrowSystemError(EACCES);
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return std::make_unique<PosixOutputFile>(fd);
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

    std::optional<FileIdentity> Identity(const std::string& path) override {
        struct stat st {};
        if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
        return FileIdentity{static_cast<std::uint64_t>(st.st_dev),
                            static_cast<std::uint64_t>(st.st_ino)};
    }

    void SyncVolume(const std::string& folder) override {
        const int fd = ::open(NearestExisting(folder).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) ThrowSystemError(errno);
        Descriptor guard(fd);
        if (::syncfs(fd) != 0) ThrowSystemError(errno);
    }

    std::uint64_t Copy(InputFile& from, OutputFile& to, std::uint64_t limit,
                       const std::function<void(std::uint64_t)>& progress) override {
        const int in = from.Descriptor();
        const int out = to.Descriptor();
        std::uint64_t done = 0;
        if (g_kernelCopy && in >= 0 && out >= 0) {
            constexpr std::uint64_t kChunk = 16u << 20;
            while (done < limit) {
                const auto want = static_cast<std::size_t>(std::min(kChunk, limit - done));
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
                // Start the writeback now, so that the disk works while the copy goes on and
                // the flush before success finds little left to do. Only a hint: no error.
                ::sync_file_range(out, 0, 0, SYNC_FILE_RANGE_WRITE);
                if (progress) progress(done);
            }
            if (done == limit) return done;
        }
        return done + FileSystem::Copy(from, to, limit - done, [&](std::uint64_t step) {
                   if (progress) progress(done + step);
               });
    }
};

}  // namespace

void UseKernelCopy(bool enabled) {
    g_kernelCopy = enabled;
}

FileSystem& SystemFileSystem() {
    static PosixFileSystem system;
    return system;
}

}  // namespace olvo
