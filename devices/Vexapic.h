// The configuration microcontroller and its 512 KB EEPROM, reached over a
// bit-banged two-wire link at port 0x0D (bit 1 clock, bit 0 data). Commands
// start with the preamble 0x88; the data burst streams EEPROM bytes back one
// per clock pulse, the others are only logged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>
#include "board/StateIO.h"

class DiagChannel;

class TVexaPIC {
public:
    static constexpr int EepromSize = 0x80000;

    // Protocol states.
    enum : int {
        WaitPreamble = 0,
        WaitCommand = 1,
        IgnoredByte1 = 2, // the two bytes after 0x25 and 0x37
        IgnoredByte2 = 3,
        ArgumentLow = 4, // three little-endian argument bytes
        ArgumentMid = 5,
        ArgumentHigh = 6,
        Burst = 7,
    };

    explicit TVexaPIC(DiagChannel* diag = nullptr);
    // Port 0x0D write. Everything happens on a rising clock edge.
    void WriteLines(bool clock, bool data);
    // Port 0x09 bit 4: a burst byte is waiting.
    bool IsDataReady() const { return DataReady; }
    // Port 0x0D read: the last burst byte, and the waiting flag cleared.
    uint8_t ReadData();
    // Copies an image file's bytes into the EEPROM from offset on. `bytes`
    // holds the start of the file named `name` (at least as much of it as fits
    // from offset on) and fileSize its whole size. Bytes that would fall
    // outside the EEPROM are left out, and what was skipped or cut is said in
    // a diagnostic, which is also returned (empty when everything fitted).
    // The EEPROM keeps its previous contents wherever nothing is loaded.
    std::string LoadEeprom(const std::vector<uint8_t>& bytes, uint64_t fileSize, int offset, const std::string& name);
    // The link only: the EEPROM, Remaining and DataByte keep their values.
    void Reset();

    // Save states: this unit's own section, written and read while the
    // processor is idle. LoadState leaves the unit as it was when it fails.
    static constexpr uint32_t StateTagId = StateTag("PIC_");
    static constexpr uint16_t StateVersion = 1;
    // The EEPROM changes only when a cold boot loads its image, so a rewind
    // snapshot (withEeprom false) leaves it out and a load keeps the present one.
    void SaveState(StateWriter& w, bool withEeprom = true) const;
    bool LoadState(StateReader& r);

    uint8_t Eeprom[EepromSize] = {};
    bool LastClock = false;
    int BitCount = 0;          // bits in ShiftRegister, 0..7
    uint8_t ShiftRegister = 0; // first bit received ends up most significant
    int State = WaitPreamble;
    uint8_t Command = 0;
    int32_t Value = 0;         // the argument being assembled; during a burst the read address
    int32_t BurstAddress = 0;
    int32_t BurstLength = 0;
    int32_t Remaining = 0;     // bytes left in the running burst (negative after a length of 0)
    bool DataReady = false;
    uint8_t DataByte = 0;

private:
    DiagChannel* diag;
    void BurstPulse();
    void ProcessByte(uint8_t b);
    void RunCommand();
};
