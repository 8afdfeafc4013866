// The monitor and the SD card: listing and running programs, saving blocks
// (written back to the image file), and what it says about cards it cannot
// use, after which it still takes commands.
#include <gtest/gtest.h>

#include "RomTestSupport.h"
#include "roms/tools/SdImage.h"

namespace fs = std::filesystem;
using namespace testing_support;
using namespace roms_test;

namespace {

TEST(MonitorSd, ListsAndRunsPrograms) {
    Machine m;
    m.Type({"dir", "run HELLO", "run nothing", "run anameofseventeenx"});
    const ProcessResult run = m.Run(m.NextFrame() + 10);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ExpectGolden(m / "shot.png", "dir-run");
}

TEST(MonitorSd, SaveWritesExactlyTheNamedBlocks) {
    Machine m("bootrom boot.rom\neeprom 0 monitor.eep\nsdcard 0 card.img\nwriteenable\nnowriteprompt\n");
    const std::vector<uint8_t> before = ReadFileBytes(m / "card.img");
    // 0x201 bytes of the monitor from 0x0800: block 0x123 gets the first 512,
    // block 0x124 the last byte and zeros.
    m.Type({"save 800 201 123"});
    const ProcessResult run = m.Run(m.NextFrame() + 10);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ExpectGolden(m / "shot.png", "save");

    const std::vector<uint8_t> after = ReadFileBytes(m / "card.img");
    ASSERT_EQ(after.size(), before.size());
    const std::vector<uint8_t> monitor = ReadFileBytes(Built("monitor.bin"));
    std::vector<uint8_t> expected = before;
    std::copy(monitor.begin(), monitor.begin() + 0x201, expected.begin() + 0x123 * 512);
    std::fill(expected.begin() + 0x124 * 512 + 1, expected.begin() + 0x125 * 512, 0);
    size_t differing = 0, first = 0;
    for (size_t i = 0; i < after.size(); ++i)
        if (after[i] != expected[i] && differing++ == 0) first = i;
    EXPECT_EQ(differing, 0u) << "first difference at byte 0x" << std::hex << first << " (block 0x" << first / 512
                             << ")";
    EXPECT_NE(after, before);
}

TEST(MonitorSd, WithoutWriteEnableTheFileStaysAsItWas) {
    Machine m("bootrom boot.rom\neeprom 0 monitor.eep\nsdcard 0 card.img\n");
    const std::vector<uint8_t> before = ReadFileBytes(m / "card.img");
    m.Type({"save 800 10 200"});
    const ProcessResult run = m.Run(m.NextFrame() + 10, {"--answer", "yes"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(m / "card.img"), before);
}

// Each bad card gets its message; "help" afterwards shows the monitor is
// still listening.
struct BadCard {
    const char* name;
    void (*spoil)(Machine&);
    const char* command;
};

void DamageDirectory(Machine& m) {
    auto image = ReadFileBytes(m / "card.img");
    image[40] ^= 0x01;
    WriteFileBytes(m / "card.img", image);
}
void EmptyImage(Machine& m) { WriteFileBytes(m / "card.img", {}); }
void NoCard(Machine& m) { WriteFileText(m / "config.txt", "bootrom boot.rom\neeprom 0 monitor.eep\n"); }
void GarbageImage(Machine& m) {
    std::vector<uint8_t> image(4096);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 31 + 7);
    WriteFileBytes(m / "card.img", image);
}
void DamageDemo(Machine& m) {
    auto image = ReadFileBytes(m / "card.img");
    std::string error;
    const auto entries = sdimage::ReadDirectory(image, &error);
    ASSERT_TRUE(entries) << error;
    image[(*entries)[0].firstBlock * 512 + 1000] ^= 0x40;
    WriteFileBytes(m / "card.img", image);
}
void DamageEntry(Machine& m) {
    auto image = ReadFileBytes(m / "card.img");
    image[16 + 22 + 1] = 0x70; // the demo's load address: 0x7000, below the program area
    image[511] = static_cast<uint8_t>(image[511] - 0x70 + 0x80);
    WriteFileBytes(m / "card.img", image);
}

class MonitorBadCard : public ::testing::TestWithParam<BadCard> {};

TEST_P(MonitorBadCard, GetsAMessageNotAHang) {
    Machine m;
    GetParam().spoil(m);
    m.Type({GetParam().command, "help"});
    const ProcessResult run = m.Run(m.NextFrame() + 10);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ExpectGolden(m / "shot.png", std::string("sd-") + GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Cards, MonitorBadCard,
                         ::testing::Values(BadCard{"damaged-directory", DamageDirectory, "dir"},
                                           BadCard{"empty-image", EmptyImage, "dir"},
                                           BadCard{"no-card", NoCard, "run demo"},
                                           BadCard{"garbage", GarbageImage, "dir"},
                                           BadCard{"damaged-program", DamageDemo, "run demo"},
                                           BadCard{"damaged-entry", DamageEntry, "run demo"}),
                         [](const ::testing::TestParamInfo<BadCard>& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (c == '-') c = '_';
                             return name;
                         });

} // namespace
