// The processor's view of memory: boot ROM overlay, register area, paging,
// the VRAM and sprite windows and the read/write asymmetries between them.
#include <gtest/gtest.h>

#include "board/Ports.h"
#include "support/BoardFixture.h"
#include "video/Vexavideo.h"

namespace {

std::vector<uint8_t> RomWithMarker() {
    std::vector<uint8_t> rom(512);
    for (size_t i = 0; i < rom.size(); ++i) rom[i] = static_cast<uint8_t>(0xA0 ^ i);
    return rom;
}

class MemoryMap : public ::testing::Test {
protected:
    BoardFixture f{RomWithMarker()};
    TVexaBoard& b = f.board();
    TVexaVideo& video = *b.Video();

    void Out(uint8_t port, uint8_t v) { b.OutPort(port, v); }
};

TEST_F(MemoryMap, BootRomIsReadAtTheBottomAndNeverWritten) {
    EXPECT_EQ(b.ReadMem(0x0000), 0xA0);
    EXPECT_EQ(b.ReadMem(0x01FF), static_cast<uint8_t>(0xA0 ^ 0xFF));
    b.WriteMem(0x0000, 0x55); // goes to the palette
    EXPECT_EQ(b.ReadMem(0x0000), 0xA0);
    EXPECT_EQ(b.MainRam()[0x0000], 0);
    // Past the ROM the low page is plain RAM.
    b.WriteMem(0x0800, 0x66);
    EXPECT_EQ(b.MainRam()[0x0800], 0x66);
    EXPECT_EQ(b.ReadMem(0x0800), 0x66);
}

TEST_F(MemoryMap, AltWritePageBitsFourAndSixUncoverTheRomArea) {
    b.MainRam()[0x0010] = 0x77;
    Out(PortAltWritePage, 0x10); // reads from RAM, writes still to the palette
    EXPECT_EQ(b.ReadMem(0x0010), 0x77);
    b.WriteMem(0x0010, 0x12);
    EXPECT_EQ(b.MainRam()[0x0010], 0x77);

    Out(PortAltWritePage, 0x40); // reads and writes RAM
    b.WriteMem(0x0010, 0x12);
    EXPECT_EQ(b.MainRam()[0x0010], 0x12);
    EXPECT_EQ(b.ReadMem(0x0010), 0x12);

    Out(PortAltWritePage, 0x50); // bit 4 wins for writes: the palette again
    b.WriteMem(0x0010, 0x34);
    EXPECT_EQ(b.MainRam()[0x0010], 0x12);
}

TEST_F(MemoryMap, RegisterAreaReadsRamExceptTheDeviceAddresses) {
    b.MainRam()[0x0200] = 0x42;
    b.MainRam()[0x0700] = 0x43;
    EXPECT_EQ(b.ReadMem(0x0200), 0x42);
    EXPECT_EQ(b.ReadMem(0x0700), video.ReadStatus());
    b.WriteMem(0x0200, 0x99); // a video register, not RAM
    EXPECT_EQ(b.MainRam()[0x0200], 0x42);

    Out(PortAltWritePage, 0x80); // the whole register area is RAM
    b.WriteMem(0x0200, 0x99);
    EXPECT_EQ(b.MainRam()[0x0200], 0x99);
    EXPECT_EQ(b.ReadMem(0x0700), 0x43);
    b.WriteMem(0x0400, 0x11);
    EXPECT_EQ(b.MainRam()[0x0400], 0x11);
}

TEST_F(MemoryMap, LowPageSelectsWhichRamAppearsBelow0x8000) {
    b.MainRam()[0x78000 + 0x1234] = 0x5A;
    b.MainRam()[0x7FFFF] = 0xC3;
    Out(PortLowPage, 0x1F); // only the low four bits count
    EXPECT_EQ(b.sys_low_page(), 0x0F);
    EXPECT_EQ(b.ReadMem(0x1234), 0x5A);
    EXPECT_EQ(b.ReadMem(0x7FFF), 0xC3);
    b.WriteMem(0x2000, 0x01);
    EXPECT_EQ(b.MainRam()[0x7A000], 0x01);
    EXPECT_EQ(b.ReadMem(0x0000), 0xA0); // the ROM still overlays
}

TEST_F(MemoryMap, UpperPageReadsAndWritesFollowTheirOwnRules) {
    for (int page = 0; page < 16; ++page) b.MainRam()[page * 0x8000 + 0x10] = static_cast<uint8_t>(page + 1);
    struct Case {
        uint8_t memSelect, altPage;
        int readPage, writePage;
    };
    const Case cases[] = {
        {0x00, 0x00, 1, 1},   {0x01, 0x00, 1, 1},  {0x05, 0x00, 5, 5},  {0x0F, 0x00, 15, 15},
        {0x00, 0x20, 0, 1},   {0x01, 0x20, 1, 1},  // page 0 only for reads
        {0x13, 0x04, 3, 4},   {0x13, 0x00, 3, 1},  {0x13, 0x20, 3, 0},  // alternate write page
        {0x12, 0x2F, 2, 15},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "sys_mem_select " << int(c.memSelect) << " alt " << int(c.altPage));
        Out(PortMemSelect, c.memSelect);
        Out(PortAltWritePage, c.altPage);
        EXPECT_EQ(b.ReadMem(0x8010), c.readPage + 1);
        b.WriteMem(0x8011, 0xEE);
        EXPECT_EQ(b.MainRam()[c.writePage * 0x8000 + 0x11], 0xEE);
        b.MainRam()[c.writePage * 0x8000 + 0x11] = 0;
    }
}

TEST_F(MemoryMap, VramWindowPositionFromPort0x21) {
    const std::pair<uint8_t, uint16_t> cases[] = {{0, 0x2000}, {1, 0x2000}, {2, 0x4000}, {4, 0x8000},
                                                  {7, 0xE000}, {0xF9, 0x2000}};
    for (auto [v, base] : cases) {
        Out(PortVramLocation, v);
        EXPECT_EQ(b.VramWindowBase(), base) << int(v);
    }
}

TEST_F(MemoryMap, VramWindowIsReadOnlyAboveTheLowHalf) {
    video.vram[0x0000] = 0x3C;
    b.MainRam()[0x20000] = 0x11;
    Out(PortVramLocation, 4);    // window at 0x8000
    Out(PortMemSelect, 0x44); // window on, upper page 4
    EXPECT_EQ(b.ReadMem(0x8000), 0x3C);
    b.WriteMem(0x8000, 0x77);
    EXPECT_EQ(b.MainRam()[0x20000], 0x77);
    EXPECT_EQ(video.vram[0x0000], 0x3C);
    EXPECT_EQ(b.ReadMem(0xA000), 0x00); // outside the 8 KB window: page 4 RAM
}

TEST_F(MemoryMap, VramWindowBelow0x8000IsReadAndWritten) {
    Out(PortVramLocation, 2); // 0x4000
    Out(PortMemSelect, 0x40);
    b.WriteMem(0x4005, 0x9A);
    EXPECT_EQ(video.vram[0x0005], 0x9A);
    EXPECT_EQ(b.ReadMem(0x4005), 0x9A);
    EXPECT_EQ(b.MainRam()[0x4005], 0x00);
    Out(PortMemSelect, 0x00);
    EXPECT_EQ(b.ReadMem(0x4005), 0x00);
}

TEST_F(MemoryMap, VramWriteModeSendsWritesToVideoMemory) {
    b.MainRam()[0x3000] = 0x21;
    Out(PortMemSelect, 0x20);
    b.WriteMem(0x0005, 0x01);
    b.WriteMem(0x0300, 0x02);
    b.WriteMem(0x1000, 0x03);
    b.WriteMem(0x3000, 0x04);
    b.WriteMem(0xF000, 0x05);
    EXPECT_EQ(video.vram[0x0005], 0x01);
    EXPECT_EQ(video.vram[0x0300], 0x02);
    EXPECT_EQ(video.vram[0x1000], 0x03);
    EXPECT_EQ(video.vram[0x3000], 0x04);
    EXPECT_EQ(video.vram[0xF000], 0x05);
    EXPECT_EQ(b.ReadMem(0x3000), 0x21); // reads are unaffected

    // With the window on too, the bottom 4 KB take their usual routes.
    Out(PortMemSelect, 0x60);
    b.WriteMem(0x0800, 0x06);
    EXPECT_EQ(b.MainRam()[0x0800], 0x06);
    EXPECT_EQ(video.vram[0x0800], 0x00);
    b.WriteMem(0x1800, 0x07);
    EXPECT_EQ(video.vram[0x1800], 0x07);
}

TEST_F(MemoryMap, SpriteWindowIsWriteOnly) {
    b.MainRam()[0x1004] = 0x44;
    Out(PortMemSelect, 0x80);
    b.WriteMem(0x1004, 0x55);
    EXPECT_EQ(video.spriteRam[0x0004], 0x55);
    EXPECT_EQ(b.ReadMem(0x1004), 0x44);
    EXPECT_EQ(b.MainRam()[0x1004], 0x44);
    b.WriteMem(0x2004, 0x66); // outside 0x1000-0x1FFF: RAM
    EXPECT_EQ(b.MainRam()[0x2004], 0x66);

    Out(PortMemSelect, 0xA0); // VRAM write mode takes precedence
    b.WriteMem(0x1004, 0x77);
    EXPECT_EQ(video.vram[0x1004], 0x77);
    EXPECT_EQ(video.spriteRam[0x0004], 0x55);
}

TEST_F(MemoryMap, ColdBootRestoresTheResetMap) {
    Out(PortMemSelect, 0x45);
    Out(PortAltWritePage, 0xFF);
    Out(PortLowPage, 3);
    Out(PortVramLocation, 5);
    b.MainRam()[0x1000] = 0x12;
    f.machine().ColdBoot();
    EXPECT_EQ(b.sys_mem_select(), 0);
    EXPECT_EQ(b.sys_alt_write_page(), 0);
    EXPECT_EQ(b.sys_low_page(), 0);
    EXPECT_EQ(b.VramWindowBase(), 0x2000);
    EXPECT_EQ(b.MainRam()[0x1000], 0); // RAM cleared
    EXPECT_EQ(b.ReadMem(0x0000), 0xA0);
    EXPECT_EQ(b.GetPC(), 0u);
    EXPECT_EQ(b.Regs.SP, 0xF000u);
}

TEST_F(MemoryMap, VideoSpaceRouteIgnoresPaging) {
    Out(PortAltWritePage, 0xC0); // would send CPU writes to RAM
    Out(PortMemSelect, 0x20); // and VRAM write mode
    b.WriteVideoSpace(0x0010, 0x12);
    EXPECT_EQ(b.MainRam()[0x0010], 0);
    EXPECT_EQ(video.vram[0x0010], 0);
    b.WriteVideoSpace(0x0700, 0x12); // the maths table, not RAM
    EXPECT_EQ(b.MainRam()[0x0700], 0);
}

} // namespace
