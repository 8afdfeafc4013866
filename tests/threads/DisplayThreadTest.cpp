// The display thread beside the CPU thread: its pace, its count, and the
// frames it hands to the host.
#include <gtest/gtest.h>

#include <chrono>

#include "ThreadsSupport.h"
#include "video/DisplayThread.h"

using namespace std::chrono_literals;

TEST(DisplayThread, PresentsFramesAtMostOncePerNineMilliseconds) {
    RunningMachine m;
    std::atomic<uint32_t>& DisplayFrameCount = m.machine().DisplayFrameCount;
    ASSERT_TRUE(WaitUntil([&] { return DisplayFrameCount.load() > 3; }));
    // Over at least 300 ms, and until a few frames have come (a loaded
    // machine, or a sanitizer, may slow the passes down but never stops them).
    const uint32_t before = DisplayFrameCount.load();
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(WaitUntil([&] { return DisplayFrameCount.load() - before >= 5; })) << "the display thread stalled";
    const uint32_t frames = DisplayFrameCount.load() - before;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LE(frames, uint32_t(ms / 9 + 2));
    m.Stop();
    // Every counted frame with a board was presented whole.
    EXPECT_GT(m.host().framesPresented, 0);
    EXPECT_EQ(m.host().lastFrame.size(), size_t(FrameWidth * FrameHeight));
}

TEST(DisplayThread, KeepsRunningThroughColdBootsAndStopsFirst) {
    RunningMachine m;
    Machine& b = m.machine();
    std::atomic<uint32_t>& DisplayFrameCount = b.DisplayFrameCount;
    for (int i = 0; i < 3; ++i) {
        const uint32_t before = DisplayFrameCount.load();
        b.ColdBoot();
        EXPECT_TRUE(WaitUntil([&] { return DisplayFrameCount.load() > before + 2; }));
    }
    b.Shutdown();
    const uint32_t after = DisplayFrameCount.load();
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(DisplayFrameCount.load(), after);
}
