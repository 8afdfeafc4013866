#include "RomTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "host/Host.h"
#include "video/FramePng.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace roms_test {

fs::path Built(const std::string& name) { return fs::path(VEXA_ROMS_DIR) / name; }

Machine::Machine(const std::string& config) {
    for (const char* name : {"boot.rom", "monitor.eep", "card.img"}) fs::copy_file(Built(name), dir_ / name);
    WriteFileText(dir_ / "config.txt", config);
}

void Machine::Type(const std::vector<std::string>& commands, uint64_t from, uint64_t gap) {
    next_ = std::max(next_, from);
    for (const std::string& command : commands) {
        args_.push_back("--type");
        args_.push_back(command + "\\n@" + std::to_string(next_));
        next_ += command.size() + 1 + gap;
    }
}

void Machine::Key(int vk, uint64_t frame) {
    args_.push_back("--key");
    args_.push_back(std::to_string(vk) + "@" + std::to_string(frame));
}

ProcessResult Machine::Run(uint64_t frames, const std::vector<std::string>& more) {
    std::vector<std::string> args = {"--frames", std::to_string(frames), "--screenshot", "shot.png", "--quiet"};
    args.insert(args.end(), args_.begin(), args_.end());
    args.insert(args.end(), more.begin(), more.end());
    return RunHeadless(dir_.Path(), args);
}

void ExpectGolden(const fs::path& png, const std::string& name) {
    const fs::path golden = fs::path(VEXA_TEST_SOURCE_DIR) / "roms" / "golden" / (name + ".png");
    if (const char* env = std::getenv("VEXA_REBASELINE"); env != nullptr && std::strcmp(env, "1") == 0) {
        fs::copy_file(png, golden, fs::copy_options::overwrite_existing);
        ADD_FAILURE() << "rewrote " << golden << ": look at it before committing";
        return;
    }
    std::vector<uint32_t> actual, expected;
    int width = 0, height = 0;
    std::string error;
    ASSERT_TRUE(ReadFramePng(png.string(), actual, width, height, &error)) << error;
    ASSERT_EQ(width, FrameWidth);
    ASSERT_EQ(height, FrameHeight);
    ASSERT_TRUE(ReadFramePng(golden.string(), expected, width, height, &error))
        << error << " (VEXA_REBASELINE=1 creates it)";
    ASSERT_EQ(expected.size(), actual.size());
    size_t differing = 0, first = 0;
    for (size_t i = 0; i < actual.size(); ++i)
        if (actual[i] != expected[i] && differing++ == 0) first = i;
    if (differing != 0) {
        const fs::path keep = fs::path(VEXA_TEST_BIN_DIR).parent_path() / "golden-actual";
        fs::create_directories(keep);
        fs::copy_file(png, keep / (name + ".png"), fs::copy_options::overwrite_existing);
        ADD_FAILURE() << name << ": " << differing << " pixels differ, the first at x " << first % FrameWidth
                      << ", y " << first / FrameWidth << ". The picture is in " << (keep / (name + ".png"));
    }
}

} // namespace roms_test
