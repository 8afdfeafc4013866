#include "audio/Vexaaudio.h"

#include <algorithm>

#include "audio/AudioOutput.h"
#include "board/MachineBus.h"
#include "board/Timing.h"
#include "diag/Diag.h"
#include "host/Host.h"

namespace {
constexpr uint32_t MainRamMask = 0x7FFFF; // 512 KB of main RAM
}

TVexaAudioSystem::TVexaAudioSystem(MachineBus* machine, DiagChannel* channel) : bus(machine), diag(channel) {
    if (bus && bus->WindowHandle()) output = bus->WindowHandle()->OpenAudioOutput();
    if (!output) output = std::make_unique<NullAudioOutput>();
}

TVexaAudioSystem::~TVexaAudioSystem() = default;

void TVexaAudioSystem::UpdateStreams(int cycles) {
    // A channel with a stream is paced by how much its stream still holds. One
    // without (no device, or the device went away) plays on in emulated time,
    // 48,000 samples per emulated second, so that its loop flags and the audio
    // interrupt keep coming and software waiting for them carries on.
    const uint64_t clockHz = static_cast<uint64_t>(bus ? bus->ClockHz() : EmulatedClockHz);
    silentClock += static_cast<uint64_t>(std::max(cycles, 0)) * AudioOutput::SampleRate;
    const uint32_t silentSamples =
        static_cast<uint32_t>(std::min<uint64_t>(silentClock / clockHz, BufferSamples));
    silentClock %= clockHz;

    const bool quiet = muted.load(std::memory_order_relaxed);
    for (int n = 0; n < ChannelCount; ++n) {
        if (quiet || !output->HasStream(n)) {
            if (silentSamples != 0 && channels[n].active) FillChannel(n, silentSamples, false);
            continue;
        }
        // Topped up whenever the stream holds 16,000 bytes or less. Done in 64
        // bits so that no queue level, however absurd, wraps into a fill.
        const uint64_t queued = output->QueuedBytes(n);
        if (queued * 2 <= TopUpBytes) FillChannel(n, static_cast<uint32_t>(TopUpBytes - queued * 2), true);
    }
}

void TVexaAudioSystem::FillChannel(int n, uint32_t count, bool push) {
    Channel& c = channels[n];
    const uint8_t* ram = bus ? bus->MainRamBytes() : nullptr;
    count = std::min(count, BufferSamples);
    for (uint32_t i = 0; i < count; ++i) {
        if (!c.active) {
            c.buffer[i] = 0;
            continue;
        }
        // Main RAM read directly: no side effects, and the mask keeps every
        // offset inside it (the largest reachable one is 0x5FFFC anyway).
        const int s = ram ? static_cast<int8_t>(ram[c.position & MainRamMask]) : 0;
        c.buffer[i] = static_cast<int16_t>(s * c.volume * 2);
        c.step -= 1.0;
        if (c.step < 1.0) {
            c.step += static_cast<double>(AudioOutput::SampleRate) / c.frequency;
            ++c.position;
            if (c.position >= c.start + c.length) {
                status |= static_cast<uint8_t>(0x10 << n);
                RestartChannel(n);
            }
        }
    }
    if (push) output->Push(n, c.buffer, count * sizeof(int16_t));
}

void TVexaAudioSystem::RestartChannel(int n) {
    Channel& c = channels[n];
    c.start = static_cast<uint32_t>(c.location) * 2 + SampleBase;
    c.position = c.start;
    c.length = static_cast<uint32_t>(c.duration) * 2;
    status |= static_cast<uint8_t>(1 << n);
    c.active = true;
}

void TVexaAudioSystem::ClearLoopFlag(int channel) {
    channel &= 3;
    DIAG_POST_TOOLKIT(diag, DIAG_AUDIO, "Clear Audio Loop on Channel: %d", channel);
    status &= static_cast<uint8_t>(~(0x10 << channel));
}

void TVexaAudioSystem::WriteChannelEnable(uint8_t mask) {
    for (int n = 0; n < ChannelCount; ++n) {
        if (!(mask & (1 << n))) {
            DIAG_POST_TOOLKIT(diag, DIAG_AUDIO, "Stop Channel: %d", n);
            channels[n].active = false;
        } else if (!channels[n].active) {
            DIAG_POST_TOOLKIT(diag, DIAG_AUDIO, "Start Channel: %d", n);
            RestartChannel(n);
        }
    }
}

void TVexaAudioSystem::WriteRegister(uint8_t reg, uint16_t value) {
    const int n = (reg >> 2) & 3;
    Channel& c = channels[n];
    switch (reg & 3) {
    case 0:
        if (value == c.location) return;
        c.location = value; // latched at the next start or loop point
        DIAG_POST_TOOLKIT(diag, DIAG_AUDIO, "Channel %d Location set to 0x%4.4x (0x%8.8x)", n, value, c.start);
        break;
    case 1:
        if (value == c.duration) return;
        c.duration = value;
        DIAG_POST_TOOLKIT(diag, DIAG_AUDIO, "Channel %d Duration set to 0x%4.4x", n, value);
        break;
    case 2:
        if (value == c.period) return;
        c.period = value;
        // 16 MHz divided by the period; short periods are held at the top rate.
        c.frequency = value >= 512 ? 16000000u / value : DefaultFrequency;
        c.step = static_cast<double>(AudioOutput::SampleRate) / c.frequency; // the hold count restarts at once
        DIAG_POST_TOOLKIT(diag, DIAG_AUDIO, "Channel %d SampRate set to 0x%4.4x (%d Hz)", n, value,
                          static_cast<int>(c.frequency));
        break;
    default: {
        const uint8_t written = static_cast<uint8_t>(value);
        // Compared with the stored (limited) value, so writing 0x50 twice posts twice.
        if (written == c.volume) return;
        c.volume = std::min<uint8_t>(written, 64);
        DIAG_POST_TOOLKIT(diag, DIAG_AUDIO, "Channel %d Volume set to 0x%2.2x", n, written);
        break;
    }
    }
}

uint16_t TVexaAudioSystem::ReadRegister(uint8_t reg) {
    const int n = (reg >> 2) & 3;
    const Channel& c = channels[n];
    switch (reg & 3) {
    case 0: DIAG_POST_TOOLKIT(diag, DIAG_AUDIO, "Channel %d Location read", n); return c.location;
    case 1: DIAG_POST_TOOLKIT(diag, DIAG_AUDIO, "Channel %d Duration read", n); return c.duration;
    case 2: DIAG_POST_TOOLKIT(diag, DIAG_AUDIO, "Channel %d SampRate read", n); return c.period;
    default: DIAG_POST_TOOLKIT(diag, DIAG_AUDIO, "Channel %d Volume read", n); return c.volume;
    }
}

// ---------------------------------------------------------------------------
// Save state: registers and playing positions. The staging buffers hold
// nothing between top-ups and are not saved.

void TVexaAudioSystem::SaveState(StateWriter& w) const {
    for (const Channel& c : channels) {
        w.U16(c.location);
        w.U16(c.duration);
        w.U16(c.period);
        w.U8(c.volume);
        w.Bool(c.active);
        w.U32(c.start);
        w.U32(c.length);
        w.U32(c.frequency);
        w.U32(c.position);
        w.F64(c.step);
    }
    w.U8(status);
    w.U64(silentClock);
}

bool TVexaAudioSystem::LoadState(StateReader& r) {
    struct Saved {
        uint16_t location, duration, period;
        uint8_t volume;
        bool active;
        uint32_t start, length, frequency, position;
        double step;
    } saved[ChannelCount];
    for (Saved& s : saved) {
        s.location = r.U16();
        s.duration = r.U16();
        s.period = r.U16();
        s.volume = r.U8();
        s.active = r.Bool();
        s.start = r.U32();
        s.length = r.U32();
        s.frequency = r.U32();
        s.position = r.U32();
        s.step = r.F64();
        // The step is divided out of the frequency, which must never be 0.
        if (s.volume > 64 || s.frequency == 0 || s.frequency > DefaultFrequency || !(s.step >= 0.0) ||
            s.step > static_cast<double>(AudioOutput::SampleRate) + 1.0)
            r.Fail();
    }
    const uint8_t st = r.U8();
    const uint64_t clock = r.U64();
    if (!r.Ok()) return false;
    for (int n = 0; n < ChannelCount; ++n) {
        Channel& c = channels[n];
        const Saved& s = saved[n];
        c.location = s.location;
        c.duration = s.duration;
        c.period = s.period;
        c.volume = s.volume;
        c.active = s.active;
        c.start = s.start;
        c.length = s.length;
        c.frequency = s.frequency;
        c.position = s.position;
        c.step = s.step;
    }
    status = st;
    silentClock = clock % static_cast<uint64_t>(bus ? bus->ClockHz() : EmulatedClockHz);
    return true;
}
