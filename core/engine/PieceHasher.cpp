#include "core/engine/PieceHasher.h"

#include <algorithm>
#include <vector>

namespace olvo {
namespace {

// Large enough that a read costs little beside the hashing, small enough to stay in the
// processor's cache between the read that fills it and the hashing that reads it.
constexpr std::size_t kHashBuffer = 64 * 1024;

PieceHasher::Result Hash(InputFile& file, std::uint64_t length, std::vector<char>& buffer,
                         const std::atomic<bool>* stop) {
    Sha256 sha;
    PieceHasher::Result result;
    while (result.bytes < length && !(stop && *stop)) {
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), length - result.bytes));
        std::size_t got = 0;
        try {
            got = file.Read(buffer.data(), want);
        } catch (const FileError& error) {
            throw CopyError(CopyError::Side::Read, error.Code());
        }
        sha.Update(buffer.data(), got);
        result.bytes += got;
        if (got < want) break;
    }
    result.digest = sha.Finish();
    return result;
}

}  // namespace

PieceHasher::Result HashFile(InputFile& file, std::uint64_t length) {
    std::vector<char> buffer(kHashBuffer);
    return Hash(file, length, buffer, nullptr);
}

PieceHasher::~PieceHasher() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void PieceHasher::Start(std::shared_ptr<InputFile> file, std::uint64_t length) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_file = std::move(file);
        m_length = length;
        m_error = nullptr;
        m_busy = true;
    }
    if (!m_thread.joinable()) {
        // Allocated here, so that the thread never needs a heap of its own.
        m_buffer.resize(kHashBuffer);
        m_thread = std::thread([this] { Run(); });
    }
    m_changed.notify_all();
}

PieceHasher::Result PieceHasher::Wait() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_busy; });
    m_file.reset();
    if (m_error) std::rethrow_exception(m_error);
    return m_result;
}

void PieceHasher::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || m_busy; });
        if (m_stop) return;
        std::shared_ptr<InputFile> file = m_file;
        const std::uint64_t length = m_length;
        lock.unlock();
        Result result;
        std::exception_ptr error;
        try {
            result = Hash(*file, length, m_buffer, &m_stop);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        m_result = result;
        m_error = error;
        m_busy = false;
        m_changed.notify_all();
    }
}

}  // namespace olvo
