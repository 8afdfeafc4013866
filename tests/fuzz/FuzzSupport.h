// What the fuzzers share: reading the fuzzer's bytes as a sequence of choices,
// a diagnostics sink that wants every message (so that every message is
// formatted), a host that accepts whatever the machine asks, and a scratch
// folder for the files a machine reads and writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <vector>

#include "diag/Diag.h"
#include "host/Host.h"

// Reads choices off the front of the input. Past its end every read gives 0,
// so a short input is simply a run that does little.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ >= size_; }
    size_t Remaining() const { return Empty() ? 0 : size_ - pos_; }
    uint8_t Byte() { return Empty() ? 0 : data_[pos_++]; }
    uint16_t Word() { return static_cast<uint16_t>(Byte() | Byte() << 8); }
    uint32_t Long() { return Word() | static_cast<uint32_t>(Word()) << 16; }
    bool Bool() { return (Byte() & 1) != 0; }
    // Up to n bytes (fewer when the input runs out).
    std::vector<uint8_t> Bytes(size_t n) {
        const size_t take = n < Remaining() ? n : Remaining();
        std::vector<uint8_t> out(data_ + pos_, data_ + pos_ + take);
        pos_ += take;
        return out;
    }
    std::vector<uint8_t> Rest() { return Bytes(Remaining()); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Wants every category, so every message a device can post is formatted; the
// texts are only counted. Past the first MessagesPerInput messages of an
// input it wants none: a flood of one message (a line coprocessor writing the
// palette all frame long) would otherwise cost seconds of formatting per input.
class EverySink final : public DiagSink {
public:
    static constexpr size_t MessagesPerInput = 4096;
    bool IsTypeEnabled(int) const override { return messages < MessagesPerInput; }
    void AddMessage(int type, const std::string& text) override;
    void StartInput() { messages = 0; }
    size_t messages = 0;
};

// Answers every question with `answer`, shows nothing, keeps no frame. The
// sound output, when one is handed over, goes to the machine once.
class FuzzHost final : public Host {
public:
    MsgAnswer ShowMessage(const std::string& text, const std::string& caption, MsgButtons buttons,
                          MsgIcon icon) override;
    void RequestTerminate() override { terminateRequested = true; }
    void SetStatusPanel(int panel, std::string_view text) override;
    void RepaintStatusBar() override {}
    void RepaintScreen() override {}
    void PresentFrame(const uint32_t*) override {}
    std::unique_ptr<AudioOutput> OpenAudioOutput() override { return std::move(audio); }

    MsgAnswer answer = MsgAnswer::Yes;
    bool terminateRequested = false;
    std::vector<std::string> boxes; // captions of the boxes shown
    std::unique_ptr<AudioOutput> audio;
};

// A private folder for the whole fuzzing process, in memory (/dev/shm) where
// there is one so that the many small writes cost no disk time; removed at exit.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) const;
    void Write(const std::string& name, const std::string& text) const;
    std::vector<uint8_t> Read(const std::string& name) const;

private:
    std::string path_;
};

// A fuzzer's own check failed: says what and aborts, which the fuzzer reports
// as a crash with the input that caused it.
[[noreturn]] void FuzzFail(const char* what);
#define FUZZ_CHECK(cond)                                                                                      \
    do {                                                                                                     \
        if (!(cond)) FuzzFail(__FILE__ ": " #cond);                                                          \
    } while (0)
