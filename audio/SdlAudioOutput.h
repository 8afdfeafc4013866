// The host's sound device through SDL2.
#pragma once

#include <memory>

#include "audio/AudioOutput.h"

// Opens the default sound device (SDL_AUDIODRIVER is honoured). When no device
// opens the result is an output without streams: silence, not an error.
std::unique_ptr<AudioOutput> OpenHostAudioOutput();
