#include "audio/SdlAudioOutput.h"

#include <chrono>

namespace {

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

SdlAudioOutput::~SdlAudioOutput() {
    // Closing waits for a callback in progress, so the FIFOs outlive it.
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SdlAudioOutput::Open() {
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

bool SdlAudioOutput::HasStream(int channel) const {
    if (channel < 0 || channel >= ChannelCount || device_ == 0) return false;
    if (SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED) return false; // unplugged
    return NowMs() - lastCallbackMs_.load(std::memory_order_relaxed) < StallMs;
}

void SDLCALL SdlAudioOutput::Callback(void* userdata, Uint8* stream, int len) {
    auto* self = static_cast<SdlAudioOutput*>(userdata);
    self->lastCallbackMs_.store(NowMs(), std::memory_order_relaxed);
    self->Mix(reinterpret_cast<int16_t*>(stream), static_cast<size_t>(len) / (2 * sizeof(int16_t)));
}

std::unique_ptr<AudioOutput> OpenHostAudioOutput() {
    // The audio subsystem brings SDL's event loop, which would swallow SIGINT
    // and SIGTERM: Ctrl+C and a logout could no longer end the program.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return std::make_unique<NullAudioOutput>();
    auto output = std::make_unique<SdlAudioOutput>(); // quits the subsystem again when dropped
    if (!output->Open()) return std::make_unique<NullAudioOutput>();
    return output;
}
