// A processor on a flat 64 KB memory that logs what it does: every memory and
// port access, the machine callbacks (Trap, OnRETI, OnRETN) in the same log, and
// the argument of every Tick. The processor tests and the CP/M-style harness
// share it.
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
        // 'r' memory read, 'w' memory write, 'i' port in, 'o' port out,
        // 'T' Trap, 'E' OnRETI, 'N' OnRETN (value = IFF1 at the time of the call)
        char kind;
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
    void OnRETI() override;
    void OnRETN() override;
    bool Tick(int cycles) override;
    int TakeInterrupt() override;

    // Puts bytes at an address (wrapping at 64 KB).
    void Load(uint16_t address, const std::vector<uint8_t>& bytes);
    // Runs exactly one instruction as Run does (one Tick) and returns the
    // T-states handed to Tick. The budget is large enough for any instruction
    // but HALT, which takes all of it.
    int Step();
    // Empties the access and Tick logs.
    void ClearLogs();

    uint8_t A() const { return static_cast<uint8_t>(Regs.AF >> 8); }
    uint8_t F() const { return static_cast<uint8_t>(Regs.AF); }
    void SetAF(uint8_t a, uint8_t f) { Regs.AF = static_cast<uint32_t>(a << 8 | f); }

    std::array<uint8_t, 0x10000> memory{};
    std::array<uint8_t, 0x10000> ports{}; // what IN returns, by port number
    std::vector<Access> accesses;         // filled while logAccesses is set
    std::vector<uint16_t> accessPcs;      // the record's PC at each of those accesses
    bool logAccesses = true;
    std::vector<int> ticks;               // argument of every Tick, while logTicks is set
    bool logTicks = true;
    int lastTick = 0;         // argument of the latest Tick
    uint64_t tickCount = 0;   // Ticks since construction
    uint64_t totalCycles = 0; // sum of their arguments

    // Interrupts presented as the board presents them: an NMI request that
    // TakeInterrupt clears, and a level-triggered maskable line that is
    // accepted (and cleared) only while IFF1 is 1.
    bool nmiRequest = false;
    int irqLine = -1; // data-bus byte while the line is set

    // Called at the start of every Tick with its argument: raise interrupts at
    // a chosen moment, stop a run, watch the program counter.
    std::function<void(int cycles)> onTick;
    std::function<void(Z80Registers*)> onTrap;

private:
    void Log(const Access& access);

    int stopAfterTicks_ = 0;
};
