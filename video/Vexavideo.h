// The video chip: video, sprite and palette memory, the registers, the raster
// and line renderer, sprites, the blitter and the line coprocessor.
//
// Bounds the register interface leaves open, chosen so that no access ever
// leaves its array:
// - every VRAM fetch or store (plane address plus counter, tile numbers with the
//   upper tile bank, blitter addresses moved by the moduli or the direction)
//   wraps within the 512 KB of VRAM, as a 19-bit address counter would;
// - sprite image bytes past the end of sprite RAM wrap within its 128 KB;
// - sprite cells past column 511 of a row are dropped, never spilled into the
//   next row.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/Timing.h"
#include "board/StateIO.h"

class DiagChannel;
class FrameExchange;
class MachineBus;

class TVexaVideo {
public:
    static constexpr int VramSize = 0x80000;
    static constexpr int SpriteRamSize = 0x20000;
    static constexpr int PaletteRamSize = 0x400;
    static constexpr int RasterLines = ::RasterLines;
    static constexpr int RenderedLines = 256;
    static constexpr int LineWidth = 512;
    static constexpr int CyclesPerLine = ::CyclesPerLine;
    static constexpr int SpriteCount = 128;
    static constexpr int SpriteCountdownStart = 312;
    static constexpr uint32_t VramMask = VramSize - 1;
    static constexpr uint32_t SpriteRamMask = SpriteRamSize - 1;
    // Main RAM offset of the line coprocessor's 64 KB program area.
    static constexpr uint32_t LineCopProgramBase = 0x70000;

    // The bus gives the line coprocessor its program and its route to the
    // registers, and the status panels their host; without one (a chip on its
    // own, in tests) the coprocessor does nothing.
    explicit TVexaVideo(MachineBus* bus, DiagChannel* diag = nullptr);
    // Where finished frames go when someone has asked for one (none by default).
    void SetFrameExchange(FrameExchange* exchange) { frames = exchange; }
    void Reset();

    // Save states: this unit's own section, written and read while the
    // processor is idle. LoadState leaves the unit as it was when it fails.
    static constexpr uint32_t StateTagId = StateTag("VIDE");
    static constexpr uint16_t StateVersion = 1;
    void SaveState(StateWriter& w) const;
    bool LoadState(StateReader& r);
    // Tells the host the status panels (state, mode, line coprocessor) anew.
    void RefreshPanels();

    // After every instruction: the common case only adds to lineCycle.
    bool Tick(int cycles) {
        lineCycle += cycles;
        if (lineCycle >= CyclesPerLine) ProcessLines();
        return rasterFlag && rasterEnable;
    }

    void WritePalette(uint16_t address, uint8_t value);
    void WriteRegister(uint16_t address, uint8_t value);
    void WriteSpriteRegister(uint16_t address, uint8_t value);
    // `aheadCycles` (less than what is left of the line) counts as already
    // passed: the board's clock may not have handed the chip its latest cycles.
    uint8_t ReadStatus(int aheadCycles = 0) const;
    bool IsRasterIrqPending() const { return rasterFlag; }

    uint8_t ReadVramWindow(uint16_t address) const { return vram[(videoPage << 13) | (address & 0x1FFFu)]; }
    void WriteVramWindow(uint16_t address, uint8_t value) {
        vram[(videoPage << 13) | (address & 0x1FFFu)] = value;
    }
    // A 64 KB bank chosen by video page bits 3-5, the whole 16-bit address used.
    void WriteVramDirect(uint16_t address, uint8_t value) {
        vram[((videoPage & 0x38u) << 13) | address] = value;
    }
    void WriteSpriteWindow(uint16_t address, uint8_t value) {
        spriteRam[(spritePage << 12) | (address & 0xFFFu)] = value;
        spriteCountdown = SpriteCountdownStart;
    }

    // vreg_sprctrl bit 0, read by the display thread.
    bool SpritesEnabled() const { return spritesEnabled.load(std::memory_order_relaxed); }

    int RasterLine() const { return rasterLine; }
    // Frames the raster has finished since the chip was built; any thread may
    // read it (the frame-rate readout, frame advance).
    uint64_t FramesCompleted() const { return framesCompleted.load(std::memory_order_relaxed); }
    // T-states until the raster starts its next frame.
    // Bytes copied by every blit so far (a count of work, not state).
    uint64_t BlitBytesCopied() const { return blitBytesCopied; }
    int CyclesToFrameEnd() const { return (RasterLines - rasterLine) * CyclesPerLine - lineCycle; }
    // T-states until the raster starts its next line: the soonest Tick can
    // change anything the processor sees.
    int CyclesToNextLine() const { return CyclesPerLine - lineCycle; }
    int LineCycle() const { return lineCycle; }
    bool LineCopRunning() const { return lineCopRun; }

    uint8_t vram[VramSize];
    uint8_t spriteRam[SpriteRamSize];
    uint8_t paletteRam[PaletteRamSize];
    uint32_t hostPalette[2][256];
    uint32_t linePalette[RenderedLines][256];
    uint8_t lineBuffer[RasterLines][LineWidth];
    uint16_t spriteLineBuffer[RasterLines][LineWidth];

private:
    enum VideoMode : uint8_t { ModePlanar = 0, ModeChunky = 1, ModeTile = 2 };

    struct Sprite {
        uint16_t x, y, definition;
        uint8_t height;
        bool flag1, flag2, flag3;
    };

    // Registers (Vexavideo.cpp).
    void WriteVidCtrl(uint8_t v);
    void WriteWindow(uint8_t v);
    void WriteModeParam(uint8_t v);
    void WriteRasterCtrl(uint8_t v);
    void WritePage(uint8_t v);
    void WriteSpriteCtrl(uint8_t v);
    void WriteExtVidCtrl(uint8_t v);
    void WritePaletteCtrl(uint8_t v);
    void WritePlaneRegister(uint16_t address, uint8_t v);
    void ClearRasterIrq();
    void SetPanel(int panel, const char* text);
    const char* TileModeName() const;

    // Raster and playfield (VideoRender.cpp).
    void ProcessLines();
    void RenderBitmapLine();
    void RenderPlanarWindow(uint8_t* row);
    void RenderChunkyLine();
    void RenderTileLine();
    void RenderTilePlayfield(int pf, uint8_t* out, bool front);

    // Sprites (VideoSprites.cpp).
    void RenderSpriteLine();

    // Blitter (VideoBlitter.cpp).
    void WriteBlitterRegister(uint16_t address, uint8_t v);
    void Blit();

    // Line coprocessor (VideoLineCop.cpp).
    void WriteLineCopStart(uint16_t address, uint8_t v);
    void RunLineCop();

    MachineBus* bus;
    DiagChannel* diag;
    FrameExchange* frames = nullptr;
    const char* panelShown[16] = {}; // the text each status panel was last given

    // Raster.
    int rasterLine = 0;
    int lineCycle = 0;
    bool rasterFlag = false;
    bool rasterEnable = false;
    uint16_t rasterTarget = 0;

    // Display window and mode.
    bool windowSelect = false;
    int top = 0, bottom = 160, left = 0, right = 256;
    uint8_t videoMode = ModePlanar;
    uint8_t tileSubMode = 0; // 0 legacy, 1 extended
    bool inhibit = false;
    bool blankLeft16 = false;
    uint8_t planeSet = 0;
    bool extendedChunky = false;
    bool dualPlayfield = false;
    bool mapBuffer[2] = {false, false};
    bool tileBank[2] = {false, false};
    bool tiles8x8 = false;
    bool playfieldSwap = false;
    uint8_t yScroll[2] = {0, 0};
    uint8_t chunkyPixelWidth = 1;

    // Bitmap fetch.
    uint32_t planeAddress[16] = {};
    uint8_t planeCount = 0;
    int bitmapCounter = 0;
    uint8_t planeModulo = 0;

    // Memory windows and palettes.
    uint32_t videoPage = 0;
    uint32_t spritePage = 0;
    uint8_t livePalette = 0;
    uint8_t targetPalette = 0;

    uint8_t lineDrawColour = 0;

    // Line coprocessor.
    uint16_t lineCopStart = 0;
    uint16_t lineCopPC = 0;
    uint16_t lineCopRegister = 0;
    bool lineCopRun = false;
    uint16_t lineCopWaitLine = 0;

    // Sprites. The stored control byte survives Reset (register 1 keeps being
    // decoded with its bits 4 and 5); the enable, bank mode and bank select do not.
    Sprite sprites[SpriteCount] = {};
    uint8_t spriteControl = 0;
    std::atomic<bool> spritesEnabled{false};
    bool spriteBankMode = false;
    bool spriteBankSelect = false;
    int spriteCountdown = SpriteCountdownStart;
    std::atomic<uint64_t> framesCompleted{0};

    // Blitter.
    uint16_t blitSource = 0, blitDest = 0;
    uint8_t blitSourceBank = 0, blitDestBank = 0;
    uint16_t blitSourceModulo = 0, blitDestModulo = 0; // 10 bits, two's complement
    uint8_t blitHeight = 0, blitWidth = 0, blitControl = 0;
    // Bytes copied by every blit so far; the line coprocessor limits what one
    // of its runs may start by it.
    uint64_t blitBytesCopied = 0;
};

// Composes the visible 400 x 240 area (raster lines 16-255, columns 96-495)
// into out, one ARGB value per pixel, row by row: a non-zero sprite cell
// covers the playfield when sprites are enabled, and each line is coloured
// through its own palette copy.
void ComposeFrame(const TVexaVideo& video, uint32_t* out);
