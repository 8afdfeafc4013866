// --key and --type: host key presses at chosen frames, as the main window
// would forward them to the board.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class HeadlessRunner;

struct KeyOptions {
    std::vector<std::string> keys;  // "VK@FRAME"
    std::vector<std::string> texts; // "TEXT@FRAME"
};

// One host key event at an emulated time.
struct KeyEvent {
    uint64_t cycle;
    uint16_t vk;
    bool down;
    int shiftState;
    bool operator==(const KeyEvent&) const = default;
};

void AddKeyOptions(CLI::App& app, KeyOptions& options);

// The events of one option value, in the order they happen; nullopt with a
// reason in *error when the value is unusable.
std::optional<std::vector<KeyEvent>> ParseKeyOption(const std::string& value, std::string* error);
std::optional<std::vector<KeyEvent>> ParseTypeOption(const std::string& value, std::string* error);

// Schedules every event on the runner; false (with a message printed) when a
// value is unusable.
bool InstallKeyEvents(HeadlessRunner& runner, const KeyOptions& options);
