// The shared board fixture with a log that takes every diagnostic type, and
// helpers for driving the video chip through the same operations the board
// calls.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/AudioOutput.h"
#include "support/BoardFixture.h"
#include "video/Vexavideo.h"

using Texts_ = std::vector<std::string>;

class VideoTest : public ::testing::Test {
protected:
    VideoTest() : fixture_({0x76, 0x18, 0xFD}) { // halt; jr $-1
        std::vector<int> all;
        for (int type = 0; type < DiagTypeCount; ++type)
            all.push_back(type);
        log_ = &fixture_.InstallLog(all);
    }

    TVexaBoard& Board() { return fixture_.board(); }
    TVexaVideo& Video() { return *Board().Video(); }
    FakeHost& Host() { return fixture_.host(); }
    // A CPU write through the memory map.
    void Write(uint16_t address, uint8_t value) { Board().WriteMem(address, value); }
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

    std::vector<std::string> Texts() const { return fixture_.Messages(); }
    int FirstType() const { return log_->Rows().at(0).type; }
    void ClearMessages() { log_->Clear(); }

    BoardFixture fixture_;
    DiagLog* log_ = nullptr;
};
