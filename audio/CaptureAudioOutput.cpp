#include "audio/CaptureAudioOutput.h"

#include <algorithm>
#include <utility>

CaptureAudioOutput::CaptureAudioOutput(Clock clock, uint32_t clockHz, Sink sink)
    : clock_(std::move(clock)), clockHz_(clockHz == 0 ? 1 : clockHz), sink_(std::move(sink)) {}

void CaptureAudioOutput::CatchUp() {
    const uint64_t due = clock_() * SampleRate / clockHz_;
    while (framesPlayed_ < due) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(due - framesPlayed_, BlockFrames));
        Mix(block_, n);
        if (sink_) sink_(block_, n);
        framesPlayed_ += n;
    }
}

uint32_t CaptureAudioOutput::QueuedBytes(int channel) {
    CatchUp();
    return MixingAudioOutput::QueuedBytes(channel);
}

void CaptureAudioOutput::Push(int channel, const int16_t* samples, size_t bytes) {
    CatchUp();
    MixingAudioOutput::Push(channel, samples, bytes);
}
