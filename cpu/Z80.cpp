#include "cpu/Z80.h"

#include <algorithm>
#include <cstdlib>

#include "cpu/Z80Engine.h"

using namespace z80engine;

const z80cpu::CycleTable z80cpu::MainCycles = kMainCycles;
const z80cpu::CycleTable z80cpu::CBCycles = kCBCycles;
const z80cpu::CycleTable z80cpu::EDCycles = kEDCycles;
const z80cpu::CycleTable z80cpu::IndexCycles = kIndexCycles;
const z80cpu::CycleTable z80cpu::IndexCBCycles = kIndexCBCycles;
const std::array<uint16_t, 2048> z80cpu::DaaTable = kDaaTable;

z80cpu::z80cpu() {
    std::copy(kFlagsSZ.begin(), kFlagsSZ.end(), FlagsSZ);
    std::copy(kFlagsSZP.begin(), kFlagsSZP.end(), FlagsSZP);
}

void z80cpu::Reset() { Reset(static_cast<uint32_t>(std::rand() & 0x7FFF)); }

void z80cpu::Reset(uint32_t refresh) {
    Regs = Z80Registers{};
    Regs.SP = 0xF000;
    Regs.R = refresh;
    CycleBudget = CyclePeriod;
}

// Every machine that does not run the loop as its own type: each bus access
// is a virtual call.
int z80cpu::Run() { return RunLoop<z80cpu>(*this); }

void z80cpu::Interrupt(int value) { EnterInterrupt<z80cpu>(*this, value); }
