// The machine's clocks: the one place where these figures are written down.
#pragma once

#include <cstdint>

// The emulated CPU clock in hertz.
constexpr int EmulatedClockHz = 36000000;
// One slice of the CPU thread: a 120th of an emulated second.
constexpr int SliceCycles = EmulatedClockHz / 120;
// The raster: 1,024 CPU cycles a line, 312 lines a frame.
constexpr int CyclesPerLine = 1024;
constexpr int RasterLines = 312;
constexpr int CyclesPerFrame = CyclesPerLine * RasterLines; // 319,488
// The sound channels are topped up every this many CPU cycles.
constexpr int AudioStepCycles = 10000;
