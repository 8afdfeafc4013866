// The four sample channels driven through the operations the board calls,
// against a recording output.
#include <gtest/gtest.h>

#include <random>

#include "AudioTestSupport.h"

using audio_test::AudioFixture;
using Samples = std::vector<int16_t>;

namespace {

// Lengths of the runs of equal values, the last (maybe cut short) left out.
std::vector<size_t> RunLengths(const Samples& s) {
    std::vector<size_t> runs;
    size_t run = 1;
    for (size_t i = 1; i < s.size(); ++i) {
        if (s[i] == s[i - 1])
            ++run;
        else {
            runs.push_back(run);
            run = 1;
        }
    }
    return runs;
}

} // namespace

TEST(AudioChannels, PeriodGivesFrequencyAndTheHoldCount) {
    AudioFixture f;
    const struct {
        uint16_t period;
        uint32_t hz;
    } cases[] = {{1000, 16000}, {0, 31250}, {511, 31250}, {0xFFFF, 244},
                 {512, 31250},  {1, 31250}, {0xABCD, 363}};
    for (const auto& c : cases) {
        f.Write(2, 2, c.period);
        EXPECT_EQ(f.audio->ChannelState(2).frequency, c.hz) << c.period;
        EXPECT_DOUBLE_EQ(f.audio->ChannelState(2).step, 48000.0 / c.hz);
        EXPECT_EQ(f.sink.messages.back(),
                  FormatC("Channel 2 SampRate set to 0x%04X (%u Hz)", c.period, c.hz));
        EXPECT_EQ(f.audio->ReadRegister(0x1A), c.period);
    }

    // A ramp, so every source byte shows as its own run of output samples.
    std::vector<int8_t> ramp(100);
    for (int i = 0; i < 100; ++i)
        ramp[static_cast<size_t>(i)] = static_cast<int8_t>(i + 1);
    f.Poke(0x20000, ramp);
    f.Write(2, 1, 50);
    f.Write(2, 3, 1);
    f.audio->WriteChannelEnable(0x04);

    f.Write(2, 2, 1000); // 16 kHz: every byte held for exactly 3 samples
    for (size_t run : RunLengths(f.Play(2, 300)))
        EXPECT_EQ(run, 3u);

    f.Write(2, 2, 0xFFFF); // 244 Hz: held 196 or 197 samples, 196.72 on average
    const std::vector<size_t> runs = RunLengths(f.Play(2, 4000));
    ASSERT_GE(runs.size(), 19u);
    size_t total = 0;
    for (size_t run : runs) {
        EXPECT_TRUE(run == 196 || run == 197) << run;
        total += run;
    }
    EXPECT_NEAR(static_cast<double>(total) / static_cast<double>(runs.size()), 48000.0 / 244, 0.1);
}

TEST(AudioChannels, VolumeIsLimitedTo64AndScalesSamples) {
    AudioFixture f;
    f.Write(0, 3, 0x50);
    EXPECT_EQ(f.audio->ReadRegister(0x13), 64);
    f.Write(0, 3, 0x50); // 0x50 differs from the stored 64, so it posts again
    f.Write(0, 3, 0x40); // equal to the stored 64: nothing
    EXPECT_EQ(f.sink.messages,
              (std::vector<std::string>{"Channel 0 Volume set to 0x50", "Channel 0 Volume read",
                                        "Channel 0 Volume set to 0x50"}));

    f.Poke(0x20000, {0x7F, -128, -1, 0});
    f.Write(0, 1, 2);
    f.Write(0, 2, 1000);
    f.audio->WriteChannelEnable(0x01);
    EXPECT_EQ(f.Play(0, 12),
              (Samples{16256, 16256, 16256, -16384, -16384, -16384, -128, -128, -128, 0, 0, 0}));

    f.Write(0, 3, 0x1234); // only the low byte counts
    EXPECT_EQ(f.audio->ChannelState(0).volume, 0x34);
    EXPECT_EQ(f.sink.messages.back(), "Channel 0 Volume set to 0x34");
    EXPECT_EQ(f.Play(0, 2), (Samples{0x7F * 0x34 * 2, 0x7F * 0x34 * 2}));
}

TEST(AudioChannels, LocationAndDurationLatchAtTheLoopPoint) {
    AudioFixture f;
    f.Poke(0x20000, {10, 11});
    f.Poke(0x20200, {20, 21, 22, 23});
    f.Write(0, 1, 1);
    f.Write(0, 2, 1000);
    f.Write(0, 3, 1);
    f.audio->WriteChannelEnable(0x01);
    EXPECT_EQ(f.audio->ReadStatus(), 0x01);
    EXPECT_EQ(f.Play(0, 4), (Samples{20, 20, 20, 22}));

    f.Write(0, 0, 0x100);
    EXPECT_EQ(f.sink.messages.back(),
              "Channel 0 Location set to 0x0100 (0x00020000)"); // the block still playing
    f.Write(0, 1, 2);
    EXPECT_EQ(f.audio->ReadStatus(), 0x01);
    EXPECT_EQ(f.Play(0, 20),
              (Samples{22, 22, 40, 40, 40, 42, 42, 42, 44, 44, 44, 46, 46, 46, 40, 40, 40, 42, 42, 42}));
    EXPECT_EQ(f.audio->ReadStatus(), 0x11);
    EXPECT_EQ(f.audio->ChannelState(0).start, 0x20200u);
    EXPECT_EQ(f.audio->ChannelState(0).length, 4u);
}

TEST(AudioChannels, DurationZeroLoopsOnEverySourceStep) {
    AudioFixture f;
    f.Poke(0x20000, {5, 99});
    f.Write(1, 2, 1000);
    f.Write(1, 3, 1);
    f.audio->WriteChannelEnable(0x02);
    EXPECT_EQ(f.Play(1, 2), (Samples{10, 10}));
    EXPECT_EQ(f.audio->ReadStatus(), 0x02);
    EXPECT_EQ(f.Play(1, 2), (Samples{10, 10})); // the third sample steps, and the pass is over
    EXPECT_EQ(f.audio->ReadStatus(), 0x22);
    f.audio->ClearLoopFlag(1);
    EXPECT_EQ(f.audio->ReadStatus(), 0x02);
    EXPECT_EQ(f.Play(1, 2), (Samples{10, 10}));
    EXPECT_EQ(f.audio->ReadStatus(), 0x22);
}

TEST(AudioChannels, EnableMaskStartsStopsAndPosts) {
    AudioFixture f;
    f.audio->WriteChannelEnable(0x00); // stops every channel, playing or not
    EXPECT_EQ(f.sink.messages, (std::vector<std::string>{"Stop Channel: 0", "Stop Channel: 1",
                                                         "Stop Channel: 2", "Stop Channel: 3"}));
    EXPECT_EQ(f.audio->ReadStatus(), 0x00);

    f.sink.messages.clear();
    f.Write(0, 1, 10);
    f.Write(0, 3, 1);
    f.sink.messages.clear();
    f.audio->WriteChannelEnable(0xF5); // bits 4-7 ignored
    EXPECT_EQ(f.sink.messages, (std::vector<std::string>{"Start Channel: 0", "Stop Channel: 1",
                                                         "Start Channel: 2", "Stop Channel: 3"}));
    EXPECT_EQ(f.audio->ReadStatus(), 0x05);

    f.Play(0, 10);
    const uint32_t position = f.audio->ChannelState(0).position;
    EXPECT_GT(position, 0x20000u);
    f.sink.messages.clear();
    f.audio->WriteChannelEnable(0x05); // already playing: no message, no restart
    EXPECT_EQ(f.sink.messages, (std::vector<std::string>{"Stop Channel: 1", "Stop Channel: 3"}));
    EXPECT_EQ(f.audio->ChannelState(0).position, position);

    f.audio->WriteChannelEnable(0x04);
    EXPECT_FALSE(f.audio->ChannelState(0).active);
    EXPECT_EQ(f.audio->ReadStatus() & 0x0F, 0x05); // stopping leaves the start bit
    EXPECT_EQ(f.Play(0, 6), Samples(6, 0));        // a stopped channel is fed silence
    EXPECT_EQ(f.audio->ChannelState(0).position, position);

    f.Write(0, 0, 0x40);
    f.audio->WriteChannelEnable(0x05); // a restart re-latches the block
    EXPECT_EQ(f.audio->ChannelState(0).position, 0x20080u);
}

TEST(AudioChannels, ClearLoopFlagClearsOnlyThatChannelsFlag) {
    AudioFixture f;
    f.audio->WriteChannelEnable(0x0F);
    f.audio->UpdateStreams(10000); // empty queues: every duration-0 channel loops
    ASSERT_EQ(f.audio->ReadStatus(), 0xFF);
    f.sink.messages.clear();
    f.audio->ClearLoopFlag(2);
    EXPECT_EQ(f.audio->ReadStatus(), 0xBF);
    EXPECT_EQ(f.sink.messages, std::vector<std::string>{"Clear Audio Loop on Channel: 2"});
}

TEST(AudioChannels, RegistersDecodeAndPostWithTheToolkitFormatter) {
    AudioFixture f;
    f.audio->WriteRegister(0x35, 0x00FF); // bits 4-5 ignored: channel 1 duration
    f.audio->WriteRegister(0x14, 0x001A);
    f.audio->WriteRegister(0x14, 0x001A); // unchanged: nothing
    f.audio->WriteRegister(0x1E, 0xABCD);
    EXPECT_EQ(f.audio->ReadRegister(0x14), 0x1A);
    EXPECT_EQ(f.audio->ReadRegister(0x25), 0xFF);
    EXPECT_EQ(f.audio->ReadRegister(0x1E), 0xABCD);
    EXPECT_EQ(f.audio->ReadRegister(0x1F), 0);
    EXPECT_EQ(f.sink.messages,
              (std::vector<std::string>{
                  "Channel 1 Duration set to 0x00FF", "Channel 1 Location set to 0x001A (0x00020000)",
                  "Channel 3 SampRate set to 0xABCD (363 Hz)", "Channel 1 Location read",
                  "Channel 1 Duration read", "Channel 3 SampRate read", "Channel 3 Volume read"}));

    f.sink.audioEnabled = false; // type 3 off: stored, nothing posted
    f.sink.messages.clear();
    f.audio->WriteRegister(0x10, 7);
    f.audio->WriteChannelEnable(0);
    f.audio->ClearLoopFlag(0);
    f.audio->ReadRegister(0x10);
    EXPECT_EQ(f.audio->ChannelState(0).location, 7);
    EXPECT_TRUE(f.sink.messages.empty());
}

TEST(AudioChannels, StreamsAreToppedUpWhenTheyHold16000BytesOrLess) {
    AudioFixture f;
    auto& sizes = f.output->pushSizes;
    f.output->queued = {0, 16000, 16001, 15000};
    f.audio->UpdateStreams(10000);
    EXPECT_EQ(sizes[0], std::vector<size_t>{64000});
    EXPECT_EQ(sizes[1], std::vector<size_t>{0});
    EXPECT_TRUE(sizes[2].empty());
    EXPECT_EQ(sizes[3], std::vector<size_t>{4000});
    EXPECT_EQ(f.output->pushed[0], Samples(32000, 0)); // stopped channels are fed silence

    f.output->stream[3] = false;
    f.audio->UpdateStreams(10000);
    EXPECT_EQ(sizes[3].size(), 1u); // a channel without a stream is never fed
}

TEST(AudioChannels, ChannelsWithoutAStreamPlayOnInEmulatedTime) {
    AudioFixture f;
    TVexaAudioSystem& audio = *f.board->Audio(); // the board's own: FakeHost gives no output
    audio.WriteRegister(0x11, 0x100);
    audio.WriteRegister(0x12, 1000);
    audio.WriteChannelEnable(0x01);
    // 48,000 samples per 36,000,000 T-states: 27 steps of 10,000 are 360
    // samples, 120 source bytes at 16 kHz.
    for (int i = 0; i < 27; ++i)
        audio.UpdateStreams(10000);
    EXPECT_EQ(audio.ChannelState(0).position, 0x20000u + 120);

    audio.WriteRegister(0x11, 0); // one-byte passes: a loop every three samples
    audio.WriteChannelEnable(0x00);
    audio.WriteChannelEnable(0x01);
    audio.UpdateStreams(10000);
    EXPECT_EQ(audio.ReadStatus(), 0x11);
}

TEST(AudioChannels, ADeviceLostMidRunStopsFeedingButNotPlaying) {
    AudioFixture f;
    f.Write(0, 1, 0x1000);
    f.Write(0, 2, 1000);
    f.audio->WriteChannelEnable(0x01);
    f.Play(0, 3000);
    const uint32_t before = f.audio->ChannelState(0).position;
    EXPECT_EQ(before, 0x20000u + 1000);

    f.output->stream[0] = false;
    for (int i = 0; i < 27; ++i)
        f.audio->UpdateStreams(10000);
    EXPECT_EQ(f.output->pushed[0].size(), 3000u);
    EXPECT_EQ(f.audio->ChannelState(0).position, before + 120);

    f.output->stream[0] = true; // back again: fed as before
    EXPECT_EQ(f.Play(0, 300).size(), 300u);
    EXPECT_EQ(f.audio->ChannelState(0).position, before + 220);
}

TEST(AudioChannels, NonsenseAtFullSpeedStaysInsideMainRam) {
    AudioFixture f;
    f.sink.audioEnabled = false;
    std::mt19937 rng(12345);
    const uint32_t levels[] = {0, 15990, 16000, 20000, 0x7FFFFFFF, 0x80000000u, AudioOutput::NoStream};
    for (int i = 0; i < 10000; ++i) {
        const uint32_t r = rng();
        switch (r % 5) {
        case 0: f.audio->WriteRegister(static_cast<uint8_t>(r >> 8), static_cast<uint16_t>(r >> 16)); break;
        case 1: f.audio->WriteChannelEnable(static_cast<uint8_t>(r >> 8)); break;
        case 2: f.audio->ClearLoopFlag(static_cast<int>((r >> 8) & 3)); break;
        case 3: f.audio->ReadRegister(static_cast<uint8_t>(r >> 8)); break;
        default:
            for (int n = 0; n < 4; ++n) {
                f.output->queued[static_cast<size_t>(n)] = levels[(r >> (8 + 3 * n)) % 7];
                f.output->stream[static_cast<size_t>(n)] = ((r >> (20 + n)) & 7) != 0;
            }
            f.audio->UpdateStreams(10000);
            for (int n = 0; n < 4; ++n) {
                const auto& c = f.audio->ChannelState(n);
                EXPECT_LE(c.volume, 64);
                EXPECT_GE(c.position, c.start);
                EXPECT_LT(c.position, c.start + std::max<uint32_t>(c.length, 1));
                EXPECT_LT(c.start + c.length, static_cast<uint32_t>(TVexaBoard::MainRamSize));
                for (size_t size : f.output->pushSizes[static_cast<size_t>(n)])
                    EXPECT_LE(size, 64000u);
                f.output->pushed[static_cast<size_t>(n)].clear();
                f.output->pushSizes[static_cast<size_t>(n)].clear();
            }
        }
        if (HasFailure()) break;
    }
}
