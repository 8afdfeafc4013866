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
#include "support/TestFiles.h"
#include "support/GoldenImage.h"

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

    ExpectMatchesGolden(dir / "shot.png", caseDir / "expected.png", name, GoldenRebaseline);
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenImage, ::testing::ValuesIn(GoldenCases()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

} // namespace
