// What the video chip and the sound channels need from the machine they are
// part of, and nothing more: they never see the board itself.
#pragma once

#include <cstdint>

class Host;

class MachineBus {
public:
    // Main RAM (512 KB), read directly: the line coprocessor's program and the
    // sound samples live there. Reads through it have no side effects.
    virtual const uint8_t* MainRamBytes() const = 0;
    // The line coprocessor's route to the register area, whatever the paging.
    virtual void WriteVideoSpace(uint16_t address, uint8_t value) = 0;
    // The program hosting the machine (status panels, sound output); may be null.
    virtual Host* WindowHandle() const = 0;
    virtual int ClockHz() const = 0;

protected:
    ~MachineBus() = default;
};
