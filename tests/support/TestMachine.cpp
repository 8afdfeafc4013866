#include "support/TestMachine.h"

TestMachine::TestMachine() { Reset(); }

uint8_t TestMachine::InPort(uint16_t port) {
    const uint8_t v = ports[port];
    if (logAccesses) Log({'i', port, v});
    return v;
}

void TestMachine::OutPort(uint16_t port, uint8_t value) {
    if (logAccesses) Log({'o', port, value});
}

uint8_t TestMachine::ReadMem(uint16_t address) {
    const uint8_t v = memory[address];
    if (logAccesses) Log({'r', address, v});
    return v;
}

void TestMachine::WriteMem(uint16_t address, uint8_t value) {
    memory[address] = value;
    if (logAccesses) Log({'w', address, value});
}

void TestMachine::Trap(Z80Registers* regs) {
    if (logAccesses) Log({'T', 0, 0});
    if (onTrap) onTrap(regs);
}

void TestMachine::OnRETI() {
    if (logAccesses) Log({'E', 0, static_cast<uint8_t>(Regs.IFF1)});
}

void TestMachine::OnRETN() {
    if (logAccesses) Log({'N', 0, static_cast<uint8_t>(Regs.IFF1)});
}

bool TestMachine::Tick(int cycles) {
    if (logTicks) ticks.push_back(cycles);
    lastTick = cycles;
    ++tickCount;
    totalCycles += static_cast<uint64_t>(cycles);
    if (onTick) onTick(cycles);
    if (stopAfterTicks_ > 0 && --stopAfterTicks_ == 0) CycleBudget = 0;
    return nmiRequest || irqLine != -1;
}

int TestMachine::TakeInterrupt() {
    if (nmiRequest) {
        nmiRequest = false;
        return -2;
    }
    if (irqLine != -1 && Regs.IFF1) {
        const int v = irqLine;
        irqLine = -1;
        return v;
    }
    return -1;
}

void TestMachine::Load(uint16_t address, const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) memory[address++] = b;
}

int TestMachine::Step() {
    stopAfterTicks_ = 1;
    CycleBudget = 1 << 24;
    CyclePeriod = 0;
    Run();
    stopAfterTicks_ = 0;
    return lastTick;
}

void TestMachine::Log(const Access& access) {
    accesses.push_back(access);
    accessPcs.push_back(static_cast<uint16_t>(Regs.PC));
}

void TestMachine::ClearLogs() {
    accesses.clear();
    accessPcs.clear();
    ticks.clear();
}
