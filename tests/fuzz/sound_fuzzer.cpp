// The sound channels: any sequence of register writes and reads, channel
// enables, loop-flag acknowledges and stream top-ups, with samples from main
// RAM, played into no device, into the mixing device the window uses (drained
// a little at a time, as its callback would) or into a device whose queue
// levels are whatever the input says, however absurd.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "FuzzSupport.h"
#include "audio/MixingAudioOutput.h"
#include "audio/Vexaaudio.h"
#include "board/MachineBus.h"

namespace {

class Bus final : public MachineBus {
public:
    const uint8_t* MainRamBytes() const override { return ram; }
    void WriteVideoSpace(uint16_t, uint8_t) override {}
    Host* WindowHandle() const override { return host; }
    int ClockHz() const override { return 36000000; }
    uint8_t ram[0x80000] = {};
    Host* host = nullptr;
};

// The device the window uses, drained by the fuzzer instead of a callback.
class Mixer final : public MixingAudioOutput {
public:
    bool HasStream(int channel) const override { return channel >= 0 && channel < ChannelCount; }
};

// The process's one mixer, lent to each input's sound system: a fresh one
// per input spent most of the run mapping and faulting in its queues.
class LentMixer final : public AudioOutput {
public:
    explicit LentMixer(Mixer& m) : mixer_(m) {}
    bool HasStream(int channel) const override { return mixer_.HasStream(channel); }
    uint32_t QueuedBytes(int channel) override { return mixer_.QueuedBytes(channel); }
    void Push(int channel, const int16_t* samples, size_t bytes) override { mixer_.Push(channel, samples, bytes); }

private:
    Mixer& mixer_;
};

// Plays out whatever the last input left queued, so that no input sees another's.
void Drain(Mixer& mixer, int16_t* stereo, size_t frames) {
    for (int n = 0; n < AudioOutput::ChannelCount; ++n)
        while (mixer.QueuedBytes(n) != 0) mixer.Mix(stereo, frames);
}

// Reports the queue levels the input chose and checks every block pushed.
class OddDevice final : public AudioOutput {
public:
    explicit OddDevice(FuzzInput& in) : in_(in) {}
    bool HasStream(int channel) const override { return channel != 3; }
    uint32_t QueuedBytes(int) override {
        switch (in_.Byte() & 3) {
        case 0: return 0;
        case 1: return in_.Word();
        case 2: return NoStream;
        default: return in_.Long();
        }
    }
    void Push(int channel, const int16_t* samples, size_t bytes) override {
        FUZZ_CHECK(channel >= 0 && channel < 3);
        FUZZ_CHECK(bytes % 2 == 0 && bytes <= 2 * TVexaAudioSystem::BufferSamples);
        for (size_t i = 0; i < bytes / 2; ++i) FUZZ_CHECK(samples[i] >= -16384 && samples[i] <= 16256);
    }

private:
    FuzzInput& in_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    static Bus* bus = new Bus;
    // Samples: the input's bytes repeated over the sample area (by doubling
    // copies, which costs little).
    const std::vector<uint8_t> samples = in.Bytes(1 + in.Byte() * 4);
    uint8_t* area = bus->ram + 0x20000;
    constexpr size_t AreaSize = 0x40000;
    size_t filled = std::min(samples.size(), AreaSize);
    std::copy_n(samples.begin(), filled, area);
    if (filled == 0) area[filled++] = 0;
    while (filled < AreaSize) {
        const size_t n = std::min(filled, AreaSize - filled);
        std::memcpy(area + filled, area, n);
        filled += n;
    }

    static int16_t stereo[2 * 4096];
    static Mixer* sharedMixer = new Mixer;
    FuzzHost host;
    Mixer* mixer = nullptr;
    switch (in.Byte() % 3) {
    case 0: break; // no device
    case 1:
        mixer = sharedMixer;
        Drain(*mixer, stereo, 4096);
        host.audio = std::make_unique<LentMixer>(*mixer);
        break;
    case 2: host.audio = std::make_unique<OddDevice>(in); break;
    }
    bus->host = &host;
    EverySink sink;
    DiagChannel channel;
    if (in.Bool()) channel.Connect(&sink); // every other input formats every message
    // Built afresh for every input, in the same place each time, so that its
    // staging buffers need no new pages.
    alignas(TVexaAudioSystem) static unsigned char place[sizeof(TVexaAudioSystem)];
    struct Destroy {
        void operator()(TVexaAudioSystem* a) const { a->~TVexaAudioSystem(); }
    };
    const std::unique_ptr<TVexaAudioSystem, Destroy> audio(new (place) TVexaAudioSystem(bus, &channel));
    int topUps = 6;
    while (!in.Empty()) {
        const uint8_t op = in.Byte();
        switch (op & 7) {
        case 0:
        case 1: audio->WriteRegister(op >> 2, in.Word()); break;
        case 2: audio->ReadRegister(op >> 2); break;
        case 3: audio->WriteChannelEnable(op >> 3); break;
        case 4: audio->ClearLoopFlag((op >> 3) & 3); break;
        case 5: // stream top-ups, as the board makes them every 10,000 T-states (a bounded number per input)
            for (int n = op >> 3; n >= 0 && topUps > 0; --n, --topUps) audio->UpdateStreams(10000);
            break;
        case 6:
            if (mixer) mixer->Mix(stereo, 1 + in.Word() % 4096);
            break;
        case 7: audio->ReadStatus(); break;
        }
        for (int n = 0; n < TVexaAudioSystem::ChannelCount; ++n) {
            const TVexaAudioSystem::Channel& c = audio->ChannelState(n);
            FUZZ_CHECK(c.volume <= 64);
            FUZZ_CHECK(c.frequency >= 244 && c.frequency <= 31250);
            // The source stays inside the block it plays (the samples live in main RAM).
            FUZZ_CHECK(c.start >= 0x20000 && c.start + c.length <= 0x80000);
        }
    }
    return 0;
}
