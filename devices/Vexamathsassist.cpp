#include "devices/Vexamathsassist.h"

#include <algorithm>

#include "diag/Diag.h"

namespace {

int16_t WithLowByte(int16_t word, uint8_t v) {
    return static_cast<int16_t>((static_cast<uint16_t>(word) & 0xFF00u) | v);
}

int16_t WithHighByte(int16_t word, uint8_t v) {
    return static_cast<int16_t>((static_cast<uint16_t>(word) & 0x00FFu) | (v << 8));
}

// Signed values are printed as the hex digits of their 32-bit two's
// complement, so a negative coefficient shows eight digits.
unsigned AsPrinted(int16_t value) { return static_cast<unsigned>(static_cast<int32_t>(value)); }

} // namespace

TVexaMathsAssist::TVexaMathsAssist(DiagChannel* channel) : diag(channel) { Reset(); }

void TVexaMathsAssist::WriteTableByte(uint16_t offset, uint8_t v) {
    const int n = (offset & 0x1FE) >> 1;
    Table[n] = (offset & 1) ? WithHighByte(Table[n], v) : WithLowByte(Table[n], v);
    Dirty = true;
    DIAG_POST_C(diag, DIAG_MATHS, "Table Entry %d set to 0x%4.4x", n, AsPrinted(Table[n]));
}

void TVexaMathsAssist::SelectIndex(uint8_t v) {
    Index = v;
    Dirty = true;
    DIAG_POST_C(diag, DIAG_MATHS, "Table Index 0x%2.2x selected", v);
}

void TVexaMathsAssist::WriteMultiplierLow(uint8_t v) {
    Multiplier = WithLowByte(Multiplier, v);
    Dirty = true;
    DIAG_POST_C(diag, DIAG_MATHS, "Multiplier Value set to: 0x%4.4x", AsPrinted(Multiplier));
}

void TVexaMathsAssist::WriteMultiplierHigh(uint8_t v) {
    Multiplier = WithHighByte(Multiplier, v);
    Dirty = true;
    DIAG_POST_C(diag, DIAG_MATHS, "Multiplier Value set to: 0x%4.4x", AsPrinted(Multiplier));
}

// Both factors are at most 2^15 in size, so the product fits 32 bits
// (-32768 x -32768 = 2^30 is the largest); the result is bits 14-29 of it.
uint16_t TVexaMathsAssist::ResultOf(int16_t multiplier, int16_t entry) {
    const int32_t product = static_cast<int32_t>(multiplier) * static_cast<int32_t>(entry);
    return static_cast<uint16_t>((static_cast<uint32_t>(product) & 0x3FFFC000u) >> 14);
}

void TVexaMathsAssist::Compute() {
    Result = ResultOf(Multiplier, Table[Index]);
    Dirty = false;
}

uint8_t TVexaMathsAssist::ReadResultLow() {
    if (Dirty) Compute();
    const uint8_t low = static_cast<uint8_t>(Result & 0xFF);
    DIAG_POST_C(diag, DIAG_MATHS, "Maths Result LSB: 0x%2.2x", low);
    return low;
}

uint8_t TVexaMathsAssist::ReadResultHigh() {
    if (Dirty) Compute();
    const uint8_t high = static_cast<uint8_t>(Result >> 8);
    DIAG_POST_C(diag, DIAG_MATHS, "Maths Result MSB: 0x%2.2x", high);
    return high;
}

void TVexaMathsAssist::Reset() {
    for (int16_t& entry : Table) entry = 0;
    Index = 0;
    Multiplier = 0;
    Result = 0;
    Dirty = false;
}

// ---------------------------------------------------------------------------
// Save state

void TVexaMathsAssist::SaveState(StateWriter& w) const {
    w.Array(Table, TableEntries);
    w.U8(Index);
    w.U16(static_cast<uint16_t>(Multiplier));
    w.U16(Result);
    w.Bool(Dirty);
}

bool TVexaMathsAssist::LoadState(StateReader& r) {
    int16_t table[TableEntries];
    r.Array(table, TableEntries);
    const uint8_t index = r.U8();
    const int16_t multiplier = static_cast<int16_t>(r.U16());
    const uint16_t result = r.U16();
    const bool dirty = r.Bool();
    if (!r.Ok()) return false;
    std::copy(table, table + TableEntries, Table);
    Index = index;
    Multiplier = multiplier;
    Result = result;
    Dirty = dirty;
    return true;
}
