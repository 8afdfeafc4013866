#include "RomTestSupport.h"

#include <gtest/gtest.h>


#include "support/GoldenImage.h"

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

ProcessResult Machine::Run(uint64_t frames, const std::vector<std::string>& more, bool quiet) {
    std::vector<std::string> args = {"--frames", std::to_string(frames), "--screenshot", "shot.png"};
    if (quiet) args.push_back("--quiet");
    args.insert(args.end(), args_.begin(), args_.end());
    args.insert(args.end(), more.begin(), more.end());
    return RunHeadless(dir_.Path(), args);
}

void ExpectGolden(const fs::path& png, const std::string& name) {
    const fs::path golden = fs::path(VEXA_TEST_SOURCE_DIR) / "roms" / "golden" / (name + ".png");
    ExpectMatchesGolden(png, golden, name, RebaselineRequested());
}

} // namespace roms_test
