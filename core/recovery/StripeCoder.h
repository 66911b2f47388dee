#pragma once
// The loop under creating and rebuilding: every output is a fixed linear combination over
// GF(2^16) of the inputs, computed a stripe at a time (the same byte range of every input), so
// that memory holds one stripe of each input and output and never a whole slice. Creating uses
// the powers of the input constants as the factors; rebuilding the inverse of the lost slices'
// matrix. The caller fills each input's stripe (and hashes it) in a callback that runs on two
// threads; the multiply-add runs on both too.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/recovery/Gf16.h"

namespace olvo {

// Runs count tasks on the calling thread and one helper thread, and waits for them all; the
// first exception a task raised is raised again.
class WorkPool {
  public:
    WorkPool();
    ~WorkPool();
    WorkPool(const WorkPool&) = delete;
    WorkPool& operator=(const WorkPool&) = delete;

    void Run(std::size_t count, const std::function<void(std::size_t)>& task);

  private:
    void Helper();
    void Work();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    const std::function<void(std::size_t)>* m_task = nullptr;
    std::size_t m_count = 0;
    std::size_t m_next = 0;
    std::size_t m_running = 0;
    std::uint64_t m_round = 0;
    bool m_stop = false;
    std::exception_ptr m_error;
    // Last, and started in the constructor's body: the helper reads every member above from its
    // first instruction, so they must all hold their values before it runs.
    std::thread m_thread;
};

// A buffer aligned for the vector code.
class AlignedBuffer {
  public:
    explicit AlignedBuffer(std::size_t size);
    std::uint8_t* Data() { return m_data; }
    const std::uint8_t* Data() const { return m_data; }

  private:
    std::unique_ptr<std::uint8_t[]> m_storage;
    std::uint8_t* m_data = nullptr;
};

class StripeCoder {
  public:
    // factors[o][i] is what input i is multiplied by in output o. stripeBytes is even.
    StripeCoder(std::vector<std::vector<GfWord>> factors, std::size_t stripeBytes);

    std::size_t StripeBytes() const { return m_stripe; }
    // The stripe of input i, for fill to write into; of output o, after Compute.
    std::uint8_t* Input(std::size_t i) { return m_inputs.Data() + i * m_stripe; }
    const std::uint8_t* Output(std::size_t o) const { return m_outputs.Data() + o * m_stripe; }

    // Codes length bytes of every input a stripe at a time. fill(i, offset, bytes) fills all
    // StripeBytes of Input(i) with the input's bytes from offset (bytes of them, zeros after);
    // then every output's stripe is computed. flush(o, offset, bytes) takes Output(o) away: it
    // runs beside the next stripe's filling, while the outputs still hold their stripe, so
    // neither thread waits on the other's hashing. done(end) follows each stripe's filling
    // (to raise a stop); the last flush comes after the last stripe.
    using Fill = std::function<void(std::size_t, std::uint64_t, std::size_t)>;
    void Code(std::uint64_t length, const Fill& fill, const Fill& flush,
              const std::function<void(std::uint64_t)>& done);

  private:
    // Every output's stripe from the inputs' stripes, both threads on every output.
    void Multiply();

    std::vector<std::vector<GfWord>> m_factors;
    std::size_t m_inputCount = 0;
    std::size_t m_stripe = 0;
    AlignedBuffer m_inputs;
    AlignedBuffer m_outputs;
    WorkPool m_pool;
};

// The stripe for inputs and outputs stripes at once within a memory budget: at most 1 MiB, at
// least 64 bytes, a multiple of 64, and no more than the slice size needs.
std::size_t StripeBytesFor(std::size_t stripes, std::uint64_t sliceSize);

}  // namespace olvo
