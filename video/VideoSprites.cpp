// Sprites: the 128-entry sprite table and the per-line sprite buffer.
#include <algorithm>

#include "video/Vexavideo.h"

namespace {

constexpr int SpriteWidth = 16;
constexpr int ClearedFirstCell = 80;
constexpr int ClearedEndCell = 496;

} // namespace

void TVexaVideo::WriteSpriteRegister(uint16_t address, uint8_t value) {
    const unsigned n = (address >> 2) & 0x7Fu;
    if (spriteBankMode && (n == 63 || n == 127)) return;
    spriteCountdown = SpriteCountdownStart;
    Sprite& s = sprites[n];
    switch (address & 3) {
    case 0: s.x = static_cast<uint16_t>((s.x & 0x100) | value); break;
    case 2: s.y = static_cast<uint16_t>((s.y & 0x100) | value); break;
    case 3: s.definition = static_cast<uint16_t>((s.definition & 0x100) | value); break;
    default: {
        s.x = static_cast<uint16_t>((s.x & 0xFF) | (value & 0x01) << 8);
        s.y = static_cast<uint16_t>((s.y & 0xFF) | (value & 0x02) << 7);
        s.definition = static_cast<uint16_t>((s.definition & 0xFF) | (value & 0x04) << 6);
        s.flag1 = (value & 0x08) != 0;
        // Control bits 4 and 5 turn height bits 7 and 6 into flags; a height
        // of 0 stands for the largest one the remaining bits cannot express.
        const bool bit7IsFlag = (spriteControl & 0x10) != 0, bit6IsFlag = (spriteControl & 0x20) != 0;
        uint8_t heightMask = 0xF0;
        if (bit7IsFlag) heightMask &= 0x7F;
        if (bit6IsFlag) heightMask &= 0xBF;
        const uint8_t height = value & heightMask;
        s.height = height != 0 ? height : (bit6IsFlag ? 64 : 240);
        s.flag2 = bit7IsFlag && (value & 0x80) != 0;
        s.flag3 = bit6IsFlag && (value & 0x40) != 0;
        break;
    }
    }
}

// Rebuilds the sprite row of the current line while the redraw countdown runs;
// once it has run out (nothing that sprites show has changed for 312 rendered
// lines) the rows keep their contents and the line costs nothing here.
void TVexaVideo::RenderSpriteLine() {
    if (spriteCountdown == 0 || !spritesEnabled.load(std::memory_order_relaxed)) return;
    --spriteCountdown;
    const int line = rasterLine;
    uint16_t* row = spriteLineBuffer[line];
    std::fill(row + ClearedFirstCell, row + ClearedEndCell, uint16_t{0});

    int first = 0, last = SpriteCount - 1;
    if (spriteBankMode) {
        // Sprite 63 belongs to neither bank. Sprite 127 keeps whatever it held
        // before bank mode, as writes to it are dropped.
        first = spriteBankSelect ? 64 : 0;
        last = spriteBankSelect ? 127 : 62;
    }
    for (int n = first; n <= last; ++n) {
        const Sprite& s = sprites[n];
        if (line < s.y || line >= s.y + s.height) continue;
        // An image row starts on a 16-byte boundary, so once its start has
        // wrapped within sprite RAM the whole row lies inside it.
        const uint8_t* image =
            spriteRam +
            ((static_cast<uint32_t>(s.definition) * 256 + static_cast<uint32_t>(line - s.y) * 16) &
             SpriteRamMask);
        uint16_t* out = row + s.x + 1;
        // Cells past column 511 are dropped. Cell by cell without branches:
        // wider words would reload cells that the previous sprite has just
        // stored at another alignment, which stalls.
        const int cells = std::min(SpriteWidth, LineWidth - 1 - s.x);
        for (int j = 0; j < cells; ++j) {
            const uint16_t pixel = image[j];
            out[j] = static_cast<uint16_t>(pixel | (out[j] & -static_cast<uint16_t>(pixel == 0)));
        }
    }
}
