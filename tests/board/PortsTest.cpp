// Port decoding, the board's own registers and their messages, the system
// hardware port, interrupts and the trap.
#include <gtest/gtest.h>

#include "board/Ports.h"
#include "support/BoardFixture.h"

namespace {

class Ports : public ::testing::Test {
protected:
    BoardFixture f{{0x00}};
    TVexaBoard& b = f.board();
};

TEST_F(Ports, OnlyTheLowSixBitsOfThePortSelectTheRegister) {
    b.OutPort(0x40, 0x12);
    EXPECT_EQ(b.sys_mem_select(), 0x12);
    b.OutPort(0xFF4B, 0x34);
    EXPECT_EQ(b.sys_alt_write_page(), 0x34);
    EXPECT_EQ(b.InPort(0x7700), 0x12);
    EXPECT_EQ(b.InPort(0x004B), 0x34);
    b.OutPort(0x0120, 0x13);
    EXPECT_EQ(b.sys_low_page(), 3);
    EXPECT_EQ(b.InPort(0x0020), 3);
}

TEST_F(Ports, BoardRegisterWritesAreReportedWithTheProgramCounter) {
    f.InstallLog({DIAG_VEXA_MISC, DIAG_CPU});
    b.Regs.PC = 0x8123;
    b.OutPort(PortMemSelect, 0x5A);
    b.OutPort(PortIrq, 0x81);
    b.OutPort(PortAltWritePage, 0x0F);
    b.OutPort(PortLowPage, 0x13);
    b.OutPort(PortVramLocation, 0x05);
    b.OutPort(0x1234, 0x77); // 0x34: no register
    EXPECT_EQ(b.InPort(0x0135), 0);
    const std::vector<std::string> expected = {
        "sys_mem_select Write 0x5a @ 0x8123",
        "sys_irq_enable Write 0x81 @ 0x8123",
        "sys_alt_write_page Write 0x0f @ 0x8123",
        "sys_low_page Write 0x13 @ 0x8123",
        "sys_vram_location Write 0x05 (0xa000) @ 0x8123",
        "Wrote 0x77 to Port 0x1234 @ 0x8123",
        "Read from Port 0x135 @ 0x8123",
    };
    EXPECT_EQ(f.Messages(), expected);
}

TEST_F(Ports, UnusedPortsReadZeroAndSayNothing) {
    f.InstallLog({}, /*logAll=*/true);
    for (uint16_t p : {0x04, 0x05, 0x0C, 0x0E, 0x0F, 0x21, 0x22, 0x2F}) EXPECT_EQ(b.InPort(p), 0) << p;
    for (uint16_t p : {0x04, 0x09, 0x0C, 0x0E, 0x0F, 0x22, 0x2F}) b.OutPort(p, 0xFF);
    EXPECT_TRUE(f.Messages().empty());
    EXPECT_EQ(b.sys_mem_select(), 0);
}

TEST_F(Ports, SystemHardwarePortSpellsTheConstantInBitSeven) {
    // Nothing pending: bit 5 alone, plus bit 7 where 0x665 has a one.
    for (unsigned n = 0; n < 16; ++n) {
        const uint8_t expected = static_cast<uint8_t>(0x20 | (n < 12 && ((0x665 >> n) & 1) ? 0x80 : 0));
        EXPECT_EQ(b.InPort(static_cast<uint16_t>((n << 8) | 0x09)), expected) << n;
    }
    EXPECT_EQ(b.InPort(0x0009), 0xA0);
    EXPECT_EQ(b.InPort(0x0109), 0x20);
    EXPECT_EQ(b.InPort(0xF049), 0xA0); // only bits 8-11 select the bit: n = 0 here
}

TEST_F(Ports, SystemHardwarePortReadIsReported) {
    f.InstallLog({DIAG_VEXA_MISC});
    b.Regs.PC = 0x0042;
    b.InPort(0x0309);
    EXPECT_EQ(f.Messages(), std::vector<std::string>{"Read from SysHW Port (0x0309): 0x20 @ 0x0042"});
}

TEST_F(Ports, NmiIsOneShotAndTakenWhateverIff1) {
    b.Regs.IFF1 = 0;
    b.RequestNmi();
    b.RequestNmi();
    EXPECT_TRUE(b.Tick(4));
    EXPECT_EQ(b.TakeInterrupt(), -2);
    EXPECT_FALSE(b.Tick(4));
    EXPECT_EQ(b.TakeInterrupt(), -1);
}

TEST_F(Ports, NmiEntersTheHandlerAfterTheCurrentInstruction) {
    b.RequestNmi();
    f.RunAt(0x8000, {0x00, 0x00}, 1); // one NOP, then the NMI
    EXPECT_EQ(b.GetPC(), 0x0066u);
    EXPECT_EQ(b.ReadMem(static_cast<uint16_t>(b.Regs.SP)), 0x01);
    EXPECT_EQ(b.ReadMem(static_cast<uint16_t>(b.Regs.SP + 1)), 0x80);
    EXPECT_FALSE(b.IsNmiRequested());
}

TEST_F(Ports, MaskableInterruptsNeedTheMasterBitAndIff1) {
    // With no device source active nothing is pending, master bit or not.
    b.OutPort(PortIrq, 0x8F);
    EXPECT_FALSE(b.Tick(4));
    EXPECT_FALSE(b.IsIrqPending());
    b.OutPort(PortTimer, 0xFF); // the timer elapses after 256 cycles
    b.Tick(256);
    ASSERT_TRUE(b.IsIrqPending());
    b.Regs.IFF1 = 0;
    EXPECT_EQ(b.TakeInterrupt(), -1);
    b.Regs.IFF1 = 1;
    EXPECT_EQ(b.TakeInterrupt(), 1);
    EXPECT_FALSE(b.IsIrqPending());
}

TEST_F(Ports, BreakpointEndsTheRunAfterThatInstruction) {
    // Three NOPs; the breakpoint is the address after the first.
    int id = 0;
    f.machine().EditDebug([&](Debugger& d) { id = d.AddBreakpoint(0x8001, {}, nullptr); });
    b.WriteMem(0x8000, 0x00);
    b.WriteMem(0x8001, 0x00);
    b.WriteMem(0x8002, 0x00);
    b.Regs.PC = 0x8000;
    b.CycleBudget = 1000;
    b.CyclePeriod = 0;
    EXPECT_EQ(b.Run(), 0);
    EXPECT_EQ(b.GetPC(), 0x8001u);
    EXPECT_EQ(b.CycleBudget, -10);
    EXPECT_EQ(f.host().screenRepaints, 1);

    // The next run goes on from there (and stops again only when it comes back).
    f.machine().EditDebug([&](Debugger& d) { d.RemoveBreakpoint(id); });
    b.CycleBudget = 8;
    EXPECT_EQ(b.Run(), 1);
    EXPECT_EQ(b.GetPC(), 0x8003u);
}

TEST_F(Ports, CycleCounterAddsEveryInstruction) {
    const uint64_t before = b.EmulatedCycles();
    f.RunAt(0x8000, {0x00, 0x00, 0x3E, 0x01}, 15); // NOP NOP LD A,1
    EXPECT_EQ(b.EmulatedCycles() - before, 15u);
    // The speed meter is fed once per run, with the same figure.
    Machine& m = f.machine();
    const uint32_t meter = m.CpuCycleCount.load();
    b.Regs.PC = 0x8000;
    EXPECT_EQ(m.RunCycles(15), 15u);
    EXPECT_EQ(m.CpuCycleCount.load() - meter, 15u);
}

TEST_F(Ports, TrapReportsTheDiskRequestAndChangesNothing) {
    f.InstallLog({DIAG_UNUSED});
    b.Regs.AF = 0x0301; // A = 3, carry set: a write
    b.Regs.DE = 0x0012;
    b.Regs.BC = 0x0034;
    b.Regs.HL = 0x8000;
    b.WriteMem(0x9000, 0xED);
    b.WriteMem(0x9001, 0xFE);
    b.WriteMem(0x9002, 0x00);
    b.Regs.PC = 0x9000;
    f.Step(); // the trap costs nothing, so the NOP after it runs too
    EXPECT_EQ(b.GetPC(), 0x9003u);
    EXPECT_EQ(b.Regs.AF, 0x0301u);
    const std::vector<std::string> expected = {
        "PC=0x9002: CPM WR DSK=0x03 TRK=0x0012 SEC=0x0034 BUF=0x8000",
        "Offset=0x00096800",
    };
    EXPECT_EQ(f.Messages(), expected);
}

TEST_F(Ports, TrapPostsEvenWhenItsTypeIsOnlyLogged) {
    DiagLog& log = f.InstallLog({}, /*logAll=*/true);
    Z80Registers regs{};
    b.Trap(&regs);
    EXPECT_EQ(log.RowCount(), 0u); // not ticked: not listed
    EXPECT_EQ(testing_support::ReadFileText(f.dir() / "rizediv.log"),
              "UNUSED\tPC=0x0000: CPM RD DSK=0x00 TRK=0x0000 SEC=0x0000 BUF=0x0000\r\nUNUSED\tOffset=0x00000000\r\n");
}

} // namespace
