#include "debug/Listing.h"

#include <cctype>
#include <cstdio>

#include "cpu/Z80.h"
#include "debug/Symbols.h"

std::string DisassembleWithLabels(const uint8_t* code, uint16_t address, const SymbolTable* symbols, int* length) {
    char text[32] = {};
    int n = Disassemble(code, text, address);
    if (n < 1) n = 1;
    if (length) *length = n;
    std::string line(text);
    if (!symbols || symbols->Empty()) return line;
    // Operands are "$hhhh" for words and jump targets, "$hh" for bytes:
    // only the words name addresses.
    for (size_t at = line.find('$'); at != std::string::npos; at = line.find('$', at + 1)) {
        size_t end = at + 1;
        while (end < line.size() && std::isxdigit(static_cast<unsigned char>(line[end]))) ++end;
        if (end - at != 5) continue;
        const auto value = static_cast<uint16_t>(std::stoul(line.substr(at + 1, 4), nullptr, 16));
        if (const std::string* name = symbols->NameAt(value)) {
            line.replace(at, 5, *name);
            at += name->size() - 1;
        }
    }
    return line;
}

std::string FormatRegisterDump(const Z80Registers& r) {
    char flags[9] = {};
    const char* names = "SZ5H3PNC";
    for (int i = 0; i < 8; ++i) flags[i] = ((r.AF >> (7 - i)) & 1) ? names[i] : '-';
    char text[256];
    std::snprintf(text, sizeof text,
                  "PC=%04x SP=%04x AF=%04x BC=%04x DE=%04x HL=%04x IX=%04x IY=%04x F=%s\n"
                  "AF'=%04x BC'=%04x DE'=%04x HL'=%04x I=%02x R=%02x IM=%u IFF1=%u IFF2=%u%s\n",
                  r.PC, r.SP, r.AF, r.BC, r.DE, r.HL, r.IX, r.IY, flags, r.AFAlt, r.BCAlt, r.DEAlt, r.HLAlt, r.I,
                  (r.R & 0x7F) | (r.R7 & 0x80), r.IM, r.IFF1, r.IFF2, r.Halted ? " (halted)" : "");
    return text;
}
