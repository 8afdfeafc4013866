// The programmable interval timer: an 8-bit counter stepped every 256 CPU
// cycles that raises its flag on overflow and reloads from the seed. It always
// runs; the board decides whether the flag interrupts.
#pragma once

#include <cstdint>
#include "board/StateIO.h"

class DiagChannel;

class TVexaTimer {
public:
    explicit TVexaTimer(DiagChannel* diag = nullptr);
    // After every instruction. The common case is one add and one compare;
    // counter steps are worked out only once a whole step has gathered.
    bool Tick(int cycles) {
        CycleAccumulator += static_cast<uint32_t>(cycles);
        if (CycleAccumulator >= 256) StepCounter();
        return IrqFlag;
    }
    // T-states until the flag can next change: the counter's overflow, or
    // never while the flag is up (later overflows only reload).
    int CyclesToOverflow() const {
        if (IrqFlag) return INT32_MAX;
        return static_cast<int>(((256u - Counter) << 8) - CycleAccumulator);
    }
    // Port 0x07: restarts the count from the new seed; the flag is left alone.
    void WriteSeed(uint8_t v);
    // Port 0x02 bit 2.
    void ClearIrq();
    // Ports 0x01 and 0x09, bit 2.
    bool IsIrqSet() const { return IrqFlag; }
    void Reset();

    // Save states: this unit's own section, written and read while the
    // processor is idle. LoadState leaves the unit as it was when it fails.
    static constexpr uint32_t StateTagId = StateTag("TIMR");
    static constexpr uint16_t StateVersion = 1;
    void SaveState(StateWriter& w) const;
    bool LoadState(StateReader& r);

    bool IrqFlag = false;          // elapsed and not yet cleared
    uint8_t Reload = 0;            // the seed, loaded after every overflow
    uint8_t Counter = 0;           // one step per 256 cycles; the CPU cannot read it
    uint32_t CycleAccumulator = 0; // cycles not yet turned into steps (0..255 between calls)

private:
    DiagChannel* diag;
    void StepCounter();
};
