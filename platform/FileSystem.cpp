#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
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
    throw FileError(SystemErrorText(code), code);
}

std::uint64_t FileSystem::Copy(InputFile& from, OutputFile& to, std::uint64_t limit,
                               const std::function<void(std::uint64_t)>& progress) {
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

}  // namespace olvo
