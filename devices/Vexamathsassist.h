// The maths assist: (multiplier x table[index]) >> 14 from a table of 256
// signed 16-bit coefficients, in the register area. The result is worked out
// lazily, when it is read, so the two halves read back to back belong to one
// product.
#pragma once

#include <cstdint>
#include "board/StateIO.h"

class DiagChannel;

class TVexaMathsAssist {
public:
    static constexpr int TableEntries = 256;

    explicit TVexaMathsAssist(DiagChannel* diag = nullptr);
    // 0x0600-0x07FF: entry offset >> 1, low byte at even offsets, high at odd.
    void WriteTableByte(uint16_t offset, uint8_t v);
    void SelectIndex(uint8_t v);          // 0x020A
    void WriteMultiplierLow(uint8_t v);   // 0x0208
    void WriteMultiplierHigh(uint8_t v);  // 0x0209
    uint8_t ReadResultLow();              // 0x0704
    uint8_t ReadResultHigh();             // 0x0705
    // The result a read would give, with nothing computed into the unit and
    // nothing logged: what a debugger shows.
    uint16_t PeekResult() const { return Dirty ? ResultOf(Multiplier, Table[Index]) : Result; }
    void Reset();

    // Save states: this unit's own section, written and read while the
    // processor is idle. LoadState leaves the unit as it was when it fails.
    static constexpr uint32_t StateTagId = StateTag("MATH");
    static constexpr uint16_t StateVersion = 1;
    void SaveState(StateWriter& w) const;
    bool LoadState(StateReader& r);

    int16_t Table[TableEntries] = {};
    uint8_t Index = 0;
    int16_t Multiplier = 0;
    uint16_t Result = 0;
    bool Dirty = false; // an input changed since Result was computed

private:
    DiagChannel* diag;
    void Compute();
    static uint16_t ResultOf(int16_t multiplier, int16_t entry);
};
