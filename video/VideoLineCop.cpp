// The line coprocessor: a program of 16-bit words in the top 64 KB of main
// RAM that writes the video address space and waits for raster lines.
#include "board/MachineBus.h"
#include "video/Vexavideo.h"

namespace {

// A run executes at most this many instructions: as many as the 64 KB area
// holds, which is where a run from offset 0 that never waits ends anyway (at
// the wrap). A program that keeps sending itself back to its start (by
// writing vreg_linecop_lo) would otherwise never end, and hang the machine.
constexpr int MaxRunInstructions = 32768;
// Blits started by one run may copy this many bytes (four of the largest).
// Each of its writes to the blit width copies up to 64 KB at once, so without
// a limit a single line could cost minutes of host time and the machine
// would stop answering. The write that passes the limit still blits; the run
// then ends there, as at the wrap.
constexpr uint64_t MaxRunBlitBytes = 4 * 0x10000;

} // namespace

// Runs at the start of a line while the run flag is set, before the line's
// palette copy, sprite row and playfield, so its writes affect that line. A
// run ends at a wait, a next-line or restart bit, after the instruction
// fetched at 0xFFFE, or at the limits above, so it always ends soon.
void TVexaVideo::RunLineCop() {
    if (lineCopWaitLine != rasterLine || bus == nullptr) return;
    const uint8_t* program = bus->MainRamBytes() + LineCopProgramBase;
    const uint64_t blitBytesBefore = blitBytesCopied;
    for (int executed = 1;; ++executed) {
        const unsigned word = program[lineCopPC] | program[static_cast<uint16_t>(lineCopPC + 1)] << 8;
        lineCopPC = static_cast<uint16_t>(lineCopPC + 2);
        bool last = lineCopPC == 0 || executed == MaxRunInstructions;
        if ((word & 0xC000) == 0xC000) {
            lineCopWaitLine = word & 0x1FF;
            last = true;
        } else if (word & 0x8000) {
            lineCopRegister = word & 0x7FF;
        } else {
            bus->WriteVideoSpace(lineCopRegister, static_cast<uint8_t>(word));
            if (word & 0x4000) lineCopRegister = (lineCopRegister + 1) & 0x7FF;
            if (word & 0x2000) {
                lineCopWaitLine = (lineCopWaitLine + 1) & 0x1FF;
                last = true;
            }
            if (word & 0x1000) {
                lineCopPC = lineCopStart;
                last = true;
            }
            if (blitBytesCopied - blitBytesBefore >= MaxRunBlitBytes) last = true;
        }
        if (last) return;
    }
}
