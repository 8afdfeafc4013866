// The rewind ring: 30 emulated seconds in at most 64 MB, stepping back shows
// the snapshots newest first, and with rewind off nothing is kept.
#include <gtest/gtest.h>

#include <cstdio>

#include "StateTestSupport.h"
#include "video/Vexavideo.h"

using namespace state_test;

TEST(Rewind, HoldsThirtySecondsWithinItsBudgetAndStepsBackThroughThem) {
    StateMachine m;
    Machine& machine = m.machine();
    machine.SetRewind(true);
    // 32 emulated seconds, in slices as the CPU thread runs them.
    const uint64_t end = 32ull * EmulatedClockHz;
    while (machine.Board().EmulatedCycles() < end) machine.RunSlice();
    machine.DrainRewind();
    EXPECT_GE(machine.RewindSpan(), 30.0);
    EXPECT_LE(machine.RewindBytes(), 64u << 20);
    std::printf("rewind: %zu snapshots, %.2f MB, %.1f emulated seconds\n", machine.RewindCount(),
                static_cast<double>(machine.RewindBytes()) / (1 << 20), machine.RewindSpan());

    // Back step by step: the clock goes back one interval each time.
    uint64_t clock = machine.Board().EmulatedCycles();
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(machine.RewindStep());
        const uint64_t now = machine.Board().EmulatedCycles();
        EXPECT_LT(now, clock);
        clock = now;
    }
    // Running on from a rewound point is ordinary running.
    machine.RunCycles(CyclesPerFrame);
    EXPECT_GT(machine.Board().EmulatedCycles(), clock);
}

TEST(Rewind, ASmallBudgetDropsTheOldestAndStepsEndWhenTheRingIsEmpty) {
    StateMachine m;
    Machine& machine = m.machine();
    machine.SetRewind(true, 2, 1); // one snapshot at a time
    for (int i = 0; i < 20; ++i) machine.RunSlice();
    machine.DrainRewind();
    EXPECT_EQ(machine.RewindCount(), 1u);
    const uint64_t before = machine.Board().EmulatedCycles();
    EXPECT_TRUE(machine.RewindStep());
    EXPECT_LT(machine.Board().EmulatedCycles(), before);
    EXPECT_FALSE(machine.RewindStep());

    machine.SetRewind(false);
    for (int i = 0; i < 20; ++i) machine.RunSlice();
    EXPECT_EQ(machine.RewindCount(), 0u);
    EXPECT_FALSE(machine.RewindStep());
}
