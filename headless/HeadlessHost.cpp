#include "headless/HeadlessHost.h"

#include <cstdio>

#include "audio/AudioOutput.h"

MsgAnswer HeadlessHost::ShowMessage(const std::string& text, const std::string& caption, MsgButtons buttons,
                                    MsgIcon) {
    std::string line = caption + ": " + text;
    for (char& c : line)
        if (c == '\r' || c == '\n') c = ' ';
    std::fprintf(stderr, "%s\n", line.c_str());
    messages_.push_back(line);
    return buttons == MsgButtons::Ok ? MsgAnswer::Ok : questionAnswer_;
}

void HeadlessHost::SetStatusPanel(int panel, std::string_view text) {
    if (panel < 0 || panel >= static_cast<int>(panels_.size())) return;
    std::lock_guard<std::mutex> lock(panelMutex_);
    panels_[static_cast<size_t>(panel)] = std::string(text);
}

std::string HeadlessHost::StatusPanel(int panel) const {
    if (panel < 0 || panel >= static_cast<int>(panels_.size())) return std::string();
    std::lock_guard<std::mutex> lock(panelMutex_);
    return panels_[static_cast<size_t>(panel)];
}

std::unique_ptr<AudioOutput> HeadlessHost::OpenAudioOutput() {
    return std::move(audioOutput_);
}

void HeadlessHost::SetAudioOutput(std::unique_ptr<AudioOutput> output) {
    audioOutput_ = std::move(output);
}
