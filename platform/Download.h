#pragma once
// Fetching a web address into a local file. The POSIX implementation uses libcurl; the update
// check reaches it through DownloadFunction, so tests and other platforms can put their own in.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace olvo {

struct DownloadLimits {
    // A download during which nothing arrives (no connection made, no byte of the answer) for this
    // long fails. A server that accepts and never answers would otherwise hold us for ever.
    std::chrono::milliseconds stallTime = std::chrono::seconds(30);
    // An answer longer than this many bytes fails; 0 allows any length.
    std::uint64_t maxBytes = 0;
};

// Downloads url into localPath, synchronously, following redirects (http and https only).
// True only when the whole answer arrived with a final status of 2xx and now stands in localPath,
// which it replaced if it existed (the new file readable and writable by its owner only). On
// false, localPath is as it was before: the answer is received into a temporary file beside it
// and renamed into place only when complete. Never raises.
bool DownloadUrlToFile(const std::string& url, const std::string& localPath,
                       const DownloadLimits& limits = {});

// The seam: download (url, localPath), true on success, with the contract above.
using DownloadFunction = std::function<bool(const std::string& url, const std::string& localPath)>;

}  // namespace olvo
