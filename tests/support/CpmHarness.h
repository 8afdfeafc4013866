// A minimal CP/M-style machine for running whole Z80 programs as tests: flat
// 64 KB, the program loaded at 0x0100, the trap opcode ED FE at 0x0005 (with
// a RET after it) as the console, and the run ends when PC reaches 0.
//
// Console functions, by C at the trap: 2 prints the character in E, 9 prints
// the '$'-terminated string at DE, 0 ends the program. IN from port p returns
// (p >> 8) ^ (p & 0xFF), so programs can check port numbers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "support/TestMachine.h"

class CpmHarness {
public:
    CpmHarness();

    // Loads a program image at 0x0100; false if the file is missing, empty or
    // does not fit below the top of memory.
    bool Load(const std::filesystem::path& program);
    // Runs until PC reaches 0 or maxCycles T-states have passed; true when the
    // program came back to 0.
    bool Run(uint64_t maxCycles);

    const std::string& Console() const { return console_; }
    TestMachine& Machine() { return m_; }

private:
    void Bdos(Z80Registers* regs);

    TestMachine m_;
    std::string console_;
    bool finished_ = false;
};
