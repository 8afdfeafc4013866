// config.txt: a sequence of whitespace-separated words. Keywords (compared
// without regard to case) and the words that follow them become entries, in
// the order they appear; any other word is skipped. The machine acts on the
// entries in that order at every cold boot.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct ConfigEntry {
    enum class Kind { BootRom, Eeprom, SdCard, WriteEnable, NoWritePrompt };
    Kind kind;
    std::string path;      // BootRom, Eeprom, SdCard: exactly as written
    int offset = 0;        // Eeprom: the hexadecimal offset, -1 when it is not a hex number
    bool pathTooLong = false; // longer than a path may be: names no file at all
};

struct MachineConfig {
    std::vector<ConfigEntry> entries;
};

constexpr size_t MaxConfigWordLength = 99;
constexpr size_t MaxConfigPathLength = 259;

// Never fails: every text, however long, binary or odd, gives some entries.
// A keyword that ends the text with no whitespace after it is not taken.
MachineConfig ParseConfig(std::string_view text);
