#include <cstdio>

#include "cpu/Z80.h"

// Placeholder until the disassembler is built: every byte is shown as data.
int Disassemble(const uint8_t* code, char* text, uint16_t) {
    std::snprintf(text, 20, "db     $%02x", code[0]);
    return 1;
}
