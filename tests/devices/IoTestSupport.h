// Shared pieces of the PS/2, key and SD card tests: a diagnostics sink that
// records what is posted, running a board's program, and test data.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "board/Vexaboard.h"
#include "diag/Diag.h"
#include "support/TestFiles.h"

namespace io_test {

// Records every message; `enabled` decides what IsTypeEnabled answers, and
// unlike the diagnostics log it keeps even what it says it does not want.
class RecordingSink : public DiagSink {
public:
    struct Message {
        int type;
        std::string text;
    };

    explicit RecordingSink(bool enabled = true) : enabled(enabled) { channel.Connect(this); }
    bool IsTypeEnabled(int) const override { return enabled; }
    void AddMessage(int type, const std::string& text) override { messages.push_back({type, text}); }

    // The texts posted under one type, in order.
    std::vector<std::string> Texts(int type) const {
        std::vector<std::string> out;
        for (const auto& m : messages)
            if (m.type == type) out.push_back(m.text);
        return out;
    }

    bool enabled;
    std::vector<Message> messages;
    // For devices made on their own; a machine's channel is connected with Attach.
    DiagChannel channel;
};

// The bytes of tests/devices/programs/<name>.asm, for a board's boot ROM.
inline std::vector<uint8_t> Program(const std::string& name) {
    return testing_support::ReadFileBytes(testing_support::TestProgram("devices", name));
}

// Runs about this many T-states, in short runs: a HALT hands the rest of a
// run to the devices at once, and the interrupt it waits for is then served
// in the next run.
inline void RunFor(TVexaBoard& board, int cycles) {
    for (int done = 0; done < cycles; done += 1000) board.RunFor(1000, 0);
}

inline uint16_t RamWord(const TVexaBoard& board, uint32_t address) {
    return static_cast<uint16_t>(board.MainRam()[address] | board.MainRam()[address + 1] << 8);
}

inline std::vector<uint8_t> RamBytes(const TVexaBoard& board, uint32_t address, size_t count) {
    return std::vector<uint8_t>(board.MainRam() + address, board.MainRam() + address + count);
}

// Reproducible bytes that look like data.
inline std::vector<uint8_t> Pattern(size_t size, unsigned seed) {
    std::vector<uint8_t> bytes(size);
    std::mt19937 rng(seed);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(rng());
    return bytes;
}

// Where the keyboard echo programs keep what the interrupt handler read.
constexpr uint32_t KbCount = 0x8000;  // 16-bit number of bytes read
constexpr uint32_t KbBuffer = 0x8010; // the bytes, in order

} // namespace io_test
