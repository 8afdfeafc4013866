// A copy of what the sound device plays, for recording it: the device's
// thread writes the stereo frames it has mixed, another thread reads them.
// Lock-free and allocation-free on the device's side.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

class AudioTap {
public:
    // About 20 seconds of 48 kHz stereo: the reader drains it far more often.
    static constexpr uint32_t Capacity = 1u << 21; // samples, a power of two

    AudioTap() : ring_(new int16_t[Capacity]()) {}
    AudioTap(const AudioTap&) = delete;
    AudioTap& operator=(const AudioTap&) = delete;

    // Device side: interleaved left/right frames. What does not fit is
    // dropped and counted.
    void Write(const int16_t* stereo, size_t frames) {
        const uint32_t w = write_.load(std::memory_order_relaxed);
        const uint32_t r = read_.load(std::memory_order_acquire);
        const size_t want = frames * 2;
        const size_t n = std::min<size_t>(want, Capacity - (w - r)) & ~size_t{1};
        for (size_t i = 0; i < n; ++i) ring_[(w + i) & (Capacity - 1)] = stereo[i];
        write_.store(w + static_cast<uint32_t>(n), std::memory_order_release);
        if (n < want) dropped_.fetch_add((want - n) / 2, std::memory_order_relaxed);
    }
    // Reader side: up to `max` samples (whole frames); returns how many.
    size_t Read(int16_t* out, size_t max) {
        const uint32_t r = read_.load(std::memory_order_relaxed);
        const uint32_t w = write_.load(std::memory_order_acquire);
        const size_t n = std::min<size_t>(max, w - r) & ~size_t{1};
        for (size_t i = 0; i < n; ++i) out[i] = ring_[(r + i) & (Capacity - 1)];
        read_.store(r + static_cast<uint32_t>(n), std::memory_order_release);
        return n;
    }
    uint64_t DroppedFrames() const { return dropped_.load(std::memory_order_relaxed); }

private:
    std::unique_ptr<int16_t[]> ring_;
    std::atomic<uint32_t> write_{0};
    std::atomic<uint32_t> read_{0};
    std::atomic<uint64_t> dropped_{0};
};
