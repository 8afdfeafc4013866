// ED-prefixed instructions: port I/O through BC, 16-bit ADC/SBC, word loads,
// NEG, RETN/RETI, IM, I and R, RRD/RLD, the block instructions with their
// repetitions as separate instructions, undefined opcodes and the trap.
#include <cstring>
#include <random>

#include "CpuTest.h"

namespace {

using EDOps = CpuTest;

TEST_F(EDOps, InThroughBCSetsFlagsFromTheValue) {
    const uint8_t opcodes[] = {0x40, 0x48, 0x50, 0x58, 0x60, 0x68, 0x70, 0x78};
    for (int code = 0; code < 8; ++code) {
        for (uint8_t v : {0x00, 0x80, 0x7F, 0x28, 0xFF}) {
            for (uint8_t f : {0x00, 0xFF}) {
                m.Regs.BC = 0x1234;
                m.Regs.DE = 0x5678;
                m.Regs.HL = 0x9ABC;
                m.SetAF(0xDE, f);
                m.ports[0x1234] = v;
                const Z80Registers before = m.Regs;
                Code({0xED, opcodes[code]});
                EXPECT_EQ(m.Step(), 12);
                EXPECT_EQ(AfterFetch(2), (std::vector<Access>{{'i', 0x1234, v}}));
                EXPECT_EQ(m.F(), ref::SignZeroParity(v) | (f & ref::C)) << std::hex << int(opcodes[code]) << " " << int(v);
                if (code == 6) { // IN (C): the value is dropped
                    EXPECT_EQ(m.Regs.BC, before.BC);
                    EXPECT_EQ(m.Regs.DE, before.DE);
                    EXPECT_EQ(m.Regs.HL, before.HL);
                    EXPECT_EQ(m.A(), 0xDE);
                } else {
                    EXPECT_EQ(Reg(code), v) << std::hex << int(opcodes[code]);
                }
            }
        }
    }
}

TEST_F(EDOps, OutThroughBC) {
    const uint8_t opcodes[] = {0x41, 0x49, 0x51, 0x59, 0x61, 0x69, 0x71, 0x79};
    for (int code = 0; code < 8; ++code) {
        m.Regs.BC = 0x1234;
        m.Regs.DE = 0x5678;
        m.Regs.HL = 0x9ABC;
        m.SetAF(0xDE, 0xC3);
        const uint8_t v = code == 6 ? 0 : Reg(code);
        Code({0xED, opcodes[code]});
        EXPECT_EQ(m.Step(), 12);
        EXPECT_EQ(AfterFetch(2), (std::vector<Access>{{'o', 0x1234, v}})) << std::hex << int(opcodes[code]);
        EXPECT_EQ(m.F(), 0xC3);
    }
}

TEST_F(EDOps, AdcAndSbcHLAgainstReference) {
    m.logAccesses = false;
    std::mt19937 rng(777);
    const uint16_t edges[] = {0x0000, 0x0001, 0x0FFF, 0x1000, 0x7FFF, 0x8000, 0xFFFE, 0xFFFF};
    for (int sbc = 0; sbc < 2; ++sbc) {
        for (int pair = 0; pair < 4; ++pair) {
            const uint8_t opcode = static_cast<uint8_t>((sbc ? 0x42 : 0x4A) | pair << 4);
            for (int i = 0; i < 3000; ++i) {
                const uint16_t hl = i < 128 ? edges[i % 8] : static_cast<uint16_t>(rng());
                uint16_t rr = i < 128 ? edges[(i / 8) % 8] : static_cast<uint16_t>(rng());
                const bool carry = i < 128 ? i >= 64 : (rng() & 1);
                m.Regs.HL = hl;
                m.Regs.BC = m.Regs.DE = m.Regs.SP = 0x5555;
                if (pair == 0) m.Regs.BC = rr;
                if (pair == 1) m.Regs.DE = rr;
                if (pair == 2) rr = hl;
                if (pair == 3) m.Regs.SP = rr;
                m.SetAF(0x99, carry ? 0xFF : 0x28);
                Code({0xED, opcode});
                ASSERT_EQ(m.Step(), 15);
                const ref::Word want = sbc ? ref::Sbc16(hl, rr, carry) : ref::Adc16(hl, rr, carry);
                ASSERT_EQ(m.Regs.HL, want.value) << std::hex << int(opcode) << " " << hl << " " << rr << " " << carry;
                ASSERT_EQ(m.F(), want.f) << std::hex << int(opcode) << " " << hl << " " << rr << " " << carry;
                ASSERT_EQ(m.A(), 0x99);
            }
        }
    }
    // By hand.
    struct Case {
        uint8_t opcode;
        uint16_t hl, bc, de;
        uint8_t fIn;
        uint16_t wantHL;
        uint8_t wantF;
    };
    const Case cases[] = {
        {0x52, 0x8000, 0x0000, 0x0001, 0x00, 0x7FFF, 0x16}, // SBC HL,DE: H, V, N; S 0
        {0x62, 0x1234, 0x0000, 0x0000, 0x01, 0xFFFF, 0x93}, // SBC HL,HL with carry: S, H, N, C
        {0x4A, 0xFFFF, 0x0000, 0x0000, 0x01, 0x0000, 0x51}, // ADC HL,BC to zero: Z, H, C
    };
    for (const Case& c : cases) {
        m.Regs.HL = c.hl;
        m.Regs.BC = c.bc;
        m.Regs.DE = c.de;
        m.SetAF(0, c.fIn);
        Code({0xED, c.opcode});
        m.Step();
        EXPECT_EQ(m.Regs.HL, c.wantHL) << std::hex << int(c.opcode);
        EXPECT_EQ(m.F(), c.wantF) << std::hex << int(c.opcode);
    }
}

TEST_F(EDOps, WordLoadsOfEveryPair) {
    uint32_t* pairs[] = {&m.Regs.BC, &m.Regs.DE, &m.Regs.HL, &m.Regs.SP};
    for (int p = 0; p < 4; ++p) {
        *pairs[p] = 0xA1B2u;
        Code({0xED, static_cast<uint8_t>(0x43 | p << 4), 0xFF, 0xFF});
        EXPECT_EQ(m.Step(), 20);
        EXPECT_EQ(AfterFetch(4), (std::vector<Access>{{'w', 0xFFFF, 0xB2}, {'w', 0x0000, 0xA1}}));
        *pairs[p] = 0;
        m.memory[0x3000] = 0x34;
        m.memory[0x3001] = 0x12;
        Code({0xED, static_cast<uint8_t>(0x4B | p << 4), 0x00, 0x30});
        EXPECT_EQ(m.Step(), 20);
        EXPECT_EQ(*pairs[p], 0x1234u);
        EXPECT_EQ(AfterFetch(4), (std::vector<Access>{{'r', 0x3000, 0x34}, {'r', 0x3001, 0x12}}));
    }
}

TEST_F(EDOps, NegOnEveryOpcodeAndValue) {
    m.logAccesses = false;
    for (uint8_t opcode : {0x44, 0x4C, 0x54, 0x5C, 0x64, 0x6C, 0x74, 0x7C}) {
        for (int v = 0; v < 256; ++v) {
            m.SetAF(static_cast<uint8_t>(v), 0xFF);
            Code({0xED, opcode});
            ASSERT_EQ(m.Step(), 8);
            const ref::AF want = ref::Alu(2, 0, static_cast<uint8_t>(v), false);
            ASSERT_EQ(m.A(), want.a) << std::hex << int(opcode) << " " << v;
            ASSERT_EQ(m.F(), want.f) << std::hex << int(opcode) << " " << v;
        }
    }
    m.SetAF(0x80, 0);
    Code({0xED, 0x44});
    m.Step();
    EXPECT_EQ(m.A(), 0x80);
    EXPECT_EQ(m.F(), 0x87); // S, V, N, C
    m.SetAF(0x00, 0xFF);
    Code({0xED, 0x44});
    m.Step();
    EXPECT_EQ(m.F(), 0x42); // Z, N; no carry
}

// RETN restores IFF1 from IFF2 before telling the machine; RETI tells the
// machine and leaves both. Either way the machine hears of it before the pop.
TEST_F(EDOps, RetnAndRetiTellTheMachineThenPop) {
    for (uint8_t opcode : {0x45, 0x55, 0x65, 0x75, 0x4D, 0x5D, 0x6D, 0x7D}) {
        const bool retn = !(opcode & 0x08);
        m.Regs.IFF1 = 0;
        m.Regs.IFF2 = 1;
        m.Regs.SP = 0x7FFE;
        m.memory[0x7FFE] = 0x34;
        m.memory[0x7FFF] = 0x12;
        Code({0xED, opcode});
        EXPECT_EQ(m.Step(), 14);
        EXPECT_EQ(m.Regs.PC, 0x1234u);
        EXPECT_EQ(m.Regs.SP, 0x8000u);
        EXPECT_EQ(m.Regs.IFF1, retn ? 1u : 0u) << std::hex << int(opcode);
        EXPECT_EQ(m.Regs.IFF2, 1u);
        const Access notice = retn ? Access{'N', 0, 1} : Access{'E', 0, 0};
        EXPECT_EQ(AfterFetch(2), (std::vector<Access>{notice, {'r', 0x7FFE, 0x34}, {'r', 0x7FFF, 0x12}}))
            << std::hex << int(opcode);
    }
}

TEST_F(EDOps, NmiRoutineEndedByRetnGetsInterruptsBack) {
    m.Regs.IFF1 = m.Regs.IFF2 = 1;
    Code({0x00});
    m.Load(0x66, {0xED, 0x45});
    m.nmiRequest = true;
    m.Step(); // NOP, then the NMI
    EXPECT_EQ(m.Regs.PC, 0x66u);
    EXPECT_EQ(m.Regs.IFF1, 0u);
    m.Step();
    EXPECT_EQ(m.Regs.PC, 0x1001u);
    EXPECT_EQ(m.Regs.IFF1, 1u);
}

TEST_F(EDOps, InterruptModes) {
    const uint8_t opcodes[] = {0x46, 0x4E, 0x56, 0x5E, 0x66, 0x6E, 0x76, 0x7E};
    const uint32_t modes[] = {0, 0, 1, 2, 0, 0, 1, 2};
    for (int i = 0; i < 8; ++i) {
        m.Regs.IM = 7;
        Code({0xED, opcodes[i]});
        EXPECT_EQ(m.Step(), 8);
        EXPECT_EQ(m.Regs.IM, modes[i]) << std::hex << int(opcodes[i]);
    }
}

TEST_F(EDOps, InterruptAndRefreshRegisters) {
    m.SetAF(0x9C, 0xFF);
    Code({0xED, 0x47}); // LD I,A
    EXPECT_EQ(m.Step(), 9);
    EXPECT_EQ(m.Regs.I, 0x9Cu);
    EXPECT_EQ(m.F(), 0xFF);
    Code({0xED, 0x4F}); // LD R,A
    EXPECT_EQ(m.Step(), 9);
    EXPECT_EQ(m.Regs.R, 0x9Cu);
    EXPECT_EQ(m.Regs.R7, 0x9Cu);

    struct Case {
        uint8_t value;
        uint32_t iff2;
        uint8_t fIn, wantF;
    };
    const Case cases[] = {
        {0x00, 0, 0xFF, 0x41}, // Z, C kept, H N cleared, P/V = IFF2
        {0x80, 1, 0x00, 0x84}, // S, P/V
        {0x28, 1, 0x28, 0x04}, // bits 5 and 3 cleared
    };
    for (const Case& c : cases) {
        m.Regs.I = c.value;
        m.Regs.IFF2 = c.iff2;
        m.SetAF(0x11, c.fIn);
        Code({0xED, 0x57}); // LD A,I
        EXPECT_EQ(m.Step(), 9);
        EXPECT_EQ(m.A(), c.value);
        EXPECT_EQ(m.F(), c.wantF);

        m.Regs.R = (c.value - 2u) & 0x7Fu; // the two fetches bring it to the value
        m.Regs.R7 = c.value & 0x80u;
        m.SetAF(0x11, c.fIn);
        Code({0xED, 0x5F}); // LD A,R
        EXPECT_EQ(m.Step(), 9);
        EXPECT_EQ(m.A(), c.value);
        EXPECT_EQ(m.F(), c.wantF);
    }
}

TEST_F(EDOps, DigitRotates) {
    // RRD: A = 0x84, (HL) = 0x20 -> A = 0x80, (HL) = 0x42
    m.Regs.HL = 0x5000;
    m.memory[0x5000] = 0x20;
    m.SetAF(0x84, 0x01);
    Code({0xED, 0x67});
    EXPECT_EQ(m.Step(), 18);
    EXPECT_EQ(m.A(), 0x80);
    EXPECT_EQ(m.memory[0x5000], 0x42);
    EXPECT_EQ(m.F(), 0x81); // S, odd parity, C kept
    EXPECT_EQ(AfterFetch(2), (std::vector<Access>{{'r', 0x5000, 0x20}, {'w', 0x5000, 0x42}}));
    // RLD: A = 0x7A, (HL) = 0x31 -> A = 0x73, (HL) = 0x1A
    m.memory[0x5000] = 0x31;
    m.SetAF(0x7A, 0xFE);
    Code({0xED, 0x6F});
    EXPECT_EQ(m.Step(), 18);
    EXPECT_EQ(m.A(), 0x73);
    EXPECT_EQ(m.memory[0x5000], 0x1A);
    EXPECT_EQ(m.F(), 0x00); // 0x73 has five bits: odd; C was 0
    // RLD to zero: Z and P.
    m.memory[0x5000] = 0x0F;
    m.SetAF(0x00, 0x00);
    Code({0xED, 0x6F});
    m.Step();
    EXPECT_EQ(m.A(), 0x00);
    EXPECT_EQ(m.memory[0x5000], 0xF0);
    EXPECT_EQ(m.F(), 0x44);
}

// ---------------------------------------------------------------------------
// Block instructions

TEST_F(EDOps, LdiAndLddMoveOneByteAndKeepMostFlags) {
    for (int dir = 0; dir < 2; ++dir) {
        for (uint8_t f : {0x00, 0xFF}) {
            m.Regs.HL = 0x2000;
            m.Regs.DE = 0x3000;
            m.Regs.BC = 0x0002;
            m.memory[0x2000] = 0x5A;
            m.SetAF(0x11, f);
            Code({0xED, static_cast<uint8_t>(dir ? 0xA8 : 0xA0)});
            EXPECT_EQ(m.Step(), 16);
            EXPECT_EQ(AfterFetch(2), (std::vector<Access>{{'r', 0x2000, 0x5A}, {'w', 0x3000, 0x5A}}));
            EXPECT_EQ(m.Regs.HL, dir ? 0x1FFFu : 0x2001u);
            EXPECT_EQ(m.Regs.DE, dir ? 0x2FFFu : 0x3001u);
            EXPECT_EQ(m.Regs.BC, 1u);
            EXPECT_EQ(m.F(), (f & 0xE9) | 0x04); // S Z 5 3 C kept, H N 0, P/V = BC != 0
            Code({0xED, static_cast<uint8_t>(dir ? 0xA8 : 0xA0)});
            m.Step();
            EXPECT_EQ(m.Regs.BC, 0u);
            EXPECT_EQ(m.F(), f & 0xE9);
        }
    }
}

TEST_F(EDOps, LdirRepeatsAsSeparateInstructions) {
    m.Regs.HL = 0x2000;
    m.Regs.DE = 0x3000;
    m.Regs.BC = 3;
    m.Load(0x2000, {1, 2, 3});
    Code({0xED, 0xB0, 0x00});
    const uint32_t r = m.Regs.R;
    EXPECT_EQ(m.Step(), 5);
    EXPECT_EQ(m.Regs.PC, 0x1000u); // back on the prefix
    EXPECT_EQ(m.F() & ref::PV, ref::PV);
    EXPECT_EQ(m.Step(), 5);
    EXPECT_EQ(m.Step(), 0);
    EXPECT_EQ(m.Regs.PC, 0x1002u);
    EXPECT_EQ(m.ticks, (std::vector<int>{5, 5, 0}));
    EXPECT_EQ(m.Regs.BC, 0u);
    EXPECT_EQ(m.F() & ref::PV, 0);
    EXPECT_EQ(m.Regs.R, r + 6); // two fetches per step
    EXPECT_EQ(m.memory[0x3000], 1);
    EXPECT_EQ(m.memory[0x3002], 3);
    EXPECT_EQ(m.Regs.HL, 0x2003u);
    EXPECT_EQ(m.Regs.DE, 0x3003u);
    // Each step refetches ED B0.
    EXPECT_EQ(m.accesses.size(), 3u * 4u);
}

TEST_F(EDOps, LddrCopiesDownwards) {
    m.Regs.HL = 0x2002;
    m.Regs.DE = 0x3002;
    m.Regs.BC = 3;
    m.Load(0x2000, {1, 2, 3});
    Code({0xED, 0xB8});
    while (m.Regs.PC == 0x1000) m.Step();
    EXPECT_EQ(m.ticks, (std::vector<int>{5, 5, 0}));
    EXPECT_EQ(m.memory[0x3000], 1);
    EXPECT_EQ(m.memory[0x3002], 3);
    EXPECT_EQ(m.Regs.HL, 0x1FFFu);
    EXPECT_EQ(m.Regs.DE, 0x2FFFu);
}

TEST_F(EDOps, LdirWithBCZeroCopies65536Bytes) {
    // Memory holds ED B0 everywhere and DE = HL + 2, so every copy writes the
    // byte that was already there and the instruction survives its own copy.
    for (size_t i = 0; i < m.memory.size(); i += 2) {
        m.memory[i] = 0xED;
        m.memory[i + 1] = 0xB0;
    }
    m.Regs.HL = 0x4000;
    m.Regs.DE = 0x4002;
    m.Regs.BC = 0;
    Code({}, 0x1000);
    std::vector<int> writes(0x10000, 0);
    int steps = 0;
    while (m.Regs.PC == 0x1000 && steps < 70000) {
        m.accesses.clear();
        m.Step();
        for (const Access& a : m.accesses)
            if (a.kind == 'w') ++writes[a.address];
        ++steps;
    }
    EXPECT_EQ(steps, 65536);
    EXPECT_EQ(m.Regs.BC, 0u);
    EXPECT_EQ(m.Regs.HL, 0x4000u);
    EXPECT_EQ(m.Regs.DE, 0x4002u);
    EXPECT_EQ(m.ticks.size(), 65536u);
    EXPECT_EQ(m.ticks.back(), 0);
    EXPECT_EQ(m.totalCycles, 65535u * 5u);
    for (int a = 0; a < 0x10000; ++a) ASSERT_EQ(writes[a], 1) << std::hex << a;
}

TEST_F(EDOps, InterruptTakenBetweenRepetitions) {
    m.Regs.IFF1 = m.Regs.IFF2 = 1;
    m.Regs.IM = 1;
    m.Regs.HL = 0x2000;
    m.Regs.DE = 0x3000;
    m.Regs.BC = 3;
    Code({0xED, 0xB0});
    m.irqLine = 0xFF;
    EXPECT_EQ(m.Step(), 5);
    EXPECT_EQ(m.Regs.PC, 0x38u);
    EXPECT_EQ(m.memory[0x7FFE], 0x00); // returns to the ED prefix to go on copying
    EXPECT_EQ(m.memory[0x7FFF], 0x10);
    EXPECT_EQ(m.Regs.BC, 2u);
}

TEST_F(EDOps, CompareOneByte) {
    struct Case {
        uint8_t opcode, a, v, fIn;
        uint16_t bc;
        uint8_t wantF;
        uint16_t wantHL;
    };
    const Case cases[] = {
        {0xA1, 0x10, 0x01, 0x01, 2, 0x17, 0x4001}, // CPI: H borrow, N, P/V, C kept
        {0xA1, 0x42, 0x42, 0x00, 1, 0x42, 0x4001}, // match with BC -> 0: Z, no P/V
        {0xA9, 0x00, 0x80, 0xFE, 5, 0x86, 0x3FFF}, // CPD: 0x80, S; C kept as 0
        {0xA9, 0x38, 0x10, 0x00, 3, 0x06, 0x3FFF}, // 0x28: bits 5 and 3 of the result stay 0
    };
    for (const Case& c : cases) {
        m.Regs.HL = 0x4000;
        m.Regs.BC = c.bc;
        m.memory[0x4000] = c.v;
        m.SetAF(c.a, c.fIn);
        Code({0xED, c.opcode});
        EXPECT_EQ(m.Step(), 16);
        EXPECT_EQ(m.A(), c.a);
        EXPECT_EQ(m.F(), c.wantF) << std::hex << int(c.opcode) << " " << int(c.a) << " " << int(c.v);
        EXPECT_EQ(m.Regs.HL, c.wantHL);
        EXPECT_EQ(m.Regs.BC, c.bc - 1u);
        EXPECT_EQ(AfterFetch(2), (std::vector<Access>{{'r', 0x4000, c.v}}));
    }
}

TEST_F(EDOps, CpirStopsOnAMatchOrWhenBCRunsOut) {
    m.Load(0x4000, {1, 2, 3, 4});
    m.Regs.HL = 0x4000;
    m.Regs.BC = 10;
    m.SetAF(3, 0);
    Code({0xED, 0xB1});
    while (m.Regs.PC == 0x1000) m.Step();
    EXPECT_EQ(m.ticks, (std::vector<int>{5, 5, 0}));
    EXPECT_EQ(m.F() & (ref::Z | ref::PV), ref::Z | ref::PV);
    EXPECT_EQ(m.Regs.BC, 7u);
    EXPECT_EQ(m.Regs.HL, 0x4003u);

    m.Regs.HL = 0x4000;
    m.Regs.BC = 2;
    m.SetAF(9, 0);
    Code({0xED, 0xB1});
    while (m.Regs.PC == 0x1000) m.Step();
    EXPECT_EQ(m.ticks, (std::vector<int>{5, 0}));
    EXPECT_EQ(m.F() & (ref::Z | ref::PV), 0);

    // A match on the last byte: Z set, P/V clear.
    m.Regs.HL = 0x4003;
    m.Regs.BC = 2;
    m.SetAF(3, 0);
    Code({0xED, 0xB9}); // CPDR
    while (m.Regs.PC == 0x1000) m.Step();
    EXPECT_EQ(m.ticks, (std::vector<int>{5, 0}));
    EXPECT_EQ(m.F() & (ref::Z | ref::PV), ref::Z);
    EXPECT_EQ(m.Regs.HL, 0x4001u);
}

// INI/IND/OUTI/OUTD: B is decremented first and the port uses the new B;
// INI reads the port before writing memory, OUTI reads memory before writing
// the port; F is N, plus Z when B reached 0, and nothing else.
TEST_F(EDOps, SinglePortBlockSteps) {
    struct Case {
        uint8_t opcode;
        uint16_t bc;
        std::vector<Access> want;
        uint8_t wantF;
        uint16_t wantHL;
    };
    const Case cases[] = {
        {0xA2, 0x0110, {{'i', 0x0010, 0x77}, {'w', 0x5000, 0x77}}, 0x42, 0x5001}, // INI
        {0xAA, 0x0310, {{'i', 0x0210, 0x66}, {'w', 0x5000, 0x66}}, 0x02, 0x4FFF}, // IND
        {0xA3, 0x0120, {{'r', 0x5000, 0x3C}, {'o', 0x0020, 0x3C}}, 0x42, 0x5001}, // OUTI
        {0xAB, 0x0520, {{'r', 0x5000, 0x3C}, {'o', 0x0420, 0x3C}}, 0x02, 0x4FFF}, // OUTD
    };
    for (const Case& c : cases) {
        m.Regs.BC = c.bc;
        m.Regs.HL = 0x5000;
        m.memory[0x5000] = 0x3C;
        m.ports[0x0010] = 0x77;
        m.ports[0x0210] = 0x66;
        m.SetAF(0x99, 0xFF);
        Code({0xED, c.opcode});
        EXPECT_EQ(m.Step(), 16);
        EXPECT_EQ(AfterFetch(2), c.want) << std::hex << int(c.opcode);
        EXPECT_EQ(m.F(), c.wantF) << std::hex << int(c.opcode);
        EXPECT_EQ(m.Regs.BC, c.bc - 0x100u);
        EXPECT_EQ(m.Regs.HL, c.wantHL);
        EXPECT_EQ(m.A(), 0x99);
    }
}

TEST_F(EDOps, RepeatedPortBlocksCountOnB) {
    for (uint8_t opcode : {0xB2, 0xBA, 0xB3, 0xBB}) {
        m.Regs.BC = 0x0340;
        m.Regs.HL = 0x6001;
        m.Load(0x6000, {0xA0, 0xA1, 0xA2});
        Code({0xED, opcode});
        while (m.Regs.PC == 0x1000) m.Step();
        EXPECT_EQ(m.ticks, (std::vector<int>{5, 5, 0})) << std::hex << int(opcode);
        EXPECT_EQ(m.Regs.BC, 0x0040u);
        EXPECT_EQ(m.F(), 0x42);
        std::vector<uint16_t> portsUsed;
        for (const Access& a : m.accesses)
            if (a.kind == 'i' || a.kind == 'o') portsUsed.push_back(a.address);
        EXPECT_EQ(portsUsed, (std::vector<uint16_t>{0x0240, 0x0140, 0x0040})) << std::hex << int(opcode);
        const bool down = opcode & 0x08;
        EXPECT_EQ(m.Regs.HL, down ? 0x5FFEu : 0x6004u);
    }
    // INIR with B = 0 goes round 256 times.
    m.Regs.BC = 0x0040;
    m.Regs.HL = 0x6000;
    Code({0xED, 0xB2});
    int steps = 0;
    while (m.Regs.PC == 0x1000 && steps < 300) {
        m.Step();
        ++steps;
    }
    EXPECT_EQ(steps, 256);
}

// ---------------------------------------------------------------------------
// Undefined opcodes and the trap

TEST_F(EDOps, UndefinedOpcodesDoNothingButMovePC) {
    std::vector<int> undefined;
    for (int op = 0x00; op <= 0x3F; ++op) undefined.push_back(op);
    for (int op : {0x77, 0x7F}) undefined.push_back(op);
    for (int op = 0x80; op <= 0x9F; ++op) undefined.push_back(op);
    for (int lo : {0xA4, 0xA5, 0xA6, 0xA7, 0xAC, 0xAD, 0xAE, 0xAF, 0xB4, 0xB5, 0xB6, 0xB7, 0xBC, 0xBD, 0xBE, 0xBF})
        undefined.push_back(lo);
    for (int op = 0xC0; op <= 0xFD; ++op) undefined.push_back(op);
    undefined.push_back(0xFF);
    EXPECT_EQ(undefined.size(), 177u); // 62 defined in 40-7F, 16 block instructions, ED FE
    for (int op : undefined) {
        m.Regs.AF = 0x12FF;
        m.Regs.BC = 0x3456;
        m.Regs.HL = 0x789A;
        Code({0xED, static_cast<uint8_t>(op)});
        const Z80Registers before = m.Regs;
        EXPECT_EQ(m.Step(), 0) << std::hex << op;
        Z80Registers after = m.Regs;
        EXPECT_EQ(after.PC, 0x1002u);
        EXPECT_EQ(after.R, before.R + 2);
        after.PC = before.PC;
        after.R = before.R;
        EXPECT_EQ(0, std::memcmp(&before, &after, sizeof before)) << std::hex << op;
        EXPECT_EQ(m.accesses.size(), 2u) << std::hex << op;
    }
}

TEST_F(EDOps, TrapHandsOverTheLiveRegistersAndMayMovePC) {
    Z80Registers* seen = nullptr;
    uint32_t pcSeen = 0;
    m.onTrap = [&](Z80Registers* regs) {
        seen = regs;
        pcSeen = regs->PC;
        regs->PC = 0x4000;
        regs->BC = 0xBEEF;
    };
    m.Load(0x4000, {0x3E, 0x21});
    Code({0xED, 0xFE, 0x00});
    EXPECT_EQ(m.Step(), 0);
    EXPECT_EQ(seen, &m.Regs);
    EXPECT_EQ(pcSeen, 0x1002u);
    EXPECT_EQ(m.Regs.BC, 0xBEEFu);
    EXPECT_EQ(AfterFetch(2), (std::vector<Access>{{'T', 0, 0}}));
    EXPECT_EQ(m.Step(), 7);
    EXPECT_EQ(m.A(), 0x21);

    // Without a change, execution goes on after the trap.
    m.onTrap = nullptr;
    Code({0xED, 0xFE, 0x00});
    m.Step();
    EXPECT_EQ(m.Regs.PC, 0x1002u);
}

} // namespace
