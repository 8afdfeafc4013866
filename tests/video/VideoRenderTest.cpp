// Raster timing and the line renderers, checked line by line where a picture
// would hide the detail.
#include <cstring>

#include "VideoFixture.h"

TEST_F(VideoTest, OneCallProcessesEveryCompletedLine) {
    Write(0x205, 200);
    Write(0x204, 0x02);
    EXPECT_TRUE(Video().Tick(262144)); // 256 lines in one call, the raster check on each
    EXPECT_EQ(Video().RasterLine(), 256);
    EXPECT_EQ(Video().LineCycle(), 0);
    EXPECT_TRUE(Video().Tick(1023)); // the flag stays until acknowledged
    EXPECT_EQ(Video().RasterLine(), 256);
}

TEST_F(VideoTest, RasterTargetsZeroOneAndThreeTwelve) {
    struct {
        int target, perFrame;
    } cases[] = {{0, 0}, {1, 1}, {311, 1}, {312, 1}, {313, 0}, {511, 0}};
    for (const auto& c : cases) {
        Video().Reset();
        Write(0x205, static_cast<uint8_t>(c.target));
        Write(0x204, static_cast<uint8_t>(0x02 | (c.target >> 8)));
        int raised = 0;
        for (int line = 0; line < 3 * TVexaVideo::RasterLines; ++line) {
            if (Video().Tick(1024)) {
                ++raised;
                // The flag rises when the line counter reaches the target.
                EXPECT_EQ(Video().RasterLine(), c.target % TVexaVideo::RasterLines) << c.target;
                Write(0x204, 0x80);
            }
        }
        EXPECT_EQ(raised, 3 * c.perFrame) << c.target;
    }
}

TEST_F(VideoTest, LinesOutsideTheWindowAreBlankAndEdgesCleared) {
    std::memset(Video().lineBuffer, 0x77, sizeof Video().lineBuffer);
    std::fill(std::begin(Video().vram), std::end(Video().vram), 0xFF);
    Lines(256); // reset window: lines 0-159, columns 0-255
    for (int line = 160; line < 256; ++line) {
        ASSERT_EQ(Video().lineBuffer[line][95], 0x77) << line; // only columns 96-495 are cleared
        ASSERT_EQ(Video().lineBuffer[line][96], 0) << line;
        ASSERT_EQ(Video().lineBuffer[line][495], 0) << line;
    }
    EXPECT_EQ(Video().lineBuffer[159][255], 1);
    EXPECT_EQ(Video().lineBuffer[159][256], 0);
}

TEST_F(VideoTest, PlanarBitOrderPlaneSetsAndCounter) {
    FullWindow();
    Write(0x201, 0x20);           // plane set 1
    Write(0x203, 0x02);           // three planes: 8, 9, 10
    Write(0x262, 0x01);           // plane 8 at 0x10000
    Write(0x266, 0x02);           // plane 9 at 0x20000
    Write(0x26A, 0x03);           // plane 10 at 0x30000
    Video().vram[0x10000] = 0x80; // line 16, the first window line, starts at counter 0
    Video().vram[0x20000] = 0x40;
    Video().vram[0x30000] = 0xC0;
    Video().vram[0x10000 + 50] = 0x01; // line 17: the counter moved on by 50 bytes
    ToLine(18);
    const uint8_t* line16 = Video().lineBuffer[16];
    EXPECT_EQ(line16[96], 1 | 4);
    EXPECT_EQ(line16[97], 2 | 4);
    EXPECT_EQ(line16[98], 0);
    EXPECT_EQ(Video().lineBuffer[17][103], 1);
}

TEST_F(VideoTest, InhibitBlanksBitmapWindowsButTheCounterRuns) {
    Write(0x201, 0x04); // planar, inhibit
    std::fill(std::begin(Video().vram), std::end(Video().vram), 0xFF);
    Video().vram[32] = 0x00; // line 1 starts at byte 32 whether line 0 was shown or not
    Lines(1);
    EXPECT_EQ(Video().lineBuffer[0][10], 0);
    Write(0x201, 0x00);
    Lines(1);
    EXPECT_EQ(Video().lineBuffer[1][0], 0);
    EXPECT_EQ(Video().lineBuffer[1][8], 1);
}

TEST_F(VideoTest, BlankLeft16InEveryMode) {
    std::fill(std::begin(Video().vram), std::end(Video().vram), 0x11);
    Write(0x204, 0x04);
    Write(0x202, 0x30); // left 48
    for (uint8_t vidctrl : {0x02, 0x82, 0x03}) {
        Write(0x201, vidctrl);
        Lines(3);
        const uint8_t* row = Video().lineBuffer[Video().RasterLine() - 1];
        EXPECT_EQ(row[48], 0) << int(vidctrl);
        EXPECT_EQ(row[63], 0) << int(vidctrl);
        EXPECT_NE(row[67], 0) << int(vidctrl);
    }
}

TEST_F(VideoTest, ModuloFFRestartsEveryLineFromThePlaneAddress) {
    Write(0x247, 0xFF);
    Video().vram[0] = 0x80;
    Video().vram[32] = 0xFF;
    Lines(5);
    for (int line = 0; line < 5; ++line)
        EXPECT_EQ(Video().lineBuffer[line][1], 0) << line;
    Write(0x247, 0x08); // 32 bytes a line plus 8
    Video().vram[40] = 0xFF;
    Write(0x243, 0); // counter reset
    Lines(2);
    EXPECT_EQ(Video().lineBuffer[6][0], 1);
    EXPECT_EQ(Video().lineBuffer[6][1], 1);
}

TEST_F(VideoTest, ChunkyPixelsLandOneRowDownAndOneColumnRight) {
    std::memset(Video().lineBuffer, 0x77, sizeof Video().lineBuffer);
    for (int i = 0; i < 0x1000; ++i)
        Video().vram[i] = static_cast<uint8_t>(1 + i % 200);
    Write(0x204, 0x04);
    Write(0x202, 0x11); // left 16, right 272
    Write(0x204, 0x00);
    Write(0x202, 0x10); // top 8, bottom 160
    Write(0x201, 0x88); // extended chunky: the same fetch
    Lines(161);
    EXPECT_EQ(Video().lineBuffer[8][20], 0x77);           // row top is not written by the fetch
    EXPECT_EQ(Video().lineBuffer[9][16], 0);              // column left
    EXPECT_EQ(Video().lineBuffer[9][17], 1);              // the first pixel of line 8
    EXPECT_EQ(Video().lineBuffer[9][271], 1 + 254 % 200); // fetched for column 270
    EXPECT_EQ(Video().lineBuffer[9][272], 0); // fetched for column 271, cleared by line 9's edge step
    EXPECT_EQ(Video().lineBuffer[10][17], 1 + 256 % 200); // line 9 goes on at byte 256
    EXPECT_EQ(Video().lineBuffer[160][100], 0);           // fetched on line 159, cleared on line 160
    EXPECT_EQ(Video().lineBuffer[10][0], 0);              // column 511 of line 8 spills into row 10
}

TEST_F(VideoTest, TileSwapWithOnePlayfieldDrawsPlayfieldOne) {
    Video().vram[0x0000] = 8; // playfield 0 map: tile 8
    Video().vram[0x0400] = 9; // playfield 1 map: tile 9
    std::memset(Video().vram + 8 * 256, 0x08, 256);
    std::memset(Video().vram + 9 * 256, 0x09, 256);
    Write(0x201, 0x05); // tile map, one playfield, inhibit (no effect on a back playfield)
    Lines(1);
    EXPECT_EQ(Video().lineBuffer[0][0], 8);
    Write(0x20C, 0x02); // swap
    Lines(1);
    EXPECT_EQ(Video().lineBuffer[1][0], 9);
}

TEST_F(VideoTest, FetchesBeyondVramWrapWithin512K) {
    // Planar: plane address 0x7FFFF plus the counter.
    Write(0x240, 0xFF);
    Write(0x241, 0xFF);
    Write(0x242, 0x07);
    Video().vram[0x7FFFF] = 0x80;
    Video().vram[0] = 0x01;
    Lines(1);
    EXPECT_EQ(Video().lineBuffer[0][0], 1);
    EXPECT_EQ(Video().lineBuffer[0][15], 1);
    // Extended tiles: tile 0x3FFF of the upper bank lies at 0x40000 + 0x3FFF00,
    // 0x3FF00 after wrapping.
    Video().Reset();
    Write(0x20C, 0x01);
    Video().vram[0x70000] = 0xFF;
    Video().vram[0x70800] = 0x3F;
    Video().vram[0x3FF00] = 0x42;
    Write(0x201, 0x11);
    Lines(1);
    EXPECT_EQ(Video().lineBuffer[0][0], 0x42);
}

TEST_F(VideoTest, EachLineIsColouredThroughItsOwnPaletteCopy) {
    Colour(0, 0x000F);
    ToLine(100);
    Colour(0, 0x0F00);
    Lines(1);
    EXPECT_EQ(Video().linePalette[99][0], 0xFF0000F0u);
    EXPECT_EQ(Video().linePalette[100][0], 0xFFF00000u);
    std::vector<uint32_t> frame(FrameWidth * FrameHeight);
    ToLine(0);
    ComposeFrame(Video(), frame.data());
    EXPECT_EQ(frame[83 * FrameWidth + 5], 0xFF0000F0u);
    EXPECT_EQ(frame[84 * FrameWidth + 5], 0xFFF00000u);
}

TEST_F(VideoTest, ComposeShowsSpriteCellsOnlyWhileSpritesAreEnabled) {
    Colour(0, 0x0111);
    Colour(7, 0x0777);
    Colour(9, 0x0999);
    ToLine(20);
    Lines(1);
    Video().lineBuffer[20][100] = 9;
    Video().spriteLineBuffer[20][100] = 7;
    Video().spriteLineBuffer[20][101] = 0x107; // only the low byte picks the colour
    std::vector<uint32_t> frame(FrameWidth * FrameHeight);
    ComposeFrame(Video(), frame.data());
    EXPECT_EQ(frame[4 * FrameWidth + 4], 0xFF909090u);
    EXPECT_EQ(frame[4 * FrameWidth + 5], 0xFF101010u);
    Write(0x207, 0x01);
    ComposeFrame(Video(), frame.data());
    EXPECT_EQ(frame[4 * FrameWidth + 4], 0xFF707070u);
    EXPECT_EQ(frame[4 * FrameWidth + 5], 0xFF707070u);
}
