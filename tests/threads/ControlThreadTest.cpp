// The user's control of the running machine: pause holds the CPU thread as the
// debugger's Stop does, frame advance steps exactly one frame, the pace follows
// the slice setting, fast-forward drops the pace and mutes the sound.
#include <gtest/gtest.h>

#include "ThreadsSupport.h"
#include "audio/Vexaaudio.h"
#include "video/Vexavideo.h"

namespace {

// Emulated MHz over a host interval.
double MeasureMhz(Machine& m, std::chrono::milliseconds interval) {
    const uint64_t c0 = m.CyclesRun();
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(interval);
    const uint64_t c1 = m.CyclesRun();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return static_cast<double>(c1 - c0) / seconds / 1e6;
}

} // namespace

TEST(Control, PauseHoldsTheMachineAndNestsWithTheDebuggerStop) {
    RunningMachine r;
    Machine& m = r.machine();
    ASSERT_TRUE(WaitUntil([&] { return m.CyclesRun() > 0; }));
    m.SetUserPaused(true);
    EXPECT_TRUE(m.IsUserPaused());
    EXPECT_TRUE(m.IsCpuHeld());
    const uint64_t held = m.CyclesRun();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(m.CyclesRun(), held);

    // The debugger stops and runs again while paused: still paused.
    m.PauseCpu();
    m.ResumeCpu();
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    EXPECT_EQ(m.CyclesRun(), held);

    // Frame advance: exactly to the start of the next frame.
    const uint64_t frame = m.FramesRun();
    m.AdvanceFrame();
    EXPECT_EQ(m.FramesRun(), frame + 1);
    EXPECT_EQ(m.Board().Video()->RasterLine(), 0);
    EXPECT_LT(m.Board().Video()->LineCycle(), 64) << "no more than one instruction past the frame start";
    EXPECT_TRUE(m.IsCpuHeld());

    m.SetUserPaused(false);
    EXPECT_TRUE(WaitUntil([&] { return m.CyclesRun() > held + CyclesPerFrame; }));
}

TEST(Control, ThePaceFollowsTheSliceSettingAndFastForwardDropsIt) {
    RunningMachine r;
    Machine& m = r.machine();
    ASSERT_TRUE(WaitUntil([&] { return m.CyclesRun() > 0; }));
    // 300,000 T-states at most every 15 ms: 20 MHz at most.
    const double automatic = MeasureMhz(m, std::chrono::milliseconds(600));
    EXPECT_LE(automatic, 20.5);
    EXPECT_GE(automatic, 8.0) << "a loaded host may slow it, but not that much";

    m.SetSlicePace(Machine::MinSlicePace);
    const double slow = MeasureMhz(m, std::chrono::milliseconds(600));
    EXPECT_LE(slow, 13.8);

    m.SetFastForward(true);
    EXPECT_TRUE(m.Board().Audio()->IsMuted());
    const double fast = MeasureMhz(m, std::chrono::milliseconds(600));
#ifndef __SANITIZE_THREAD__
    // (Under the thread sanitizer the machine runs flat out at hardly more
    // than its own pace, so only the plain and address-sanitizer builds can
    // tell the two apart.)
    EXPECT_GT(fast, 2 * slow) << "fast-forward runs slices back to back";
#else
    EXPECT_GT(fast, 0.0);
#endif
    m.SetFastForward(false);
    EXPECT_FALSE(m.Board().Audio()->IsMuted());

    m.SetSlicePace(1);
    EXPECT_EQ(m.SlicePace(), Machine::MinSlicePace);
    m.SetSlicePace(1 << 30);
    EXPECT_EQ(m.SlicePace(), Machine::MaxSlicePace);
}
