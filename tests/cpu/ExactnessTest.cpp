// Exactness guard for work on the processor's speed: long runs whose whole bus
// traffic (every memory and port access in order, with its value and the PC
// the machine sees in the record at that moment), every Tick argument with the
// PC and budget the machine sees then, and the final registers are folded into
// CRCs recorded here. A change to any T-state count, access order, flag or
// register, or to what the machine can read during a call, moves a CRC.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdint>
#include <vector>

#include "support/CpmHarness.h"
#include "support/TestFiles.h"

namespace {

// Folds what a TestMachine logs into one CRC, a Tick at a time, so that the
// logs never grow past one instruction.
class TrafficCrc {
public:
    explicit TrafficCrc(TestMachine& m) : m_(m) {
        m_.logAccesses = true;
        m_.logTicks = false;
    }
    void OnTick(int cycles) {
        bytes_.clear();
        for (size_t i = 0; i < m_.accesses.size(); ++i) {
            const TestMachine::Access& a = m_.accesses[i];
            bytes_.push_back(static_cast<uint8_t>(a.kind));
            Add16(a.address);
            bytes_.push_back(a.value);
            Add16(m_.accessPcs[i]);
        }
        bytes_.push_back('t');
        Add32(static_cast<uint32_t>(cycles));
        Add16(static_cast<uint16_t>(m_.Regs.PC));
        Add32(static_cast<uint32_t>(m_.CycleBudget));
        crc_ = crc32(crc_, bytes_.data(), static_cast<uInt>(bytes_.size()));
        m_.ClearLogs();
    }
    uint32_t Value() const { return static_cast<uint32_t>(crc_); }

private:
    void Add16(uint16_t v) {
        bytes_.push_back(static_cast<uint8_t>(v));
        bytes_.push_back(static_cast<uint8_t>(v >> 8));
    }
    void Add32(uint32_t v) {
        Add16(static_cast<uint16_t>(v));
        Add16(static_cast<uint16_t>(v >> 16));
    }

    TestMachine& m_;
    std::vector<uint8_t> bytes_;
    uLong crc_ = crc32(0, nullptr, 0);
};

uint32_t RegistersCrc(const Z80Registers& r) {
    return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(&r), sizeof r));
}

struct Recorded {
    uint32_t traffic, registers;
    uint64_t cycles, ticks;
};

Recorded RunExerciser(const char* name) {
    CpmHarness cpm;
    TestMachine& m = cpm.Machine();
    m.Regs.R = 0; // not the C library's random start, which other tests move
    TrafficCrc traffic(m);
    auto harnessTick = m.onTick;
    m.onTick = [&](int cycles) {
        traffic.OnTick(cycles);
        harnessTick(cycles);
    };
    EXPECT_TRUE(cpm.Load(testing_support::TestProgram("cpu", name)));
    EXPECT_TRUE(cpm.Run(500'000'000)) << name;
    return {traffic.Value(), RegistersCrc(m.Regs), m.totalCycles, m.tickCount};
}

void ExpectRecorded(const Recorded& got, const Recorded& want, const char* what) {
    EXPECT_EQ(got.traffic, want.traffic) << what << std::hex << " traffic CRC 0x" << got.traffic;
    EXPECT_EQ(got.registers, want.registers) << what << std::hex << " registers CRC 0x" << got.registers;
    EXPECT_EQ(got.cycles, want.cycles) << what << " T-states";
    EXPECT_EQ(got.ticks, want.ticks) << what << " Ticks";
}

TEST(CpuExactness, InstructionExercisersGiveTheRecordedTrafficAndTiming) {
    ExpectRecorded(RunExerciser("instructions"), {0x34cbaecb, 0x66228dd6, 123256, 13798}, "instructions");
    ExpectRecorded(RunExerciser("flagcrc"), {0xeec9cdfc, 0xca4a3747, 61418479, 6371348}, "flagcrc");
}

// Memory full of pseudo-random bytes is a program that reaches every opcode of
// every prefix family, HALT, EI/DI, IM and self-modifying stores, while NMIs
// and maskable interrupts with varying data-bus bytes arrive at staggered
// moments. Slices of varied lengths exercise the budget and its overshoot.
TEST(CpuExactness, RandomCodeWithInterruptsGivesTheRecordedTrafficAndTiming) {
    TestMachine m;
    uint32_t x = 0x1234567u;
    auto next = [&x] {
        x = x * 1103515245u + 12345u;
        return static_cast<uint8_t>(x >> 16);
    };
    for (uint8_t& byte : m.memory)
        byte = next();
    for (uint8_t& port : m.ports)
        port = next();
    m.Regs.R = 0;
    TrafficCrc traffic(m);
    m.onTick = [&](int cycles) {
        traffic.OnTick(cycles);
        // A HALT with interrupts off would otherwise hold the rest of the run.
        if (m.tickCount % 997 == 0 || (m.Regs.Halted && m.tickCount % 3 == 0)) m.nmiRequest = true;
        if (m.tickCount % 89 == 0) m.irqLine = next();
    };
    // A HALT (one opcode in 256) takes the rest of its slice, so many short
    // slices give many instructions.
    for (int slice = 0; slice < 20000; ++slice) {
        m.CycleBudget = 1 + (slice * 7919) % 3000;
        m.CyclePeriod = slice % 3;
        m.Run();
    }
    ExpectRecorded({traffic.Value(), RegistersCrc(m.Regs), m.totalCycles, m.tickCount},
                   {0x05af42cc, 0x35a77667, 30104479, 2353496}, "random code");
}

} // namespace
