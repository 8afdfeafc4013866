// The rewind ring: snapshots of the machine, newest last, held within a byte
// budget (the oldest go first). Each entry holds the difference (XOR) between
// its state and the one before, packed: memory that did not change between
// two snapshots, which is nearly all of it, packs to almost nothing. The
// machine keeps the newest state whole and walks back from it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

class RewindRing {
public:
    struct Snapshot {
        std::vector<uint8_t> packed; // the difference to the previous state
        size_t deltaSize = 0;        // its unpacked size
        size_t previousSize = 0;     // the size of the previous state
        bool isPacked = false;
        uint64_t cycles = 0; // the emulated clock when it was taken
    };

    // delta = state XOR previous, each taken as zero past its end; `delta`
    // is as long as the longer one.
    static void Difference(const std::vector<uint8_t>& state, const std::vector<uint8_t>& previous,
                           std::vector<uint8_t>& delta);

    explicit RewindRing(size_t budgetBytes) : budget_(budgetBytes) {}

    // Keeps a snapshot, dropping the oldest while the ring is over budget
    // (but never the one just added).
    void Push(Snapshot snapshot);
    // Takes the newest out; false when the ring is empty.
    bool Pop(Snapshot& out);
    size_t Count() const;
    size_t Bytes() const;
    uint64_t SpanCycles() const;

private:
    mutable std::mutex mutex_; // the UI reads the figures while the CPU thread pushes
    std::deque<Snapshot> entries_;
    size_t bytes_ = 0;
    size_t budget_;
};

class StateCompressor;

// Processor seconds the calling thread has used: what a share of a thread's
// work is measured in, whatever else the host runs.
double ThreadCpuSeconds();

// Keeps the ring filled from states the CPU thread captures. The capture is
// all the CPU thread pays: the difference and the packing happen on a worker
// thread of its own. A state offered while the worker is still busy with the
// previous one is dropped, so nothing queues up behind a slow host.
class Rewinder {
public:
    Rewinder(StateCompressor* compressor, size_t budgetBytes);
    ~Rewinder();
    Rewinder(const Rewinder&) = delete;
    Rewinder& operator=(const Rewinder&) = delete;

    // CPU thread: takes the captured state (swapping `state` with a spare
    // buffer); false when it was dropped.
    bool Offer(std::vector<uint8_t>& state, uint64_t cycles);
    // With the processor idle: waits for the worker, puts the newest state in
    // `state` and steps the ring back one; false when the ring is empty.
    bool TakeNewest(std::vector<uint8_t>& state);
    // Waits until the worker has filed everything offered.
    void Drain();
    // Gives every buffer room for states of this size, touched, before the
    // first snapshot.
    void Prepare(size_t bytes);

    // Processor seconds the worker took for the latest snapshot (difference and
    // packing), so that the machine can count it against its share.
    double LastWorkSeconds() const { return lastWorkNs_.load(std::memory_order_relaxed) * 1e-9; }
    size_t Count() const { return ring_.Count(); }
    size_t Bytes() const { return ring_.Bytes(); }
    uint64_t SpanCycles() const { return ring_.SpanCycles(); }

private:
    void Work();

    StateCompressor* compressor_;
    RewindRing ring_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stop_ = false;
    bool hasJob_ = false;
    bool busy_ = false;
    std::vector<uint8_t> job_;
    uint64_t jobCycles_ = 0;
    // The worker's own: the newest state whole, and scratch.
    std::vector<uint8_t> newest_, current_, delta_, packed_;
    std::atomic<uint64_t> lastWorkNs_{0};
    std::thread thread_;
};
