// A host that records what the machine asks of it, for tests.
#pragma once

#include <array>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "host/Host.h"

class FakeHost : public Host {
public:
    struct Box {
        std::string text, caption;
        MsgButtons buttons;
        MsgIcon icon;
    };

    MsgAnswer ShowMessage(const std::string& text, const std::string& caption, MsgButtons buttons,
                          MsgIcon icon) override;
    void RequestTerminate() override { ++terminateRequests; }
    void SetStatusPanel(int panel, std::string_view text) override;
    void RepaintStatusBar() override { ++statusBarRepaints; }
    void RepaintScreen() override { ++screenRepaints; }
    void PresentFrame(const uint32_t* argb) override;
    std::unique_ptr<AudioOutput> OpenAudioOutput() override { return nullptr; }

    std::string Panel(int panel) const;

    // Answers given to question boxes, in order; "No" once they run out.
    std::deque<MsgAnswer> answers;
    std::vector<Box> boxes;
    int terminateRequests = 0;
    int statusBarRepaints = 0;
    int screenRepaints = 0;
    int framesPresented = 0;
    std::vector<uint32_t> lastFrame;

private:
    mutable std::mutex mutex_;
    std::array<std::string, 17> panels_;
};
