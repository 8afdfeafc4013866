// A machine without threads, cold-booted from a private folder that holds
// only config.txt and the given boot ROM; the test runs it with RunCycles.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "board/Machine.h"
#include "support/FakeHost.h"
#include "support/TestFiles.h"

class RomMachine {
public:
    explicit RomMachine(const std::vector<uint8_t>& rom);
    Machine& machine() { return *machine_; }
    TVexaBoard& board() { return machine_->Board(); }

private:
    testing_support::TempDir dir_;
    FakeHost host_;
    std::unique_ptr<Machine> machine_;
};
