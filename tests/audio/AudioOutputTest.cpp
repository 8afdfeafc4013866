// The output back ends: the shared mixer and FIFOs (through the capture
// output, which plays in emulated time), the null output, and the SDL2 device
// on SDL's dummy and disk drivers so that the real device path runs here.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "audio/CaptureAudioOutput.h"
#include "audio/SdlAudioOutput.h"
#include "support/TestFiles.h"

namespace {

constexpr uint64_t CyclesPerSample = 36000000 / 48000; // 750 T-states per output frame

struct Capture {
    uint64_t clock = 0;
    std::vector<int16_t> frames; // interleaved left, right
    CaptureAudioOutput output{
        [this] { return clock; }, 36000000,
        [this](const int16_t* s, size_t n) { frames.insert(frames.end(), s, s + n * 2); }};
};

void PushAll(AudioOutput& out, int channel, const std::vector<int16_t>& samples) {
    out.Push(channel, samples.data(), samples.size() * 2);
}

// Waits (up to 5 s of host time) until every channel's queue is empty.
bool WaitUntilDrained(AudioOutput& out) {
    for (int i = 0; i < 500; ++i) {
        bool empty = true;
        for (int c = 0; c < 4; ++c)
            empty = empty && out.QueuedBytes(c) == 0;
        if (empty) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

} // namespace

TEST(AudioOutput, MixRoutesEvenChannelsRightOddLeftAndSaturates) {
    Capture cap;
    PushAll(cap.output, 0, {30000, 100, 0});
    PushAll(cap.output, 2, {30000, 200, 0});
    PushAll(cap.output, 1, {-30000, 1, 7});
    PushAll(cap.output, 3, {-30000, 2});
    cap.clock = 4 * CyclesPerSample;
    cap.output.CatchUp();
    // Frame 3: channel 3 has run dry and adds nothing; frame 4: all silent.
    EXPECT_EQ(cap.frames, (std::vector<int16_t>{-32768, 32767, 3, 300, 7, 0, 0, 0}));
}

TEST(AudioOutput, CaptureConsumes48000FramesPerEmulatedSecond) {
    Capture cap;
    PushAll(cap.output, 1, std::vector<int16_t>(1000, 5));
    EXPECT_EQ(cap.output.QueuedBytes(1), 2000u);
    EXPECT_EQ(cap.output.QueuedBytes(0), 0u);
    cap.clock = 36000000 / 480; // a hundredth of a second
    EXPECT_EQ(cap.output.QueuedBytes(1), 2000u - 2 * 100);
    EXPECT_EQ(cap.output.FramesPlayed(), 100u);
    cap.clock += CyclesPerSample - 1; // not a whole frame yet
    EXPECT_EQ(cap.output.QueuedBytes(1), 1800u);
    cap.clock = 36000000;
    cap.output.CatchUp();
    EXPECT_EQ(cap.frames.size(), 2u * 48000);
    EXPECT_EQ(cap.output.QueuedBytes(1), 0u);
}

TEST(AudioOutput, QueuesAreBounded) {
    Capture cap;
    PushAll(cap.output, 2, std::vector<int16_t>(100000, 1));
    EXPECT_EQ(cap.output.QueuedBytes(2), 2u * ChannelFifo::Capacity);
    PushAll(cap.output, 2, std::vector<int16_t>(10, 1));
    EXPECT_EQ(cap.output.QueuedBytes(2), 2u * ChannelFifo::Capacity);
}

TEST(AudioOutput, SdlDummyDeviceDrainsEveryChannel) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::unique_ptr<AudioOutput> out = OpenHostAudioOutput();
    ASSERT_NE(out, nullptr);
    for (int c = 0; c < 4; ++c) {
        EXPECT_TRUE(out->HasStream(c));
        PushAll(*out, c, std::vector<int16_t>(4800, static_cast<int16_t>(c)));
        EXPECT_LE(out->QueuedBytes(c), 9600u);
    }
    EXPECT_GT(out->QueuedBytes(3), 0u);
    EXPECT_TRUE(WaitUntilDrained(*out));
    EXPECT_TRUE(out->HasStream(0)); // still alive once idle
    EXPECT_FALSE(out->HasStream(4));
}

TEST(AudioOutput, SdlDiskDeviceWritesTheStereoMix) {
    testing_support::TempDir dir;
    const auto raw = dir / "mix.raw";
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
    {
        std::unique_ptr<AudioOutput> out = OpenHostAudioOutput();
        ASSERT_TRUE(out->HasStream(0));
        PushAll(*out, 0, std::vector<int16_t>(4800, 300));
        PushAll(*out, 1, std::vector<int16_t>(4800, 1000));
        PushAll(*out, 2, std::vector<int16_t>(4800, -2000));
        PushAll(*out, 3, std::vector<int16_t>(4800, 500));
        ASSERT_TRUE(WaitUntilDrained(*out));
    } // closing the device flushes the file
    const std::vector<uint8_t> bytes = testing_support::ReadFileBytes(raw);
    ASSERT_EQ(bytes.size() % 4, 0u);
    size_t mixed = 0;
    for (size_t i = 0; i + 4 <= bytes.size(); i += 4) {
        const int16_t left = static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8);
        const int16_t right = static_cast<int16_t>(bytes[i + 2] | bytes[i + 3] << 8);
        if (left == 0 && right == 0) continue; // before and after the block
        EXPECT_EQ(left, 1500);
        EXPECT_EQ(right, -1700);
        ++mixed;
        if (HasFailure()) break;
    }
    EXPECT_EQ(mixed, 4800u);
}

TEST(AudioOutput, NoDeviceGivesAnOutputWithoutStreams) {
    ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    std::unique_ptr<AudioOutput> out = OpenHostAudioOutput();
    ASSERT_NE(out, nullptr);
    for (int c = 0; c < 4; ++c) {
        EXPECT_FALSE(out->HasStream(c));
        EXPECT_EQ(out->QueuedBytes(c), AudioOutput::NoStream);
        PushAll(*out, c, std::vector<int16_t>(100, 1));
    }
}

TEST(AudioOutput, FifoKeepsOrderBetweenTwoThreads) {
    // The CPU thread pushes while the device thread mixes: every sample must
    // come out once, in order, whatever the interleaving.
    ChannelFifo fifo;
    constexpr int Total = 2000000;
    std::thread producer([&fifo] {
        int16_t block[700];
        for (int next = 0; next < Total;) {
            const int n = std::min(700, Total - next);
            for (int i = 0; i < n; ++i)
                block[i] = static_cast<int16_t>((next + i) & 0x7FFF);
            next += static_cast<int>(fifo.Write(block, static_cast<size_t>(n)));
            if (fifo.Count() > ChannelFifo::Capacity / 2) std::this_thread::yield();
        }
    });
    int expected = 0;
    int firstWrong = -1;
    int32_t out[512];
    while (expected < Total) { // drained to the end even after a fault, so the producer finishes
        std::fill_n(out, 512, 0);
        const size_t got = fifo.AddTo(out, 1, 512);
        for (size_t i = 0; i < got; ++i, ++expected)
            if (firstWrong < 0 && out[i] != (expected & 0x7FFF)) firstWrong = expected;
        if (got == 0) std::this_thread::yield();
    }
    producer.join();
    EXPECT_EQ(firstWrong, -1);
    EXPECT_EQ(fifo.Count(), 0u);
}

TEST(AudioOutput, SdlDeviceThatStallsLosesItsStreamsUntilItRecovers) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::unique_ptr<AudioOutput> out = OpenHostAudioOutput();
    auto* sdl = dynamic_cast<SdlAudioOutput*>(out.get());
    ASSERT_NE(sdl, nullptr);
    ASSERT_TRUE(sdl->HasStream(1));
    SDL_LockAudioDevice(sdl->Device()); // the device thread cannot run its callback
    std::this_thread::sleep_for(std::chrono::milliseconds(SdlAudioOutput::StallMs + 200));
    EXPECT_FALSE(sdl->HasStream(1));
    EXPECT_EQ(sdl->QueuedBytes(1), AudioOutput::NoStream);
    PushAll(*sdl, 1, std::vector<int16_t>(100, 1)); // dropped, not queued
    SDL_UnlockAudioDevice(sdl->Device());
    bool back = false;
    for (int i = 0; i < 200 && !back; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        back = sdl->HasStream(1);
    }
    EXPECT_TRUE(back);
    EXPECT_EQ(sdl->QueuedBytes(1), 0u);
}
