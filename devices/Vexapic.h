// The configuration microcontroller and its 512 KB EEPROM, reached over a
// bit-banged two-wire link at port 0x0D.
#pragma once

#include <cstdint>
#include <string>

class TVexaPIC {
public:
    static constexpr int EepromSize = 0x80000;

    TVexaPIC();
    void WriteLines(bool clock, bool data);
    bool IsDataReady() const;
    uint8_t ReadData();
    // Copies the file into the EEPROM from offset on; whatever would fall
    // outside the EEPROM is left out (and said in a diagnostic).
    void LoadEeprom(const std::string& path, int offset);
    void Reset();

    uint8_t Eeprom[EepromSize] = {};
};
