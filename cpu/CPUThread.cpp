#include "cpu/CPUThread.h"

#include <chrono>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>


unsigned TickCountMs() {
    using namespace std::chrono;
    return static_cast<unsigned>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SleepMs(unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void NameCurrentThread(const char* name) { pthread_setname_np(pthread_self(), name); }

void RaiseCurrentThreadPriority() {
    // One step above normal: a lower nice value for this thread. Unprivileged
    // processes are usually refused, which is fine.
    const int current = getpriority(PRIO_PROCESS, 0);
    (void)setpriority(PRIO_PROCESS, 0, current - 1);
}

Z80Thread::Z80Thread(SliceRunner* owner) : machine(owner) {}

Z80Thread::~Z80Thread() { Terminate(); }

void Z80Thread::Start() {
    if (!thread.joinable()) thread = std::thread(&Z80Thread::Execute, this);
}

void Z80Thread::SetPaused(bool paused) {
    pauseAcknowledged.store(false, std::memory_order_release);
    pauseRequest.store(paused, std::memory_order_release);
}

void Z80Thread::Terminate() {
    terminateRequested.store(true, std::memory_order_release);
    if (thread.joinable()) thread.join();
}

void Z80Thread::Execute() {
    NameCurrentThread("MainCPU");
    RaiseCurrentThreadPriority();
    while (!terminateRequested.load(std::memory_order_acquire)) {
        if (pauseRequest.load(std::memory_order_acquire)) {
            pauseAcknowledged.store(true, std::memory_order_release);
            SleepMs(PausePollMs);
            continue;
        }
        const unsigned t0 = TickCountMs();
        try {
            machine->RunSlice();
        } catch (...) {
            // A device that throws loses its slice, nothing more.
        }
        slices.fetch_add(1, std::memory_order_relaxed);
        const unsigned elapsed = TickCountMs() - t0;
        if (elapsed < SlicePeriodMs && !machine->Unthrottled()) SleepMs(SlicePeriodMs - elapsed);
    }
}
