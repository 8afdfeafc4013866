// The processor's execution engine: the handlers of every instruction, the
// dispatch loop and the interrupt entry, as templates over the machine class.
// z80cpu::Run instantiates them for z80cpu itself, where every bus access is
// a virtual call. A final machine class can instantiate them for itself
// (RunLoop<Board>) so that its bus operations are direct calls that the
// compiler inlines; the instructions, their T-states and the order of the
// accesses are the same code either way. Include this only in the one file
// that instantiates the loop: it is large and slow to compile.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <utility>

#include "cpu/Z80.h"

static_assert(std::endian::native == std::endian::little, "register byte halves assume a little-endian host");

namespace z80engine {

enum : uint8_t { SF = 0x80, ZF = 0x40, YF = 0x20, HF = 0x10, XF = 0x08, PF = 0x04, NF = 0x02, CF = 0x01 };

// Register slots of the record, as used by the index templates.
inline constexpr int SlotAF = 0, SlotBC = 1, SlotDE = 2, SlotHL = 3, SlotIX = 4, SlotIY = 5, SlotSP = 7;

// Byte offset inside the register record of the 8-bit register with Z80 code
// 0-7 (B C D E H L - A); H and L come from the slot given, so that the index
// forms read IXH/IXL or IYH/IYL through the same code.
template <int Code, int HSlot> inline constexpr int Reg8Offset() {
    static_assert(Code != 6, "code 6 is the memory operand");
    constexpr int offsets[8] = {SlotBC * 4 + 1, SlotBC * 4,     SlotDE * 4 + 1, SlotDE * 4,
                                HSlot * 4 + 1,  HSlot * 4,      -1,             SlotAF * 4 + 1};
    return offsets[Code];
}

inline uint8_t* RegBytes(Z80Registers& r) { return reinterpret_cast<uint8_t*>(&r); }
inline const uint8_t* RegBytes(const Z80Registers& r) { return reinterpret_cast<const uint8_t*>(&r); }

template <int Code, int HSlot> inline uint8_t& R8(Z80Registers& r) { return RegBytes(r)[Reg8Offset<Code, HSlot>()]; }
inline uint8_t& RegA(Z80Registers& r) { return RegBytes(r)[SlotAF * 4 + 1]; }
inline uint8_t& RegF(Z80Registers& r) { return RegBytes(r)[SlotAF * 4]; }
inline uint8_t& RegB(Z80Registers& r) { return RegBytes(r)[SlotBC * 4 + 1]; }
inline uint8_t& RegC(Z80Registers& r) { return RegBytes(r)[SlotBC * 4]; }
// The 19 slots of the record as an array: indexing past &r.AF would step
// outside the object the pointer points to, which is undefined behaviour
// however the fields are laid out. A constant slot folds to a plain field.
inline constexpr std::array<uint32_t Z80Registers::*, 19> kSlots = {
    &Z80Registers::AF,    &Z80Registers::BC,    &Z80Registers::DE,    &Z80Registers::HL,    &Z80Registers::IX,
    &Z80Registers::IY,    &Z80Registers::PC,    &Z80Registers::SP,    &Z80Registers::AFAlt, &Z80Registers::BCAlt,
    &Z80Registers::DEAlt, &Z80Registers::HLAlt, &Z80Registers::IFF1,  &Z80Registers::IFF2,  &Z80Registers::Halted,
    &Z80Registers::IM,    &Z80Registers::I,     &Z80Registers::R,     &Z80Registers::R7};
inline uint32_t& Pair16(Z80Registers& r, int slot) { return r.*kSlots[slot]; }

// The 16-bit pair of "rr" codes 0-3 (BC DE HL SP), with HL replaced by an index slot.
template <int P, int HSlot> inline constexpr int PairSlot() {
    constexpr int slots[4] = {SlotBC, SlotDE, HSlot, SlotSP};
    return slots[P];
}
// The pair of PUSH/POP codes 0-3 (BC DE HL AF).
template <int P, int HSlot> inline constexpr int StackPairSlot() {
    constexpr int slots[4] = {SlotBC, SlotDE, HSlot, SlotAF};
    return slots[P];
}

inline constexpr std::array<uint8_t, 256> MakeFlagsSZ(bool parity) {
    std::array<uint8_t, 256> t{};
    for (int v = 0; v < 256; ++v)
        t[v] = static_cast<uint8_t>((v & SF) | (v == 0 ? ZF : 0) |
                                    (parity && !(std::popcount(static_cast<unsigned>(v)) & 1) ? PF : 0));
    return t;
}
// The handlers read these constants; the object's FlagsSZ and FlagsSZP
// members are copies of them for whoever reads the tables from outside.
inline constexpr std::array<uint8_t, 256> kFlagsSZ = MakeFlagsSZ(false), kFlagsSZP = MakeFlagsSZ(true);

// Everything INC r and DEC r set but the carry they keep, by the new value r:
// H when the low nibble carried (INC: it is now 0) or borrowed (DEC: it was
// 0), V when the sign turned over (INC: now 0x80; DEC: was 0x80).
inline constexpr std::array<uint8_t, 256> MakeIncDecFlags(bool dec) {
    std::array<uint8_t, 256> t{};
    for (int r = 0; r < 256; ++r) {
        const int old = (dec ? r + 1 : r - 1) & 0xFF;
        const bool half = dec ? (old & 0x0F) == 0 : (r & 0x0F) == 0;
        const bool overflow = dec ? old == 0x80 : r == 0x80;
        t[r] = static_cast<uint8_t>(kFlagsSZ[r] | (half ? HF : 0) | (overflow ? PF : 0) | (dec ? NF : 0));
    }
    return t;
}
inline constexpr std::array<uint8_t, 256> kIncFlags = MakeIncDecFlags(false), kDecFlags = MakeIncDecFlags(true);

inline constexpr std::array<uint16_t, 2048> MakeDaaTable() {
    std::array<uint16_t, 2048> table{};
    for (int index = 0; index < 2048; ++index) {
        const int a = index & 0xFF, c = (index >> 8) & 1, h = (index >> 9) & 1, n = (index >> 10) & 1;
        int correction = 0;
        if (c || a > 0x99) correction = 0x60;
        if (h || (a & 0x0F) > 9) correction += 0x06;
        const int result = (n ? a - correction : a + correction) & 0xFF;
        const int carry = (c || a > 0x99) ? 1 : 0;
        const int half = n ? (h && (a & 0x0F) < 6) : ((a & 0x0F) > 9);
        const int parity = (std::popcount(static_cast<unsigned>(result)) & 1) ? 0 : PF;
        const int flags = (result & SF) | (result == 0 ? ZF : 0) | (result & (YF | XF)) | (half << 4) | parity |
                          (n << 1) | carry;
        table[index] = static_cast<uint16_t>((result << 8) | flags);
    }
    return table;
}
inline constexpr std::array<uint16_t, 2048> kDaaTable = MakeDaaTable();

// T-states charged by the dispatcher. Conditional instructions hold their
// not-taken cost; the handlers add the rest. Several figures differ from a real
// Z80 (RET 4+6, CALL 10+7, LD SP,HL 6, ...): they are this machine's own and
// software timing loops written for it rely on them.
inline constexpr std::array<uint32_t, 256> kMainCycles = {
    4, 10, 7, 6, 4, 4, 7, 4, 4, 11, 7, 6, 4, 4, 7, 4,
    8, 10, 7, 6, 4, 4, 7, 4, 7, 11, 7, 6, 4, 4, 7, 4,
    7, 10, 16, 6, 4, 4, 7, 4, 7, 11, 16, 6, 4, 4, 7, 4,
    7, 10, 13, 6, 11, 11, 10, 4, 7, 11, 13, 6, 4, 4, 7, 4,
    4, 4, 4, 4, 4, 4, 7, 4, 4, 4, 4, 4, 4, 4, 7, 4,
    4, 4, 4, 4, 4, 4, 7, 4, 4, 4, 4, 4, 4, 4, 7, 4,
    4, 4, 4, 4, 4, 4, 7, 4, 4, 4, 4, 4, 4, 4, 7, 4,
    7, 7, 7, 7, 7, 7, 4, 7, 4, 4, 4, 4, 4, 4, 7, 4,
    4, 4, 4, 4, 4, 4, 7, 4, 4, 4, 4, 4, 4, 4, 7, 4,
    4, 4, 4, 4, 4, 4, 7, 4, 4, 4, 4, 4, 4, 4, 7, 4,
    4, 4, 4, 4, 4, 4, 7, 4, 4, 4, 4, 4, 4, 4, 7, 4,
    4, 4, 4, 4, 4, 4, 7, 4, 4, 4, 4, 4, 4, 4, 7, 4,
    5, 10, 10, 10, 10, 11, 7, 11, 5, 4, 10, 0, 10, 10, 7, 11,
    5, 10, 10, 11, 10, 11, 7, 11, 5, 4, 10, 11, 10, 0, 7, 11,
    5, 10, 10, 19, 10, 11, 7, 11, 5, 4, 10, 4, 10, 0, 7, 11,
    5, 10, 10, 4, 10, 11, 7, 11, 5, 6, 10, 4, 10, 0, 7, 11,
};

inline constexpr std::array<uint32_t, 256> MakeCBCycles() {
    std::array<uint32_t, 256> t{};
    for (int op = 0; op < 256; ++op) {
        if ((op & 7) != 6) t[op] = 8;
        else if (op >= 0x40 && op < 0x80) t[op] = 12; // BIT b,(HL)
        else t[op] = 15;
    }
    return t;
}

// Undefined ED opcodes, the trap ED FE and the eight repeating block
// instructions cost 0 from this table: the repeats charge their own 5.
inline constexpr std::array<uint32_t, 256> MakeEDCycles() {
    std::array<uint32_t, 256> t{};
    for (int op : {0x44, 0x45, 0x46, 0x4C, 0x4D, 0x4E, 0x54, 0x55, 0x56, 0x5C, 0x5D, 0x5E,
                   0x64, 0x65, 0x66, 0x6C, 0x6D, 0x6E, 0x74, 0x75, 0x76, 0x7C, 0x7D, 0x7E})
        t[op] = 8;
    for (int op : {0x47, 0x4F, 0x57, 0x5F}) t[op] = 9;
    for (int op : {0x40, 0x41, 0x48, 0x49, 0x50, 0x51, 0x58, 0x59, 0x60, 0x61, 0x68, 0x69, 0x70, 0x71, 0x78, 0x79})
        t[op] = 12;
    for (int op : {0x42, 0x4A, 0x52, 0x5A, 0x62, 0x6A, 0x72, 0x7A}) t[op] = 15;
    for (int op : {0xA0, 0xA1, 0xA2, 0xA3, 0xA8, 0xA9, 0xAA, 0xAB}) t[op] = 16;
    for (int op : {0x67, 0x6F}) t[op] = 18;
    for (int op : {0x43, 0x4B, 0x53, 0x5B, 0x63, 0x6B, 0x73, 0x7B}) t[op] = 20;
    return t;
}

// Shared by DD and FD. LD H,(IX+d), LD L,(IX+d), LD IXH,n and LD IXL,n cost 9
// and DD 76 costs 19 before its HALT runs: this machine's figures, kept as they are.
inline constexpr std::array<uint32_t, 256> MakeIndexCycles() {
    std::array<uint32_t, 256> t{};
    t[0xE9] = 8;
    for (int op : {0x24, 0x25, 0x26, 0x2C, 0x2D, 0x2E, 0x44, 0x45, 0x4C, 0x4D, 0x54, 0x55, 0x5C, 0x5D, 0x7C, 0x7D,
                   0x84, 0x85, 0x8C, 0x8D, 0x94, 0x95, 0x9C, 0x9D, 0xA4, 0xA5, 0xAC, 0xAD, 0xB4, 0xB5, 0xBC, 0xBD})
        t[op] = 9;
    for (int op = 0x60; op <= 0x6F; ++op) t[op] = 9;
    for (int op : {0x23, 0x2B, 0xF9}) t[op] = 10;
    for (int op : {0x21, 0xE1}) t[op] = 14;
    for (int op : {0x09, 0x19, 0x29, 0x39, 0xE5}) t[op] = 15;
    for (int op : {0x36, 0x46, 0x4E, 0x56, 0x5E, 0x7E, 0x86, 0x8E, 0x96, 0x9E, 0xA6, 0xAE, 0xB6, 0xBE}) t[op] = 19;
    for (int op = 0x70; op <= 0x77; ++op) t[op] = 19;
    for (int op : {0x22, 0x2A}) t[op] = 20;
    for (int op : {0x34, 0x35, 0xE3}) t[op] = 23;
    return t;
}

inline constexpr std::array<uint32_t, 256> MakeIndexCBCycles() {
    std::array<uint32_t, 256> t{};
    for (int op = 0; op < 256; ++op) {
        if (op >= 0x40 && op < 0x80) t[op] = 20;                                   // BIT b,(X+d), any z
        else if ((op & 7) == 6 && (op < 0x40 || op >= 0x80)) t[op] = 23;           // rotate, RES, SET
    }
    return t;
}

inline constexpr auto kCBCycles = MakeCBCycles();
inline constexpr auto kEDCycles = MakeEDCycles();
inline constexpr auto kIndexCycles = MakeIndexCycles();
inline constexpr auto kIndexCBCycles = MakeIndexCBCycles();

// Opcodes (after DD or FD) that have an index form; the rest ignore the prefix.
inline constexpr bool HasIndexForm(int op) {
    if (op == 0x76) return false;
    const int x = op >> 6, y = (op >> 3) & 7, z = op & 7;
    switch (x) {
    case 0:
        switch (op) {
        case 0x09: case 0x19: case 0x21: case 0x22: case 0x23: case 0x24: case 0x25: case 0x26:
        case 0x29: case 0x2A: case 0x2B: case 0x2C: case 0x2D: case 0x2E: case 0x34: case 0x35:
        case 0x36: case 0x39:
            return true;
        default:
            return false;
        }
    case 1:
        return y == 4 || y == 5 || y == 6 || z == 4 || z == 5 || z == 6;
    case 2:
        return z == 4 || z == 5 || z == 6;
    default:
        return op == 0xE1 || op == 0xE3 || op == 0xE5 || op == 0xE9 || op == 0xF9;
    }
}


// loop of Run, where a call per operand byte or flag update would cost more
// than the work. The sanitizer builds leave it to the compiler, which would
// otherwise spend many minutes instrumenting the one huge function.
#ifdef VEXA_Z80_SWITCH_DISPATCH
#define Z80_INLINE inline
#else
#define Z80_INLINE __attribute__((always_inline)) inline
#endif

// The execution engine: every handler, inlined into the loop of Run, with the
// program counter and the T-states of the current instruction in locals that
// the compiler keeps in registers. The program counter is written to the
// register record before every call into the machine, which may read it (ports
// log it, Tick compares it with the breakpoint), and read back after the calls
// that may change it. The budget stays in the object and is charged once per
// instruction, before Tick, so it is current whenever Tick or Trap runs.
template <class M> struct Engine {
    M& cpu;
    uint32_t pc;
    int spent = 0; // T-states of the instruction so far

    explicit Engine(M& c) : cpu(c), pc(c.Regs.PC) {}
    Z80_INLINE void Charge(int cycles) { spent += cycles; }
    // Charges the budget with the instruction's T-states and publishes PC.
    Z80_INLINE void Finish() {
        cpu.CycleBudget -= spent;
        cpu.Regs.PC = pc;
    }

    // The machine's operations, with the program counter made current first.
    // For a final machine class these are direct calls that the compiler
    // can inline; for z80cpu itself they go through the virtual table.
    Z80_INLINE uint8_t ReadMem(uint16_t a) {
        cpu.Regs.PC = pc;
        return cpu.ReadMem(a);
    }
    Z80_INLINE void WriteMem(uint16_t a, uint8_t v) {
        cpu.Regs.PC = pc;
        cpu.WriteMem(a, v);
    }
    Z80_INLINE uint8_t InPort(uint16_t port) {
        cpu.Regs.PC = pc;
        return cpu.InPort(port);
    }
    Z80_INLINE void OutPort(uint16_t port, uint8_t v) {
        cpu.Regs.PC = pc;
        cpu.OutPort(port, v);
    }
    Z80_INLINE void OnRETI() {
        cpu.Regs.PC = pc;
        cpu.OnRETI();
    }
    Z80_INLINE void OnRETN() {
        cpu.Regs.PC = pc;
        cpu.OnRETN();
    }
    // Whatever Trap does to the budget counts as part of the instruction.
    Z80_INLINE void Trap() {
        const int budget = cpu.CycleBudget;
        cpu.CycleBudget = budget - spent;
        cpu.Regs.PC = pc;
        cpu.Trap(&cpu.Regs);
        pc = cpu.Regs.PC;
        spent = budget - cpu.CycleBudget;
    }

    Z80_INLINE uint8_t FetchByte() {
        const uint8_t v = ReadMem(static_cast<uint16_t>(pc));
        pc = (pc + 1) & 0xFFFF;
        return v;
    }

    enum { FamilyCB, FamilyED, FamilyDD, FamilyFD };
    template <int Op> Z80_INLINE bool StepMain();
    template <int Family, int Op> Z80_INLINE void Step();
    template <int Family> Z80_INLINE void Prefix();
    Z80_INLINE void ExecMain(uint8_t op);
    void Interrupt(int value);
    template <int Op> Z80_INLINE bool OpMain();
    template <int Op> Z80_INLINE void OpCB();
    template <int Op> Z80_INLINE void OpED();
    template <int Slot, int Op> Z80_INLINE void OpIndex();
    template <int Slot, int Op> Z80_INLINE void OpIndexCB();
    template <int Slot> Z80_INLINE void PrefixIndexCB();
    Z80_INLINE void PrefixIgnored();

    Z80_INLINE uint16_t FetchWord();
    Z80_INLINE uint16_t ReadWord(uint16_t address);
    Z80_INLINE void WriteWord(uint16_t address, uint16_t value);
    Z80_INLINE void Push(uint16_t value);
    Z80_INLINE uint16_t Pop();
    template <int Slot> Z80_INLINE uint16_t IndexedAddress();
    template <int Cond> Z80_INLINE bool Condition() const;
    template <int Y> Z80_INLINE void Alu(uint8_t value);
    Z80_INLINE uint8_t Inc8(uint8_t v);
    Z80_INLINE uint8_t Dec8(uint8_t v);
    template <int Y> Z80_INLINE uint8_t Rotate(uint8_t v);
    Z80_INLINE void Bit(int bit, uint8_t v);
    template <int Slot> Z80_INLINE void Add16(uint16_t value);
    Z80_INLINE void Adc16(uint16_t value);
    Z80_INLINE void Sbc16(uint16_t value);
    Z80_INLINE void BlockLoad(int dir);
    Z80_INLINE void BlockCompare(int dir);
    Z80_INLINE void BlockIn(int dir);
    Z80_INLINE void BlockOut(int dir);
};

// ---------------------------------------------------------------------------
// Shared pieces

template <class M> Z80_INLINE uint16_t Engine<M>::FetchWord() {
    const uint8_t lo = FetchByte();
    const uint8_t hi = FetchByte();
    return static_cast<uint16_t>(lo | (hi << 8));
}

template <class M> Z80_INLINE uint16_t Engine<M>::ReadWord(uint16_t address) {
    const uint8_t lo = ReadMem(address);
    const uint8_t hi = ReadMem(static_cast<uint16_t>(address + 1));
    return static_cast<uint16_t>(lo | (hi << 8));
}

template <class M> Z80_INLINE void Engine<M>::WriteWord(uint16_t address, uint16_t value) {
    WriteMem(address, static_cast<uint8_t>(value));
    WriteMem(static_cast<uint16_t>(address + 1), static_cast<uint8_t>(value >> 8));
}

template <class M> Z80_INLINE void Engine<M>::Push(uint16_t value) {
    cpu.Regs.SP = (cpu.Regs.SP - 2) & 0xFFFF;
    WriteWord(static_cast<uint16_t>(cpu.Regs.SP), value);
}

template <class M> Z80_INLINE uint16_t Engine<M>::Pop() {
    const uint16_t v = ReadWord(static_cast<uint16_t>(cpu.Regs.SP));
    cpu.Regs.SP = (cpu.Regs.SP + 2) & 0xFFFF;
    return v;
}

template <class M> template <int Slot> Z80_INLINE uint16_t Engine<M>::IndexedAddress() {
    const int8_t d = static_cast<int8_t>(FetchByte());
    return static_cast<uint16_t>(Pair16(cpu.Regs, Slot) + d);
}

template <class M> template <int Cond> Z80_INLINE bool Engine<M>::Condition() const {
    const uint8_t f = RegBytes(cpu.Regs)[0];
    switch (Cond) {
    case 0: return !(f & ZF);
    case 1: return f & ZF;
    case 2: return !(f & CF);
    case 3: return f & CF;
    case 4: return !(f & PF);
    case 5: return f & PF;
    case 6: return !(f & SF);
    default: return f & SF;
    }
}

// ADD ADC SUB SBC AND XOR OR CP, by the opcode's y field.
template <class M> template <int Y> Z80_INLINE void Engine<M>::Alu(uint8_t v) {
    uint8_t& a = RegA(cpu.Regs);
    uint8_t& f = RegF(cpu.Regs);
    if constexpr (Y == 0 || Y == 1) {
        const unsigned carry = (Y == 1) ? (f & CF) : 0;
        const unsigned res = a + v + carry;
        f = static_cast<uint8_t>(kFlagsSZ[res & 0xFF] | ((a ^ v ^ res) & HF) |
                                 ((((a ^ v ^ 0x80) & (v ^ res)) >> 5) & PF) | ((res >> 8) & CF));
        a = static_cast<uint8_t>(res);
    } else if constexpr (Y == 2 || Y == 3 || Y == 7) {
        const unsigned carry = (Y == 3) ? (f & CF) : 0;
        const unsigned res = a - v - carry;
        f = static_cast<uint8_t>(kFlagsSZ[res & 0xFF] | ((a ^ v ^ res) & HF) | ((((a ^ v) & (a ^ res)) >> 5) & PF) |
                                 NF | ((res >> 8) & CF));
        if constexpr (Y != 7) a = static_cast<uint8_t>(res);
    } else if constexpr (Y == 4) {
        a &= v;
        f = static_cast<uint8_t>(kFlagsSZP[a] | HF);
    } else if constexpr (Y == 5) {
        a ^= v;
        f = kFlagsSZP[a];
    } else {
        a |= v;
        f = kFlagsSZP[a];
    }
}

template <class M> Z80_INLINE uint8_t Engine<M>::Inc8(uint8_t v) {
    const uint8_t r = static_cast<uint8_t>(v + 1);
    uint8_t& f = RegF(cpu.Regs);
    f = static_cast<uint8_t>((f & CF) | kIncFlags[r]);
    return r;
}

template <class M> Z80_INLINE uint8_t Engine<M>::Dec8(uint8_t v) {
    const uint8_t r = static_cast<uint8_t>(v - 1);
    uint8_t& f = RegF(cpu.Regs);
    f = static_cast<uint8_t>((f & CF) | kDecFlags[r]);
    return r;
}

// RLC RRC RL RR SLA SRA SLL SRL, by the CB opcode's y field.
template <class M> template <int Y> Z80_INLINE uint8_t Engine<M>::Rotate(uint8_t v) {
    uint8_t& f = RegF(cpu.Regs);
    unsigned r = 0, carry = 0;
    if constexpr (Y == 0) { r = (v << 1) | (v >> 7); carry = v >> 7; }
    else if constexpr (Y == 1) { r = (v >> 1) | (v << 7); carry = v & 1; }
    else if constexpr (Y == 2) { r = (v << 1) | (f & CF); carry = v >> 7; }
    else if constexpr (Y == 3) { r = (v >> 1) | ((f & CF) << 7); carry = v & 1; }
    else if constexpr (Y == 4) { r = v << 1; carry = v >> 7; }
    else if constexpr (Y == 5) { r = (v >> 1) | (v & 0x80); carry = v & 1; }
    else if constexpr (Y == 6) { r = (v << 1) | 1; carry = v >> 7; }
    else { r = v >> 1; carry = v & 1; }
    r &= 0xFF;
    f = static_cast<uint8_t>(kFlagsSZP[r] | carry);
    return static_cast<uint8_t>(r);
}

// BIT: P/V is always 0 here and bits 5 and 3 are cleared (this machine's rule).
template <class M> Z80_INLINE void Engine<M>::Bit(int bit, uint8_t v) {
    uint8_t& f = RegF(cpu.Regs);
    const bool set = (v >> bit) & 1;
    f = static_cast<uint8_t>((f & CF) | HF | (set ? 0 : ZF) | ((bit == 7 && set) ? SF : 0));
}

template <class M> template <int Slot> Z80_INLINE void Engine<M>::Add16(uint16_t value) {
    uint32_t& target = Pair16(cpu.Regs, Slot);
    const uint32_t res = target + value;
    uint8_t& f = RegF(cpu.Regs);
    f = static_cast<uint8_t>((f & (SF | ZF | PF)) | (((target ^ value ^ res) >> 8) & HF) | ((res >> 16) & CF));
    target = res & 0xFFFF;
}

template <class M> Z80_INLINE void Engine<M>::Adc16(uint16_t value) {
    const uint32_t hl = cpu.Regs.HL;
    const uint32_t res = hl + value + (RegF(cpu.Regs) & CF);
    RegF(cpu.Regs) = static_cast<uint8_t>(((res >> 8) & SF) | ((res & 0xFFFF) == 0 ? ZF : 0) |
                                      (((hl ^ value ^ res) >> 8) & HF) |
                                      ((((hl ^ value ^ 0x8000) & (value ^ res)) >> 13) & PF) | ((res >> 16) & CF));
    cpu.Regs.HL = res & 0xFFFF;
}

template <class M> Z80_INLINE void Engine<M>::Sbc16(uint16_t value) {
    const uint32_t hl = cpu.Regs.HL;
    const uint32_t res = hl - value - (RegF(cpu.Regs) & CF);
    RegF(cpu.Regs) = static_cast<uint8_t>(((res >> 8) & SF) | ((res & 0xFFFF) == 0 ? ZF : 0) |
                                      (((hl ^ value ^ res) >> 8) & HF) |
                                      ((((hl ^ value) & (hl ^ res)) >> 13) & PF) | NF | ((res >> 16) & CF));
    cpu.Regs.HL = res & 0xFFFF;
}

// One step of LDI/LDD: S, Z, C and bits 5 and 3 are kept.
template <class M> Z80_INLINE void Engine<M>::BlockLoad(int dir) {
    const uint8_t v = ReadMem(static_cast<uint16_t>(cpu.Regs.HL));
    WriteMem(static_cast<uint16_t>(cpu.Regs.DE), v);
    cpu.Regs.DE = (cpu.Regs.DE + dir) & 0xFFFF;
    cpu.Regs.HL = (cpu.Regs.HL + dir) & 0xFFFF;
    cpu.Regs.BC = (cpu.Regs.BC - 1) & 0xFFFF;
    uint8_t& f = RegF(cpu.Regs);
    f = static_cast<uint8_t>((f & (SF | ZF | YF | XF | CF)) | (cpu.Regs.BC != 0 ? PF : 0));
}

template <class M> Z80_INLINE void Engine<M>::BlockCompare(int dir) {
    const uint8_t v = ReadMem(static_cast<uint16_t>(cpu.Regs.HL));
    cpu.Regs.HL = (cpu.Regs.HL + dir) & 0xFFFF;
    cpu.Regs.BC = (cpu.Regs.BC - 1) & 0xFFFF;
    const unsigned a = RegA(cpu.Regs);
    const unsigned res = a - v;
    uint8_t& f = RegF(cpu.Regs);
    f = static_cast<uint8_t>((f & CF) | NF | kFlagsSZ[res & 0xFF] | ((a ^ v ^ res) & HF) | (cpu.Regs.BC != 0 ? PF : 0));
}

template <class M> Z80_INLINE void Engine<M>::BlockIn(int dir) {
    uint8_t& b = RegB(cpu.Regs);
    --b;
    const uint8_t v = InPort(static_cast<uint16_t>((b << 8) | RegC(cpu.Regs)));
    WriteMem(static_cast<uint16_t>(cpu.Regs.HL), v);
    cpu.Regs.HL = (cpu.Regs.HL + dir) & 0xFFFF;
    RegF(cpu.Regs) = static_cast<uint8_t>(NF | (b == 0 ? ZF : 0));
}

template <class M> Z80_INLINE void Engine<M>::BlockOut(int dir) {
    uint8_t& b = RegB(cpu.Regs);
    --b;
    const uint8_t v = ReadMem(static_cast<uint16_t>(cpu.Regs.HL));
    OutPort(static_cast<uint16_t>((b << 8) | RegC(cpu.Regs)), v);
    cpu.Regs.HL = (cpu.Regs.HL + dir) & 0xFFFF;
    RegF(cpu.Regs) = static_cast<uint8_t>(NF | (b == 0 ? ZF : 0));
}

// ---------------------------------------------------------------------------
// Unprefixed instructions

template <class M> template <int Op> Z80_INLINE bool Engine<M>::OpMain() {
    constexpr int x = Op >> 6, y = (Op >> 3) & 7, z = Op & 7, p = y >> 1, q = y & 1;
    Z80Registers& r = cpu.Regs;
    uint8_t& a = RegA(r);
    uint8_t& f = RegF(r);

    if constexpr (x == 1) {
        if constexpr (Op == 0x76) { // HALT: fetched again until an interrupt; the rest of the slice goes to Tick
            pc = (pc - 1) & 0xFFFF;
            r.Halted = 1;
            if (cpu.CycleBudget - spent > 0) spent = cpu.CycleBudget;
        } else if constexpr (z == 6) {
            R8<y, SlotHL>(r) = ReadMem(static_cast<uint16_t>(r.HL));
        } else if constexpr (y == 6) {
            WriteMem(static_cast<uint16_t>(r.HL), R8<z, SlotHL>(r));
        } else {
            R8<y, SlotHL>(r) = R8<z, SlotHL>(r);
        }
    } else if constexpr (x == 2) {
        if constexpr (z == 6) Alu<y>(ReadMem(static_cast<uint16_t>(r.HL)));
        else Alu<y>(R8<z, SlotHL>(r));
    } else if constexpr (x == 0) {
        if constexpr (z == 0) {
            if constexpr (y == 0) {
            } else if constexpr (y == 1) {
                std::swap(r.AF, r.AFAlt);
            } else if constexpr (y == 2) { // DJNZ
                uint8_t& b = RegB(r);
                --b;
                if (b != 0) {
                    const int8_t e = static_cast<int8_t>(FetchByte());
                    pc = (pc + e) & 0xFFFF;
                    Charge(5);
                } else {
                    pc = (pc + 1) & 0xFFFF;
                }
            } else if constexpr (y == 3) { // JR e
                const int8_t e = static_cast<int8_t>(FetchByte());
                pc = (pc + e) & 0xFFFF;
                Charge(5);
            } else { // JR cc,e
                if (Condition<y - 4>()) {
                    const int8_t e = static_cast<int8_t>(FetchByte());
                    pc = (pc + e) & 0xFFFF;
                    Charge(5);
                } else {
                    pc = (pc + 1) & 0xFFFF;
                }
            }
        } else if constexpr (z == 1) {
            if constexpr (q == 0) Pair16(r, PairSlot<p, SlotHL>()) = FetchWord();
            else Add16<SlotHL>(static_cast<uint16_t>(Pair16(r, PairSlot<p, SlotHL>())));
        } else if constexpr (z == 2) {
            if constexpr (Op == 0x02) WriteMem(static_cast<uint16_t>(r.BC), a);
            else if constexpr (Op == 0x12) WriteMem(static_cast<uint16_t>(r.DE), a);
            else if constexpr (Op == 0x22) WriteWord(FetchWord(), static_cast<uint16_t>(r.HL));
            else if constexpr (Op == 0x32) WriteMem(FetchWord(), a);
            else if constexpr (Op == 0x0A) a = ReadMem(static_cast<uint16_t>(r.BC));
            else if constexpr (Op == 0x1A) a = ReadMem(static_cast<uint16_t>(r.DE));
            else if constexpr (Op == 0x2A) r.HL = ReadWord(FetchWord());
            else a = ReadMem(FetchWord());
        } else if constexpr (z == 3) {
            uint32_t& rr = Pair16(r, PairSlot<p, SlotHL>());
            rr = (q == 0 ? rr + 1 : rr - 1) & 0xFFFF;
        } else if constexpr (z == 4 || z == 5) {
            if constexpr (y == 6) {
                const uint16_t addr = static_cast<uint16_t>(r.HL);
                const uint8_t v = ReadMem(addr);
                WriteMem(addr, z == 4 ? Inc8(v) : Dec8(v));
            } else {
                uint8_t& reg = R8<y, SlotHL>(r);
                reg = (z == 4) ? Inc8(reg) : Dec8(reg);
            }
        } else if constexpr (z == 6) {
            if constexpr (y == 6) {
                const uint8_t n = FetchByte();
                WriteMem(static_cast<uint16_t>(r.HL), n);
            } else {
                R8<y, SlotHL>(r) = FetchByte();
            }
        } else { // z == 7: accumulator rotates and flag operations; bits 5 and 3 are kept
            constexpr uint8_t keepSZP = SF | ZF | YF | XF | PF;
            if constexpr (y == 0) {
                const uint8_t c = a >> 7;
                a = static_cast<uint8_t>((a << 1) | c);
                f = static_cast<uint8_t>((f & keepSZP) | c);
            } else if constexpr (y == 1) {
                const uint8_t c = a & 1;
                a = static_cast<uint8_t>((a >> 1) | (c << 7));
                f = static_cast<uint8_t>((f & keepSZP) | c);
            } else if constexpr (y == 2) {
                const uint8_t c = a >> 7;
                a = static_cast<uint8_t>((a << 1) | (f & CF));
                f = static_cast<uint8_t>((f & keepSZP) | c);
            } else if constexpr (y == 3) {
                const uint8_t c = a & 1;
                a = static_cast<uint8_t>((a >> 1) | ((f & CF) << 7));
                f = static_cast<uint8_t>((f & keepSZP) | c);
            } else if constexpr (y == 4) {
                const uint16_t af = kDaaTable[a | ((f & CF) << 8) | (((f >> 4) & 1) << 9) | (((f >> 1) & 1) << 10)];
                r.AF = af;
            } else if constexpr (y == 5) {
                a ^= 0xFF;
                f = static_cast<uint8_t>(f | HF | NF);
            } else if constexpr (y == 6) {
                f = static_cast<uint8_t>((f & (SF | ZF | YF | XF | PF)) | CF);
            } else {
                f = static_cast<uint8_t>((f & (SF | ZF | YF | XF | PF)) | ((f & CF) << 4) | ((f & CF) ^ CF));
            }
        }
    } else { // x == 3
        if constexpr (z == 0) { // RET cc
            if (Condition<y>()) {
                pc = Pop();
                Charge(6);
            }
        } else if constexpr (z == 1) {
            if constexpr (q == 0) Pair16(r, StackPairSlot<p, SlotHL>()) = Pop();
            else if constexpr (p == 0) { pc = Pop(); Charge(6); }
            else if constexpr (p == 1) { std::swap(r.BC, r.BCAlt); std::swap(r.DE, r.DEAlt); std::swap(r.HL, r.HLAlt); }
            else if constexpr (p == 2) pc = r.HL;
            else r.SP = r.HL;
        } else if constexpr (z == 2) { // JP cc,nn: 10 either way
            if (Condition<y>()) pc = FetchWord();
            else pc = (pc + 2) & 0xFFFF;
        } else if constexpr (z == 3) {
            if constexpr (y == 0) pc = FetchWord();
            else if constexpr (y == 1) Prefix<FamilyCB>();
            else if constexpr (y == 2) {
                const uint8_t n = FetchByte();
                OutPort(static_cast<uint16_t>((a << 8) | n), a);
            } else if constexpr (y == 3) {
                const uint8_t n = FetchByte();
                a = InPort(static_cast<uint16_t>((a << 8) | n));
            } else if constexpr (y == 4) {
                const uint16_t sp = static_cast<uint16_t>(r.SP);
                const uint16_t v = ReadWord(sp);
                WriteWord(sp, static_cast<uint16_t>(r.HL));
                r.HL = v;
            } else if constexpr (y == 5) std::swap(r.DE, r.HL);
            else if constexpr (y == 6) r.IFF1 = r.IFF2 = 0;
            else { // EI: the next instruction runs inside this one, so no interrupt comes between
                if (r.IFF1) {
                    r.IFF2 = 1;
                    return false;
                }
                r.IFF1 = r.IFF2 = 1;
                return true;
            }
        } else if constexpr (z == 4) { // CALL cc,nn
            if (Condition<y>()) {
                const uint16_t target = FetchWord();
                Push(static_cast<uint16_t>(pc));
                pc = target;
                Charge(7);
            } else {
                pc = (pc + 2) & 0xFFFF;
            }
        } else if constexpr (z == 5) {
            if constexpr (q == 0) Push(static_cast<uint16_t>(Pair16(r, StackPairSlot<p, SlotHL>())));
            else if constexpr (p == 0) {
                const uint16_t target = FetchWord();
                Push(static_cast<uint16_t>(pc));
                pc = target;
                Charge(7);
            } else if constexpr (p == 1) Prefix<FamilyDD>();
            else if constexpr (p == 2) Prefix<FamilyED>();
            else Prefix<FamilyFD>();
        } else if constexpr (z == 6) {
            Alu<y>(FetchByte());
        } else { // RST
            Push(static_cast<uint16_t>(pc));
            pc = y * 8;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------
// CB instructions

template <class M> template <int Op> Z80_INLINE void Engine<M>::OpCB() {
    constexpr int x = Op >> 6, y = (Op >> 3) & 7, z = Op & 7;
    if constexpr (z == 6) {
        const uint16_t addr = static_cast<uint16_t>(cpu.Regs.HL);
        const uint8_t v = ReadMem(addr);
        if constexpr (x == 0) WriteMem(addr, Rotate<y>(v));
        else if constexpr (x == 1) Bit(y, v);
        else if constexpr (x == 2) WriteMem(addr, static_cast<uint8_t>(v & ~(1 << y)));
        else WriteMem(addr, static_cast<uint8_t>(v | (1 << y)));
    } else {
        uint8_t& reg = R8<z, SlotHL>(cpu.Regs);
        if constexpr (x == 0) reg = Rotate<y>(reg);
        else if constexpr (x == 1) Bit(y, reg);
        else if constexpr (x == 2) reg = static_cast<uint8_t>(reg & ~(1 << y));
        else reg = static_cast<uint8_t>(reg | (1 << y));
    }
}

// ---------------------------------------------------------------------------
// ED instructions

template <class M> template <int Op> Z80_INLINE void Engine<M>::OpED() {
    constexpr int x = Op >> 6, y = (Op >> 3) & 7, z = Op & 7, p = y >> 1, q = y & 1;
    Z80Registers& r = cpu.Regs;
    uint8_t& a = RegA(r);
    uint8_t& f = RegF(r);
    if constexpr (Op == 0xFE) {
        Trap();
    } else if constexpr (x == 1) {
        if constexpr (z == 0) { // IN r,(C); ED 70 reads and drops
            const uint8_t v = InPort(static_cast<uint16_t>(r.BC));
            f = static_cast<uint8_t>((f & CF) | kFlagsSZP[v]);
            if constexpr (y != 6) R8<y, SlotHL>(r) = v;
        } else if constexpr (z == 1) {
            if constexpr (y == 6) OutPort(static_cast<uint16_t>(r.BC), 0);
            else OutPort(static_cast<uint16_t>(r.BC), R8<y, SlotHL>(r));
        } else if constexpr (z == 2) {
            const uint16_t v = static_cast<uint16_t>(Pair16(r, PairSlot<p, SlotHL>()));
            if constexpr (q == 0) Sbc16(v);
            else Adc16(v);
        } else if constexpr (z == 3) {
            if constexpr (q == 0) WriteWord(FetchWord(), static_cast<uint16_t>(Pair16(r, PairSlot<p, SlotHL>())));
            else Pair16(r, PairSlot<p, SlotHL>()) = ReadWord(FetchWord());
        } else if constexpr (z == 4) { // NEG
            const uint8_t v = a;
            a = 0;
            Alu<2>(v);
        } else if constexpr (z == 5) {
            if constexpr (y == 1 || y == 3 || y == 5 || y == 7) { // RETI
                OnRETI();
                pc = Pop();
            } else { // RETN
                r.IFF1 = r.IFF2;
                OnRETN();
                pc = Pop();
            }
            Charge(6);
        } else if constexpr (z == 6) {
            r.IM = (y & 3) == 2 ? 1u : (y & 3) == 3 ? 2u : 0u;
        } else { // z == 7
            if constexpr (y == 0) r.I = a;
            else if constexpr (y == 1) { r.R = a; r.R7 = a; }
            else if constexpr (y == 2) {
                a = static_cast<uint8_t>(r.I);
                f = static_cast<uint8_t>((f & CF) | kFlagsSZ[a] | (r.IFF2 ? PF : 0));
            } else if constexpr (y == 3) {
                a = static_cast<uint8_t>((r.R & 0x7F) | (r.R7 & 0x80));
                f = static_cast<uint8_t>((f & CF) | kFlagsSZ[a] | (r.IFF2 ? PF : 0));
            } else if constexpr (y == 4) { // RRD
                const uint16_t addr = static_cast<uint16_t>(r.HL);
                const uint8_t m = ReadMem(addr);
                const uint8_t oldA = a;
                a = static_cast<uint8_t>((a & 0xF0) | (m & 0x0F));
                WriteMem(addr, static_cast<uint8_t>((oldA << 4) | (m >> 4)));
                f = static_cast<uint8_t>((f & CF) | kFlagsSZP[a]);
            } else if constexpr (y == 5) { // RLD
                const uint16_t addr = static_cast<uint16_t>(r.HL);
                const uint8_t m = ReadMem(addr);
                const uint8_t oldA = a;
                a = static_cast<uint8_t>((a & 0xF0) | (m >> 4));
                WriteMem(addr, static_cast<uint8_t>((m << 4) | (oldA & 0x0F)));
                f = static_cast<uint8_t>((f & CF) | kFlagsSZP[a]);
            }
            // ED 77 and ED 7F do nothing
        }
    } else if constexpr (x == 2 && z <= 3 && y >= 4) {
        constexpr int dir = (y & 1) ? -1 : 1;
        constexpr bool repeat = y >= 6;
        bool again = false;
        if constexpr (z == 0) { BlockLoad(dir); again = r.BC != 0; }
        else if constexpr (z == 1) { BlockCompare(dir); again = r.BC != 0 && !(f & ZF); }
        else if constexpr (z == 2) { BlockIn(dir); again = RegB(r) != 0; }
        else { BlockOut(dir); again = RegB(r) != 0; }
        // Each repetition is an instruction of its own: back onto the ED prefix.
        if (repeat && again) {
            Charge(5);
            pc = (pc - 2) & 0xFFFF;
        }
    }
    // every other ED opcode does nothing
}

// ---------------------------------------------------------------------------
// DD and FD instructions: HL becomes IX/IY, H and L become its halves, (HL)
// becomes (X+d) with the real H and L beside it.

template <class M> template <int Slot, int Op> Z80_INLINE void Engine<M>::OpIndex() {
    constexpr int x = Op >> 6, y = (Op >> 3) & 7, z = Op & 7, p = y >> 1;
    Z80Registers& r = cpu.Regs;
    uint32_t& xr = Pair16(r, Slot);
    if constexpr (Op == 0xCB) {
        PrefixIndexCB<Slot>();
    } else if constexpr (!HasIndexForm(Op)) {
        PrefixIgnored();
    } else if constexpr (x == 1) {
        if constexpr (z == 6) R8<y, SlotHL>(r) = ReadMem(IndexedAddress<Slot>());
        else if constexpr (y == 6) {
            const uint16_t addr = IndexedAddress<Slot>();
            WriteMem(addr, R8<z, SlotHL>(r));
        } else R8<y, Slot>(r) = R8<z, Slot>(r);
    } else if constexpr (x == 2) {
        if constexpr (z == 6) Alu<y>(ReadMem(IndexedAddress<Slot>()));
        else Alu<y>(R8<z, Slot>(r));
    } else if constexpr (Op == 0x09 || Op == 0x19 || Op == 0x29 || Op == 0x39) {
        Add16<Slot>(static_cast<uint16_t>(Pair16(r, PairSlot<p, Slot>())));
    } else if constexpr (Op == 0x21) {
        xr = FetchWord();
    } else if constexpr (Op == 0x22) {
        WriteWord(FetchWord(), static_cast<uint16_t>(xr));
    } else if constexpr (Op == 0x2A) {
        xr = ReadWord(FetchWord());
    } else if constexpr (Op == 0x23) {
        xr = (xr + 1) & 0xFFFF;
    } else if constexpr (Op == 0x2B) {
        xr = (xr - 1) & 0xFFFF;
    } else if constexpr (Op == 0x24 || Op == 0x2C) {
        uint8_t& reg = R8<y, Slot>(r);
        reg = Inc8(reg);
    } else if constexpr (Op == 0x25 || Op == 0x2D) {
        uint8_t& reg = R8<y, Slot>(r);
        reg = Dec8(reg);
    } else if constexpr (Op == 0x26 || Op == 0x2E) {
        R8<y, Slot>(r) = FetchByte();
    } else if constexpr (Op == 0x34 || Op == 0x35) {
        const uint16_t addr = IndexedAddress<Slot>();
        const uint8_t v = ReadMem(addr);
        WriteMem(addr, Op == 0x34 ? Inc8(v) : Dec8(v));
    } else if constexpr (Op == 0x36) {
        const uint16_t addr = IndexedAddress<Slot>();
        const uint8_t n = FetchByte();
        WriteMem(addr, n);
    } else if constexpr (Op == 0xE1) {
        xr = Pop();
    } else if constexpr (Op == 0xE3) {
        const uint16_t sp = static_cast<uint16_t>(r.SP);
        const uint16_t v = ReadWord(sp);
        WriteWord(sp, static_cast<uint16_t>(xr));
        xr = v;
    } else if constexpr (Op == 0xE5) {
        Push(static_cast<uint16_t>(xr));
    } else if constexpr (Op == 0xE9) {
        pc = xr;
    } else { // 0xF9
        r.SP = xr;
    }
}

// DD CB d op / FD CB d op. The forms that would also copy the result into a
// register do nothing here, but still step over the displacement.
template <class M> template <int Slot, int Op> Z80_INLINE void Engine<M>::OpIndexCB() {
    constexpr int x = Op >> 6, y = (Op >> 3) & 7, z = Op & 7;
    if constexpr (x == 1) {
        Bit(y, ReadMem(IndexedAddress<Slot>()));
    } else if constexpr (z == 6) {
        const uint16_t addr = IndexedAddress<Slot>();
        const uint8_t v = ReadMem(addr);
        if constexpr (x == 0) WriteMem(addr, Rotate<y>(v));
        else if constexpr (x == 2) WriteMem(addr, static_cast<uint8_t>(v & ~(1 << y)));
        else WriteMem(addr, static_cast<uint8_t>(v | (1 << y)));
    } else {
        pc = (pc + 1) & 0xFFFF;
    }
}

// ---------------------------------------------------------------------------
// Dispatch: one switch per family, each case charging its table entry (a
// constant here) and running its handler inline.

#define Z80_CASES16(X, h)                                                                                    \
    X(0x##h##0)                                                                                              \
    X(0x##h##1) X(0x##h##2) X(0x##h##3) X(0x##h##4) X(0x##h##5) X(0x##h##6) X(0x##h##7) X(0x##h##8)          \
        X(0x##h##9) X(0x##h##A) X(0x##h##B) X(0x##h##C) X(0x##h##D) X(0x##h##E) X(0x##h##F)
#define Z80_CASES256(X)                                                                                      \
    Z80_CASES16(X, 0)                                                                                        \
    Z80_CASES16(X, 1) Z80_CASES16(X, 2) Z80_CASES16(X, 3) Z80_CASES16(X, 4) Z80_CASES16(X, 5)                \
        Z80_CASES16(X, 6) Z80_CASES16(X, 7) Z80_CASES16(X, 8) Z80_CASES16(X, 9) Z80_CASES16(X, A)            \
            Z80_CASES16(X, B) Z80_CASES16(X, C) Z80_CASES16(X, D) Z80_CASES16(X, E) Z80_CASES16(X, F)

// One opcode of a family: charge its table entry, then run its handler. The
// unprefixed step returns true for an EI that runs the next instruction at
// once, inside the same step.
template <class M> template <int Op> Z80_INLINE bool Engine<M>::StepMain() {
    Charge(static_cast<int>(kMainCycles[Op]));
    return OpMain<Op>();
}

template <class M> template <int Family, int Op> Z80_INLINE void Engine<M>::Step() {
    if constexpr (Family == FamilyCB) {
        Charge(static_cast<int>(kCBCycles[Op]));
        OpCB<Op>();
    } else if constexpr (Family == FamilyED) {
        Charge(static_cast<int>(kEDCycles[Op]));
        OpED<Op>();
    } else {
        Charge(static_cast<int>(kIndexCycles[Op]));
        OpIndex<Family == FamilyDD ? SlotIX : SlotIY, Op>();
    }
}

// Dispatch by switch, for the instruction that the interrupt entry runs (IM 0
// and IM 1); Run has its own threaded dispatch over the same steps.
template <class M> Z80_INLINE void Engine<M>::ExecMain(uint8_t op) {
    for (;;) {
        switch (op) {
#define Z80_MAIN_CASE(n)                                                                                     \
    case n:                                                                                                  \
        if (StepMain<n>()) break;                                                                            \
        return;
            Z80_CASES256(Z80_MAIN_CASE)
#undef Z80_MAIN_CASE
        }
        ++cpu.Regs.R;
        op = FetchByte();
    }
}

// A prefix: fetch the opcode after it (which counts in R), then its step.
template <class M> template <int Family> Z80_INLINE void Engine<M>::Prefix() {
    ++cpu.Regs.R;
    switch (FetchByte()) {
#define Z80_STEP_CASE(n)                                                                                     \
    case n:                                                                                                  \
        Step<Family, n>();                                                                                   \
        return;
        Z80_CASES256(Z80_STEP_CASE)
#undef Z80_STEP_CASE
    }
}

// The opcode after DD/FD has no index form: step back so that Run fetches it
// again as an instruction of its own (or as the next prefix).
template <class M> Z80_INLINE void Engine<M>::PrefixIgnored() {
    pc = (pc - 1) & 0xFFFF;
}

// DD CB d op: the opcode comes after the displacement. The handler reads the
// displacement; the opcode byte is stepped over afterwards. R is not counted.
template <class M> template <int Slot> Z80_INLINE void Engine<M>::PrefixIndexCB() {
    switch (ReadMem(static_cast<uint16_t>(pc + 1))) {
#define Z80_INDEXCB_CASE(n)                                                                                  \
    case n:                                                                                                  \
        Charge(static_cast<int>(kIndexCBCycles[n]));                                                         \
        OpIndexCB<Slot, n>();                                                                                \
        break;
        Z80_CASES256(Z80_INDEXCB_CASE)
#undef Z80_INDEXCB_CASE
    }
    pc = (pc + 1) & 0xFFFF;
}

// The interrupt entry proper; IM 0 and IM 1 run an instruction, so this is
// where the engine's second copy of the handlers lives, out of Run's way.
template <class M> __attribute__((noinline)) void Engine<M>::Interrupt(int value) {
    cpu.Regs.IFF1 = 0; // IFF2 is left as it was, for both kinds
    if (cpu.Regs.Halted) {
        pc = (pc + 1) & 0xFFFF;
        cpu.Regs.Halted = 0;
    }
    if (value == -2) {
        Push(static_cast<uint16_t>(pc));
        pc = 0x0066;
    } else if (cpu.Regs.IM == 2) {
        Push(static_cast<uint16_t>(pc));
        const uint16_t vector = static_cast<uint16_t>((value & 0xFF) | (cpu.Regs.I << 8));
        pc = ReadWord(vector);
    } else if (cpu.Regs.IM == 1) {
        ExecMain(0xFF); // RST 38h, charged 11
    } else {
        ExecMain(static_cast<uint8_t>(value & 0xFF));
    }
}

// -1 nothing, -2 NMI, anything else a maskable interrupt with that data-bus
// byte (ignored while interrupts are disabled).
template <class M> void EnterInterrupt(M& cpu, int value) {
    if (value == -1) return;
    if (value != -2 && cpu.Regs.IFF1 == 0) return;
    Engine<M> e(cpu);
    e.Interrupt(value);
    e.Finish();
}

#ifdef VEXA_Z80_SWITCH_DISPATCH
// The same steps behind one switch per family, for the sanitizer builds:
// instrumenting the 1,280 threaded copies below takes GCC far too long.
template <class M> int RunLoop(M& cpu) {
    Engine<M> e(cpu);
    cpu.Running = 1;
    int zeroCostCount = 0;
    do {
        ++cpu.Regs.R;
        e.spent = 0;
        e.ExecMain(e.FetchByte());
        e.Finish();
        if (cpu.Tick(e.spent)) EnterInterrupt(cpu, cpu.TakeInterrupt());
        e.pc = cpu.Regs.PC;
        if (e.spent == 0 && ++zeroCostCount >= z80cpu::ZeroCostRunLimit) [[unlikely]]
            break;
    } while (cpu.CycleBudget > 0);
    cpu.CycleBudget += cpu.CyclePeriod;
    return cpu.Running;
}
#else
// Threaded dispatch: every opcode's code, in each prefix family, ends with its
// own copy of the step between instructions (Tick, interrupts, the budget
// test, the next fetch and the jump), so that each jump is predicted from the
// instruction before it. The copies must stay copies, hence no cross-jumping.
template <class M> __attribute__((optimize("no-crossjumping"))) int RunLoop(M& cpu) {
#define Z80_LABELS(family)                                                                                   \
    static const void* const k##family##Labels[256] = {Z80_CASES256(Z80_LABEL_ADDRESS_##family)};
#define Z80_LABEL_ADDRESS_Main(n) &&Main_##n,
#define Z80_LABEL_ADDRESS_CB(n) &&CB_##n,
#define Z80_LABEL_ADDRESS_ED(n) &&ED_##n,
#define Z80_LABEL_ADDRESS_DD(n) &&DD_##n,
#define Z80_LABEL_ADDRESS_FD(n) &&FD_##n,
    Z80_LABELS(Main) Z80_LABELS(CB) Z80_LABELS(ED) Z80_LABELS(DD) Z80_LABELS(FD)
    Engine<M> e(cpu);
    cpu.Running = 1;
    int zeroCostCount = 0;
    uint8_t op;
    ++cpu.Regs.R;
    op = e.FetchByte();
    goto *kMainLabels[op];

// `free` is true where the instruction may have cost nothing (undefined ED
// opcodes, ignored DD/FD prefixes, undefined DD CB forms): only there is the
// zero-cost count looked at.
#define Z80_NEXT(free)                                                                                       \
    e.Finish();                                                                                              \
    if (cpu.Tick(e.spent)) EnterInterrupt(cpu, cpu.TakeInterrupt());                                         \
    e.pc = cpu.Regs.PC;                                                                                      \
    if constexpr (free) {                                                                                    \
        if (e.spent == 0 && ++zeroCostCount >= z80cpu::ZeroCostRunLimit) goto done;                          \
    }                                                                                                        \
    if (cpu.CycleBudget <= 0) goto done;                                                                     \
    ++cpu.Regs.R;                                                                                            \
    e.spent = 0;                                                                                             \
    op = e.FetchByte();                                                                                      \
    goto *kMainLabels[op];
#define Z80_PREFIX(family)                                                                                   \
    ++cpu.Regs.R;                                                                                            \
    op = e.FetchByte();                                                                                      \
    goto *k##family##Labels[op];
#define Z80_MAIN_LABEL(n)                                                                                    \
    Main_##n : if constexpr (n == 0xCB) { Z80_PREFIX(CB) }                                                   \
    else if constexpr (n == 0xDD) { Z80_PREFIX(DD) }                                                         \
    else if constexpr (n == 0xED) { Z80_PREFIX(ED) }                                                         \
    else if constexpr (n == 0xFD) { Z80_PREFIX(FD) }                                                         \
    else {                                                                                                   \
        if (e.template StepMain<n>()) goto chain;                                                            \
        Z80_NEXT(false)                                                                                      \
    }
#define Z80_CB_LABEL(n)                                                                                      \
    CB_##n : e.template Step<Engine<M>::FamilyCB, n>();                                                      \
    Z80_NEXT(false)
#define Z80_ED_LABEL(n)                                                                                      \
    ED_##n : e.template Step<Engine<M>::FamilyED, n>();                                                      \
    Z80_NEXT(kEDCycles[n] == 0)
#define Z80_DD_LABEL(n)                                                                                      \
    DD_##n : e.template Step<Engine<M>::FamilyDD, n>();                                                      \
    Z80_NEXT(kIndexCycles[n] == 0)
#define Z80_FD_LABEL(n)                                                                                      \
    FD_##n : e.template Step<Engine<M>::FamilyFD, n>();                                                      \
    Z80_NEXT(kIndexCycles[n] == 0)
    Z80_CASES256(Z80_MAIN_LABEL)
    Z80_CASES256(Z80_CB_LABEL)
    Z80_CASES256(Z80_ED_LABEL)
    Z80_CASES256(Z80_DD_LABEL)
    Z80_CASES256(Z80_FD_LABEL)

chain: // EI: the next instruction runs inside the same step
    ++cpu.Regs.R;
    op = e.FetchByte();
    goto *kMainLabels[op];
done:
    cpu.CycleBudget += cpu.CyclePeriod;
    return cpu.Running;
}
#undef Z80_FD_LABEL
#undef Z80_DD_LABEL
#undef Z80_ED_LABEL
#undef Z80_CB_LABEL
#undef Z80_MAIN_LABEL
#undef Z80_PREFIX
#undef Z80_NEXT
#undef Z80_LABEL_ADDRESS_FD
#undef Z80_LABEL_ADDRESS_DD
#undef Z80_LABEL_ADDRESS_ED
#undef Z80_LABEL_ADDRESS_CB
#undef Z80_LABEL_ADDRESS_Main
#undef Z80_LABELS
#endif

#undef Z80_CASES256
#undef Z80_CASES16
#undef Z80_INLINE

} // namespace z80engine
