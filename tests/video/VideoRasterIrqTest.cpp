// The raster interrupt seen by a Z80 program through the board: the handler
// counts interrupts, and the count is read at line 280 of every frame.
#include <fstream>

#include "VideoFixture.h"
#include "support/RomMachine.h"

namespace {

struct RasterCase {
    int first, step, limit; // the program's raster targets
    int perFrame;           // interrupts per frame
    bool atFrameEnd;        // the interrupt comes after line 311, past the check
};

class RasterIrqTest : public ::testing::TestWithParam<RasterCase> {};

TEST_P(RasterIrqTest, CountsInterruptsPerFrame) {
    const RasterCase program = GetParam();
    std::vector<uint8_t> rom =
        testing_support::ReadFileBytes(testing_support::TestProgram("video", "raster_count"));
    ASSERT_GE(rom.size(), 0x104u);
    rom[0x100] = static_cast<uint8_t>(program.first);
    rom[0x101] = static_cast<uint8_t>(program.first >> 8);
    rom[0x102] = static_cast<uint8_t>(program.step);
    rom[0x103] = static_cast<uint8_t>(program.limit);
    RomMachine booted(rom);
    Machine& machine = booted.machine();
    TVexaBoard& board = booted.board();

    constexpr int Frame = TVexaVideo::RasterLines * TVexaVideo::CyclesPerLine;
    uint64_t done = 0;
    auto runTo = [&](uint64_t cycle) {
        while (done < cycle) done += machine.RunCycles(cycle - done);
    };
    for (int frame = 0; frame < 6; ++frame) {
        runTo(static_cast<uint64_t>(frame) * Frame + 280 * TVexaVideo::CyclesPerLine);
        const int count = board.MainRam()[0x9000] | board.MainRam()[0x9001] << 8;
        EXPECT_EQ(count, (frame + (program.atFrameEnd ? 0 : 1)) * program.perFrame) << "frame " << frame;
    }
    EXPECT_EQ(board.MainRam()[0x9002], 0) << "the handler saw no pending raster interrupt";
}

INSTANTIATE_TEST_SUITE_P(Video, RasterIrqTest,
                         ::testing::Values(RasterCase{50, 50, 250, 4, false}, RasterCase{10, 0, 0, 1, false},
                                           RasterCase{1, 0, 0, 1, false}, RasterCase{312, 0, 0, 1, true},
                                           RasterCase{0, 0, 0, 0, false}, RasterCase{400, 0, 0, 0, false}),
                         [](const ::testing::TestParamInfo<RasterCase>& info) {
                             return "Target" + std::to_string(info.param.first) + "Step" +
                                    std::to_string(info.param.step);
                         });

} // namespace
