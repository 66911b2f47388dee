// Downloads through WinINet, which follows redirects itself and honours the system's proxy
// settings. The answer goes to a temporary file beside the target and replaces it only when it
// arrived whole with a 2xx status.

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <string_view>

#include "platform/Download.h"
#include "platform/OwnedHandle.h"
#include "platform/Text.h"

namespace olvo {
namespace {

void CloseInternetHandle(HINTERNET handle) {
    ::InternetCloseHandle(handle);
}

// An Internet session or request, closed when it goes.
using InternetHandle = OwnedHandle<HINTERNET, nullptr, CloseInternetHandle>;

bool WriteAll(HANDLE file, const char* data, DWORD size) {
    while (size > 0) {
        DWORD done = 0;
        if (!::WriteFile(file, data, size, &done, nullptr) || done == 0) return false;
        data += done;
        size -= done;
    }
    return true;
}

// Receives the answer into the open file; false on a failed status, a stall, a write error or an
// answer beyond the limit.
bool Receive(const std::string& url, HANDLE file, const DownloadLimits& limits) {
    InternetHandle session(::InternetOpenA("Kestrava File Splitter", INTERNET_OPEN_TYPE_PRECONFIG,
                                           nullptr, nullptr, 0));
    if (session.Get() == nullptr) return false;
    // WinINet has no stall timer; its connect and receive timeouts bound each wait instead.
    DWORD timeout =
        static_cast<DWORD>(std::clamp<long long>(limits.stallTime.count(), 1, MAXDWORD));
    ::InternetSetOptionA(session.Get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    ::InternetSetOptionA(session.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    ::InternetSetOptionA(session.Get(), INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof timeout);

    InternetHandle request(::InternetOpenUrlA(session.Get(), url.c_str(), nullptr, 0,
                                              INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                                  INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES,
                                              0));
    if (request.Get() == nullptr) return false;

    DWORD status = 0;
    DWORD statusSize = sizeof status;
    if (!::HttpQueryInfoA(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                          &statusSize, nullptr) ||
        status < 200 || status > 299)
        return false;
    // A redirect may have led elsewhere; only the web's own schemes are fetched.
    char finalUrl[INTERNET_MAX_URL_LENGTH];
    DWORD finalSize = sizeof finalUrl;
    if (::InternetQueryOptionA(request.Get(), INTERNET_OPTION_URL, finalUrl, &finalSize) &&
        !StartsWithNoCase(finalUrl, "http://") && !StartsWithNoCase(finalUrl, "https://"))
        return false;

    std::uint64_t received = 0;
    char buffer[16384];
    for (;;) {
        DWORD got = 0;
        if (!::InternetReadFile(request.Get(), buffer, sizeof buffer, &got)) return false;
        if (got == 0) return true;
        received += got;
        if (limits.maxBytes != 0 && received > limits.maxBytes) return false;
        if (!WriteAll(file, buffer, got)) return false;
    }
}

}  // namespace

bool DownloadUrlToFile(const std::string& url, const std::string& localPath,
                       const DownloadLimits& limits) {
    if (!StartsWithNoCase(url, "http://") && !StartsWithNoCase(url, "https://")) return false;
    const std::size_t slash = localPath.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? "." : localPath.substr(0, slash + 1);
    char temporary[MAX_PATH];
    if (::GetTempFileNameA(folder.c_str(), "olv", 0, temporary) == 0) return false;
    bool done = false;
    {
        const HANDLE file = ::CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            done = Receive(url, file, limits) && ::FlushFileBuffers(file);
            done = ::CloseHandle(file) && done;
        }
    }
    done = done && ::MoveFileExA(temporary, localPath.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!done) ::DeleteFileA(temporary);
    return done;
}

}  // namespace olvo
