// The display thread: composes the visible picture from the video chip's line
// buffers at its own pace (at least 9 ms a pass) and hands it to the host.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "host/Host.h"

class TVexaBoard;

// Frames composed since the debugger last read the figure.
extern std::atomic<uint32_t> DisplayFrameCount;

class VideoThread {
public:
    static constexpr unsigned MinPassMs = 9;
    static constexpr unsigned StartDelayMs = 20;

    // Created suspended, with the frame cleared to opaque black.
    explicit VideoThread(TVexaBoard* board);
    ~VideoThread();

    void Start();
    void Terminate();
    // Composes one frame and presents it; also used directly by the headless runner.
    void RenderFrame();
    const uint32_t* Frame() const { return frame; }

private:
    void Execute();

    TVexaBoard* board;
    std::thread thread;
    std::atomic<bool> terminateRequested{false};
    uint32_t frame[FrameWidth * FrameHeight];
};
