#include "support/TestMachine.h"

TestMachine::TestMachine() { Reset(); }

uint8_t TestMachine::InPort(uint16_t port) {
    const uint8_t v = ports[port];
    if (logAccesses) accesses.push_back({'i', port, v});
    return v;
}

void TestMachine::OutPort(uint16_t port, uint8_t value) {
    if (logAccesses) accesses.push_back({'o', port, value});
}

uint8_t TestMachine::ReadMem(uint16_t address) {
    const uint8_t v = memory[address];
    if (logAccesses) accesses.push_back({'r', address, v});
    return v;
}

void TestMachine::WriteMem(uint16_t address, uint8_t value) {
    memory[address] = value;
    if (logAccesses) accesses.push_back({'w', address, value});
}

void TestMachine::Trap(Z80Registers* regs) {
    if (onTrap) onTrap(regs);
}

bool TestMachine::Tick(int cycles) {
    ticks.push_back(cycles);
    if (interruptAfterTicks > 0) {
        --interruptAfterTicks;
        return false;
    }
    return pendingInterrupt != -1;
}

int TestMachine::TakeInterrupt() {
    const int v = pendingInterrupt;
    pendingInterrupt = -1;
    return v;
}

void TestMachine::Load(uint16_t address, const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) memory[address++] = b;
}

void TestMachine::Step() {
    CycleBudget = 1;
    CyclePeriod = 1;
    Run();
}

void TestMachine::StepTicks(int count) {
    const size_t target = ticks.size() + static_cast<size_t>(count);
    while (ticks.size() < target) Step();
}
