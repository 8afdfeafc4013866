#include "support/FakeHost.h"

#include "audio/AudioOutput.h"

MsgAnswer FakeHost::ShowMessage(const std::string& text, const std::string& caption, MsgButtons buttons,
                                MsgIcon icon) {
    boxes.push_back({text, caption, buttons, icon});
    if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
    if (answers.empty()) return MsgAnswer::No;
    const MsgAnswer a = answers.front();
    answers.pop_front();
    return a;
}

void FakeHost::SetStatusPanel(int panel, std::string_view text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (panel >= 0 && panel < static_cast<int>(panels_.size())) panels_[static_cast<size_t>(panel)] = text;
}

std::string FakeHost::Panel(int panel) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (panel < 0 || panel >= static_cast<int>(panels_.size())) return {};
    return panels_[static_cast<size_t>(panel)];
}

void FakeHost::PresentFrame(const uint32_t* argb) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++framesPresented;
    lastFrame.assign(argb, argb + FrameWidth * FrameHeight);
}
