// A fixture shared by the instruction tests: a test machine with code placed
// at 0x1000 and a stack at 0x8000.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "Reference.h"
#include "support/TestMachine.h"

struct CpuTest : ::testing::Test {
    using Access = TestMachine::Access;
    TestMachine m;

    void SetUp() override {
        m.Regs.SP = 0x8000;
        m.Regs.R = 0;
    }
    // Puts the code at an address, points PC at it and empties the logs.
    void Code(std::initializer_list<uint8_t> bytes, uint16_t at = 0x1000) {
        uint16_t a = at;
        for (uint8_t b : bytes) m.memory[a++] = b;
        m.Regs.PC = at;
        m.ClearLogs();
    }
    // The memory accesses after the opcode fetches (the first `fetches` reads).
    std::vector<Access> AfterFetch(size_t fetches) const {
        if (m.accesses.size() < fetches) return {};
        return {m.accesses.begin() + static_cast<std::ptrdiff_t>(fetches), m.accesses.end()};
    }
    // Distinct values in every register pair; (HL) = 0x99.
    void SeedRegisters() {
        m.Regs.BC = 0x1122;
        m.Regs.DE = 0x3344;
        m.Regs.HL = 0x5566;
        m.memory[0x5566] = 0x99;
    }
    // The 8-bit operand with Z80 code 0-7 (B C D E H L (HL) A).
    uint8_t Reg(int code) const {
        const Z80Registers& r = m.Regs;
        switch (code) {
        case 0: return Hi(r.BC);
        case 1: return Lo(r.BC);
        case 2: return Hi(r.DE);
        case 3: return Lo(r.DE);
        case 4: return Hi(r.HL);
        case 5: return Lo(r.HL);
        case 6: return m.memory[r.HL & 0xFFFF];
        default: return Hi(r.AF);
        }
    }
    void SetReg(int code, uint8_t v) {
        Z80Registers& r = m.Regs;
        auto hi = [v](uint32_t& pair) { pair = (pair & 0x00FFu) | (uint32_t{v} << 8); };
        auto lo = [v](uint32_t& pair) { pair = (pair & 0xFF00u) | v; };
        switch (code) {
        case 0: hi(r.BC); break;
        case 1: lo(r.BC); break;
        case 2: hi(r.DE); break;
        case 3: lo(r.DE); break;
        case 4: hi(r.HL); break;
        case 5: lo(r.HL); break;
        case 6: m.memory[r.HL & 0xFFFF] = v; break;
        default: hi(r.AF); break;
        }
    }
    static uint8_t Hi(uint32_t v) { return static_cast<uint8_t>(v >> 8); }
    static uint8_t Lo(uint32_t v) { return static_cast<uint8_t>(v); }
};
