#include "debug/Expression.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstddef>
#include <charconv>

#include "debug/Symbols.h"

namespace {

// Register names and how to read them: a slot of the register record, a shift
// and a mask. R is read as LD A,R sees it.
#define SLOT(member) static_cast<int>(offsetof(Z80Registers, member) / sizeof(uint32_t))
struct RegisterName {
    const char* name;
    int slot; // index into the 19 slots; -1 for R as LD A,R sees it
    int shift;
    uint32_t mask;
};
const RegisterName kRegisters[] = {
    {"A", SLOT(AF), 8, 0xFF},     {"F", SLOT(AF), 0, 0xFF},
    {"B", SLOT(BC), 8, 0xFF},     {"C", SLOT(BC), 0, 0xFF},
    {"D", SLOT(DE), 8, 0xFF},     {"E", SLOT(DE), 0, 0xFF},
    {"H", SLOT(HL), 8, 0xFF},     {"L", SLOT(HL), 0, 0xFF},
    {"AF", SLOT(AF), 0, 0xFFFF},  {"BC", SLOT(BC), 0, 0xFFFF},
    {"DE", SLOT(DE), 0, 0xFFFF},  {"HL", SLOT(HL), 0, 0xFFFF},
    {"IX", SLOT(IX), 0, 0xFFFF},  {"IY", SLOT(IY), 0, 0xFFFF},
    {"SP", SLOT(SP), 0, 0xFFFF},  {"PC", SLOT(PC), 0, 0xFFFF},
    {"AF'", SLOT(AFAlt), 0, 0xFFFF}, {"BC'", SLOT(BCAlt), 0, 0xFFFF},
    {"DE'", SLOT(DEAlt), 0, 0xFFFF}, {"HL'", SLOT(HLAlt), 0, 0xFFFF},
    {"IXH", SLOT(IX), 8, 0xFF},   {"IXL", SLOT(IX), 0, 0xFF},
    {"IYH", SLOT(IY), 8, 0xFF},   {"IYL", SLOT(IY), 0, 0xFF},
    {"I", SLOT(I), 0, 0xFF},      {"R", -1, 0, 0xFF},
    {"IFF1", SLOT(IFF1), 0, 1},   {"IFF2", SLOT(IFF2), 0, 1},
    {"IM", SLOT(IM), 0, 3},
};
// The pairs that may stand in (rr) for a memory byte.
bool IsPairRegister(int index) { return index >= 8 && index <= 15; }

const struct {
    const char* name;
    int bit;
} kFlags[] = {{"SF", 7}, {"ZF", 6}, {"HF", 4}, {"PF", 2}, {"VF", 2}, {"NF", 1}, {"CF", 0}};

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

constexpr size_t MaxTextLength = 1024;
constexpr size_t MaxCode = 256;

} // namespace

// Recursive descent over the text, producing postfix code. Precedence from
// low to high: ||, &&, comparisons, |, ^, &, shifts, + -, * / %, unary.
class ExpressionParser {
public:
    ExpressionParser(std::string_view text, const SymbolTable* symbols, bool allowValue)
        : s(text), symbols(symbols), allowValue(allowValue) {}

    bool Run(Expression& out, std::string* error) {
        if (s.size() > MaxTextLength) return Fail(0, "the expression is too long") || Report(error);
        SkipBlanks();
        if (pos == s.size()) return Fail(pos, "empty expression") || Report(error);
        if (!ParseOr()) return Report(error);
        SkipBlanks();
        if (pos != s.size()) {
            Fail(pos, "unexpected '" + std::string(1, s[pos]) + "'");
            return Report(error);
        }
        // The deepest the evaluation stack gets.
        int depth = 0, deepest = 0;
        for (const auto& instr : code) {
            switch (instr.op) {
            case Expression::Op::Const: case Expression::Op::Reg: case Expression::Op::Flag:
            case Expression::Op::Value: ++depth; break;
            case Expression::Op::Byte: case Expression::Op::Word: case Expression::Op::Neg:
            case Expression::Op::Not: case Expression::Op::Compl: break;
            default: --depth; break;
            }
            deepest = std::max(deepest, depth);
        }
        if (deepest > Expression::MaxStack || code.size() > MaxCode) {
            Fail(0, "the expression is too deeply nested");
            return Report(error);
        }
        out.text = std::string(s);
        out.code = std::move(code);
        return true;
    }

private:
    using Op = Expression::Op;

    bool Report(std::string* error) {
        if (error) *error = message;
        return false;
    }
    bool Fail(size_t at, const std::string& what) {
        if (message.empty()) message = "column " + std::to_string(at + 1) + ": " + what;
        return false;
    }
    void SkipBlanks() {
        while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos]))) ++pos;
    }
    bool Accept(std::string_view token) {
        SkipBlanks();
        if (s.substr(pos, token.size()) != token) return false;
        pos += token.size();
        return true;
    }
    void Emit(Op op, int32_t arg = 0) { code.push_back({op, arg}); }

    // Binary levels: each entry is a token and its operation, longest first.
    template <class Next> bool Level(Next next, std::initializer_list<std::pair<std::string_view, Op>> ops) {
        if (!(this->*next)()) return false;
        for (;;) {
            bool matched = false;
            for (const auto& [token, op] : ops) {
                SkipBlanks();
                // '&' must not take the first half of '&&', nor '|' of '||', nor '<' of '<<'.
                if (s.substr(pos, token.size()) != token) continue;
                const size_t after = pos + token.size();
                if (token.size() == 1 && after < s.size() &&
                    ((token == "&" && s[after] == '&') || (token == "|" && s[after] == '|') ||
                     ((token == "<" || token == ">") && (s[after] == '=' || s[after] == token[0]))))
                    continue;
                pos = after;
                if (!(this->*next)()) return false;
                Emit(op);
                matched = true;
                break;
            }
            if (!matched) return true;
        }
    }
    bool ParseOr() { return Level(&ExpressionParser::ParseAnd, {{"||", Op::LogOr}}); }
    bool ParseAnd() { return Level(&ExpressionParser::ParseCompare, {{"&&", Op::LogAnd}}); }
    bool ParseCompare() {
        return Level(&ExpressionParser::ParseBitOr, {{"==", Op::Eq}, {"!=", Op::Ne}, {"<=", Op::Le},
                                                      {">=", Op::Ge}, {"<", Op::Lt}, {">", Op::Gt}});
    }
    bool ParseBitOr() { return Level(&ExpressionParser::ParseBitXor, {{"|", Op::Or}}); }
    bool ParseBitXor() { return Level(&ExpressionParser::ParseBitAnd, {{"^", Op::Xor}}); }
    bool ParseBitAnd() { return Level(&ExpressionParser::ParseShift, {{"&", Op::And}}); }
    bool ParseShift() { return Level(&ExpressionParser::ParseSum, {{"<<", Op::Shl}, {">>", Op::Shr}}); }
    bool ParseSum() { return Level(&ExpressionParser::ParseTerm, {{"+", Op::Add}, {"-", Op::Sub}}); }
    bool ParseTerm() {
        return Level(&ExpressionParser::ParseUnary, {{"*", Op::Mul}, {"/", Op::Div}, {"%", Op::Mod}});
    }
    bool ParseUnary() {
        if (++nesting > 64) return Fail(pos, "the expression is too deeply nested");
        bool ok;
        SkipBlanks();
        if (Accept("!") ) ok = ParseUnary() && (Emit(Op::Not), true);
        else if (Accept("~")) ok = ParseUnary() && (Emit(Op::Compl), true);
        else if (Accept("-")) ok = ParseUnary() && (Emit(Op::Neg), true);
        else ok = ParsePrimary();
        --nesting;
        return ok;
    }

    bool ParsePrimary() {
        SkipBlanks();
        if (pos >= s.size()) return Fail(pos, "expected a value");
        const size_t start = pos;
        const char c = s[pos];
        if (c == '(') {
            ++pos;
            const size_t first = code.size();
            if (!ParseOr()) return false;
            if (!Accept(")")) return Fail(pos, "expected ')'");
            // (HL), (IX+5), (SP-2): the byte at that address, as in Z80 assembler.
            const size_t n = code.size() - first;
            const bool pair = code[first].op == Op::Reg && IsPairRegister(code[first].arg);
            if (pair && (n == 1 || (n == 3 && code[first + 1].op == Op::Const &&
                                    (code[first + 2].op == Op::Add || code[first + 2].op == Op::Sub))))
                Emit(Op::Byte);
            return true;
        }
        if (c == '$' || c == '#' || std::isdigit(static_cast<unsigned char>(c))) return ParseNumber();
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '.') {
            while (pos < s.size() && (std::isalnum(static_cast<unsigned char>(s[pos])) || s[pos] == '_' ||
                                      s[pos] == '.' || s[pos] == '$' || s[pos] == '?' || s[pos] == '@'))
                ++pos;
            if (pos < s.size() && s[pos] == '\'') ++pos; // AF' and friends
            return Name(s.substr(start, pos - start), start);
        }
        return Fail(pos, "unexpected '" + std::string(1, c) + "'");
    }

    bool ParseNumber() {
        const size_t start = pos;
        int base = 16;
        if (s[pos] == '$') ++pos;
        else if (s[pos] == '#') {
            base = 10;
            ++pos;
        } else if (s[pos] == '0' && pos + 1 < s.size() && (s[pos + 1] == 'x' || s[pos + 1] == 'X'))
            pos += 2;
        const size_t digits = pos;
        while (pos < s.size() && std::isxdigit(static_cast<unsigned char>(s[pos]))) ++pos;
        size_t end = pos;
        if (base == 16 && pos < s.size() && (s[pos] == 'h' || s[pos] == 'H')) ++pos;
        if (pos < s.size() && (std::isalnum(static_cast<unsigned char>(s[pos])) || s[pos] == '_'))
            return Fail(start, "bad number '" + std::string(s.substr(start, pos + 1 - start)) + "'");
        uint32_t value = 0;
        const auto [p, ec] = std::from_chars(s.data() + digits, s.data() + end, value, base);
        if (digits == end || ec != std::errc() || p != s.data() + end)
            return Fail(start, "bad number '" + std::string(s.substr(start, pos - start)) + "'");
        Emit(Op::Const, static_cast<int32_t>(value));
        return true;
    }

    bool Name(std::string_view name, size_t at) {
        for (int i = 0; i < static_cast<int>(std::size(kRegisters)); ++i)
            if (EqualsNoCase(name, kRegisters[i].name)) {
                Emit(Op::Reg, i);
                return true;
            }
        if (name.back() == '\'') return Fail(at, "unknown register '" + std::string(name) + "'");
        for (const auto& flag : kFlags)
            if (EqualsNoCase(name, flag.name)) {
                Emit(Op::Flag, flag.bit);
                return true;
            }
        if (EqualsNoCase(name, "value")) {
            if (!allowValue) return Fail(at, "'value' is only known in a watchpoint's condition");
            Emit(Op::Value);
            return true;
        }
        if (EqualsNoCase(name, "byte") || EqualsNoCase(name, "word")) {
            const Op op = EqualsNoCase(name, "byte") ? Op::Byte : Op::Word;
            if (!Accept("(")) return Fail(pos, "expected '(' after " + std::string(name));
            if (!ParseOr()) return false;
            if (!Accept(")")) return Fail(pos, "expected ')'");
            Emit(op);
            return true;
        }
        if (symbols)
            if (auto address = symbols->Find(name)) {
                Emit(Op::Const, *address);
                return true;
            }
        if (name.size() <= 8 && std::all_of(name.begin(), name.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); })) {
            uint32_t value = 0;
            std::from_chars(name.data(), name.data() + name.size(), value, 16);
            Emit(Op::Const, static_cast<int32_t>(value));
            return true;
        }
        return Fail(at, "unknown name '" + std::string(name) + "'");
    }

    std::string_view s;
    const SymbolTable* symbols;
    bool allowValue;
    size_t pos = 0;
    int nesting = 0;
    std::vector<Expression::Instr> code;
    std::string message;
};

std::optional<Expression> Expression::Parse(std::string_view text, const SymbolTable* symbols, std::string* error,
                                            bool allowValue) {
    Expression result;
    ExpressionParser parser(text, symbols, allowValue);
    if (!parser.Run(result, error)) return std::nullopt;
    return result;
}

int32_t Expression::Evaluate(const ExpressionContext& context) const {
    int32_t stack[MaxStack];
    int top = -1;
    const uint32_t* slots = context.regs ? &context.regs->AF : nullptr;
    auto peek = [&](uint32_t address) -> uint32_t {
        return context.memory ? context.memory->PeekMem(static_cast<uint16_t>(address)) : 0;
    };
    for (const Instr& in : code) {
        switch (in.op) {
        case Op::Const: stack[++top] = in.arg; break;
        case Op::Reg: {
            const auto& reg = kRegisters[in.arg];
            uint32_t v = 0;
            if (slots) {
                if (reg.slot < 0) v = (context.regs->R & 0x7F) | (context.regs->R7 & 0x80);
                else v = (slots[reg.slot] >> reg.shift) & reg.mask;
            }
            stack[++top] = static_cast<int32_t>(v);
            break;
        }
        case Op::Flag: stack[++top] = slots ? static_cast<int32_t>((context.regs->AF >> in.arg) & 1) : 0; break;
        case Op::Value: stack[++top] = static_cast<int32_t>(context.value); break;
        case Op::Byte: stack[top] = static_cast<int32_t>(peek(static_cast<uint32_t>(stack[top]))); break;
        case Op::Word: {
            const uint32_t a = static_cast<uint32_t>(stack[top]);
            stack[top] = static_cast<int32_t>(peek(a) | (peek(a + 1) << 8));
            break;
        }
        case Op::Neg: stack[top] = static_cast<int32_t>(0u - static_cast<uint32_t>(stack[top])); break;
        case Op::Not: stack[top] = !stack[top]; break;
        case Op::Compl: stack[top] = ~stack[top]; break;
        default: {
            const int32_t b = stack[top--];
            int32_t& a = stack[top];
            const uint32_t ua = static_cast<uint32_t>(a), ub = static_cast<uint32_t>(b);
            switch (in.op) {
            case Op::Mul: a = static_cast<int32_t>(ua * ub); break;
            case Op::Div: a = b == 0 || (a == INT32_MIN && b == -1) ? 0 : a / b; break;
            case Op::Mod: a = b == 0 || (a == INT32_MIN && b == -1) ? 0 : a % b; break;
            case Op::Add: a = static_cast<int32_t>(ua + ub); break;
            case Op::Sub: a = static_cast<int32_t>(ua - ub); break;
            case Op::Shl: a = static_cast<int32_t>(ub >= 32 ? 0 : ua << ub); break;
            case Op::Shr: a = static_cast<int32_t>(ub >= 32 ? 0 : ua >> ub); break;
            case Op::And: a &= b; break;
            case Op::Xor: a ^= b; break;
            case Op::Or: a |= b; break;
            case Op::Eq: a = a == b; break;
            case Op::Ne: a = a != b; break;
            case Op::Lt: a = a < b; break;
            case Op::Le: a = a <= b; break;
            case Op::Gt: a = a > b; break;
            case Op::Ge: a = a >= b; break;
            case Op::LogAnd: a = a && b; break;
            case Op::LogOr: a = a || b; break;
            default: break;
            }
        }
        }
    }
    return top >= 0 ? stack[top] : 0;
}
