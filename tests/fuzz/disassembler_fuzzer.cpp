// The disassembler: any four bytes give one line that fits its buffer and a
// length equal to what the processor consumes when it runs those bytes.
#include <algorithm>
#include <cstring>
#include <set>

#include "FuzzSupport.h"
#include "cpu/Z80.h"
#include "support/TestMachine.h"

namespace {

// Runs one instruction at `start` and returns how many of its bytes the
// processor took. That is up to the furthest byte after start that it read:
// the forms of DD CB d op that do nothing never read d, but step over it.
// A conditional jump or call that is not taken reads no operand and only
// steps over it, so when nothing but the opcode was read the step of the
// program counter counts. Every register points at 0x8000, far from the code,
// so reads through registers cannot land there; an address operand can, which
// is why the caller measures at two places and keeps the smaller figure.
int BytesTaken(const uint8_t* code, uint16_t start) {
    static TestMachine cpu;
    cpu.memory.fill(0);
    for (int i = 0; i < 4; ++i) cpu.memory[static_cast<uint16_t>(start + i)] = code[i];
    cpu.Reset(0);
    cpu.Regs.BC = cpu.Regs.DE = cpu.Regs.HL = cpu.Regs.IX = cpu.Regs.IY = cpu.Regs.SP = 0x8000;
    cpu.Regs.PC = start;
    cpu.ClearLogs();
    cpu.logTicks = false;
    cpu.Step();
    std::set<uint16_t> read;
    for (const TestMachine::Access& a : cpu.accesses)
        if (a.kind == 'r') read.insert(a.address);
    int n = 0;
    for (int k = 0; k < 8; ++k)
        if (read.count(static_cast<uint16_t>(start + k))) n = k + 1;
    const int step = static_cast<uint16_t>(cpu.Regs.PC - start);
    if (n < 2 && step >= 1 && step <= 4) n = std::max(n, step);
    // A DD or FD before an opcode with no index form is read with that opcode
    // and then given back: the processor steps back to run the opcode as an
    // instruction of its own.
    if ((code[0] == 0xDD || code[0] == 0xFD) && step == 1) n = 1;
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint8_t code[4] = {};
    std::memcpy(code, data, size < 4 ? size : 4);
    const uint16_t address = size > 5 ? static_cast<uint16_t>(data[4] | data[5] << 8) : 0x1000;

    char text[64];
    std::memset(text, '~', sizeof text);
    const int length = Disassemble(code, text, address);
    const size_t textLength = strnlen(text, sizeof text);
    FUZZ_CHECK(textLength > 0 && textLength <= 19);
    for (size_t i = textLength + 1; i < sizeof text; ++i) FUZZ_CHECK(text[i] == '~'); // nothing written past the end
    for (size_t i = 0; i < textLength; ++i) FUZZ_CHECK(text[i] >= 0x20 && text[i] < 0x7F);
    FUZZ_CHECK(length >= 1 && length <= 4);

    // EI runs the instruction after it before it ends (no interrupt comes
    // in between), so only its own opcode byte is its length.
    const int taken = code[0] == 0xFB ? 1 : std::min(BytesTaken(code, 0x1000), BytesTaken(code, 0x5000));
    FUZZ_CHECK(length == taken);
    return 0;
}
