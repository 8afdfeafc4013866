// Exactness guard for work on speed, on the whole board: the monitor answers
// commands, loads the demo from the card, runs its picture, sprites, tune and
// interrupts, and comes back on Escape, with every diagnostic logged. The
// memories, the log, the picture and the T-states run must come out as the
// CRCs recorded here: a change to any instruction's timing, bus-access order,
// Tick argument or flag moves at least one of them.
#include <gtest/gtest.h>

#include <zlib.h>

#include <regex>

#include "RomTestSupport.h"

using namespace testing_support;
using namespace roms_test;

namespace {

uint32_t FileCrc(const std::filesystem::path& path) {
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    EXPECT_FALSE(bytes.empty()) << path;
    return static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), bytes.data(), static_cast<uInt>(bytes.size())));
}

TEST(WholeBoardExactness, MonitorAndDemoGiveTheRecordedMemoryLogAndTiming) {
    Machine m;
    m.Type({"help", "dir", "mem 8000 40", "run demo"});
    m.Key(0x1B, m.NextFrame() + 150); // Escape: back to the monitor
    m.Type({"poke 9000 12 34", "mem 9000 2"}, m.NextFrame() + 170);
    const uint64_t frames = m.NextFrame() + 20;
    const ProcessResult run = m.Run(frames, {"--log-all"}, /*quiet=*/false);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // The slices end on the first instruction boundary past their budget, so
    // the T-states run tell where the last instructions fell.
    std::smatch tstates;
    ASSERT_TRUE(std::regex_search(run.out, tstates, std::regex("T-states: ([0-9]+)"))) << run.out;
    EXPECT_EQ(std::stoull(tstates[1]), 105111552u);

    struct Expected {
        const char* file;
        uint32_t crc;
    };
    const Expected files[] = {
        {"main.ram", 0x44b4428b},    {"video.ram", 0x92d114dc},   {"sprite.ram", 0xb64e6abb},
        {"palette.ram", 0x2b9e9f77}, {"rizediv.log", 0x9bc125b0}, {"shot.png", 0x7f9ced99},
    };
    for (const Expected& e : files) {
        const uint32_t crc = FileCrc(m / e.file);
        EXPECT_EQ(crc, e.crc) << e.file << std::hex << ": CRC 0x" << crc;
    }
    EXPECT_GT(ReadFileText(m / "rizediv.log").size(), 1000u) << "diagnostics were logged";
}

} // namespace
