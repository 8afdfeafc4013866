// The maths assist: (multiplier x table[index]) >> 14 from a table of 256
// signed 16-bit coefficients, in the register area.
#pragma once

#include <cstdint>

class TVexaMathsAssist {
public:
    TVexaMathsAssist();
    void WriteTableByte(uint16_t offset, uint8_t v);
    void SelectIndex(uint8_t v);
    void WriteMultiplierLow(uint8_t v);
    void WriteMultiplierHigh(uint8_t v);
    uint8_t ReadResultLow();
    uint8_t ReadResultHigh();
    void Reset();
};
