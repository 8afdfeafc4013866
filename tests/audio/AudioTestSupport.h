// Pieces the audio tests share: an output that records what is pushed and
// answers chosen queue levels, a diagnostics sink that records messages, and a
// board in a private folder to supply main RAM.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "audio/AudioOutput.h"
#include "audio/Vexaaudio.h"
#include "board/Machine.h"
#include "diag/Diag.h"
#include "support/FakeHost.h"
#include "support/TestFiles.h"

namespace audio_test {

class RecordingOutput final : public AudioOutput {
public:
    bool HasStream(int channel) const override { return stream[channel]; }
    uint32_t QueuedBytes(int channel) override { return stream[channel] ? queued[channel] : NoStream; }
    void Push(int channel, const int16_t* samples, size_t bytes) override {
        pushSizes[channel].push_back(bytes);
        pushed[channel].insert(pushed[channel].end(), samples, samples + bytes / 2);
    }

    std::array<bool, 4> stream{true, true, true, true};
    std::array<uint32_t, 4> queued{};
    std::array<std::vector<int16_t>, 4> pushed;
    std::array<std::vector<size_t>, 4> pushSizes;
};

// Hands the audio object the output it is given.
class OutputHost final : public FakeHost {
public:
    std::unique_ptr<AudioOutput> OpenAudioOutput() override { return std::move(output); }
    std::unique_ptr<AudioOutput> output;
};

class RecordingSink final : public DiagSink {
public:
    bool IsTypeEnabled(int type) const override { return type == DIAG_AUDIO && audioEnabled; }
    void AddMessage(int type, const std::string& text) override {
        if (IsTypeEnabled(type)) messages.push_back(text);
    }
    bool audioEnabled = true;
    std::vector<std::string> messages;
};

// The machine as a separate sound unit sees it: the board's main RAM and
// clock, with a host of the test's own.
class BoardBus final : public MachineBus {
public:
    BoardBus(TVexaBoard& board, Host& host) : board_(board), host_(host) {}
    const uint8_t* MainRamBytes() const override { return board_.MainRam(); }
    void WriteVideoSpace(uint16_t address, uint8_t value) override { board_.WriteVideoSpace(address, value); }
    Host* WindowHandle() const override { return &host_; }
    int ClockHz() const override { return board_.ClockHz(); }

private:
    TVexaBoard& board_;
    Host& host_;
};

// A cold-booted machine (zero boot ROM) in a private folder, with the sink
// connected, plus a separate audio object on a recording output.
class AudioFixture {
public:
    AudioFixture() : cwd(dir.Path()) {
        testing_support::WriteFileBytes(dir / "rom.bin", std::vector<uint8_t>(512, 0));
        testing_support::WriteFileText(dir / "config.txt", "bootrom rom.bin\n");
        machine = std::make_unique<Machine>(&boardHost);
        board = &machine->Board();
        machine->Diag().Connect(&sink);
        channel.Connect(&sink);
        auto out = std::make_unique<RecordingOutput>();
        output = out.get();
        host.output = std::move(out);
        bus = std::make_unique<BoardBus>(*board, host);
        audio = std::make_unique<TVexaAudioSystem>(bus.get(), &channel);
    }

    // Runs one audio step with the stream's queue at a level that asks for
    // exactly `samples` (even) new samples, and returns them.
    std::vector<int16_t> Play(int channel, uint32_t samples) {
        output->queued[channel] = (TVexaAudioSystem::TopUpBytes - samples) / 2;
        const size_t before = output->pushed[channel].size();
        audio->UpdateStreams(10000);
        return {output->pushed[channel].begin() + static_cast<long>(before), output->pushed[channel].end()};
    }
    void Poke(uint32_t ramOffset, std::vector<int8_t> bytes) {
        for (size_t i = 0; i < bytes.size(); ++i)
            board->MainRam()[ramOffset + i] = static_cast<uint8_t>(bytes[i]);
    }
    // Register reg of channel n.
    void Write(int n, int reg, uint16_t value) {
        audio->WriteRegister(static_cast<uint8_t>(0x10 | n << 2 | reg), value);
    }

    testing_support::TempDir dir;
    testing_support::ScopedCurrentDir cwd;
    FakeHost boardHost;
    OutputHost host;
    RecordingSink sink;
    DiagChannel channel;
    RecordingOutput* output = nullptr;
    std::unique_ptr<Machine> machine;
    TVexaBoard* board = nullptr;
    std::unique_ptr<BoardBus> bus;
    std::unique_ptr<TVexaAudioSystem> audio;
};

} // namespace audio_test
