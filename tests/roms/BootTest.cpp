// The boot ROM: it loads the monitor from the EEPROM through the
// configuration controller and jumps to it, or says on the screen why it
// cannot; an NMI boots again from any state.
#include <gtest/gtest.h>

#include "RomTestSupport.h"

namespace fs = std::filesystem;
using namespace testing_support;
using namespace roms_test;

namespace {

TEST(Boot, ReachesTheMonitorPrompt) {
    EXPECT_EQ(fs::file_size(Built("boot.rom")), 512u);
    Machine m;
    const ProcessResult run = m.Run(10);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ExpectGolden(m / "shot.png", "boot");
}

TEST(Boot, SaysWhenTheEepromHoldsNoMonitor) {
    Machine m("bootrom boot.rom\n");
    const ProcessResult run = m.Run(10);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ExpectGolden(m / "shot.png", "no-monitor");

    // A header whose length would run the monitor over the boot ROM's stack.
    Machine huge;
    auto eeprom = ReadFileBytes(huge / "monitor.eep");
    eeprom[4] = 0xFF;
    eeprom[5] = 0xFF;
    WriteFileBytes(huge / "monitor.eep", eeprom);
    ASSERT_EQ(huge.Run(10).exitCode, 0);
    ExpectGolden(huge / "shot.png", "no-monitor");
}

TEST(Boot, RefusesAMonitorWithABadSum) {
    Machine m;
    auto eeprom = ReadFileBytes(m / "monitor.eep");
    eeprom[eeprom.size() / 2] ^= 0x10;
    WriteFileBytes(m / "monitor.eep", eeprom);
    const ProcessResult run = m.Run(10);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ExpectGolden(m / "shot.png", "bad-checksum");
}

TEST(Boot, NmiBootsAgainFromTheDemo) {
    Machine m;
    m.Type({"run demo"});
    // The NMI comes while the demo plays; the boot ROM quietens the machine
    // and the monitor starts afresh, its screen the same as after power-on.
    const ProcessResult run = m.Run(110, {"--nmi", "80"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ExpectGolden(m / "shot.png", "boot");
}

} // namespace
