// Disassembly with labels: the processor's disassembler, with every
// four-digit address operand that has a label shown by name.
#pragma once

#include <cstdint>
#include <string>

class SymbolTable;

// One instruction from code (at least four bytes) at address; *length gets
// its size in bytes (at least 1).
std::string DisassembleWithLabels(const uint8_t* code, uint16_t address, const SymbolTable* symbols, int* length);

struct Z80Registers;
// The registers on two lines, with the flags spelled out (for a stop's
// report on stderr).
std::string FormatRegisterDump(const Z80Registers& regs);
