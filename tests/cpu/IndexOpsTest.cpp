// DD and FD: the index forms (checked against the HL instruction they stand
// for), the real H and L beside (X+d), ignored prefixes, and DD CB / FD CB.
#include <cstring>
#include <random>

#include "CpuTest.h"

namespace {

using IndexOps = CpuTest;

// The opcodes after DD/FD that have an index form, from the cost list.
bool HasIndexForm(int op) { return z80cpu::IndexCycles[op] != 0 && op != 0x76; }

// Index forms whose memory operand is (X+d).
bool UsesDisplacement(int op) {
    if (op == 0x34 || op == 0x35 || op == 0x36) return true;
    const int x = op >> 6, y = (op >> 3) & 7, z = op & 7;
    return (x == 1 && (z == 6 || y == 6) && op != 0x76) || (x == 2 && z == 6);
}

void RandomiseMemory(TestMachine& m, std::mt19937& rng) {
    for (size_t i = 0; i < m.memory.size(); i += 4) {
        const uint32_t v = rng();
        std::memcpy(&m.memory[i], &v, 4);
    }
}

// Random registers and random operand bytes after the code at 0x1000.
void Randomise(TestMachine& m, std::mt19937& rng) {
    for (int i = 0x1000; i < 0x1010; ++i) m.memory[i] = static_cast<uint8_t>(rng());
    m.Regs.AF = rng() & 0xFFFF;
    m.Regs.BC = rng() & 0xFFFF;
    m.Regs.DE = rng() & 0xFFFF;
    m.Regs.HL = rng() & 0xFFFF;
    m.Regs.IX = rng() & 0xFFFF;
    m.Regs.IY = rng() & 0xFFFF;
    m.Regs.SP = 0x8000 + (rng() & 0x0FFE);
    m.Regs.AFAlt = m.Regs.BCAlt = m.Regs.DEAlt = m.Regs.HLAlt = 0;
    m.Regs.IFF1 = m.Regs.IFF2 = 0;
    m.Regs.R = 0;
}

// Puts the code at `at` in m and makes plain an exact copy that starts at plainPC.
void Twin(TestMachine& m, TestMachine& plain, std::initializer_list<uint8_t> code, uint16_t at, uint16_t plainPC) {
    uint16_t a = at;
    for (uint8_t b : code) m.memory[a++] = b;
    m.Regs.PC = at;
    plain.memory = m.memory;
    plain.Regs = m.Regs;
    plain.Regs.PC = plainPC;
}

void ExpectSameState(const TestMachine& a, const TestMachine& b, const char* what, int op) {
    EXPECT_EQ(0, std::memcmp(&a.Regs, &b.Regs, sizeof a.Regs)) << what << " " << std::hex << op;
    EXPECT_TRUE(a.memory == b.memory) << what << " memory " << std::hex << op;
}

TEST_F(IndexOps, RegisterFormsActLikeTheHLInstructionOnTheIndexRegister) {
    std::mt19937 rng(4242);
    TestMachine plain;
    m.logAccesses = plain.logAccesses = false;
    RandomiseMemory(m, rng);
    for (int prefixIndex = 0; prefixIndex < 2; ++prefixIndex) {
        const uint8_t prefix = prefixIndex ? 0xFD : 0xDD;
        for (int op = 0; op < 256; ++op) {
            if (!HasIndexForm(op) || UsesDisplacement(op)) continue;
            for (int sample = 0; sample < 20; ++sample) {
                Randomise(m, rng);
                Twin(m, plain, {prefix, static_cast<uint8_t>(op)}, 0x1000, 0x1001);
                // The plain machine's HL is the index register and the other way round.
                uint32_t& xr = prefixIndex ? plain.Regs.IY : plain.Regs.IX;
                std::swap(plain.Regs.HL, xr);
                const int spent = m.Step();
                plain.Step();
                std::swap(plain.Regs.HL, prefixIndex ? plain.Regs.IY : plain.Regs.IX);
                plain.Regs.R += 1; // one fetch more for the prefix
                EXPECT_EQ(spent, static_cast<int>(z80cpu::IndexCycles[op]));
                ExpectSameState(m, plain, prefixIndex ? "FD" : "DD", op);
                if (HasFailure()) return;
            }
        }
    }
}

TEST_F(IndexOps, DisplacementFormsActLikeTheHLInstructionOnXPlusD) {
    std::mt19937 rng(99);
    TestMachine plain;
    m.logAccesses = plain.logAccesses = false;
    RandomiseMemory(m, rng);
    const int8_t displacements[] = {0, 1, -1, 127, -128, 0x35, -0x22};
    for (int prefixIndex = 0; prefixIndex < 2; ++prefixIndex) {
        const uint8_t prefix = prefixIndex ? 0xFD : 0xDD;
        for (int op = 0; op < 256; ++op) {
            if (!HasIndexForm(op) || !UsesDisplacement(op)) continue;
            for (int8_t d : displacements) {
                Randomise(m, rng);
                const uint16_t base = static_cast<uint16_t>(0x3000 + (rng() & 0x1FFF));
                const uint16_t address = static_cast<uint16_t>(base + d);
                (prefixIndex ? m.Regs.IY : m.Regs.IX) = base;
                m.Regs.HL = address; // so that the plain instruction sees the same H and L
                Twin(m, plain, {prefix, static_cast<uint8_t>(op), static_cast<uint8_t>(d)}, 0x1000, 0x1002);
                plain.memory[0x1002] = static_cast<uint8_t>(op); // n, if any, stays at 0x1003
                const int spent = m.Step();
                plain.Step();
                plain.Regs.R += 1;
                plain.memory[0x1002] = static_cast<uint8_t>(d);
                EXPECT_EQ(spent, static_cast<int>(z80cpu::IndexCycles[op]));
                ExpectSameState(m, plain, prefixIndex ? "FD (X+d)" : "DD (X+d)", op);
                if (HasFailure()) return;
            }
        }
    }
}

TEST_F(IndexOps, RealHAndLBesideTheMemoryOperand) {
    m.Regs.IX = 0x3000;
    m.Regs.HL = 0x1122;
    m.memory[0x3005] = 0xAB;
    Code({0xDD, 0x66, 0x05}); // LD H,(IX+5)
    EXPECT_EQ(m.Step(), 9);
    EXPECT_EQ(m.Regs.HL, 0xAB22u);
    EXPECT_EQ(m.Regs.IX, 0x3000u);
    Code({0xDD, 0x6E, 0x05}); // LD L,(IX+5)
    EXPECT_EQ(m.Step(), 9);
    EXPECT_EQ(m.Regs.HL, 0xABABu);
    m.Regs.HL = 0x5566;
    Code({0xDD, 0x74, 0xFE}); // LD (IX-2),H
    EXPECT_EQ(m.Step(), 19);
    EXPECT_EQ(m.memory[0x2FFE], 0x55);
    Code({0xFD, 0x75, 0x00}); // LD (IY+0),L
    m.Regs.IY = 0x4000;
    EXPECT_EQ(m.Step(), 19);
    EXPECT_EQ(m.memory[0x4000], 0x66);
}

TEST_F(IndexOps, HalvesOfTheIndexRegister) {
    m.Regs.IX = 0x1234;
    m.Regs.IY = 0x5678;
    m.Regs.HL = 0x9ABC;
    Code({0xDD, 0x65}); // LD IXH,IXL
    EXPECT_EQ(m.Step(), 9);
    EXPECT_EQ(m.Regs.IX, 0x3434u);
    Code({0xFD, 0x6C}); // LD IYL,IYH
    m.Step();
    EXPECT_EQ(m.Regs.IY, 0x5656u);
    Code({0xDD, 0x26, 0x7F}); // LD IXH,n: 9
    EXPECT_EQ(m.Step(), 9);
    EXPECT_EQ(m.Regs.IX, 0x7F34u);
    m.SetAF(0, 0x01);
    Code({0xDD, 0x24}); // INC IXH: 0x80, S H V, C kept
    EXPECT_EQ(m.Step(), 9);
    EXPECT_EQ(m.Regs.IX, 0x8034u);
    EXPECT_EQ(m.F(), 0x95);
    m.SetAF(0x10, 0);
    Code({0xFD, 0x85}); // ADD A,IYL
    EXPECT_EQ(m.Step(), 9);
    EXPECT_EQ(m.A(), 0x66);
    EXPECT_EQ(m.Regs.HL, 0x9ABCu); // H and L never involved
}

TEST_F(IndexOps, DisplacementIsReadBeforeTheImmediateAndAddressesWrap) {
    m.Regs.IX = 0xFFFF;
    Code({0xDD, 0x36, 0x01, 0x5A}); // LD (IX+1),0x5A -> 0x0000
    EXPECT_EQ(m.Step(), 19);
    EXPECT_EQ(m.accesses, (std::vector<Access>{{'r', 0x1000, 0xDD},
                                               {'r', 0x1001, 0x36},
                                               {'r', 0x1002, 0x01},
                                               {'r', 0x1003, 0x5A},
                                               {'w', 0x0000, 0x5A}}));
    m.Regs.IY = 0x0000;
    m.memory[0xFFFF] = 0x44;
    Code({0xFD, 0x7E, 0xFF}); // LD A,(IY-1) -> 0xFFFF
    m.Step();
    EXPECT_EQ(m.A(), 0x44);
    EXPECT_EQ(m.Regs.PC, 0x1003u);
}

TEST_F(IndexOps, JumpThroughIndexReadsNoMemory) {
    m.Regs.IY = 0xC0DE;
    Code({0xFD, 0xE9});
    EXPECT_EQ(m.Step(), 8);
    EXPECT_EQ(m.Regs.PC, 0xC0DEu);
    EXPECT_EQ(m.accesses.size(), 2u);
}

TEST_F(IndexOps, LoadIndexImmediateAndIgnoredPrefixCosts) {
    Code({0xDD, 0x21, 0x34, 0x12});
    EXPECT_EQ(m.Step(), 14);
    EXPECT_EQ(m.Regs.IX, 0x1234u);
    Code({0xDD, 0x00});
    EXPECT_EQ(m.Step(), 0);
    EXPECT_EQ(m.Regs.PC, 0x1001u);
    EXPECT_EQ(m.Step(), 4);
    EXPECT_EQ(m.Regs.PC, 0x1002u);
}

TEST_F(IndexOps, IgnoredPrefixThenTheSameInstructionAlone) {
    std::mt19937 rng(7);
    TestMachine plain;
    m.logAccesses = plain.logAccesses = false;
    RandomiseMemory(m, rng);
    for (uint8_t prefix : {0xDD, 0xFD}) {
        for (int op = 0; op < 256; ++op) {
            if (HasIndexForm(op) || op == 0xCB) continue;
            for (int sample = 0; sample < 4; ++sample) {
                Randomise(m, rng);
                Twin(m, plain, {prefix, static_cast<uint8_t>(op)}, 0x0FFF, 0x1000);
                const uint32_t r = m.Regs.R;
                const int first = m.Step();
                EXPECT_EQ(first, op == 0x76 ? 19 : 0) << std::hex << op;
                EXPECT_EQ(m.Regs.PC, 0x1000u) << std::hex << op;
                EXPECT_EQ(m.Regs.R, r + 2) << std::hex << op;
                const int second = m.Step();
                EXPECT_EQ(second, plain.Step()) << std::hex << op;
                plain.Regs.R += 2;
                ExpectSameState(m, plain, prefix == 0xDD ? "DD ignored" : "FD ignored", op);
                if (HasFailure()) return;
            }
        }
    }
}

TEST_F(IndexOps, PrefixedHaltCosts19ThenHalts) {
    Code({0xDD, 0x76});
    EXPECT_EQ(m.Step(), 19);
    EXPECT_EQ(m.Regs.Halted, 0u);
    EXPECT_EQ(m.Regs.PC, 0x1001u);
    m.CycleBudget = 40;
    m.CyclePeriod = 0;
    m.Run();
    EXPECT_EQ(m.ticks.back(), 40);
    EXPECT_EQ(m.Regs.Halted, 1u);
    EXPECT_EQ(m.Regs.PC, 0x1001u);
}

TEST_F(IndexOps, OnlyTheLastOfSeveralPrefixesCounts) {
    struct Case {
        std::vector<uint8_t> code;
        uint32_t wantIX, wantIY, wantHL;
    };
    const Case cases[] = {
        {{0xDD, 0xDD, 0x21, 0x34, 0x12}, 0x1234, 0, 0},
        {{0xFD, 0xDD, 0x21, 0x34, 0x12}, 0x1234, 0, 0},
        {{0xDD, 0xFD, 0x21, 0x34, 0x12}, 0, 0x1234, 0},
        {{0xDD, 0xFD, 0xDD, 0xFD, 0x21, 0x34, 0x12}, 0, 0x1234, 0},
    };
    for (const Case& c : cases) {
        m.Regs.IX = m.Regs.IY = m.Regs.HL = 0;
        m.Load(0x1000, c.code);
        Code({});
        m.ClearLogs();
        while (m.Regs.PC < 0x1000u + c.code.size()) m.Step();
        EXPECT_EQ(m.Regs.IX, c.wantIX);
        EXPECT_EQ(m.Regs.IY, c.wantIY);
        EXPECT_EQ(m.Regs.HL, c.wantHL);
        std::vector<int> want(c.code.size() - 4, 0);
        want.push_back(14);
        EXPECT_EQ(m.ticks, want);
    }
    // DD ED: the ED instruction runs on its own.
    m.SetAF(0x01, 0);
    Code({0xDD, 0xED, 0x44});
    EXPECT_EQ(m.Step(), 0);
    EXPECT_EQ(m.Step(), 8);
    EXPECT_EQ(m.A(), 0xFF);
}

// ---------------------------------------------------------------------------
// DD CB / FD CB

TEST_F(IndexOps, IndexCBReadsTheOpcodeBeforeTheDisplacement) {
    m.Regs.IX = 0x3000;
    m.memory[0x3005] = 0x81;
    Code({0xDD, 0xCB, 0x05, 0x06}); // RLC (IX+5)
    const uint32_t r = m.Regs.R;
    EXPECT_EQ(m.Step(), 23);
    EXPECT_EQ(m.accesses, (std::vector<Access>{{'r', 0x1000, 0xDD},
                                               {'r', 0x1001, 0xCB},
                                               {'r', 0x1003, 0x06},
                                               {'r', 0x1002, 0x05},
                                               {'r', 0x3005, 0x81},
                                               {'w', 0x3005, 0x03}}));
    EXPECT_EQ(m.Regs.PC, 0x1004u);
    EXPECT_EQ(m.Regs.R, r + 2);
    EXPECT_EQ(m.F(), 0x05); // C, and 0x03 has even parity
}

TEST_F(IndexOps, EveryIndexCBOpcode) {
    for (uint8_t prefix : {0xDD, 0xFD}) {
        for (int op = 0; op < 256; ++op) {
            for (uint8_t v : {0x00, 0x01, 0x80, 0xA5, 0xFF}) {
                for (uint8_t f : {0x00, 0xFF}) {
                    const int8_t d = (op & 1) ? -3 : 4;
                    SeedRegisters();
                    m.Regs.IX = 0x3000;
                    m.Regs.IY = 0x4000;
                    const uint16_t address = static_cast<uint16_t>((prefix == 0xDD ? 0x3000 : 0x4000) + d);
                    m.memory[address] = v;
                    m.SetAF(0x77, f);
                    const Z80Registers before = m.Regs;
                    Code({prefix, 0xCB, static_cast<uint8_t>(d), static_cast<uint8_t>(op)});
                    const int x = op >> 6, y = (op >> 3) & 7, z = op & 7;
                    uint8_t wantV = v, wantF = f;
                    int cost = 0;
                    if (x == 1) {
                        wantF = ref::Bit(y, v, f);
                        cost = 20;
                    } else if (z == 6 && x == 0) {
                        const ref::AF r = ref::Rotate(y, v, f);
                        wantV = r.a;
                        wantF = r.f;
                        cost = 23;
                    } else if (z == 6) {
                        wantV = static_cast<uint8_t>(x == 2 ? v & ~(1 << y) : v | (1 << y));
                        cost = 23;
                    }
                    ASSERT_EQ(m.Step(), cost) << std::hex << int(prefix) << " CB " << op;
                    // Beyond its own four bytes an instruction touches (X+d) only: read
                    // for BIT, read and write back for the others, not at all when undefined.
                    std::vector<Access> data;
                    for (const Access& a : m.accesses)
                        if (a.address < 0x1000 || a.address > 0x1003) data.push_back(a);
                    std::vector<Access> wantData;
                    if (cost != 0) wantData.push_back({'r', address, v});
                    if (cost == 23) wantData.push_back({'w', address, wantV});
                    ASSERT_EQ(data, wantData) << std::hex << int(prefix) << " CB " << op;
                    ASSERT_EQ(m.memory[address], wantV) << std::hex << int(prefix) << " CB " << op << " v " << int(v);
                    ASSERT_EQ(m.F(), wantF) << std::hex << int(prefix) << " CB " << op << " v " << int(v);
                    // No register but F and the fetch bookkeeping changes, not even for the
                    // forms that would copy the result into one.
                    Z80Registers after = m.Regs;
                    ASSERT_EQ(after.PC, 0x1004u);
                    ASSERT_EQ(after.R, before.R + 2);
                    after.PC = before.PC;
                    after.R = before.R;
                    after.AF = (after.AF & 0xFF00) | (before.AF & 0xFF);
                    ASSERT_EQ(0, std::memcmp(&before, &after, sizeof before)) << std::hex << int(prefix) << " CB " << op;
                }
            }
        }
    }
}

TEST_F(IndexOps, BitOnIndexAnyLowBitsTestsTheSameBit) {
    m.Regs.IX = 0x3000;
    m.memory[0x3002] = 0xFE;
    for (uint8_t op : {0x46, 0x47, 0x40, 0x43}) {
        m.SetAF(0, 0);
        Code({0xDD, 0xCB, 0x02, op});
        EXPECT_EQ(m.Step(), 20);
        EXPECT_EQ(m.F(), 0x50) << std::hex << int(op); // bit 0 is 0: Z, H
    }
}

} // namespace
