#include "devices/Vexasdmmccard.h"

// Placeholder until the SD card is built: no card is ever inserted.
TVexaSDCard::TVexaSDCard() { Reset(); }
TVexaSDCard::~TVexaSDCard() = default;
void TVexaSDCard::WriteSpi(uint8_t) {}
uint8_t TVexaSDCard::ReadSpi() { return 0; }
void TVexaSDCard::WriteSelect(uint8_t) {}
uint8_t TVexaSDCard::ReadSelect() const { return 0x0C; }
void TVexaSDCard::WriteControl(uint8_t) {}
void TVexaSDCard::LoadImage(const std::string&) {}
bool TVexaSDCard::CommitImage(const std::string&) { return true; }
bool TVexaSDCard::HasUncommittedWrites() const { return false; }
bool TVexaSDCard::HasImage() const { return false; }
bool TVexaSDCard::TakeReadLamp() { return false; }
bool TVexaSDCard::TakeWriteLamp() { return false; }
void TVexaSDCard::Reset() {}
const std::string& TVexaSDCard::CommitError() const {
    static const std::string none;
    return none;
}
