#include "debug/Trace.h"

#include <cstdio>

#include "debug/Listing.h"
#include "debug/Symbols.h"
#include "host/Files.h"

void TraceBuffer::Allocate(size_t capacity) {
    std::vector<TraceRecord>(capacity ? capacity : 1).swap(ring);
    Clear();
}

void TraceBuffer::Release() {
    std::vector<TraceRecord>().swap(ring);
    Clear();
}

const char* TraceHeading() {
    return "; cycles        pc    bytes        instruction                 registers after it\n";
}

std::string FormatTraceRecord(const TraceRecord& r, const SymbolTable* symbols) {
    std::string out;
    if (symbols)
        if (const std::string* name = symbols->NameAt(r.pc)) out += *name + ":\n";
    int length = 1;
    const std::string text = DisassembleWithLabels(r.bytes, r.pc, symbols, &length);
    char bytes[16] = {};
    int used = 0;
    for (int i = 0; i < length && i < 4; ++i) used += std::snprintf(bytes + used, sizeof bytes - used, "%02x", r.bytes[i]);
    char line[192];
    std::snprintf(line, sizeof line,
                  "%-14llu %04x  %-8s     %-27s AF=%04x BC=%04x DE=%04x HL=%04x IX=%04x IY=%04x SP=%04x\n",
                  static_cast<unsigned long long>(r.cycles), r.pc, bytes, text.c_str(), r.af, r.bc, r.de, r.hl,
                  r.ix, r.iy, r.sp);
    return out + line;
}

bool ExportTrace(const TraceBuffer& trace, const SymbolTable* symbols, const std::string& path, std::string* error) {
    std::string text = TraceHeading();
    trace.ForEachSince(0, [&](const TraceRecord& r) { text += FormatTraceRecord(r, symbols); });
    return WriteFileAtomically(path, reinterpret_cast<const uint8_t*>(text.data()), text.size(), error);
}
