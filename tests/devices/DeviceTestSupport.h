// Shared pieces of the device tests: a diagnostics capture installed as the
// process-wide sink, and a board built in a private folder.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "audio/AudioOutput.h" // FakeHost hands out unique_ptr<AudioOutput>
#include "board/Vexaboard.h"
#include "diag/DiagLog.h"
#include "support/FakeHost.h"
#include "support/TestFiles.h"

// Ticks the given types in a log with no file, installs it as DiagForm and
// takes it away again when the test ends.
class DiagCapture {
public:
    explicit DiagCapture(std::initializer_list<int> types) : log("") {
        for (int t : types) log.SetFilter(t, true);
        DiagForm.store(&log, std::memory_order_release);
    }
    ~DiagCapture() { DiagForm.store(nullptr, std::memory_order_release); }
    DiagCapture(const DiagCapture&) = delete;
    DiagCapture& operator=(const DiagCapture&) = delete;

    // The texts posted since the last call.
    std::vector<std::string> Take() {
        std::vector<std::string> texts;
        for (const DiagRow& row : log.Rows()) texts.push_back(row.text);
        log.Clear();
        return texts;
    }

    DiagLog log;
};

// A board (threads not started) cold-booted from config.txt in a temporary
// folder that stays the current directory while the object lives. The boot
// ROM is a single HALT unless the test writes its own.
class BoardInFolder {
public:
    explicit BoardInFolder(const std::string& configExtra = "",
                           const std::vector<uint8_t>& bootRom = std::vector<uint8_t>{0x76})
        : cwd(dir.Path()) {
        testing_support::WriteFileBytes(dir / "rom.bin", bootRom);
        testing_support::WriteFileText(dir / "config.txt", "bootrom rom.bin\n" + configExtra);
    }
    TVexaBoard& Build() {
        board = std::make_unique<TVexaBoard>(&host, /*startThreads=*/false);
        return *board;
    }

    testing_support::TempDir dir;
    testing_support::ScopedCurrentDir cwd;
    FakeHost host;
    std::unique_ptr<TVexaBoard> board;
};
