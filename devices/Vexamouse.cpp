#include "devices/Vexamouse.h"

#include "diag/Diag.h"

void TVexaMouse::ReceiveByte(uint8_t) {}

void TVexaMouse::Reset() {
    DIAG_POST_C(diag, DIAG_KB_MOUSE, "Mouse Reset");
    TVexaPS2Device::Reset();
}
