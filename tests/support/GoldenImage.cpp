#include "support/GoldenImage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/Host.h"
#include "video/FramePng.h"

namespace fs = std::filesystem;

namespace testing_support {

bool RebaselineRequested() {
    const char* env = std::getenv("VEXA_REBASELINE");
    return env != nullptr && std::strcmp(env, "1") == 0;
}

void ExpectMatchesGolden(const fs::path& screenshot, const fs::path& golden, const std::string& name,
                         bool rebaseline) {
    std::vector<uint32_t> actual, expected;
    int width = 0, height = 0;
    std::string error;
    ASSERT_TRUE(ReadFramePng(screenshot.string(), actual, width, height, &error)) << error;
    ASSERT_EQ(width, FrameWidth);
    ASSERT_EQ(height, FrameHeight);
    if (rebaseline) {
        fs::copy_file(screenshot, golden, fs::copy_options::overwrite_existing);
        GTEST_SKIP() << "rewrote " << golden << ": look at it before committing";
    }
    ASSERT_TRUE(ReadFramePng(golden.string(), expected, width, height, &error))
        << error << " (rebaseline to create it)";
    ASSERT_EQ(expected.size(), actual.size());

    size_t differing = 0, first = 0;
    for (size_t i = 0; i < actual.size(); ++i)
        if (actual[i] != expected[i] && differing++ == 0) first = i;
    if (differing != 0) {
        // Keep the picture for a look; the build folder is private to this build.
        const fs::path keep = fs::path(VEXA_TEST_BIN_DIR).parent_path() / "golden-actual";
        fs::create_directories(keep);
        fs::copy_file(screenshot, keep / (name + ".png"), fs::copy_options::overwrite_existing);
        ADD_FAILURE() << name << ": " << differing << " pixels differ; the first at x " << first % FrameWidth
                      << ", y " << first / FrameWidth << std::hex << ": 0x" << actual[first] << " instead of 0x"
                      << expected[first] << std::dec << ". The picture is in " << (keep / (name + ".png"));
    }
}

} // namespace testing_support
