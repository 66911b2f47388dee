#pragma once
// The engine's view of files and folders. The POSIX and Win32 implementations serve real use;
// tests wrap one in a FileSystemWrapper to inject faults and to script free space. The interface
// itself touches nothing: a double that leaves a method out does not compile, rather than reach
// the real disk. Every method that raises throws FileError.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace olvo {

// Seconds since 1970-01-01 00:00:00 UTC.
using FileTime = std::int64_t;

// The separator between folder and name on this platform.
#ifdef _WIN32
inline constexpr char kPathDelimiter = '\\';
#else
inline constexpr char kPathDelimiter = '/';
#endif

// The system's own words for an error number of this platform (an errno value on POSIX, a
// system error code on Windows): "No space left on device".
std::string SystemReason(int code);

// Whether a file name of this platform stands for Unicode letters: on POSIX, where a name is
// bytes, when they are UTF-8; on Windows, whose names are the system code page's text, always.
bool NameConvertsToUnicode(std::string_view name);

// text, then ": " and reason when there is one.
inline std::string WithReason(const std::string& text, const std::string& reason) {
    return reason.empty() ? text : text + ": " + reason;
}

// An operating-system failure: what failed, in the words the program has always used ("File not
// found", "File access denied", "Disk full", "I/O error %d"), the error number behind it, and
// the system's reason. Its text is both: "Disk full: No space left on device". A code of 0 has
// no reason.
class FileError : public std::runtime_error {
  public:
    FileError(const std::string& text, int code)
        : FileError(text, code, code != 0 ? SystemReason(code) : std::string()) {}
    FileError(const std::string& text, int code, const std::string& reason)
        : std::runtime_error(WithReason(text, reason)), m_code(code), m_reason(reason) {}
    int Code() const { return m_code; }
    // The system's words alone ("Is a directory"); empty when there are none.
    const std::string& Reason() const { return m_reason; }

  private:
    int m_code;
    std::string m_reason;
};

// The text of an error number: ENOENT "File not found", EACCES "File access denied",
// ENOSPC "Disk full", any other "I/O error N".
std::string SystemErrorText(int code);
[[noreturn]] void ThrowSystemError(int code);

// What a directory search reports of one path.
struct FileEntry {
    std::uint64_t size = 0;
    std::string storedName;  // the name as it stands in its folder
    bool isFolder = false;
};

// Which file a path leads to; two paths with equal identities are one file.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// What stands at a path. Link is a symbolic link that leads to nothing that can be reached (a
// dangling link, a loop); a link that leads somewhere is what it leads to. Other is a pipe, a
// device or a socket.
enum class FileKind { File, Folder, Link, Other };

// One look-up of a path: everything Find, FileExists, Identity and Occupied tell.
struct FileInfo {
    FileKind kind = FileKind::File;
    std::uint64_t size = 0;  // of a File; 0 for anything else
    std::string storedName;  // the name as it stands in its folder
    // Which file the path leads to, when the system can tell (never for a Link).
    std::optional<FileIdentity> identity;
};

// The size and last-write time of an open file, to the precision the file system keeps.
struct FileStamp {
    std::uint64_t size = 0;
    FileTime seconds = 0;
    std::uint32_t nanoseconds = 0;
    bool operator==(const FileStamp&) const = default;
};

class InputFile {
  public:
    virtual ~InputFile() = default;
    // Reads up to size bytes; fewer only at the end of the file. Raises on a read failure.
    virtual std::size_t Read(void* buffer, std::size_t size) = 0;
    // Size and last-write time as they are now. Raises when the system cannot tell.
    virtual FileStamp Stamp() = 0;
    // Moves the read position to offset bytes from the start.
    virtual void Seek(std::uint64_t offset) = 0;
    // The descriptor for kernel copies, or -1 when there is none.
    virtual int Descriptor() const { return -1; }
};

class OutputFile {
  public:
    virtual ~OutputFile() = default;
    // Writes all of data or raises.
    virtual void Write(const void* data, std::size_t size) = 0;
    // Puts everything written so far on the medium.
    virtual void Flush() = 0;
    // Cuts the file to size bytes; the next write goes there. Raises on failure.
    virtual void Truncate(std::uint64_t size);
    // Sets the last-write time; false when the system refused.
    virtual bool SetLastWriteTime(FileTime time) = 0;
    // Sets the last-write time to the nanosecond; true only when the file now holds exactly that
    // time (a file system may keep a narrower range or a coarser step, and clamp silently).
    virtual bool SetExactTime(FileTime seconds, std::uint32_t nanoseconds) {
        return nanoseconds == 0 && SetLastWriteTime(seconds);
    }
    virtual int Descriptor() const { return -1; }
};

// Held while a split writes the pieces of one set name in a folder; released when destroyed, and
// by the system when the process ends, however it ends. The lock file carries a note: what its
// holder is doing. Released with an empty note, the lock file is removed; one with a note stays
// (as it does after a kill), so that the next holder can tell what was left behind.
class FileLock {
  public:
    virtual ~FileLock() = default;
    // The note the lock file holds: what an earlier holder left, until SetNote replaces it.
    virtual std::string Note() const { return {}; }
    // Replaces the note. Raises on failure.
    virtual void SetNote(const std::string& /*note*/) {}
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // What stands at path, links followed (see FileKind); nothing when nothing does, or when
    // path is empty.
    virtual std::optional<FileInfo> Lookup(const std::string& path) = 0;
    // Opens a regular file for reading, shared with other readers and writers; anything else
    // is refused ("File access denied") rather than waited for.
    virtual std::unique_ptr<InputFile> OpenRead(const std::string& path) = 0;
    // Creates a new file or empties an existing one, for writing. Anything but a regular file
    // at path (a pipe, a device) is refused ("File access denied") rather than waited for. A
    // symbolic link at path is never followed: it is replaced by the new file.
    virtual std::unique_ptr<OutputFile> Create(const std::string& path) = 0;
    // Creates a file that did not exist; raises FileError with EEXIST when anything is at path.
    // The system's file systems lock it (flock, LockFileEx) for as long as it is open, so that
    // DeleteIfUnlocked tells a file being written from one a killed program left behind.
    virtual std::unique_ptr<OutputFile> CreateExclusive(const std::string& path) = 0;
    // Deletes the regular file at path unless a process holds the lock CreateExclusive takes;
    // true when it was deleted. Never raises.
    virtual bool DeleteIfUnlocked(const std::string& path) = 0;
    // Gives the file at from the name to, in one step, replacing what is there (a symbolic link
    // at to is replaced, not followed). Both names lie in one folder. Raises on failure.
    virtual void Rename(const std::string& from, const std::string& to) = 0;
    // False when the file could not be deleted; never raises.
    virtual bool Delete(const std::string& path) = 0;
    // Bytes available to the user on the volume that holds folder, or -1 when that cannot be told
    // (an empty path, a volume that is gone).
    virtual std::int64_t FreeSpace(const std::string& folder) = 0;
    // Puts everything written to the volume that holds folder on its medium. Raises on failure.
    virtual void SyncVolume(const std::string& folder) = 0;
    // The names in folder (no "." or ".."); empty when it cannot be read.
    virtual std::vector<std::string> List(const std::string& folder) = 0;
    // The longest file name, in bytes, that folder can hold.
    virtual std::size_t MaxNameLength(const std::string& folder) = 0;
    // True when folder lies on a medium that can be taken out (a USB stick, a card, a disc).
    virtual bool IsRemovable(const std::string& folder) = 0;
    // The largest file, in bytes, that the file system holding folder takes, when it has a limit
    // a file can reach (FAT: kFatLargestFile); nothing when it has none or cannot tell.
    virtual std::optional<std::uint64_t> LargestFile(const std::string& folder) = 0;
    // Takes the lock file at path without waiting: nothing when another process holds it. Raises
    // when the lock file cannot be made (a read-only medium). A symbolic link at path is never
    // followed: it makes way for the lock file.
    virtual std::unique_ptr<FileLock> TryLock(const std::string& path) = 0;
    // Copies from the current position of from to to until limit bytes are copied or from ends,
    // calling progress with the number of bytes copied so far after each step, and returns that
    // number. Raises CopyError when a read or a write fails. Progress comes at least about every
    // CopyPace::kTargetMs, so that a caller that checks for Cancel there reacts within half a
    // second on a slow stick as on a fast disk: BufferedCopy does so by itself, a kernel copy
    // paces its larger steps with CopyPace.
    virtual std::uint64_t Copy(InputFile& from, OutputFile& to, std::uint64_t limit,
                               const std::function<void(std::uint64_t)>& progress) = 0;
    // The process's standard input, read once from where it stands to its end (a pipe, a
    // redirected file): Read waits for data and gives fewer bytes only at the end; Seek raises;
    // Stamp gives size 0 and no time; no kernel copy. Opened once, by the program, never by the
    // engine. While Read waits for a writer that sends nothing, stopWaiting (when given) is asked
    // about four times a second; once it says true, Read raises FileError with EINTR. (On
    // Windows the wait is not cut short.)
    virtual std::unique_ptr<InputFile> OpenStandardInput(
        std::function<bool()> stopWaiting = {}) = 0;
    // The process's standard output, written in order and raw (no line-end translation): Flush
    // passes on what was written, Truncate and the times are refused. A reader that went away is
    // a write that fails (a broken pipe).
    virtual std::unique_ptr<OutputFile> OpenStandardOutput() = 0;

    // The questions Lookup answers, one look-up each.

    // Directory search: nothing when no file or folder is found at path.
    std::optional<FileEntry> Find(const std::string& path);
    // True when a regular file exists at path: not a folder, a pipe or a device.
    bool FileExists(const std::string& path);
    // The identity of the file at path, when there is one.
    std::optional<FileIdentity> Identity(const std::string& path);
    // True when anything is at path, a symbolic link (even a broken one) included.
    bool Occupied(const std::string& path);
};

// The largest file FAT12, FAT16 and FAT32 take: its size is a 32-bit field.
inline constexpr std::uint64_t kFatLargestFile = 0xFFFFFFFFu;

// Forwards every call to another file system, which outlives it: a double derived from it
// overrides only what it changes.
class FileSystemWrapper : public FileSystem {
  public:
    explicit FileSystemWrapper(FileSystem& target) : m_target(target) {}
    FileSystem& Target() const { return m_target; }

    std::optional<FileInfo> Lookup(const std::string& path) override {
        return m_target.Lookup(path);
    }
    std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
        return m_target.OpenRead(path);
    }
    std::unique_ptr<OutputFile> Create(const std::string& path) override {
        return m_target.Create(path);
    }
    std::unique_ptr<OutputFile> CreateExclusive(const std::string& path) override {
        return m_target.CreateExclusive(path);
    }
    bool DeleteIfUnlocked(const std::string& path) override {
        return m_target.DeleteIfUnlocked(path);
    }
    void Rename(const std::string& from, const std::string& to) override {
        m_target.Rename(from, to);
    }
    bool Delete(const std::string& path) override { return m_target.Delete(path); }
    std::int64_t FreeSpace(const std::string& folder) override {
        return m_target.FreeSpace(folder);
    }
    void SyncVolume(const std::string& folder) override { m_target.SyncVolume(folder); }
    std::vector<std::string> List(const std::string& folder) override {
        return m_target.List(folder);
    }
    std::size_t MaxNameLength(const std::string& folder) override {
        return m_target.MaxNameLength(folder);
    }
    bool IsRemovable(const std::string& folder) override { return m_target.IsRemovable(folder); }
    std::optional<std::uint64_t> LargestFile(const std::string& folder) override {
        return m_target.LargestFile(folder);
    }
    std::unique_ptr<FileLock> TryLock(const std::string& path) override {
        return m_target.TryLock(path);
    }
    std::uint64_t Copy(InputFile& from, OutputFile& to, std::uint64_t limit,
                       const std::function<void(std::uint64_t)>& progress) override {
        return m_target.Copy(from, to, limit, progress);
    }
    std::unique_ptr<InputFile> OpenStandardInput(std::function<bool()> stopWaiting) override {
        return m_target.OpenStandardInput(std::move(stopWaiting));
    }
    std::unique_ptr<OutputFile> OpenStandardOutput() override {
        return m_target.OpenStandardOutput();
    }

  private:
    FileSystem& m_target;
};

// A failure inside Copy: which side failed decides the text the engine reports, and the system's
// reason for code follows it ("Stream write error: No space left on device").
class CopyError : public std::runtime_error {
  public:
    enum class Side { Read, Write };
    CopyError(Side side, int code)
        : std::runtime_error(
              WithReason(side == Side::Read ? "Stream read error" : "Stream write error",
                         code != 0 ? SystemReason(code) : std::string())),
          m_side(side),
          m_code(code) {}
    Side WhichSide() const { return m_side; }
    int Code() const { return m_code; }

  private:
    Side m_side;
    int m_code;
};

inline constexpr std::size_t kCopyBufferSize = 61440;

// FileSystem::Copy through a buffer of kCopyBufferSize bytes, by from's Read and to's Write: a
// step of a few milliseconds on any medium. Touches nothing but the two files.
std::uint64_t BufferedCopy(InputFile& from, OutputFile& to, std::uint64_t limit,
                           const std::function<void(std::uint64_t)>& progress);

// The size of the next step of a copy, measured from the steps before it so that one step takes
// about kTarget: a fixed size would be a few milliseconds on a fast disk and seconds on a USB 2
// stick. Starts small (the first step of a slow medium must not take long either), and never
// grows by more than four times at once, so that one step on a cache that fills and then stalls
// cannot take much longer than the target.
class CopyPace {
  public:
    static constexpr std::uint64_t kTargetMs = 250;
    CopyPace(std::uint64_t smallest, std::uint64_t largest);
    // The bytes the next step should move.
    std::uint64_t Next() const { return m_step; }
    // Reports that a step moved bytes; the time since the last report (or since construction)
    // is what it took.
    void Took(std::uint64_t bytes);

  private:
    std::uint64_t m_smallest;
    std::uint64_t m_largest;
    std::uint64_t m_step;
    std::int64_t m_startedNs;
};

// How the file system of this machine copies: in the kernel where both files allow it, or always
// through the buffer (the benchmark measures both; where the kernel cannot, the buffer takes over).
enum class CopyMethod { KernelWherePossible, Buffered };

// The file system of this machine. The program makes one at start-up and hands it down.
std::unique_ptr<FileSystem> MakeSystemFileSystem(
    CopyMethod method = CopyMethod::KernelWherePossible);

}  // namespace olvo
