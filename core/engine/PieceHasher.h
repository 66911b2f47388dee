#pragma once
// SHA-256 of a piece on a thread of its own, beside the copy of the same bytes: the copy stays in
// the kernel, and this thread reads the bytes again (from the page cache) to hash them.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
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

// SHA-256 of the pieces of a file as it is being written, read back from the file itself on a
// thread of its own: what is vouched for is what the file holds, whatever the pieces did while
// they were copied. The writer says where the next piece ends and how far the file is written;
// the thread follows one copy step behind and hands out each piece's digest in order.
class WrittenHasher {
  public:
    // file reads the file being written, from its start.
    explicit WrittenHasher(std::shared_ptr<InputFile> file);
    ~WrittenHasher();
    WrittenHasher(const WrittenHasher&) = delete;
    WrittenHasher& operator=(const WrittenHasher&) = delete;

    // The next piece ends at offset end of the file.
    void PieceEnds(std::uint64_t end);
    // The file holds its bytes up to offset end, readable from another handle.
    void Written(std::uint64_t end);
    // The digest of the oldest piece not handed out yet: waits for it when wait is set, else
    // nothing when it is not ready. Nothing either when no piece is outstanding. Raises what
    // reading the file raised, and CopyError (read) when the file holds fewer bytes than said.
    std::optional<PieceHasher::Result> Next(bool wait);
    // The file was cut back to offset, a piece boundary: everything past it is forgotten and the
    // hashing goes on from there.
    void Rewind(std::uint64_t offset);

  private:
    void Run();
    bool HashStep(std::unique_lock<std::mutex>& lock);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::shared_ptr<InputFile> m_file;
    std::deque<std::uint64_t> m_ends;
    std::deque<PieceHasher::Result> m_results;
    std::uint64_t m_written = 0;
    std::uint64_t m_position = 0;  // bytes read and hashed
    std::uint64_t m_pieceStart = 0;
    std::optional<std::uint64_t> m_rewind;
    bool m_stop = false;
    std::exception_ptr m_error;
    std::vector<char> m_buffer;
    Sha256 m_sha;
    std::thread m_thread;
};

// Hashes length bytes of file from its current position on the calling thread.
PieceHasher::Result HashFile(InputFile& file, std::uint64_t length);

}  // namespace olvo
