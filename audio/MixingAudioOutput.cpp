#include "audio/MixingAudioOutput.h"

#include <algorithm>

#include "audio/AudioTap.h"
#include "board/StateIO.h"

uint32_t MixingAudioOutput::QueuedBytes(int channel) {
    if (channel < 0 || channel >= ChannelCount || !HasStream(channel)) return NoStream;
    return fifos_[static_cast<size_t>(channel)].Count() * 2u;
}

void MixingAudioOutput::Push(int channel, const int16_t* samples, size_t bytes) {
    if (channel < 0 || channel >= ChannelCount || !HasStream(channel)) return;
    fifos_[static_cast<size_t>(channel)].Write(samples, bytes / 2);
}

void MixingAudioOutput::Mix(int16_t* stereo, size_t frames) {
    AudioTap* tap = tap_.load(std::memory_order_acquire);
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
        if (tap) tap->Write(stereo, n);
        stereo += n * 2;
        frames -= n;
    }
}

void MixingAudioOutput::SaveFifos(StateWriter& w) const {
    std::vector<int16_t> samples(ChannelFifo::Capacity);
    for (const ChannelFifo& fifo : fifos_) {
        const size_t n = fifo.Peek(samples.data(), samples.size());
        w.U32(static_cast<uint32_t>(n));
        w.Array(samples.data(), n);
    }
}

bool MixingAudioOutput::ReadFifos(StateReader& r, std::array<std::vector<int16_t>, ChannelCount>& out) const {
    for (auto& samples : out) {
        const uint32_t n = r.U32();
        if (n > ChannelFifo::Capacity) {
            r.Fail();
            return false;
        }
        samples.resize(n);
        r.Array(samples.data(), n);
    }
    return r.Ok();
}

void MixingAudioOutput::RestoreFifos(const std::array<std::vector<int16_t>, ChannelCount>& samples) {
    for (size_t c = 0; c < fifos_.size(); ++c) {
        fifos_[c].Clear();
        fifos_[c].Write(samples[c].data(), samples[c].size());
    }
}
