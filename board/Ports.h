// The board's I/O ports. Only the low six bits of a port address select the
// port, so each repeats every 0x40 addresses; several have one meaning when
// read and another when written.
#pragma once

#include <cstdint>

enum VexaPort : uint8_t {
    PortMemSelect = 0x00,    // sys_mem_select, read and write
    PortIrq = 0x01,          // write: sys_irq_enable; read: interrupt and PS/2 line status
    PortKeyboard = 0x02,     // write: interrupt acknowledge; read: the keyboard's next byte
    PortMouse = 0x03,        // write: PS/2 host lines; read: the mouse's next byte
    PortSdControl = 0x05,    // write only
    PortSdSelect = 0x06,     // read and write
    PortTimer = 0x07,        // write: timer seed; read: video status
    PortAudioControl = 0x08, // write: channel enable; read: audio status
    PortSysHw = 0x09,        // read: the system hardware port
    PortSpi = 0x0A,          // the SD card's SPI byte, read and write
    PortAltWritePage = 0x0B, // sys_alt_write_page, read and write
    PortPicLink = 0x0D,      // the configuration controller's link, read and write
    PortAudioFirst = 0x10,   // 0x10-0x1F: the sound channels' registers
    PortAudioLast = 0x1F,
    PortLowPage = 0x20,      // sys_low_page, read and write
    PortVramLocation = 0x21, // write only: where the VRAM window sits
    PortUnusedFirst = 0x30,  // 0x30-0x3F: nothing, but each access is logged
};

constexpr uint8_t PortNumberMask = 0x3F;
