#pragma once

#include "devices/Vexaps2devices.h"

// The keyboard on the first PS/2 port: answers the reset command.
class TVexaKeyboard final : public TVexaPS2Device {
public:
    explicit TVexaKeyboard(DiagChannel* diag = nullptr) : TVexaPS2Device(diag) {}
    void ReceiveByte(uint8_t b) override;
    void Reset() override;
};
