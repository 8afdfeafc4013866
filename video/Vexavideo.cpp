#include "video/Vexavideo.h"

#include <cstring>

// Placeholder until the video chip is built: memory and the raster exist, the
// registers do nothing and the picture stays black.
TVexaVideo::TVexaVideo(TVexaBoard* owner) : board(owner) {
    std::memset(hostPalette, 0, sizeof hostPalette);
    std::memset(linePalette, 0, sizeof linePalette);
    Reset();
}

void TVexaVideo::Reset() {
    std::memset(vram, 0, sizeof vram);
    std::memset(spriteRam, 0, sizeof spriteRam);
    std::memset(paletteRam, 0, sizeof paletteRam);
    std::memset(lineBuffer, 0, sizeof lineBuffer);
    std::memset(spriteLineBuffer, 0, sizeof spriteLineBuffer);
    rasterLine = 0;
    lineCycle = 0;
    rasterFlag = rasterEnable = false;
}

void TVexaVideo::ProcessLines() {
    while (lineCycle >= CyclesPerLine) {
        lineCycle -= CyclesPerLine;
        if (++rasterLine == RasterLines) rasterLine = 0;
    }
}

void TVexaVideo::WritePalette(uint16_t, uint8_t) {}
void TVexaVideo::WriteRegister(uint16_t, uint8_t) {}
void TVexaVideo::WriteSpriteRegister(uint16_t, uint8_t) {}
uint8_t TVexaVideo::ReadStatus() const { return 0x20; }
uint8_t TVexaVideo::ReadVramWindow(uint16_t address) const { return vram[address & 0x1FFF]; }
void TVexaVideo::WriteVramWindow(uint16_t address, uint8_t value) { vram[address & 0x1FFF] = value; }
void TVexaVideo::WriteVramDirect(uint16_t address, uint8_t value) { vram[address] = value; }
void TVexaVideo::WriteSpriteWindow(uint16_t address, uint8_t value) { spriteRam[address & 0xFFF] = value; }
bool TVexaVideo::SpritesEnabled() const { return false; }

void ComposeFrame(const TVexaVideo& video, uint32_t* out) {
    for (int y = 16; y < 256; ++y)
        for (int x = 96; x < 496; ++x) *out++ = video.linePalette[y][video.lineBuffer[y][x]];
}
