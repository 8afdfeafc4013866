// The programmable interval timer: an 8-bit counter stepped every 256 CPU
// cycles that raises its flag on overflow and reloads from the seed.
#pragma once

#include <cstdint>

class TVexaTimer {
public:
    TVexaTimer();
    // After every instruction; the common case only adds.
    bool Tick(int cycles) {
        CycleAccumulator += static_cast<uint32_t>(cycles);
        if (CycleAccumulator >= 256) StepCounter();
        return IrqFlag;
    }
    void WriteSeed(uint8_t v);
    void ClearIrq();
    bool IsIrqSet() const { return IrqFlag; }
    void Reset();

    bool IrqFlag = false;
    uint8_t Reload = 0;
    uint8_t Counter = 0;
    uint32_t CycleAccumulator = 0;

private:
    void StepCounter();
};
