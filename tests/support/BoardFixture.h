// A machine built in a private folder from a config.txt and a boot ROM of the
// test's choosing, without worker threads, with a recording host and (when
// asked for) a diagnostics log connected as its sink.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "board/Machine.h"
#include "diag/DiagLog.h"
#include "support/FakeHost.h"
#include "support/TestFiles.h"

class BoardFixture {
public:
    // Writes config.txt (default: "bootrom rom.bin\n") and rom.bin, then builds the board.
    explicit BoardFixture(const std::vector<uint8_t>& rom = {}, const std::string& config = "bootrom rom.bin\n");
    ~BoardFixture();

    Machine& machine() { return *machine_; }
    TVexaBoard& board() { return machine_->Board(); }
    FakeHost& host() { return host_; }
    const std::filesystem::path& dir() const { return dir_.Path(); }
    // Connects a diagnostics log (file "rizediv.log" in the folder) to the
    // machine, with the given types ticked.
    DiagLog& InstallLog(const std::vector<int>& types, bool logAll = false);
    // Texts of the rows of the installed log.
    std::vector<std::string> Messages() const;
    // Puts bytes into main RAM and runs from there with a budget of `cycles`.
    void RunAt(uint16_t pc, const std::vector<uint8_t>& code, int cycles);
    // Runs one instruction (budget and period 1).
    void Step();

private:
    testing_support::TempDir dir_;
    testing_support::ScopedCurrentDir cwd_;
    FakeHost host_;
    std::unique_ptr<DiagLog> log_;
    std::unique_ptr<Machine> machine_;
};
