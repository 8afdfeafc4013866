// The demo, with typed commands on both sides of a save state reloaded in a
// new process, ends exactly as the run straight through.
#include <gtest/gtest.h>

#include "RomTestSupport.h"
#include "support/SplitRun.h"

using namespace testing_support;

TEST(DemoState, SplitAtFrame300MatchesTheStraightRun) {
    roms_test::Machine straight, split;
    const std::vector<std::string> session = {"--type", "run demo\\n@10", "--key", "0x1B@420", "--type",
                                              "dir\\n@460"};
    ExpectSplitRunMatches(straight.Path(), split.Path(), session, 600, 300);
}
