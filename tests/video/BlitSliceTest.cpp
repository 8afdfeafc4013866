// Blits finish inside the register write that starts them, so a program that
// starts the largest one again and again (threads/programs/blitloop.asm: 64 KB
// every 47 T-states) packs gigabytes of copying into one slice. The slice ends
// early after 32 MB instead, right after the instruction that passed the
// mark, and the run picks up from there as if nothing had happened.
#include <gtest/gtest.h>

#include "support/RomMachine.h"

namespace {

TEST(BlitSlice, ASliceEndsAfterEachThirtyTwoMegabytesOfBlitsAndTheRunGoesOn) {
    RomMachine booted(testing_support::ReadFileBytes(testing_support::TestProgram("threads", "blitloop")));
    Machine& machine = booted.machine();
    TVexaBoard& board = booted.board();
    auto blitsCounted = [&] { return board.MainRam()[0x4000] | board.MainRam()[0x4001] << 8; };

    // 512 blits of 64 KB make 32 MB: the slice ends after the 512th, before
    // the count that follows it is stored (511 then), at the INC after it.
    constexpr uint64_t Asked = 3000000; // some 64,000 blits' worth
    for (int slice = 1; slice <= 3; ++slice) {
        const uint64_t ran = machine.RunCycles(Asked);
        EXPECT_LT(ran, Asked) << "slice " << slice;
        EXPECT_EQ(blitsCounted(), 512 * slice - 1) << "slice " << slice;
        EXPECT_EQ(board.Regs.PC, 0x000Eu) << "slice " << slice; // at the inc hl
        EXPECT_EQ(board.Regs.HL, 512u * slice - 1) << "slice " << slice;
    }
    // Every cycle asked for is run in the end: the slices only split the time.
    constexpr uint64_t Then = 200000; // 4,255 blits, over eight slices' worth
    uint64_t done = 0;
    int slices = 0;
    const uint64_t start = board.EmulatedCycles();
    for (; done < Then; ++slices) done += machine.RunCycles(Then - done);
    EXPECT_GE(board.EmulatedCycles() - start, Then);
    EXPECT_GE(slices, 8);
}

} // namespace
