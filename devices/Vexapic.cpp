#include "devices/Vexapic.h"

// Placeholder until the configuration controller is built.
TVexaPIC::TVexaPIC() { Reset(); }
void TVexaPIC::WriteLines(bool, bool) {}
bool TVexaPIC::IsDataReady() const { return false; }
uint8_t TVexaPIC::ReadData() { return 0; }
void TVexaPIC::LoadEeprom(const std::string&, int) {}
void TVexaPIC::Reset() {}
