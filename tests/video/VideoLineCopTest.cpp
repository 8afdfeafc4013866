// The line coprocessor: its instructions, restarts, the frame wrap and the
// end of its program area.
#include "VideoFixture.h"

class LineCopTest : public VideoTest {
protected:
    // Puts words at program offset `offset` (main RAM 0x70000 + offset).
    void Program(uint16_t offset, std::initializer_list<uint16_t> words) {
        for (uint16_t w : words) {
            Board().MainRam()[0x70000 + offset] = static_cast<uint8_t>(w);
            Board().MainRam()[0x70000 + static_cast<uint16_t>(offset + 1)] = static_cast<uint8_t>(w >> 8);
            offset = static_cast<uint16_t>(offset + 2);
        }
    }
    void Start(uint16_t start) {
        Write(0x20E, static_cast<uint8_t>(start >> 8));
        Write(0x20D, static_cast<uint8_t>(start | 1));
    }
    // Red level (0-15) of palette entry 0 as shown on each line.
    int RedOn(int line) { return static_cast<int>(Video().linePalette[line][0] >> 20 & 15); }
};

// Each write instruction 0x20nn below sets red = nn of entry 0 (register
// 0x001) and moves on to the next line.
TEST_F(LineCopTest, WaitSetRegisterAndNextLine) {
    Program(0, {0x8001, 0xC000 | 40, 0x2003, 0x2005, 0xC000 | 100, 0x2007, 0xC1FF});
    ToLine(10);
    Start(0); // the wait line (0) lies behind: the program first runs at line 0 of the next frame
    ToLine(0);
    Lines(120);
    EXPECT_EQ(RedOn(39), 0);
    EXPECT_EQ(RedOn(40), 3); // a write takes effect on the line it runs on
    EXPECT_EQ(RedOn(41), 5); // the next-line bit: one write per line
    EXPECT_EQ(RedOn(99), 5); // wait until line 100
    EXPECT_EQ(RedOn(100), 7);
    EXPECT_EQ(RedOn(119), 7);
}

TEST_F(LineCopTest, WritesWithTheIncrementBitReachConsecutiveRegisters) {
    Program(0, {0x8201, 0x4000 | 0x01, 0x4000 | 0x3A, 0x0000 | 0x05, 0xC1FF});
    Start(0);
    EXPECT_EQ(Video().RasterLine(), 0); // a fresh raster waits at line 0: this line runs it
    Lines(1);
    EXPECT_EQ(Host().Panel(12), "LEGACY");
    EXPECT_EQ(Texts(), (Texts_{"LineCop Start Address set to 0x70000 (stopped)",
                               "LineCop Start Address set to 0x70000 (running)", "vreg_vidctrl Set to 0x01",
                               "Display Height from 8 to 224", "Y Scroll for Playfield 0 set to 0x05"}));
}

TEST_F(LineCopTest, RestartBitAndBothBitsTogether) {
    // Both bits: the program restarts from its start on the next line, so it
    // runs on every line.
    Program(0x100, {0x8001, 0x3002});
    Start(0x100);
    for (int line = 0; line < 5; ++line) {
        Write(0x001, 0x00);
        Lines(1);
        EXPECT_EQ(Video().paletteRam[1], 2) << line;
    }

    // Restart alone: the wait line stays where it was, so after its run on
    // line 0 the program runs again only after the frame wrap.
    Program(0x200, {0x8001, 0x1004, 0x2009});
    ToLine(1);
    Start(0x200);
    ToLine(0);
    Lines(1);
    EXPECT_EQ(Video().paletteRam[1], 4);
    Write(0x001, 0x00);
    Lines(300);
    EXPECT_EQ(Video().paletteRam[1], 0);
    ToLine(0);
    Lines(1);
    EXPECT_EQ(Video().paletteRam[1], 4);
}

TEST_F(LineCopTest, StoppingInsideARunFinishesTheRunFromTheNewStart) {
    // Line 0: write 0x00 to vreg_linecop_lo (stop, start 0x0000 of the high
    // byte 0x03: 0x0300). The run goes on from 0x0300: red 6 and wait.
    Program(0x0300, {0x8001, 0x0006, 0xC000 | 50});
    Program(0x0380, {0x820E, 0x0003, 0x820D, 0x0000, 0x8001, 0x000F, 0xC1FF});
    Start(0x0380);
    Lines(1);
    EXPECT_FALSE(Video().LineCopRunning());
    EXPECT_EQ(Host().Panel(15), "IDLE");
    EXPECT_EQ(Video().paletteRam[1], 6);
    Write(0x002, 0x00);
    ToLine(0);
    Lines(60);
    EXPECT_EQ(Video().paletteRam[2], 0); // stopped: nothing more runs
}

TEST_F(LineCopTest, WaitForAnEarlierLineIdlesUntilTheFrameWraps) {
    Program(0, {0x8001, 0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0xC000 | 0, 0x200F});
    Start(0);
    Lines(20);
    EXPECT_EQ(Video().paletteRam[1], 5); // lines 0-4, then the wait for line 0 at line 5
    Write(0x001, 0x00);
    ToLine(0);
    Lines(3);
    EXPECT_EQ(Video().paletteRam[1], 3); // the frame wrap restarted it at its start
}

TEST_F(LineCopTest, TheInstructionAt0xFFFEEndsItsRun) {
    // No instruction from 0xFFFA on waits; the run still ends after the one
    // fetched at 0xFFFE instead of going on at 0x0000.
    Program(0xFFFA, {0x8001, 0x0008, 0x0009});
    Program(0x0000, {0x800B, 0x000A, 0xC1FF});
    Write(0x20E, 0xFF);
    Write(0x20D, 0xFB); // start 0xFFFA, running
    Lines(1);
    EXPECT_EQ(Video().paletteRam[1], 9);
    EXPECT_EQ(Video().paletteRam[0x0B], 0);
    Lines(300); // the wait line is still 0: nothing runs until the frame wraps
    EXPECT_EQ(Video().paletteRam[0x0B], 0);
}

TEST_F(LineCopTest, TheProgramIsReadFromMainRamDirectly) {
    Program(0, {0x8001, 0x0003, 0xC1FF});
    Board().OutPort(0x00, 0x0E); // paging does not matter
    Start(0);
    Lines(1);
    EXPECT_EQ(Video().paletteRam[1], 3);
    // The CPU changes the program between frames: the next frame runs the new one.
    Board().MainRam()[0x70002] = 0x0C;
    ToLine(0);
    Lines(1);
    EXPECT_EQ(Video().paletteRam[1], 0x0C);
}

// A wait reaches every line of the 312-line frame, rendered or not; a wait
// line of 312 or more is never reached before the frame wrap restarts the
// program.
TEST_F(LineCopTest, WaitsReachEveryLineOfTheFrameAndNoFurther) {
    for (const int line : {1, 255, 256, 300, 311, 312, 511}) {
        Program(0, {static_cast<uint16_t>(0xC000 | line), 0x8001, 0x0005, 0xC1FF});
        Start(0);
        Lines(1);
        ToLine(0); // the frame wrap starts the program afresh
        Write(0x001, 0x00);
        Lines(1); // line 0 runs the wait
        Lines(std::min(line, TVexaVideo::RasterLines) - 1);
        EXPECT_EQ(Video().paletteRam[1], 0) << "before line " << line;
        if (line < TVexaVideo::RasterLines) {
            Lines(1);
            EXPECT_EQ(Video().paletteRam[1], 5) << "at line " << line;
        } else {
            EXPECT_EQ(Video().RasterLine(), 0) << line; // the frame wrapped first
        }
        Write(0x20D, 0x00);
    }
}
