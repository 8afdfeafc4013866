#include "video/FrameExchange.h"

#include "video/Vexavideo.h"

FrameExchange::FrameExchange() {
    for (auto& buffer : buffers)
        for (uint32_t& pixel : buffer) pixel = 0xFF000000u;
}

void FrameExchange::Publish(const TVexaVideo& video) {
    wanted.store(false, std::memory_order_relaxed);
    ComposeFrame(video, buffers[back]);
    // Release: the reader that takes this index sees the whole frame.
    back = middle.exchange(back | FreshBit, std::memory_order_acq_rel) & ~FreshBit;
}

bool FrameExchange::TakeLatest() {
    if ((middle.load(std::memory_order_relaxed) & FreshBit) == 0) return false;
    front = middle.exchange(front, std::memory_order_acq_rel) & ~FreshBit;
    return true;
}
