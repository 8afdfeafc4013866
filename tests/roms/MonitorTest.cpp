// The monitor's console, keyboard and commands, typed through the emulated
// PS/2 keyboard and checked on the screen.
#include <gtest/gtest.h>

#include "RomTestSupport.h"

using namespace testing_support;
using namespace roms_test;

namespace {

constexpr int VkBack = 0x08, VkCapital = 0x14, VkEscape = 0x1B;

TEST(Monitor, HelpPokeAndMem) {
    Machine m;
    m.Type({"help", "poke 9000 48 69 0 ff 7e", "mem 9000 b", "MEM 0X8FFE 2", "mem 0x800"});
    const ProcessResult run = m.Run(m.NextFrame() + 10);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ExpectGolden(m / "shot.png", "commands");
}

TEST(Monitor, ExplainsMistakes) {
    Machine m;
    m.Type({"frobnicate", "mem xyz", "mem 12345", "poke 9000 100", "poke 9000", "mem", "mem 0 0", "save 0 10",
            "save ffff 2 1", "save 0 1 800000", "help me", "run"});
    const ProcessResult run = m.Run(m.NextFrame() + 10);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ExpectGolden(m / "shot.png", "mistakes");
}

// Shift, Caps Lock (with key repeat), Backspace and Escape on the line.
TEST(Monitor, KeyboardEditing) {
    Machine m;
    m.Arg("--type");
    m.Arg("Hello World@10"); // Shift for the capitals
    m.Key(VkCapital, 24);
    m.Arg("--type");
    m.Arg(" caps ON@26");    // Caps Lock: letters up, Shift brings them down
    m.Key(VkCapital, 34);
    m.Arg("--type");
    m.Arg(" xyz@36");
    m.Key(VkBack, 40);
    m.Key(VkBack, 41);
    m.Arg("--type");
    m.Arg("\\n@43");
    m.Arg("--type");
    m.Arg("dropped@50");
    m.Key(VkEscape, 58);   // the whole line goes
    m.Arg("--type");
    m.Arg("mem 10\\n@60");
    const ProcessResult run = m.Run(80);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ExpectGolden(m / "shot.png", "keyboard");
}

// reset goes through the boot ROM: the monitor is loaded and starts afresh.
TEST(Monitor, ResetStartsAgain) {
    Machine m;
    m.Type({"poke 9000 1", "reset"});
    const ProcessResult run = m.Run(m.NextFrame() + 10);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ExpectGolden(m / "shot.png", "boot");
}

// A long listing scrolls the screen and stops on Escape.
TEST(Monitor, LongListingScrollsAndStopsOnEscape) {
    Machine m;
    m.Type({"mem 0 ffff"});
    m.Key(VkEscape, 40);
    const ProcessResult run = m.Run(50);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ExpectGolden(m / "shot.png", "listing-stopped");
}

} // namespace
