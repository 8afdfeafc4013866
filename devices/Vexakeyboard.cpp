#include "devices/Vexakeyboard.h"

void TVexaKeyboard::ReceiveByte(uint8_t) {}
void TVexaKeyboard::Reset() { TVexaPS2Device::Reset(); }
