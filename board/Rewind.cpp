#include "board/Rewind.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "cpu/CPUThread.h"
#include "host/Compressor.h"

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void RewindRing::Push(Snapshot snapshot) {
    std::lock_guard<std::mutex> lock(mutex_);
    bytes_ += snapshot.packed.size();
    entries_.push_back(std::move(snapshot));
    while (entries_.size() > 1 && bytes_ > budget_) {
        bytes_ -= entries_.front().packed.size();
        entries_.pop_front();
    }
}

bool RewindRing::Pop(Snapshot& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (entries_.empty()) return false;
    out = std::move(entries_.back());
    entries_.pop_back();
    bytes_ -= out.packed.size();
    return true;
}

size_t RewindRing::Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}

size_t RewindRing::Bytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bytes_;
}

uint64_t RewindRing::SpanCycles() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size() < 2 ? 0 : entries_.back().cycles - entries_.front().cycles;
}

void RewindRing::Difference(const std::vector<uint8_t>& state, const std::vector<uint8_t>& previous,
                            std::vector<uint8_t>& delta) {
    const size_t common = std::min(state.size(), previous.size());
    delta.resize(std::max(state.size(), previous.size()));
    // Eight bytes at a time; the compiler vectorises the loop.
    size_t i = 0;
    for (; i + 8 <= common; i += 8) {
        uint64_t a, b;
        std::memcpy(&a, state.data() + i, 8);
        std::memcpy(&b, previous.data() + i, 8);
        a ^= b;
        std::memcpy(delta.data() + i, &a, 8);
    }
    for (; i < common; ++i) delta[i] = state[i] ^ previous[i];
    const std::vector<uint8_t>& longer = state.size() > previous.size() ? state : previous;
    std::memcpy(delta.data() + common, longer.data() + common, delta.size() - common);
}

// ---------------------------------------------------------------------------

Rewinder::Rewinder(StateCompressor* compressor, size_t budgetBytes)
    : compressor_(compressor), ring_(budgetBytes), thread_(&Rewinder::Work, this) {}

Rewinder::~Rewinder() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

bool Rewinder::Offer(std::vector<uint8_t>& state, uint64_t cycles) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (hasJob_ || busy_) return false;
        job_.swap(state);
        jobCycles_ = cycles;
        hasJob_ = true;
    }
    changed_.notify_all();
    return true;
}

void Rewinder::Prepare(size_t bytes) {
    Drain();
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::vector<uint8_t>* buffer : {&job_, &current_, &delta_, &packed_}) {
        buffer->assign(bytes, 0); // touches every page
        buffer->clear();
    }
    newest_.reserve(bytes);
}

void Rewinder::Drain() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !hasJob_ && !busy_; });
}

void Rewinder::Work() {
    NameCurrentThread("Rewind");
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || hasJob_; });
        if (stop_) return;
        current_.swap(job_);
        const uint64_t cycles = jobCycles_;
        hasJob_ = false;
        busy_ = true;
        lock.unlock();

        const double started = ThreadCpuSeconds();
        RewindRing::Snapshot snapshot;
        snapshot.cycles = cycles;
        RewindRing::Difference(current_, newest_, delta_);
        snapshot.deltaSize = delta_.size();
        snapshot.previousSize = newest_.size();
        // The fastest setting: the difference is mostly zeros.
        if (compressor_ && compressor_->Compress(delta_.data(), delta_.size(), packed_, -1)) {
            snapshot.packed.assign(packed_.begin(), packed_.end()); // its size, not the bound's
            snapshot.isPacked = true;
        } else {
            snapshot.packed = delta_;
        }
        ring_.Push(std::move(snapshot));
        newest_.swap(current_);
        lastWorkNs_.store(static_cast<uint64_t>((ThreadCpuSeconds() - started) * 1e9), std::memory_order_relaxed);

        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

bool Rewinder::TakeNewest(std::vector<uint8_t>& state) {
    Drain();
    // The worker is idle and the processor too: its buffers are ours now.
    RewindRing::Snapshot snapshot;
    if (!ring_.Pop(snapshot)) return false;
    state = newest_;
    if (snapshot.isPacked) {
        if (!compressor_ ||
            !compressor_->Decompress(snapshot.packed.data(), snapshot.packed.size(), snapshot.deltaSize, delta_))
            delta_.assign(snapshot.deltaSize, 0);
    } else {
        delta_ = std::move(snapshot.packed);
    }
    // The state before the newest, worked out from the difference its entry kept.
    RewindRing::Difference(delta_, newest_, current_);
    current_.resize(snapshot.previousSize);
    newest_.swap(current_);
    return true;
}
