#include "support/SplitRun.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include "support/TestFiles.h"

namespace fs = std::filesystem;

namespace testing_support {

std::vector<short> ReadWavSamples(const fs::path& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        ADD_FAILURE() << "cannot read " << path << ": " << sf_strerror(nullptr);
        return {};
    }
    std::vector<short> samples(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
    sf_readf_short(file, samples.data(), info.frames);
    sf_close(file);
    return samples;
}

namespace {

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

} // namespace

uintmax_t ExpectSplitRunMatches(const fs::path& straight, const fs::path& split, const std::vector<std::string>& args,
                                uint64_t frames, uint64_t splitFrame) {
    const std::string total = std::to_string(frames), first = std::to_string(splitFrame),
                      rest = std::to_string(frames - splitFrame);
    const ProcessResult a = RunHeadless(
        straight, With(args, {"--quiet", "--frames", total, "--wav", "sound.wav", "--screenshot", "shot.png"}));
    EXPECT_EQ(a.exitCode, 0) << a.err;
    const ProcessResult b1 = RunHeadless(split, With(args, {"--quiet", "--frames", first, "--wav", "first.wav",
                                                            "--save-state", "split.vxs@" + first}));
    EXPECT_EQ(b1.exitCode, 0) << b1.err;
    const ProcessResult b2 = RunHeadless(split, With(args, {"--quiet", "--load-state", "split.vxs", "--frames", rest,
                                                            "--wav", "second.wav", "--screenshot", "shot.png"}));
    EXPECT_EQ(b2.exitCode, 0) << b2.err;

    for (const char* dump : {"main.ram", "video.ram", "sprite.ram", "palette.ram", "shot.png"})
        EXPECT_TRUE(ReadFileBytes(straight / dump) == ReadFileBytes(split / dump)) << dump << " differs";

    const std::vector<short> whole = ReadWavSamples(straight / "sound.wav");
    std::vector<short> joined = ReadWavSamples(split / "first.wav");
    const std::vector<short> second = ReadWavSamples(split / "second.wav");
    joined.insert(joined.end(), second.begin(), second.end());
    EXPECT_EQ(whole.size(), joined.size());
    EXPECT_TRUE(whole == joined) << "the sound differs";
    std::error_code ec;
    return fs::file_size(split / "split.vxs", ec);
}

} // namespace testing_support
