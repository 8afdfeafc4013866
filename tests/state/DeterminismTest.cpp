// A run split by a save state, reloaded in a new process, gives the same RAM,
// picture and sound as the run straight through: the definition of a
// complete state, here with a program that keeps every device busy.
#include <gtest/gtest.h>

#include "StateTestSupport.h"
#include "support/SplitRun.h"

using namespace testing_support;

TEST(StateDeterminism, AllDevicesProgramSplitAtFrame300MatchesTheStraightRun) {
    TempDir straight, split;
    state_test::PrepareFolder(straight.Path());
    state_test::PrepareFolder(split.Path());
    // Keys before and after the split, so that both halves of the keyboard
    // path (and its queue across the state) are exercised.
    const std::vector<std::string> session = {"--type", "hello@40", "--type", "state@297", "--key", "0x1B@420",
                                              "--type", "after@500"};
    const uintmax_t size = ExpectSplitRunMatches(straight.Path(), split.Path(), session, 600, 300);
    EXPECT_GT(size, 1000u);
    const std::vector<uint8_t> ram = ReadFileBytes(straight / "main.ram");
    ASSERT_GE(ram.size(), 0x4200u);
    EXPECT_NE(ram[0x4100], 0) << "keyboard bytes arrived";
}
