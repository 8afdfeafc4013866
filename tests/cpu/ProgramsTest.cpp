// Whole Z80 programs run in the CP/M-style harness.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <sstream>
#include <string>

#include "Reference.h"
#include "support/CpmHarness.h"
#include "support/TestFiles.h"

namespace {

constexpr uint64_t kCycleLimit = 500'000'000;

TEST(CpuPrograms, InstructionGroupsAllPass) {
    CpmHarness cpm;
    ASSERT_TRUE(cpm.Load(testing_support::TestProgram("cpu", "instructions")));
    ASSERT_TRUE(cpm.Run(kCycleLimit)) << "did not come back to 0\n" << cpm.Console();
    std::string want;
    for (const char* group : {"8-bit loads:", "16-bit loads and stack:", "8-bit arithmetic and logic:",
                              "INC and DEC:", "16-bit arithmetic:", "Rotates of A and flag operations:", "DAA:",
                              "CB rotates and shifts:", "BIT, SET and RES:", "Jumps, calls and returns:",
                              "Exchanges:", "NEG, RRD, RLD, I and R:", "Port input:", "Block instructions:",
                              "Index registers:", "Undefined and ignored prefixes:"})
        want += std::string(group) + " OK\r\n";
    want += "ALL TESTS PASSED\r\n";
    EXPECT_EQ(cpm.Console(), want);
}

// CRC-32 (reflected, polynomial 0xEDB88320) of the result bytes, worked out
// here from the reference rules in the order the program produces them.
class Crc32 {
public:
    void Add(uint8_t byte) {
        crc_ ^= byte;
        for (int i = 0; i < 8; ++i) crc_ = (crc_ >> 1) ^ ((crc_ & 1) ? 0xEDB88320u : 0u);
    }
    void Add(ref::AF af) {
        Add(af.a);
        Add(af.f);
    }
    uint32_t Value() const { return ~crc_; }

private:
    uint32_t crc_ = 0xFFFFFFFFu;
};

std::map<std::string, uint32_t> ExpectedSums() {
    std::map<std::string, uint32_t> sums;
    const uint8_t operands[] = {0x00, 0x01, 0x0F, 0x10, 0x7F, 0x80, 0x81, 0xFF,
                                0x3C, 0x55, 0xAA, 0xC3, 0x08, 0x99, 0x66, 0xF0};
    Crc32 alu;
    for (int op = 0; op < 8; ++op)
        for (int a = 0; a < 256; ++a)
            for (uint8_t v : operands)
                for (bool carry : {false, true}) alu.Add(ref::Alu(op, static_cast<uint8_t>(a), v, carry));
    sums["ALU"] = alu.Value();

    Crc32 neg;
    for (int pass = 0; pass < 2; ++pass) // F all ones, then all zeros: NEG ignores it
        for (int v = 0; v < 256; ++v) neg.Add(ref::Alu(2, 0, static_cast<uint8_t>(v), false));
    sums["NEG"] = neg.Value();

    Crc32 daa;
    const uint8_t daaFlags[] = {0x00, 0x01, 0x10, 0x11, 0x02, 0x03, 0x12, 0x13};
    for (uint8_t f : daaFlags)
        for (int a = 0; a < 256; ++a) daa.Add(ref::Daa(static_cast<uint8_t>(a), f));
    sums["DAA"] = daa.Value();

    Crc32 rotateA;
    for (int op = 0; op < 4; ++op)
        for (int a = 0; a < 256; ++a)
            for (uint8_t f : {0x00, 0xFF, 0x28, 0xD7}) rotateA.Add(ref::RotateA(op, static_cast<uint8_t>(a), f));
    sums["ROTATE A"] = rotateA.Value();

    Crc32 rotate;
    for (int op = 0; op < 8; ++op)
        for (int v = 0; v < 256; ++v)
            for (uint8_t f : {0x00, 0xFF}) rotate.Add(ref::Rotate(op, static_cast<uint8_t>(v), f));
    sums["ROTATE"] = rotate.Value();

    Crc32 incdec;
    for (int dec = 0; dec < 2; ++dec)
        for (int v = 0; v < 256; ++v)
            for (uint8_t f : {0x00, 0xFF})
                incdec.Add(dec ? ref::Dec(static_cast<uint8_t>(v), f) : ref::Inc(static_cast<uint8_t>(v), f));
    sums["INC DEC"] = incdec.Value();

    Crc32 bit;
    for (int b = 0; b < 8; ++b)
        for (int v = 0; v < 256; ++v)
            for (uint8_t f : {0x00, 0xFF}) bit.Add({static_cast<uint8_t>(v), ref::Bit(b, static_cast<uint8_t>(v), f)});
    sums["BIT"] = bit.Value();

    Crc32 arith16;
    const uint16_t words[] = {0x0000, 0x0001, 0x0FFF, 0x1000, 0x7FFF, 0x8000, 0xFFFF, 0x1234,
                              0xF00F, 0x8001, 0x4000, 0x00FF, 0xFF00, 0x5555, 0xAAAA, 0x7FFE};
    for (int op = 0; op < 3; ++op) {
        for (uint16_t hl : words) {
            for (uint16_t bc : words) {
                for (uint8_t f : {0x00, 0xFF}) {
                    const ref::Word w = op == 0   ? ref::Add16(hl, bc, f)
                                        : op == 1 ? ref::Adc16(hl, bc, f & 1)
                                                  : ref::Sbc16(hl, bc, f & 1);
                    arith16.Add(static_cast<uint8_t>(w.value >> 8));
                    arith16.Add(static_cast<uint8_t>(w.value));
                    arith16.Add(w.f);
                }
            }
        }
    }
    sums["ADD ADC SBC 16"] = arith16.Value();
    return sums;
}

TEST(CpuPrograms, ResultChecksumsOverWholeInstructionGroups) {
    CpmHarness cpm;
    ASSERT_TRUE(cpm.Load(testing_support::TestProgram("cpu", "flagcrc")));
    ASSERT_TRUE(cpm.Run(kCycleLimit)) << "did not come back to 0\n" << cpm.Console();
    std::map<std::string, uint32_t> printed;
    std::istringstream lines(cpm.Console());
    std::string line, last;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        last = line;
        const size_t at = line.find(" CRC ");
        if (at != std::string::npos) printed[line.substr(0, at)] = static_cast<uint32_t>(std::stoul(line.substr(at + 5), nullptr, 16));
    }
    EXPECT_EQ(last, "DONE");
    const auto want = ExpectedSums();
    EXPECT_EQ(printed.size(), want.size()) << cpm.Console();
    for (const auto& [name, sum] : want) {
        ASSERT_TRUE(printed.count(name)) << name << " missing\n" << cpm.Console();
        EXPECT_EQ(printed[name], sum) << name << std::hex << ": program " << printed[name] << ", reference " << sum;
    }
}

TEST(CpuPrograms, HarnessRejectsMissingAndOversizedPrograms) {
    testing_support::TempDir dir;
    CpmHarness cpm;
    EXPECT_FALSE(cpm.Load(dir / "missing.bin"));
    testing_support::WriteFileBytes(dir / "empty.bin", {});
    EXPECT_FALSE(cpm.Load(dir / "empty.bin"));
    testing_support::WriteFileBytes(dir / "huge.bin", std::vector<uint8_t>(0x10000, 0));
    EXPECT_FALSE(cpm.Load(dir / "huge.bin"));
}

TEST(CpuPrograms, HarnessConsoleAndEndOfProgram) {
    testing_support::TempDir dir;
    // ld e,'A' / ld c,2 / call 5 / ld de,msg / ld c,9 / call 5 / ret ; msg: "hi$"
    testing_support::WriteFileBytes(dir / "p.bin", {0x1E, 'A', 0x0E, 0x02, 0xCD, 0x05, 0x00, 0x11, 0x10, 0x01,
                                                    0x0E, 0x09, 0xCD, 0x05, 0x00, 0xC9, 'h', 'i', '$'});
    CpmHarness cpm;
    ASSERT_TRUE(cpm.Load(dir / "p.bin"));
    EXPECT_TRUE(cpm.Run(1000));
    EXPECT_EQ(cpm.Console(), "Ahi");
    EXPECT_EQ(cpm.Machine().Regs.PC, 0u);

    // A program that never ends is stopped at the limit.
    testing_support::WriteFileBytes(dir / "loop.bin", {0x18, 0xFE});
    CpmHarness looping;
    ASSERT_TRUE(looping.Load(dir / "loop.bin"));
    EXPECT_FALSE(looping.Run(10000));
}

} // namespace
