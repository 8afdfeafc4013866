#include "audio/Vexaaudio.h"

#include "audio/AudioOutput.h"
#include "host/Host.h"

// Placeholder until the sound channels are built: silent, status always 0.
TVexaAudioSystem::TVexaAudioSystem(Host* windowHandle, TVexaBoard* owner) : board(owner) {
    if (windowHandle) output = windowHandle->OpenAudioOutput();
}
TVexaAudioSystem::~TVexaAudioSystem() = default;
void TVexaAudioSystem::UpdateStreams(int) {}
uint8_t TVexaAudioSystem::ReadStatus() const { return 0; }
void TVexaAudioSystem::ClearLoopFlag(int) {}
void TVexaAudioSystem::WriteChannelEnable(uint8_t) {}
void TVexaAudioSystem::WriteRegister(uint8_t, uint16_t) {}
uint16_t TVexaAudioSystem::ReadRegister(uint8_t) { return 0; }
