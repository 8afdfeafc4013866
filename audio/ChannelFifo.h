// A bounded single-producer single-consumer queue of 16-bit samples: the CPU
// thread pushes, the sound device's thread pops. No lock and no allocation
// after construction, so the device callback can use it.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

class ChannelFifo {
public:
    // Comfortably above the largest top-up (32,000 samples on an empty queue).
    static constexpr uint32_t Capacity = 65536; // samples, a power of two

    ChannelFifo() : ring_(new int16_t[Capacity]) {} // only written samples are read
    ChannelFifo(const ChannelFifo&) = delete;
    ChannelFifo& operator=(const ChannelFifo&) = delete;

    // Producer side. Returns the samples stored; the rest is dropped.
    size_t Write(const int16_t* samples, size_t count) {
        const uint32_t w = write_.load(std::memory_order_relaxed);
        const uint32_t r = read_.load(std::memory_order_acquire);
        const size_t n = std::min<size_t>(count, Capacity - (w - r));
        const uint32_t at = w & (Capacity - 1);
        const size_t first = std::min<size_t>(n, Capacity - at);
        std::memcpy(ring_.get() + at, samples, first * sizeof(int16_t));
        std::memcpy(ring_.get(), samples + first, (n - first) * sizeof(int16_t));
        write_.store(w + static_cast<uint32_t>(n), std::memory_order_release);
        return n;
    }

    // Consumer side. Adds up to `count` samples into out[0], out[stride], ...
    // and returns how many there were (the caller treats the rest as silence).
    size_t AddTo(int32_t* out, size_t stride, size_t count) {
        const uint32_t r = read_.load(std::memory_order_relaxed);
        const uint32_t w = write_.load(std::memory_order_acquire);
        const size_t n = std::min<size_t>(count, w - r);
        for (size_t i = 0; i < n; ++i)
            out[i * stride] += ring_[(r + i) & (Capacity - 1)];
        read_.store(r + static_cast<uint32_t>(n), std::memory_order_release);
        return n;
    }

    // Copies the samples waiting, oldest first, without taking them; for a
    // save state, with the consumer still.
    size_t Peek(int16_t* out, size_t max) const {
        const uint32_t r = read_.load(std::memory_order_acquire);
        const size_t n = std::min<size_t>(max, write_.load(std::memory_order_acquire) - r);
        for (size_t i = 0; i < n; ++i) out[i] = ring_[(r + i) & (Capacity - 1)];
        return n;
    }
    // Empties the queue; only while neither side runs.
    void Clear() { read_.store(write_.load(std::memory_order_acquire), std::memory_order_release); }

    // Samples written and not yet consumed (either side may ask).
    uint32_t Count() const {
        return write_.load(std::memory_order_acquire) - read_.load(std::memory_order_acquire);
    }

private:
    std::unique_ptr<int16_t[]> ring_;
    std::atomic<uint32_t> write_{0};
    std::atomic<uint32_t> read_{0};
};
