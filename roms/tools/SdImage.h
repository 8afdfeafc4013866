// The SD card's program directory and the images that carry it. The format
// is described in roms/README.md; the monitor reads it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sdimage {

constexpr size_t BlockSize = 512;
constexpr size_t MaxEntries = 15;
constexpr size_t NameLength = 16;
constexpr size_t EntrySize = 32;
constexpr size_t EntriesOffset = 16;
// Blocks 0 .. ProgramAreaBlocks-1 belong to the build (directory and
// programs); everything from there on is left to the user.
constexpr uint32_t ProgramAreaBlocks = 256;
constexpr size_t DefaultImageSize = 1024 * 1024;
constexpr uint16_t ProgramAreaStart = 0x8000; // where programs may be loaded
constexpr char Magic[8] = {'V', 'E', 'X', 'A', 'D', 'I', 'R', 1};

struct Program {
    std::string name;
    std::vector<uint8_t> bytes;
    uint16_t load = ProgramAreaStart;
    uint16_t entry = ProgramAreaStart;
};

struct Entry {
    std::string name;
    uint32_t firstBlock = 0;
    uint16_t length = 0;
    uint16_t load = 0;
    uint16_t entry = 0;
    uint16_t sum = 0;
};

// Sum of the bytes, modulo 65536: the check the monitor makes after loading.
uint16_t ProgramSum(const std::vector<uint8_t>& bytes);

// Empty when the program can go on a card; otherwise why not.
std::string CheckProgram(const Program& program);

// Lays the programs out after the directory block and writes directory and
// programs into image (grown to at least minSize bytes). Blocks of the
// program area that no program uses are zeroed; blocks past it are kept.
// Returns an error text, empty on success.
std::string BuildImage(const std::vector<Program>& programs, size_t minSize, std::vector<uint8_t>& image);

// Reads the directory of an image; nullopt with *error set when block 0 does
// not hold a valid one.
std::optional<std::vector<Entry>> ReadDirectory(const std::vector<uint8_t>& image, std::string* error);

} // namespace sdimage
