// The runner's debugging options: symbols, breakpoints that end the run with
// a register dump, the trap as the run's exit status (a test runner for board
// software), the trace to a file, and the GDB stub.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class HeadlessRunner;

struct DebugOptions {
    std::vector<std::string> symbols; // --symbols FILE (repeatable)
    std::vector<std::string> breaks;  // --break ADDR (repeatable)
    std::string untilPc;              // --until-pc ADDR
    bool exitOnTrap = false;          // --exit-on-trap
    std::string trace;                // --trace FILE
    std::string traceFrom, traceTo;   // ADDR or @FRAME
    int gdbPort = -1;                 // --gdb PORT
};

void AddDebugOptions(CLI::App& app, DebugOptions& options);
// True when the run should last until a GDB client ends it (no length given).
bool DebugRunIsOpenEnded(const DebugOptions& options);
// Adds the feature when an option asks for it; false (with a message) for an
// unusable value.
bool InstallDebugFeature(HeadlessRunner& runner, const DebugOptions& options);

// "@120" (a frame) or an address: the frame, or nullopt for an address.
std::optional<uint64_t> ParseFrameMark(const std::string& text, bool* valid);
