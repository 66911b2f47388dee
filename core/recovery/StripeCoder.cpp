#include "core/recovery/StripeCoder.h"

#include <algorithm>
#include <cstring>

namespace olvo {
namespace {
constexpr std::size_t kAlign = 64;
constexpr std::size_t kMaxStripe = 1 << 20;
constexpr std::size_t kStripeBudget = 40 << 20;
// The multiply-add is cut into parts this large so both threads share every output.
constexpr std::size_t kPart = 256 << 10;
}  // namespace

WorkPool::WorkPool() {
    m_thread = std::thread([this] { Helper(); });
}

WorkPool::~WorkPool() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void WorkPool::Work() {
    std::unique_lock lock(m_mutex);
    while (m_next < m_count) {
        const std::size_t index = m_next++;
        lock.unlock();
        try {
            (*m_task)(index);
        } catch (const std::exception&) {  // a task's failure is raised on the pool's caller

            lock.lock();
            if (!m_error) m_error = std::current_exception();
            m_next = m_count;
            continue;
        }
        lock.lock();
    }
}

void WorkPool::Helper() {
    std::uint64_t seen = 0;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_stop || m_round != seen; });
        if (m_stop) return;
        seen = m_round;
        ++m_running;
        lock.unlock();
        Work();
        lock.lock();
        --m_running;
        m_changed.notify_all();
    }
}

void WorkPool::Run(std::size_t count, const std::function<void(std::size_t)>& task) {
    {
        std::lock_guard lock(m_mutex);
        m_task = &task;
        m_count = count;
        m_next = 0;
        m_error = nullptr;
        ++m_round;
    }
    m_changed.notify_all();
    Work();
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_running == 0 && m_next >= m_count; });
    m_task = nullptr;
    if (m_error) std::rethrow_exception(m_error);
}

AlignedBuffer::AlignedBuffer(std::size_t size) : m_storage(new std::uint8_t[size + kAlign]) {
    const auto address = reinterpret_cast<std::uintptr_t>(m_storage.get());
    m_data = m_storage.get() + (kAlign - address % kAlign) % kAlign;
}

StripeCoder::StripeCoder(std::vector<std::vector<GfWord>> factors, std::size_t stripeBytes)
    : m_factors(std::move(factors)),
      m_inputCount(m_factors.empty() ? 0 : m_factors.front().size()),
      m_stripe(stripeBytes),
      m_inputs(m_inputCount * stripeBytes),
      m_outputs(m_factors.size() * stripeBytes) {}

void StripeCoder::Code(std::uint64_t length, const Fill& fill, const Fill& flush,
                       const std::function<void(std::uint64_t)>& done) {
    const std::size_t outputs = m_factors.size();
    std::uint64_t flushAt = 0;
    std::size_t pending = 0;  // bytes of the outputs' stripe at flushAt not yet flushed
    for (std::uint64_t offset = 0; offset < length; offset += m_stripe) {
        const auto bytes =
            static_cast<std::size_t>(std::min<std::uint64_t>(m_stripe, length - offset));
        m_pool.Run(m_inputCount + (pending ? outputs : 0), [&](std::size_t task) {
            if (task < m_inputCount) return fill(task, offset, bytes);
            flush(task - m_inputCount, flushAt, pending);
        });
        done(offset + bytes);
        Multiply();
        flushAt = offset;
        pending = bytes;
    }
    if (pending) m_pool.Run(outputs, [&](std::size_t o) { flush(o, flushAt, pending); });
}

void StripeCoder::Multiply() {
    const std::size_t parts = (m_stripe + kPart - 1) / kPart;
    m_pool.Run(m_factors.size() * parts, [&](std::size_t task) {
        const std::size_t o = task / parts;
        const std::size_t begin = task % parts * kPart;
        const std::size_t bytes = std::min(kPart, m_stripe - begin);
        std::uint8_t* out = m_outputs.Data() + o * m_stripe + begin;
        std::memset(out, 0, bytes);
        for (std::size_t i = 0; i < m_inputCount; ++i)
            GfMultiplyAdd(Input(i) + begin, out, m_factors[o][i], bytes);
    });
}

std::size_t StripeBytesFor(std::size_t stripes, std::uint64_t sliceSize) {
    std::size_t bytes = std::min(kMaxStripe, kStripeBudget / std::max<std::size_t>(stripes, 1));
    bytes = std::max(kAlign, bytes / kAlign * kAlign);
    const std::uint64_t needed = (sliceSize + kAlign - 1) / kAlign * kAlign;
    return static_cast<std::size_t>(std::min<std::uint64_t>(bytes, needed));
}

}  // namespace olvo
