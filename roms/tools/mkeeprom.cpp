// mkeeprom: puts the monitor into an EEPROM image behind the header the boot
// ROM checks: "VXMN", the length and the 16-bit sum of the bytes, both
// little-endian.
//
//   mkeeprom MONITOR.bin OUTPUT.eep
#include <cstdio>
#include <string>
#include <vector>

#include "roms/tools/ToolFiles.h"

namespace {
constexpr size_t MaxMonitor = 0x4000; // the boot ROM loads 0x0800-0x47FF
}

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: mkeeprom MONITOR.bin OUTPUT.eep\n");
        return 64;
    }
    std::vector<uint8_t> monitor;
    std::string error;
    if (!ReadWholeFile(argv[1], monitor, &error)) {
        std::fprintf(stderr, "mkeeprom: %s\n", error.c_str());
        return 1;
    }
    if (monitor.empty() || monitor.size() > MaxMonitor) {
        std::fprintf(stderr, "mkeeprom: the monitor has %zu bytes; 1 to %zu fit\n", monitor.size(), MaxMonitor);
        return 1;
    }
    unsigned sum = 0;
    for (uint8_t b : monitor) sum += b;
    // "VXMN", length and sum, little-endian.
    std::vector<uint8_t> image{'V', 'X', 'M', 'N'};
    for (unsigned v : {static_cast<unsigned>(monitor.size()), sum}) {
        image.push_back(static_cast<uint8_t>(v));
        image.push_back(static_cast<uint8_t>(v >> 8));
    }
    image.insert(image.end(), monitor.begin(), monitor.end());
    if (!WriteWholeFile(argv[2], image, &error)) {
        std::fprintf(stderr, "mkeeprom: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
