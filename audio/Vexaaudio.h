// The four looping sample channels, fed from main RAM into the host's sound
// output. Each channel plays a block of signed 8-bit samples at its own rate
// and volume, again and again, re-latching location and length at every loop
// point so that software can queue the next block while one plays.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include "board/StateIO.h"

class AudioOutput;
class DiagChannel;
class MachineBus;

class TVexaAudioSystem {
public:
    static constexpr int ChannelCount = 4;
    static constexpr uint32_t SampleBase = 0x20000;  // main-RAM byte of location 0
    static constexpr uint32_t BufferSamples = 32000; // the most one top-up produces
    static constexpr uint32_t TopUpBytes = 32000;    // fed while twice the queue is at most this
    static constexpr uint32_t DefaultFrequency = 31250;

    struct Channel {
        // Registers the CPU sees.
        uint16_t location = 0;
        uint16_t duration = 0;
        uint16_t period = 0;
        uint8_t volume = 0;
        // Playing state.
        bool active = false;
        uint32_t start = SampleBase;
        uint32_t length = 0;
        uint32_t frequency = DefaultFrequency;
        uint32_t position = SampleBase;
        double step = 1.0; // output samples left before the source advances
        int16_t buffer[BufferSamples]; // written before every push, so never cleared
    };

    // Opens the sound output through the machine's host; without one every
    // channel is silent but plays on in emulated time, so status bits and
    // interrupts work. Without a bus (a sound unit on its own, in tests) the
    // samples read as silence.
    explicit TVexaAudioSystem(MachineBus* bus, DiagChannel* diag = nullptr);
    ~TVexaAudioSystem();
    TVexaAudioSystem(const TVexaAudioSystem&) = delete;
    TVexaAudioSystem& operator=(const TVexaAudioSystem&) = delete;

    // Called by the board every `cycles` (10,000) T-states.
    void UpdateStreams(int cycles);
    uint8_t ReadStatus() const { return status; }
    void ClearLoopFlag(int channel);
    void WriteChannelEnable(uint8_t mask);
    void WriteRegister(uint8_t reg, uint16_t value);
    uint16_t ReadRegister(uint8_t reg);

    // Save states: this unit's own section, written and read while the
    // processor is idle. LoadState leaves the unit as it was when it fails.
    static constexpr uint32_t StateTagId = StateTag("AUDI");
    static constexpr uint16_t StateVersion = 1;
    void SaveState(StateWriter& w) const;
    bool LoadState(StateReader& r);

    const Channel& ChannelState(int n) const { return channels[n & 3]; }
    AudioOutput& Output() { return *output; }
    // Muted (fast-forward, any thread): channels play on in emulated time as
    // if there were no device, so nothing queues up and the sound never lags
    // behind the machine; unmuted, they are fed from where they are.
    void SetMuted(bool on) { muted.store(on, std::memory_order_relaxed); }
    bool IsMuted() const { return muted.load(std::memory_order_relaxed); }

private:
    void RestartChannel(int n);
    // Produces `count` output samples of channel n into its buffer and, when
    // `push` is set, queues them on the channel's stream.
    void FillChannel(int n, uint32_t count, bool push);

    MachineBus* bus;
    DiagChannel* diag;
    std::unique_ptr<AudioOutput> output;
    Channel channels[ChannelCount];
    // Bits 0-3: channel n started or looped; bits 4-7: channel n reached the
    // end of its block (cleared by ClearLoopFlag).
    uint8_t status = 0;
    // Remainder of T-states x 48000 not yet turned into output samples, for
    // channels that have no stream to pace them.
    uint64_t silentClock = 0;
    std::atomic<bool> muted{false};
};
