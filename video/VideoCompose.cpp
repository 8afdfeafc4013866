// Frame composition for the display thread and the headless screenshots.
#include "video/Vexavideo.h"

namespace {
constexpr int FirstLine = 16, EndLine = 256;
constexpr int FirstColumn = 96, EndColumn = 496;
} // namespace

void ComposeFrame(const TVexaVideo& video, uint32_t* out) {
    const bool sprites = video.SpritesEnabled();
    for (int y = FirstLine; y < EndLine; ++y) {
        const uint32_t* palette = video.linePalette[y];
        const uint8_t* playfield = video.lineBuffer[y];
        if (!sprites) {
            for (int x = FirstColumn; x < EndColumn; ++x)
                *out++ = palette[playfield[x]];
            continue;
        }
        const uint16_t* cells = video.spriteLineBuffer[y];
        for (int x = FirstColumn; x < EndColumn; ++x) {
            const uint16_t cell = cells[x];
            *out++ = palette[cell != 0 ? (cell & 0xFF) : playfield[x]];
        }
    }
}
