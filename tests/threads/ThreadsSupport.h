// A running machine for the multi-threaded cases: config.txt and a test
// program as the ROM in a private folder, the board with its display and CPU threads.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "board/Machine.h"
#include "support/FakeHost.h"
#include "support/TestFiles.h"

class RunningMachine {
public:
    // Boots tests/threads/programs/PROGRAM.asm (the counter by default).
    explicit RunningMachine(const char* program = "counter");
    ~RunningMachine();
    Machine& machine() { return *machine_; }
    TVexaBoard& board() { return machine_->Board(); }
    FakeHost& host() { return host_; }
    const std::filesystem::path& dir() const { return dir_.Path(); }
    // The count the ROM keeps at 0x4000, read while the CPU thread is paused.
    unsigned Counter();
    // Releases the board now (Shutdown first).
    void Stop();

private:
    testing_support::TempDir dir_;
    testing_support::ScopedCurrentDir cwd_;
    FakeHost host_;
    std::unique_ptr<Machine> machine_;
};

// Waits up to timeout for cond.
bool WaitUntil(const std::function<bool()>& cond, std::chrono::milliseconds timeout = std::chrono::seconds(10));
