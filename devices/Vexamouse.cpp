#include "devices/Vexamouse.h"

void TVexaMouse::ReceiveByte(uint8_t) {}
void TVexaMouse::Reset() { TVexaPS2Device::Reset(); }
