// A processor on a flat 64 KB memory that logs what it does: every port
// access, every memory access and the argument of every Tick. The processor
// tests and the CP/M-style harness share it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cpu/Z80.h"

class TestMachine final : public z80cpu {
public:
    struct Access {
        char kind; // 'r' memory read, 'w' memory write, 'i' port in, 'o' port out
        uint16_t address;
        uint8_t value;
        bool operator==(const Access&) const = default;
    };

    TestMachine();
    virtual ~TestMachine() = default;

    uint8_t InPort(uint16_t port) override;
    void OutPort(uint16_t port, uint8_t value) override;
    uint8_t ReadByte(uint16_t address) override { return ReadMem(address); }
    void WriteByte(uint16_t address, uint8_t value) override { WriteMem(address, value); }
    uint8_t ReadMem(uint16_t address) override;
    void WriteMem(uint16_t address, uint8_t value) override;
    void Trap(Z80Registers* regs) override;
    void OnRETI() override { ++retiCount; }
    void OnRETN() override { ++retnCount; }
    bool Tick(int cycles) override;
    int TakeInterrupt() override;

    // Puts bytes at an address.
    void Load(uint16_t address, const std::vector<uint8_t>& bytes);
    // Runs exactly one instruction as Run does (budget and period 1).
    void Step();
    // Runs instructions until `count` Ticks have happened.
    void StepTicks(int count);

    std::array<uint8_t, 0x10000> memory{};
    std::array<uint8_t, 0x10000> ports{}; // what IN returns, by port number
    std::vector<Access> accesses;         // filled while logAccesses is set
    bool logAccesses = true;
    std::vector<int> ticks;               // argument of every Tick
    int pendingInterrupt = -1;            // returned once by TakeInterrupt after the next Tick
    int interruptAfterTicks = -1;         // raise pendingInterrupt only after this many more Ticks
    int retiCount = 0, retnCount = 0;
    std::function<void(Z80Registers*)> onTrap;
};
