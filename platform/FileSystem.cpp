#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>
#include <utility>
#include <vector>

namespace olvo {

std::string SystemErrorText(int code) {
    switch (code) {
        case ENOENT:
            return "File not found";
        case EACCES:
        case EPERM:
        case EROFS:
            return "File access denied";
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
            return "Disk full";
        default:
            return "I/O error " + std::to_string(code);
    }
}

void ThrowSystemError(int code) {
    // An errno value on every platform, where the system's own codes may mean another thing.
    throw FileError(SystemErrorText(code), code, std::generic_category().message(code));
}

CopyPace::CopyPace(std::uint64_t smallest, std::uint64_t largest)
    : m_smallest(smallest),
      m_largest(std::max(largest, smallest)),
      m_step(smallest),
      m_startedNs(std::chrono::duration_cast<std::chrono::nanoseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count()) {}

void CopyPace::Took(std::uint64_t bytes) {
    const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
    const auto elapsed = static_cast<std::uint64_t>(std::max<std::int64_t>(now - m_startedNs, 1));
    m_startedNs = now;
    if (bytes == 0) return;
    // bytes * target / elapsed, in long double: a fast step of many bytes must not overflow.
    const long double ideal = static_cast<long double>(bytes) * (kTargetMs * 1000000.0L) /
                              static_cast<long double>(elapsed);
    const long double bounded = std::min<long double>(ideal, static_cast<long double>(m_step) * 4);
    m_step = std::clamp(static_cast<std::uint64_t>(bounded), m_smallest, m_largest);
}

std::uint64_t BufferedCopy(InputFile& from, OutputFile& to, std::uint64_t limit,
                           const std::function<void(std::uint64_t)>& progress) {
    // One buffer a step: 60 KiB take 12 ms at 5 MB/s, so progress comes often enough on any
    // medium a person would use; only the kernel's larger steps need pacing.
    std::vector<char> buffer(kCopyBufferSize);
    std::uint64_t done = 0;
    while (done < limit) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), limit - done));
        std::size_t got = 0;
        try {
            got = from.Read(buffer.data(), want);
        } catch (const FileError& e) {
            throw CopyError(CopyError::Side::Read, e.Code());
        }
        if (got == 0) break;
        try {
            to.Write(buffer.data(), got);
        } catch (const FileError& e) {
            throw CopyError(CopyError::Side::Write, e.Code());
        }
        done += got;
        if (progress) progress(done);
        if (got < want) break;
    }
    return done;
}

void OutputFile::Truncate(std::uint64_t) {
    ThrowSystemError(ENOSYS);
}

std::optional<FileEntry> FileSystem::Find(const std::string& path) {
    auto info = Lookup(path);
    if (!info || info->kind == FileKind::Link) return std::nullopt;
    return FileEntry{info->size, std::move(info->storedName), info->kind == FileKind::Folder};
}

bool FileSystem::FileExists(const std::string& path) {
    const auto info = Lookup(path);
    return info && info->kind == FileKind::File;
}

std::optional<FileIdentity> FileSystem::Identity(const std::string& path) {
    const auto info = Lookup(path);
    return info ? info->identity : std::nullopt;
}

bool FileSystem::Occupied(const std::string& path) {
    return Lookup(path).has_value();
}

}  // namespace olvo
