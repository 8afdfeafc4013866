#include "devices/Vexakeyboard.h"

#include "diag/Diag.h"

void TVexaKeyboard::ReceiveByte(uint8_t b) {
    if (b != 0xFF) return;
    DIAG_POST_C(diag, DIAG_KB_MOUSE, "Reset Command Received");
    // Three bytes, where a keyboard usually sends two: the echoed command,
    // the acknowledge and the self-test pass.
    static constexpr uint8_t answer[] = {0xFF, 0xFA, 0xAA};
    ReplaceQueue(answer, 3);
}

void TVexaKeyboard::Reset() {
    DIAG_POST_C(diag, DIAG_KB_MOUSE, "KB Reset");
    TVexaPS2Device::Reset();
}
