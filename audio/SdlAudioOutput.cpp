#include "audio/SdlAudioOutput.h"

#include <SDL.h>

#include <atomic>
#include <chrono>

#include "audio/MixingAudioOutput.h"

namespace {

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class SdlAudioOutput final : public MixingAudioOutput {
public:
    // A device whose callback has not run for this long is taken as lost: its
    // channels stop being fed until it comes back, instead of filling up.
    static constexpr int64_t StallMs = 500;

    SdlAudioOutput() = default;
    ~SdlAudioOutput() override {
        // Closing waits for a callback in progress, so the FIFOs outlive it.
        if (device_ != 0) SDL_CloseAudioDevice(device_);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    bool Open() {
        SDL_AudioSpec want{};
        want.freq = SampleRate;
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = 1024;
        want.callback = &SdlAudioOutput::Callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        // No changes allowed: SDL converts to whatever the hardware wants.
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (device_ == 0) return false;
        lastCallbackMs_.store(NowMs(), std::memory_order_relaxed);
        SDL_PauseAudioDevice(device_, 0);
        return true;
    }

    bool HasStream(int channel) const override {
        if (channel < 0 || channel >= ChannelCount || device_ == 0) return false;
        if (SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED) return false; // unplugged
        return NowMs() - lastCallbackMs_.load(std::memory_order_relaxed) < StallMs;
    }

private:
    static void SDLCALL Callback(void* userdata, Uint8* stream, int len) {
        auto* self = static_cast<SdlAudioOutput*>(userdata);
        self->lastCallbackMs_.store(NowMs(), std::memory_order_relaxed);
        self->Mix(reinterpret_cast<int16_t*>(stream), static_cast<size_t>(len) / (2 * sizeof(int16_t)));
    }

    SDL_AudioDeviceID device_ = 0;
    std::atomic<int64_t> lastCallbackMs_{0};
};

} // namespace

std::unique_ptr<AudioOutput> OpenHostAudioOutput() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return std::make_unique<NullAudioOutput>();
    auto output = std::make_unique<SdlAudioOutput>(); // quits the subsystem again when dropped
    if (!output->Open()) return std::make_unique<NullAudioOutput>();
    return output;
}
