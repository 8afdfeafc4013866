// Sprites: register decoding, priorities, banks, clipping and the redraw countdown.
#include <cstring>

#include "VideoFixture.h"

class SpriteTest : public VideoTest {
protected:
    void Place(int n, int x, int y, int image, uint8_t heightBits) {
        const uint16_t base = static_cast<uint16_t>(0x400 + 4 * n);
        Write(base, static_cast<uint8_t>(x));
        Write(base + 1,
              static_cast<uint8_t>((x >> 8 & 1) | (y >> 8 & 1) << 1 | (image >> 8 & 1) << 2 | heightBits));
        Write(base + 2, static_cast<uint8_t>(y));
        Write(base + 3, static_cast<uint8_t>(image));
    }
    // Images from `image` on filled with one colour.
    void Solid(int image, uint8_t colour, int images = 1) {
        std::memset(Video().spriteRam + image * 256, colour, static_cast<size_t>(256 * images));
    }
    // Renders a whole frame from line 0.
    void Frame() {
        ToLine(0);
        Lines(TVexaVideo::RasterLines);
    }
    // The lines on which cell `cell` is non-zero.
    int LinesCovered(int cell) {
        int count = 0;
        for (int line = 0; line < 256; ++line)
            count += Video().spriteLineBuffer[line][cell] != 0;
        return count;
    }
};

TEST_F(SpriteTest, HeightFromRegisterOneUnderEachControlSetting) {
    Solid(0, 5, 16);
    struct {
        uint8_t control, reg1;
        int height;
    } cases[] = {
        {0x01, 0x05, 240}, {0x01, 0x30, 48},  {0x01, 0xF0, 240}, {0x11, 0x80, 240},
        {0x11, 0x90, 16},  {0x11, 0xF0, 112}, {0x21, 0x40, 64},  {0x21, 0xC0, 128},
        {0x21, 0x70, 48},  {0x31, 0xC0, 64},  {0x31, 0xF0, 48},  {0x31, 0x10, 16},
    };
    for (const auto& c : cases) {
        Write(0x207, c.control); // register 1 is decoded with the control bits in force when it is written
        Place(0, 100, 0, 0, c.reg1 & 0xF8);
        Frame();
        EXPECT_EQ(LinesCovered(101), c.height) << std::hex << int(c.control) << " " << int(c.reg1);
    }
}

TEST_F(SpriteTest, HigherNumbersCoverLowerOnesExceptWhereTheirPixelIsZero) {
    Solid(0, 3);
    Solid(1, 4);
    Video().spriteRam[256 + 5] = 0; // image 1, row 0, column 5 is transparent
    Place(7, 100, 20, 0, 0x10);
    Place(9, 100, 20, 1, 0x10);
    Write(0x207, 0x01);
    Frame();
    EXPECT_EQ(Video().spriteLineBuffer[20][101], 4);
    EXPECT_EQ(Video().spriteLineBuffer[20][106], 3);
    EXPECT_EQ(Video().spriteLineBuffer[21][106], 4);
    EXPECT_EQ(Video().spriteLineBuffer[20][100], 0); // image column j is drawn at x + 1 + j
    EXPECT_EQ(Video().spriteLineBuffer[20][117], 0);
    EXPECT_EQ(Video().spriteLineBuffer[36][101], 0); // 16 lines from y
}

TEST_F(SpriteTest, BanksAndBankMode) {
    Solid(0, 6);
    for (int n : {0, 62, 63, 64, 127})
        Place(n, 100 + 20 * (n % 8), n, 0, 0x10);
    auto drawn = [&](int n) { return Video().spriteLineBuffer[n][101 + 20 * (n % 8)] != 0; };
    Write(0x207, 0x01);
    Frame();
    for (int n : {0, 62, 63, 64, 127})
        EXPECT_TRUE(drawn(n)) << n;

    Write(0x207, 0x09); // bank mode, bank 0: sprites 0-62
    Frame();
    EXPECT_TRUE(drawn(0));
    EXPECT_TRUE(drawn(62));
    EXPECT_FALSE(drawn(63));
    EXPECT_FALSE(drawn(64));

    Write(0x207, 0x0D);            // bank 1: sprites 64-127, 127 as it was before bank mode
    Place(127, 300, 127, 0, 0x10); // dropped in bank mode
    Frame();
    EXPECT_FALSE(drawn(0));
    EXPECT_FALSE(drawn(63));
    EXPECT_TRUE(drawn(64));
    EXPECT_TRUE(drawn(127));
    EXPECT_EQ(Video().spriteLineBuffer[127][301], 0);
}

TEST_F(SpriteTest, EdgesOfTheBufferAndOfSpriteRam) {
    Solid(1, 2);
    Place(0, 95, 16, 1, 0x10);     // the top-left corner of the picture
    Place(1, 500, 100, 1, 0x10);   // cells 501-511 only
    Place(2, 511, 120, 1, 0x10);   // no cell at all
    Place(3, 200, 250, 1, 0x10);   // lines 250-255 only
    Place(4, 200, 0x100, 1, 0x10); // never
    // Image 511, 32 lines: rows 16-31 lie past the end of sprite RAM and wrap to its start.
    Video().spriteRam[0x1FF00] = 8;
    Video().spriteRam[0x00000] = 9;
    Place(5, 300, 40, 511, 0x20);
    Write(0x207, 0x01);
    Colour(2, 0x0F00);
    Frame();
    std::vector<uint32_t> frame(FrameWidth * FrameHeight);
    ComposeFrame(Video(), frame.data());
    EXPECT_EQ(frame[0], 0xFFF00000u);
    EXPECT_EQ(Video().spriteLineBuffer[100][511], 2);
    EXPECT_EQ(Video().spriteLineBuffer[101][0], 0);
    EXPECT_EQ(Video().spriteLineBuffer[121][0], 0);
    EXPECT_EQ(LinesCovered(201), 6);
    EXPECT_EQ(Video().spriteLineBuffer[40][301], 8);
    EXPECT_EQ(Video().spriteLineBuffer[56][301], 9);
}

TEST_F(SpriteTest, CountdownFreezesSpriteRowsUntilSomethingRestartsIt) {
    Solid(0, 1);
    Place(0, 100, 20, 0, 0x10);
    Write(0x207, 0x01);
    Frame();
    Frame(); // 312 rendered lines have passed: the countdown has run out
    ASSERT_EQ(Video().spriteLineBuffer[20][101], 1);

    Video().spriteRam[0] = 2;              // not through the window: no restart
    Video().WriteVramWindow(0x2000, 0x55); // VRAM writes do not restart it either
    Write(0x202, 0x00);                    // nor other registers
    Frame();
    EXPECT_EQ(Video().spriteLineBuffer[20][101], 1);

    Write(0x1FF, 0x00); // any palette byte
    Frame();
    EXPECT_EQ(Video().spriteLineBuffer[20][101], 2);

    // Disabled, the rows keep their contents; enabled again they are shown
    // as they were until the countdown rebuilds them.
    Video().spriteRam[0] = 3;
    Write(0x207, 0x00);
    Frame();
    EXPECT_EQ(Video().spriteLineBuffer[20][101], 2);
    Video().spriteRam[0] = 4;
    Write(0x207, 0x01); // this write restarts the countdown too
    Frame();
    EXPECT_EQ(Video().spriteLineBuffer[20][101], 4);

    // The sprite window restarts it.
    Frame();
    Frame();
    Board().OutPort(0x00, 0x80);
    Write(0x1000, 5);
    Frame();
    EXPECT_EQ(Video().spriteLineBuffer[20][101], 5);
}

TEST_F(SpriteTest, RegisterOneKeepsItsOtherBits) {
    Solid(0x101, 7);
    Place(3, 0x1F0, 0x30, 0x101, 0x10); // x bit 8, image bit 8
    Write(0x40C, 0x05);                 // x low byte only: bit 8 kept
    Write(0x40E, 0x40);                 // y low byte only
    Write(0x207, 0x01);
    Frame();
    EXPECT_EQ(Video().spriteLineBuffer[0x40][0x106], 7);
}
