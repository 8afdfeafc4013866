#include "video/DisplayThread.h"

#include "cpu/CPUThread.h"
#include "host/Host.h"
#include "video/FrameExchange.h"

VideoThread::VideoThread(FrameExchange& exchange, Host* owner, std::atomic<uint32_t>& counter)
    : frames(exchange), host(owner), frameCount(counter) {}

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
    frameCount.fetch_add(1, std::memory_order_relaxed);
    frames.Request();
    if (frames.TakeLatest() && host != nullptr) host->PresentFrame(frames.Front());
}
