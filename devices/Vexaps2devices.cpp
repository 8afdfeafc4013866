#include "devices/Vexaps2devices.h"

// Placeholder until the PS/2 ports are built: nothing is ever received or queued.
TVexaPS2Device::TVexaPS2Device() = default;
void TVexaPS2Device::Reset() {}
void TVexaPS2Device::SetHostLines(bool, bool) {}
void TVexaPS2Device::QueueByte(uint8_t) {}
uint8_t TVexaPS2Device::ReadQueuedByte() { return 0; }
void TVexaPS2Device::AcknowledgeIrq() {}
bool TVexaPS2Device::TickReceiving(int) { return HasData(); }
