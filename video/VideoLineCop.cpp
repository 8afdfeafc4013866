// The line coprocessor: a program of 16-bit words in the top 64 KB of main
// RAM that writes the video address space and waits for raster lines.
#include "board/MachineBus.h"
#include "video/Vexavideo.h"

// Runs at the start of a line while the run flag is set, before the line's
// palette copy, sprite row and playfield, so its writes affect that line. A
// run ends at a wait, a next-line or restart bit, or after the instruction
// fetched at 0xFFFE, so it always ends.
void TVexaVideo::RunLineCop() {
    if (lineCopWaitLine != rasterLine || bus == nullptr) return;
    const uint8_t* program = bus->MainRamBytes() + LineCopProgramBase;
    for (;;) {
        const unsigned word = program[lineCopPC] | program[static_cast<uint16_t>(lineCopPC + 1)] << 8;
        lineCopPC = static_cast<uint16_t>(lineCopPC + 2);
        bool last = lineCopPC == 0;
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
        }
        if (last) return;
    }
}
