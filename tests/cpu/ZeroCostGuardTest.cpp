// Memory full of instructions that cost no T-states must not keep Run from
// returning, while every one of them still behaves as a normal instruction.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "support/TestMachine.h"

namespace {

void Fill(TestMachine& m, const std::vector<uint8_t>& pattern) {
    for (size_t i = 0; i < m.memory.size(); ++i) m.memory[i] = pattern[i % pattern.size()];
}

struct Pattern {
    const char* name;
    std::vector<uint8_t> bytes;
};

const Pattern kPatterns[] = {
    {"ED 00", {0xED, 0x00}},
    {"ED 77", {0xED, 0x77}},
    {"DD DD", {0xDD}},
    {"FD FD", {0xFD}},
    {"DD FD", {0xDD, 0xFD}},
    {"DD CB d 00", {0xDD, 0xCB, 0x00, 0x00}},
    {"FD CB d 37", {0xFD, 0xCB, 0x12, 0x37}},
};

TEST(CpuZeroCostGuard, RunReturnsOnMemoryFullOfZeroCostInstructions) {
    for (const Pattern& p : kPatterns) {
        TestMachine m;
        m.logAccesses = false;
        Fill(m, p.bytes);
        // A second call on the same memory returns as well.
        for (int run = 0; run < (&p == kPatterns ? 2 : 1); ++run) {
            m.ClearLogs();
            m.CycleBudget = 300000;
            m.CyclePeriod = 18750;
            EXPECT_EQ(m.Run(), 1) << p.name;
            // Every instruction was handed to Tick with 0, and there were many.
            EXPECT_GT(m.ticks.size(), 1000u) << p.name;
            EXPECT_LE(m.ticks.size(), static_cast<size_t>(z80cpu::ZeroCostRunLimit)) << p.name;
            EXPECT_TRUE(std::all_of(m.ticks.begin(), m.ticks.end(), [](int t) { return t == 0; })) << p.name;
            EXPECT_EQ(m.CycleBudget, 300000 + 18750) << p.name;
        }
    }
}

TEST(CpuZeroCostGuard, ARunShorterThanTheLimitGoesOnInTheSameCall) {
    TestMachine m;
    m.logAccesses = false;
    for (int i = 0; i < 2000; i += 2) {
        m.memory[i] = 0xED;
        m.memory[i + 1] = 0x00;
    }
    m.CycleBudget = 8;
    m.CyclePeriod = 0;
    m.Run();
    ASSERT_EQ(m.ticks.size(), 1002u);
    EXPECT_TRUE(std::all_of(m.ticks.begin(), m.ticks.end() - 2, [](int t) { return t == 0; }));
    EXPECT_EQ(m.ticks[1000], 4);
    EXPECT_EQ(m.ticks[1001], 4);
    EXPECT_EQ(m.Regs.PC, 2002u);
}

TEST(CpuZeroCostGuard, ZeroCostInstructionsBetweenOthersAreCountedToo) {
    // 300 zero-cost instructions between NOPs, all through memory: the NOPs
    // spend 4 T-states for every 300 that spend none, so a budget of a
    // million T-states would take 75 million instructions (a slice of 3
    // million at the fastest pace, seconds of host time). The run ends once
    // the limit's worth of zero-cost ones have run, and the next call goes on
    // from there.
    for (const Pattern& p : {kPatterns[0], kPatterns[2], kPatterns[5]}) {
        TestMachine m;
        m.logAccesses = false;
        m.logTicks = false;
        std::vector<uint8_t> block;
        for (int i = 0; i < 300; ++i) block.insert(block.end(), p.bytes.begin(), p.bytes.end());
        block.push_back(0x00);
        Fill(m, block);
        m.CycleBudget = 1000000;
        m.CyclePeriod = 0;
        m.Run();
        const uint64_t nops = m.totalCycles / 4;
        EXPECT_EQ(m.tickCount - nops, static_cast<uint64_t>(z80cpu::ZeroCostRunLimit)) << p.name;
        EXPECT_GT(nops, 3000u) << p.name;
        const uint64_t before = m.tickCount;
        const uint32_t pc = m.Regs.PC;
        m.CycleBudget = 8;
        m.Run();
        EXPECT_GT(m.tickCount, before) << p.name;
        EXPECT_NE(m.Regs.PC, pc) << p.name;
        EXPECT_GE(m.totalCycles / 4, nops + 2) << p.name;
    }
}

TEST(CpuZeroCostGuard, SingleStepOverZeroCostInstructionsStillStops) {
    // The debugger's single step (budget 2) runs on through zero-cost
    // instructions to the next real one.
    TestMachine m;
    m.Load(0, {0xED, 0x00, 0xDD, 0xDD, 0x3E, 0x42, 0x00});
    m.CycleBudget = m.CyclePeriod = 2;
    m.Run();
    EXPECT_EQ(m.ticks, (std::vector<int>{0, 0, 0, 7})); // ED 00, DD, DD, LD A,n
    EXPECT_EQ(m.Regs.PC, 6u);
    EXPECT_EQ(m.Regs.AF >> 8, 0x42u);
}

} // namespace
