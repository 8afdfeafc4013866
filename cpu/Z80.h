// The Z80 processor: register file, table-driven execution, T-state
// accounting and interrupts. It knows nothing of memory or devices: every bus
// access and every notice that time has passed goes through the operations
// below, which the machine implements. Run calls them virtually; a final
// machine class can run the same loop as its own type (cpu/Z80Engine.h),
// which turns them into direct calls.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

// The register file: 19 unsigned 32-bit slots in this order. Pairs keep their
// value in the low 16 bits; the upper half is always zero. The debugger and the
// machine's Trap read this record directly, so the layout is fixed.
struct Z80Registers {
    uint32_t AF, BC, DE, HL, IX, IY, PC, SP;
    uint32_t AFAlt, BCAlt, DEAlt, HLAlt;
    uint32_t IFF1, IFF2, Halted, IM, I;
    uint32_t R;  // 32-bit refresh counter; wraps only at 2^32
    uint32_t R7; // last value written by LD R,A; only bit 7 is used
};
static_assert(sizeof(Z80Registers) == 19 * sizeof(uint32_t), "the register record has 19 slots");

class z80cpu {
public:
    z80cpu();

    // The machine interface, in slot order. The machine declares its virtual
    // destructor after these (slot 11).
    virtual uint8_t InPort(uint16_t port) = 0;
    virtual void OutPort(uint16_t port, uint8_t value) = 0;
    virtual uint8_t ReadByte(uint16_t address) = 0;
    virtual void WriteByte(uint16_t address, uint8_t value) = 0;
    virtual uint8_t ReadMem(uint16_t address) = 0;
    virtual void WriteMem(uint16_t address, uint8_t value) = 0;
    virtual void Trap(Z80Registers* regs) = 0;
    virtual void OnRETI() = 0;
    virtual void OnRETN() = 0;
    virtual bool Tick(int cycles) = 0;
    virtual int TakeInterrupt() = 0;

    // All registers 0, SP 0xF000, R random (the C library's rand()), budget
    // refilled from the period.
    void Reset();
    // The same with R given, for machines that keep their own random source.
    void Reset(uint32_t refresh);
    // Executes instructions until the budget is used up; returns Running.
    // Each bus access is a virtual call; a final machine class may hide Run
    // with an instance of the loop for its own type (cpu/Z80Engine.h).
    int Run();
    // Run with this budget and period: what a caller that runs the processor
    // for a given time uses, rather than writing the budget fields itself.
    int RunFor(int budget, int period) {
        CycleBudget = budget;
        CyclePeriod = period;
        return Run();
    }
    // -1 nothing, -2 NMI, anything else a maskable interrupt with that data-bus byte.
    void Interrupt(int value);
    void GetRegisters(Z80Registers& out) const { out = Regs; }
    uint32_t GetPC() const { return Regs.PC; }

    Z80Registers Regs{};
    int Running = 0;          // 1 while Run runs; the machine clears it to stop a run
    int CyclePeriod = 50000;  // added to the budget when Run finishes
    // Down-counting T-state budget. Run keeps it in a register: it is current
    // when Tick and Trap are called, and what they store in it takes effect.
    int CycleBudget = 50000;
    uint8_t FlagsSZ[256];     // S and Z of an 8-bit result
    uint8_t FlagsSZP[256];    // S, Z and parity

    // This many instructions that cost no T-states (ED 00, DD DD, undefined
    // DD CB forms...) in one Run end it, so that memory full of them cannot
    // keep the CPU thread from pausing or stopping. They are counted whether
    // they come in one stretch or between others: 64 KB of DD prefixes that
    // wraps round into a few instructions of ROM spends a T-state for every
    // few hundred instructions.
    static constexpr int ZeroCostRunLimit = 1 << 20;

    // T-states charged before each handler runs, per prefix family.
    using CycleTable = std::array<uint32_t, 256>;
    static const CycleTable MainCycles, CBCycles, EDCycles, IndexCycles, IndexCBCycles;
    // New AF after DAA, indexed by A | C << 8 | H << 9 | N << 10.
    static const std::array<uint16_t, 2048> DaaTable;

protected:
    // Deleting through the base is not supported: the machine owns its destructor.
    ~z80cpu() = default;

};

// One instruction as a line of assembler text (at most 19 characters plus the
// terminating zero); returns the number of bytes it occupies. Reads up to four
// bytes from code; address is where they live (for relative jump targets).
int Disassemble(const uint8_t* code, char* text, uint16_t address);
