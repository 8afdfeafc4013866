// A board built in a private folder, with a recording host and a diagnostics
// sink that keeps every message, for driving the video chip through the same
// operations the board calls.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "audio/AudioOutput.h"
#include "board/Vexaboard.h"
#include "diag/Diag.h"
#include "support/FakeHost.h"
#include "support/TestFiles.h"
#include "video/Vexavideo.h"

class RecordingSink : public DiagSink {
public:
    bool IsTypeEnabled(int) const override { return true; }
    void AddMessage(int type, const std::string& text) override { messages.emplace_back(type, text); }
    std::vector<std::pair<int, std::string>> messages;
};

class VideoTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::WriteFileText(dir_ / "config.txt", "bootrom boot.rom\n");
        testing_support::WriteFileBytes(dir_ / "boot.rom", {0x76, 0x18, 0xFD}); // halt; jr $-1
        cwd_ = std::make_unique<testing_support::ScopedCurrentDir>(dir_.Path());
        board_ = std::make_unique<TVexaBoard>(&host_, /*startThreads=*/false);
        DiagForm.store(&sink_, std::memory_order_release);
    }
    void TearDown() override { DiagForm.store(nullptr, std::memory_order_release); }

    TVexaBoard& Board() { return *board_; }
    TVexaVideo& Video() { return *board_->Video(); }
    // A CPU write through the memory map.
    void Write(uint16_t address, uint8_t value) { board_->WriteMem(address, value); }
    // Completes n raster lines.
    void Lines(int n) { Video().Tick(n * TVexaVideo::CyclesPerLine); }
    // Runs to the start of the given line of the next frame (or this one when
    // it still lies ahead).
    void ToLine(int line) {
        while (Video().RasterLine() != line)
            Lines(1);
    }
    // Sets a palette entry of the target palette from its 12-bit colour.
    void Colour(int entry, uint16_t rgb) {
        Write(static_cast<uint16_t>(entry * 2), static_cast<uint8_t>(rgb));
        Write(static_cast<uint16_t>(entry * 2 + 1), static_cast<uint8_t>(rgb >> 8));
    }
    // Window of the whole shown area: columns 96-495, lines 16-255.
    void FullWindow() {
        Write(0x204, 0x04);
        Write(0x202, 0x6F);
        Write(0x204, 0x00);
        Write(0x202, 0x2C);
    }

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& m : sink_.messages)
            texts.push_back(m.second);
        return texts;
    }
    void ClearMessages() { sink_.messages.clear(); }

    testing_support::TempDir dir_;
    std::unique_ptr<testing_support::ScopedCurrentDir> cwd_;
    FakeHost host_;
    RecordingSink sink_;
    std::unique_ptr<TVexaBoard> board_;
};

using Texts_ = std::vector<std::string>;
