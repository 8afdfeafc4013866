// The host seen by the machine when it runs without a window: message boxes
// go to stderr and get a scripted answer, status panels are remembered.
#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/AudioOutput.h"
#include "host/Host.h"
#include "host/StatusPanels.h"

class HeadlessHost : public Host {
public:
    explicit HeadlessHost(MsgAnswer questionAnswer = MsgAnswer::No) : questionAnswer_(questionAnswer) {}

    MsgAnswer ShowMessage(const std::string& text, const std::string& caption, MsgButtons buttons,
                          MsgIcon icon) override;
    void RequestTerminate() override { terminateRequested_ = true; }
    void SetStatusPanel(int panel, std::string_view text) override;
    void RepaintStatusBar() override {}
    void RepaintScreen() override {}
    void PresentFrame(const uint32_t*) override {}
    // Hands over the output given to SetAudioOutput (once); null otherwise,
    // which leaves the machine silent.
    std::unique_ptr<AudioOutput> OpenAudioOutput() override;
    void SetAudioOutput(std::unique_ptr<AudioOutput> output);

    bool TerminateRequested() const { return terminateRequested_; }
    std::string StatusPanel(int panel) const;
    // Every box shown, as "caption: text" with line breaks as blanks.
    const std::vector<std::string>& Messages() const { return messages_; }

private:
    MsgAnswer questionAnswer_;
    bool terminateRequested_ = false;
    std::vector<std::string> messages_;
    mutable std::mutex panelMutex_;
    std::array<std::string, StatusPanelCount> panels_;
    std::unique_ptr<AudioOutput> audioOutput_;
};
