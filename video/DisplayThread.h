// The display thread: at its own pace (at least 9 ms a pass) it asks the
// machine for a frame, takes each whole frame the machine publishes and hands
// it to the host.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

class FrameExchange;
class Host;

class VideoThread {
public:
    static constexpr unsigned MinPassMs = 9;
    static constexpr unsigned StartDelayMs = 20;

    // Created suspended. frameCount is bumped once per pass (the debugger's
    // frame-rate figure).
    VideoThread(FrameExchange& frames, Host* host, std::atomic<uint32_t>& frameCount);
    ~VideoThread();

    void Start();
    void Terminate();
    // One pass: asks for the next frame and presents the newest one, if a
    // new one has arrived since the last pass.
    void RenderFrame();

private:
    void Execute();

    FrameExchange& frames;
    Host* host;
    std::atomic<uint32_t>& frameCount;
    std::thread thread;
    std::atomic<bool> terminateRequested{false};
};
