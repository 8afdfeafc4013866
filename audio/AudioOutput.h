// The sound device as the four audio channels see it: four mono signed 16-bit
// 48 kHz streams that are pushed blocks and report how much is still queued.
#pragma once

#include <cstddef>
#include <cstdint>

class AudioTap;
class StateWriter;
class StateReader;

class AudioOutput {
public:
    static constexpr int SampleRate = 48000;
    static constexpr int ChannelCount = 4;
    // What QueuedBytes answers for a channel that has no stream; twice it is
    // far above any block size, so the channel is never fed.
    static constexpr uint32_t NoStream = 0xFFFFFFFFu;

    virtual ~AudioOutput() = default;
    // True when the channel has a stream that accepts data. A device that is
    // lost while running stops having streams.
    virtual bool HasStream(int channel) const = 0;
    // Bytes of the channel's stream not yet played, or NoStream.
    virtual uint32_t QueuedBytes(int channel) = 0;
    // Queue a block of samples on the channel's stream. What does not fit in
    // the stream's queue is dropped; a channel without a stream ignores it.
    virtual void Push(int channel, const int16_t* samples, size_t bytes) = 0;

    // Save states. An output that plays in emulated time (the capture) has
    // queued samples that belong to the machine's state; it saves them in a
    // section of its own. A real device plays in host time and saves nothing.
    virtual bool SavesQueue() const { return false; }
    virtual void SaveQueue(StateWriter&) {}
    // `r` is null when the state holds no queue. False leaves the output as it was.
    virtual bool LoadQueue(StateReader*) { return true; }

    // Recording: a device that mixes copies what it plays into the tap (null
    // stops it). Any thread; the tap must outlive its use.
    virtual void SetTap(AudioTap*) {}
};

// No sound device: every channel is silent, and nothing is an error.
class NullAudioOutput final : public AudioOutput {
public:
    bool HasStream(int) const override { return false; }
    uint32_t QueuedBytes(int) override { return NoStream; }
    void Push(int, const int16_t*, size_t) override {}
};
