// Unprefixed instructions: loads, 8-bit and 16-bit arithmetic, rotates of A,
// DAA, jumps, calls, returns, the stack, exchanges and I/O.
#include <cstring>
#include <random>

#include "CpuTest.h"

namespace {

using MainOps = CpuTest;

// ---------------------------------------------------------------------------
// 8-bit arithmetic and logic

TEST_F(MainOps, AluImmediateAgainstReferenceForEveryInput) {
    m.logAccesses = false;
    for (int op = 0; op < 8; ++op) {
        for (int a = 0; a < 256; ++a) {
            for (int v = 0; v < 256; ++v) {
                for (bool carry : {false, true}) {
                    // F in: all ones or all zeros, so no stray bit survives.
                    m.SetAF(static_cast<uint8_t>(a), carry ? 0xFF : 0x00);
                    Code({static_cast<uint8_t>(0xC6 | op << 3), static_cast<uint8_t>(v)});
                    ASSERT_EQ(m.Step(), 7);
                    const ref::AF want = ref::Alu(op, static_cast<uint8_t>(a), static_cast<uint8_t>(v), carry);
                    if (m.A() != want.a || m.F() != want.f) {
                        ADD_FAILURE() << std::hex << "op " << op << " A " << a << " n " << v << " C " << carry
                                      << ": got " << int(m.A()) << "/" << int(m.F()) << " want " << int(want.a)
                                      << "/" << int(want.f);
                        return;
                    }
                }
            }
        }
    }
}

TEST_F(MainOps, AluRegisterAndMemoryOperands) {
    for (int opcode = 0x80; opcode < 0xC0; ++opcode) {
        const int op = (opcode >> 3) & 7, src = opcode & 7;
        SeedRegisters();
        m.SetAF(0x3A, 0x01);
        const uint8_t v = Reg(src);
        Code({static_cast<uint8_t>(opcode)});
        EXPECT_EQ(m.Step(), src == 6 ? 7 : 4);
        const ref::AF want = ref::Alu(op, 0x3A, v, true);
        EXPECT_EQ(m.A(), want.a) << std::hex << opcode;
        EXPECT_EQ(m.F(), want.f) << std::hex << opcode;
        if (src == 6) {
            EXPECT_EQ(AfterFetch(1), (std::vector<Access>{{'r', 0x5566, 0x99}}));
        }
    }
}

TEST_F(MainOps, AluCasesWorkedByHand) {
    struct Case {
        std::vector<uint8_t> code;
        uint8_t a, fIn, b;
        uint8_t wantA, wantF;
    };
    const Case cases[] = {
        {{0xD6, 0x01}, 0x80, 0x00, 0, 0x7F, 0x16},  // SUB 1: V, H, N
        {{0xD6, 0xFF}, 0x05, 0x00, 0, 0x06, 0x13},  // SUB 0xFF: borrow, H, no V
        {{0x80}, 0x7F, 0x00, 0x01, 0x80, 0x94},     // ADD A,B: S, H, V
        {{0xAF}, 0x5A, 0xFF, 0, 0x00, 0x44},        // XOR A: bits 5 and 3 cleared
        {{0xA0}, 0xF0, 0x28, 0x3C, 0x30, 0x14},     // AND B: H, even parity
        {{0xB0}, 0x00, 0xFF, 0x00, 0x00, 0x44},     // OR B
        {{0xCE, 0x0F}, 0x00, 0x01, 0, 0x10, 0x10},  // ADC 0x0F with carry: half carry
        {{0xDE, 0x00}, 0x00, 0x01, 0, 0xFF, 0x93},  // SBC 0 with carry: borrow
        {{0xFE, 0x28}, 0x28, 0x00, 0, 0x28, 0x42},  // CP equal: Z, N, bits 5/3 not from n
        {{0xB8}, 0x10, 0x00, 0x20, 0x10, 0x83},     // CP B: borrow, A kept
    };
    for (const Case& c : cases) {
        m.SetAF(c.a, c.fIn);
        m.Regs.BC = static_cast<uint32_t>(c.b << 8);
        m.Load(0x1000, c.code);
        Code({});
        m.Step();
        EXPECT_EQ(m.A(), c.wantA) << std::hex << int(c.code[0]);
        EXPECT_EQ(m.F(), c.wantF) << std::hex << int(c.code[0]);
    }
}

TEST_F(MainOps, IncDecEveryValueOnEveryOperand) {
    m.logAccesses = false;
    for (int dec = 0; dec < 2; ++dec) {
        for (int code = 0; code < 8; ++code) {
            const uint8_t opcode = static_cast<uint8_t>(0x04 | code << 3 | dec);
            for (int v = 0; v < 256; ++v) {
                for (uint8_t f : {0x00, 0xFF}) {
                    SeedRegisters();
                    m.SetAF(0x77, f);
                    SetReg(code, static_cast<uint8_t>(v));
                    Code({opcode});
                    ASSERT_EQ(m.Step(), code == 6 ? 11 : 4);
                    const ref::AF want = dec ? ref::Dec(static_cast<uint8_t>(v), f) : ref::Inc(static_cast<uint8_t>(v), f);
                    if (Reg(code) != want.a || m.F() != want.f) {
                        ADD_FAILURE() << std::hex << "opcode " << int(opcode) << " v " << v << " F " << int(f)
                                      << ": got " << int(Reg(code)) << "/" << int(m.F());
                        return;
                    }
                }
            }
        }
    }
    // The edge values by hand.
    m.SetAF(0, 0);
    m.Regs.BC = 0x7F00;
    Code({0x04});
    m.Step();
    EXPECT_EQ(m.F(), 0x94); // INC 0x7F: S, H, V
    m.Regs.BC = 0x8000;
    Code({0x05});
    m.Step();
    EXPECT_EQ(m.F(), 0x16); // DEC 0x80 = 0x7F: H, V, N
    m.Regs.BC = 0x1000;
    Code({0x05});
    m.Step();
    EXPECT_EQ(m.F(), 0x12); // DEC 0x10: H, N
}

TEST_F(MainOps, IncDecMemoryReadsThenWritesBack) {
    m.Regs.HL = 0x9000;
    m.memory[0x9000] = 0x0F;
    Code({0x34, 0x35});
    m.Step();
    EXPECT_EQ(AfterFetch(1), (std::vector<Access>{{'r', 0x9000, 0x0F}, {'w', 0x9000, 0x10}}));
    m.ClearLogs();
    m.Step();
    EXPECT_EQ(m.accesses, (std::vector<Access>{{'r', 0x1001, 0x35}, {'r', 0x9000, 0x10}, {'w', 0x9000, 0x0F}}));
}

// ---------------------------------------------------------------------------
// Rotates of A, flag instructions, DAA

TEST_F(MainOps, AccumulatorRotatesKeepSZPAndBits5And3) {
    m.logAccesses = false;
    const uint8_t opcodes[] = {0x07, 0x0F, 0x17, 0x1F};
    for (int op = 0; op < 4; ++op) {
        for (int a = 0; a < 256; ++a) {
            for (int f = 0; f < 256; ++f) {
                m.SetAF(static_cast<uint8_t>(a), static_cast<uint8_t>(f));
                Code({opcodes[op]});
                ASSERT_EQ(m.Step(), 4);
                const ref::AF want = ref::RotateA(op, static_cast<uint8_t>(a), static_cast<uint8_t>(f));
                if (m.A() != want.a || m.F() != want.f) {
                    ADD_FAILURE() << std::hex << "op " << int(opcodes[op]) << " A " << a << " F " << f;
                    return;
                }
            }
        }
    }
    // RLCA of 0x81 with F = 0xFE: S Z 5 3 P kept, H N cleared, C = 1.
    m.SetAF(0x81, 0xFE);
    Code({0x07});
    m.Step();
    EXPECT_EQ(m.A(), 0x03);
    EXPECT_EQ(m.F(), 0xED);
}

TEST_F(MainOps, CplScfCcfChangeOnlyTheirFlags) {
    m.logAccesses = false;
    for (int f = 0; f < 256; ++f) {
        const uint8_t keep = static_cast<uint8_t>(f & 0xED); // all but H and N
        m.SetAF(0x5A, static_cast<uint8_t>(f));
        Code({0x2F});
        m.Step();
        EXPECT_EQ(m.A(), 0xA5);
        EXPECT_EQ(m.F(), f | 0x12);

        m.SetAF(0x5A, static_cast<uint8_t>(f));
        Code({0x37});
        m.Step();
        EXPECT_EQ(m.F(), (keep & 0xFE) | 0x01);

        m.SetAF(0x5A, static_cast<uint8_t>(f));
        Code({0x3F});
        m.Step();
        EXPECT_EQ(m.F(), (keep & 0xFE) | ((f & 1) ? 0x10 : 0x01)) << f;
        EXPECT_EQ(m.A(), 0x5A);
    }
}

TEST_F(MainOps, DaaTableMatchesTheRuleForAll2048Inputs) {
    for (int i = 0; i < 2048; ++i) {
        const uint8_t a = static_cast<uint8_t>(i);
        const uint8_t f = static_cast<uint8_t>(((i >> 8) & 1 ? ref::C : 0) | ((i >> 9) & 1 ? ref::H : 0) |
                                               ((i >> 10) & 1 ? ref::N : 0));
        const ref::AF want = ref::Daa(a, f);
        EXPECT_EQ(z80cpu::DaaTable[i], (want.a << 8) | want.f) << std::hex << i;
    }
}

TEST_F(MainOps, DaaInstructionIgnoresTheOtherFlagBits) {
    m.logAccesses = false;
    for (int i = 0; i < 2048; ++i) {
        for (uint8_t others : {0x00, 0xEC, 0xA8, 0x44}) { // S Z 5 3 P/V in several mixes
            const uint8_t a = static_cast<uint8_t>(i);
            const uint8_t f = static_cast<uint8_t>(others | ((i >> 8) & 1 ? ref::C : 0) |
                                                   ((i >> 9) & 1 ? ref::H : 0) | ((i >> 10) & 1 ? ref::N : 0));
            m.SetAF(a, f);
            Code({0x27});
            ASSERT_EQ(m.Step(), 4);
            const ref::AF want = ref::Daa(a, f);
            if (m.A() != want.a || m.F() != want.f) {
                ADD_FAILURE() << std::hex << "A " << int(a) << " F " << int(f) << " got " << int(m.A()) << "/"
                              << int(m.F()) << " want " << int(want.a) << "/" << int(want.f);
                return;
            }
        }
    }
}

TEST_F(MainOps, DaaAfterAddAndSubGivesDecimalResults) {
    m.logAccesses = false;
    auto bcd = [](int v) { return static_cast<uint8_t>((v / 10) << 4 | (v % 10)); };
    for (int x = 0; x < 100; ++x) {
        for (int y = 0; y < 100; ++y) {
            m.SetAF(bcd(x), 0);
            Code({0xC6, bcd(y), 0x27}); // ADD A,y; DAA
            m.Step();
            m.Step();
            ASSERT_EQ(m.A(), bcd((x + y) % 100)) << x << "+" << y;
            ASSERT_EQ(m.F() & ref::C, x + y >= 100 ? 1 : 0) << x << "+" << y;

            m.SetAF(bcd(x), 0);
            Code({0xD6, bcd(y), 0x27}); // SUB y; DAA
            m.Step();
            m.Step();
            ASSERT_EQ(m.A(), bcd((x - y + 100) % 100)) << x << "-" << y;
            ASSERT_EQ(m.F() & ref::C, x < y ? 1 : 0) << x << "-" << y;
        }
    }
    m.SetAF(0x15, 0);
    Code({0xC6, 0x27, 0x27});
    m.Step();
    EXPECT_EQ(m.A(), 0x3C);
    m.Step();
    EXPECT_EQ(m.A(), 0x42);
    EXPECT_EQ(m.F(), 0x14); // H from the low digit 0xC > 9, even parity
}

// ---------------------------------------------------------------------------
// 16-bit arithmetic

TEST_F(MainOps, AddHLAgainstReferenceForEveryPair) {
    m.logAccesses = false;
    std::mt19937 rng(12345);
    const uint16_t edges[] = {0x0000, 0x0001, 0x0FFF, 0x1000, 0x7FFF, 0x8000, 0xF000, 0xFFFF};
    for (int pair = 0; pair < 4; ++pair) {
        for (int i = 0; i < 4000; ++i) {
            const uint16_t hl = i < 64 ? edges[i % 8] : static_cast<uint16_t>(rng());
            uint16_t rr = i < 64 ? edges[i / 8] : static_cast<uint16_t>(rng());
            const uint8_t f = static_cast<uint8_t>(rng());
            m.Regs.HL = hl;
            m.Regs.BC = m.Regs.DE = 0x1111;
            m.Regs.SP = 0x2222;
            if (pair == 0) m.Regs.BC = rr;
            if (pair == 1) m.Regs.DE = rr;
            if (pair == 2) rr = hl;
            if (pair == 3) m.Regs.SP = rr;
            m.SetAF(0x99, f);
            Code({static_cast<uint8_t>(0x09 | pair << 4)});
            ASSERT_EQ(m.Step(), 11);
            const ref::Word want = ref::Add16(hl, rr, f);
            ASSERT_EQ(m.Regs.HL, want.value) << std::hex << hl << "+" << rr;
            ASSERT_EQ(m.F(), want.f) << std::hex << hl << "+" << rr << " F " << int(f);
            ASSERT_EQ(m.A(), 0x99);
        }
    }
}

TEST_F(MainOps, IncDecPairsWrapAndLeaveFlags) {
    for (int p = 0; p < 4; ++p) {
        uint32_t* pairs[] = {&m.Regs.BC, &m.Regs.DE, &m.Regs.HL, &m.Regs.SP};
        *pairs[p] = 0xFFFF;
        m.SetAF(0, 0xD7);
        Code({static_cast<uint8_t>(0x03 | p << 4)});
        EXPECT_EQ(m.Step(), 6);
        EXPECT_EQ(*pairs[p], 0x0000u);
        Code({static_cast<uint8_t>(0x0B | p << 4)});
        EXPECT_EQ(m.Step(), 6);
        EXPECT_EQ(*pairs[p], 0xFFFFu);
        EXPECT_EQ(m.F(), 0xD7);
    }
}

// ---------------------------------------------------------------------------
// Loads

TEST_F(MainOps, LoadRegisterToRegisterForAll63Forms) {
    for (int opcode = 0x40; opcode < 0x80; ++opcode) {
        if (opcode == 0x76) continue;
        const int dst = (opcode >> 3) & 7, src = opcode & 7;
        SeedRegisters();
        m.SetAF(0x77, 0xA5);
        const uint8_t v = Reg(src);
        uint8_t before[8];
        for (int c = 0; c < 8; ++c) before[c] = Reg(c);
        const uint16_t hl = static_cast<uint16_t>(m.Regs.HL);
        Code({static_cast<uint8_t>(opcode)});
        EXPECT_EQ(m.Step(), dst == 6 || src == 6 ? 7 : 4) << std::hex << opcode;
        if (dst == 6) {
            EXPECT_EQ(m.memory[hl], v);
            EXPECT_EQ(AfterFetch(1), (std::vector<Access>{{'w', hl, v}}));
        } else {
            EXPECT_EQ(Reg(dst), v) << std::hex << opcode;
        }
        for (int c = 0; c < 8; ++c)
            if (c != dst && c != 6) {
                EXPECT_EQ(Reg(c), before[c]) << std::hex << opcode << " code " << c;
            }
        EXPECT_EQ(m.F(), 0xA5);
    }
}

TEST_F(MainOps, LoadImmediates) {
    for (int code = 0; code < 8; ++code) {
        m.Regs.HL = 0x5566;
        Code({static_cast<uint8_t>(0x06 | code << 3), static_cast<uint8_t>(0xC0 + code)});
        EXPECT_EQ(m.Step(), code == 6 ? 10 : 7);
        EXPECT_EQ(Reg(code), 0xC0 + code);
    }
    // LD (HL),n reads n first, then writes.
    m.Regs.HL = 0x5566;
    Code({0x36, 0x42});
    m.Step();
    EXPECT_EQ(m.accesses, (std::vector<Access>{{'r', 0x1000, 0x36}, {'r', 0x1001, 0x42}, {'w', 0x5566, 0x42}}));

    uint32_t* pairs[] = {&m.Regs.BC, &m.Regs.DE, &m.Regs.HL, &m.Regs.SP};
    for (int p = 0; p < 4; ++p) {
        Code({static_cast<uint8_t>(0x01 | p << 4), 0x34, 0x12});
        EXPECT_EQ(m.Step(), 10);
        EXPECT_EQ(*pairs[p], 0x1234u);
        EXPECT_EQ(m.Regs.PC, 0x1003u);
    }
}

TEST_F(MainOps, LoadsThroughPairsAndAbsoluteAddresses) {
    m.SetAF(0xAB, 0);
    m.Regs.BC = 0x2000;
    m.Regs.DE = 0x3000;
    Code({0x02, 0x12});
    EXPECT_EQ(m.Step(), 7);
    EXPECT_EQ(m.Step(), 7);
    EXPECT_EQ(AfterFetch(0), (std::vector<Access>{
                                 {'r', 0x1000, 0x02}, {'w', 0x2000, 0xAB}, {'r', 0x1001, 0x12}, {'w', 0x3000, 0xAB}}));
    m.memory[0x2000] = 0x11;
    m.memory[0x3000] = 0x22;
    Code({0x0A});
    m.Step();
    EXPECT_EQ(m.A(), 0x11);
    Code({0x1A});
    m.Step();
    EXPECT_EQ(m.A(), 0x22);

    Code({0x32, 0x00, 0x40});
    m.SetAF(0x5C, 0);
    EXPECT_EQ(m.Step(), 13);
    EXPECT_EQ(m.memory[0x4000], 0x5C);
    m.memory[0x4001] = 0x6D;
    Code({0x3A, 0x01, 0x40});
    EXPECT_EQ(m.Step(), 13);
    EXPECT_EQ(m.A(), 0x6D);
}

TEST_F(MainOps, WordLoadsLowByteFirstAndWrapAtTheTop) {
    m.Regs.HL = 0xBEEF;
    Code({0x22, 0xFF, 0xFF}); // LD (0xFFFF),HL
    EXPECT_EQ(m.Step(), 16);
    EXPECT_EQ(AfterFetch(3), (std::vector<Access>{{'w', 0xFFFF, 0xEF}, {'w', 0x0000, 0xBE}}));
    m.Regs.HL = 0;
    Code({0x2A, 0xFF, 0xFF});
    EXPECT_EQ(m.Step(), 16);
    EXPECT_EQ(m.Regs.HL, 0xBEEFu);
    EXPECT_EQ(AfterFetch(3), (std::vector<Access>{{'r', 0xFFFF, 0xEF}, {'r', 0x0000, 0xBE}}));
}

// ---------------------------------------------------------------------------
// Jumps, calls, returns

TEST_F(MainOps, RelativeJumps) {
    Code({0x18, 0x10});
    EXPECT_EQ(m.Step(), 12);
    EXPECT_EQ(m.Regs.PC, 0x1012u);
    Code({0x18, 0xFE}); // to itself
    m.Step();
    EXPECT_EQ(m.Regs.PC, 0x1000u);
    Code({0x18, 0x20}, 0xFFF0); // wraps
    m.Step();
    EXPECT_EQ(m.Regs.PC, 0x0012u);
    Code({0x18, 0x80}, 0x0010);
    m.Step();
    EXPECT_EQ(m.Regs.PC, 0xFF92u);
}

TEST_F(MainOps, ConditionalRelativeJumpsSkipTheDisplacementWhenNotTaken) {
    const uint8_t opcodes[] = {0x20, 0x28, 0x30, 0x38};
    const uint8_t takenWith[] = {0x00, 0x40, 0x00, 0x01};
    for (int i = 0; i < 4; ++i) {
        m.SetAF(0, takenWith[i]);
        Code({opcodes[i], 0x05});
        EXPECT_EQ(m.Step(), 12);
        EXPECT_EQ(m.Regs.PC, 0x1007u);
        m.SetAF(0, static_cast<uint8_t>(takenWith[i] ^ (i < 2 ? 0x40 : 0x01)));
        Code({opcodes[i], 0x05});
        EXPECT_EQ(m.Step(), 7);
        EXPECT_EQ(m.Regs.PC, 0x1002u);
        EXPECT_EQ(m.accesses.size(), 1u) << "displacement read while not jumping";
    }
}

TEST_F(MainOps, DjnzCountsDownAndFallsThroughAtZero) {
    m.Regs.BC = 0x0100;
    Code({0x10, 0xFE});
    EXPECT_EQ(m.Step(), 8);
    EXPECT_EQ(m.Regs.BC, 0x0000u);
    EXPECT_EQ(m.Regs.PC, 0x1002u);
    EXPECT_EQ(m.accesses.size(), 1u);
    m.Regs.BC = 0x0233;
    Code({0x10, 0xFE});
    EXPECT_EQ(m.Step(), 13);
    EXPECT_EQ(m.Regs.BC, 0x0133u);
    EXPECT_EQ(m.Regs.PC, 0x1000u);
    m.Regs.BC = 0x0000; // 256 times round
    m.SetAF(0, 0xFF);
    Code({0x10, 0xFE});
    int steps = 0;
    while (m.Regs.PC == 0x1000 && steps < 300) {
        m.Step();
        ++steps;
    }
    EXPECT_EQ(steps, 256);
    EXPECT_EQ(m.F(), 0xFF); // flags untouched
}

TEST_F(MainOps, AbsoluteJumps) {
    Code({0xC3, 0x34, 0x12});
    EXPECT_EQ(m.Step(), 10);
    EXPECT_EQ(m.Regs.PC, 0x1234u);
    const uint8_t taken[8] = {0x00, 0x40, 0x00, 0x01, 0x00, 0x04, 0x00, 0x80};
    const uint8_t flip[8] = {0x40, 0x40, 0x01, 0x01, 0x04, 0x04, 0x80, 0x80};
    for (int cc = 0; cc < 8; ++cc) {
        m.SetAF(0, taken[cc]);
        Code({static_cast<uint8_t>(0xC2 | cc << 3), 0x34, 0x12});
        EXPECT_EQ(m.Step(), 10);
        EXPECT_EQ(m.Regs.PC, 0x1234u) << cc;
        m.SetAF(0, static_cast<uint8_t>(taken[cc] ^ flip[cc]));
        Code({static_cast<uint8_t>(0xC2 | cc << 3), 0x34, 0x12});
        EXPECT_EQ(m.Step(), 10);
        EXPECT_EQ(m.Regs.PC, 0x1003u) << cc;
        EXPECT_EQ(m.accesses.size(), 1u) << "operand read while not jumping, cc " << cc;
    }
    m.Regs.HL = 0xC0DE;
    Code({0xE9});
    EXPECT_EQ(m.Step(), 4);
    EXPECT_EQ(m.Regs.PC, 0xC0DEu);
    EXPECT_EQ(m.accesses.size(), 1u);
}

TEST_F(MainOps, CallReadsItsOperandThenPushes) {
    m.Regs.SP = 0x8000;
    Code({0xCD}, 0xFFFE);
    m.memory[0xFFFF] = 0x34;
    m.memory[0x0000] = 0x12;
    EXPECT_EQ(m.Step(), 17);
    EXPECT_EQ(m.Regs.PC, 0x1234u);
    EXPECT_EQ(m.Regs.SP, 0x7FFEu);
    EXPECT_EQ(m.accesses, (std::vector<Access>{{'r', 0xFFFE, 0xCD},
                                               {'r', 0xFFFF, 0x34},
                                               {'r', 0x0000, 0x12},
                                               {'w', 0x7FFE, 0x01},
                                               {'w', 0x7FFF, 0x00}}));
}

TEST_F(MainOps, ConditionalCallsAndReturns) {
    const uint8_t taken[8] = {0x00, 0x40, 0x00, 0x01, 0x00, 0x04, 0x00, 0x80};
    const uint8_t flip[8] = {0x40, 0x40, 0x01, 0x01, 0x04, 0x04, 0x80, 0x80};
    for (int cc = 0; cc < 8; ++cc) {
        m.Regs.SP = 0x8000;
        m.SetAF(0, taken[cc]);
        Code({static_cast<uint8_t>(0xC4 | cc << 3), 0x00, 0x20});
        EXPECT_EQ(m.Step(), 17);
        EXPECT_EQ(m.Regs.PC, 0x2000u);
        EXPECT_EQ(m.Regs.SP, 0x7FFEu);
        // RET cc taken: 11, back after the call.
        Code({static_cast<uint8_t>(0xC0 | cc << 3)}, 0x2000);
        EXPECT_EQ(m.Step(), 11);
        EXPECT_EQ(m.Regs.PC, 0x1003u);
        EXPECT_EQ(m.Regs.SP, 0x8000u);
        EXPECT_EQ(AfterFetch(1), (std::vector<Access>{{'r', 0x7FFE, 0x03}, {'r', 0x7FFF, 0x10}}));

        m.SetAF(0, static_cast<uint8_t>(taken[cc] ^ flip[cc]));
        Code({static_cast<uint8_t>(0xC4 | cc << 3), 0x00, 0x20});
        EXPECT_EQ(m.Step(), 10);
        EXPECT_EQ(m.Regs.PC, 0x1003u);
        EXPECT_EQ(m.Regs.SP, 0x8000u);
        EXPECT_EQ(m.accesses.size(), 1u) << "CALL cc not taken touched memory, cc " << cc;
        Code({static_cast<uint8_t>(0xC0 | cc << 3)}, 0x2000);
        EXPECT_EQ(m.Step(), 5);
        EXPECT_EQ(m.Regs.PC, 0x2001u);
        EXPECT_EQ(m.Regs.SP, 0x8000u);
        EXPECT_EQ(m.accesses.size(), 1u) << "RET cc not taken touched the stack, cc " << cc;
    }
    m.Regs.SP = 0x7FFE;
    Code({0xC9});
    EXPECT_EQ(m.Step(), 10);
    EXPECT_EQ(m.Regs.PC, 0x1003u);
}

TEST_F(MainOps, RestartsPushTheNextAddress) {
    for (int p = 0; p < 8; ++p) {
        m.Regs.SP = 0x8000;
        Code({static_cast<uint8_t>(0xC7 | p << 3)}, 0x1234);
        EXPECT_EQ(m.Step(), 11);
        EXPECT_EQ(m.Regs.PC, static_cast<uint32_t>(p * 8));
        EXPECT_EQ(AfterFetch(1), (std::vector<Access>{{'w', 0x7FFE, 0x35}, {'w', 0x7FFF, 0x12}}));
    }
}

// ---------------------------------------------------------------------------
// Stack and exchanges

TEST_F(MainOps, PushAndPopEveryPairInStackOrder) {
    uint32_t* pairs[] = {&m.Regs.BC, &m.Regs.DE, &m.Regs.HL, &m.Regs.AF};
    for (int p = 0; p < 4; ++p) {
        *pairs[p] = 0xA1B2u + static_cast<uint32_t>(p);
        m.Regs.SP = 0x8000;
        Code({static_cast<uint8_t>(0xC5 | p << 4)});
        EXPECT_EQ(m.Step(), 11);
        EXPECT_EQ(AfterFetch(1),
                  (std::vector<Access>{{'w', 0x7FFE, static_cast<uint8_t>(0xB2 + p)}, {'w', 0x7FFF, 0xA1}}));
        m.memory[0x7FFE] = 0x28; // POP AF loads bits 5 and 3 too
        m.memory[0x7FFF] = 0x9C;
        Code({static_cast<uint8_t>(0xC1 | p << 4)});
        EXPECT_EQ(m.Step(), 10);
        EXPECT_EQ(*pairs[p], 0x9C28u);
        EXPECT_EQ(m.Regs.SP, 0x8000u);
        EXPECT_EQ(AfterFetch(1), (std::vector<Access>{{'r', 0x7FFE, 0x28}, {'r', 0x7FFF, 0x9C}}));
    }
    // The stack pointer wraps.
    m.Regs.SP = 0x0001;
    m.Regs.BC = 0xABCD;
    Code({0xC5});
    m.Step();
    EXPECT_EQ(m.Regs.SP, 0xFFFFu);
    EXPECT_EQ(AfterFetch(1), (std::vector<Access>{{'w', 0xFFFF, 0xCD}, {'w', 0x0000, 0xAB}}));
    Code({0xD1});
    m.Step();
    EXPECT_EQ(m.Regs.DE, 0xABCDu);
    EXPECT_EQ(m.Regs.SP, 0x0001u);
}

TEST_F(MainOps, Exchanges) {
    m.Regs.AF = 0x1111;
    m.Regs.AFAlt = 0x2828;
    Code({0x08});
    EXPECT_EQ(m.Step(), 4);
    EXPECT_EQ(m.Regs.AF, 0x2828u);
    EXPECT_EQ(m.Regs.AFAlt, 0x1111u);

    m.Regs.BC = 1;
    m.Regs.DE = 2;
    m.Regs.HL = 3;
    m.Regs.BCAlt = 4;
    m.Regs.DEAlt = 5;
    m.Regs.HLAlt = 6;
    Code({0xD9});
    EXPECT_EQ(m.Step(), 4);
    EXPECT_EQ(m.Regs.BC, 4u);
    EXPECT_EQ(m.Regs.DE, 5u);
    EXPECT_EQ(m.Regs.HL, 6u);
    EXPECT_EQ(m.Regs.BCAlt, 1u);
    EXPECT_EQ(m.Regs.DEAlt, 2u);
    EXPECT_EQ(m.Regs.HLAlt, 3u);
    EXPECT_EQ(m.Regs.AF, 0x2828u);

    Code({0xEB});
    EXPECT_EQ(m.Step(), 4);
    EXPECT_EQ(m.Regs.DE, 6u);
    EXPECT_EQ(m.Regs.HL, 5u);

    m.Regs.SP = 0x8000;
    m.memory[0x8000] = 0x34;
    m.memory[0x8001] = 0x12;
    m.Regs.HL = 0xABCD;
    Code({0xE3});
    EXPECT_EQ(m.Step(), 19);
    EXPECT_EQ(m.Regs.HL, 0x1234u);
    EXPECT_EQ(m.Regs.SP, 0x8000u);
    EXPECT_EQ(AfterFetch(1), (std::vector<Access>{
                                 {'r', 0x8000, 0x34}, {'r', 0x8001, 0x12}, {'w', 0x8000, 0xCD}, {'w', 0x8001, 0xAB}}));

    m.Regs.HL = 0x4321;
    Code({0xF9});
    EXPECT_EQ(m.Step(), 6);
    EXPECT_EQ(m.Regs.SP, 0x4321u);
}

// ---------------------------------------------------------------------------
// I/O

TEST_F(MainOps, InAndOutPutAOnTheUpperHalfOfThePort) {
    m.ports[0x1234] = 0x9A;
    m.SetAF(0x12, 0xC5);
    Code({0xDB, 0x34});
    EXPECT_EQ(m.Step(), 11);
    EXPECT_EQ(m.A(), 0x9A);
    EXPECT_EQ(m.F(), 0xC5); // flags unchanged
    EXPECT_EQ(m.accesses,
              (std::vector<Access>{{'r', 0x1000, 0xDB}, {'r', 0x1001, 0x34}, {'i', 0x1234, 0x9A}}));
    m.SetAF(0x56, 0);
    Code({0xD3, 0x78});
    EXPECT_EQ(m.Step(), 11);
    EXPECT_EQ(m.accesses,
              (std::vector<Access>{{'r', 0x1000, 0xD3}, {'r', 0x1001, 0x78}, {'o', 0x5678, 0x56}}));
}

TEST_F(MainOps, NopChangesOnlyPCAndR) {
    m.Regs.AF = 0x12FF;
    const Z80Registers before = m.Regs;
    Code({0x00});
    EXPECT_EQ(m.Step(), 4);
    Z80Registers after = m.Regs;
    after.PC = before.PC;
    after.R = before.R;
    EXPECT_EQ(0, std::memcmp(&before, &after, sizeof before));
    EXPECT_EQ(m.Regs.PC, 0x1001u);
}

} // namespace
