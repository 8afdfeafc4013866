// Qt key events in the host virtual-key numbering that the machine's key
// table is indexed by (the Windows VK_ codes), and the shift-state bit set.
#pragma once

#include <QtCore/qnamespace.h>
#include <cstdint>

class QKeyEvent;

// The virtual-key code of a key event, or 0 for a key the machine has no
// code for. Keys of the digit and punctuation rows are taken by their
// position on X11 (so Shift+1 is still the 1 key, whatever the layout);
// elsewhere by their Qt key as on a US layout.
uint16_t VirtualKeyFromEvent(const QKeyEvent& event);
uint16_t VirtualKeyFromQtKey(int key, Qt::KeyboardModifiers modifiers);
// X11 key code (evdev code + 8) of the digit and punctuation rows, or 0.
uint16_t VirtualKeyFromX11Keycode(uint32_t keycode);

// Bit 0 Shift, bit 1 Alt, bit 2 Ctrl, bits 3-5 left, right and middle mouse
// buttons (bit 6, double click, never arises from a key).
int ShiftStateFrom(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);

constexpr uint16_t VK_TAB_CODE = 0x09;
constexpr uint16_t VK_F10_CODE = 0x79;
