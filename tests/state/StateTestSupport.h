// A machine running the all-devices program from a private folder, with a
// card image and an EEPROM image of its own, for the save-state tests.
#pragma once

#include <memory>

#include "board/Machine.h"
#include "host/ZstdCompressor.h"
#include "support/FakeHost.h"
#include "support/TestFiles.h"

namespace state_test {

// Writes rom.bin (the all-devices program), monitor.eep, card.img and
// config.txt into `dir`.
void PrepareFolder(const std::filesystem::path& dir);

class StateMachine {
public:
    StateMachine();
    Machine& machine() { return *machine_; }
    FakeHost& host() { return host_; }
    const std::filesystem::path& dir() const { return dir_.Path(); }
    void RunFrames(int frames) { machine_->RunCycles(static_cast<uint64_t>(frames) * CyclesPerFrame); }

private:
    testing_support::TempDir dir_;
    std::unique_ptr<StateCompressor> compressor_ = MakeZstdCompressor();
    FakeHost host_;
    std::unique_ptr<Machine> machine_;
};

} // namespace state_test
