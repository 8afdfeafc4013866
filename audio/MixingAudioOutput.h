// The part every real back end shares: one FIFO per channel, filled by Push
// on the CPU thread and drained by a consumer that mixes the four channels
// into stereo frames (channels 0 and 2 on the right, 1 and 3 on the left).
#pragma once

#include <array>
#include <atomic>
#include <vector>

#include "audio/AudioOutput.h"
#include "audio/ChannelFifo.h"

class MixingAudioOutput : public AudioOutput {
public:
    uint32_t QueuedBytes(int channel) override;
    void Push(int channel, const int16_t* samples, size_t bytes) override;

    // Consumer side: fills `frames` interleaved left/right frames, saturating
    // the sums; a channel that runs dry contributes silence. Never allocates.
    void Mix(int16_t* stereo, size_t frames);
    void SetTap(AudioTap* tap) override { tap_.store(tap, std::memory_order_release); }

protected:
    // The queues' contents, for outputs whose queues are part of a save state.
    void SaveFifos(StateWriter& w) const;
    bool ReadFifos(StateReader& r, std::array<std::vector<int16_t>, ChannelCount>& out) const;
    void RestoreFifos(const std::array<std::vector<int16_t>, ChannelCount>& samples);

private:
    std::array<ChannelFifo, ChannelCount> fifos_;
    std::atomic<AudioTap*> tap_{nullptr};
};
