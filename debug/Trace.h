// The trace: the last N instructions executed (PC, opcode bytes, registers
// after the instruction and the cycle count at its end) in a ring that is
// allocated only when the trace is switched on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class SymbolTable;

struct TraceRecord {
    uint64_t cycles;  // emulated T-states at the end of the instruction
    uint16_t pc;      // where the instruction starts
    uint8_t bytes[4]; // the bytes at pc as the instruction was decoded
    uint16_t af, bc, de, hl, ix, iy, sp;
};

class TraceBuffer {
public:
    static constexpr size_t DefaultCapacity = 1'000'000;

    // Allocates the ring (and forgets what it held).
    void Allocate(size_t capacity);
    // Gives the memory back.
    void Release();
    void Clear() { total = next = 0; }
    size_t Capacity() const { return ring.size(); }

    void Record(const TraceRecord& record) {
        ring[next] = record;
        if (++next == ring.size()) next = 0;
        ++total;
    }
    // Records ever written since the last Clear, and how many are kept.
    uint64_t Total() const { return total; }
    size_t Size() const { return total < ring.size() ? static_cast<size_t>(total) : ring.size(); }

    // Visits, oldest first, the kept records whose number (0 = the first
    // after Clear) is at least `from`; returns the number after the last.
    template <class F> uint64_t ForEachSince(uint64_t from, F&& visit) const {
        const uint64_t oldest = total - Size();
        if (from < oldest) from = oldest;
        for (uint64_t n = from; n < total; ++n) {
            const size_t back = static_cast<size_t>(total - n);
            visit(ring[(next + ring.size() - back) % ring.size()]);
        }
        return total;
    }

private:
    std::vector<TraceRecord> ring;
    size_t next = 0;
    uint64_t total = 0;
};

// One line of a trace export: cycles, address, bytes, the instruction with
// labels for addresses, and the registers after it. A label defined at the
// address goes on a "name:" line of its own before it.
std::string FormatTraceRecord(const TraceRecord& record, const SymbolTable* symbols);
// The heading line of an export.
const char* TraceHeading();
// Writes every kept record; false with a message when the file cannot be written.
bool ExportTrace(const TraceBuffer& trace, const SymbolTable* symbols, const std::string& path, std::string* error);
