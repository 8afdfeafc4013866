// The window's side of the frame hand-over: the display thread puts each
// frame it takes from the machine here, and the window's paint takes the
// newest one out. A copy under a lock: the window paints at its own pace and
// may skip frames, but never shows half of one.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

class FrameStore {
public:
    FrameStore();
    // A 400 x 240 ARGB frame.
    void Put(const uint32_t* argb);
    // Copies the newest frame into out (400 x 240 values) if one arrived
    // since the last call; true when it did.
    bool TakeInto(uint32_t* out);

private:
    std::mutex mutex;
    std::vector<uint32_t> pixels;
    bool fresh = false;
};
