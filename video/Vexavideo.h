// The video chip: video, sprite and palette memory, the registers, the raster
// and line renderer, sprites, the blitter and the line coprocessor.
#pragma once

#include <cstdint>

class TVexaBoard;

class TVexaVideo {
public:
    static constexpr int VramSize = 0x80000;
    static constexpr int SpriteRamSize = 0x20000;
    static constexpr int PaletteRamSize = 0x400;
    static constexpr int RasterLines = 312;
    static constexpr int LineWidth = 512;
    static constexpr int CyclesPerLine = 1024;

    explicit TVexaVideo(TVexaBoard* board);
    void Reset();

    // After every instruction: the common case only adds to lineCycle.
    bool Tick(int cycles) {
        lineCycle += cycles;
        if (lineCycle >= CyclesPerLine) ProcessLines();
        return rasterFlag && rasterEnable;
    }

    void WritePalette(uint16_t address, uint8_t value);
    void WriteRegister(uint16_t address, uint8_t value);
    void WriteSpriteRegister(uint16_t address, uint8_t value);
    uint8_t ReadStatus() const;
    bool IsRasterIrqPending() const { return rasterFlag; }
    uint8_t ReadVramWindow(uint16_t address) const;
    void WriteVramWindow(uint16_t address, uint8_t value);
    void WriteVramDirect(uint16_t address, uint8_t value);
    void WriteSpriteWindow(uint16_t address, uint8_t value);
    // vreg_sprctrl bit 0, read by the display thread.
    bool SpritesEnabled() const;

    uint8_t vram[VramSize];
    uint8_t spriteRam[SpriteRamSize];
    uint8_t paletteRam[PaletteRamSize];
    uint32_t hostPalette[2][256];
    uint32_t linePalette[256][256];
    uint8_t lineBuffer[RasterLines][LineWidth];
    uint16_t spriteLineBuffer[RasterLines][LineWidth];

private:
    void ProcessLines();

    TVexaBoard* board;
    int rasterLine = 0;
    int lineCycle = 0;
    bool rasterFlag = false;
    bool rasterEnable = false;
};

// Composes the visible 400 x 240 area (raster lines 16-255, columns 96-495)
// into out, one ARGB value per pixel, row by row.
void ComposeFrame(const TVexaVideo& video, uint32_t* out);
