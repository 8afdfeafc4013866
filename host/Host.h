// The few things the emulation core needs from the program that hosts it.
// The Qt window, the headless runner and the tests' recording fake implement it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "audio/AudioOutput.h"

enum class MsgButtons { Ok, YesNoCancel };
enum class MsgIcon { Question, Error, Warning };
enum class MsgAnswer { Ok, Yes, No, Cancel };

// Width and height of the composed picture handed to PresentFrame.
constexpr int FrameWidth = 400;
constexpr int FrameHeight = 240;

class Host {
public:
    virtual ~Host() = default;

    // A modal message box; "\r" in the text breaks the line. Called on the
    // thread that runs cold boot or close (the UI thread, or the constructor's).
    virtual MsgAnswer ShowMessage(const std::string& text, const std::string& caption, MsgButtons buttons,
                                  MsgIcon icon) = 0;
    // Ask the application to end once control returns to its event loop.
    virtual void RequestTerminate() = 0;
    // Text of a status-bar panel. Called from the CPU thread: the host must hand
    // it over to its own UI thread. The text is copied before the call returns.
    virtual void SetStatusPanel(int panel, std::string_view text) = 0;
    // Repaint the status bar (refreshes the SD lamps). Any thread.
    virtual void RepaintStatusBar() = 0;
    // Repaint the emulated screen (breakpoint hit). Any thread.
    virtual void RepaintScreen() = 0;
    // A finished 400 x 240 ARGB frame from the display thread. The pixels are
    // only valid during the call.
    virtual void PresentFrame(const uint32_t* argb) = 0;
    // The sound device; null (or a silent output) when the host has none.
    virtual std::unique_ptr<AudioOutput> OpenAudioOutput() = 0;
};
