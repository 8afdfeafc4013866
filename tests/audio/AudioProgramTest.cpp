// Z80 programs on the whole machine through vexa-headless: the recorded mix
// has the right pitch on the right side, loop flags interrupt the processor,
// and nonsense at every audio port leaves the machine running.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <filesystem>

#include "support/TestFiles.h"

namespace fs = std::filesystem;
using testing_support::ProcessResult;
using testing_support::TempDir;

namespace {

constexpr uint64_t CyclesPerFrame = 319488;

void InstallProgram(const TempDir& dir, const std::string& name) {
    testing_support::WriteFileBytes(
        dir / "rom.bin", testing_support::ReadFileBytes(testing_support::TestProgram("audio", name)));
    testing_support::WriteFileText(dir / "config.txt", "bootrom rom.bin\n");
}

struct Wav {
    int rate = 0, channels = 0;
    std::vector<int16_t> left, right;
};

Wav ReadWav(const fs::path& path) {
    Wav wav;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return wav;
    wav.rate = info.samplerate;
    wav.channels = info.channels;
    if (info.channels == 2 && (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16) {
        std::vector<int16_t> frames(static_cast<size_t>(info.frames) * 2);
        const sf_count_t got = sf_readf_short(file, frames.data(), info.frames);
        for (sf_count_t i = 0; i < got; ++i) {
            wav.left.push_back(frames[static_cast<size_t>(i) * 2]);
            wav.right.push_back(frames[static_cast<size_t>(i) * 2 + 1]);
        }
    }
    sf_close(file);
    return wav;
}

// Tone frequency from the sign changes between non-zero samples.
double Pitch(const std::vector<int16_t>& side, size_t from) {
    size_t crossings = 0;
    int previous = 0;
    for (size_t i = from; i < side.size(); ++i) {
        if (side[i] == 0) continue;
        const int sign = side[i] > 0 ? 1 : -1;
        if (previous != 0 && sign != previous) ++crossings;
        previous = sign;
    }
    return static_cast<double>(crossings) / 2.0 / (static_cast<double>(side.size() - from) / 48000.0);
}

} // namespace

TEST(AudioProgram, SquareWavesHaveTheirPitchOnTheirSide) {
    TempDir dir;
    InstallProgram(dir, "square_lr");
    const ProcessResult r = testing_support::RunHeadless(dir.Path(), {"--frames", "30", "--wav", "out.wav"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Wav wav = ReadWav(dir / "out.wav");
    ASSERT_EQ(wav.rate, 48000);
    ASSERT_EQ(wav.channels, 2);
    // The whole run, at 48,000 frames per 36,000,000 T-states.
    EXPECT_NEAR(static_cast<double>(wav.left.size()), 30.0 * CyclesPerFrame * 48000 / 36000000, 1.0);

    // The channels start before the first audio step; the first 13 frames
    // were played before anything was queued.
    const size_t from = 16;
    EXPECT_NEAR(Pitch(wav.left, from), 1000.0, 5.0);      // channel 1
    EXPECT_NEAR(Pitch(wav.right, from), 1000.0 / 3, 2.0); // channel 2
    for (size_t i = from; i < wav.left.size(); ++i) {
        ASSERT_EQ(std::abs(wav.left[i]), 0x40 * 64 * 2) << i;
        ASSERT_EQ(std::abs(wav.right[i]), 0x40 * 64 * 2) << i;
    }
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        EXPECT_EQ(entry.path().filename().string().rfind(".out.wav", 0), std::string::npos)
            << "temporary file left behind";
}

// No sound device: the channel plays on in emulated time, one 8-byte pass at
// 1 kHz every 8 ms, so about 11 interrupts in 10 frames (88.75 ms), whether
// the program waits busily or in HALT (where a whole slice passes in one go).
TEST(AudioProgram, LoopFlagsInterruptTheProcessor) {
    for (const char* program : {"loop_irq", "loop_irq_halt"}) {
        TempDir dir;
        InstallProgram(dir, program);
        const ProcessResult r = testing_support::RunHeadless(dir.Path(), {"--frames", "10", "--quiet"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const std::vector<uint8_t> ram = testing_support::ReadFileBytes(dir / "main.ram");
        ASSERT_EQ(ram.size(), 0x80000u);
        EXPECT_GE(ram[0x7000], 10) << program;
        EXPECT_LE(ram[0x7000], 12) << program;
        EXPECT_EQ(ram[0x7001], 0x11) << program; // started, and the pass that interrupted
    }
}

TEST(AudioProgram, NonsenseAtEveryAudioPortKeepsTheMachineRunning) {
    TempDir dir;
    InstallProgram(dir, "audio_noise");
    const ProcessResult r =
        testing_support::RunHeadless(dir.Path(), {"--frames", "20", "--wav", "noise.wav", "--log", "audio"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Wav wav = ReadWav(dir / "noise.wav");
    EXPECT_NEAR(static_cast<double>(wav.left.size()), 20.0 * CyclesPerFrame * 48000 / 36000000, 1.0);
    EXPECT_NE(testing_support::ReadFileText(dir / "rizediv.log").find("AUDIO\tStart Channel: "),
              std::string::npos);
}

TEST(AudioProgram, WavIsWrittenWholeOrNotAtAll) {
    TempDir dir;
    const ProcessResult missing =
        testing_support::RunHeadless(dir.Path(), {"--frames", "1", "--wav", "no/such/folder/x.wav"});
    EXPECT_EQ(missing.exitCode, 64);
    EXPECT_NE(missing.err.find("--wav"), std::string::npos);

    // A run that fails at start-up (no config.txt) leaves an earlier file as it was.
    testing_support::WriteFileText(dir / "old.wav", "earlier");
    const ProcessResult failed =
        testing_support::RunHeadless(dir.Path(), {"--frames", "1", "--wav", "old.wav"});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_EQ(testing_support::ReadFileText(dir / "old.wav"), "earlier");
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        EXPECT_EQ(entry.path().filename().string().rfind(".old.wav", 0), std::string::npos)
            << "temporary file left behind";
}
