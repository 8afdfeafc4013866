// Shared pieces of the PS/2, key and SD card tests: a diagnostics sink that
// records what is posted, and a board booted from a test program in a
// private folder.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "audio/AudioOutput.h"
#include "board/Vexaboard.h"
#include "diag/Diag.h"
#include "support/FakeHost.h"
#include "support/TestFiles.h"

namespace io_test {

// Records every message; `enabled` decides what IsTypeEnabled answers.
class RecordingSink : public DiagSink {
public:
    struct Message {
        int type;
        std::string text;
    };

    explicit RecordingSink(bool enabled = true) : enabled(enabled) { DiagForm.store(this); }
    ~RecordingSink() { DiagForm.store(nullptr); }
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
};

// A board without threads in its own folder, booted from config.txt whose
// "bootrom" is the given test program plus any extra lines.
class TestBoard {
public:
    // prepare, when given, fills the folder before the first cold boot.
    explicit TestBoard(const std::string& program, const std::string& extraConfig = "",
                       const std::function<void(const std::filesystem::path&)>& prepare = {})
        : cwd(dir.Path()) {
        if (prepare) prepare(dir.Path());
        testing_support::WriteFileText(
            dir / "config.txt",
            "bootrom " + testing_support::TestProgram("devices", program).string() + "\n" + extraConfig);
        board = std::make_unique<TVexaBoard>(&host, /*startThreads=*/false);
    }

    // Runs about this many T-states, in short runs: a HALT hands the rest of
    // a run to the devices at once, and the interrupt it waits for is then
    // served in the next run.
    void Run(int cycles) {
        for (int done = 0; done < cycles; done += 1000) {
            board->CycleBudget = 1000;
            board->CyclePeriod = 0;
            board->Run();
        }
    }

    uint16_t Word(uint32_t address) const {
        return static_cast<uint16_t>(Ram(address) | Ram(address + 1) << 8);
    }
    uint8_t Ram(uint32_t address) const { return board->MainRam[address]; }
    std::vector<uint8_t> RamBytes(uint32_t address, size_t count) const {
        return std::vector<uint8_t>(board->MainRam + address, board->MainRam + address + count);
    }

    testing_support::TempDir dir;
    testing_support::ScopedCurrentDir cwd;
    FakeHost host;
    std::unique_ptr<TVexaBoard> board;
};

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
