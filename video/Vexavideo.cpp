#include "video/Vexavideo.h"

#include <algorithm>
#include <cstring>

#include "board/MachineBus.h"
#include "diag/Diag.h"
#include "host/Host.h"
#include "host/StatusPanels.h"

namespace {

uint32_t HostColour(uint8_t low, uint8_t high) {
    const uint32_t blue = (low & 0x0Fu) * 16, green = (low >> 4) * 16u, red = (high & 0x0Fu) * 16;
    return 0xFF000000u | red << 16 | green << 8 | blue;
}

} // namespace

TVexaVideo::TVexaVideo(MachineBus* machine, DiagChannel* channel) : bus(machine), diag(channel) {
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
    // hostPalette and linePalette are kept: the old colours stay in use until
    // palette RAM is written again.

    rasterLine = 0;
    lineCycle = 0;
    rasterFlag = rasterEnable = false;
    rasterTarget = 0;

    windowSelect = false;
    top = 0;
    bottom = 160;
    left = 0;
    right = 256;
    videoMode = ModePlanar;
    tileSubMode = 0;
    inhibit = blankLeft16 = false;
    extendedChunky = false;
    mapBuffer[0] = mapBuffer[1] = false;
    tileBank[0] = tileBank[1] = false;
    tiles8x8 = playfieldSwap = false;
    yScroll[0] = yScroll[1] = 0;
    chunkyPixelWidth = 1;
    // planeSet, dualPlayfield, planeModulo and lineDrawColour are kept.

    std::memset(planeAddress, 0, sizeof planeAddress);
    planeCount = 0;
    bitmapCounter = 0;
    videoPage = spritePage = 0;
    livePalette = targetPalette = 0;

    const bool lineCopWasRunning = lineCopRun;
    lineCopStart = lineCopPC = lineCopRegister = lineCopWaitLine = 0;
    lineCopRun = false;
    // The panel would otherwise go on saying "RUN" for a stopped coprocessor.
    if (lineCopWasRunning) SetPanel(PanelLineCop, "IDLE");

    std::memset(sprites, 0, sizeof sprites);
    spritesEnabled.store(false, std::memory_order_relaxed);
    spriteBankMode = spriteBankSelect = false;
    spriteCountdown = SpriteCountdownStart;

    blitSource = blitDest = 0;
    blitSourceBank = blitDestBank = 0;
    blitSourceModulo = blitDestModulo = 0;
    blitHeight = blitWidth = blitControl = 0;
}

// Only a change reaches the host: a program (or the line coprocessor) that
// writes a register in a tight loop would otherwise hand it millions of
// identical texts a frame, each taking its lock. The texts are this file's
// literals, so comparing addresses is enough.
void TVexaVideo::SetPanel(int panel, const char* text) {
    if (bus == nullptr || panelShown[panel] == text) return;
    panelShown[panel] = text;
    if (Host* host = bus->WindowHandle()) host->SetStatusPanel(panel, text);
}

// ---------------------------------------------------------------------------
// Palette and status

void TVexaVideo::WritePalette(uint16_t address, uint8_t value) {
    spriteCountdown = SpriteCountdownStart;
    const unsigned offset = address & 0x1FFu;
    uint8_t* palette = paletteRam + targetPalette * 512;
    palette[offset] = value;
    const unsigned entry = offset >> 1;
    hostPalette[targetPalette][entry] = HostColour(palette[entry * 2], palette[entry * 2 + 1]);
    DIAG_POST_TOOLKIT(diag, DIAG_PALETTE, "Palette entry 0x%3.3x set to 0x%2.2x", offset, value);
}

uint8_t TVexaVideo::ReadStatus(int aheadCycles) const {
    uint8_t status = 0x20;
    const int cycle = lineCycle + aheadCycles;
    if (rasterLine < 8 || rasterLine >= 280) status |= 0x01;
    if (left + 512 <= cycle && cycle <= right + 512) status |= 0x02;
    if (top <= rasterLine && rasterLine <= bottom) status |= 0x04;
    if (rasterFlag) status |= 0x08;
    status |= rasterLine & 0x10;
    if (rasterLine & 1) status |= 0x40;
    return status;
}

// ---------------------------------------------------------------------------
// Registers

void TVexaVideo::WriteRegister(uint16_t address, uint8_t v) {
    // Only bits 0-6 decode: 0x280-0x3FF repeat 0x200-0x27F.
    const unsigned reg = address & 0x7Fu;
    if (reg >= 0x40) {
        WritePlaneRegister(address, v);
        return;
    }
    if (reg >= 0x20) {
        DIAG_POST_TOOLKIT(diag, DIAG_VIDEO, "(Line-Draw) Register 0x%3.3x set to 0x%2.2x", address, v);
        return;
    }
    if (reg >= 0x10) {
        WriteBlitterRegister(address, v);
        return;
    }
    switch (reg) {
    case 0x00: break;
    case 0x01: WriteVidCtrl(v); break;
    case 0x02: WriteWindow(v); break;
    case 0x03: WriteModeParam(v); break;
    case 0x04: WriteRasterCtrl(v); break;
    case 0x05:
        rasterTarget = static_cast<uint16_t>((rasterTarget & 0x100) | v);
        DIAG_POST_TOOLKIT(diag, DIAG_VIDEO, "Raster IRQ Target Set to 0x%3.3x (%s)", rasterTarget,
                          rasterEnable ? "enable" : "disable");
        break;
    case 0x06: WritePage(v); break;
    case 0x07: WriteSpriteCtrl(v); break;
    case 0x08:
    case 0x09:
    case 0x0A: DIAG_POST_TOOLKIT(diag, DIAG_VIDEO, "Register 0x%3.3x set to 0x%2.2x", address, v); break;
    case 0x0B:
        lineDrawColour = v;
        DIAG_POST_TOOLKIT(diag, DIAG_VIDEO, "Linedraw Colour Index set to 0x%2.2x", v);
        break;
    case 0x0C: WriteExtVidCtrl(v); break;
    case 0x0D:
    case 0x0E: WriteLineCopStart(address, v); break;
    case 0x0F: WritePaletteCtrl(v); break;
    }
}

const char* TVexaVideo::TileModeName() const {
    if (tileSubMode == 0) return dualPlayfield ? "LEG DP" : "LEGACY";
    if (tiles8x8) return dualPlayfield ? "8x8 DP" : "8x8";
    return dualPlayfield ? "16x16 DP" : "16x16";
}

void TVexaVideo::WriteVidCtrl(uint8_t v) {
    videoMode = (v & 0x01) ? ModeTile : (v & 0x80) ? ModeChunky : ModePlanar;
    blankLeft16 = (v & 0x02) != 0;
    inhibit = (v & 0x04) != 0;
    SetPanel(PanelVideoActive, inhibit ? "INH" : "ACT");
    switch (videoMode) {
    case ModePlanar:
        planeSet = (v >> 5) & 1;
        SetPanel(PanelVideoMode, "PLANAR");
        break;
    case ModeChunky:
        planeSet = (v >> 5) & 1;
        extendedChunky = (v & 0x08) != 0; // bit 6 is accepted without effect
        SetPanel(PanelVideoMode, extendedChunky ? "EX CHNK" : "CHUNKY");
        break;
    default:
        dualPlayfield = (v & 0x80) != 0;
        mapBuffer[0] = (v & 0x20) != 0;
        mapBuffer[1] = (v & 0x40) != 0;
        if (tileSubMode == 0) {
            tileBank[0] = (v & 0x08) != 0;
            tileBank[1] = (v & 0x10) != 0;
        } else {
            tileBank[0] = tileBank[1] = (v & 0x10) != 0;
            tiles8x8 = (v & 0x08) != 0;
        }
        SetPanel(PanelVideoMode, TileModeName());
        break;
    }
    DIAG_POST_TOOLKIT(diag, DIAG_VIDEO, "vreg_vidctrl Set to 0x%2.2x", v);
}

void TVexaVideo::WriteWindow(uint8_t v) {
    if (windowSelect) {
        left = v & 0xF0;
        right = 256 + (v & 0x0F) * 16;
        DIAG_POST_TOOLKIT(diag, DIAG_VIDEO, "Display Width from %d to %d", left, right);
    } else {
        top = (v & 0xF0) / 2;
        bottom = 160 + (v & 0x0F) * 8;
        DIAG_POST_TOOLKIT(diag, DIAG_VIDEO, "Display Height from %d to %d", top - 16, bottom - 16);
    }
}

void TVexaVideo::WriteModeParam(uint8_t v) {
    if (videoMode == ModeTile) {
        const int pf = v >> 7;
        yScroll[pf] = v & 0x0F;
        DIAG_POST_TOOLKIT(diag, DIAG_VIDEO, "Y Scroll for Playfield %d set to 0x%2.2x", pf, v & 0x0F);
        return;
    }
    if (v & 0x80) return;
    if (videoMode == ModePlanar) {
        planeCount = v & 7;
        DIAG_POST_TOOLKIT(diag, DIAG_VIDEO, "Plane count set to %d", v & 7);
    } else {
        chunkyPixelWidth = static_cast<uint8_t>((v & 7) + 1);
        DIAG_POST_TOOLKIT(diag, DIAG_VIDEO, "Chunky pixel width set to %d", chunkyPixelWidth);
    }
}

void TVexaVideo::WriteRasterCtrl(uint8_t v) {
    if (v & 0x80) {
        if (rasterFlag) ClearRasterIrq();
        return;
    }
    windowSelect = (v & 0x04) != 0;
    rasterEnable = (v & 0x02) != 0;
    rasterTarget = static_cast<uint16_t>((rasterTarget & 0xFF) | (v & 1) << 8);
    DIAG_POST_TOOLKIT(diag, DIAG_VIDEO, "Raster IRQ Target Set to 0x%3.3x (%s)", rasterTarget,
                      rasterEnable ? "enable" : "disable");
}

void TVexaVideo::ClearRasterIrq() {
    DIAG_POST_TOOLKIT(diag, DIAG_VIDEO, "Raster IRQ Cleared");
    rasterFlag = false;
}

void TVexaVideo::WritePage(uint8_t v) {
    if (v & 0x80) {
        spritePage = v & 0x1Fu;
        DIAG_POST_TOOLKIT(diag, DIAG_VIDEO, "Sprite Page set to 0x%2.2x", spritePage);
    } else {
        videoPage = v & 0x3Fu;
        DIAG_POST_TOOLKIT(diag, DIAG_VIDEO, "Video Page set to 0x%2.2x", videoPage);
    }
}

void TVexaVideo::WriteSpriteCtrl(uint8_t v) {
    spriteControl = v;
    spritesEnabled.store((v & 0x01) != 0, std::memory_order_relaxed);
    spriteBankSelect = (v & 0x04) != 0;
    spriteBankMode = (v & 0x08) != 0;
    spriteCountdown = SpriteCountdownStart;
    DIAG_POST_TOOLKIT(diag, DIAG_VIDEO, "vreg_sprctrl set to 0x%2.2x", v);
}

void TVexaVideo::WriteExtVidCtrl(uint8_t v) {
    tileSubMode = v & 1;
    playfieldSwap = (v & 0x02) != 0;
    // The name is shown whatever the current mode; a bitmap mode keeps running.
    SetPanel(PanelVideoMode, TileModeName());
    DIAG_POST_TOOLKIT(diag, DIAG_VIDEO, "vreg_ext_vidctrl set to 0x%2.2x", v);
}

void TVexaVideo::WritePaletteCtrl(uint8_t v) {
    if (v & 0x02) {
        targetPalette = v & 1;
        DIAG_POST_TOOLKIT(diag, DIAG_PALETTE, "Switched to target palette %d", targetPalette);
    } else {
        livePalette = v & 1;
        DIAG_POST_TOOLKIT(diag, DIAG_PALETTE, "Switched to live palette %d", livePalette);
    }
}

void TVexaVideo::WritePlaneRegister(uint16_t address, uint8_t v) {
    const unsigned n = (address >> 2) & 0x0Fu;
    uint32_t& plane = planeAddress[n];
    switch (address & 3) {
    case 0: plane = (plane & ~0xFFu) | v; break;
    case 1: plane = (plane & ~0xFF00u) | static_cast<uint32_t>(v) << 8; break;
    case 2: plane = (plane & 0xFFFFu) | static_cast<uint32_t>(v & 7) << 16; break;
    default:
        if (n & 1) {
            planeModulo = v;
            DIAG_POST_TOOLKIT(diag, DIAG_VIDEO, "Plane Modulo set to 0x%2.2x", v);
        } else {
            bitmapCounter = 0;
            DIAG_POST_TOOLKIT(diag, DIAG_VIDEO, "Plane Counters Reset");
        }
        return;
    }
    DIAG_POST_TOOLKIT(diag, DIAG_VIDEO, "Plane Address %d set to 0x%8.8x", static_cast<int>(n), plane);
}

// ---------------------------------------------------------------------------
// Line coprocessor control

void TVexaVideo::WriteLineCopStart(uint16_t address, uint8_t v) {
    if ((address & 0x0F) == 0x0D) {
        lineCopStart = static_cast<uint16_t>((lineCopStart & 0xFF00) | (v & 0xFE));
        lineCopRun = (v & 1) != 0;
        SetPanel(PanelLineCop, lineCopRun ? "RUN" : "IDLE");
        lineCopPC = lineCopStart;
    } else {
        lineCopStart = static_cast<uint16_t>((lineCopStart & 0x00FF) | v << 8);
    }
    DIAG_POST_TOOLKIT(diag, DIAG_VIDEO, "LineCop Start Address set to 0x%5.5x (%s)",
                      LineCopProgramBase + lineCopStart, lineCopRun ? "running" : "stopped");
}

// ---------------------------------------------------------------------------
// Save state: registers first, then the memories and the rendered lines (so
// that a loaded state shows its picture at once). The scalars are checked
// before any memory is touched.

namespace {
constexpr size_t VideoArrayBytes(const TVexaVideo& v) {
    return sizeof v.vram + sizeof v.spriteRam + sizeof v.paletteRam + sizeof v.hostPalette + sizeof v.linePalette +
           sizeof v.lineBuffer + sizeof v.spriteLineBuffer;
}
} // namespace

void TVexaVideo::SaveState(StateWriter& w) const {
    w.I32(rasterLine);
    w.I32(lineCycle);
    w.Bool(rasterFlag);
    w.Bool(rasterEnable);
    w.U16(rasterTarget);
    w.Bool(windowSelect);
    w.I32(top);
    w.I32(bottom);
    w.I32(left);
    w.I32(right);
    w.U8(videoMode);
    w.U8(tileSubMode);
    w.Bool(inhibit);
    w.Bool(blankLeft16);
    w.U8(planeSet);
    w.Bool(extendedChunky);
    w.Bool(dualPlayfield);
    w.Bool(mapBuffer[0]);
    w.Bool(mapBuffer[1]);
    w.Bool(tileBank[0]);
    w.Bool(tileBank[1]);
    w.Bool(tiles8x8);
    w.Bool(playfieldSwap);
    w.Array(yScroll, 2);
    w.U8(chunkyPixelWidth);
    w.Array(planeAddress, 16);
    w.U8(planeCount);
    w.I32(bitmapCounter);
    w.U8(planeModulo);
    w.U32(videoPage);
    w.U32(spritePage);
    w.U8(livePalette);
    w.U8(targetPalette);
    w.U8(lineDrawColour);
    w.U16(lineCopStart);
    w.U16(lineCopPC);
    w.U16(lineCopRegister);
    w.Bool(lineCopRun);
    w.U16(lineCopWaitLine);
    for (const Sprite& s : sprites) {
        w.U16(s.x);
        w.U16(s.y);
        w.U16(s.definition);
        w.U8(s.height);
        w.Bool(s.flag1);
        w.Bool(s.flag2);
        w.Bool(s.flag3);
    }
    w.U8(spriteControl);
    w.Bool(spritesEnabled.load(std::memory_order_relaxed));
    w.Bool(spriteBankMode);
    w.Bool(spriteBankSelect);
    w.I32(spriteCountdown);
    w.U16(blitSource);
    w.U16(blitDest);
    w.U8(blitSourceBank);
    w.U8(blitDestBank);
    w.U16(blitSourceModulo);
    w.U16(blitDestModulo);
    w.U8(blitHeight);
    w.U8(blitWidth);
    w.U8(blitControl);

    w.Array(vram, VramSize);
    w.Array(spriteRam, SpriteRamSize);
    w.Array(paletteRam, PaletteRamSize);
    w.Array(&hostPalette[0][0], 2 * 256);
    w.Array(&linePalette[0][0], RenderedLines * 256);
    w.Array(&lineBuffer[0][0], RasterLines * LineWidth);
    w.Array(&spriteLineBuffer[0][0], RasterLines * LineWidth);
}

bool TVexaVideo::LoadState(StateReader& r) {
    const int line = r.Ranged(0, RasterLines - 1);
    const int cycle = r.Ranged(0, 1 << 30);
    const bool flag = r.Bool(), enable = r.Bool();
    const uint16_t target = r.U16();
    const bool window = r.Bool();
    const int t = r.Ranged(0, 120), b = r.Ranged(160, 280), l = r.Ranged(0, 240), rt = r.Ranged(256, 496);
    const uint8_t mode = r.U8(), subMode = r.U8();
    const bool inh = r.Bool(), blank = r.Bool();
    const uint8_t set = r.U8();
    const bool exChunky = r.Bool(), dual = r.Bool(), map0 = r.Bool(), map1 = r.Bool(), bank0 = r.Bool(),
               bank1 = r.Bool(), small = r.Bool(), swap = r.Bool();
    uint8_t scroll[2];
    r.Array(scroll, 2);
    const uint8_t pixelWidth = r.U8();
    uint32_t planes[16];
    r.Array(planes, 16);
    const uint8_t count = r.U8();
    const int32_t counter = r.I32();
    const uint8_t modulo = r.U8();
    const uint32_t vPage = r.U32(), sPage = r.U32();
    const uint8_t live = r.U8(), targetPal = r.U8(), drawColour = r.U8();
    const uint16_t copStart = r.U16(), copPC = r.U16(), copRegister = r.U16();
    const bool copRun = r.Bool();
    const uint16_t copWait = r.U16();
    Sprite sprite[SpriteCount];
    for (Sprite& s : sprite) {
        s.x = r.U16();
        s.y = r.U16();
        s.definition = r.U16();
        s.height = r.U8();
        s.flag1 = r.Bool();
        s.flag2 = r.Bool();
        s.flag3 = r.Bool();
        if (s.definition > 0x1FF) r.Fail();
    }
    const uint8_t sprCtrl = r.U8();
    const bool sprOn = r.Bool(), sprBankMode = r.Bool(), sprBankSel = r.Bool();
    const int countdown = r.Ranged(0, SpriteCountdownStart);
    const uint16_t bSrc = r.U16(), bDst = r.U16();
    const uint8_t bSrcBank = r.U8(), bDstBank = r.U8();
    const uint16_t bSrcMod = r.U16(), bDstMod = r.U16();
    const uint8_t bH = r.U8(), bW = r.U8(), bCtrl = r.U8();
    // Values that index the memories or select a code path must be ones the
    // registers can produce.
    if (l % 16 || rt % 16 || target > 0x1FF || mode > ModeTile || subMode > 1 || set > 1 || pixelWidth < 1 ||
        pixelWidth > 8 || count > 7 || bSrcBank > 7 || bDstBank > 7 || bSrcMod > 0x3FF || bDstMod > 0x3FF || vPage > 0x3F || sPage > 0x1F || live > 1 || targetPal > 1 ||
        copRegister > 0x7FF)
        r.Fail();
    if (!r.Ok() || r.Remaining() != VideoArrayBytes(*this)) return false;

    rasterLine = line;
    lineCycle = cycle;
    rasterFlag = flag;
    rasterEnable = enable;
    rasterTarget = target;
    windowSelect = window;
    top = t;
    bottom = b;
    left = l;
    right = rt;
    videoMode = mode;
    tileSubMode = subMode;
    inhibit = inh;
    blankLeft16 = blank;
    planeSet = set;
    extendedChunky = exChunky;
    dualPlayfield = dual;
    mapBuffer[0] = map0;
    mapBuffer[1] = map1;
    tileBank[0] = bank0;
    tileBank[1] = bank1;
    tiles8x8 = small;
    playfieldSwap = swap;
    yScroll[0] = scroll[0];
    yScroll[1] = scroll[1];
    chunkyPixelWidth = pixelWidth;
    std::memcpy(planeAddress, planes, sizeof planes);
    planeCount = count;
    bitmapCounter = counter;
    planeModulo = modulo;
    videoPage = vPage;
    spritePage = sPage;
    livePalette = live;
    targetPalette = targetPal;
    lineDrawColour = drawColour;
    lineCopStart = copStart;
    lineCopPC = copPC;
    lineCopRegister = copRegister;
    lineCopRun = copRun;
    lineCopWaitLine = copWait;
    std::copy(sprite, sprite + SpriteCount, sprites);
    spriteControl = sprCtrl;
    spritesEnabled.store(sprOn, std::memory_order_relaxed);
    spriteBankMode = sprBankMode;
    spriteBankSelect = sprBankSel;
    spriteCountdown = countdown;
    blitSource = bSrc;
    blitDest = bDst;
    blitSourceBank = bSrcBank;
    blitDestBank = bDstBank;
    blitSourceModulo = bSrcMod;
    blitDestModulo = bDstMod;
    blitHeight = bH;
    blitWidth = bW;
    blitControl = bCtrl;

    r.Array(vram, VramSize);
    r.Array(spriteRam, SpriteRamSize);
    r.Array(paletteRam, PaletteRamSize);
    r.Array(&hostPalette[0][0], 2 * 256);
    r.Array(&linePalette[0][0], RenderedLines * 256);
    r.Array(&lineBuffer[0][0], RasterLines * LineWidth);
    r.Array(&spriteLineBuffer[0][0], RasterLines * LineWidth);
    RefreshPanels();
    return true;
}

void TVexaVideo::RefreshPanels() {
    // Shown again whatever the panels held before: a loaded state replaces
    // everything they described.
    std::fill(std::begin(panelShown), std::end(panelShown), nullptr);
    SetPanel(PanelVideoActive, inhibit ? "INH" : "ACT");
    if (videoMode == ModePlanar) SetPanel(PanelVideoMode, "PLANAR");
    else if (videoMode == ModeChunky) SetPanel(PanelVideoMode, extendedChunky ? "EX CHNK" : "CHUNKY");
    else SetPanel(PanelVideoMode, TileModeName());
    SetPanel(PanelLineCop, lineCopRun ? "RUN" : "IDLE");
}
