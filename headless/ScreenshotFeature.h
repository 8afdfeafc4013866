// --screenshot FILE.png and --screenshot-every N: the composed 400 x 240 frame
// as a PNG at the end of the run, and numbered PNGs every N frames.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "headless/Runner.h"

// The numbered file of frame `frame` for the base path: "shot.png" gives
// "shot-000012.png".
std::string NumberedScreenshotPath(const std::string& path, uint64_t frame);

// path may be empty when only numbered frames are wanted (they then take
// "screenshot.png" as their base); everyFrames 0 means no numbered frames.
std::unique_ptr<RunFeature> MakeScreenshotFeature(std::string path, uint64_t everyFrames);
