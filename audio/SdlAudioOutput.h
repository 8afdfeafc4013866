// The host's sound device through SDL2.
#pragma once

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "audio/HostAudio.h"
#include "audio/MixingAudioOutput.h"

// One stereo 48 kHz signed 16-bit device whose callback mixes the four
// channel FIFOs. The callback takes no lock of ours and allocates nothing.
class SdlAudioOutput final : public MixingAudioOutput {
public:
    // A device whose callback has not run for this long is taken as lost: its
    // channels stop being fed (and play on in emulated time) until it comes
    // back, instead of filling up and freezing the channels.
    static constexpr int64_t StallMs = 500;

    SdlAudioOutput() = default;
    ~SdlAudioOutput() override;
    SdlAudioOutput(const SdlAudioOutput&) = delete;
    SdlAudioOutput& operator=(const SdlAudioOutput&) = delete;

    // The audio subsystem must be initialised; false when no device opens.
    bool Open();
    bool HasStream(int channel) const override;
    SDL_AudioDeviceID Device() const { return device_; }

private:
    static void SDLCALL Callback(void* userdata, Uint8* stream, int len);

    SDL_AudioDeviceID device_ = 0;
    std::atomic<int64_t> lastCallbackMs_{0};
};
