#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "DiagCapture.h"
#include "devices/Vexatimer.h"

namespace {

using Texts = std::vector<std::string>;

struct TickCase {
    const char* name;
    uint8_t seed;
    std::vector<int> ticks;
    bool flag;
    int raisedOnTick; // index of the Tick call that first returned true, -1 none
    uint8_t counter;
    uint32_t accumulator;
};

TEST(Timer, CountsAndOverflowsAsProgrammed) {
    const TickCase cases[] = {
        {"seed FF, 256 cycles", 0xFF, {256}, true, 0, 0xFF, 0},
        {"seed FF, one cycle short", 0xFF, {255}, false, -1, 0xFF, 255},
        {"seed FF, in small steps", 0xFF, {100, 100, 55, 1}, true, 3, 0xFF, 0},
        {"seed 00, one cycle short", 0x00, {65535}, false, -1, 0xFF, 255},
        {"seed 00, exactly 65536", 0x00, {65535, 1}, true, 1, 0x00, 0},
        {"seed FE, 1000 cycles", 0xFE, {1000}, true, 0, 0xFF, 232},
        {"seed 10, a halted slice", 0x10, {300000}, true, 0, 0xE3, 224},
        {"seed 80, just before the second overflow", 0x80, {0x8000, 0x7FFF}, true, 0, 0xFF, 255},
    };
    for (const TickCase& c : cases) {
        SCOPED_TRACE(c.name);
        DiagCapture diag{DIAG_TIMER};
        TVexaTimer timer(&diag.channel);
        timer.WriteSeed(c.seed);
        int raisedOn = -1;
        for (size_t i = 0; i < c.ticks.size(); ++i)
            if (timer.Tick(c.ticks[i]) && raisedOn < 0) raisedOn = static_cast<int>(i);
        EXPECT_EQ(timer.IsIrqSet(), c.flag);
        EXPECT_EQ(raisedOn, c.raisedOnTick);
        EXPECT_EQ(timer.Counter, c.counter);
        EXPECT_EQ(timer.CycleAccumulator, c.accumulator);
        EXPECT_EQ(timer.Reload, c.seed);
        char seedText[32];
        std::snprintf(seedText, sizeof seedText, "New Seed Value: 0x%02x", c.seed);
        Texts expected{seedText};
        if (c.flag) expected.push_back("Timer Elapsed, IRQ Set");
        EXPECT_EQ(diag.Take(), expected);
    }
}

TEST(Timer, FlagStaysUntilClearedAndIsAnnouncedOncePerRaise) {
    DiagCapture diag{DIAG_TIMER};
    TVexaTimer timer(&diag.channel);
    timer.WriteSeed(0xFF);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(timer.Tick(256), true);
    EXPECT_EQ(timer.Counter, 0xFF);
    EXPECT_EQ(diag.Take(), (Texts{"New Seed Value: 0xff", "Timer Elapsed, IRQ Set"}));

    timer.ClearIrq();
    EXPECT_FALSE(timer.IsIrqSet());
    EXPECT_FALSE(timer.Tick(255));
    EXPECT_TRUE(timer.Tick(1));
    timer.ClearIrq();
    timer.ClearIrq(); // said even when already clear
    EXPECT_EQ(diag.Take(), (Texts{"IRQ Cleared", "Timer Elapsed, IRQ Set", "IRQ Cleared", "IRQ Cleared"}));
}

TEST(Timer, NewSeedRestartsTheCountButKeepsTheFlag) {
    DiagCapture diag{DIAG_TIMER};
    TVexaTimer timer(&diag.channel);
    timer.WriteSeed(0xFF);
    timer.Tick(300);
    ASSERT_TRUE(timer.IsIrqSet());
    ASSERT_EQ(timer.CycleAccumulator, 44u);
    diag.Take();

    timer.WriteSeed(0x7F);
    EXPECT_TRUE(timer.IsIrqSet());
    EXPECT_EQ(timer.Counter, 0x7F);
    EXPECT_EQ(timer.Reload, 0x7F);
    EXPECT_EQ(timer.CycleAccumulator, 0u);
    // Counting starts afresh: 129 steps to the next overflow, not 128.
    timer.Tick(128 * 256);
    EXPECT_EQ(timer.Counter, 0xFF);
    timer.ClearIrq();
    timer.Tick(255);
    EXPECT_FALSE(timer.IsIrqSet());
    timer.Tick(1);
    EXPECT_TRUE(timer.IsIrqSet());
    EXPECT_EQ(timer.Counter, 0x7F);
    EXPECT_EQ(diag.Take(), (Texts{"New Seed Value: 0x7f", "IRQ Cleared", "Timer Elapsed, IRQ Set"}));
}

TEST(Timer, ResetClearsEverything) {
    TVexaTimer timer;
    timer.WriteSeed(0xF0);
    timer.Tick(5000);
    timer.Reset();
    EXPECT_FALSE(timer.IsIrqSet());
    EXPECT_EQ(timer.Reload, 0);
    EXPECT_EQ(timer.Counter, 0);
    EXPECT_EQ(timer.CycleAccumulator, 0u);
    EXPECT_FALSE(timer.Tick(65535));
    EXPECT_TRUE(timer.Tick(1));
}

// The timer folds whole runs of steps together; it must agree with stepping
// 256 cycles at a time, for instruction-sized ticks and for whole slices.
TEST(Timer, AgreesWithStepByStepCounting) {
    struct Model {
        bool flag = false;
        uint8_t reload = 0, counter = 0;
        uint32_t acc = 0;
        int raised = 0;
        void Tick(int cycles) {
            acc += static_cast<uint32_t>(cycles);
            while (acc >= 256) {
                acc -= 256;
                if (++counter == 0) {
                    if (!flag) ++raised;
                    flag = true;
                    counter = reload;
                }
            }
        }
    };
    std::mt19937 random(1234);
    DiagCapture diag{DIAG_TIMER};
    TVexaTimer timer(&diag.channel);
    Model model;
    for (int i = 0; i < 200000; ++i) {
        const unsigned r = random() % 1000;
        if (r == 0) {
            const uint8_t seed = static_cast<uint8_t>(random());
            timer.WriteSeed(seed);
            model.reload = model.counter = seed;
            model.acc = 0;
        } else if (r < 4) {
            timer.ClearIrq();
            model.flag = false;
        } else {
            const int cycles =
                r < 6 ? static_cast<int>(random() % 300000) : 4 + static_cast<int>(random() % 20);
            model.Tick(cycles);
            ASSERT_EQ(timer.Tick(cycles), model.flag) << "step " << i;
        }
        ASSERT_EQ(timer.Counter, model.counter) << "step " << i;
        ASSERT_EQ(timer.CycleAccumulator, model.acc) << "step " << i;
    }
    const Texts texts = diag.Take();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Timer Elapsed, IRQ Set"), model.raised);
    EXPECT_GT(model.raised, 100);
}

} // namespace
