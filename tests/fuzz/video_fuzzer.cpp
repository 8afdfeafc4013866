// The video chip: any sequence of register, palette, sprite-register, VRAM
// window and sprite window writes, line coprocessor program words in main RAM
// and stretches of time (Ticks), so that the raster, every mode's renderer,
// the sprites, the blitter and the line coprocessor all run, and finished
// frames are composed.
#include <algorithm>
#include <memory>

#include "FuzzSupport.h"
#include "board/MachineBus.h"
#include "devices/Vexamathsassist.h"
#include "video/FrameExchange.h"
#include "video/Vexavideo.h"

namespace {

// Main RAM and the video-space route of a board, for the chip alone.
class Bus final : public MachineBus {
public:
    const uint8_t* MainRamBytes() const override { return ram; }
    void WriteVideoSpace(uint16_t a, uint8_t v) override {
        if (a < 0x0200) video->WritePalette(a, v);
        else if (a < 0x0400) {
            // The line coprocessor may write its own start register too: a run
            // that keeps restarting itself is bounded (corpus/video/
            // linecop-restarts-itself).
            if (a == 0x0208) maths.WriteMultiplierLow(v);
            else if (a == 0x0209) maths.WriteMultiplierHigh(v);
            else if (a == 0x020A) maths.SelectIndex(v);
            else video->WriteRegister(a, v);
        } else if (a < 0x0600) video->WriteSpriteRegister(a, v);
        else maths.WriteTableByte(a & 0x1FF, v);
    }
    Host* WindowHandle() const override { return host; }
    int ClockHz() const override { return 36000000; }

    uint8_t ram[0x80000] = {};
    TVexaVideo* video = nullptr;
    TVexaMathsAssist maths;
    Host* host = nullptr;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    static Bus* bus = new Bus;
    static FrameExchange* frames = new FrameExchange;
    // Words the input does not write wait for line 0x1FF, which never comes:
    // a run goes only as far as the input's own program. Zero words would
    // each write a register, 32,768 of them on every line, and that was
    // where nine tenths of the fuzzer's time went.
    for (uint32_t at = TVexaVideo::LineCopProgramBase; at < sizeof bus->ram; at += 2) {
        bus->ram[at] = 0xFF;
        bus->ram[at + 1] = 0xC1;
    }
    static FuzzHost host;
    static EverySink sink;
    sink.StartInput();
    static DiagChannel channel;
    // One chip for the process, reset for every input; the sprite control
    // byte survives a reset, so it is cleared by hand.
    static TVexaVideo* video = new TVexaVideo(bus, &channel);
    bus->video = video;
    bus->host = &host;
    video->Reset();
    video->WriteRegister(0x207, 0);
    video->SetFrameExchange(frames);
    bus->maths.Reset();
    // Every other input has every message formatted; formatting costs as
    // much as the rest, and the other half runs what a silent monitor runs.
    // Likewise every other input asks for its frame to be composed.
    const uint8_t setup = in.Byte();
    channel.Connect(setup & 1 ? &sink : nullptr);
    if (setup & 2) frames->Request();

    // Time is bounded per input (a frame, and one more at the end) so that
    // each run stays short; what happens within a frame is what matters.
    int timeLeft = CyclesPerFrame;
    while (!in.Empty()) {
        const uint8_t op = in.Byte();
        switch (op % 12) {
        case 0: video->WriteRegister(static_cast<uint16_t>(0x200 + (in.Word() & 0x1FF)), in.Byte()); break;
        case 1: video->WritePalette(in.Word() & 0x1FF, in.Byte()); break;
        case 2: video->WriteSpriteRegister(static_cast<uint16_t>(0x400 + (in.Word() & 0x1FF)), in.Byte()); break;
        case 3: video->WriteVramWindow(in.Word(), in.Byte()); break;
        case 4: video->WriteSpriteWindow(in.Word(), in.Byte()); break;
        case 5: { // from a few cycles to most of a frame at once
            const int cycles = std::min(timeLeft, 1 + in.Word() * 4);
            timeLeft -= cycles;
            if (cycles > 0) video->Tick(cycles);
            break;
        }
        case 6: { // line coprocessor words into its program area
            uint32_t at = TVexaVideo::LineCopProgramBase + (in.Word() & 0xFFFE);
            for (int n = op >> 4; n >= 0 && !in.Empty(); --n, at += 2) {
                if (at + 1 >= sizeof bus->ram) break;
                const uint16_t word = in.Word();
                bus->ram[at] = static_cast<uint8_t>(word);
                bus->ram[at + 1] = static_cast<uint8_t>(word >> 8);
            }
            break;
        }
        case 7: video->WriteVramDirect(in.Word(), in.Byte()); break;
        case 8: video->ReadStatus(); break;
        case 9: { // a run of register writes: one register family at a time
            const uint16_t base = static_cast<uint16_t>(0x200 + (in.Byte() & 0x70));
            for (int r = 0; r < 16 && !in.Empty(); ++r) video->WriteRegister(static_cast<uint16_t>(base + r), in.Byte());
            break;
        }
        case 10: bus->WriteVideoSpace(in.Word() & 0x7FF, in.Byte()); break;
        case 11: { // VRAM bytes in bulk, through the window
            const uint16_t at = in.Word();
            for (int n = op >> 4; n >= 0 && !in.Empty(); --n) video->WriteVramWindow(static_cast<uint16_t>(at + n), in.Byte());
            break;
        }
        }
        FUZZ_CHECK(video->RasterLine() >= 0 && video->RasterLine() < TVexaVideo::RasterLines);
        FUZZ_CHECK(video->LineCycle() >= 0 && video->LineCycle() < TVexaVideo::CyclesPerLine);
    }
    // On to the end of the frame, so that what was set up is drawn and
    // composed (the line coprocessor and the renderers cost the most here).
    video->Tick(video->CyclesToFrameEnd());
    frames->TakeLatest();
    return 0;
}
