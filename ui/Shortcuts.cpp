#include "ui/Shortcuts.h"


const std::vector<HostShortcut>& HostShortcuts() {
    static const std::vector<HostShortcut> table = {
        {HostCommand::PauseResume, 'P', false, false, "Ctrl+Alt+P", "Pause or resume emulation"},
        {HostCommand::FrameAdvance, 'N', false, false, "Ctrl+Alt+N", "Frame advance (while paused)"},
        {HostCommand::FastForward, 'F', false, true, "Ctrl+Alt+F (hold)", "Fast forward, sound muted"},
        {HostCommand::Rewind, 'R', false, true, "Ctrl+Alt+R (hold)", "Rewind"},
        {HostCommand::FullScreen, 0x0D, false, false, "Ctrl+Alt+Enter", "Full screen on or off"},
        {HostCommand::Screenshot, 'S', false, false, "Ctrl+Alt+S", "Save a screenshot"},
        {HostCommand::RecordSound, 'W', false, false, "Ctrl+Alt+W", "Start or stop recording sound"},
        {HostCommand::QuickSave, '1', true, false, "Ctrl+Alt+Shift+1-9", "Quick save to slot 1-9"},
        {HostCommand::QuickLoad, '1', false, false, "Ctrl+Alt+1-9", "Quick load from slot 1-9"},
    };
    return table;
}

const HostShortcut* FindHostShortcut(uint16_t vk, bool shift, int* slot) {
    for (const HostShortcut& s : HostShortcuts()) {
        if (s.shift != shift) continue;
        if (s.command == HostCommand::QuickSave || s.command == HostCommand::QuickLoad) {
            if (vk >= '1' && vk <= '9') {
                *slot = vk - '0';
                return &s;
            }
            continue;
        }
        if (s.vk == vk) return &s;
    }
    return nullptr;
}

QString ShortcutHelpText() {
    QString text = "Every other key, Ctrl+Alt combinations included, goes to the emulated keyboard.\n\n";
    for (const HostShortcut& s : HostShortcuts())
        text += QString("%1\t%2\n").arg(QString::fromLatin1(s.keys), -22).arg(QString::fromLatin1(s.what));
    return text;
}
