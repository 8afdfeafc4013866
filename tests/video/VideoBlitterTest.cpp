// The blitter: direction, overlap, transparency, moduli, banks, sizes and
// addresses that leave VRAM.
#include <cstring>

#include "VideoFixture.h"

class BlitterTest : public VideoTest {
protected:
    struct Blit {
        uint32_t source = 0, dest = 0; // bits 0-15 and the bank
        uint8_t width = 0, height = 0;
        uint16_t sourceModulo = 0, destModulo = 0; // 10 bits
        bool ascending = true, transparent = false;
        uint8_t extraControl = 0; // bits 4-5
    };
    void Run(const Blit& b) {
        Write(0x210, static_cast<uint8_t>(b.source));
        Write(0x211, static_cast<uint8_t>(b.source >> 8));
        Write(0x219, static_cast<uint8_t>(b.source >> 16));
        Write(0x212, static_cast<uint8_t>(b.dest));
        Write(0x213, static_cast<uint8_t>(b.dest >> 8));
        Write(0x21A, static_cast<uint8_t>(b.dest >> 16));
        Write(0x214, static_cast<uint8_t>(b.sourceModulo));
        Write(0x215, static_cast<uint8_t>(b.destModulo));
        Write(0x218,
              static_cast<uint8_t>((b.sourceModulo >> 8 & 3) | (b.destModulo >> 8 & 3) << 2 | b.extraControl |
                                   (b.ascending ? 0x40 : 0) | (b.transparent ? 0x80 : 0)));
        Write(0x216, b.height);
        Write(0x217, b.width); // runs the blit
    }
    uint8_t* Vram() { return Video().vram; }
};

TEST_F(BlitterTest, OneByteAndSixtyFourKilobytes) {
    Vram()[0x100] = 0xAB;
    Run({.source = 0x100, .dest = 0x200});
    EXPECT_EQ(Vram()[0x200], 0xAB);
    EXPECT_EQ(Vram()[0x201], 0);

    for (int i = 0; i < 0x10000; ++i)
        Vram()[0x10000 + i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    Run({.source = 0x10000, .dest = 0x30000, .width = 255, .height = 255});
    EXPECT_EQ(std::memcmp(Vram() + 0x10000, Vram() + 0x30000, 0x10000), 0);
    EXPECT_EQ(Vram()[0x40000], 0);
    EXPECT_EQ(Vram()[0x2FFFF], 0);
}

TEST_F(BlitterTest, OverlapFollowsTheCopyOrder) {
    for (int i = 0; i < 8; ++i)
        Vram()[0x1000 + i] = static_cast<uint8_t>(i + 1);
    // Ascending to a higher overlapping address repeats the start of the source.
    Run({.source = 0x1000, .dest = 0x1002, .width = 5});
    const uint8_t ascending[] = {1, 2, 1, 2, 1, 2, 1, 2};
    EXPECT_EQ(std::memcmp(Vram() + 0x1000, ascending, 8), 0);
    // Descending from the ends copies the same overlap intact.
    for (int i = 0; i < 8; ++i)
        Vram()[0x1000 + i] = static_cast<uint8_t>(i + 1);
    Run({.source = 0x1005, .dest = 0x1007, .width = 5, .ascending = false});
    const uint8_t descending[] = {1, 2, 1, 2, 3, 4, 5, 6};
    EXPECT_EQ(std::memcmp(Vram() + 0x1000, descending, 8), 0);
}

TEST_F(BlitterTest, DescendingRowsStepDownByTheModulo) {
    for (int i = 0; i < 64; ++i)
        Vram()[0x2000 + i] = static_cast<uint8_t>(0x40 + i);
    // Two rows of 4 bytes from 0x203F down; after each row's own 4 steps the
    // addresses move 16 further down.
    Run({.source = 0x203F,
         .dest = 0x403F,
         .width = 3,
         .height = 1,
         .sourceModulo = 16,
         .destModulo = 16,
         .ascending = false});
    EXPECT_EQ(Vram()[0x403F], 0x7F);
    EXPECT_EQ(Vram()[0x403C], 0x7C);
    EXPECT_EQ(Vram()[0x403B], 0);
    EXPECT_EQ(Vram()[0x402B], 0x6B); // 0x203F - 4 - 16
    EXPECT_EQ(Vram()[0x4028], 0x68);
    EXPECT_EQ(Vram()[0x4027], 0);
}

// The destination modulo moves the destination's rows on its own, whatever
// the source's: positive, negative (bit 9) and descending.
TEST_F(BlitterTest, DestinationModuloMovesOnlyTheDestinationRows) {
    struct Case {
        uint16_t destModulo;
        bool ascending;
        uint32_t source;
        std::vector<std::pair<uint32_t, uint8_t>> written;
    } cases[] = {
        {6, true, 0x1000, {{0x3000, 1}, {0x3001, 2}, {0x3008, 3}, {0x3009, 4}}},
        {0x3F6 /* -10 */, true, 0x1000, {{0x3000, 1}, {0x3001, 2}, {0x2FF8, 3}, {0x2FF9, 4}}},
        {6, false, 0x1003, {{0x3000, 4}, {0x2FFF, 3}, {0x2FF8, 2}, {0x2FF7, 1}}},
    };
    for (const Case& c : cases) {
        std::memset(Vram() + 0x2F00, 0, 0x200);
        for (int i = 0; i < 4; ++i)
            Vram()[0x1000 + i] = static_cast<uint8_t>(i + 1);
        // Two rows of two bytes; the source rows lie back to back.
        Run({.source = c.source, .dest = 0x3000, .width = 1, .height = 1, .destModulo = c.destModulo,
             .ascending = c.ascending});
        int nonZero = 0;
        for (int a = 0x2F00; a < 0x3100; ++a) nonZero += Vram()[a] != 0;
        EXPECT_EQ(nonZero, 4) << c.destModulo;
        for (const auto& [address, value] : c.written) EXPECT_EQ(Vram()[address], value) << std::hex << address;
    }
}

TEST_F(BlitterTest, TransparentZerosLeaveTheDestinationButAdvance) {
    const uint8_t source[] = {1, 0, 3, 0};
    std::memcpy(Vram() + 0x100, source, 4);
    std::memset(Vram() + 0x200, 0xEE, 4);
    Run({.source = 0x100, .dest = 0x200, .width = 3, .transparent = true});
    const uint8_t expected[] = {1, 0xEE, 3, 0xEE};
    EXPECT_EQ(std::memcmp(Vram() + 0x200, expected, 4), 0);
}

TEST_F(BlitterTest, NegativeModuliAndTheirMessages) {
    for (int i = 0; i < 4; ++i)
        Vram()[0x3000 + i] = static_cast<uint8_t>(0x10 + i);
    ClearMessages();
    // Source modulo -4 (0x3FC): every row reads the same four bytes.
    Run({.source = 0x3000, .dest = 0x5000, .width = 3, .height = 2, .sourceModulo = 0x3FC});
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(Vram()[0x5000 + 4 * row + 2], 0x12) << row;
    EXPECT_EQ(Texts(), (Texts_{"Begin Blit from 0x003000 to 0x005000",
                               "Blit W: 3, H: 2, Mod (s/d): 0xFFFFFFFC, 0x000"}));
    // Control 0x02 with low byte 0: a source modulo of -512.
    ClearMessages();
    Write(0x214, 0x00);
    Write(0x218, 0x02);
    Write(0x215, 0x10);
    Write(0x217, 0x00);
    EXPECT_EQ(Texts()[1], "Blit W: 0, H: 2, Mod (s/d): 0xFFFFFE00, 0x010");
}

TEST_F(BlitterTest, BankBitsAndControlBitsGiveBitSixteenOnce) {
    Vram()[0x10005] = 0x5A;
    Vram()[0x30005] = 0xA5;
    Run({.source = 0x10005, .dest = 0x60000, .extraControl = 0x10}); // bank 1 and control bit 4
    EXPECT_EQ(Vram()[0x60000], 0x5A);
    Run({.source = 0x20005, .dest = 0x60001, .extraControl = 0x10}); // bank 2 and control bit 4: 0x30005
    EXPECT_EQ(Vram()[0x60001], 0xA5);
    Run({.source = 0x10005, .dest = 0x60002, .extraControl = 0x20}); // destination 0x70002
    EXPECT_EQ(Vram()[0x70002], 0x5A);
    EXPECT_EQ(Vram()[0x60002], 0);
}

TEST_F(BlitterTest, OnlyTheWidthStartsABlit) {
    Vram()[0] = 0x77;
    for (uint16_t reg = 0x210; reg <= 0x21A; ++reg)
        if (reg != 0x217) Write(reg, 0x01);
    Write(0x296, 0x00); // a repeat of the height register
    EXPECT_EQ(Vram()[0x10101], 0);
    Write(0x210, 0x00);
    Write(0x211, 0x00);
    Write(0x219, 0x00);
    Write(0x218, 0x40);
    Write(0x297, 0x00); // a repeat of the width register
    EXPECT_EQ(Vram()[0x10101], 0x77);
}

TEST_F(BlitterTest, AddressesWrapWithinVram) {
    Vram()[0x7FFFF] = 0x11;
    Vram()[0x00000] = 0x22;
    Run({.source = 0x7FFFF, .dest = 0x40000, .width = 1}); // reads 0x7FFFF then 0x00000
    EXPECT_EQ(Vram()[0x40000], 0x11);
    EXPECT_EQ(Vram()[0x40001], 0x22);
    Run({.source = 0x40001, .dest = 0x00000, .width = 1, .ascending = false}); // writes 0x00000 then 0x7FFFF
    EXPECT_EQ(Vram()[0x00000], 0x22);
    EXPECT_EQ(Vram()[0x7FFFF], 0x11);
    Vram()[0x7FFFF] = 0x33;
    Vram()[0x001FF] = 0x44;
    Run({.source = 0x7FFFF, .dest = 0x7FF00, .height = 2, .sourceModulo = 0x1FF, .destModulo = 0});
    EXPECT_EQ(Vram()[0x7FF00], 0x33);
    EXPECT_EQ(Vram()[0x7FF01], 0x44); // 0x7FFFF + 1 + 511 wraps to 0x001FF
}
