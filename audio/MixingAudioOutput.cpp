#include "audio/MixingAudioOutput.h"

#include <algorithm>

uint32_t MixingAudioOutput::QueuedBytes(int channel) {
    if (channel < 0 || channel >= ChannelCount || !HasStream(channel)) return NoStream;
    return fifos_[static_cast<size_t>(channel)].Count() * 2u;
}

void MixingAudioOutput::Push(int channel, const int16_t* samples, size_t bytes) {
    if (channel < 0 || channel >= ChannelCount || !HasStream(channel)) return;
    fifos_[static_cast<size_t>(channel)].Write(samples, bytes / 2);
}

void MixingAudioOutput::Mix(int16_t* stereo, size_t frames) {
    constexpr size_t Block = 256;
    int32_t sums[Block * 2];
    while (frames > 0) {
        const size_t n = std::min(frames, Block);
        std::fill_n(sums, n * 2, 0);
        // Frame layout is left then right; even channels go right.
        for (int channel = 0; channel < ChannelCount; ++channel)
            fifos_[static_cast<size_t>(channel)].AddTo(sums + ((channel & 1) ? 0 : 1), 2, n);
        for (size_t i = 0; i < n * 2; ++i)
            stereo[i] = static_cast<int16_t>(std::clamp(sums[i], -32768, 32767));
        stereo += n * 2;
        frames -= n;
    }
}
