// T-states: the five tables entry by entry, then every opcode of every family
// run once (both ways for conditional ones) to check what reaches Tick.
#include <gtest/gtest.h>

#include <array>
#include <initializer_list>

#include "support/TestMachine.h"

namespace {

// This machine's own figures; several differ from a real Z80 on purpose.
constexpr uint32_t kMain[16][16] = {
    {4, 10, 7, 6, 4, 4, 7, 4, 4, 11, 7, 6, 4, 4, 7, 4},
    {8, 10, 7, 6, 4, 4, 7, 4, 7, 11, 7, 6, 4, 4, 7, 4},
    {7, 10, 16, 6, 4, 4, 7, 4, 7, 11, 16, 6, 4, 4, 7, 4},
    {7, 10, 13, 6, 11, 11, 10, 4, 7, 11, 13, 6, 4, 4, 7, 4},
    {4, 4, 4, 4, 4, 4, 7, 4, 4, 4, 4, 4, 4, 4, 7, 4},
    {4, 4, 4, 4, 4, 4, 7, 4, 4, 4, 4, 4, 4, 4, 7, 4},
    {4, 4, 4, 4, 4, 4, 7, 4, 4, 4, 4, 4, 4, 4, 7, 4},
    {7, 7, 7, 7, 7, 7, 4, 7, 4, 4, 4, 4, 4, 4, 7, 4},
    {4, 4, 4, 4, 4, 4, 7, 4, 4, 4, 4, 4, 4, 4, 7, 4},
    {4, 4, 4, 4, 4, 4, 7, 4, 4, 4, 4, 4, 4, 4, 7, 4},
    {4, 4, 4, 4, 4, 4, 7, 4, 4, 4, 4, 4, 4, 4, 7, 4},
    {4, 4, 4, 4, 4, 4, 7, 4, 4, 4, 4, 4, 4, 4, 7, 4},
    {5, 10, 10, 10, 10, 11, 7, 11, 5, 4, 10, 0, 10, 10, 7, 11},
    {5, 10, 10, 11, 10, 11, 7, 11, 5, 4, 10, 11, 10, 0, 7, 11},
    {5, 10, 10, 19, 10, 11, 7, 11, 5, 4, 10, 4, 10, 0, 7, 11},
    {5, 10, 10, 4, 10, 11, 7, 11, 5, 6, 10, 4, 10, 0, 7, 11},
};

uint32_t MainEntry(int op) { return kMain[op >> 4][op & 15]; }

uint32_t CBEntry(int op) {
    if ((op & 7) != 6) return 8;
    static constexpr int bitHL[] = {0x46, 0x4E, 0x56, 0x5E, 0x66, 0x6E, 0x76, 0x7E};
    for (int b : bitHL)
        if (op == b) return 12;
    return 15;
}

struct Group {
    uint32_t cycles;
    std::initializer_list<int> opcodes;
};

template <size_t N> std::array<uint32_t, 256> FromGroups(const Group (&groups)[N]) {
    std::array<uint32_t, 256> t{};
    for (const Group& g : groups)
        for (int op : g.opcodes) t[op] = g.cycles;
    return t;
}

const std::array<uint32_t, 256>& EDTable() {
    static const Group groups[] = {
        {8, {0x44, 0x45, 0x46, 0x4C, 0x4D, 0x4E, 0x54, 0x55, 0x56, 0x5C, 0x5D, 0x5E,
             0x64, 0x65, 0x66, 0x6C, 0x6D, 0x6E, 0x74, 0x75, 0x76, 0x7C, 0x7D, 0x7E}},
        {9, {0x47, 0x4F, 0x57, 0x5F}},
        {12, {0x40, 0x41, 0x48, 0x49, 0x50, 0x51, 0x58, 0x59, 0x60, 0x61, 0x68, 0x69, 0x70, 0x71, 0x78, 0x79}},
        {15, {0x42, 0x4A, 0x52, 0x5A, 0x62, 0x6A, 0x72, 0x7A}},
        {16, {0xA0, 0xA1, 0xA2, 0xA3, 0xA8, 0xA9, 0xAA, 0xAB}},
        {18, {0x67, 0x6F}},
        {20, {0x43, 0x4B, 0x53, 0x5B, 0x63, 0x6B, 0x73, 0x7B}},
    };
    static const auto table = FromGroups(groups);
    return table;
}

const std::array<uint32_t, 256>& IndexTable() {
    static const Group groups[] = {
        {8, {0xE9}},
        {9, {0x24, 0x25, 0x26, 0x2C, 0x2D, 0x2E, 0x44, 0x45, 0x4C, 0x4D, 0x54, 0x55, 0x5C, 0x5D,
             0x60, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,
             0x7C, 0x7D, 0x84, 0x85, 0x8C, 0x8D, 0x94, 0x95, 0x9C, 0x9D, 0xA4, 0xA5, 0xAC, 0xAD, 0xB4, 0xB5,
             0xBC, 0xBD}},
        {10, {0x23, 0x2B, 0xF9}},
        {14, {0x21, 0xE1}},
        {15, {0x09, 0x19, 0x29, 0x39, 0xE5}},
        {19, {0x36, 0x46, 0x4E, 0x56, 0x5E, 0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x7E, 0x86, 0x8E,
              0x96, 0x9E, 0xA6, 0xAE, 0xB6, 0xBE}},
        {20, {0x22, 0x2A}},
        {23, {0x34, 0x35, 0xE3}},
    };
    static const auto table = FromGroups(groups);
    return table;
}

uint32_t IndexCBEntry(int op) {
    if (op >= 0x40 && op <= 0x7F) return 20;
    if ((op & 7) == 6) return 23;
    return 0;
}

TEST(CpuCycleTables, MainCyclesIsTheTable) {
    for (int op = 0; op < 256; ++op) EXPECT_EQ(z80cpu::MainCycles[op], MainEntry(op)) << std::hex << op;
}

TEST(CpuCycleTables, PrefixTablesFollowTheirLists) {
    for (int op = 0; op < 256; ++op) {
        EXPECT_EQ(z80cpu::CBCycles[op], CBEntry(op)) << "CB " << std::hex << op;
        EXPECT_EQ(z80cpu::EDCycles[op], EDTable()[op]) << "ED " << std::hex << op;
        EXPECT_EQ(z80cpu::IndexCycles[op], IndexTable()[op]) << "DD " << std::hex << op;
        EXPECT_EQ(z80cpu::IndexCBCycles[op], IndexCBEntry(op)) << "DD CB " << std::hex << op;
    }
}

// A machine with code at 0x1000, a stack and harmless registers.
struct Runner {
    TestMachine m;
    void Prepare(std::initializer_list<uint8_t> code, uint8_t f) {
        m.memory.fill(0);
        m.Regs = Z80Registers{};
        m.Regs.PC = 0x1000;
        m.Regs.SP = 0x8000;
        m.Regs.HL = 0x4000;
        m.Regs.DE = 0x5000;
        m.Regs.IX = m.Regs.IY = 0x6000;
        m.Regs.AF = 0x5500u | f;
        uint16_t at = 0x1000;
        for (uint8_t b : code) m.memory[at++] = b;
        // Operands after the code: a harmless word for jumps and addresses.
        m.memory[at] = 0x10;
        m.memory[at + 1] = 0x20;
        m.ClearLogs();
    }
};

bool ConditionHolds(int cc, uint8_t f) {
    switch (cc) {
    case 0: return !(f & 0x40);
    case 1: return f & 0x40;
    case 2: return !(f & 0x01);
    case 3: return f & 0x01;
    case 4: return !(f & 0x04);
    case 5: return f & 0x04;
    case 6: return !(f & 0x80);
    default: return f & 0x80;
    }
}

// What a handler adds to the table entry of an unprefixed instruction.
uint32_t MainExtra(int op, uint8_t f, uint8_t b) {
    const int y = (op >> 3) & 7;
    if (op == 0x18) return 5;
    if (op == 0x10) return b != 1 ? 5 : 0;
    if (op == 0x20 || op == 0x28 || op == 0x30 || op == 0x38) return ConditionHolds(y - 4, f) ? 5 : 0;
    if (op == 0xCD) return 7;
    if ((op & 0xC7) == 0xC4) return ConditionHolds(y, f) ? 7 : 0;
    if (op == 0xC9) return 6;
    if ((op & 0xC7) == 0xC0) return ConditionHolds(y, f) ? 6 : 0;
    return 0;
}

TEST(CpuCycles, EveryUnprefixedOpcodeTakenAndNotTaken) {
    Runner r;
    for (int op = 0; op < 256; ++op) {
        if (op == 0xCB || op == 0xDD || op == 0xED || op == 0xFD || op == 0x76 || op == 0xFB) continue;
        for (uint8_t f : {0x00, 0xFF}) {
            for (uint8_t b : {1, 2}) {
                r.Prepare({static_cast<uint8_t>(op)}, f);
                r.m.Regs.BC = static_cast<uint32_t>(b << 8);
                const int spent = r.m.Step();
                EXPECT_EQ(spent, static_cast<int>(MainEntry(op) + MainExtra(op, f, b)))
                    << std::hex << "op " << op << " F " << int(f) << " B " << int(b);
            }
        }
    }
}

TEST(CpuCycles, EveryCBOpcode) {
    Runner r;
    for (int op = 0; op < 256; ++op) {
        r.Prepare({0xCB, static_cast<uint8_t>(op)}, 0);
        EXPECT_EQ(r.m.Step(), static_cast<int>(CBEntry(op))) << std::hex << op;
        EXPECT_EQ(r.m.Regs.PC, 0x1002u);
    }
}

TEST(CpuCycles, EveryEDOpcodeWithFinalAndRepeatedBlockSteps) {
    Runner r;
    for (int op = 0; op < 256; ++op) {
        const bool blockRepeat = (op >= 0xB0 && op <= 0xB3) || (op >= 0xB8 && op <= 0xBB);
        if (blockRepeat) {
            const bool countsB = (op & 3) >= 2; // INIR/INDR/OTIR/OTDR stop on B
            r.Prepare({0xED, static_cast<uint8_t>(op)}, 0);
            r.m.Regs.BC = countsB ? 0x0110 : 0x0001;
            EXPECT_EQ(r.m.Step(), 0) << "final step " << std::hex << op;
            EXPECT_EQ(r.m.Regs.PC, 0x1002u);
            r.Prepare({0xED, static_cast<uint8_t>(op)}, 0);
            r.m.Regs.BC = 0x0210;
            EXPECT_EQ(r.m.Step(), 5) << "repeated step " << std::hex << op;
            EXPECT_EQ(r.m.Regs.PC, 0x1000u);
            continue;
        }
        r.Prepare({0xED, static_cast<uint8_t>(op)}, 0);
        const bool ret = (op & 0xC7) == 0x45;
        EXPECT_EQ(r.m.Step(), static_cast<int>(EDTable()[op] + (ret ? 6 : 0))) << std::hex << op;
    }
}

TEST(CpuCycles, EveryIndexOpcodeIncludingIgnoredPrefixes) {
    Runner r;
    for (uint8_t prefix : {0xDD, 0xFD}) {
        for (int op = 0; op < 256; ++op) {
            if (op == 0xCB) continue;
            r.Prepare({prefix, static_cast<uint8_t>(op)}, 0);
            EXPECT_EQ(r.m.Step(), static_cast<int>(IndexTable()[op])) << std::hex << int(prefix) << " " << op;
        }
    }
}

TEST(CpuCycles, EveryIndexCBOpcode) {
    Runner r;
    for (uint8_t prefix : {0xDD, 0xFD}) {
        for (int op = 0; op < 256; ++op) {
            r.Prepare({prefix, 0xCB, 0x05, static_cast<uint8_t>(op)}, 0);
            EXPECT_EQ(r.m.Step(), static_cast<int>(IndexCBEntry(op))) << std::hex << int(prefix) << " CB " << op;
            EXPECT_EQ(r.m.Regs.PC, 0x1004u);
        }
    }
}

} // namespace
