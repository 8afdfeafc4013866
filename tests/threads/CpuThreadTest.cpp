// The CPU thread against the threads that pause it, step the processor,
// read its registers and stop it: the pause handshake, nesting, breakpoint
// stops, termination while paused.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "ThreadsSupport.h"
#include "cpu/CPUThread.h"

using namespace std::chrono_literals;

TEST(CpuThread, PauseHoldsTheMachineUntilEveryPauseIsResumed) {
    RunningMachine m;
    Machine& b = m.machine();
    ASSERT_TRUE(WaitUntil([&] { return m.Counter() > 100; }));

    b.PauseCpu();
    EXPECT_TRUE(b.IsCpuHeld());
    const unsigned slices = b.CpuThread()->SliceCount();
    const unsigned count = b.Board().MainRam()[0x4000] | b.Board().MainRam()[0x4001] << 8;
    b.PauseCpu(); // nested, as a cold boot inside a debugger stop
    b.ResumeCpu();
    std::this_thread::sleep_for(60ms);
    EXPECT_TRUE(b.IsCpuHeld());
    EXPECT_EQ(b.CpuThread()->SliceCount(), slices);
    EXPECT_EQ(unsigned(b.Board().MainRam()[0x4000] | b.Board().MainRam()[0x4001] << 8), count);

    b.ResumeCpu();
    EXPECT_TRUE(WaitUntil([&] { return b.CpuThread()->SliceCount() > slices + 2; }));
    EXPECT_FALSE(b.IsCpuHeld());
    // An extra resume is ignored rather than unbalancing the count.
    b.ResumeCpu();
    b.PauseCpu();
    EXPECT_TRUE(b.IsCpuHeld());
    b.ResumeCpu();
}

TEST(CpuThread, StepsOnAnotherThreadRunOneInstructionEach) {
    RunningMachine m;
    Machine& b = m.machine();
    ASSERT_TRUE(WaitUntil([&] { return m.Counter() > 100; }));
    // Stepping while the CPU thread would otherwise run: each step pauses it.
    b.PauseCpu();
    const Z80Registers before = b.RegisterSnapshot();
    ASSERT_GE(before.PC, 6u);
    ASSERT_LE(before.PC, 0x0Au);
    b.ResumeCpu();
    b.PauseCpu();
    // Run to the top of the loop, then three steps make one pass.
    while (b.RegisterSnapshot().PC != 6) b.StepInstruction();
    const uint32_t hl = b.RegisterSnapshot().HL;
    b.StepInstruction();
    EXPECT_EQ(b.RegisterSnapshot().PC, 7u);
    EXPECT_EQ(b.RegisterSnapshot().HL, (hl + 1) & 0xFFFF);
    b.StepInstruction();
    EXPECT_EQ(b.RegisterSnapshot().PC, 0x0Au);
    b.StepInstruction();
    EXPECT_EQ(b.RegisterSnapshot().PC, 6u);
    b.ResumeCpu();
}

TEST(CpuThread, RegisterSnapshotsAreWholeWhileTheMachineRuns) {
    RunningMachine m;
    Machine& b = m.machine();
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0}, reads{0};
    // The loop keeps SP fixed and PC inside it: a torn copy would show otherwise.
    std::thread reader([&] {
        while (!stop.load()) {
            const Z80Registers r = b.RegisterSnapshot();
            if (r.PC != 0 && (r.SP != 0xF000 || r.PC < 3 || r.PC > 0x0A)) bad.fetch_add(1);
            reads.fetch_add(1);
        }
    });
    EXPECT_TRUE(WaitUntil([&] { return b.CpuThread()->SliceCount() > 20; }));
    stop = true;
    reader.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_GT(reads.load(), 100);
}

TEST(CpuThread, BreakpointStopsTheThreadUntilResumed) {
    RunningMachine m;
    Machine& b = m.machine();
    int id = 0;
    b.EditDebug([&](Debugger& d) { id = d.AddBreakpoint(0x0007, {}, nullptr); });
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(WaitUntil([&] { return b.StopSerial() == static_cast<uint64_t>(round + 1); })) << round;
        const unsigned slices = b.CpuThread()->SliceCount();
        b.PauseCpu(); // waits for the thread to park
        b.ResumeCpu();
        EXPECT_TRUE(b.IsCpuHeld());
        EXPECT_TRUE(b.IsDebugHeld());
        EXPECT_EQ(b.RegisterSnapshot().PC, 7u);
        EXPECT_EQ(b.LastStop().reason, StopReason::Breakpoint);
        std::this_thread::sleep_for(40ms);
        EXPECT_EQ(b.CpuThread()->SliceCount(), slices);
        EXPECT_EQ(b.StopSerial(), static_cast<uint64_t>(round + 1));
        EXPECT_TRUE(b.DebugContinue()); // lets go of the breakpoint's hold
    }
    ASSERT_TRUE(WaitUntil([&] { return b.StopSerial() == 4; }));
    b.EditDebug([&](Debugger& d) { d.RemoveBreakpoint(id); });
    b.DebugContinue();
    EXPECT_TRUE(WaitUntil([&] { return m.Counter() > 1000; }));
    EXPECT_FALSE(b.IsCpuHeld());
}

TEST(CpuThread, ColdBootFromAnotherThreadRestartsTheProgram) {
    RunningMachine m;
    Machine& b = m.machine();
    ASSERT_TRUE(WaitUntil([&] { return m.Counter() > 100; }));
    b.PauseCpu();
    b.Board().MainRam()[0x7000] = 0xAA;
    b.ResumeCpu();
    std::thread ui([&] { b.ColdBoot(); });
    ui.join();
    // Main memory was cleared and the program runs again.
    b.PauseCpu();
    EXPECT_EQ(b.Board().MainRam()[0x7000], 0);
    const unsigned count = m.Counter();
    b.ResumeCpu();
    EXPECT_TRUE(WaitUntil([&] { return m.Counter() != count; }));
}

TEST(CpuThread, TerminationWhilePausedEndsPromptly) {
    RunningMachine m;
    Machine& b = m.machine();
    ASSERT_TRUE(WaitUntil([&] { return b.CpuThread()->SliceCount() > 2; }));
    b.PauseCpu();
    // The parked thread polls every 10 ms; allow for a loaded machine.
    const auto t0 = std::chrono::steady_clock::now();
    b.CpuThread()->Terminate();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 200ms);
    m.Stop(); // Shutdown stops what is left and writes the dumps
    EXPECT_EQ(std::filesystem::file_size(m.dir() / "main.ram"), 524288u);
}
