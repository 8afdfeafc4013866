// The register area: decoding and repeats, messages, status panels, the
// palette, the status byte, the memory windows and the reset state.
#include "VideoFixture.h"

TEST_F(VideoTest, RegisterGroupsRepeatAndReportWithUpperCaseHex) {
    Write(0x281, 0x01); // a repeat of vreg_vidctrl
    Write(0x381, 0x00); // and another
    Write(0x288, 0x12); // a repeat of the maths assist's 0x208 reaches the video chip
    Write(0x208, 0x34); // the board gives this one to the maths assist
    Write(0x200, 0x55);
    Write(0x2AB, 0x05);
    Write(0x21B, 0xFE);
    EXPECT_EQ(Texts(),
              (Texts_{"vreg_vidctrl Set to 0x01", "vreg_vidctrl Set to 0x00", "Register 0x288 set to 0x12",
                      "Multiplier Value set to: 0x0034", "(Line-Draw) Register 0x2AB set to 0x05",
                      "Unknown Blitter Register 0x21B set to 0xFE"}));
    EXPECT_EQ(Host().Panel(12), "PLANAR");
    EXPECT_EQ(FirstType(), DIAG_VIDEO);
}

TEST_F(VideoTest, VidCtrlSetsPanelsByMode) {
    const struct {
        uint8_t ext, vidctrl;
        const char *active, *mode;
    } cases[] = {
        {0x00, 0x04, "INH", "PLANAR"}, {0x00, 0x80, "ACT", "CHUNKY"}, {0x00, 0x88, "ACT", "EX CHNK"},
        {0x00, 0x01, "ACT", "LEGACY"}, {0x00, 0x81, "ACT", "LEG DP"}, {0x01, 0x09, "ACT", "8x8"},
        {0x01, 0x89, "ACT", "8x8 DP"}, {0x01, 0x01, "ACT", "16x16"},  {0x01, 0x87, "INH", "16x16 DP"},
    };
    for (const auto& c : cases) {
        Write(0x20C, c.ext);
        Write(0x201, c.vidctrl);
        EXPECT_EQ(Host().Panel(9), c.active) << std::hex << int(c.vidctrl);
        EXPECT_EQ(Host().Panel(12), c.mode) << std::hex << int(c.vidctrl);
    }
}

TEST_F(VideoTest, ExtVidCtrlNamesTheTileModeWhileABitmapModeKeepsRunning) {
    Write(0x201, 0x00); // planar, one plane
    Video().vram[0] = 0x80;
    Write(0x20C, 0x01);
    EXPECT_EQ(Host().Panel(12), "16x16");
    EXPECT_EQ(Texts().back(), "vreg_ext_vidctrl set to 0x01");
    Lines(1);
    EXPECT_EQ(Video().lineBuffer[0][0], 1); // still planar: the top bit of vram[0]
    EXPECT_EQ(Video().lineBuffer[0][1], 0);
}

TEST_F(VideoTest, PaletteControlSelectsLiveAndTargetSeparately) {
    Write(0x20F, 0x21); // live palette 1 (bit 5 ignored)
    Write(0x20F, 0x03); // target palette 1
    Write(0x20F, 0x02); // target palette 0 again; live stays 1
    EXPECT_EQ(Texts(), (Texts_{"Switched to live palette 1", "Switched to target palette 1",
                               "Switched to target palette 0"}));
    EXPECT_EQ(FirstType(), DIAG_PALETTE);
    Write(0x20F, 0x03);
    Colour(1, 0x0F00);
    EXPECT_EQ(Video().paletteRam[512 + 3], 0x0F);
    EXPECT_EQ(Video().paletteRam[3], 0x00);
    ToLine(20);
    Lines(1);
    EXPECT_EQ(Video().linePalette[20][1], 0xFFF00000u); // shown from palette 1
}

TEST_F(VideoTest, PartialPaletteWritesRecomputeTheEntry) {
    Write(0x011, 0xFA); // high byte of entry 8: red A, bits 4-7 ignored
    EXPECT_EQ(Video().hostPalette[0][8], 0xFFA00000u);
    Write(0x010, 0x5C); // low byte alone: green 5, blue C with the old red
    EXPECT_EQ(Video().hostPalette[0][8], 0xFFA050C0u);
    Write(0x011, 0x0A);
    EXPECT_EQ(Video().hostPalette[0][8], 0xFFA050C0u);
    EXPECT_EQ(Texts()[0], "Palette entry 0x011 set to 0xFA");
    EXPECT_EQ(FirstType(), DIAG_PALETTE);
}

TEST_F(VideoTest, WindowRegisterArithmeticAndMessages) {
    Write(0x202, 0xFF); // top/bottom: top 120, bottom 280
    Write(0x204, 0x04);
    Write(0x202, 0x3A); // left/right: left 48, right 416
    Write(0x202, 0x00); // left 0, right 256
    Write(0x204, 0x00);
    Write(0x202, 0x00); // top 0, bottom 160
    EXPECT_EQ(Texts(),
              (Texts_{"Display Height from 104 to 264", "Raster IRQ Target Set to 0x000 (disable)",
                      "Display Width from 48 to 416", "Display Width from 0 to 256",
                      "Raster IRQ Target Set to 0x000 (disable)", "Display Height from -16 to 144"}));

    // The window as drawn: lines 120-279 and columns 48-415.
    Write(0x202, 0xFF);
    Write(0x204, 0x04);
    Write(0x202, 0x3A);
    std::fill(std::begin(Video().vram), std::end(Video().vram), 0xFF);
    Lines(121);
    EXPECT_EQ(Video().lineBuffer[119][200], 0);
    EXPECT_EQ(Video().lineBuffer[120][47], 0);
    EXPECT_EQ(Video().lineBuffer[120][48], 1);
    EXPECT_EQ(Video().lineBuffer[120][415], 1);
    EXPECT_EQ(Video().lineBuffer[120][416], 0);
}

TEST_F(VideoTest, ModeParamByMode) {
    Write(0x201, 0x00);
    Write(0x203, 0x01); // two planes
    Write(0x203, 0x87); // ignored
    Write(0x201, 0x80);
    Write(0x203, 0x83); // ignored
    Write(0x203, 0x03);
    Write(0x201, 0x01);
    Write(0x203, 0x8A);
    Write(0x203, 0x75);
    EXPECT_EQ(Texts(),
              (Texts_{"vreg_vidctrl Set to 0x00", "Plane count set to 1", "vreg_vidctrl Set to 0x80",
                      "Chunky pixel width set to 4", "vreg_vidctrl Set to 0x01",
                      "Y Scroll for Playfield 1 set to 0x0A", "Y Scroll for Playfield 0 set to 0x05"}));
    // The ignored write left two planes in force (both at address 0).
    Write(0x201, 0x00);
    Video().vram[0] = 0xFF;
    Lines(1);
    EXPECT_EQ(Video().lineBuffer[0][0], 3);
}

TEST_F(VideoTest, RasterControlAndAcknowledge) {
    Write(0x204, 0x80); // acknowledge while clear: nothing
    EXPECT_TRUE(Texts().empty());
    Write(0x204, 0x03); // enable, target bit 8
    Write(0x205, 0x05); // target 0x105
    EXPECT_EQ(Texts(),
              (Texts_{"Raster IRQ Target Set to 0x100 (enable)", "Raster IRQ Target Set to 0x105 (enable)"}));
    ClearMessages();
    EXPECT_FALSE(Video().Tick(260 * 1024));
    EXPECT_TRUE(Video().Tick(1024)); // line 0x105 begins
    EXPECT_TRUE(Video().IsRasterIrqPending());
    EXPECT_NE(Video().ReadStatus() & 0x08, 0);
    Write(0x204, 0xFF); // acknowledge: the other bits do not change the target or the enable
    EXPECT_EQ(Texts(), (Texts_{"Raster IRQ Cleared"}));
    EXPECT_FALSE(Video().IsRasterIrqPending());
    ToLine(0);
    ClearMessages();
    EXPECT_FALSE(Video().Tick(260 * 1024));
    EXPECT_TRUE(Video().Tick(1024)); // still 0x105, still enabled
    Write(0x204, 0x00);              // disable: the flag stays, the interrupt is off
    EXPECT_FALSE(Video().Tick(0));
    EXPECT_TRUE(Video().IsRasterIrqPending());
}

TEST_F(VideoTest, StatusByte) {
    for (int line = 0; line < TVexaVideo::RasterLines; ++line) {
        for (int cycle : {0, 511, 512, 700, 768, 769, 1023}) {
            Video().Tick(cycle - Video().LineCycle());
            const uint8_t s = Video().ReadStatus();
            ASSERT_EQ(s & 0xA0, 0x20) << line;
            ASSERT_EQ((s & 0x01) != 0, line < 8 || line >= 280) << line;
            ASSERT_EQ((s & 0x02) != 0, cycle >= 512 && cycle <= 768) << cycle; // left 0, right 256
            ASSERT_EQ((s & 0x04) != 0, line <= 160) << line;                   // top 0, bottom 160
            ASSERT_EQ(s & 0x10, line & 0x10);
            ASSERT_EQ((s & 0x40) != 0, (line & 1) != 0);
        }
        Video().Tick(1024 - Video().LineCycle());
    }
    // The same byte at 0x0700 and at port 0x07.
    EXPECT_EQ(Board().ReadMem(0x0700), Video().ReadStatus());
    EXPECT_EQ(Board().InPort(0x07), Video().ReadStatus());
}

TEST_F(VideoTest, PagesAndMemoryWindows) {
    Write(0x206, 0x7F); // video page 0x3F
    Write(0x206, 0x9F); // sprite page 0x1F
    EXPECT_EQ(Texts(), (Texts_{"Video Page set to 0x3F", "Sprite Page set to 0x1F"}));

    Video().WriteVramWindow(0xE123, 0x11); // window: page x 8 KB + address bits 0-12
    EXPECT_EQ(Video().vram[0x7E000 + 0x0123], 0x11);
    EXPECT_EQ(Video().ReadVramWindow(0x2123), 0x11);
    Video().WriteVramDirect(0xFFFF, 0x22); // direct: the 64 KB bank of page bits 3-5
    EXPECT_EQ(Video().vram[0x7FFFF], 0x22);
    Video().WriteSpriteWindow(0x1ABC, 0x33); // sprite page x 4 KB + address bits 0-11
    EXPECT_EQ(Video().spriteRam[0x1FABC], 0x33);

    // Through the memory map: the VRAM window at 0x2000, VRAM write mode, the sprite window.
    Board().OutPort(0x00, 0x40);
    EXPECT_EQ(Board().ReadMem(0x2123), 0x11);
    Board().OutPort(0x00, 0x20);
    Write(0x0005, 0x44);
    EXPECT_EQ(Video().vram[0x70005], 0x44);
    Board().OutPort(0x00, 0x80);
    Write(0x1001, 0x55);
    EXPECT_EQ(Video().spriteRam[0x1F001], 0x55);
}

TEST_F(VideoTest, PlaneRegistersAndMessages) {
    Write(0x241, 0x12);
    Write(0x242, 0xFF); // only bits 16-18 are kept
    Write(0x2F8, 0x34); // a repeat of 0x278: plane 14, low byte
    Write(0x247, 0x10); // byte 3 of an odd plane: the modulo
    Write(0x243, 0x99); // byte 3 of an even plane: counter reset
    EXPECT_EQ(Texts(), (Texts_{"Plane Address 0 set to 0x00001200", "Plane Address 0 set to 0x00071200",
                               "Plane Address 14 set to 0x00000034", "Plane Modulo set to 0x10",
                               "Plane Counters Reset"}));
}

TEST_F(VideoTest, LineCopControlRegisters) {
    Write(0x20D, 0x01);
    EXPECT_EQ(Host().Panel(15), "RUN");
    Write(0x20E, 0xAB);
    Write(0x20D, 0xFE); // bit 0 is the run flag, not a start bit
    EXPECT_EQ(Host().Panel(15), "IDLE");
    EXPECT_EQ(Texts(), (Texts_{"LineCop Start Address set to 0x70000 (running)",
                               "LineCop Start Address set to 0x7AB00 (running)",
                               "LineCop Start Address set to 0x7ABFE (stopped)"}));
}

TEST_F(VideoTest, ResetKeepsHostPaletteAndTheKeptFields) {
    Colour(5, 0x0ABC);
    Write(0x20F, 0x21); // live palette 1
    Write(0x201, 0x20); // plane set 1
    Write(0x247, 0xFF); // modulo 0xFF
    Write(0x207, 0x10); // sprite control bit 4
    Write(0x20D, 0x01);
    Video().Reset();
    EXPECT_EQ(Host().Panel(15), "IDLE");
    EXPECT_EQ(Video().paletteRam[10], 0);
    EXPECT_EQ(Video().hostPalette[0][5], 0xFFA0B0C0u);
    EXPECT_FALSE(Video().SpritesEnabled());
    EXPECT_FALSE(Video().LineCopRunning());
    Lines(20);
    EXPECT_EQ(Video().linePalette[19][5], 0xFFA0B0C0u); // live palette back to 0, old colours in use

    // Plane set 1 and the 0xFF modulo are kept: every line fetches from plane
    // 8's address (plane 0 points at empty VRAM).
    Video().vram[0] = 0xC0;
    Video().vram[32] = 0xFF;
    Write(0x242, 0x01);
    Lines(312 - 20 + 2);
    EXPECT_EQ(Video().lineBuffer[1][0], 1);
    EXPECT_EQ(Video().lineBuffer[1][2], 0);

    // The stored sprite control byte still decodes register 1: 0x80 is a flag, height 240.
    for (int row = 0; row < 256; ++row)
        Video().spriteRam[row * 16] = 7;
    Write(0x401, 0x80);
    Write(0x402, 0);
    Write(0x207, 0x01);
    ToLine(0);
    Lines(256);
    EXPECT_EQ(Video().spriteLineBuffer[239][1], 7);
    EXPECT_EQ(Video().spriteLineBuffer[240][1], 0);
}
