#include "support/CpmHarness.h"

#include <fstream>
#include <iterator>
#include <vector>

namespace {
constexpr uint16_t kProgramStart = 0x0100;
constexpr uint16_t kStackTop = 0xFFFE; // holds 0x0000: a final RET ends the program
constexpr size_t kMaxString = 0x10000; // a missing '$' stops at one trip round memory
} // namespace

CpmHarness::CpmHarness() {
    m_.logAccesses = false;
    m_.logTicks = false;
    m_.memory[0x0005] = 0xED; // the console entry: trap, then return
    m_.memory[0x0006] = 0xFE;
    m_.memory[0x0007] = 0xC9;
    for (uint32_t p = 0; p < m_.ports.size(); ++p) m_.ports[p] = static_cast<uint8_t>((p >> 8) ^ (p & 0xFF));
    m_.Regs.PC = kProgramStart;
    m_.Regs.SP = kStackTop;
    m_.onTrap = [this](Z80Registers* regs) { Bdos(regs); };
    m_.onTick = [this](int) {
        if (m_.Regs.PC == 0) {
            finished_ = true;
            m_.CycleBudget = 0;
        }
    };
}

bool CpmHarness::Load(const std::filesystem::path& program) {
    std::ifstream in(program, std::ios::binary);
    if (!in) return false;
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (bytes.empty() || bytes.size() > static_cast<size_t>(kStackTop - kProgramStart)) return false;
    for (size_t i = 0; i < bytes.size(); ++i) m_.memory[kProgramStart + i] = static_cast<uint8_t>(bytes[i]);
    return true;
}

bool CpmHarness::Run(uint64_t maxCycles) {
    while (!finished_ && m_.totalCycles < maxCycles) {
        m_.CycleBudget = 100000;
        m_.CyclePeriod = 0;
        m_.Run();
    }
    return finished_;
}

void CpmHarness::Bdos(Z80Registers* regs) {
    const uint8_t function = static_cast<uint8_t>(regs->BC);
    if (function == 2) {
        console_ += static_cast<char>(regs->DE & 0xFF);
    } else if (function == 9) {
        uint16_t at = static_cast<uint16_t>(regs->DE);
        for (size_t n = 0; n < kMaxString && m_.memory[at] != '$'; ++n, ++at) console_ += static_cast<char>(m_.memory[at]);
    } else if (function == 0) {
        regs->PC = 0;
    }
}
