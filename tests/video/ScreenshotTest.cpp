// vexa-headless --screenshot and --screenshot-every.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/Host.h"
#include "support/TestFiles.h"
#include "video/FramePng.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

// A folder with the colour-bar program as boot ROM: every frame after the
// first shows one colour per line.
void PrepareColourBars(const TempDir& dir) {
    fs::copy_file(TestProgram("video", "golden/linecop_colour_bars"), dir / "boot.rom");
    WriteFileText(dir / "config.txt", "bootrom boot.rom\n");
}

std::vector<uint32_t> ReadPicture(const fs::path& path) {
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    std::string error;
    EXPECT_TRUE(ReadFramePng(path.string(), pixels, width, height, &error)) << error;
    EXPECT_EQ(width, FrameWidth);
    EXPECT_EQ(height, FrameHeight);
    return pixels;
}

TEST(Screenshot, FinalAndNumberedFrames) {
    TempDir dir;
    PrepareColourBars(dir);
    const ProcessResult run = RunHeadless(
        dir.Path(), {"--frames", "4", "--screenshot", "bars.png", "--screenshot-every", "2", "--quiet"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::exists(dir / "bars-000002.png"));
    EXPECT_TRUE(fs::exists(dir / "bars-000004.png"));
    EXPECT_FALSE(fs::exists(dir / "bars-000001.png"));
    EXPECT_FALSE(fs::exists(dir / "bars-000006.png"));
    const std::vector<uint32_t> last = ReadPicture(dir / "bars.png");
    EXPECT_EQ(ReadPicture(dir / "bars-000004.png"), last);
    // Line 16 + y has red (y + 16) >> 3, green and blue from its low byte.
    for (int y : {0, 100, 239}) {
        const unsigned line = static_cast<unsigned>(y + 16);
        const uint32_t colour =
            0xFF000000u | ((line >> 3) & 15) << 20 | ((line >> 4) & 15) << 12 | (line & 15) << 4;
        EXPECT_EQ(last[static_cast<size_t>(y) * FrameWidth], colour) << y;
        EXPECT_EQ(last[static_cast<size_t>(y) * FrameWidth + 399], colour) << y;
    }
}

TEST(Screenshot, NumberedFramesWithoutAFinalName) {
    TempDir dir;
    PrepareColourBars(dir);
    const ProcessResult run =
        RunHeadless(dir.Path(), {"--frames", "1", "--screenshot-every", "1", "--quiet"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::exists(dir / "screenshot-000001.png"));
}

TEST(Screenshot, UnusableOptionsAndPathsFail) {
    TempDir dir;
    PrepareColourBars(dir);
    const ProcessResult zero = RunHeadless(dir.Path(), {"--frames", "1", "--screenshot-every", "0"});
    EXPECT_NE(zero.exitCode, 0);
    const ProcessResult unwritable =
        RunHeadless(dir.Path(), {"--frames", "1", "--screenshot", "no-such-folder/shot.png", "--quiet"});
    // Found before the run, as a --wav path is, not after all its work.
    EXPECT_EQ(unwritable.exitCode, 64);
    EXPECT_NE(unwritable.err.find("no-such-folder/shot.png"), std::string::npos) << unwritable.err;
    EXPECT_FALSE(fs::exists(dir / "main.ram"));
}

} // namespace
