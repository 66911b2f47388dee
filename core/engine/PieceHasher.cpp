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
        } catch (const std::exception&) {  // the hashing thread's failure is the caller's

            error = std::current_exception();
        }
        lock.lock();
        m_result = result;
        m_error = error;
        m_busy = false;
        m_changed.notify_all();
    }
}

WrittenHasher::WrittenHasher(std::shared_ptr<InputFile> file)
    : m_file(std::move(file)), m_buffer(kHashBuffer) {
    m_thread = std::thread([this] { Run(); });
}

WrittenHasher::~WrittenHasher() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void WrittenHasher::PieceEnds(std::uint64_t end) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ends.push_back(end);
    m_changed.notify_all();
}

void WrittenHasher::Written(std::uint64_t end) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_written = end;
    m_changed.notify_all();
}

std::optional<PieceHasher::Result> WrittenHasher::Next(bool wait) {
    std::unique_lock<std::mutex> lock(m_mutex);
    // Done waiting once a digest is there, or none can come until more is written.
    const auto settled = [this] {
        return !m_results.empty() || m_error || m_ends.empty() || m_position >= m_written;
    };
    if (wait) m_changed.wait(lock, settled);
    if (m_error) std::rethrow_exception(m_error);
    if (m_results.empty()) return std::nullopt;
    const PieceHasher::Result result = m_results.front();
    m_results.pop_front();
    return result;
}

void WrittenHasher::Rewind(std::uint64_t offset) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_rewind = offset;
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return !m_rewind; });
}

void WrittenHasher::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] {
            return m_stop || m_rewind || (!m_error && !m_ends.empty() && m_position < m_written);
        });
        if (m_stop) return;
        if (m_rewind) {
            // Only this thread reads the file and feeds the hash, so both are reset here.
            m_position = m_pieceStart = m_written = *m_rewind;
            m_ends.clear();
            m_results.clear();
            m_sha.Finish();
            m_error = nullptr;
            try {
                m_file->Seek(m_position);
            } catch (const std::exception&) {  // raised on the thread that waits for a hash

                m_error = std::current_exception();
            }
            m_rewind.reset();
            m_changed.notify_all();
            continue;
        }
        HashStep(lock);
    }
}

bool WrittenHasher::HashStep(std::unique_lock<std::mutex>& lock) {
    const std::uint64_t limit = std::min(m_written, m_ends.front());
    const auto want =
        static_cast<std::size_t>(std::min<std::uint64_t>(m_buffer.size(), limit - m_position));
    lock.unlock();
    std::size_t got = 0;
    std::exception_ptr error;
    try {
        got = m_file->Read(m_buffer.data(), want);
        m_sha.Update(m_buffer.data(), got);
        // The writer said these bytes are there: a file that ends first was cut behind its back.
        if (got < want) throw CopyError(CopyError::Side::Read, 0);
    } catch (const FileError& e) {
        error = std::make_exception_ptr(CopyError(CopyError::Side::Read, e.Code()));
    } catch (const std::exception&) {  // raised on the thread that waits for a hash

        error = std::current_exception();
    }
    lock.lock();
    m_position += got;
    if (!error && m_position == m_ends.front()) {
        m_results.push_back({m_sha.Finish(), m_position - m_pieceStart});
        m_pieceStart = m_position;
        m_ends.pop_front();
    }
    m_error = error;
    m_changed.notify_all();
    return !error;
}

}  // namespace olvo
