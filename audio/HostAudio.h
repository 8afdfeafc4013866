// The host's sound device, for the window: what it opens is the SDL2 back
// end, which only its own library sees.
#pragma once

#include <memory>

#include "audio/AudioOutput.h"

// Opens the default sound device (SDL_AUDIODRIVER is honoured). When no device
// opens the result is an output without streams: silence, not an error. Never
// null.
std::unique_ptr<AudioOutput> OpenHostAudioOutput();
