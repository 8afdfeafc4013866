#include "devices/Vexatimer.h"

// Placeholder until the timer is built: it never elapses.
TVexaTimer::TVexaTimer() { Reset(); }
void TVexaTimer::StepCounter() { CycleAccumulator &= 0xFF; }
void TVexaTimer::WriteSeed(uint8_t) {}
void TVexaTimer::ClearIrq() {}
void TVexaTimer::Reset() {
    IrqFlag = false;
    Reload = Counter = 0;
    CycleAccumulator = 0;
}
