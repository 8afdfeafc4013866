#include "debug/Debugger.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*x", digits, value);
    return text;
}

std::string WithLabel(uint16_t address, const SymbolTable* symbols) {
    std::string text = Hex(address, 4);
    if (symbols) {
        const std::string name = symbols->Describe(address);
        if (!name.empty()) text += " (" + name + ")";
    }
    return text;
}

bool ParseCondition(std::string_view text, const SymbolTable& symbols, bool allowValue,
                    std::optional<Expression>& out, std::string* error) {
    const auto blank = text.find_first_not_of(" \t");
    if (blank == std::string_view::npos) {
        out.reset();
        return true;
    }
    out = Expression::Parse(text, &symbols, error, allowValue);
    return out.has_value();
}

// Does this instruction return from a routine, and did it (a conditional
// return that was not taken falls through to the next byte)?
bool ReturnedFrom(const MemoryPeek& memory, uint16_t pc, uint16_t nextPc) {
    const uint8_t op = memory.PeekMem(pc);
    if (op == 0xC9) return true;
    if ((op & 0xC7) == 0xC0) return nextPc != static_cast<uint16_t>(pc + 1);
    if (op == 0xED) return (memory.PeekMem(static_cast<uint16_t>(pc + 1)) & 0xC7) == 0x45; // RETN, RETI
    return false;
}

// a >= b on the 16-bit stack, taking the nearer way round.
bool AtOrAbove(uint16_t a, uint16_t b) { return static_cast<uint16_t>(a - b) < 0x8000; }

} // namespace

std::string DescribeStop(const StopInfo& stop, const SymbolTable* symbols) {
    switch (stop.reason) {
    case StopReason::None: return "Running";
    case StopReason::Start: return "Stopped at start, " + WithLabel(stop.pc, symbols);
    case StopReason::Breakpoint:
        return "Breakpoint " + std::to_string(stop.id) + " at " + WithLabel(stop.pc, symbols);
    case StopReason::Step: return "Stepped to " + WithLabel(stop.pc, symbols);
    case StopReason::RunTo: return "Reached " + WithLabel(stop.pc, symbols);
    case StopReason::StepOut: return "Returned to " + WithLabel(stop.pc, symbols);
    case StopReason::Interrupted: return "Stopped at " + WithLabel(stop.pc, symbols);
    case StopReason::Trap: return "Trap with A = " + Hex(stop.value, 2) + " at " + WithLabel(stop.instructionPc, symbols);
    case StopReason::Watchpoint: {
        std::string text = "Watchpoint " + std::to_string(stop.id) + ": ";
        if (stop.space == WatchSpace::Memory)
            text += stop.access == WatchRead ? "read of " + Hex(stop.value, 2) + " from "
                                             : "write of " + Hex(stop.value, 2) + " to ";
        else
            text += stop.access == WatchRead ? "in of " + Hex(stop.value, 2) + " from port "
                                             : "out of " + Hex(stop.value, 2) + " to port ";
        text += stop.space == WatchSpace::Memory ? WithLabel(stop.address, symbols) : Hex(stop.address, 4);
        return text + " by the instruction at " + WithLabel(stop.instructionPc, symbols);
    }
    }
    return {};
}

Debugger::Debugger() = default;

// ---------------------------------------------------------------------------
// Breakpoints

int Debugger::AddBreakpoint(uint16_t address, std::string_view condition, std::string* error, DebugOwner owner) {
    Breakpoint bp;
    if (!ParseCondition(condition, symbols, false, bp.condition, error)) return -1;
    bp.id = nextId++;
    bp.address = address;
    bp.owner = owner;
    breakpoints.push_back(std::move(bp));
    RebuildBitmap();
    return breakpoints.back().id;
}

bool Debugger::SetBreakpointCondition(int id, std::string_view condition, std::string* error) {
    for (Breakpoint& bp : breakpoints)
        if (bp.id == id) return ParseCondition(condition, symbols, false, bp.condition, error);
    if (error) *error = "no breakpoint " + std::to_string(id);
    return false;
}

bool Debugger::EnableBreakpoint(int id, bool enabled) {
    for (Breakpoint& bp : breakpoints)
        if (bp.id == id) {
            bp.enabled = enabled;
            RebuildBitmap();
            return true;
        }
    return false;
}

bool Debugger::RemoveBreakpoint(int id) {
    const auto it = std::find_if(breakpoints.begin(), breakpoints.end(), [id](const Breakpoint& b) { return b.id == id; });
    if (it == breakpoints.end()) return false;
    breakpoints.erase(it);
    RebuildBitmap();
    return true;
}

const Breakpoint* Debugger::FindBreakpoint(uint16_t address, DebugOwner owner) const {
    for (const Breakpoint& bp : breakpoints)
        if (bp.address == address && bp.owner == owner) return &bp;
    return nullptr;
}

void Debugger::RebuildBitmap() {
    bitmap.fill(0);
    for (const Breakpoint& bp : breakpoints)
        if (bp.enabled) bitmap[bp.address >> 3] |= static_cast<uint8_t>(1u << (bp.address & 7));
}

// ---------------------------------------------------------------------------
// Watchpoints

int Debugger::AddWatchpoint(WatchSpace space, uint8_t access, uint16_t first, uint16_t last,
                            std::string_view condition, std::string* error, DebugOwner owner) {
    if ((access & WatchReadWrite) == 0) {
        if (error) *error = "a watchpoint watches reads, writes or both";
        return -1;
    }
    if (last < first) std::swap(first, last);
    Watchpoint wp;
    if (!ParseCondition(condition, symbols, true, wp.condition, error)) return -1;
    wp.id = nextId++;
    wp.space = space;
    wp.access = access & WatchReadWrite;
    wp.first = first;
    wp.last = last;
    wp.owner = owner;
    watchpoints.push_back(std::move(wp));
    return watchpoints.back().id;
}

bool Debugger::SetWatchpointCondition(int id, std::string_view condition, std::string* error) {
    for (Watchpoint& wp : watchpoints)
        if (wp.id == id) return ParseCondition(condition, symbols, true, wp.condition, error);
    if (error) *error = "no watchpoint " + std::to_string(id);
    return false;
}

bool Debugger::EnableWatchpoint(int id, bool enabled) {
    for (Watchpoint& wp : watchpoints)
        if (wp.id == id) {
            wp.enabled = enabled;
            return true;
        }
    return false;
}

bool Debugger::RemoveWatchpoint(int id) {
    const auto it = std::find_if(watchpoints.begin(), watchpoints.end(), [id](const Watchpoint& w) { return w.id == id; });
    if (it == watchpoints.end()) return false;
    watchpoints.erase(it);
    return true;
}

const Watchpoint* Debugger::FindWatchpoint(WatchSpace space, uint8_t access, uint16_t first, uint16_t last,
                                           DebugOwner owner) const {
    for (const Watchpoint& wp : watchpoints)
        if (wp.space == space && wp.access == access && wp.first == first && wp.last == last && wp.owner == owner)
            return &wp;
    return nullptr;
}

void Debugger::RemoveAll(DebugOwner owner) {
    std::erase_if(breakpoints, [owner](const Breakpoint& b) { return b.owner == owner; });
    std::erase_if(watchpoints, [owner](const Watchpoint& w) { return w.owner == owner; });
    RebuildBitmap();
}

void Debugger::ResetHitCounts() {
    for (Breakpoint& bp : breakpoints) bp.hits = 0;
    for (Watchpoint& wp : watchpoints) wp.hits = 0;
}

// ---------------------------------------------------------------------------
// Temporary stops, trap, trace

void Debugger::SetRunTo(uint16_t address, std::optional<uint16_t> minSp, StopReason reason) {
    runTo = address;
    runToMinSp = minSp;
    runToReason = reason;
}

void Debugger::SetStepOut(uint16_t sp) { stepOutSp = sp; }

void Debugger::ClearTemporaryStops() {
    runTo.reset();
    runToMinSp.reset();
    stepOutSp.reset();
}

void Debugger::SetTrace(bool on, size_t capacity) {
    if (on && (!traceOn || trace.Capacity() != capacity)) trace.Allocate(capacity);
    if (!on) trace.Clear();
    traceOn = on;
    traceActive = on && !traceFrom;
}

void Debugger::SetTraceWindow(std::optional<uint16_t> fromPc, std::optional<uint16_t> toPc) {
    traceFrom = fromPc;
    traceTo = toPc;
    traceActive = traceOn && !traceFrom;
}

bool Debugger::NeedsInstructionHook() const {
    return traceOn || runTo || stepOutSp ||
           std::any_of(breakpoints.begin(), breakpoints.end(), [](const Breakpoint& b) { return b.enabled; });
}

std::pair<uint16_t, uint16_t> Debugger::WatchSpan(WatchSpace space, uint8_t access) const {
    uint16_t lo = 0xFFFF, hi = 0;
    bool any = false;
    for (const Watchpoint& wp : watchpoints) {
        if (!wp.enabled || wp.space != space || !(wp.access & access)) continue;
        any = true;
        lo = std::min(lo, wp.first);
        hi = std::max(hi, wp.last);
    }
    return any ? std::pair<uint16_t, uint16_t>{lo, hi} : std::pair<uint16_t, uint16_t>{1, 0};
}

uint8_t Debugger::AccessHooks() const {
    uint8_t hooks = 0;
    for (const Watchpoint& wp : watchpoints) {
        if (!wp.enabled) continue;
        if (wp.space == WatchSpace::Memory) {
            if (wp.access & WatchRead) hooks |= HookMemRead;
            if (wp.access & WatchWrite) hooks |= HookMemWrite;
        } else {
            if (wp.access & WatchRead) hooks |= HookPortIn;
            if (wp.access & WatchWrite) hooks |= HookPortOut;
        }
    }
    return hooks;
}

// ---------------------------------------------------------------------------
// Hooks

bool Debugger::OnAccess(WatchSpace space, uint8_t access, uint16_t address, uint8_t value, const Z80Registers& regs,
                        const MemoryPeek& memory, uint16_t instructionPc) {
    if (pendingStop) return true; // the first access of the instruction is the one reported
    for (Watchpoint& wp : watchpoints) {
        if (!wp.enabled || wp.space != space || !(wp.access & access)) continue;
        const uint16_t a = (space == WatchSpace::Port && wp.last <= 0xFF) ? (address & 0xFF) : address;
        if (a < wp.first || a > wp.last) continue;
        if (wp.condition && !wp.condition->IsTrue({&regs, &memory, value})) continue;
        ++wp.hits;
        pending = StopInfo{};
        pending.reason = StopReason::Watchpoint;
        pending.id = wp.id;
        pending.instructionPc = instructionPc;
        pending.space = space;
        pending.access = access;
        pending.address = address;
        pending.value = value;
        pendingStop = true;
        return true;
    }
    return false;
}

bool Debugger::OnTrap(uint8_t a, uint16_t pc) {
    if (!stopOnTrap || pendingStop) return pendingStop;
    pending = StopInfo{};
    pending.reason = StopReason::Trap;
    pending.instructionPc = pc;
    pending.value = a;
    pendingStop = true;
    return true;
}

bool Debugger::Stop(StopInfo stop) {
    ClearTemporaryStops();
    lastStop = stop;
    return true;
}

bool Debugger::AfterInstruction(const Z80Registers& regs, const MemoryPeek& memory, uint16_t instructionPc,
                                uint64_t cycles) {
    const uint16_t pc = static_cast<uint16_t>(regs.PC);
    if (traceOn) {
        if (!traceActive && traceFrom && instructionPc == *traceFrom) traceActive = true;
        if (traceActive) {
            TraceRecord r;
            r.cycles = cycles;
            r.pc = instructionPc;
            for (int i = 0; i < 4; ++i) r.bytes[i] = memory.PeekMem(static_cast<uint16_t>(instructionPc + i));
            r.af = static_cast<uint16_t>(regs.AF);
            r.bc = static_cast<uint16_t>(regs.BC);
            r.de = static_cast<uint16_t>(regs.DE);
            r.hl = static_cast<uint16_t>(regs.HL);
            r.ix = static_cast<uint16_t>(regs.IX);
            r.iy = static_cast<uint16_t>(regs.IY);
            r.sp = static_cast<uint16_t>(regs.SP);
            trace.Record(r);
            if (traceTo && instructionPc == *traceTo) traceActive = false;
        }
    }
    if (pendingStop) {
        pendingStop = false;
        pending.pc = pc;
        return Stop(pending);
    }
    if (InBitmap(pc)) {
        for (Breakpoint& bp : breakpoints) {
            if (bp.address != pc || !bp.enabled) continue;
            if (bp.condition && !bp.condition->IsTrue({&regs, &memory, 0})) continue;
            ++bp.hits;
            StopInfo stop;
            stop.reason = StopReason::Breakpoint;
            stop.id = bp.id;
            stop.pc = pc;
            stop.instructionPc = instructionPc;
            return Stop(stop);
        }
    }
    const uint16_t sp = static_cast<uint16_t>(regs.SP);
    if (runTo && pc == *runTo && (!runToMinSp || AtOrAbove(sp, *runToMinSp))) {
        StopInfo stop;
        stop.reason = runToReason;
        stop.pc = pc;
        return Stop(stop);
    }
    if (stepOutSp && ReturnedFrom(memory, instructionPc, pc) &&
        AtOrAbove(static_cast<uint16_t>(sp - 2), *stepOutSp)) {
        StopInfo stop;
        stop.reason = StopReason::StepOut;
        stop.pc = pc;
        return Stop(stop);
    }
    return false;
}
