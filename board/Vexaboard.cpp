#include "board/Vexaboard.h"

#include <algorithm>
#include <cstring>

#include "audio/Vexaaudio.h"
#include "board/Ports.h"
#include "devices/Vexakeyboard.h"
#include "devices/Vexamathsassist.h"
#include "devices/Vexamouse.h"
#include "devices/Vexapic.h"
#include "devices/Vexasdmmccard.h"
#include "devices/Vexatimer.h"
#include "diag/Diag.h"
#include "host/Host.h"
#include "video/FrameExchange.h"
#include "video/Vexavideo.h"

// ---------------------------------------------------------------------------
// Construction and destruction

TVexaBoard::TVexaBoard(Host* host, DiagChannel* channel) : windowHandle(host), diag(channel) {
    video = new TVexaVideo(this, diag);
    pic = new TVexaPIC(diag);
    timer = new TVexaTimer(diag);
    keyboard = new TVexaKeyboard(diag);
    mouse = new TVexaMouse(diag);
    maths = new TVexaMathsAssist(diag);
    sdCard = new TVexaSDCard(diag);
    audio = new TVexaAudioSystem(this, diag);
    UpdatePaging();
}

TVexaBoard::~TVexaBoard() {
    delete sdCard;
    delete maths;
    delete mouse;
    delete keyboard;
    delete timer;
    delete pic;
    delete video;
    delete audio;
}

void TVexaBoard::AttachFrames(FrameExchange* exchange) {
    frames = exchange;
    video->SetFrameExchange(exchange);
}

// ---------------------------------------------------------------------------
// Memory map

void TVexaBoard::UpdatePaging() {
    lowBase = static_cast<uint32_t>(lowPage & 0x0F) << 15;
    // A tag that no address matches while the window is off.
    vramWindowTag = (memSelect & 0x40) ? vramWindowBase : 0x0001;
    const bool pageZeroAllowed = (altWritePage & 0x20) != 0;
    const uint32_t readPage = memSelect & 0x0F;
    upperReadBase = (readPage < 2 && !pageZeroAllowed) ? 0x8000 : readPage << 15;
    if (memSelect & 0x10) {
        const uint32_t altPage = altWritePage & 0x0F;
        upperWriteBase = (altPage < 2 && !pageZeroAllowed) ? 0x8000 : altPage << 15;
    } else {
        // Writes through sys_mem_select: pages 0 and 1 both give page 1.
        upperWriteBase = readPage < 2 ? 0x8000 : readPage << 15;
    }
}

uint8_t TVexaBoard::ReadMem(uint16_t a) {
    if (a >= 0x2000) [[likely]] {
        if ((a & 0xE000) == vramWindowTag) return video->ReadVramWindow(a);
        if (a & 0x8000) return mainRam[upperReadBase | (a & 0x7FFFu)];
        return mainRam[lowBase | a];
    }
    return ReadLowArea(a);
}

// 0x0000-0x1FFF: the boot ROM overlay and the register area.
uint8_t TVexaBoard::ReadLowArea(uint16_t a) {
    if (a < 0x0200) return (altWritePage & 0x50) == 0 ? bootRom[a] : mainRam[lowBase | a];
    if (a < 0x1000 && !(altWritePage & 0x80)) {
        if (a == 0x0700) return video->ReadStatus();
        if (a == 0x0704) return maths->ReadResultLow();
        if (a == 0x0705) return maths->ReadResultHigh();
    }
    return mainRam[lowBase | a];
}

void TVexaBoard::WriteMem(uint16_t a, uint8_t v) {
    if (a >= 0x2000 && !(memSelect & 0x20)) [[likely]] {
        // Above 0x8000 the VRAM window is seen by reads only.
        if (a & 0x8000) mainRam[upperWriteBase | (a & 0x7FFFu)] = v;
        else if ((a & 0xE000) == vramWindowTag) video->WriteVramWindow(a, v);
        else mainRam[lowBase | a] = v;
        return;
    }
    WriteRoutedArea(a, v);
}

// VRAM write mode, the sprite window, the palette and the register area.
void TVexaBoard::WriteRoutedArea(uint16_t a, uint8_t v) {
    const uint8_t sel = memSelect;
    if (a >= 0x2000) {
        video->WriteVramDirect(a, v);
        return;
    }
    if (a >= 0x1000) {
        if ((sel & 0xA0) == 0x80) video->WriteSpriteWindow(a, v);
        else if (sel & 0x20) video->WriteVramDirect(a, v);
        else mainRam[lowBase | a] = v;
        return;
    }
    // 0x0000-0x0FFF: VRAM write mode applies here only while the window is off.
    if ((sel & 0x60) == 0x20) {
        video->WriteVramDirect(a, v);
        return;
    }
    if (a < 0x0200) {
        if ((altWritePage & 0x50) == 0x40) mainRam[lowBase | a] = v;
        else video->WritePalette(a, v);
        return;
    }
    if (a >= 0x0800 || (altWritePage & 0x80)) {
        mainRam[lowBase | a] = v;
        return;
    }
    if (a >= 0x0600) maths->WriteTableByte(a & 0x1FF, v);
    else if (a >= 0x0400) video->WriteSpriteRegister(a, v);
    else if (a == 0x0208) maths->WriteMultiplierLow(v);
    else if (a == 0x0209) maths->WriteMultiplierHigh(v);
    else if (a == 0x020A) maths->SelectIndex(v);
    else video->WriteRegister(a, v);
}

void TVexaBoard::WriteVideoSpace(uint16_t a, uint8_t v) {
    if (a < 0x0200) video->WritePalette(a, v);
    else if (a < 0x0400) {
        if (a == 0x0208) maths->WriteMultiplierLow(v);
        else if (a == 0x0209) maths->WriteMultiplierHigh(v);
        else if (a == 0x020A) maths->SelectIndex(v);
        else video->WriteRegister(a, v);
    } else if (a < 0x0600) video->WriteSpriteRegister(a, v);
    else maths->WriteTableByte(a & 0x1FF, v);
}

// ---------------------------------------------------------------------------
// Ports

void TVexaBoard::OutPort(uint16_t port, uint8_t v) {
    const unsigned pc = Regs.PC;
    switch (port & PortNumberMask) {
    case PortMemSelect:
        memSelect = v;
        UpdatePaging();
        DIAG_POST_C(diag, DIAG_VEXA_MISC, "sys_mem_select Write 0x%2.2x @ 0x%4.4x", v, pc);
        break;
    case PortIrq:
        irqEnable = v;
        DIAG_POST_C(diag, DIAG_VEXA_MISC, "sys_irq_enable Write 0x%2.2x @ 0x%4.4x", v, pc);
        break;
    case PortKeyboard: // interrupt acknowledge
        if (v & 0x01) keyboard->AcknowledgeIrq();
        if (v & 0x02) mouse->AcknowledgeIrq();
        if (v & 0x04) timer->ClearIrq();
        for (int bit = 4; bit < 8; ++bit)
            if (v & (1 << bit)) audio->ClearLoopFlag(bit - 4);
        break;
    case PortMouse: // the PS/2 host lines
        mouse->SetHostLines((v & 0x40) != 0, (v & 0x80) != 0);
        keyboard->SetHostLines((v & 0x10) != 0, (v & 0x20) != 0);
        break;
    case PortSdControl: sdCard->WriteControl(v); break;
    case PortSdSelect: sdCard->WriteSelect(v); break;
    case PortTimer: timer->WriteSeed(v); break;
    case PortAudioControl: audio->WriteChannelEnable(v); break;
    case PortSpi: sdCard->WriteSpi(v); break;
    case PortAltWritePage:
        altWritePage = v;
        UpdatePaging();
        DIAG_POST_C(diag, DIAG_VEXA_MISC, "sys_alt_write_page Write 0x%2.2x @ 0x%4.4x", v, pc);
        break;
    case PortPicLink: pic->WriteLines((v & 0x02) != 0, (v & 0x01) != 0); break;
    case PortLowPage:
        lowPage = v & 0x0F;
        UpdatePaging();
        DIAG_POST_C(diag, DIAG_VEXA_MISC, "sys_low_page Write 0x%2.2x @ 0x%4.4x", v, pc);
        break;
    case PortVramLocation:
        vramWindowBase = static_cast<uint16_t>((v & 7) << 13);
        if (vramWindowBase == 0) vramWindowBase = 0x2000;
        UpdatePaging();
        DIAG_POST_C(diag, DIAG_VEXA_MISC, "sys_vram_location Write 0x%2.2x (0x%4.4x) @ 0x%4.4x", v, vramWindowBase, pc);
        break;
    default: {
        const unsigned p = port & PortNumberMask;
        if (p >= PortAudioFirst && p <= PortAudioLast)
            audio->WriteRegister(static_cast<uint8_t>(p), static_cast<uint16_t>((port & 0xFF00) | v));
        else if (p >= PortUnusedFirst)
            DIAG_POST_C(diag, DIAG_CPU, "Wrote 0x%2.2x to Port 0x%2.2x @ 0x%4.4x", v, port, pc);
        break;
    }
    }
}

uint8_t TVexaBoard::InPort(uint16_t port) {
    const unsigned pc = Regs.PC;
    switch (port & PortNumberMask) {
    case PortMemSelect: return memSelect;
    case PortIrq:
        return static_cast<uint8_t>((mouse->DeviceData() << 7) | (mouse->DeviceClock() << 6) |
                                    (keyboard->DeviceData() << 5) | (keyboard->DeviceClock() << 4) |
                                    (video->IsRasterIrqPending() << 3) | (timer->IsIrqSet() << 2) |
                                    (mouse->HasData() << 1) | keyboard->HasData());
    case PortKeyboard: return keyboard->ReadQueuedByte();
    case PortMouse: return mouse->ReadQueuedByte();
    case PortSdSelect: return sdCard->ReadSelect();
    case PortTimer: return video->ReadStatus();
    case PortAudioControl: return audio->ReadStatus();
    case PortSysHw: {
        // Bit 7 spells out the constant 0x665 a bit at a time, selected by the
        // high byte of the port address. Bit 6, the card's flag, is always 0.
        const unsigned n = (port >> 8) & 0x0F;
        const uint8_t result = static_cast<uint8_t>((((0x665u >> n) & 1) << 7) | 0x20 | (pic->IsDataReady() << 4) |
                                                    (timer->IsIrqSet() << 2) | (mouse->HasData() << 1) |
                                                    keyboard->HasData());
        DIAG_POST_C(diag, DIAG_VEXA_MISC, "Read from SysHW Port (0x%4.4x): 0x%2.2x @ 0x%4.4x", port, result, pc);
        return result;
    }
    case PortSpi: return sdCard->ReadSpi();
    case PortAltWritePage: return altWritePage;
    case PortPicLink: return pic->ReadData();
    case PortLowPage: return lowPage;
    default: {
        const unsigned p = port & PortNumberMask;
        if (p >= PortAudioFirst && p <= PortAudioLast) return static_cast<uint8_t>(audio->ReadRegister(static_cast<uint8_t>(p)));
        if (p >= PortUnusedFirst) DIAG_POST_C(diag, DIAG_CPU, "Read from Port 0x%2.2x @ 0x%4.4x", port, pc);
        return 0;
    }
    }
}

// ---------------------------------------------------------------------------
// Device clock and interrupts

bool TVexaBoard::Tick(int cycles) {
    // Interrupt sources in the bit positions of sys_irq_enable, with the
    // raster interrupt (which needs only the master bit) as bit 7.
    unsigned sources = video->Tick(cycles) ? 0x80u : 0u;
    if (timer->Tick(cycles)) sources |= 0x04;
    if (keyboard->Tick(cycles)) sources |= 0x01;
    if (mouse->Tick(cycles)) sources |= 0x02;

    audioCycleAccumulator += static_cast<uint32_t>(cycles);
    if (audioCycleAccumulator >= AudioStepCycles) [[unlikely]]
        if (StepAudio()) sources |= 0x08;

    emulatedCycles += static_cast<uint32_t>(cycles);

    if (static_cast<int>(Regs.PC & 0xFFFF) == BreakpointAddress.load(std::memory_order_relaxed)) [[unlikely]]
        HitBreakpoint();

    const unsigned enable = irqEnable;
    irqPending = (enable & 0x80) && (sources & (enable | 0x80) & 0x8F) != 0;
    return irqPending || nmiRequest.load(std::memory_order_relaxed);
}

// One audio step per call. A HALT hands a whole slice over at once; the rest of
// that time is dropped rather than kept as a backlog, which would otherwise run
// a step after every later instruction (and in the end overflow). Returns true
// when a loop flag asks for the audio interrupt.
bool TVexaBoard::StepAudio() {
    audio->UpdateStreams(AudioStepCycles);
    audioCycleAccumulator = (audioCycleAccumulator - AudioStepCycles) % AudioStepCycles;
    return (audio->ReadStatus() & 0xF0) != 0;
}

void TVexaBoard::HitBreakpoint() {
    CycleBudget = -10;
    Running = 0;
    breakpointHit.store(true, std::memory_order_relaxed);
    video->Tick(0x40000); // 256 lines, so that the picture shows the current state
    if (frames) frames->Publish(*video);
    if (windowHandle) windowHandle->RepaintScreen();
}

int TVexaBoard::TakeInterrupt() {
    if (nmiRequest.exchange(false, std::memory_order_acq_rel)) return -2;
    if (irqPending && Regs.IFF1) {
        irqPending = false;
        return 1;
    }
    return -1;
}

void TVexaBoard::Trap(Z80Registers* regs) {
    if (diag == nullptr || diag->Sink() == nullptr) return;
    const unsigned af = regs->AF, bc = regs->BC, de = regs->DE, hl = regs->HL;
    diag->SendC(DIAG_UNUSED, "PC=0x%4.4x: CPM %s DSK=0x%2.2x TRK=0x%4.4x SEC=0x%4.4x BUF=0x%4.4x", regs->PC,
                (af & 1) ? "WR" : "RD", af >> 8, de, bc, hl);
    diag->SendC(DIAG_UNUSED, "Offset=0x%8.8x", de * 0x8000u + bc * 512u);
}

bool TVexaBoard::TakeSdReadLamp() { return sdCard && sdCard->TakeReadLamp(); }
bool TVexaBoard::TakeSdWriteLamp() { return sdCard && sdCard->TakeWriteLamp(); }

// ---------------------------------------------------------------------------
// Cold boot

void TVexaBoard::ClearMemory() {
    std::memset(mainRam, 0, sizeof mainRam);
    std::memset(bootRom, 0, sizeof bootRom);
}

void TVexaBoard::LoadBootRom(const std::vector<uint8_t>& bytes) {
    // copy_n, not memcpy: an empty file has no data pointer to copy from.
    std::copy_n(bytes.begin(), std::min<size_t>(bytes.size(), BootRomSize), bootRom);
}

void TVexaBoard::ResetAll(uint32_t refresh) {
    pic->Reset();
    video->Reset();
    timer->Reset();
    keyboard->Reset();
    mouse->Reset();
    maths->Reset();
    sdCard->Reset();
    Reset(refresh);
    ResetBoardRegisters();
}

void TVexaBoard::ResetBoardRegisters() {
    memSelect = 0;
    altWritePage = 0;
    lowPage = 0;
    irqEnable = 0;
    nmiRequest.store(false, std::memory_order_relaxed);
    irqPending = false;
    vramWindowBase = 0x2000;
    audioCycleAccumulator = 0;
    UpdatePaging();
}
