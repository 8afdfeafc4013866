#include "devices/Vexatimer.h"

#include "diag/Diag.h"

TVexaTimer::TVexaTimer(DiagChannel* channel) : diag(channel) { Reset(); }

// Takes every whole step out of the accumulator at once: a HALT hands the rest
// of a slice over in one Tick, and stepping 256 cycles at a time through it
// would cost a loop of a thousand turns for the same result.
void TVexaTimer::StepCounter() {
    uint32_t steps = CycleAccumulator >> 8;
    CycleAccumulator &= 0xFF;

    const uint32_t toOverflow = 256u - Counter; // steps until the counter wraps to 0
    if (steps < toOverflow) {
        Counter = static_cast<uint8_t>(Counter + steps);
        return;
    }
    steps -= toOverflow;
    if (!IrqFlag) {
        IrqFlag = true;
        DIAG_POST_C(diag, DIAG_TIMER, "Timer Elapsed, IRQ Set");
    }
    // Every later overflow only reloads (the flag is already set), so what is
    // left of the steps lands somewhere inside one reload period.
    const uint32_t period = 256u - Reload;
    Counter = static_cast<uint8_t>(Reload + steps % period);
}

void TVexaTimer::WriteSeed(uint8_t v) {
    Reload = v;
    Counter = v;
    CycleAccumulator = 0;
    DIAG_POST_C(diag, DIAG_TIMER, "New Seed Value: 0x%2.2x", v);
}

void TVexaTimer::ClearIrq() {
    DIAG_POST_C(diag, DIAG_TIMER, "IRQ Cleared");
    IrqFlag = false;
}

void TVexaTimer::Reset() {
    IrqFlag = false;
    Reload = 0;
    Counter = 0;
    CycleAccumulator = 0;
}

// ---------------------------------------------------------------------------
// Save state

void TVexaTimer::SaveState(StateWriter& w) const {
    w.Bool(IrqFlag);
    w.U8(Reload);
    w.U8(Counter);
    w.U32(CycleAccumulator);
}

bool TVexaTimer::LoadState(StateReader& r) {
    const bool irq = r.Bool();
    const uint8_t reload = r.U8(), counter = r.U8();
    const uint32_t accumulator = r.U32();
    if (accumulator > 255) r.Fail();
    if (!r.Ok()) return false;
    IrqFlag = irq;
    Reload = reload;
    Counter = counter;
    CycleAccumulator = accumulator;
    return true;
}
