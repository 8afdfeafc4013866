// The four looping sample channels, fed from main RAM into the host's sound
// output.
#pragma once

#include <cstdint>
#include <memory>

class AudioOutput;
class Host;
class TVexaBoard;

class TVexaAudioSystem {
public:
    TVexaAudioSystem(Host* windowHandle, TVexaBoard* board);
    ~TVexaAudioSystem();

    void UpdateStreams(int cycles);
    uint8_t ReadStatus() const;
    void ClearLoopFlag(int channel);
    void WriteChannelEnable(uint8_t mask);
    void WriteRegister(uint8_t reg, uint16_t value);
    uint16_t ReadRegister(uint8_t reg);

private:
    TVexaBoard* board;
    std::unique_ptr<AudioOutput> output;
};
