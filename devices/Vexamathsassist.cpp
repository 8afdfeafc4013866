#include "devices/Vexamathsassist.h"

// Placeholder until the maths assist is built: every result reads 0.
TVexaMathsAssist::TVexaMathsAssist() { Reset(); }
void TVexaMathsAssist::WriteTableByte(uint16_t, uint8_t) {}
void TVexaMathsAssist::SelectIndex(uint8_t) {}
void TVexaMathsAssist::WriteMultiplierLow(uint8_t) {}
void TVexaMathsAssist::WriteMultiplierHigh(uint8_t) {}
uint8_t TVexaMathsAssist::ReadResultLow() { return 0; }
uint8_t TVexaMathsAssist::ReadResultHigh() { return 0; }
void TVexaMathsAssist::Reset() {}
