// Condition expressions of breakpoints and watchpoints: registers, flags,
// memory bytes and words, labels, arithmetic, comparisons and && / ||. For
// example "A == 0x41 && (HL) != 0" or "byte(counter) > 3".
//
// Numbers are hexadecimal, as in every field of the debugger: "41", "$41",
// "0x41" and "41h" are all 65; "#65" is decimal. A name is a register
// (A F B C D E H L I R, AF BC DE HL IX IY SP PC, AF' BC' DE' HL', IXH IXL
// IYH IYL, IFF1 IFF2 IM), a flag (SF ZF HF PF VF NF CF, each 0 or 1), a label,
// or, when none of these, hexadecimal digits. (rr) and (rr+n) are the byte
// at that address, as in Z80 assembler; byte(x) and word(x) read any address.
// A watchpoint's condition may use "value", the byte read or written.
//
// Parsing happens once; evaluation allocates nothing and reads memory through
// a side-effect-free peek, so it can run on the CPU thread after any access.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cpu/Z80.h"

class SymbolTable;

// Reads memory as the processor sees it, without touching any device.
class MemoryPeek {
public:
    virtual uint8_t PeekMem(uint16_t address) const = 0;

protected:
    ~MemoryPeek() = default;
};

struct ExpressionContext {
    const Z80Registers* regs = nullptr;
    const MemoryPeek* memory = nullptr;
    uint32_t value = 0; // the accessed byte, for watchpoints
};

class Expression {
public:
    // Compiles the text; nullopt with a message such as "column 12: expected ')'"
    // when it is not a valid expression. allowValue admits the name "value".
    static std::optional<Expression> Parse(std::string_view text, const SymbolTable* symbols, std::string* error,
                                           bool allowValue = false);

    int32_t Evaluate(const ExpressionContext& context) const;
    bool IsTrue(const ExpressionContext& context) const { return Evaluate(context) != 0; }
    const std::string& Text() const { return text; }

    enum class Op : uint8_t {
        Const, Reg, Flag, Value, Byte, Word,
        Neg, Not, Compl,
        Mul, Div, Mod, Add, Sub, Shl, Shr, And, Xor, Or,
        Eq, Ne, Lt, Le, Gt, Ge, LogAnd, LogOr
    };
    struct Instr {
        Op op;
        int32_t arg;
    };
    static constexpr int MaxStack = 32;

private:
    friend class ExpressionParser;
    std::string text;
    std::vector<Instr> code;
};
