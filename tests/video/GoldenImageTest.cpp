// Golden images: each folder under golden/ holds a boot ROM program
// (program.asm, assembled at build time), the number of frames to run
// ("frames") and the picture expected at the end (expected.png). The case runs
// vexa-headless with --screenshot and compares every pixel exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "GoldenOptions.h"
#include "host/Host.h"
#include "support/TestFiles.h"
#include "video/FramePng.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

fs::path GoldenDir() {
    return fs::path(VEXA_TEST_SOURCE_DIR) / "video" / "golden";
}

std::vector<std::string> GoldenCases() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(GoldenDir(), ec))
        if (entry.is_directory() && fs::exists(entry.path() / "program.asm"))
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class GoldenImage : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenImage, MatchesExpectedPicture) {
    const std::string name = GetParam();
    const fs::path caseDir = GoldenDir() / name;
    const fs::path program = TestProgram("video", "golden/" + name);
    ASSERT_TRUE(fs::exists(program)) << program;
    ASSERT_LE(fs::file_size(program), 512u) << "a boot ROM holds 512 bytes; the program is longer";

    int frames = 0;
    std::ifstream(caseDir / "frames") >> frames;
    ASSERT_GT(frames, 0) << "frames must hold a positive number of frames";
    ASSERT_LE(frames, 100) << "golden cases stay short";

    TempDir dir;
    fs::copy_file(program, dir / "boot.rom");
    WriteFileText(dir / "config.txt", "bootrom boot.rom\n");
    const ProcessResult run =
        RunHeadless(dir.Path(), {"--frames", std::to_string(frames), "--screenshot", "shot.png", "--quiet"});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    std::vector<uint32_t> actual, expected;
    int width = 0, height = 0;
    std::string error;
    ASSERT_TRUE(ReadFramePng((dir / "shot.png").string(), actual, width, height, &error)) << error;
    ASSERT_EQ(width, FrameWidth);
    ASSERT_EQ(height, FrameHeight);

    const fs::path expectedPath = caseDir / "expected.png";
    if (GoldenRebaseline) {
        fs::copy_file(dir / "shot.png", expectedPath, fs::copy_options::overwrite_existing);
        GTEST_SKIP() << "rewrote " << expectedPath << ": look at it before committing";
    }
    ASSERT_TRUE(ReadFramePng(expectedPath.string(), expected, width, height, &error))
        << error << " (run the video tests with --rebaseline to create it)";
    ASSERT_EQ(width, FrameWidth);
    ASSERT_EQ(height, FrameHeight);

    size_t differing = 0, first = 0;
    for (size_t i = 0; i < actual.size(); ++i)
        if (actual[i] != expected[i] && differing++ == 0) first = i;
    if (differing != 0) {
        // Keep the picture for a look; the build folder is private to this run.
        const fs::path keep = fs::path(VEXA_TEST_BIN_DIR).parent_path() / "golden-actual";
        fs::create_directories(keep);
        fs::copy_file(dir / "shot.png", keep / (name + ".png"), fs::copy_options::overwrite_existing);
        ADD_FAILURE() << differing << " pixels differ; the first at x " << first % FrameWidth << ", y "
                      << first / FrameWidth << std::hex << ": 0x" << actual[first] << " instead of 0x"
                      << expected[first] << std::dec << ". The picture is in " << (keep / (name + ".png"));
    }
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenImage, ::testing::ValuesIn(GoldenCases()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

} // namespace
