// The condition language from a table of expressions (values and the
// messages for bad ones), and symbol files written by the real tools:
// z80asm and pasmo on the same bundled program must agree on every label,
// and the sdcc linker's .noi and .map on every symbol.
#include <gtest/gtest.h>

#include <cstring>

#include "debug/Expression.h"
#include "debug/Symbols.h"
#include "support/TestFiles.h"

using namespace testing_support;

namespace {

class Memory final : public MemoryPeek {
public:
    uint8_t PeekMem(uint16_t a) const override { return bytes[a]; }
    uint8_t bytes[0x10000] = {};
};

TEST(Conditions, ATableOfExpressionsAndTheirValues) {
    Z80Registers r{};
    r.AF = 0x4145; // A 0x41, F: Z (0x40) C (0x01), bit 2 (P/V)
    r.BC = 0x1234;
    r.HL = 0x8000;
    r.IX = 0x9000;
    r.SP = 0xEFFE;
    r.PC = 0x0100;
    r.AFAlt = 0xFF00;
    r.I = 0x3F;
    r.R = 0x1FF;
    r.R7 = 0x80;
    Memory m;
    m.bytes[0x8000] = 0x2A;
    m.bytes[0x9005] = 7;
    m.bytes[0x7FFE] = 9;
    m.bytes[0xC000] = 4;
    m.bytes[0xEFFE] = 0x34;
    m.bytes[0xEFFF] = 0x12;
    SymbolTable symbols;
    symbols.Add("counter", 0xC000);
    symbols.Add("beef", 0x0042); // a label wins over the hex number it spells
    const struct {
        const char* text;
        int32_t value;
    } cases[] = {
        {"A == 0x41 && (HL) != 0", 1},
        {"byte(counter) > 3", 1},
        {"byte(counter) > #4", 0},
        {"A", 0x41},
        {"a == $41 && b == 12h && c == 34", 1}, // names in any case, numbers hex
        {"(IX+5) + (IX-1002h)", 16},
        {"(1 + 2) * 3", 9},                     // parentheses that are no memory operand
        {"word(sp) == 1234", 1},
        {"ZF && CF && !SF && PF == VF", 1},
        {"AF' == FF00 || 0", 1},
        {"IXH == 90 && IXL == 0", 1},
        {"R == FF && I == 3F", 1},               // R as LD A,R reads it
        {"PC >= 100 && PC < 200", 1},
        {"HL - 1 == 7FFF", 1},
        {"-1 == FFFFFFFF", 1},
        {"~0 & FF", 0xFF},
        {"1 << 4 | 1", 0x11},
        {"100 >> 4 ^ 3", 0x13},
        {"7 % 3 + 10 / 2", 9},
        {"5 / 0", 0},                            // defined, not a crash
        {"beef", 0x42},
        {"cafe", 0xCAFE},
        {"1 || 0 && 0", 1},                      // && binds tighter
        {"2 < 3 == 1", 1},
        {"byte(FFFF) + word(FFFF)", 0},          // wraps at the top of memory
    };
    for (const auto& c : cases) {
        std::string error;
        const auto e = Expression::Parse(c.text, &symbols, &error);
        ASSERT_TRUE(e.has_value()) << c.text << ": " << error;
        EXPECT_EQ(e->Evaluate({&r, &m, 0}), c.value) << c.text;
    }
    const auto watch = Expression::Parse("value == 41 && A == value", &symbols, nullptr, true);
    ASSERT_TRUE(watch);
    EXPECT_TRUE(watch->IsTrue({&r, &m, 0x41}));
    EXPECT_FALSE(watch->IsTrue({&r, &m, 0x42}));
}

TEST(Conditions, BadExpressionsAreRefusedSayingWhere) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"", "column 1: empty expression"},
        {"A ==", "column 5: expected a value"},
        {"A == 0x41 && (HL != 0", "column 22: expected ')'"},
        {"byte counter", "column 6: expected '(' after byte"},
        {"A = 1", "column 3: unexpected '='"},
        {"nowhere > 1", "column 1: unknown name 'nowhere'"},
        {"XY' == 1", "column 1: unknown register 'XY''"},
        {"value == 1", "column 1: 'value' is only known in a watchpoint's condition"},
        {"12G4", "column 1: bad number '12G'"},
        {"0x", "column 1: bad number '0x'"},
        {"#12a", "column 1: bad number '#12a'"},
        {"A == 1 )", "column 8: unexpected ')'"},
        {"1 @ 2", "column 3: unexpected '@'"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(Expression::Parse(c.text, nullptr, &error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
    // Deep nesting and long texts are refused, not followed into a crash.
    std::string deep(200, '(');
    deep += "1" + std::string(200, ')');
    std::string error;
    EXPECT_FALSE(Expression::Parse(deep, nullptr, &error));
    EXPECT_NE(error.find("too deeply nested"), std::string::npos);
    EXPECT_FALSE(Expression::Parse(std::string(2000, '1'), nullptr, &error));
    std::string wide = "1";
    for (int i = 0; i < 40; ++i) wide = "(" + wide + "+1)";
    EXPECT_TRUE(Expression::Parse(wide, nullptr, &error)) << error; // deep only on one side
}

std::string Symbols(const std::string& name) { return std::string(VEXA_SYMBOLS_DIR) + "/" + name; }

TEST(SymbolFiles, Z80asmAndPasmoAgreeOnTheBundledProgram) {
    SymbolTable z80asm, pasmo;
    std::string error;
    SymbolFormat format{};
    ASSERT_TRUE(z80asm.LoadFile(Symbols("hello.z80asm.sym"), &error, &format)) << error;
    EXPECT_EQ(format, SymbolFormat::Z80asm);
    ASSERT_TRUE(pasmo.LoadFile(Symbols("hello.pasmo.sym"), &error, &format)) << error;
    EXPECT_EQ(format, SymbolFormat::Pasmo);
    ASSERT_GT(z80asm.Size(), 20u);
    size_t shared = 0;
    for (const auto& [address, name] : z80asm.All()) {
        const auto other = pasmo.Find(name);
        if (!other) continue;
        ++shared;
        EXPECT_EQ(*other, address) << name;
    }
    EXPECT_GE(shared, z80asm.Size() - 2);
    EXPECT_EQ(*z80asm.Find("greeting"), *pasmo.Find("greeting"));
    EXPECT_GE(*z80asm.Find("greeting"), 0x8000);
}

TEST(SymbolFiles, TheSdccLinkersNoiAndMapAgree) {
    SymbolTable noi, map;
    std::string error;
    SymbolFormat format{};
    ASSERT_TRUE(noi.LoadFile(Symbols("counter.noi"), &error, &format)) << error;
    EXPECT_EQ(format, SymbolFormat::SdccNoi);
    ASSERT_TRUE(map.LoadFile(Symbols("counter.map"), &error, &format)) << error;
    EXPECT_EQ(format, SymbolFormat::SdccMap);
    for (const char* name : {"_main", "_counter", "_total"}) {
        ASSERT_TRUE(noi.Find(name)) << name;
        ASSERT_TRUE(map.Find(name)) << name;
        EXPECT_EQ(*noi.Find(name), *map.Find(name)) << name;
    }
    EXPECT_GE(*noi.Find("_main"), 0x8000);
    EXPECT_EQ(*noi.Find("_counter"), 0xC000); // --data-loc
    EXPECT_FALSE(noi.Find("l__CODE"));        // area sizes are not addresses
    EXPECT_FALSE(map.Find("_CODE"));          // nor are the map's area lines
    // The linker's Intel hex holds main's code at main's address.
    const std::string ihx = ReadFileText(Symbols("counter.ihx"));
    const unsigned main = *noi.Find("_main");
    bool covered = false;
    for (size_t at = ihx.find(':'); at != std::string::npos; at = ihx.find(':', at + 1)) {
        const unsigned length = std::stoul(ihx.substr(at + 1, 2), nullptr, 16);
        const unsigned address = std::stoul(ihx.substr(at + 3, 4), nullptr, 16);
        if (ihx.substr(at + 7, 2) == "00" && address <= main && main < address + length) covered = true;
    }
    EXPECT_TRUE(covered);
}

TEST(SymbolFiles, PlainListsAndBadFilesGetAMessageOrADefault) {
    SymbolTable t;
    std::string error;
    SymbolFormat format{};
    ASSERT_TRUE(t.Load("; my labels\r\nstart = $8000\nloop EQU 8003\nend equ 0x8010 ; done\n", &error, &format));
    EXPECT_EQ(format, SymbolFormat::Plain);
    EXPECT_EQ(*t.Find("loop"), 0x8003);
    EXPECT_EQ(*t.Find("END"), 0x8010); // case-insensitive when no exact match
    EXPECT_EQ(t.Describe(0x8005), "loop+2");
    EXPECT_EQ(*ParseAddress("loop+10", &t, &error), 0x8013);
    EXPECT_EQ(*ParseAddress("8000", &t, &error), 0x8000);
    EXPECT_FALSE(ParseAddress("nowhere", &t, &error));
    EXPECT_EQ(error, "unknown label 'nowhere'");
    // Some bad lines: skipped and counted; a value beyond 64 KB is skipped too.
    ASSERT_TRUE(t.Load("a = $10\nthis is not a symbol\nbig = $123456\n", &error));
    EXPECT_EQ(error, "2 lines skipped, the first at line 2");
    EXPECT_FALSE(t.Find("big"));
    const struct {
        std::string text;
        const char* error;
    } bad[] = {
        {"", "not a symbol file: no line of the form 'name = $hex', 'name EQU hex' or 'DEF name 0xhex'"},
        {std::string("PK\x03\x04\0\0", 6), "not a symbol file: the file is binary, not a text list of symbols"},
        {"ASxxxx Assembler V02.00\nSymbol Table\n", "not a symbol file: this is an assembler's symbol table, whose "
                                                   "addresses are not yet relocated: load the linker's .noi or .map "
                                                   "file instead"},
        {"DEF\nDEF x\nDEF y zz\n", "no symbols found in this sdcc linker .noi file (line 2 is not a symbol)"},
    };
    for (const auto& c : bad) {
        SymbolTable empty;
        EXPECT_FALSE(empty.Load(c.text, &error));
        EXPECT_EQ(error, c.error);
        EXPECT_TRUE(empty.Empty());
    }
    EXPECT_FALSE(t.LoadFile("/nonexistent/x.sym", &error));
    EXPECT_EQ(error.rfind("/nonexistent/x.sym: ", 0), 0u);
}

} // namespace
