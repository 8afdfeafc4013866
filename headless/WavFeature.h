// --wav FILE: records the stereo mix the sound device would have played during
// the run (48 kHz, 16-bit) and writes it as a WAV file at the end.
#pragma once

#include <memory>
#include <string>

class RunFeature;

std::unique_ptr<RunFeature> MakeWavFeature(const std::string& path);
