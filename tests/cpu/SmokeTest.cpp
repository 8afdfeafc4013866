#include <gtest/gtest.h>

#include "support/TestMachine.h"

TEST(CpuSmoke, NopCostsFour) {
    TestMachine m;
    m.Step();
    ASSERT_EQ(m.ticks.size(), 1u);
    EXPECT_EQ(m.ticks[0], 4);
}
