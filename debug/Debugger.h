// The machine's debugging state: breakpoints with conditions and hit counts,
// memory and port watchpoints, the temporary stops of Step Over, Step Out
// and Run to Cursor, the trace and the symbols. The board asks it after an
// instruction or an access only while something is armed, so a machine with
// nothing set pays one predictable branch.
//
// Threads: the CPU thread (or whoever runs the processor) calls the On*
// hooks; everything else is changed only while the processor is held, and
// the owner (Machine) then copies the armed flags into the board.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "debug/Expression.h"
#include "debug/Symbols.h"
#include "debug/Trace.h"

enum class WatchSpace : uint8_t { Memory, Port };
enum WatchAccess : uint8_t { WatchRead = 1, WatchWrite = 2, WatchReadWrite = 3 };

// Who set an entry: the window's list, its Breakpoint field, a GDB client.
enum class DebugOwner : uint8_t { User, Field, Gdb };

struct Breakpoint {
    int id = 0;
    uint16_t address = 0;
    bool enabled = true;
    DebugOwner owner = DebugOwner::User;
    std::optional<Expression> condition;
    uint64_t hits = 0; // stops it caused
};

struct Watchpoint {
    int id = 0;
    WatchSpace space = WatchSpace::Memory;
    uint8_t access = WatchWrite; // WatchRead (port in), WatchWrite (port out) or both
    uint16_t first = 0, last = 0; // inclusive; port ranges up to 0xFF match the port's low byte
    bool enabled = true;
    DebugOwner owner = DebugOwner::User;
    std::optional<Expression> condition; // may use "value"
    uint64_t hits = 0;
};

enum class StopReason : uint8_t { None, Breakpoint, Watchpoint, Step, RunTo, StepOut, Interrupted, Trap, Start };

struct StopInfo {
    StopReason reason = StopReason::None;
    int id = 0;            // the breakpoint or watchpoint
    uint16_t pc = 0;       // where the machine stands: the next instruction
    uint16_t instructionPc = 0; // a watchpoint's: the instruction that made the access
    WatchSpace space = WatchSpace::Memory;
    uint8_t access = 0;    // WatchRead or WatchWrite: what the access was
    uint16_t address = 0;  // memory address or full port address
    uint8_t value = 0;     // the byte read or written; for a trap, A
    uint64_t serial = 0;   // counts the machine's stops
};

// "Breakpoint 1 at 0x8003 (main)", "Watchpoint 2: write of 0x41 to 0x8005
// (counter) by the instruction at 0x8010 (loop+2)", ...
std::string DescribeStop(const StopInfo& stop, const SymbolTable* symbols);

class Debugger {
public:
    Debugger();

    // --- Editing (the processor held) ---------------------------------------
    // The condition is parsed against the symbols now; an empty text is none.
    // -1 with a message when the condition is not valid.
    int AddBreakpoint(uint16_t address, std::string_view condition, std::string* error,
                      DebugOwner owner = DebugOwner::User);
    bool SetBreakpointCondition(int id, std::string_view condition, std::string* error);
    bool EnableBreakpoint(int id, bool enabled);
    bool RemoveBreakpoint(int id);
    // The first breakpoint of that owner at that address, or null.
    const Breakpoint* FindBreakpoint(uint16_t address, DebugOwner owner) const;
    const std::vector<Breakpoint>& Breakpoints() const { return breakpoints; }

    int AddWatchpoint(WatchSpace space, uint8_t access, uint16_t first, uint16_t last, std::string_view condition,
                      std::string* error, DebugOwner owner = DebugOwner::User);
    bool SetWatchpointCondition(int id, std::string_view condition, std::string* error);
    bool EnableWatchpoint(int id, bool enabled);
    bool RemoveWatchpoint(int id);
    const Watchpoint* FindWatchpoint(WatchSpace space, uint8_t access, uint16_t first, uint16_t last,
                                     DebugOwner owner) const;
    const std::vector<Watchpoint>& Watchpoints() const { return watchpoints; }

    // Removes every entry of that owner (a GDB client that went away).
    void RemoveAll(DebugOwner owner);
    void ResetHitCounts();

    // Temporary stops, dropped at the next stop of any kind. Run-to stops
    // when PC reaches the address with SP at or above minSp (when given), so
    // that Step Over of a recursive call waits for the outer return.
    void SetRunTo(uint16_t address, std::optional<uint16_t> minSp, StopReason reason = StopReason::RunTo);
    // Stops after a return instruction (RET, RET cc taken, RETI, RETN)
    // that pops the frame at sp or one above it: the current routine's
    // return, not that of a routine it calls or of an interrupt handler.
    void SetStepOut(uint16_t sp);
    void ClearTemporaryStops();

    // The trap ED FE ends a run (the test-runner mode).
    void SetStopOnTrap(bool on) { stopOnTrap = on; }
    bool StopOnTrap() const { return stopOnTrap; }

    // The trace: on allocates the ring; a start or stop address (inclusive)
    // limits what is recorded to a window of the run.
    void SetTrace(bool on, size_t capacity = TraceBuffer::DefaultCapacity);
    bool TraceOn() const { return traceOn; }
    void SetTraceWindow(std::optional<uint16_t> fromPc, std::optional<uint16_t> toPc);
    TraceBuffer& Trace() { return trace; }
    const TraceBuffer& Trace() const { return trace; }

    SymbolTable& Symbols() { return symbols; }
    const SymbolTable& Symbols() const { return symbols; }

    // What the board must check: after every instruction, and on which
    // accesses (bits of HookMemRead...).
    enum : uint8_t { HookMemRead = 1, HookMemWrite = 2, HookPortIn = 4, HookPortOut = 8 };
    bool NeedsInstructionHook() const;
    // True when every instruction must be looked at (trace, Step Over, Step
    // Out, Run to); otherwise only those that end on a bitmap address.
    bool NeedsEveryInstruction() const { return traceOn || runTo || stepOutSp; }
    // One bit per address with an enabled breakpoint.
    const uint8_t* BreakpointBitmap() const { return bitmap.data(); }
    uint8_t AccessHooks() const;
    // The lowest and highest address any enabled watchpoint of this kind
    // covers (first > last when none): a quick test before the full one.
    std::pair<uint16_t, uint16_t> WatchSpan(WatchSpace space, uint8_t access) const;

    // --- Hooks (the thread running the processor) ----------------------------
    // An access the board made for the program; true when a watchpoint
    // triggered (the stop follows after the instruction).
    bool OnAccess(WatchSpace space, uint8_t access, uint16_t address, uint8_t value, const Z80Registers& regs,
                  const MemoryPeek& memory, uint16_t instructionPc);
    // The trap instruction ran with A; true when it ends the run.
    bool OnTrap(uint8_t a, uint16_t pc);
    // After an instruction that started at instructionPc; true when the
    // machine must stop now (LastStop says why).
    bool AfterInstruction(const Z80Registers& regs, const MemoryPeek& memory, uint16_t instructionPc,
                          uint64_t cycles);

    // The stop AfterInstruction reported, or one recorded by the owner.
    const StopInfo& LastStop() const { return lastStop; }
    void RecordStop(const StopInfo& stop) { lastStop = stop; }

private:
    void RebuildBitmap();
    bool InBitmap(uint16_t pc) const { return (bitmap[pc >> 3] >> (pc & 7)) & 1; }
    bool Stop(StopInfo stop);

    std::vector<Breakpoint> breakpoints;
    std::vector<Watchpoint> watchpoints;
    std::array<uint8_t, 0x10000 / 8> bitmap{};
    int nextId = 1;

    std::optional<uint16_t> runTo;
    std::optional<uint16_t> runToMinSp;
    StopReason runToReason = StopReason::RunTo;
    std::optional<uint16_t> stepOutSp;
    bool stopOnTrap = false;

    bool traceOn = false;
    bool traceActive = false; // inside the window
    std::optional<uint16_t> traceFrom, traceTo;
    TraceBuffer trace;

    bool pendingStop = false; // a watchpoint or the trap asked for a stop
    StopInfo pending;
    StopInfo lastStop;
    SymbolTable symbols;
};
