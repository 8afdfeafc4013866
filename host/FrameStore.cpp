#include "host/FrameStore.h"

#include <cstring>

#include "host/Host.h"

FrameStore::FrameStore() : pixels(static_cast<size_t>(FrameWidth) * FrameHeight, 0xFF000000u) {}

void FrameStore::Put(const uint32_t* argb) {
    std::lock_guard<std::mutex> lock(mutex);
    std::memcpy(pixels.data(), argb, pixels.size() * sizeof(uint32_t));
    fresh = true;
}

bool FrameStore::TakeInto(uint32_t* out) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!fresh) return false;
    std::memcpy(out, pixels.data(), pixels.size() * sizeof(uint32_t));
    fresh = false;
    return true;
}
