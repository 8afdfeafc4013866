// The user's control of a running machine: pause, frame advance, speed,
// fast-forward and rewind. Pacing belongs to the CPU thread; the display
// thread and the sound cope with whatever pace it keeps.
#include <algorithm>
#include <chrono>

#include "audio/Vexaaudio.h"
#include "board/Machine.h"
#include "board/Rewind.h"
#include "host/Compressor.h"
#include "video/Vexavideo.h"

namespace {
double HostSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
} // namespace

void Machine::SetUserPaused(bool paused) {
    // Only the UI thread changes it, so test-and-set needs no exchange loop.
    if (paused == userPaused.load(std::memory_order_acquire)) return;
    if (paused) {
        PauseCpu();
        userPaused.store(true, std::memory_order_release);
    } else {
        userPaused.store(false, std::memory_order_release);
        ResumeCpu();
    }
}

void Machine::AdvanceFrame() {
    PauseCpu();
    TVexaVideo& video = *board->Video();
    const uint64_t frame = video.FramesCompleted();
    // The slice runs to the frame's end; an instruction may run a little over,
    // and a HALT hands its time over at once, as in any slice.
    for (int guard = 0; guard < 64 && video.FramesCompleted() == frame; ++guard) {
        const int toEnd = std::max(video.CyclesToFrameEnd(), 1);
        RunCycles(static_cast<uint64_t>(toEnd));
    }
    frames.Publish(video);
    ResumeCpu();
}

// Faster than the automatic pace the sound could only fall behind or pile
// up, so it is muted (the channels play on silently in emulated time).
void Machine::SetSlicePace(int cycles) {
    slicePace.store(std::clamp(cycles, MinSlicePace, MaxSlicePace), std::memory_order_relaxed);
    board->Audio()->SetMuted(IsFastForward() || SlicePace() > SliceCycles);
}

void Machine::SetFastForward(bool on) {
    fastForward.store(on, std::memory_order_relaxed);
    board->Audio()->SetMuted(on || SlicePace() > SliceCycles);
}

uint64_t Machine::FramesRun() const { return board->Video()->FramesCompleted(); }

// ---------------------------------------------------------------------------
// Rewind

void Machine::SetRewind(bool on, unsigned intervalFrames, size_t budgetBytes) {
    PauseCpu();
    rewindOn = on;
    rewindInterval = static_cast<uint64_t>(std::max(intervalFrames, 1u)) * CyclesPerFrame;
    nextRewindAt = board->EmulatedCycles() + rewindInterval;
    rewindNotBeforeHost = rewindNotBeforeOwn = 0.0;
    rewind = on ? std::make_unique<Rewinder>(options.compressor, budgetBytes) : nullptr;
    std::vector<uint8_t>().swap(rewindScratch);
    if (on) {
        // Every buffer the snapshots pass through gets its room now, so that
        // no snapshot pays for fresh memory (page faults cost far more than
        // the copy itself).
        CaptureStateInto(rewindScratch, /*forRewind=*/true);
        const size_t room = rewindScratch.size() + rewindScratch.size() / 4;
        rewindScratch.reserve(room);
        rewind->Prepare(room);
    }
    ResumeCpu();
}

// A snapshot every interval of emulated frames, but never more of the CPU
// thread's time than RewindShare: when the machine runs many times faster
// than real time (fast-forward, the benchmark) the snapshots space out in
// emulated time instead of slowing it down. A snapshot comes only when the
// time since the last one is 1/RewindShare times what it cost, the worker's share
// (difference and packing) included.
// Paced, the thread mostly sleeps and host time is the measure: every
// interval gets its snapshot. Running flat out, the thread's own processor
// time is: on a busy host the other programs' time stretches the host's
// clock, and measured by it the share would grow with the host's load.
void Machine::TakeRewindSnapshot() {
    nextRewindAt = board->EmulatedCycles() + rewindInterval;
    const bool flatOut = !cpuThread || Unthrottled();
    const double host = HostSeconds(), own = ThreadCpuSeconds();
    if (flatOut ? own < rewindNotBeforeOwn : host < rewindNotBeforeHost) return;
    CaptureStateInto(rewindScratch, /*forRewind=*/true);
    rewind->Offer(rewindScratch, board->EmulatedCycles());
    const double spacing = (ThreadCpuSeconds() - own + rewind->LastWorkSeconds()) / RewindShare;
    rewindNotBeforeHost = host + spacing;
    rewindNotBeforeOwn = own + spacing;
}

bool Machine::RewindStep() {
    if (!rewind) return false;
    PauseCpu();
    std::vector<uint8_t> state;
    std::string error;
    const bool ok = rewind->TakeNewest(state) && ApplyState(state, &error, /*verify=*/false);
    if (ok) nextRewindAt = board->EmulatedCycles() + rewindInterval;
    ResumeCpu();
    return ok;
}

void Machine::DrainRewind() {
    if (rewind) rewind->Drain();
}

size_t Machine::RewindCount() const { return rewind ? rewind->Count() : 0; }
size_t Machine::RewindBytes() const { return rewind ? rewind->Bytes() : 0; }
double Machine::RewindSpan() const {
    return rewind ? static_cast<double>(rewind->SpanCycles()) / EmulatedClockHz : 0.0;
}
