#pragma once

#include "devices/Vexaps2devices.h"

// The mouse on the second PS/2 port: it receives no host input and ignores
// every byte it is sent.
class TVexaMouse final : public TVexaPS2Device {
public:
    explicit TVexaMouse(DiagChannel* diag = nullptr) : TVexaPS2Device(diag) {}
    void ReceiveByte(uint8_t b) override;
    void Reset() override;
};
