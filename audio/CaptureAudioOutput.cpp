#include "audio/CaptureAudioOutput.h"

#include <algorithm>
#include <utility>

#include "board/StateIO.h"

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

void CaptureAudioOutput::SaveQueue(StateWriter& w) {
    // What is due is played first, so that the run that saved and the run that
    // loads never both play the same frames.
    CatchUp();
    w.U64(framesPlayed_);
    SaveFifos(w);
}

bool CaptureAudioOutput::LoadQueue(StateReader* r) {
    if (r == nullptr) {
        // A state from a real device: nothing queued, and nothing owed for
        // the time before it.
        RestoreFifos({});
        framesPlayed_ = clock_() * SampleRate / clockHz_;
        return true;
    }
    const uint64_t played = r->U64();
    std::array<std::vector<int16_t>, ChannelCount> samples;
    if (!ReadFifos(*r, samples) || !r->AtEnd()) return false;
    RestoreFifos(samples);
    framesPlayed_ = played;
    return true;
}
