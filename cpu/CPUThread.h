// The worker thread that runs the machine in slices (300,000 T-states each),
// starting a slice at most once every 15 ms, and parks it on request.
#pragma once

#include <atomic>
#include <thread>

// Whatever the thread runs: one slice of the machine per call.
class SliceRunner {
public:
    virtual void RunSlice() = 0;
    // True while slices should follow each other without the 15 ms pace
    // (fast-forward).
    virtual bool Unthrottled() const { return false; }

protected:
    ~SliceRunner() = default;
};

class Z80Thread {
public:
    static constexpr unsigned SlicePeriodMs = 15;
    static constexpr unsigned PausePollMs = 10;

    // Created suspended: nothing runs until Start.
    explicit Z80Thread(SliceRunner* machine);
    // Requests termination and waits for the thread to end.
    ~Z80Thread();

    void Start();
    void SetPaused(bool paused);
    bool IsPauseAcknowledged() const { return pauseAcknowledged.load(std::memory_order_acquire); }
    // Asks the loop to end after the current slice or pause sleep and waits for it.
    void Terminate();
    // Number of slices run so far (for tests and the benchmark).
    unsigned SliceCount() const { return slices.load(std::memory_order_relaxed); }

private:
    void Execute();

    SliceRunner* machine;
    std::thread thread;
    std::atomic<bool> terminateRequested{false};
    std::atomic<bool> pauseRequest{false};
    std::atomic<bool> pauseAcknowledged{false};
    std::atomic<unsigned> slices{0};
};

// The host's millisecond tick count (monotonic) and sleep.
unsigned TickCountMs();
void SleepMs(unsigned ms);
// Names the calling thread for debuggers, and raises its priority one step
// where the host allows it; either may fail silently.
void NameCurrentThread(const char* name);
void RaiseCurrentThreadPriority();
