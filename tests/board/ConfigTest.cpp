// config.txt read into its entries, without a board.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/Config.h"
#include "board/RandomSource.h"

namespace {

using Kind = ConfigEntry::Kind;

// One line per entry: "bootrom rom.bin", "eeprom 10000 e.bin", "writeenable",
// with "!" after a path too long to name a file.
std::vector<std::string> Describe(const MachineConfig& config) {
    std::vector<std::string> out;
    for (const ConfigEntry& e : config.entries) {
        std::string line;
        switch (e.kind) {
        case Kind::BootRom: line = "bootrom " + e.path; break;
        case Kind::Eeprom: line = "eeprom " + std::to_string(e.offset) + " " + e.path; break;
        case Kind::SdCard: line = "sdcard " + e.path; break;
        case Kind::WriteEnable: line = "writeenable"; break;
        case Kind::NoWritePrompt: line = "nowriteprompt"; break;
        }
        if (e.pathTooLong) line += "!";
        out.push_back(line);
    }
    return out;
}

using Lines = std::vector<std::string>;

TEST(Config, EntriesInOrder) {
    const std::string longPath(260, 'p'), longestPath(259, 'p'), longWord(100, 'x');
    const struct {
        std::string text;
        Lines entries;
    } cases[] = {
        {"", {}},
        {"BootRom rom.bin\n", {"bootrom rom.bin"}},
        {"bootrom ROM.BIN\n", {"bootrom ROM.BIN"}}, // paths keep their case
        {"writeenable", {}},                       // no line end after the last keyword
        {"writeenable\n", {"writeenable"}},
        {"writeenable ", {"writeenable"}},
        {"eeprom 10000 e.bin\n", {"eeprom 65536 e.bin"}},
        {"eeprom 0x10000 e.bin\n", {"eeprom -1 e.bin"}},
        {"sdcard 0 card.img writeenable nowriteprompt\n", {"sdcard card.img", "writeenable", "nowriteprompt"}},
        {"speed 3 bootrom rom.bin\n", {"bootrom rom.bin"}}, // unknown words are skipped one by one
        {"bootrom a\nbootrom b\n", {"bootrom a", "bootrom b"}},
        {"bootrom rom.bin\rwriteenable\r", {"bootrom rom.bin", "writeenable"}}, // CR alone ends a line
        {"\t bootrom \t rom.bin \n\n", {"bootrom rom.bin"}},
        {std::string("bootrom\0rom.bin\n", 16), {}}, // NUL is no blank: one unknown word
        {"bootrom " + longestPath + "\n", {"bootrom " + longestPath}},
        {"bootrom " + longPath + "\n", {"bootrom " + longPath + "!"}},
        {longWord + " writeenable\n", {"writeenable"}}, // a word too long for a keyword
        {"eeprom " + longWord + " e.bin\n", {"eeprom -1 e.bin"}},
        {"sdcard 0", {"sdcard "}}, // the text ends inside the entry: no path
    };
    for (const auto& c : cases) EXPECT_EQ(Describe(ParseConfig(c.text)), c.entries) << c.text;
}

// The machine's own random source gives the C library's sequence.
TEST(Config, RandomSourceMatchesTheCLibrary) {
    for (unsigned seed : {0u, 1u, 42u, 0xFFFFFFFFu}) {
        std::srand(seed);
        CRandom random(seed);
        for (int i = 0; i < 2000; ++i) ASSERT_EQ(random.Next(), std::rand()) << "seed " << seed << " value " << i;
    }
}

} // namespace
