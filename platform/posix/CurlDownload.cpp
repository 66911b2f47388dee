#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>

#include "platform/Download.h"

namespace olvo {
namespace {

using Clock = std::chrono::steady_clock;

// What the callbacks share during one transfer.
struct Transfer {
    int fd = -1;
    std::uint64_t received = 0;
    std::uint64_t maxBytes = 0;
    bool writeFailed = false;
    Clock::time_point lastProgress = Clock::now();
    std::chrono::milliseconds stallTime{0};
};

std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const std::size_t total = size * count;
    t.lastProgress = Clock::now();
    t.received += total;
    if (t.maxBytes != 0 && t.received > t.maxBytes) return 0;  // curl then fails the transfer
    std::size_t done = 0;
    while (done < total) {
        const ssize_t n = ::write(t.fd, data + done, total - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            t.writeFailed = true;
            return 0;
        }
        done += static_cast<std::size_t>(n);
    }
    return total;
}

// Header lines are progress too: a slow server may take its time before the body.
std::size_t ReceiveHeader(char*, std::size_t size, std::size_t count, void* user) {
    static_cast<Transfer*>(user)->lastProgress = Clock::now();
    return size * count;
}

// Called about once a second even when nothing arrives; a non-zero answer aborts the transfer.
int CheckStall(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto& t = *static_cast<Transfer*>(user);
    return Clock::now() - t.lastProgress > t.stallTime ? 1 : 0;
}

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

// Removes the temporary file unless it was renamed into place.
struct TemporaryFile {
    std::string path;
    int fd = -1;
    bool kept = false;
    ~TemporaryFile() {
        if (fd >= 0) ::close(fd);
        if (!kept && !path.empty()) ::unlink(path.c_str());
    }
};

bool Download(const std::string& url, const std::string& localPath, const DownloadLimits& limits) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) return false;

    TemporaryFile temp;
    std::string pattern = localPath + ".XXXXXX";
    temp.fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (temp.fd < 0) return false;
    temp.path = pattern;

    Transfer transfer;
    transfer.fd = temp.fd;
    transfer.maxBytes = limits.maxBytes;
    transfer.stallTime = limits.stallTime;

    CURL* c = curl.get();
    const long connectMs = static_cast<long>(limits.stallTime.count());
    bool set = curl_easy_setopt(c, CURLOPT_URL, url.c_str()) == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_MAXREDIRS, 10L) == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, connectMs) == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, WriteBody) == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer) == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, ReceiveHeader) == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_HEADERDATA, &transfer) == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, CheckStall) == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_XFERINFODATA, &transfer) == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L) == CURLE_OK;
    if (!set) return false;
    if (limits.maxBytes != 0)
        curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));

    transfer.lastProgress = Clock::now();
    if (curl_easy_perform(c) != CURLE_OK || transfer.writeFailed) return false;
    long status = 0;
    if (curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) return false;
    if (status < 200 || status > 299) return false;

    // The file must be whole on the disk before it takes the real name.
    if (::fsync(temp.fd) != 0) return false;
    const int fd = temp.fd;
    temp.fd = -1;
    if (::close(fd) != 0) return false;
    if (::rename(temp.path.c_str(), localPath.c_str()) != 0) return false;
    temp.kept = true;
    return true;
}

}  // namespace

bool DownloadUrlToFile(const std::string& url, const std::string& localPath,
                       const DownloadLimits& limits) {
    try {
        return Download(url, localPath, limits);
    } catch (const std::bad_alloc&) {  // a name or an address that memory cannot hold
        return false;
    } catch (const std::system_error&) {  // the library's one-time set-up could not run
        return false;
    }
}

}  // namespace olvo
