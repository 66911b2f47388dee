#pragma once
// SHA-256 of a piece on a thread of its own, beside the copy of the same bytes: the copy stays in
// the kernel, and this thread reads the bytes again (from the page cache) to hash them.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Sha256.h"

namespace olvo {

class PieceHasher {
  public:
    struct Result {
        Sha256Digest digest{};
        std::uint64_t bytes = 0;  // fewer than asked only when the file ended first
    };

    PieceHasher() = default;
    // Stops the hashing in progress and waits for the thread.
    ~PieceHasher();
    PieceHasher(const PieceHasher&) = delete;
    PieceHasher& operator=(const PieceHasher&) = delete;

    // Hashes length bytes of file from its current position. One piece at a time: the one
    // started before must have been waited for.
    void Start(std::shared_ptr<InputFile> file, std::uint64_t length);
    // The digest of the piece last started; raises what reading it raised.
    Result Wait();

  private:
    void Run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    bool m_busy = false;
    std::shared_ptr<InputFile> m_file;
    std::uint64_t m_length = 0;
    Result m_result;
    std::exception_ptr m_error;
    std::vector<char> m_buffer;
};

// Hashes length bytes of file from its current position on the calling thread.
PieceHasher::Result HashFile(InputFile& file, std::uint64_t length);

}  // namespace olvo
