// Running the bundled software in vexa-headless: a private copy of the run
// directory, typed commands, and pictures compared with golden PNGs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TestFiles.h"

namespace roms_test {

// A file the build made in <build>/roms (boot.rom, monitor.eep, card.img...).
std::filesystem::path Built(const std::string& name);

constexpr const char* RunConfig = "bootrom boot.rom\neeprom 0 monitor.eep\nsdcard 0 card.img\nwriteenable\n";

// A folder holding copies of the boot ROM, the EEPROM image and the card, and
// the config.txt given.
class Machine {
public:
    explicit Machine(const std::string& config = RunConfig);
    std::filesystem::path operator/(const std::string& name) const { return dir_ / name; }
    const std::filesystem::path& Path() const { return dir_.Path(); }

    // Types each command (followed by Enter) in turn from frame `from` on,
    // leaving `gap` frames after each for the monitor to answer.
    void Type(const std::vector<std::string>& commands, uint64_t from = 10, uint64_t gap = 12);
    void Key(int vk, uint64_t frame);
    void Arg(const std::string& a) { args_.push_back(a); }
    uint64_t NextFrame() const { return next_; }

    // Runs for `frames` frames, writing the picture at the end to shot.png;
    // `quiet` leaves out the runner's summary line.
    testing_support::ProcessResult Run(uint64_t frames, const std::vector<std::string>& more = {},
                                       bool quiet = true);

private:
    testing_support::TempDir dir_;
    std::vector<std::string> args_;
    uint64_t next_ = 10;
};

// Compares the PNG with tests/roms/golden/<name>.png pixel for pixel. With
// VEXA_REBASELINE=1 it writes the golden picture instead (look at it before
// committing it).
void ExpectGolden(const std::filesystem::path& png, const std::string& name);

} // namespace roms_test
