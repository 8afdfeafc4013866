// The raster and the playfield renderer: planar, chunky and tile-map lines.
// Lines are built a byte (eight planar pixels, or one tile row) at a time; the
// window always starts and ends on a 16-pixel boundary, so no pixel-level
// edge handling is needed.
#include <algorithm>
#include <array>
#include <cstring>

#include "video/FrameExchange.h"
#include "video/Vexavideo.h"

namespace {

// A plane byte as eight pixels of one byte each (0 or 1), leftmost pixel (the
// most significant bit) in the lowest byte, ready to be stored little-endian.
constexpr std::array<uint64_t, 256> MakePlaneExpansion() {
    std::array<uint64_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b)
        for (unsigned i = 0; i < 8; ++i)
            if ((b >> (7 - i)) & 1) table[b] |= uint64_t{1} << (8 * i);
    return table;
}
constexpr std::array<uint64_t, 256> PlaneExpansion = MakePlaneExpansion();

constexpr int VisibleFirstColumn = 96;
constexpr int VisibleColumns = 400;
constexpr int FirstPaletteLine = 16;

inline uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void Store64(uint8_t* p, uint64_t v) {
    std::memcpy(p, &v, sizeof v);
}

// Each byte of `over` that is non-zero replaces the byte of `under`.
inline uint64_t MergeNonZeroBytes(uint64_t under, uint64_t over) {
    constexpr uint64_t Low7 = 0x7F7F7F7F7F7F7F7Full, High = 0x8080808080808080ull;
    const uint64_t nonZero = (((over & Low7) + Low7) | over) & High; // top bit of each non-zero byte
    const uint64_t mask = (nonZero >> 7) * 0xFF;
    return (under & ~mask) | (over & mask);
}

// Eight pixels per byte column: plane p of `Planes` gives bit p of each
// pixel's colour index. The plane count is a template argument so that the
// planes of one column are gathered in a register.
template <int Planes> void PlanarBytes(const uint8_t* vram, const uint32_t* starts, uint8_t* out, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        uint64_t pixels = 0;
        for (int p = 0; p < Planes; ++p)
            pixels |= PlaneExpansion[vram[(starts[p] + static_cast<uint32_t>(i)) & TVexaVideo::VramMask]]
                      << p;
        Store64(out + 8 * i, pixels);
    }
}

} // namespace

void TVexaVideo::ProcessLines() {
    while (lineCycle >= CyclesPerLine) {
        lineCycle -= CyclesPerLine;
        if (lineCopRun) RunLineCop();
        if (rasterLine < RenderedLines) {
            if (rasterLine >= FirstPaletteLine)
                std::memcpy(linePalette[rasterLine], hostPalette[livePalette], sizeof linePalette[0]);
            RenderSpriteLine();
            if (videoMode == ModeTile)
                RenderTileLine();
            else
                RenderBitmapLine();
            uint8_t* row = lineBuffer[rasterLine];
            std::memset(row + right, 0, 16);
            if (blankLeft16) std::memset(row + left, 0, 16);
        }
        ++rasterLine;
        if (rasterLine == rasterTarget) rasterFlag = true;
        if (rasterLine == RasterLines) {
            // A frame is complete: lines 0-255 hold it until line 0 is drawn again.
            if (frames != nullptr && frames->Wanted()) [[unlikely]] frames->Publish(*this);
            framesCompleted.store(framesCompleted.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
            rasterLine = 0;
            bitmapCounter = 0;
            if (lineCopRun) {
                lineCopPC = lineCopStart;
                lineCopWaitLine = 0;
            }
        }
    }
}

void TVexaVideo::RenderBitmapLine() {
    uint8_t* row = lineBuffer[rasterLine];
    if (planeModulo == 0xFF) bitmapCounter = 0;
    if (rasterLine < top) {
        std::memset(row + VisibleFirstColumn, 0, VisibleColumns);
        return;
    }
    if (rasterLine >= bottom)
        std::memset(row + VisibleFirstColumn, 0, VisibleColumns);
    else if (videoMode == ModePlanar)
        RenderPlanarWindow(row);
    else
        RenderChunkyLine();
    if (planeModulo == 0xFF)
        bitmapCounter = 0;
    else
        bitmapCounter += planeModulo;
}

// One planar line: each plane contributes one byte per eight window pixels,
// plane `base` giving bit 0 of the colour index. The counter advances even
// while inhibit blanks the window.
void TVexaVideo::RenderPlanarWindow(uint8_t* row) {
    std::memset(row, 0, static_cast<size_t>(left));
    std::memset(row + right, 0, static_cast<size_t>(LineWidth - right));
    const int bytes = (right - left) >> 3;
    uint8_t* out = row + left;
    if (inhibit) {
        std::memset(out, 0, static_cast<size_t>(right - left));
    } else {
        uint32_t starts[8];
        for (int p = 0; p <= planeCount; ++p)
            starts[p] = planeAddress[planeSet * 8 + p] + static_cast<uint32_t>(bitmapCounter);
        switch (planeCount) {
        case 0: PlanarBytes<1>(vram, starts, out, bytes); break;
        case 1: PlanarBytes<2>(vram, starts, out, bytes); break;
        case 2: PlanarBytes<3>(vram, starts, out, bytes); break;
        case 3: PlanarBytes<4>(vram, starts, out, bytes); break;
        case 4: PlanarBytes<5>(vram, starts, out, bytes); break;
        case 5: PlanarBytes<6>(vram, starts, out, bytes); break;
        case 6: PlanarBytes<7>(vram, starts, out, bytes); break;
        default: PlanarBytes<8>(vram, starts, out, bytes); break;
        }
    }
    bitmapCounter += bytes;
}

// Chunky pixels land one row down and one column right of the column they
// were fetched for: window pixel x of line L goes to column x + 1 of row L + 1,
// and column 511 spills to column 0 of row L + 2.
void TVexaVideo::RenderChunkyLine() {
    uint8_t* next = lineBuffer[rasterLine + 1];
    std::memset(next + 1, 0, static_cast<size_t>(left));
    uint8_t* out = next + left + 1;
    const int width = right - left;
    if (inhibit) {
        std::memset(out, 0, static_cast<size_t>(width));
    } else {
        const uint32_t start = (planeAddress[planeSet * 8] + static_cast<uint32_t>(bitmapCounter)) & VramMask;
        const int before = std::min(width, static_cast<int>(VramSize - start));
        std::memcpy(out, vram + start, static_cast<size_t>(before));
        std::memcpy(out + before, vram, static_cast<size_t>(width - before));
        bitmapCounter += width;
    }
    std::memset(next + right + 1, 0, static_cast<size_t>(LineWidth - 1 - right));
    lineBuffer[rasterLine + 2][0] = 0;
}

void TVexaVideo::RenderTileLine() {
    uint8_t* row = lineBuffer[rasterLine];
    if (rasterLine < top || rasterLine >= bottom) {
        std::memset(row + VisibleFirstColumn, 0, VisibleColumns);
        return;
    }
    std::memset(row, 0, static_cast<size_t>(left));
    std::memset(row + right, 0, static_cast<size_t>(LineWidth - right));
    const int swap = playfieldSwap ? 1 : 0;
    RenderTilePlayfield(swap, row + left, /*front=*/false);
    if (dualPlayfield) RenderTilePlayfield(1 ^ swap, row + left, /*front=*/true);
}

// One playfield across the window, a tile row at a time. The back playfield
// stores every pixel; the front one only its non-zero pixels, or every pixel
// while inhibit makes its colour 0 opaque.
void TVexaVideo::RenderTilePlayfield(int pf, uint8_t* out, bool front) {
    const int row = rasterLine - top;
    const bool extended = tileSubMode != 0;
    const int size = (extended && tiles8x8) ? 8 : 16;
    const int shift = size == 8 ? 3 : 4;
    const int tileRow = row & (size - 1);
    const int columns = (right - left) >> shift;
    const bool opaque = !front || inhibit;

    uint32_t map, bank;
    if (!extended) {
        map = static_cast<uint32_t>(pf * 1024 + (mapBuffer[pf] ? 0x200 : 0) + (row >> 4) * 32);
        bank = tileBank[pf] ? 0x10000 : 0;
    } else if (size == 16) {
        map = static_cast<uint32_t>(0x70000 + pf * 1024 + (mapBuffer[pf] ? 0x200 : 0) + (row >> 4) * 32);
        bank = tileBank[pf] ? 0x40000 : 0;
    } else {
        map = static_cast<uint32_t>(0x70000 + pf * 8192 + (mapBuffer[pf] ? 0x1000 : 0) + (row >> 3) * 64);
        bank = tileBank[pf] ? 0x40000 : 0;
    }

    for (int c = 0; c < columns; ++c, out += size) {
        uint32_t tile;
        int ty = tileRow;
        bool flipX = false;
        if (!extended) {
            tile = vram[(map + c) & VramMask];
        } else {
            const uint32_t m = map + static_cast<uint32_t>(c);
            const unsigned entry = vram[m & VramMask] | vram[(m + 0x800) & VramMask] << 8;
            if (entry & 0x8000) ty = size - 1 - ty;
            flipX = (entry & 0x4000) != 0;
            tile = entry & (size == 16 ? 0x3FFFu : 0x1FFFu);
        }
        // A tile row is aligned to its own size, so it never straddles the
        // end of VRAM once its start has wrapped.
        const uint8_t* src =
            vram + ((bank + tile * static_cast<uint32_t>(size * size) + static_cast<uint32_t>(ty * size)) &
                    VramMask);
        // Eight pixels at a time; a horizontal flip reverses the bytes of each
        // word and the order of the words.
        uint64_t words[2] = {Load64(src), size == 16 ? Load64(src + 8) : 0};
        if (flipX) {
            const uint64_t first = __builtin_bswap64(words[0]);
            if (size == 16) {
                words[0] = __builtin_bswap64(words[1]);
                words[1] = first;
            } else {
                words[0] = first;
            }
        }
        for (int w = 0; w < size / 8; ++w) {
            if (opaque)
                Store64(out + 8 * w, words[w]);
            else
                Store64(out + 8 * w, MergeNonZeroBytes(Load64(out + 8 * w), words[w]));
        }
    }
}
