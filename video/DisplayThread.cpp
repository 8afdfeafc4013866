#include "video/DisplayThread.h"

#include "board/Vexaboard.h"
#include "cpu/CPUThread.h"
#include "video/Vexavideo.h"

std::atomic<uint32_t> DisplayFrameCount{0};

VideoThread::VideoThread(TVexaBoard* owner) : board(owner) {
    for (uint32_t& pixel : frame) pixel = 0xFF000000u;
}

VideoThread::~VideoThread() { Terminate(); }

void VideoThread::Start() {
    if (!thread.joinable()) thread = std::thread(&VideoThread::Execute, this);
}

void VideoThread::Terminate() {
    terminateRequested.store(true, std::memory_order_release);
    if (thread.joinable()) thread.join();
}

void VideoThread::Execute() {
    NameCurrentThread("DisplayThread");
    SleepMs(StartDelayMs);
    while (!terminateRequested.load(std::memory_order_acquire)) {
        const unsigned t0 = TickCountMs();
        RenderFrame();
        const unsigned elapsed = TickCountMs() - t0;
        if (elapsed < MinPassMs) SleepMs(MinPassMs - elapsed);
    }
}

void VideoThread::RenderFrame() {
    if (board == nullptr) return;
    DisplayFrameCount.fetch_add(1, std::memory_order_relaxed);
    const TVexaVideo* video = board->Video();
    if (video == nullptr) return;
    ComposeFrame(*video, frame);
    if (Host* host = board->WindowHandle()) host->PresentFrame(frame);
}
