// The demo on the SD card: its pictures at fixed frames, its tune (the lead
// melody's notes in order, the bass underneath) and Escape back to the
// monitor.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <cmath>
#include <map>

#include "RomTestSupport.h"

namespace fs = std::filesystem;
using namespace testing_support;
using namespace roms_test;

namespace {

constexpr double SampleRate = 48000;

struct Wav {
    std::vector<double> left, right;
};

Wav ReadWav(const fs::path& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    Wav wav;
    if (!file) {
        ADD_FAILURE() << "cannot read " << path << ": " << sf_strerror(nullptr);
        return wav;
    }
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.samplerate, 48000);
    std::vector<short> frames(static_cast<size_t>(info.frames) * 2);
    sf_readf_short(file, frames.data(), info.frames);
    sf_close(file);
    for (size_t i = 0; i + 1 < frames.size(); i += 2) {
        wav.left.push_back(frames[i]);
        wav.right.push_back(frames[i + 1]);
    }
    return wav;
}

// The pitch a channel plays for a MIDI note: the demo's period register is
// round(16 MHz / (32 f)) for a 32-sample cycle, and the channel's rate is
// 16 MHz / period, whole hertz.
double NotePitch(int note) {
    const double f = 440.0 * std::pow(2.0, (note - 69) / 12.0);
    const long period = std::lround(16000000.0 / (32.0 * f));
    return static_cast<double>(16000000 / period) / 32.0;
}

double Power(const std::vector<double>& x, size_t from, size_t count, double f) {
    const double k = 2.0 * std::cos(2.0 * M_PI * f / SampleRate);
    double s1 = 0, s2 = 0;
    for (size_t i = from; i < from + count; ++i) {
        const double s0 = x[i] + k * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - k * s1 * s2;
}

// The strongest of the notes in windows of `window` samples from `from` on,
// with runs collapsed and runs shorter than two windows dropped.
std::vector<int> DominantNotes(const std::vector<double>& x, size_t from, size_t window, int low, int high) {
    std::vector<int> runs, lengths;
    for (size_t at = from; at + window <= x.size(); at += window) {
        int best = low;
        double bestPower = -1;
        for (int n = low; n <= high; ++n)
            if (const double p = Power(x, at, window, NotePitch(n)); p > bestPower) {
                bestPower = p;
                best = n;
            }
        if (!runs.empty() && runs.back() == best) ++lengths.back();
        else {
            runs.push_back(best);
            lengths.push_back(1);
        }
    }
    std::vector<int> kept;
    for (size_t i = 0; i < runs.size(); ++i)
        if (lengths[i] >= 2 && (kept.empty() || kept.back() != runs[i])) kept.push_back(runs[i]);
    return kept;
}

double Rms(const std::vector<double>& x, size_t from) {
    double sum = 0;
    for (size_t i = from; i < x.size(); ++i) sum += x[i] * x[i];
    return x.size() > from ? std::sqrt(sum / static_cast<double>(x.size() - from)) : 0.0;
}

TEST(Demo, ShowsItsPictureAndPlaysItsTune) {
    Machine m;
    m.Type({"run demo"});
    const ProcessResult run = m.Run(640, {"--screenshot-every", "80", "--wav", "demo.wav"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // Two pictures apart: the sprites, the scroller and the tiles fed by the
    // blitter have moved on between them.
    ExpectGolden(m / "shot-000080.png", "demo-frame-80");
    ExpectGolden(m / "shot-000160.png", "demo-frame-160");

    const Wav wav = ReadWav(m / "demo.wav");
    // The sound queue starts full of the monitor's silence; from one second
    // on the tune is under way.
    const size_t from = 48000;
    ASSERT_GT(wav.right.size(), from + 4 * 48000) << "the run covers a whole pass of the tune";
    EXPECT_GT(Rms(wav.right, from), 1000.0) << "melody and chords (right)";
    EXPECT_GT(Rms(wav.left, from), 1000.0) << "bass and drums (left)";

    // The lead melody, channel 0 on the right: its notes with their holds
    // collapsed, one pass of 32 sixteenths, then again.
    const std::vector<int> melody = {76, 69, 72, 76, 74, 72, 69, 65, 69, 72, 76, 79, 76, 72, 74, 71, 74, 67, 71, 74};
    const size_t quarterStep = static_cast<size_t>(64.0 * 65536 / 36e6 * SampleRate / 4);
    const std::vector<int> heard = DominantNotes(wav.right, from, quarterStep, 62, 81);
    ASSERT_GE(heard.size(), melody.size()) << "too few notes heard";
    // Where in the melody the recording picks it up: the one place where
    // every note heard fits.
    bool fits = false;
    for (size_t start = 0; start < melody.size() && !fits; ++start) {
        fits = true;
        for (size_t i = 0; i < heard.size() && fits; ++i) fits = heard[i] == melody[(start + i) % melody.size()];
    }
    EXPECT_TRUE(fits) << "the notes heard are not the melody's, in order: " << ::testing::PrintToString(heard);

    // The bass, channel 1 on the left: the four chord roots each dominate
    // for a while.
    std::map<int, int> bass;
    for (int note : DominantNotes(wav.left, from, quarterStep, 38, 62)) ++bass[note];
    for (int root : {45, 41, 48, 43}) EXPECT_GE(bass[root], 1) << "bass note " << root;
}

TEST(Demo, EscapeGoesBackToTheMonitor) {
    Machine m;
    m.Type({"run demo"});
    m.Key(0x1B, 60);
    m.Type({"help"}, 80);
    const ProcessResult run = m.Run(110);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ExpectGolden(m / "shot.png", "demo-escape");
}

} // namespace
