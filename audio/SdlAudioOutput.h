// The host's sound device through SDL2.
#pragma once

#include <memory>

#include "audio/AudioOutput.h"

// Opens the default sound device (SDL_AUDIODRIVER is honoured): one stereo
// 48 kHz signed 16-bit device whose callback mixes the four channel streams.
// When no device opens the result is an output without streams: silence, not
// an error. Never null.
std::unique_ptr<AudioOutput> OpenHostAudioOutput();
