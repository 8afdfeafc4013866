// The heaviest work a line coprocessor program can give the machine: the
// most instructions and the most blitter bytes per run, on every line of
// every frame. The CPU thread must still answer a pause within a second.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "ThreadsSupport.h"
#include "video/Vexavideo.h"

using namespace std::chrono_literals;

namespace {

struct Load {
    const char* what;
    std::vector<uint16_t> head; // the program's first words
    uint16_t fill;              // every word after them up to the last
    uint16_t last;              // the word at 0xFFFE
};

const Load Loads[] = {
    // Height 254, then five blits of 255 x 256 bytes on every line: the
    // fifth passes a run's blitter limit and moves on to the next line.
    {"blits", {0x8216, 0x40FE, 0x00FF, 0x00FF, 0x00FF, 0x00FF, 0x30FF}, 0x0000, 0x0000},
    // 32,768 writes of vreg_vidctrl on every line, each of which updates two
    // status panels: the run ends at the wrap and the last word moves on.
    {"register writes", {0x8201}, 0x0000, 0x3000},
    // A program that keeps restarting itself, which no wrap ever ends.
    {"self-restart", {0x820D, 0x0001}, 0x0000, 0x0000},
};

void Install(TVexaBoard& b, const Load& load) {
    for (uint32_t word = 0; word < 0x8000; ++word) {
        const uint16_t w = word < load.head.size() ? load.head[word] : word == 0x7FFF ? load.last : load.fill;
        b.MainRam()[TVexaVideo::LineCopProgramBase + word * 2] = static_cast<uint8_t>(w);
        b.MainRam()[TVexaVideo::LineCopProgramBase + word * 2 + 1] = static_cast<uint8_t>(w >> 8);
    }
    b.WriteVideoSpace(0x20E, 0x00);
    b.WriteVideoSpace(0x20D, 0x01);
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

} // namespace

// What a whole frame of each load costs the video chip alone, and how long
// the pause that the debugger, a reset or closing the window asks for takes
// while the CPU thread runs the load: each well under a second.
TEST(LineCopLoad, FramesStayCheapAndPausesAreAnswered) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "host time is what this measures; instrumented builds run many times slower";
#endif
    RunningMachine m;
    Machine& machine = m.machine();
    TVexaBoard& b = m.board();
    for (const Load& load : Loads) {
        machine.PauseCpu();
        Install(b, load);
        auto start = std::chrono::steady_clock::now();
        b.Video()->Tick(TVexaVideo::RasterLines * TVexaVideo::CyclesPerLine);
        const double frame = Seconds(std::chrono::steady_clock::now() - start);
        machine.ResumeCpu();
        double pause = 0;
        for (int i = 0; i < 4; ++i) {
            std::this_thread::sleep_for(150ms);
            start = std::chrono::steady_clock::now();
            machine.PauseCpu();
            pause = std::max(pause, Seconds(std::chrono::steady_clock::now() - start));
            machine.ResumeCpu();
        }
        std::printf("%s: one frame costs %.3f s, the slowest pause took %.3f s\n", load.what, frame, pause);
        EXPECT_LT(frame, 1.0) << load.what;
        EXPECT_LT(pause, 1.0) << load.what;
    }
}

// The processor starts the largest blit every 47 T-states (programs/
// blitloop.asm): each copies 64 KB inside one register write and takes no
// emulated time, so the longest slice (the fastest pace) holds gigabytes of
// copying. The CPU thread must still answer a pause within a second, and the
// program runs on between.
TEST(CpuBlitLoad, PausesAreAnsweredWhileTheProcessorBlitsFlatOut) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "host time is what this measures; instrumented builds run many times slower";
#endif
    RunningMachine m("blitloop");
    m.machine().SetSlicePace(Machine::MaxSlicePace);
    ASSERT_TRUE(WaitUntil([&] { return m.Counter() >= 1000; }));
    double pause = 0;
    unsigned blits = m.Counter();
    for (int i = 0; i < 4; ++i) {
        std::this_thread::sleep_for(150ms);
        const auto start = std::chrono::steady_clock::now();
        m.machine().PauseCpu();
        pause = std::max(pause, Seconds(std::chrono::steady_clock::now() - start));
        m.machine().ResumeCpu();
        const unsigned now = m.Counter();
        EXPECT_NE(now, blits) << "the program stood still"; // HL wraps only after 65,536 blits
        blits = now;
    }
    std::printf("blits from the processor: the slowest pause took %.3f s\n", pause);
    EXPECT_LT(pause, 1.0);
}

