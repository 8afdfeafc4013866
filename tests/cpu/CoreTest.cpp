// The processor object: reset, the fetch loop and its budget, the refresh
// counter, interrupts in every mode, NMI, HALT, EI and DI.
#include <gtest/gtest.h>

#include <cstring>

#include "Reference.h"
#include "support/TestMachine.h"

namespace {

using Access = TestMachine::Access;

TEST(CpuCore, ResetClearsRegistersAndRefillsTheBudget) {
    TestMachine m;
    uint32_t* slots = &m.Regs.AF;
    for (int i = 0; i < 19; ++i) slots[i] = 0x1234 + i;
    m.Running = 7;
    m.CyclePeriod = 1234;
    m.CycleBudget = -5;
    m.Reset();
    for (int i = 0; i < 19; ++i) {
        if (i == 7 || i == 17) continue; // SP, R
        EXPECT_EQ(slots[i], 0u) << "slot " << i;
    }
    EXPECT_EQ(m.Regs.SP, 0xF000u);
    EXPECT_LT(m.Regs.R, 32768u);
    EXPECT_EQ(m.CycleBudget, 1234);
    EXPECT_EQ(m.Running, 7); // left alone
}

TEST(CpuCore, FlagTablesCarrySignZeroAndParityOnly) {
    TestMachine m;
    for (int v = 0; v < 256; ++v) {
        const uint8_t b = static_cast<uint8_t>(v);
        EXPECT_EQ(m.FlagsSZ[v], ref::SignZero(b)) << v;
        EXPECT_EQ(m.FlagsSZP[v], ref::SignZeroParity(b)) << v;
    }
    EXPECT_EQ(m.FlagsSZP[0], 0x44);
    EXPECT_EQ(m.FlagsSZP[0x80], 0x80);
    EXPECT_EQ(m.FlagsSZP[0xFF], 0x84);
}

TEST(CpuCore, RunWithNoBudgetLeftStillExecutesOneInstruction) {
    TestMachine m;
    m.CycleBudget = -3;
    m.CyclePeriod = 10;
    EXPECT_EQ(m.Run(), 1);
    EXPECT_EQ(m.ticks, std::vector<int>{4});
    EXPECT_EQ(m.Regs.PC, 1u);
    EXPECT_EQ(m.CycleBudget, -7 + 10);
}

TEST(CpuCore, BudgetOfTwoRunsOneNopAndEndsAtZero) {
    TestMachine m;
    m.CycleBudget = m.CyclePeriod = 2;
    EXPECT_EQ(m.Run(), 1);
    EXPECT_EQ(m.ticks, std::vector<int>{4});
    EXPECT_EQ(m.CycleBudget, 0);
    EXPECT_EQ(m.Running, 1);
}

TEST(CpuCore, OvershootStaysInTheBudget) {
    TestMachine m;
    m.Load(0, {0x00, 0x21, 0x00, 0x00, 0x00}); // NOP; LD HL,0; NOP
    m.CycleBudget = 5;
    m.CyclePeriod = 100;
    m.Run();
    EXPECT_EQ(m.ticks, (std::vector<int>{4, 10}));
    EXPECT_EQ(m.CycleBudget, 5 - 14 + 100);
    m.ClearLogs();
    m.Run(); // 91 left: the next call goes on from there
    EXPECT_EQ(m.ticks.front(), 4);
    EXPECT_EQ(m.Regs.PC, 4u + 1u + 22u); // NOP, then 22 more NOPs spend the 91
    EXPECT_EQ(m.CycleBudget, 91 - 92 + 100);
}

TEST(CpuCore, MachineEndsTheRunAndClearsRunning) {
    TestMachine m;
    m.CycleBudget = 1000;
    m.CyclePeriod = 50;
    m.onTick = [&](int) {
        if (m.tickCount == 3) {
            m.Running = 0;
            m.CycleBudget = 0;
        }
    };
    EXPECT_EQ(m.Run(), 0);
    EXPECT_EQ(m.ticks.size(), 3u);
    EXPECT_EQ(m.CycleBudget, 50);
    m.onTick = nullptr;
    m.CycleBudget = 1;
    EXPECT_EQ(m.Run(), 1); // the next run starts running again
}

TEST(CpuCore, ZeroCostInstructionTicksZeroAndTheLoopGoesOn) {
    TestMachine m;
    m.Load(0, {0xED, 0x00, 0xDD, 0x00, 0xED, 0x77, 0x00});
    m.CycleBudget = 4;
    m.CyclePeriod = 0;
    m.Run();
    // ED 00, the ignored DD, its NOP, ED 77 and the final NOP.
    EXPECT_EQ(m.ticks, (std::vector<int>{0, 0, 4}));
    EXPECT_EQ(m.Regs.PC, 4u);
    m.ClearLogs();
    m.CycleBudget = 1;
    m.Run();
    EXPECT_EQ(m.ticks, (std::vector<int>{0, 4}));
    EXPECT_EQ(m.Regs.PC, 7u);
}

TEST(CpuCore, ProgramCounterWrapsFromFFFFToZero) {
    TestMachine m;
    m.Regs.PC = 0xFFFF;
    m.memory[0xFFFF] = 0x3E; // LD A,n with n at 0x0000
    m.memory[0x0000] = 0x5A;
    m.Step();
    EXPECT_EQ(m.A(), 0x5A);
    EXPECT_EQ(m.Regs.PC, 1u);
    EXPECT_EQ(m.accesses, (std::vector<Access>{{'r', 0xFFFF, 0x3E}, {'r', 0x0000, 0x5A}}));
}

// ---------------------------------------------------------------------------
// The refresh counter

TEST(CpuCore, RefreshCounterCountsEveryFetchAsA32BitValue) {
    TestMachine m;
    m.Regs.R = 0x7F;
    m.Step(); // NOP
    EXPECT_EQ(m.Regs.R, 0x80u); // no wrap at 7 bits
    m.Regs.R = 0xFFFFFFFFu;
    m.Step();
    EXPECT_EQ(m.Regs.R, 0u);

    struct Case {
        const char* name;
        std::vector<uint8_t> code;
        uint32_t steps;
        uint32_t increments;
    };
    const Case cases[] = {
        {"NOP", {0x00}, 1, 1},
        {"CB prefix", {0xCB, 0x00}, 1, 2},
        {"ED prefix", {0xED, 0x44}, 1, 2},
        {"undefined ED", {0xED, 0x00}, 1, 2},
        {"DD index form", {0xDD, 0x21, 0, 0}, 1, 2},
        {"FD index form", {0xFD, 0x23}, 1, 2},
        {"DD CB counts two, not three", {0xDD, 0xCB, 0x00, 0x06}, 1, 2},
        {"FD CB", {0xFD, 0xCB, 0x00, 0x46}, 1, 2},
        {"ignored DD: prefix step and re-fetch", {0xDD, 0x00}, 2, 3},
        {"DD DD 21: two ignored prefixes", {0xDD, 0xDD, 0xDD, 0x21, 0, 0}, 3, 6},
        {"EI with the instruction inside it", {0xFB, 0x00}, 1, 2},
        {"EI with a prefixed instruction inside it", {0xFB, 0xED, 0x44}, 1, 3},
    };
    for (const Case& c : cases) {
        TestMachine t;
        t.Load(0x100, c.code);
        t.Regs.PC = 0x100;
        t.Regs.R = 1000;
        for (uint32_t i = 0; i < c.steps; ++i) t.Step();
        EXPECT_EQ(t.Regs.R, 1000u + c.increments) << c.name;
        EXPECT_EQ(t.Regs.PC, 0x100u + c.code.size()) << c.name;
    }
}

TEST(CpuCore, LoadAFromRefreshCombinesCounterAndBit7OfTheLastLoad) {
    TestMachine m;
    // LD A,0x80; LD R,A; five NOPs; LD A,R
    m.Load(0, {0x3E, 0x80, 0xED, 0x4F, 0, 0, 0, 0, 0, 0xED, 0x5F});
    for (int i = 0; i < 8; ++i) m.Step();
    EXPECT_EQ(m.A(), 0x87);
    EXPECT_EQ(m.Regs.R7, 0x80u);

    // R keeps counting past 0x7F while bit 7 comes from R7 alone.
    m.Regs.R = 0x17F;
    m.Regs.R7 = 0x00;
    m.Load(0x20, {0xED, 0x5F});
    m.Regs.PC = 0x20;
    m.Step();
    EXPECT_EQ(m.A(), 0x01); // (0x181 & 0x7F) | 0
}

// ---------------------------------------------------------------------------
// Interrupts

struct CpuInterrupt : ::testing::Test {
    TestMachine m;
    void SetUp() override {
        m.Regs.PC = 0x1234;
        m.Regs.SP = 0x8000;
        m.Regs.IFF1 = 1;
        m.Regs.IFF2 = 1;
        m.CycleBudget = 1000;
        m.ClearLogs();
    }
};

TEST_F(CpuInterrupt, NothingForMinusOne) {
    const Z80Registers before = m.Regs;
    m.Interrupt(-1);
    EXPECT_EQ(0, std::memcmp(&before, &m.Regs, sizeof before));
    EXPECT_TRUE(m.accesses.empty());
}

TEST_F(CpuInterrupt, MaskableIgnoredWhileDisabled) {
    m.Regs.IFF1 = 0;
    m.Regs.IM = 1;
    const Z80Registers before = m.Regs;
    m.Interrupt(0xFF);
    EXPECT_EQ(0, std::memcmp(&before, &m.Regs, sizeof before));
    EXPECT_EQ(m.CycleBudget, 1000);
    EXPECT_TRUE(m.accesses.empty());
}

TEST_F(CpuInterrupt, NmiIsTakenEvenWhileDisabledAndKeepsIFF2) {
    for (uint32_t iff : {0u, 1u}) {
        SetUp();
        m.Regs.IFF1 = iff;
        m.Regs.IFF2 = iff;
        m.Regs.IM = 2; // the mode plays no part
        m.Interrupt(-2);
        EXPECT_EQ(m.Regs.PC, 0x0066u);
        EXPECT_EQ(m.Regs.SP, 0x7FFEu);
        EXPECT_EQ(m.Regs.IFF1, 0u);
        EXPECT_EQ(m.Regs.IFF2, iff);
        EXPECT_EQ(m.CycleBudget, 1000); // no T-states
        EXPECT_EQ(m.accesses, (std::vector<Access>{{'w', 0x7FFE, 0x34}, {'w', 0x7FFF, 0x12}}));
    }
}

TEST_F(CpuInterrupt, ModeOneIsRst38ChargedElevenOutsideTick) {
    m.Regs.IM = 1;
    m.Interrupt(0x47);
    EXPECT_EQ(m.Regs.PC, 0x0038u);
    EXPECT_EQ(m.Regs.IFF1, 0u);
    EXPECT_EQ(m.Regs.IFF2, 1u);
    EXPECT_EQ(m.CycleBudget, 1000 - 11);
    EXPECT_EQ(m.accesses, (std::vector<Access>{{'w', 0x7FFE, 0x34}, {'w', 0x7FFF, 0x12}}));
}

TEST_F(CpuInterrupt, ModeTwoReadsTheVectorAfterPushing) {
    m.Regs.IM = 2;
    m.Regs.I = 0x12;
    m.memory[0x1201] = 0xCD;
    m.memory[0x1202] = 0xAB;
    m.Interrupt(1);
    EXPECT_EQ(m.Regs.PC, 0xABCDu);
    EXPECT_EQ(m.CycleBudget, 1000);
    EXPECT_EQ(m.accesses, (std::vector<Access>{
                              {'w', 0x7FFE, 0x34}, {'w', 0x7FFF, 0x12}, {'r', 0x1201, 0xCD}, {'r', 0x1202, 0xAB}}));
    // The vector's second byte wraps at 64 KB.
    SetUp();
    m.Regs.IM = 2;
    m.Regs.I = 0xFF;
    m.memory[0xFFFF] = 0x11;
    m.memory[0x0000] = 0x22;
    m.Interrupt(0x1FF); // only the low byte counts
    EXPECT_EQ(m.Regs.PC, 0x2211u);
}

TEST_F(CpuInterrupt, ModeZeroExecutesTheDataBusByte) {
    m.Regs.IM = 0;
    m.Interrupt(0xCF); // RST 08h
    EXPECT_EQ(m.Regs.PC, 0x0008u);
    EXPECT_EQ(m.Regs.SP, 0x7FFEu);
    EXPECT_EQ(m.CycleBudget, 1000 - 11);

    // The board's value 1 is LD BC,nn, whose operand comes from PC onward.
    SetUp();
    m.Regs.IM = 0;
    m.Load(0x1234, {0x78, 0x56});
    m.Interrupt(1);
    EXPECT_EQ(m.Regs.BC, 0x5678u);
    EXPECT_EQ(m.Regs.PC, 0x1236u);
    EXPECT_EQ(m.Regs.IFF1, 0u);
    EXPECT_EQ(m.CycleBudget, 1000 - 10);
}

TEST_F(CpuInterrupt, TakenAfterTheTickWithoutPassingItsCostToTick) {
    m.Regs.IM = 1;
    m.Regs.PC = 0x1000; // NOPs
    m.irqLine = 0xFF;
    m.CycleBudget = 19;
    m.CyclePeriod = 0;
    m.Run();
    // NOP (Tick 4), the entry (11 from the budget, not in any Tick), a NOP at 0x38.
    EXPECT_EQ(m.ticks, (std::vector<int>{4, 4}));
    EXPECT_EQ(m.Regs.PC, 0x0039u);
    EXPECT_EQ(m.memory[0x7FFE], 0x01);
    EXPECT_EQ(m.memory[0x7FFF], 0x10);
    EXPECT_EQ(m.CycleBudget, 0);
}

TEST_F(CpuInterrupt, WhileHaltedTheReturnAddressIsAfterTheHalt) {
    for (int value : {-2, 1}) {
        SetUp();
        m.Regs.IM = 1;
        m.Regs.PC = 0x2000;
        m.memory[0x2000] = 0x76;
        m.CycleBudget = 100;
        m.Run();
        EXPECT_EQ(m.Regs.Halted, 1u);
        EXPECT_EQ(m.Regs.PC, 0x2000u);
        m.Interrupt(value);
        EXPECT_EQ(m.Regs.Halted, 0u);
        EXPECT_EQ(m.memory[0x7FFE], 0x01) << value;
        EXPECT_EQ(m.memory[0x7FFF], 0x20) << value;
        EXPECT_EQ(m.Regs.PC, value == -2 ? 0x66u : 0x38u);
    }
}

TEST_F(CpuInterrupt, MaskableWhileHaltedAndDisabledLeavesTheHalt) {
    m.Regs.IFF1 = 0;
    m.Regs.PC = 0x2000;
    m.memory[0x2000] = 0x76;
    m.Step();
    m.Interrupt(1);
    EXPECT_EQ(m.Regs.Halted, 1u);
    EXPECT_EQ(m.Regs.PC, 0x2000u);
}

// ---------------------------------------------------------------------------
// HALT

TEST(CpuHalt, HandsTheWholeBudgetToTickAndEndsTheRun) {
    TestMachine m;
    m.Regs.PC = 0x100;
    m.memory[0x100] = 0x76;
    m.CycleBudget = 300;
    m.CyclePeriod = 50;
    m.Run();
    EXPECT_EQ(m.ticks, std::vector<int>{300});
    EXPECT_EQ(m.Regs.PC, 0x100u);
    EXPECT_EQ(m.Regs.Halted, 1u);
    EXPECT_EQ(m.CycleBudget, 50);

    // Halted: every run executes the HALT once more and again hands all of it on.
    m.ClearLogs();
    const uint32_t r = m.Regs.R;
    m.CycleBudget = 77;
    m.Run();
    EXPECT_EQ(m.ticks, std::vector<int>{77});
    EXPECT_EQ(m.Regs.R, r + 1);
    EXPECT_EQ(m.Regs.PC, 0x100u);
}

TEST(CpuHalt, BudgetOfFourOrLessKeepsTheOvershoot) {
    for (int budget : {4, 3, 1, 0, -6}) {
        TestMachine m;
        m.memory[0] = 0x76;
        m.CycleBudget = budget;
        m.CyclePeriod = 0;
        m.Run();
        EXPECT_EQ(m.ticks, std::vector<int>{4}) << budget;
        EXPECT_EQ(m.CycleBudget, budget - 4) << budget;
    }
}

TEST(CpuHalt, BudgetAboveFourAfterEarlierInstructions) {
    TestMachine m;
    m.Load(0, {0x00, 0x00, 0x76});
    m.CycleBudget = 20;
    m.CyclePeriod = 0;
    m.Run();
    EXPECT_EQ(m.ticks, (std::vector<int>{4, 4, 12}));
    EXPECT_EQ(m.CycleBudget, 0);
}

TEST(CpuHalt, InterruptDueDuringTheHaltIsTakenAndEndsTheRun) {
    TestMachine m;
    m.Regs.IFF1 = m.Regs.IFF2 = 1;
    m.Regs.IM = 1;
    m.Regs.SP = 0x8000;
    m.memory[0x100] = 0x76;
    m.Regs.PC = 0x100;
    m.irqLine = 0xFF;
    m.CycleBudget = 500;
    m.CyclePeriod = 0;
    m.Run();
    EXPECT_EQ(m.ticks, std::vector<int>{500});
    EXPECT_EQ(m.Regs.PC, 0x38u);
    EXPECT_EQ(m.Regs.Halted, 0u);
    EXPECT_EQ(m.memory[0x7FFE], 0x01);
    EXPECT_EQ(m.memory[0x7FFF], 0x01);
    EXPECT_EQ(m.CycleBudget, -11); // the entry's 11 come after the budget was handed on
}

// ---------------------------------------------------------------------------
// EI and DI

TEST(CpuEi, NextInstructionRunsInsideEiBeforeAPendingInterrupt) {
    TestMachine m;
    m.Regs.IM = 1;
    m.Regs.SP = 0x8000;
    m.Regs.PC = 0x1000;
    m.Load(0x1000, {0xFB, 0x3E, 0x55, 0x00}); // EI; LD A,0x55; NOP
    m.Load(0x38, {0xED, 0x57});               // LD A,I in the routine shows IFF2
    m.irqLine = 0xFF;
    EXPECT_EQ(m.Step(), 11); // one Tick for EI and the load
    EXPECT_EQ(m.A(), 0x55);
    EXPECT_EQ(m.Regs.PC, 0x38u); // taken right after the load
    EXPECT_EQ(m.memory[0x7FFE], 0x03);
    EXPECT_EQ(m.memory[0x7FFF], 0x10);
    EXPECT_EQ(m.Regs.IFF1, 0u);
    EXPECT_EQ(m.Regs.IFF2, 1u);
    m.Step();
    EXPECT_EQ(m.F() & ref::PV, ref::PV);
}

TEST(CpuEi, EiFollowedByEiOnlySetsIff2) {
    TestMachine m;
    m.Regs.IM = 1;
    m.Regs.SP = 0x8000;
    m.Regs.PC = 0x1000;
    m.Load(0x1000, {0xFB, 0xFB, 0x00});
    m.irqLine = 0xFF;
    EXPECT_EQ(m.Step(), 8);
    EXPECT_EQ(m.Regs.PC, 0x38u);
    EXPECT_EQ(m.memory[0x7FFE], 0x02); // after the second EI, before the NOP
}

TEST(CpuEi, EiWithInterruptsEnabledSetsIff2AndRunsNothingMore) {
    TestMachine m;
    m.Regs.IFF1 = 1;
    m.Regs.IFF2 = 0;
    m.Regs.PC = 0x1000;
    m.Load(0x1000, {0xFB, 0x3C});
    EXPECT_EQ(m.Step(), 4);
    EXPECT_EQ(m.Regs.IFF2, 1u);
    EXPECT_EQ(m.Regs.PC, 0x1001u);
    EXPECT_EQ(m.A(), 0);
}

TEST(CpuEi, EiBeforeATakenBranchHandsTickTheWholeCost) {
    TestMachine m;
    m.Regs.SP = 0x8000;
    m.Load(0, {0xFB, 0xCD, 0x00, 0x20}); // EI; CALL 0x2000
    EXPECT_EQ(m.Step(), 4 + 17);
    EXPECT_EQ(m.Regs.PC, 0x2000u);
}

TEST(CpuEi, DiClearsBothFlipFlops) {
    TestMachine m;
    m.Regs.IFF1 = m.Regs.IFF2 = 1;
    m.memory[0] = 0xF3;
    EXPECT_EQ(m.Step(), 4);
    EXPECT_EQ(m.Regs.IFF1, 0u);
    EXPECT_EQ(m.Regs.IFF2, 0u);
}

TEST(CpuEi, InterruptRaisedByTickIsTakenBetweenInstructions) {
    TestMachine m;
    m.Regs.IFF1 = m.Regs.IFF2 = 1;
    m.Regs.IM = 2;
    m.Regs.I = 0x40;
    m.Regs.SP = 0x8000;
    m.Load(0x4001, {0x00, 0x30});
    m.onTick = [&](int) {
        if (m.tickCount == 2) m.irqLine = 1;
    };
    m.CycleBudget = 12;
    m.CyclePeriod = 0;
    m.Run(); // NOP, NOP (raises), entry, NOP at 0x3000
    EXPECT_EQ(m.ticks, (std::vector<int>{4, 4, 4}));
    EXPECT_EQ(m.Regs.PC, 0x3001u);
    EXPECT_EQ(m.memory[0x7FFE], 0x02);
}

} // namespace
