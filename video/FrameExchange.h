// Whole frames from the thread that runs the machine to the one that shows
// them, without a lock: three buffers and an atomic index (triple buffering).
//
// The writer (whoever executes the processor: the CPU thread, or the UI thread
// stepping a paused machine) composes into its back buffer and swaps it with
// the middle one. The one reader (the display thread, or the headless runner)
// swaps its front buffer with the middle one when a new frame is there. Each
// side only ever touches its own buffer, so a shown frame is always one
// emulated frame, never lines of two.
#pragma once

#include <atomic>
#include <cstdint>

#include "host/Host.h"

class TVexaVideo;

class FrameExchange {
public:
    static constexpr int Pixels = FrameWidth * FrameHeight;

    FrameExchange();

    // Reader: ask for a frame at the next frame end. The machine composes
    // frames only while someone asks, so a run nobody watches pays nothing.
    void Request() { wanted.store(true, std::memory_order_relaxed); }
    bool Wanted() const { return wanted.load(std::memory_order_relaxed); }

    // Writer: composes the video chip's visible picture and publishes it.
    void Publish(const TVexaVideo& video);

    // Reader: true when a frame was published since the last call; Front()
    // then holds it (400 x 240 ARGB) until the next successful TakeLatest.
    bool TakeLatest();
    const uint32_t* Front() const { return buffers[front]; }

private:
    static constexpr unsigned FreshBit = 4; // set in `middle` while it holds an unseen frame

    uint32_t buffers[3][Pixels];
    unsigned back = 0;                // the writer's
    std::atomic<unsigned> middle{1};  // the one in between, with FreshBit
    unsigned front = 2;               // the reader's
    std::atomic<bool> wanted{false};
};
