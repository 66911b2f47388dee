// The per-user hive as a text file, ${XDG_CONFIG_HOME:-$HOME/.config}/Kestrava/registry.reg, in
// the form the registry editor exports (see RegistryHive.h), so that it can be merged into a
// Windows registry and an export can take its place.
//
// A session holds an exclusive flock on registry.reg.lock beside the hive, so the changes of one
// session (one load or one save of the settings) never interleave with another process's. The
// lock is waited for kLockWait at most: after that the session reads the hive without it (a
// reader sees a whole file either way) and every change fails, with a notice. The lock file is
// never reached through a symbolic link: a link in its place (dangling or not) is left alone,
// and every change fails with a notice that names it. The hive is read afresh when a session
// starts. Every change replaces the file as a whole: the new text goes to a temporary file
// (registry.reg.new-XXXXXX) in the same folder, which is synced and renamed over the hive, and
// then the folder is synced; a reader therefore sees the old file or the new one, never a
// mixture, and a crash leaves one of the two. Only the lock's holder writes a temporary file, so
// the holder removes those that a killed process left before it writes its own. A session that
// only reads creates nothing: no folder, no hive (the lock file beside an existing hive is the
// one exception); a session announced by BeginChanges makes the folder and takes the lock before
// it reads.
//
// A hive that cannot be parsed reads as empty, with a notice; when it is a regular file it is
// renamed to registry.reg.bad before the first change writes a fresh one, so nothing the user had
// is lost without a trace. A symbolic link in the hive's place is followed to a hive (a dotfiles
// folder), which is then replaced where it lives; a link to anything that is not a hive is
// neither renamed nor written through: every change fails, and a notice names the file. A hive
// that exists but cannot be read (permissions, a folder in its place) is never written over:
// every change fails then. Without the lock (a folder we may not write) every change fails too.

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/HiveRegistry.h"
#include "platform/posix/FileDescriptor.h"

namespace olvo {
namespace {

constexpr char kFolderName[] = "Kestrava";
constexpr char kFileName[] = "registry.reg";
// Far beyond any real hive; a bigger file is treated as damaged rather than read into memory.
constexpr off_t kMaxHiveSize = 16 * 1024 * 1024;
// How long a session waits for another process to let the hive go.
constexpr std::chrono::milliseconds kLockWait{3000};

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Creates folder and its missing parents, private to the user; failures show up later.
void MakeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        ::mkdir(folder.substr(0, slash).c_str(), 0700);
        if (slash == std::string::npos) break;
    }
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

enum class ReadResult { Read, Missing, Unreadable, TooBig };

ReadResult ReadWholeFile(const std::string& path, std::string& text) {
    // O_NONBLOCK: a pipe in the hive's place must not stop the program until someone writes.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Unreadable;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return ReadResult::Unreadable;
    if (st.st_size > kMaxHiveSize) return ReadResult::TooBig;
    text.clear();
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return ReadResult::Unreadable;
        }
        if (n == 0) return ReadResult::Read;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > static_cast<std::size_t>(kMaxHiveSize)) return ReadResult::TooBig;
    }
}

// What a temporary hive is named after the file it replaces: the name, this, then six letters.
constexpr char kTemporaryMark[] = ".new-";

bool IsTemporaryName(const std::string& name, const std::string& prefix) {
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
        return false;
    for (std::size_t i = prefix.size(); i < name.size(); ++i)
        if (std::isalnum(static_cast<unsigned char>(name[i])) == 0) return false;
    return true;
}

// Removes the temporary files of target that a process killed before their rename left. Only
// our own regular files go; a link of that name is removed, never followed.
void RemoveLeftovers(const std::string& target) {
    const std::string folder = FolderOf(target);
    const std::string prefix = target.substr(target.rfind('/') + 1) + kTemporaryMark;
    FileDescriptor folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.Get() < 0) return;
    DIR* dir = ::fdopendir(::dup(folderFd.Get()));
    if (dir == nullptr) return;
    std::vector<std::string> leftovers;
    while (const dirent* entry = ::readdir(dir)) {
        if (IsTemporaryName(entry->d_name, prefix)) leftovers.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    for (const std::string& name : leftovers) {
        struct stat st {};
        if (::fstatat(folderFd.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) && st.st_uid == ::geteuid())
            ::unlinkat(folderFd.Get(), name.c_str(), 0);
    }
}

void SyncFolder(const std::string& folder) {
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() >= 0) ::fsync(fd.Get());
}

class HiveFileRegistry final : public HiveRegistry {
  public:
    // An empty fixedPath follows UserHivePath at every session.
    explicit HiveFileRegistry(std::string fixedPath) : m_fixedPath(std::move(fixedPath)) {}

    std::vector<std::string> TakeNotices() override {
        std::vector<std::string> notices;
        notices.swap(m_notices);
        return notices;
    }

  protected:
    Hive BeginSession() override {
        m_path = m_fixedPath.empty() ? UserHivePath() : m_fixedPath;
        m_writable = false;
        m_damaged = false;
        m_folderMissing = false;
        if (m_path.empty()) return Hive();
        struct stat st {};
        if (ChangesAhead()) MakeFolders(FolderOf(m_path));
        if (::stat(FolderOf(m_path).c_str(), &st) != 0 && errno == ENOENT) {
            // Nothing to read, and nothing is made until something is saved.
            m_folderMissing = true;
            m_writable = true;
            m_target = m_path;
            return Hive();
        }
        TakeLock();
        // A hive linked from elsewhere (a dotfiles folder) is written where it really lives, so
        // the link survives the rename.
        char target[PATH_MAX];
        const bool link = ::lstat(m_path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
        m_target = link && ::realpath(m_path.c_str(), target) != nullptr ? target : m_path;

        std::string text;
        switch (ReadWholeFile(m_target, text)) {
            case ReadResult::Missing:
                return Hive();
            case ReadResult::Unreadable:
                m_writable = false;
                return Hive();
            case ReadResult::TooBig:
                break;
            case ReadResult::Read:
                if (std::optional<Hive> hive = ParseHive(text)) return std::move(*hive);
                break;
        }
        if (link) {
            m_writable = false;
            Notice(m_path + " is a link to " + m_target +
                   ", which is not a settings file; the settings cannot be saved there.");
        } else {
            m_damaged = true;
            Notice("The settings file " + m_path + " cannot be read; the defaults are used.");
        }
        return Hive();
    }

    bool CanCommit() const override { return m_writable; }

    bool Commit(const Hive& hive) override {
        if (!m_writable) return false;
        if (m_folderMissing) {
            MakeFolders(FolderOf(m_path));
            TakeLock();
            struct stat st {};
            if (!m_writable || ::lstat(m_path.c_str(), &st) == 0) return false;
            m_folderMissing = false;
        }
        const std::string folder = FolderOf(m_target);
        if (m_damaged) {
            if (::rename(m_target.c_str(), (m_target + ".bad").c_str()) != 0) return Refused();
            m_damaged = false;
            Notice("The settings file " + m_path + " could not be read; it was kept as " +
                   m_target + ".bad.");
        }
        RemoveLeftovers(m_target);
        std::string temporary = m_target + kTemporaryMark + "XXXXXX";
        FileDescriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
        if (fd.Get() < 0) return Refused();
        const bool written = WriteAll(fd.Get(), WriteHive(hive)) && ::fsync(fd.Get()) == 0 &&
                             ::close(fd.Release()) == 0 &&
                             ::rename(temporary.c_str(), m_target.c_str()) == 0;
        if (!written) {
            const int code = errno;
            ::unlink(temporary.c_str());
            errno = code;
            return Refused();
        }
        SyncFolder(folder);
        return true;
    }

    void EndSession() override { m_lock.Reset(); }

  private:
    // A write of the hive that failed, with the system's reason in a notice (errno tells it).
    bool Refused() {
        Notice("The settings file " + m_path + " cannot be written: " + std::strerror(errno) + ".");
        return false;
    }

    void Notice(const std::string& text) {
        for (const std::string& earlier : m_notices)
            if (earlier == text) return;
        m_notices.push_back(text);
    }

    // Takes the lock, waiting kLockWait at most; m_writable tells whether it was taken. The wait
    // is a blocking flock on a thread of its own, so that the kernel hands the lock over in turn
    // (a poll would lose it to a process that takes it again at once). When the time is up the
    // thread is left to wait on its own descriptor, and lets the lock go as soon as it gets it.
    void TakeLock() {
        m_writable = false;
        const std::string lockPath = FolderOf(m_path) + "/" + kFileName + ".lock";
        // O_NOFOLLOW: a link in the lock's place would have the lock, or the file it leads
        // to, made wherever it points.
        int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0 && errno != ELOOP)
            fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        m_lock.Reset();
        if (fd < 0 && errno == ELOOP) {
            Notice("The settings lock file " + lockPath +
                   " is a symbolic link, which is not followed; nothing can be saved to the "
                   "settings until it is removed.");
        }
        if (fd < 0) return;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK) {
                ::close(fd);
                return;
            }
            struct Wait {
                std::mutex mutex;
                std::condition_variable done;
                bool finished = false, locked = false, abandoned = false;
            };
            const auto wait = std::make_shared<Wait>();
            std::thread([wait, fd] {
                int result;
                do {
                    result = ::flock(fd, LOCK_EX);
                } while (result != 0 && errno == EINTR);
                const std::lock_guard<std::mutex> guard(wait->mutex);
                wait->finished = true;
                wait->locked = result == 0;
                if (wait->abandoned) ::close(fd);
                wait->done.notify_all();
            }).detach();
            std::unique_lock<std::mutex> lock(wait->mutex);
            if (!wait->done.wait_for(lock, kLockWait, [&] { return wait->finished; })) {
                wait->abandoned = true;
                Notice("The settings file " + m_path +
                       " is held by another program; it was read without waiting longer, "
                       "and nothing can be saved to it now.");
                return;
            }
            if (!wait->locked) {
                ::close(fd);
                return;
            }
        }
        m_lock.Reset(fd);
        m_writable = true;
    }

    std::string m_fixedPath;
    std::string m_path;    // the hive of this session
    std::string m_target;  // the file the hive path leads to
    FileDescriptor m_lock;
    bool m_writable = false;       // the lock is held and the hive may be replaced
    bool m_damaged = false;        // the file holds something other than a hive; keep it first
    bool m_folderMissing = false;  // no folder yet: made, and locked, by the first change
    std::vector<std::string> m_notices;
};

}  // namespace

std::string UserHivePath() {
    std::string config;
    // Relative values are to be ignored, the XDG rules say.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        config = xdg;
    } else {
        const char* home = std::getenv("HOME");
        std::string homeFolder = home != nullptr && home[0] == '/' ? home : "";
        if (homeFolder.empty()) {
            struct passwd entry {};
            struct passwd* found = nullptr;
            std::vector<char> buffer(16384);
            if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
                found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
                homeFolder = found->pw_dir;
            }
        }
        if (homeFolder.empty()) return {};
        config = homeFolder + "/.config";
    }
    while (config.size() > 1 && config.back() == '/') config.pop_back();
    return config + "/" + kFolderName + "/" + kFileName;
}

std::unique_ptr<Registry> OpenUserRegistry() {
    return std::make_unique<HiveFileRegistry>(std::string());
}

std::unique_ptr<Registry> MakeHiveFileRegistry(std::string path) {
    return std::make_unique<HiveFileRegistry>(path.empty() ? "./registry.reg" : std::move(path));
}

}  // namespace olvo
