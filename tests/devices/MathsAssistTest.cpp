#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DiagCapture.h"
#include "devices/Vexamathsassist.h"
#include "support/BoardFixture.h"

namespace {

using Texts = std::vector<std::string>;

uint16_t Result(TVexaMathsAssist& maths) {
    const uint8_t low = maths.ReadResultLow();
    return static_cast<uint16_t>(low | (maths.ReadResultHigh() << 8));
}

void SetEntry(TVexaMathsAssist& maths, int entry, uint16_t value) {
    maths.WriteTableByte(static_cast<uint16_t>(entry * 2), static_cast<uint8_t>(value));
    maths.WriteTableByte(static_cast<uint16_t>(entry * 2 + 1), static_cast<uint8_t>(value >> 8));
}

void SetMultiplier(TVexaMathsAssist& maths, uint16_t value) {
    maths.WriteMultiplierLow(static_cast<uint8_t>(value));
    maths.WriteMultiplierHigh(static_cast<uint8_t>(value >> 8));
}

struct ProductCase {
    int entry;
    uint16_t coefficient, multiplier, result;
};

TEST(MathsAssist, ResultIsBits14To29OfTheSignedProduct) {
    const ProductCase cases[] = {
        {5, 0x4000, 0x1234, 0x1234},    // 1.0 x m
        {0, 0x2000, 0x0100, 0x0080},    // 0.5 x 0x100
        {0x82, 0xC000, 0x0100, 0xFF00}, // -1.0 x 0x100 = -0x100
        {255, 0x7FFF, 0x7FFF, 0xFFFC},  // p = 0x3FFF0001
        {7, 0x8000, 0x8000, 0x0000},    // p = 2^30: bit 30 falls outside
        {8, 0x8000, 0x7FFF, 0x0002},    // p = 0xC0008000
        {9, 0xFFFF, 0x0001, 0xFFFF},    // p = -1
        {10, 0x0000, 0x7FFF, 0x0000},
        {11, 0x0001, 0x3FFF, 0x0000}, // below 2^14 rounds towards minus infinity...
        {12, 0xFFFF, 0x3FFF, 0xFFFF}, // ...also for negative products
    };
    for (const ProductCase& c : cases) {
        SCOPED_TRACE(c.entry);
        TVexaMathsAssist maths;
        SetEntry(maths, c.entry, c.coefficient);
        maths.SelectIndex(static_cast<uint8_t>(c.entry));
        SetMultiplier(maths, c.multiplier);
        EXPECT_EQ(Result(maths), c.result);
        // The same inputs in another order give the same result.
        TVexaMathsAssist other;
        SetMultiplier(other, c.multiplier);
        other.SelectIndex(static_cast<uint8_t>(c.entry));
        SetEntry(other, c.entry, c.coefficient);
        EXPECT_EQ(Result(other), c.result);
    }
}

TEST(MathsAssist, MessagesShowSignedValues) {
    DiagCapture diag{DIAG_MATHS};
    TVexaMathsAssist maths(&diag.channel);
    SetEntry(maths, 5, 0x4000);
    SetEntry(maths, 130, 0xC000);
    maths.SelectIndex(0x82);
    SetMultiplier(maths, 0x8000);
    maths.WriteMultiplierLow(0x34);
    maths.ReadResultLow();
    maths.ReadResultHigh();
    EXPECT_EQ(diag.Take(), (Texts{
                               "Table Entry 5 set to 0x0000",
                               "Table Entry 5 set to 0x4000",
                               "Table Entry 130 set to 0x0000",
                               "Table Entry 130 set to 0xffffc000",
                               "Table Index 0x82 selected",
                               "Multiplier Value set to: 0x0000",
                               "Multiplier Value set to: 0xffff8000",
                               "Multiplier Value set to: 0xffff8034",
                               "Maths Result LSB: 0xcc", // -0x7FCC x -0x4000 >> 14 = 0x7FCC...
                               "Maths Result MSB: 0x7f",
                           }));
}

TEST(MathsAssist, ResultIsComputedWhenReadAndHeldUntilAnInputChanges) {
    TVexaMathsAssist maths;
    SetEntry(maths, 1, 0x4000);
    maths.SelectIndex(1);
    SetMultiplier(maths, 0x1234);
    EXPECT_TRUE(maths.Dirty);
    EXPECT_EQ(maths.ReadResultLow(), 0x34);
    EXPECT_FALSE(maths.Dirty);
    // An input written between the two halves: the high half is of the new product.
    maths.WriteMultiplierHigh(0x56);
    EXPECT_EQ(maths.ReadResultHigh(), 0x56);
    EXPECT_EQ(maths.ReadResultLow(), 0x34);

    // Writing an entry that is not selected still marks the result stale, and
    // recomputing gives the same value; selecting another entry changes it.
    SetEntry(maths, 2, 0x2000);
    EXPECT_TRUE(maths.Dirty);
    EXPECT_EQ(Result(maths), 0x5634);
    maths.SelectIndex(2);
    EXPECT_EQ(Result(maths), 0x2B1A);
}

TEST(MathsAssist, TableOffsetsWrapAtTheTableSize) {
    TVexaMathsAssist maths;
    maths.WriteTableByte(0x3FF, 0x12); // entry 255, high byte
    maths.WriteTableByte(0x200, 0x34); // entry 0, low byte
    maths.WriteTableByte(0x1FE, 0x56); // entry 255, low byte
    EXPECT_EQ(static_cast<uint16_t>(maths.Table[255]), 0x1256);
    EXPECT_EQ(static_cast<uint16_t>(maths.Table[0]), 0x0034);
}

TEST(MathsAssist, ResetEmptiesTheTable) {
    TVexaMathsAssist maths;
    for (int e = 0; e < 256; ++e)
        SetEntry(maths, e, 0x4000);
    maths.SelectIndex(9);
    SetMultiplier(maths, 0x1000);
    ASSERT_EQ(Result(maths), 0x1000);
    maths.Reset();
    EXPECT_EQ(maths.Index, 0);
    EXPECT_EQ(maths.Multiplier, 0);
    EXPECT_FALSE(maths.Dirty);
    EXPECT_EQ(Result(maths), 0);
    SetMultiplier(maths, 0x7FFF);
    for (int e = 0; e < 256; ++e) {
        maths.SelectIndex(static_cast<uint8_t>(e));
        ASSERT_EQ(Result(maths), 0) << e;
    }
}

// Through the memory map: 0x0704/0x0705 are the result when read but table
// entry 0x82 when written.
TEST(MathsAssist, BoardMemoryMapReachesTheUnit) {
    BoardFixture machine({0x76});
    TVexaBoard& board = machine.board();
    TVexaMathsAssist& maths = *board.Maths();
    DiagCapture diag{DIAG_MATHS};
    machine.machine().Diag().Connect(&diag.log);

    board.WriteMem(0x0704, 0x00);
    board.WriteMem(0x0705, 0xC0);
    EXPECT_EQ(static_cast<uint16_t>(maths.Table[0x82]), 0xC000);
    board.WriteMem(0x020A, 0x82);
    board.WriteMem(0x0208, 0x00);
    board.WriteMem(0x0209, 0x01);
    EXPECT_EQ(board.ReadMem(0x0704), 0x00);
    EXPECT_EQ(board.ReadMem(0x0705), 0xFF);
    EXPECT_EQ(board.MainRam()[0x0704], 0);
    EXPECT_EQ(board.MainRam()[0x0705], 0);
    EXPECT_EQ(diag.Take(),
              (Texts{"Table Entry 130 set to 0x0000", "Table Entry 130 set to 0xffffc000",
                     "Table Index 0x82 selected", "Multiplier Value set to: 0x0000",
                     "Multiplier Value set to: 0x0100", "Maths Result LSB: 0x00", "Maths Result MSB: 0xff"}));

    // The whole table window, both ends.
    board.WriteMem(0x0600, 0x11);
    board.WriteMem(0x07FF, 0x22);
    EXPECT_EQ(static_cast<uint16_t>(maths.Table[0]), 0x0011);
    EXPECT_EQ(static_cast<uint16_t>(maths.Table[255]), 0x2200);
    // Other reads in the table window are plain RAM.
    board.MainRam()[0x0600] = 0x99;
    EXPECT_EQ(board.ReadMem(0x0600), 0x99);

    // The line coprocessor's route ignores paging.
    board.WriteVideoSpace(0x0208, 0x40);
    board.WriteVideoSpace(0x0209, 0x00);
    board.WriteVideoSpace(0x060A, 0x00);
    board.WriteVideoSpace(0x060B, 0x40);
    board.WriteVideoSpace(0x020A, 0x05);
    EXPECT_EQ(maths.Multiplier, 0x0040);
    EXPECT_EQ(static_cast<uint16_t>(maths.Table[5]), 0x4000);
    EXPECT_EQ(maths.Index, 5);

    // With the register area switched to RAM (sys_alt_write_page bit 7) the
    // unit is out of reach both ways.
    diag.Take();
    board.OutPort(0x0B, 0x80);
    board.WriteMem(0x0704, 0x5A);
    EXPECT_EQ(board.ReadMem(0x0704), 0x5A);
    EXPECT_EQ(static_cast<uint16_t>(maths.Table[0x82]), 0xC000);
    EXPECT_EQ(diag.Take(), Texts{});

    // A cold boot empties the table.
    board.OutPort(0x0B, 0x00);
    machine.machine().ColdBoot();
    EXPECT_EQ(board.ReadMem(0x0704), 0);
    EXPECT_EQ(maths.Table[0x82], 0);
}

} // namespace
