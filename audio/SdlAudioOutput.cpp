#include "audio/SdlAudioOutput.h"

// Placeholder until the SDL back end is built: no sound device.
std::unique_ptr<AudioOutput> OpenHostAudioOutput() { return nullptr; }
