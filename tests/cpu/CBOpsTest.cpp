// CB-prefixed instructions: rotates and shifts (SLL included), BIT, RES and
// SET on every register and on (HL).
#include "CpuTest.h"

namespace {

using CBOps = CpuTest;

TEST_F(CBOps, RotatesAndShiftsOnEveryOperandAndValue) {
    m.logAccesses = false;
    for (int op = 0; op < 8; ++op) {
        for (int code = 0; code < 8; ++code) {
            const uint8_t opcode = static_cast<uint8_t>(op << 3 | code);
            for (int v = 0; v < 256; ++v) {
                for (uint8_t f : {0x00, 0xFF}) {
                    SeedRegisters();
                    m.SetAF(0x77, f);
                    SetReg(code, static_cast<uint8_t>(v));
                    uint8_t before[8];
                    for (int c = 0; c < 8; ++c) before[c] = Reg(c);
                    Code({0xCB, opcode});
                    ASSERT_EQ(m.Step(), code == 6 ? 15 : 8);
                    const ref::AF want = ref::Rotate(op, static_cast<uint8_t>(v), f);
                    if (Reg(code) != want.a || m.F() != want.f) {
                        ADD_FAILURE() << std::hex << "CB " << int(opcode) << " v " << v << " F " << int(f)
                                      << ": got " << int(Reg(code)) << "/" << int(m.F()) << " want "
                                      << int(want.a) << "/" << int(want.f);
                        return;
                    }
                    for (int c = 0; c < 8; ++c) {
                        if (c != code && !(c == 6 && (code == 4 || code == 5))) { // (HL) moves with H and L
                            ASSERT_EQ(Reg(c), before[c]) << std::hex << "CB " << int(opcode) << " touched " << c;
                        }
                    }
                }
            }
        }
    }
}

TEST_F(CBOps, RotateCasesWorkedByHand) {
    struct Case {
        uint8_t opcode, v, fIn, want, wantF;
    };
    const Case cases[] = {
        {0x00, 0x80, 0x00, 0x01, 0x01}, // RLC: bit 7 into bit 0 and carry
        {0x08, 0x01, 0x00, 0x80, 0x81}, // RRC
        {0x10, 0x80, 0x00, 0x00, 0x45}, // RL: zero, even parity, carry out
        {0x18, 0x01, 0x01, 0x80, 0x81}, // RR: carry in at the top
        {0x20, 0xFF, 0x00, 0xFE, 0x81}, // SLA
        {0x28, 0x81, 0x00, 0xC0, 0x85}, // SRA keeps the sign
        {0x30, 0x00, 0x00, 0x01, 0x00}, // SLL shifts a 1 in
        {0x38, 0x01, 0xFF, 0x00, 0x45}, // SRL; bits 5 and 3 cleared
    };
    for (const Case& c : cases) {
        m.Regs.BC = static_cast<uint32_t>(c.v << 8);
        m.SetAF(0, c.fIn);
        Code({0xCB, c.opcode});
        m.Step();
        EXPECT_EQ(Hi(m.Regs.BC), c.want) << std::hex << int(c.opcode);
        EXPECT_EQ(m.F(), c.wantF) << std::hex << int(c.opcode);
    }
}

TEST_F(CBOps, BitTestsEveryBitOfEveryOperand) {
    m.logAccesses = false;
    for (int b = 0; b < 8; ++b) {
        for (int code = 0; code < 8; ++code) {
            const uint8_t opcode = static_cast<uint8_t>(0x40 | b << 3 | code);
            for (int v = 0; v < 256; ++v) {
                for (uint8_t f : {0x00, 0xFF, 0x28}) {
                    SeedRegisters();
                    m.SetAF(0x77, f);
                    SetReg(code, static_cast<uint8_t>(v));
                    Code({0xCB, opcode});
                    ASSERT_EQ(m.Step(), code == 6 ? 12 : 8);
                    ASSERT_EQ(m.F(), ref::Bit(b, static_cast<uint8_t>(v), f))
                        << std::hex << "CB " << int(opcode) << " v " << v << " F " << int(f);
                    ASSERT_EQ(Reg(code), v);
                }
            }
        }
    }
    m.SetAF(0x80, 0x00);
    Code({0xCB, 0x7F}); // BIT 7,A
    m.Step();
    EXPECT_EQ(m.F(), 0x90); // S, H; Z 0, P/V 0
    m.SetAF(0x00, 0x01);
    Code({0xCB, 0x7F});
    m.Step();
    EXPECT_EQ(m.F(), 0x51); // Z, H, C kept
}

TEST_F(CBOps, ResAndSetLeaveTheFlags) {
    for (int set = 0; set < 2; ++set) {
        for (int b = 0; b < 8; ++b) {
            for (int code = 0; code < 8; ++code) {
                const uint8_t opcode = static_cast<uint8_t>(0x80 | set << 6 | b << 3 | code);
                for (uint8_t v : {0x00, 0xFF, 0x5A}) {
                    SeedRegisters();
                    m.SetAF(0x77, 0xA5);
                    SetReg(code, v);
                    Code({0xCB, opcode});
                    ASSERT_EQ(m.Step(), code == 6 ? 15 : 8);
                    const uint8_t want = static_cast<uint8_t>(set ? v | (1 << b) : v & ~(1 << b));
                    EXPECT_EQ(Reg(code), want) << std::hex << "CB " << int(opcode) << " v " << int(v);
                    EXPECT_EQ(m.F(), 0xA5);
                }
            }
        }
    }
}

TEST_F(CBOps, MemoryFormsReadThenWriteAndBitOnlyReads) {
    m.Regs.HL = 0x4000;
    m.memory[0x4000] = 0x81;
    Code({0xCB, 0x06}); // RLC (HL)
    m.Step();
    EXPECT_EQ(m.accesses, (std::vector<Access>{
                              {'r', 0x1000, 0xCB}, {'r', 0x1001, 0x06}, {'r', 0x4000, 0x81}, {'w', 0x4000, 0x03}}));
    Code({0xCB, 0x46}); // BIT 0,(HL)
    m.Step();
    EXPECT_EQ(AfterFetch(2), (std::vector<Access>{{'r', 0x4000, 0x03}}));
    Code({0xCB, 0xFE}); // SET 7,(HL)
    m.Step();
    EXPECT_EQ(AfterFetch(2), (std::vector<Access>{{'r', 0x4000, 0x03}, {'w', 0x4000, 0x83}}));
}

} // namespace
