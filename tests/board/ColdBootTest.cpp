// config.txt, cold boot, its message boxes, and the dumps written at shutdown.
#include <gtest/gtest.h>

#include <filesystem>

#include "board/Utils.h"
#include "support/BoardFixture.h"
#include "video/Vexavideo.h"

using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;
using testing_support::WriteFileText;

namespace {

std::vector<uint8_t> Bytes(size_t n, uint8_t first) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(first + i);
    return v;
}

std::vector<std::string> Captions(const FakeHost& host) {
    std::vector<std::string> c;
    for (const auto& box : host.boxes) c.push_back(box.caption + ": " + box.text);
    return c;
}

TEST(ParseHexTest, DigitsOnly) {
    EXPECT_EQ(ParseHex("1f"), 31);
    EXPECT_EQ(ParseHex("FFFF"), 65535);
    EXPECT_EQ(ParseHex("0"), 0);
    EXPECT_EQ(ParseHex("7fffffff"), 0x7FFFFFFF);
    EXPECT_EQ(ParseHex("100000000"), 0); // wraps at 32 bits
    EXPECT_EQ(ParseHex(""), -1);
    EXPECT_EQ(ParseHex("12G"), -1);
    EXPECT_EQ(ParseHex("0x100"), -1);
    EXPECT_EQ(ParseHex(" 12"), -1);
    EXPECT_EQ(ParseHex("-1"), -1);
}

TEST(ColdBoot, KeywordsIgnoreCaseButPathsDoNot) {
    BoardFixture f({0x11}, "BootRom rom.bin\n");
    EXPECT_EQ(f.board().BootRom()[0], 0x11);
    EXPECT_TRUE(f.host().boxes.empty());

    WriteFileText(f.dir() / "config.txt", "bootrom ROM.BIN\n"); // no such file: paths are exact
    f.machine().ColdBoot();
    EXPECT_EQ(Captions(f.host()), std::vector<std::string>{"Fatal File Load Error: Boot ROM file not found"});
    EXPECT_EQ(f.host().terminateRequests, 1);
}

TEST(ColdBoot, BootRomFillsAtMost512Bytes) {
    BoardFixture f(Bytes(700, 1));
    EXPECT_EQ(f.board().BootRom()[0], 1);
    EXPECT_EQ(f.board().BootRom()[511], static_cast<uint8_t>(512));
    WriteFileBytes(f.dir() / "rom.bin", Bytes(3, 9));
    f.machine().ColdBoot();
    EXPECT_EQ(f.board().BootRom()[2], 11);
    EXPECT_EQ(f.board().BootRom()[3], 0); // the rest of the area is cleared
    EXPECT_EQ(f.board().BootRom()[511], 0);
}

// Files that are there but unusable in less obvious ways: an empty boot ROM
// (a blank ROM, no fault), a name with a NUL byte (no file, not the name cut
// short at the NUL) and a config.txt too large to read (fatal, as a missing
// one, rather than a blank machine).
TEST(ColdBoot, EmptyFilesOddNamesAndOversizedConfigurations) {
    BoardFixture f(Bytes(8, 0x21));
    WriteFileBytes(f.dir() / "empty.bin", {});
    WriteFileText(f.dir() / "config.txt", "bootrom empty.bin\n");
    f.machine().ColdBoot();
    EXPECT_TRUE(f.host().boxes.empty());
    EXPECT_EQ(f.board().BootRom()[0], 0);

    WriteFileText(f.dir() / "config.txt", std::string("bootrom rom.bin\0x\n", 18));
    f.machine().ColdBoot();
    EXPECT_EQ(Captions(f.host()), std::vector<std::string>{"Fatal File Load Error: Boot ROM file not found"});
    EXPECT_EQ(f.board().BootRom()[0], 0);
    ASSERT_EQ(f.machine().FileRefusals().size(), 1u);
    EXPECT_NE(f.machine().FileRefusals()[0].text.find("cannot be used: the name has a NUL byte in it"),
              std::string::npos)
        << f.machine().FileRefusals()[0].text;

    f.host().boxes.clear();
    WriteFileText(f.dir() / "config.txt", "bootrom rom.bin\n");
    std::filesystem::resize_file(f.dir() / "config.txt", (16u << 20) + 1);
    f.machine().ColdBoot();
    EXPECT_EQ(Captions(f.host()), std::vector<std::string>{"Fatal Configuration Error: Configuration file not found"});
    ASSERT_EQ(f.machine().FileRefusals().size(), 1u);
    EXPECT_NE(f.machine().FileRefusals()[0].text.find("config.txt cannot be used: larger than"), std::string::npos);
}

TEST(ColdBoot, AKeywordWithoutALineEndAtTheEndIsIgnored) {
    BoardFixture f({0}, "bootrom rom.bin\nwriteenable");
    EXPECT_FALSE(f.machine().SdWriteEnable());
    WriteFileText(f.dir() / "config.txt", "bootrom rom.bin\nwriteenable\n");
    f.machine().ColdBoot();
    EXPECT_TRUE(f.machine().SdWriteEnable());
}

TEST(ColdBoot, UnknownWordsAreSkippedOneAtATime) {
    // "speed" is skipped, then "3" as an unknown keyword, then bootrom acts.
    BoardFixture f({0x42}, "speed 3 bootrom rom.bin\n");
    EXPECT_EQ(f.board().BootRom()[0], 0x42);
}

TEST(ColdBoot, SdCardAndFlagsOnOneLine) {
    BoardFixture f({0}, "bootrom rom.bin\nsdcard 0 card.img writeenable nowriteprompt\n");
    // card.img does not exist: a warning, and the flags still count.
    EXPECT_EQ(f.machine().SdImagePath(), "card.img");
    EXPECT_TRUE(f.machine().SdWriteEnable());
    EXPECT_TRUE(f.machine().SdNoWritePrompt());
    EXPECT_EQ(Captions(f.host()), std::vector<std::string>{"File Load Error: SDCARD image not found, skipping"});
    EXPECT_EQ(f.host().terminateRequests, 0);
}

TEST(ColdBoot, MissingEepromWarnsAndGoesOn) {
    BoardFixture f({0x33}, "eeprom 0 none.bin bootrom rom.bin\n");
    EXPECT_EQ(Captions(f.host()), std::vector<std::string>{"File Load Error: EEPROM file not found, skipping"});
    EXPECT_EQ(f.host().boxes[0].icon, MsgIcon::Warning);
    EXPECT_EQ(f.board().BootRom()[0], 0x33);
}

TEST(ColdBoot, MissingConfigurationIsFatal) {
    BoardFixture f({0x33});
    std::filesystem::remove(f.dir() / "config.txt");
    f.board().MainRam()[5] = 9;
    f.machine().ColdBoot();
    EXPECT_EQ(Captions(f.host()), std::vector<std::string>{"Fatal Configuration Error: Configuration file not found"});
    EXPECT_EQ(f.host().boxes[0].icon, MsgIcon::Error);
    EXPECT_EQ(f.host().terminateRequests, 1);
    EXPECT_EQ(f.board().MainRam()[5], 0); // memory was cleared before the check
    EXPECT_EQ(f.board().BootRom()[0], 0);
}

TEST(ColdBoot, FoldersAreNotFiles) {
    BoardFixture f({0x33});
    std::filesystem::create_directory(f.dir() / "romdir");
    WriteFileText(f.dir() / "config.txt", "bootrom romdir\n");
    f.machine().ColdBoot();
    EXPECT_EQ(Captions(f.host()), std::vector<std::string>{"Fatal File Load Error: Boot ROM file not found"});

    std::filesystem::remove(f.dir() / "config.txt");
    std::filesystem::create_directory(f.dir() / "config.txt");
    f.machine().ColdBoot();
    EXPECT_EQ(f.host().boxes.back().text, "Configuration file not found");
}

TEST(ColdBoot, OverlongWordsAndPathsAreHandledSafely) {
    const std::string longWord(5000, 'x');
    const std::string longPath(300, 'p');
    BoardFixture f({0x44}, longWord + " bootrom rom.bin\n" + "sdcard " + longWord + " " + longPath + "\n" +
                               "eeprom " + longWord + " " + longPath + "\n");
    EXPECT_EQ(f.board().BootRom()[0], 0x44);
    EXPECT_EQ(f.machine().SdImagePath(), longPath);
    const std::vector<std::string> expected = {"File Load Error: SDCARD image not found, skipping",
                                               "File Load Error: EEPROM file not found, skipping"};
    EXPECT_EQ(Captions(f.host()), expected);
}

TEST(ColdBoot, EmptyConfigurationLeavesTheRomBlank) {
    BoardFixture f({0x44}, "");
    EXPECT_TRUE(f.host().boxes.empty());
    EXPECT_EQ(f.board().BootRom()[0], 0);
    EXPECT_EQ(f.board().GetPC(), 0u);
}

TEST(ColdBoot, ResetsTheProcessorAndTheBoardRegisters) {
    BoardFixture f({0x00});
    TVexaBoard& b = f.board();
    b.Regs.PC = 0x1234;
    b.Regs.IFF1 = 1;
    b.OutPort(0x01, 0x8F);
    b.OutPort(0x07, 0xFF); // the timer elapses after 256 cycles
    b.RequestNmi();
    b.Tick(300);
    ASSERT_TRUE(b.IsIrqPending());
    ASSERT_EQ(b.AudioCycleAccumulator(), 300u);
    f.machine().ColdBoot();
    EXPECT_EQ(b.GetPC(), 0u);
    EXPECT_EQ(b.Regs.IFF1, 0u);
    EXPECT_EQ(b.sys_irq_enable(), 0);
    EXPECT_FALSE(b.IsNmiRequested());
    EXPECT_FALSE(b.IsIrqPending());
    EXPECT_EQ(b.AudioCycleAccumulator(), 0u);
    EXPECT_GE(f.host().statusBarRepaints, 1);
}

TEST(Shutdown, WritesTheFourDumpsWhole) {
    BoardFixture f({0x00});
    TVexaBoard& b = f.board();
    b.MainRam()[0] = 1;
    b.MainRam()[0x7FFFF] = 2;
    b.Video()->vram[0x7FFFF] = 3;
    b.Video()->spriteRam[0x1FFFF] = 4;
    b.Video()->paletteRam[0x3FF] = 5;
    f.machine().Shutdown();
    const auto main = ReadFileBytes(f.dir() / "main.ram");
    const auto video = ReadFileBytes(f.dir() / "video.ram");
    const auto sprite = ReadFileBytes(f.dir() / "sprite.ram");
    const auto palette = ReadFileBytes(f.dir() / "palette.ram");
    ASSERT_EQ(main.size(), 524288u);
    ASSERT_EQ(video.size(), 524288u);
    ASSERT_EQ(sprite.size(), 131072u);
    ASSERT_EQ(palette.size(), 1024u);
    EXPECT_EQ(main[0], 1);
    EXPECT_EQ(main[0x7FFFF], 2);
    EXPECT_EQ(video[0x7FFFF], 3);
    EXPECT_EQ(sprite[0x1FFFF], 4);
    EXPECT_EQ(palette[0x3FF], 5);
}

TEST(Shutdown, ADumpThatCannotBeWrittenIsAnErrorAndStopsTheRest) {
    BoardFixture f({0x00});
    std::filesystem::create_directory(f.dir() / "video.ram"); // cannot be replaced by a file
    try {
        f.machine().Shutdown();
        FAIL() << "Shutdown reported success";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("video.ram"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(std::filesystem::exists(f.dir() / "main.ram"));
    EXPECT_FALSE(std::filesystem::exists(f.dir() / "sprite.ram"));
    EXPECT_FALSE(std::filesystem::exists(f.dir() / "palette.ram"));
}

} // namespace
