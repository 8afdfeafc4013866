#include "video/Vexavideo.h"

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

uint8_t TVexaVideo::ReadStatus() const {
    uint8_t status = 0x20;
    if (rasterLine < 8 || rasterLine >= 280) status |= 0x01;
    if (left + 512 <= lineCycle && lineCycle <= right + 512) status |= 0x02;
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
