// The blitter: a rectangle copy inside VRAM, run whole inside the register
// write that sets its width. Line-draw registers are only reported.
#include "diag/Diag.h"
#include "video/Vexavideo.h"

namespace {

// A 10-bit two's-complement modulo as a signed value (-512..511).
int32_t SignedModulo(uint16_t bits) {
    return (bits & 0x200) ? static_cast<int32_t>(bits) - 0x400 : bits;
}

} // namespace

void TVexaVideo::WriteBlitterRegister(uint16_t address, uint8_t v) {
    switch (address & 0x0F) {
    case 0x0: blitSource = static_cast<uint16_t>((blitSource & 0xFF00) | v); break;
    case 0x1: blitSource = static_cast<uint16_t>((blitSource & 0x00FF) | v << 8); break;
    case 0x2: blitDest = static_cast<uint16_t>((blitDest & 0xFF00) | v); break;
    case 0x3: blitDest = static_cast<uint16_t>((blitDest & 0x00FF) | v << 8); break;
    case 0x4: blitSourceModulo = static_cast<uint16_t>((blitSourceModulo & 0x300) | v); break;
    case 0x5: blitDestModulo = static_cast<uint16_t>((blitDestModulo & 0x300) | v); break;
    case 0x6: blitHeight = v; break;
    case 0x7:
        blitWidth = v;
        Blit();
        break;
    case 0x8:
        blitControl = v;
        blitSourceModulo = static_cast<uint16_t>((blitSourceModulo & 0xFF) | (v & 0x03) << 8);
        blitDestModulo = static_cast<uint16_t>((blitDestModulo & 0xFF) | (v & 0x0C) << 6);
        break;
    case 0x9: blitSourceBank = v & 7; break;
    case 0xA: blitDestBank = v & 7; break;
    default:
        DIAG_POST_TOOLKIT(diag, DIAG_VIDEO, "Unknown Blitter Register 0x%3.3x set to 0x%2.2x", address, v);
        break;
    }
}

void TVexaVideo::Blit() {
    // Bank bit 0 and the control bit both give address bit 16: they are ORed.
    const uint32_t source =
        ((static_cast<uint32_t>(blitSourceBank) << 16) | (blitControl & 0x10u) << 12) + blitSource;
    const uint32_t dest =
        ((static_cast<uint32_t>(blitDestBank) << 16) | (blitControl & 0x20u) << 11) + blitDest;
    const int32_t sourceModulo = SignedModulo(blitSourceModulo), destModulo = SignedModulo(blitDestModulo);
    if (diag != nullptr && diag->Enabled(DIAG_VIDEO)) {
        diag->SendToolkit(DIAG_VIDEO, "Begin Blit from 0x%6.6x to 0x%6.6x", source, dest);
        diag->SendToolkit(DIAG_VIDEO, "Blit W: %d, H: %d, Mod (s/d): 0x%3.3x, 0x%3.3x", blitWidth, blitHeight,
                          static_cast<uint32_t>(sourceModulo), static_cast<uint32_t>(destModulo));
    }

    // Addresses run in 32-bit arithmetic and wrap within VRAM on every access.
    const bool ascending = (blitControl & 0x40) != 0, transparent = (blitControl & 0x80) != 0;
    const uint32_t step = ascending ? 1u : ~0u;
    const uint32_t sourceRowStep = static_cast<uint32_t>(ascending ? sourceModulo : -sourceModulo);
    const uint32_t destRowStep = static_cast<uint32_t>(ascending ? destModulo : -destModulo);
    uint32_t s = source, d = dest;
    blitBytesCopied += (blitWidth + 1u) * (blitHeight + 1u);
    for (int row = 0; row <= blitHeight; ++row) {
        for (int i = 0; i <= blitWidth; ++i) {
            const uint8_t byte = vram[s & VramMask];
            if (!transparent || byte != 0) vram[d & VramMask] = byte;
            s += step;
            d += step;
        }
        s += sourceRowStep;
        d += destRowStep;
    }
}
