#include "ui/HostKeys.h"

#include <QGuiApplication>
#include <QKeyEvent>

namespace {

// Keys whose code does not follow from the Qt key by a range.
struct KeyCode {
    int key;
    uint16_t vk;
};

constexpr KeyCode kKeys[] = {
    {Qt::Key_Backspace, 0x08}, {Qt::Key_Tab, 0x09},        {Qt::Key_Backtab, 0x09},     {Qt::Key_Clear, 0x0C},
    {Qt::Key_Return, 0x0D},    {Qt::Key_Enter, 0x0D},      {Qt::Key_Shift, 0x10},       {Qt::Key_Control, 0x11},
    {Qt::Key_Alt, 0x12},       {Qt::Key_AltGr, 0x12},      {Qt::Key_Pause, 0x13},       {Qt::Key_CapsLock, 0x14},
    {Qt::Key_Escape, 0x1B},    {Qt::Key_Space, 0x20},      {Qt::Key_PageUp, 0x21},      {Qt::Key_PageDown, 0x22},
    {Qt::Key_End, 0x23},       {Qt::Key_Home, 0x24},       {Qt::Key_Left, 0x25},        {Qt::Key_Up, 0x26},
    {Qt::Key_Right, 0x27},     {Qt::Key_Down, 0x28},       {Qt::Key_Print, 0x2C},       {Qt::Key_Insert, 0x2D},
    {Qt::Key_Delete, 0x2E},    {Qt::Key_Meta, 0x5B},       {Qt::Key_Super_L, 0x5B},     {Qt::Key_Super_R, 0x5C},
    {Qt::Key_Menu, 0x5D},      {Qt::Key_NumLock, 0x90},    {Qt::Key_ScrollLock, 0x91},
    // The punctuation keys of a US layout, unshifted and shifted.
    {Qt::Key_Semicolon, 0xBA}, {Qt::Key_Colon, 0xBA},      {Qt::Key_Equal, 0xBB},       {Qt::Key_Plus, 0xBB},
    {Qt::Key_Comma, 0xBC},     {Qt::Key_Less, 0xBC},       {Qt::Key_Minus, 0xBD},       {Qt::Key_Underscore, 0xBD},
    {Qt::Key_Period, 0xBE},    {Qt::Key_Greater, 0xBE},    {Qt::Key_Slash, 0xBF},       {Qt::Key_Question, 0xBF},
    {Qt::Key_QuoteLeft, 0xC0}, {Qt::Key_AsciiTilde, 0xC0}, {Qt::Key_BracketLeft, 0xDB}, {Qt::Key_BraceLeft, 0xDB},
    {Qt::Key_Backslash, 0xDC}, {Qt::Key_Bar, 0xDC},        {Qt::Key_BracketRight, 0xDD}, {Qt::Key_BraceRight, 0xDD},
    {Qt::Key_Apostrophe, 0xDE}, {Qt::Key_QuoteDbl, 0xDE}, {Qt::Key_notsign, 0xDF},
    // Shifted digits are still the digit keys.
    {Qt::Key_Exclam, 0x31},    {Qt::Key_At, 0x32},         {Qt::Key_NumberSign, 0x33},  {Qt::Key_Dollar, 0x34},
    {Qt::Key_Percent, 0x35},   {Qt::Key_AsciiCircum, 0x36}, {Qt::Key_Ampersand, 0x37},  {Qt::Key_Asterisk, 0x38},
    {Qt::Key_ParenLeft, 0x39}, {Qt::Key_ParenRight, 0x30},
};

constexpr KeyCode kKeypad[] = {
    {Qt::Key_Asterisk, 0x6A}, {Qt::Key_Plus, 0x6B},  {Qt::Key_Minus, 0x6D},
    {Qt::Key_Period, 0x6E},   {Qt::Key_Comma, 0x6E}, {Qt::Key_Slash, 0x6F},
};

} // namespace

uint16_t VirtualKeyFromQtKey(int key, Qt::KeyboardModifiers modifiers) {
    if (modifiers & Qt::KeypadModifier) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<uint16_t>(0x60 + (key - Qt::Key_0));
        for (const KeyCode& k : kKeypad)
            if (k.key == key) return k.vk;
        // Enter, and the navigation keys of the keypad with Num Lock off,
        // are the same codes as the main keys.
    }
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return static_cast<uint16_t>(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return static_cast<uint16_t>(0x70 + (key - Qt::Key_F1));
    for (const KeyCode& k : kKeys)
        if (k.key == key) return k.vk;
    return 0;
}

uint16_t VirtualKeyFromX11Keycode(uint32_t keycode) {
    if (keycode >= 10 && keycode <= 18) return static_cast<uint16_t>(0x31 + (keycode - 10)); // 1..9
    switch (keycode) {
    case 19: return 0x30; // 0
    case 20: return 0xBD; // -
    case 21: return 0xBB; // =
    case 34: return 0xDB; // [
    case 35: return 0xDD; // ]
    case 47: return 0xBA; // ;
    case 48: return 0xDE; // '
    case 49: return 0xC0; // `
    case 51: return 0xDC; // backslash
    case 59: return 0xBC; // ,
    case 60: return 0xBE; // .
    case 61: return 0xBF; // /
    default: return 0;
    }
}

uint16_t VirtualKeyFromEvent(const QKeyEvent& event) {
    if (!(event.modifiers() & Qt::KeypadModifier) && event.nativeScanCode() != 0 &&
        QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (const uint16_t vk = VirtualKeyFromX11Keycode(event.nativeScanCode())) return vk;
    }
    return VirtualKeyFromQtKey(event.key(), event.modifiers());
}

int ShiftStateFrom(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
    int state = 0;
    if (modifiers & Qt::ShiftModifier) state |= 0x01;
    if (modifiers & Qt::AltModifier) state |= 0x02;
    if (modifiers & Qt::ControlModifier) state |= 0x04;
    if (buttons & Qt::LeftButton) state |= 0x08;
    if (buttons & Qt::RightButton) state |= 0x10;
    if (buttons & Qt::MiddleButton) state |= 0x20;
    return state;
}
