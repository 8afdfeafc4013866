// The emulator's own keys. Every key of the host keyboard belongs to the
// emulated one, so the emulator's shortcuts all sit behind one host modifier,
// Ctrl+Alt, and only the combinations listed here are taken from the machine.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

enum class HostCommand {
    PauseResume,
    FrameAdvance,
    FastForward, // held
    Rewind,      // held
    FullScreen,
    Screenshot,
    RecordSound,
    QuickSave,   // with Shift, slots 1-9
    QuickLoad,   // slots 1-9
};

struct HostShortcut {
    HostCommand command;
    uint16_t vk;      // the key pressed with Ctrl+Alt, as a host virtual-key code
    bool shift;       // Shift held as well
    bool held;        // acts while held, ends on release
    const char* keys; // as the help window shows it
    const char* what;
};

// The table the key handling and Help > Keyboard Shortcuts both read. Quick
// slots appear once each with "1-9".
const std::vector<HostShortcut>& HostShortcuts();
// The shortcut for a key (virtual-key code) pressed with Ctrl+Alt, and Shift
// or not; slot gets 1-9 for the quick slots. Null when the combination is the
// machine's.
const HostShortcut* FindHostShortcut(uint16_t vk, bool shift, int* slot);
// The help window's text, one line per shortcut.
QString ShortcutHelpText();
