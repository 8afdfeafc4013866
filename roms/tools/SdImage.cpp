#include "roms/tools/SdImage.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace sdimage {

namespace {

void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}
uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) { return Get16(p) | static_cast<uint32_t>(Get16(p + 2)) << 16; }

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

uint8_t Checksum(const uint8_t* block) {
    uint8_t sum = 0;
    for (size_t i = 0; i < BlockSize - 1; ++i) sum = static_cast<uint8_t>(sum + block[i]);
    return static_cast<uint8_t>(-sum);
}

} // namespace

uint16_t ProgramSum(const std::vector<uint8_t>& bytes) {
    uint16_t sum = 0;
    for (uint8_t b : bytes) sum = static_cast<uint16_t>(sum + b);
    return sum;
}

std::string CheckProgram(const Program& p) {
    if (p.name.empty() || p.name.size() > NameLength)
        return "program name '" + p.name + "' must have 1 to 16 characters";
    for (unsigned char c : p.name)
        if (c <= 0x20 || c >= 0x7F) return "program name '" + p.name + "' may only hold printable characters, no spaces";
    if (p.bytes.empty()) return "program '" + p.name + "' is empty";
    if (p.load < ProgramAreaStart) return "program '" + p.name + "' must load at 8000 or above";
    const uint32_t end = static_cast<uint32_t>(p.load) + p.bytes.size();
    if (end > 0x10000) return "program '" + p.name + "' does not fit between its load address and FFFF";
    if (p.entry < p.load || p.entry >= end) return "program '" + p.name + "' starts outside its own bytes";
    return {};
}

std::string BuildImage(const std::vector<Program>& programs, size_t minSize, std::vector<uint8_t>& image) {
    if (programs.size() > MaxEntries) return "at most 15 programs fit in the directory";
    for (size_t i = 0; i < programs.size(); ++i) {
        if (std::string why = CheckProgram(programs[i]); !why.empty()) return why;
        for (size_t j = 0; j < i; ++j)
            if (Lower(programs[j].name) == Lower(programs[i].name))
                return "two programs are called '" + programs[i].name + "'";
    }
    uint32_t next = 1;
    std::vector<uint32_t> firstBlocks;
    for (const Program& p : programs) {
        firstBlocks.push_back(next);
        next += static_cast<uint32_t>((p.bytes.size() + BlockSize - 1) / BlockSize);
    }
    if (next > ProgramAreaBlocks) return "the programs do not fit in blocks 1 to 255";

    const size_t areaBytes = ProgramAreaBlocks * BlockSize;
    image.resize(std::max({image.size(), minSize, areaBytes}), 0);
    std::fill(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(areaBytes), 0);

    uint8_t* dir = image.data();
    std::memcpy(dir, Magic, sizeof Magic);
    dir[8] = static_cast<uint8_t>(programs.size());
    Put16(dir + 10, next);
    for (size_t i = 0; i < programs.size(); ++i) {
        const Program& p = programs[i];
        uint8_t* e = dir + EntriesOffset + i * EntrySize;
        std::memcpy(e, p.name.data(), p.name.size());
        Put32(e + 16, firstBlocks[i]);
        Put16(e + 20, static_cast<uint32_t>(p.bytes.size()));
        Put16(e + 22, p.load);
        Put16(e + 24, p.entry);
        Put16(e + 26, ProgramSum(p.bytes));
        std::copy(p.bytes.begin(), p.bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(firstBlocks[i] * BlockSize));
    }
    dir[BlockSize - 1] = Checksum(dir);
    return {};
}

std::optional<std::vector<Entry>> ReadDirectory(const std::vector<uint8_t>& image, std::string* error) {
    auto fail = [&](const char* why) {
        if (error) *error = why;
        return std::nullopt;
    };
    if (image.size() < BlockSize) return fail("the image is shorter than one block");
    const uint8_t* dir = image.data();
    if (std::memcmp(dir, Magic, sizeof Magic) != 0) return fail("block 0 holds no directory");
    if (Checksum(dir) != dir[BlockSize - 1]) return fail("the directory's checksum is wrong");
    if (dir[8] > MaxEntries) return fail("the directory lists too many programs");
    std::vector<Entry> entries;
    for (size_t i = 0; i < dir[8]; ++i) {
        const uint8_t* e = dir + EntriesOffset + i * EntrySize;
        Entry entry;
        entry.name.assign(reinterpret_cast<const char*>(e), strnlen(reinterpret_cast<const char*>(e), NameLength));
        entry.firstBlock = Get32(e + 16);
        entry.length = Get16(e + 20);
        entry.load = Get16(e + 22);
        entry.entry = Get16(e + 24);
        entry.sum = Get16(e + 26);
        entries.push_back(entry);
    }
    return entries;
}

} // namespace sdimage
