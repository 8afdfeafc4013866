// The Z80 processor: register file, table-driven execution, T-state
// accounting and interrupts. It knows nothing of memory or devices: every bus
// access and every notice that time has passed goes through the virtual
// operations, which the machine implements.
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
    // A table entry calls one handler: a member function of the processor
    // taking no arguments. Entries are plain function pointers to a small
    // forwarder (Call) rather than pointers to members, which would cost a
    // virtual-or-not test and an adjustment of `this` on every dispatch.
    using Handler = void (*)(z80cpu*);

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
    int CycleBudget = 50000;  // down-counting T-state budget
    uint8_t FlagsSZ[256];     // S and Z of an 8-bit result
    uint8_t FlagsSZP[256];    // S, Z and parity

    // An unbroken run of this many instructions that cost no T-states (ED 00,
    // DD DD, undefined DD CB forms...) ends Run, so that memory full of them
    // cannot keep the CPU thread from pausing or stopping.
    static constexpr int ZeroCostRunLimit = 1 << 20;

    using HandlerTable = std::array<Handler, 256>;
    using CycleTable = std::array<uint32_t, 256>;
    static const HandlerTable MainOps, CBOps, EDOps, DDOps, FDOps, DDCBOps, FDCBOps;
    static const CycleTable MainCycles, CBCycles, EDCycles, IndexCycles, IndexCBCycles;
    // New AF after DAA, indexed by A | C << 8 | H << 9 | N << 10.
    static const std::array<uint16_t, 2048> DaaTable;

protected:
    // Deleting through the base is not supported: the machine owns its destructor.
    ~z80cpu() = default;

private:
    template <int Family, std::size_t... I> static constexpr HandlerTable MakeTable(std::index_sequence<I...>);
    template <void (z80cpu::*Member)()> static void Call(z80cpu* cpu) { (cpu->*Member)(); }
    template <int Op> void OpMain();
    template <int Op> void OpCB();
    template <int Op> void OpED();
    template <int Slot, int Op> void OpIndex();
    template <int Slot, int Op> void OpIndexCB();
    template <int Slot> void PrefixIndexCB();
    void PrefixCB();
    void PrefixED();
    void PrefixDD();
    void PrefixFD();
    void PrefixIgnored();

    // Shared pieces of the handlers.
    uint8_t FetchByte();
    uint16_t FetchWord();
    uint16_t ReadWord(uint16_t address);
    void WriteWord(uint16_t address, uint16_t value);
    void Push(uint16_t value);
    uint16_t Pop();
    template <int Slot> uint16_t IndexedAddress();
    template <int Cond> bool Condition() const;
    template <int Y> void Alu(uint8_t value);
    uint8_t Inc8(uint8_t v);
    uint8_t Dec8(uint8_t v);
    template <int Y> uint8_t Rotate(uint8_t v);
    void Bit(int bit, uint8_t v);
    template <int Slot> void Add16(uint16_t value);
    void Adc16(uint16_t value);
    void Sbc16(uint16_t value);
    void BlockLoad(int dir);
    void BlockCompare(int dir);
    void BlockIn(int dir);
    void BlockOut(int dir);
    void ExecuteMain(uint8_t opcode);
};

// One instruction as a line of assembler text (at most 19 characters plus the
// terminating zero); returns the number of bytes it occupies. Reads up to four
// bytes from code; address is where they live (for relative jump targets).
int Disassemble(const uint8_t* code, char* text, uint16_t address);
