// A sound device that plays in emulated time instead of host time: it consumes
// 48,000 frames per emulated second from the channel FIFOs and hands the mix
// to a sink (a WAV writer). The channels see exactly the queue levels a real
// device would show, so the capture is what the device would have played.
// Runs on the thread that executes the processor; no thread of its own.
#pragma once

#include <cstdint>
#include <functional>

#include "audio/MixingAudioOutput.h"

class CaptureAudioOutput final : public MixingAudioOutput {
public:
    // clock: T-states run so far; clockHz: T-states per emulated second.
    // sink: receives interleaved left/right frames in order.
    using Clock = std::function<uint64_t()>;
    using Sink = std::function<void(const int16_t* stereo, size_t frames)>;
    CaptureAudioOutput(Clock clock, uint32_t clockHz, Sink sink);

    bool HasStream(int channel) const override { return channel >= 0 && channel < ChannelCount; }
    uint32_t QueuedBytes(int channel) override;
    void Push(int channel, const int16_t* samples, size_t bytes) override;

    // The queued samples and the play position belong to the machine's state:
    // restored, the capture goes on exactly where the saved run was.
    bool SavesQueue() const override { return true; }
    void SaveQueue(StateWriter& w) override;
    bool LoadQueue(StateReader* r) override;

    // Plays everything due up to the clock's present value.
    void CatchUp();
    uint64_t FramesPlayed() const { return framesPlayed_; }

private:
    static constexpr size_t BlockFrames = 1024;
    Clock clock_;
    uint32_t clockHz_;
    Sink sink_;
    uint64_t framesPlayed_ = 0;
    int16_t block_[BlockFrames * 2] = {};
};
