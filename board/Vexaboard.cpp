#include "board/Vexaboard.h"

#include <algorithm>
#include <cstring>
#include <tuple>

#include "audio/Vexaaudio.h"
#include "board/Ports.h"
#include "cpu/Z80Engine.h"
#include "debug/Debugger.h"
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

// 0x2000-0xFFFF: RAM, and the VRAM window wherever it is placed.
inline uint8_t TVexaBoard::ReadAbove0x2000(uint16_t a) const {
    if ((a & 0xE000) == vramWindowTag) return video->ReadVramWindow(a);
    if (a & 0x8000) return mainRam[upperReadBase | (a & 0x7FFFu)];
    return mainRam[lowBase | a];
}

template <bool Peek> inline uint8_t TVexaBoard::ReadAt(uint16_t a) const {
    if (a >= PlainPathFloor) [[likely]] return ReadAbove0x2000(a);
    return ReadLowArea<Peek>(a);
}

// 0x0000-0x1FFF: the boot ROM overlay and the register area. A peek reads the
// maths unit's result without computing it into the unit or logging it.
template <bool Peek> uint8_t TVexaBoard::ReadLowArea(uint16_t a) const {
    if (a < 0x0200) return (altWritePage & 0x50) == 0 ? bootRom[a] : mainRam[lowBase | a];
    if (a < 0x1000 && !(altWritePage & 0x80)) {
        if (a == 0x0700) return video->ReadStatus(PendingCycles());
        if (a == 0x0704) return Peek ? static_cast<uint8_t>(maths->PeekResult()) : maths->ReadResultLow();
        if (a == 0x0705) return Peek ? static_cast<uint8_t>(maths->PeekResult() >> 8) : maths->ReadResultHigh();
    }
    return mainRam[lowBase | a];
}

// The plain path costs what it did before there were watchpoints: an armed
// watchpoint raises the floor of the plain path above every address, so the
// one comparison it makes anyway sends each access the other way. The other
// paths are separate calls in tail position, so that the plain path keeps
// nothing alive across a call and needs no stack frame.
//
// Both are forced inline into the processor's loop, which is instantiated in
// this file; other callers get the out-of-line copies.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
[[gnu::always_inline]] uint8_t TVexaBoard::ReadMem(uint16_t a) {
    if (a >= readFloor) [[likely]] return ReadAbove0x2000(a);
    return ReadBelowFloor(a);
}

[[gnu::always_inline]] void TVexaBoard::WriteMem(uint16_t a, uint8_t v) {
    if (WritePlain(a, v, writeFloor)) [[likely]] return;
    WriteBelowFloor(a, v);
}
#pragma GCC diagnostic pop

uint8_t TVexaBoard::ReadBelowFloor(uint16_t a) {
    if (accessHooks & HookMemRead) [[unlikely]] return WatchedRead(a);
    return ReadAt<false>(a);
}

uint8_t TVexaBoard::WatchedRead(uint16_t a) {
    const uint8_t v = ReadAt<false>(a);
    if (a >= memReadLo && a <= memReadHi) WatchAccess(0, a, v);
    return v;
}

uint8_t TVexaBoard::PeekMem(uint16_t a) const { return ReadAt<true>(a); }

void TVexaBoard::WriteBelowFloor(uint16_t a, uint8_t v) {
    if ((accessHooks & HookMemWrite) && a >= memWriteLo && a <= memWriteHi) [[unlikely]]
        WatchAccess(1, a, v);
    WriteAt(a, v);
}

// RAM and the VRAM window from `floor` up, unless the write routing is on;
// false when the write is not one of those.
inline bool TVexaBoard::WritePlain(uint16_t a, uint8_t v, uint32_t floor) {
    if (a < floor || (memSelect & 0x20)) return false;
    // Above 0x8000 the VRAM window is seen by reads only.
    if (a & 0x8000) mainRam[upperWriteBase | (a & 0x7FFFu)] = v;
    else if ((a & 0xE000) == vramWindowTag) video->WriteVramWindow(a, v);
    else mainRam[lowBase | a] = v;
    return true;
}

inline void TVexaBoard::WriteAt(uint16_t a, uint8_t v) {
    if (WritePlain(a, v, PlainPathFloor)) [[likely]] return;
    WriteRoutedArea(a, v);
}

bool TVexaBoard::PokeMem(uint16_t a, uint8_t v) {
    if (a >= 0x2000) {
        if ((a & 0xE000) == vramWindowTag) video->WriteVramWindow(a, v);
        else if (a & 0x8000) mainRam[upperReadBase | (a & 0x7FFFu)] = v;
        else mainRam[lowBase | a] = v;
        return true;
    }
    if (a < 0x0200) {
        if ((altWritePage & 0x50) == 0) bootRom[a] = v;
        else mainRam[lowBase | a] = v;
        return true;
    }
    if (a < 0x1000 && !(altWritePage & 0x80) && (a == 0x0700 || a == 0x0704 || a == 0x0705)) return false;
    mainRam[lowBase | a] = v;
    return true;
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
    CatchUpDevices();
    if (a >= 0x0600) maths->WriteTableByte(a & 0x1FF, v);
    else if (a >= 0x0400) video->WriteSpriteRegister(a, v);
    else if (a == 0x0208) maths->WriteMultiplierLow(v);
    else if (a == 0x0209) maths->WriteMultiplierHigh(v);
    else if (a == 0x020A) maths->SelectIndex(v);
    else WriteVideoRegister(a, v);
}

void TVexaBoard::WriteVideoSpace(uint16_t a, uint8_t v) {
    if (a < 0x0200) video->WritePalette(a, v);
    else if (a < 0x0400) {
        if (a == 0x0208) maths->WriteMultiplierLow(v);
        else if (a == 0x0209) maths->WriteMultiplierHigh(v);
        else if (a == 0x020A) maths->SelectIndex(v);
        else WriteVideoRegister(a, v);
    } else if (a < 0x0600) video->WriteSpriteRegister(a, v);
    else maths->WriteTableByte(a & 0x1FF, v);
}

void TVexaBoard::WriteVideoRegister(uint16_t a, uint8_t v) {
    video->WriteRegister(a, v);
    // Unsigned difference: a reset of the chip's count also asks for a yield.
    if (video->BlitBytesCopied() - blitBytesAtYield >= BlitBytesPerYield) [[unlikely]] {
        blitBytesAtYield = video->BlitBytesCopied();
        tickHooks |= TickHookYield;
    }
}

// ---------------------------------------------------------------------------
// Ports

void TVexaBoard::OutPort(uint16_t port, uint8_t v) {
    CatchUpDevices();
    if (accessHooks & HookPortOut) [[unlikely]] WatchAccess(3, port, v);
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

// Reads need no catch-up: between syncs nothing a port shows changes but the
// raster's place in its line, which the status reads with the pending cycles
// counted. Taking a PS/2 byte may drop that port's request: the next Tick
// syncs to see it.
uint8_t TVexaBoard::InPort(uint16_t port) {
    if (accessHooks & HookPortIn) [[unlikely]] return WatchedIn(port);
    return InPortDecoded(port);
}

uint8_t TVexaBoard::WatchedIn(uint16_t port) {
    const uint8_t v = InPortDecoded(port);
    WatchAccess(2, port, v);
    return v;
}

uint8_t TVexaBoard::InPortDecoded(uint16_t port) {
    const unsigned pc = Regs.PC;
    switch (port & PortNumberMask) {
    case PortMemSelect: return memSelect;
    case PortIrq:
        return static_cast<uint8_t>((mouse->DeviceData() << 7) | (mouse->DeviceClock() << 6) |
                                    (keyboard->DeviceData() << 5) | (keyboard->DeviceClock() << 4) |
                                    (video->IsRasterIrqPending() << 3) | (timer->IsIrqSet() << 2) |
                                    (mouse->HasData() << 1) | keyboard->HasData());
    case PortKeyboard: SyncAtNextTick(); return keyboard->ReadQueuedByte();
    case PortMouse: SyncAtNextTick(); return mouse->ReadQueuedByte();
    case PortSdSelect: return sdCard->ReadSelect();
    case PortTimer: return video->ReadStatus(PendingCycles());
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

// Forced inline into the processor's loop, which is instantiated in this file;
// other callers get the out-of-line copy.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
[[gnu::always_inline]] bool TVexaBoard::Tick(int cycles) {
    untilSync -= cycles;
    if (untilSync <= 0) [[unlikely]] SyncDevices();
    irqPending = irqLine;
    const bool due = irqLine || nmiRequest.load(std::memory_order_relaxed);
    if (tickHooks) [[unlikely]] return HookedTick(due);
    return due;
}
#pragma GCC diagnostic pop

void TVexaBoard::SyncDevices() {
    const int elapsed = syncSpan - untilSync;
    // Interrupt sources in the bit positions of sys_irq_enable, with the
    // raster interrupt (which needs only the master bit) as bit 7.
    unsigned sources = video->Tick(elapsed) ? 0x80u : 0u;
    if (timer->Tick(elapsed)) sources |= 0x04;
    if (keyboard->Tick(elapsed)) sources |= 0x01;
    if (mouse->Tick(elapsed)) sources |= 0x02;

    audioCycleAccumulator += static_cast<uint32_t>(elapsed);
    if (audioCycleAccumulator >= AudioStepCycles) [[unlikely]]
        if (StepAudio()) sources |= 0x08;

    emulatedCycles += static_cast<uint32_t>(elapsed);

    const unsigned enable = irqEnable;
    irqLine = (enable & 0x80) && (sources & (enable | 0x80) & 0x8F) != 0;

    // The audio request is raised by the step alone, for the one instruction
    // that made it, so the next Tick syncs again to drop it.
    int next = 0;
    if (!(sources & 0x08) && !syncEveryInstruction) {
        next = std::min({video->CyclesToNextLine(), timer->CyclesToOverflow(), keyboard->CyclesToNextEdge(),
                         mouse->CyclesToNextEdge(), static_cast<int>(AudioStepCycles - audioCycleAccumulator)});
    }
    untilSync = syncSpan = next;
}

void TVexaBoard::CatchUpDevices() {
    SyncDevices();
    SyncAtNextTick();
}

void TVexaBoard::SyncAtNextTick() {
    syncSpan -= untilSync; // what is pending stays pending
    untilSync = 0;
}

bool TVexaBoard::HookedTick(bool due) {
    if (tickHooks & TickHookYield) {
        tickHooks &= static_cast<uint8_t>(~TickHookYield);
        if (CycleBudget > 0) CycleBudget = 0;
        if (tickHooks == 0) return due;
    }
    // With breakpoints alone, most instructions end on no marked address:
    // that test stays here, before the debugger is asked.
    const uint16_t pc = static_cast<uint16_t>(Regs.PC);
    if (tickHooks == TickHookDebugger && !((breakpointBitmap[pc >> 3] >> (pc & 7)) & 1)) {
        instructionPc = pc;
        return due;
    }
    return DebugTick(due);
}

// One audio step per call. A HALT hands a whole slice over at once: that step
// is told every whole step's worth of cycles that passed, so that channels
// without an output device (which play on in emulated time) lose none of it,
// while the device's streams are topped up once, as always. Keeping the rest
// as a backlog would instead run a step after every later instruction. Returns
// true when a loop flag asks for the audio interrupt.
bool TVexaBoard::StepAudio() {
    const uint32_t steps = audioCycleAccumulator / AudioStepCycles;
    audio->UpdateStreams(static_cast<int>(steps * AudioStepCycles));
    audioCycleAccumulator -= steps * AudioStepCycles;
    return (audio->ReadStatus() & 0xF0) != 0;
}

void TVexaBoard::HitBreakpoint() {
    CycleBudget = -10;
    Running = 0;
    breakpointHit.store(true, std::memory_order_relaxed);
    // The picture as it stands: lines above the raster from this frame, the
    // rest from the last. Running the raster on to draw them would move the
    // machine's timing at every stop, and a program would behave differently
    // under the debugger than without it.
    if (frames) frames->Publish(*video);
    if (windowHandle) windowHandle->RepaintScreen();
}

int TVexaBoard::TakeInterrupt() {
    int value = -1;
    if (nmiRequest.exchange(false, std::memory_order_acq_rel)) value = -2;
    else if (irqPending && Regs.IFF1) {
        irqPending = false;
        value = 1;
    }
    if (tickHooks && value != -1) [[unlikely]] {
        // The next instruction starts where the interrupt entry will jump:
        // worked out here because the entry itself has no hook.
        if (value == -2) instructionPc = 0x0066;
        else if (Regs.IM == 1) instructionPc = 0x0038;
        else if (Regs.IM == 2) {
            const uint16_t vector = static_cast<uint16_t>((Regs.I << 8) | 1);
            instructionPc = static_cast<uint16_t>(PeekMem(vector) | (PeekMem(static_cast<uint16_t>(vector + 1)) << 8));
        } else instructionPc = static_cast<uint16_t>(Regs.PC + (Regs.Halted ? 1 : 0) + 2); // IM 0 runs LD BC,nn
    }
    return value;
}

void TVexaBoard::EnterDeferredInterrupt() {
    if (!interruptDeferred) return;
    interruptDeferred = false;
    Interrupt(TakeInterrupt());
}

// ---------------------------------------------------------------------------
// Debugging

void TVexaBoard::AttachDebugger(Debugger* d) {
    debugger = d;
    RearmDebug();
}

void TVexaBoard::RearmDebug() {
    const bool wasOn = tickHooks != 0;
    accessHooks = debugger ? debugger->AccessHooks() : 0;
    readFloor = accessHooks & HookMemRead ? NoPlainPath : PlainPathFloor;
    writeFloor = accessHooks & HookMemWrite ? NoPlainPath : PlainPathFloor;
    tickHooks = static_cast<uint8_t>((tickHooks & (TickHookPending | TickHookYield)) |
                                     (debugger && (debugger->NeedsInstructionHook() || accessHooks ||
                                                   debugger->StopOnTrap())
                                          ? TickHookDebugger
                                          : 0) |
                                     (debugger && debugger->NeedsEveryInstruction() ? TickHookEvery : 0));
    breakpointBitmap = debugger ? debugger->BreakpointBitmap() : nullptr;
    if (debugger) {
        std::tie(memReadLo, memReadHi) = debugger->WatchSpan(WatchSpace::Memory, WatchRead);
        std::tie(memWriteLo, memWriteHi) = debugger->WatchSpan(WatchSpace::Memory, WatchWrite);
    }
    // Hooks switched on between instructions: the next one starts at PC.
    if (!wasOn) instructionPc = static_cast<uint16_t>(Regs.PC);
}

void TVexaBoard::WatchAccess(int kind, uint16_t address, uint8_t value) {
    static constexpr WatchSpace spaces[] = {WatchSpace::Memory, WatchSpace::Memory, WatchSpace::Port, WatchSpace::Port};
    static constexpr uint8_t accesses[] = {WatchRead, WatchWrite, WatchRead, WatchWrite};
    if (debugger->OnAccess(spaces[kind], accesses[kind], address, value, Regs, *this, instructionPc))
        tickHooks |= TickHookPending;
}

// After an instruction while something is armed: stop if the debugger says
// so. The stop holds back an interrupt due now; the run that resumes enters it.
bool TVexaBoard::DebugTick(bool interruptDue) {
    const uint16_t started = instructionPc;
    const uint16_t pc = static_cast<uint16_t>(Regs.PC);
    instructionPc = pc;
    // With breakpoints alone, most instructions end on no marked address.
    if (!(tickHooks & (TickHookEvery | TickHookPending)) && !((breakpointBitmap[pc >> 3] >> (pc & 7)) & 1))
        return interruptDue;
    tickHooks &= static_cast<uint8_t>(~TickHookPending);
    if (!debugger->AfterInstruction(Regs, *this, started, EmulatedCycles())) return interruptDue;
    interruptDeferred = interruptDue;
    HitBreakpoint();
    return false;
}

void TVexaBoard::Trap(Z80Registers* regs) {
    if (debugger && debugger->OnTrap(static_cast<uint8_t>(regs->AF >> 8), static_cast<uint16_t>(regs->PC - 2)))
        tickHooks |= TickHookPending;
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
    untilSync = syncSpan = 0;
    irqLine = false;
    interruptDeferred = false;
    tickHooks &= static_cast<uint8_t>(~TickHookPending);
    instructionPc = static_cast<uint16_t>(Regs.PC);
    UpdatePaging();
}

// ---------------------------------------------------------------------------
// Save state

void TVexaBoard::SaveState(StateWriter& w) const {
    w.Array(&Regs.AF, sizeof Regs / sizeof(uint32_t));
    w.U8(memSelect);
    w.U8(altWritePage);
    w.U8(lowPage);
    w.U16(vramWindowBase);
    w.U8(irqEnable);
    w.Bool(nmiRequest.load(std::memory_order_relaxed));
    w.Bool(irqPending);
    w.U32(audioCycleAccumulator);
    w.U64(EmulatedCycles());
    w.Array(mainRam, MainRamSize);
}

bool TVexaBoard::LoadState(StateReader& r) {
    Z80Registers regs;
    r.Array(&regs.AF, sizeof regs / sizeof(uint32_t));
    const uint8_t sel = r.U8(), alt = r.U8(), low = r.U8();
    const uint16_t windowBase = r.U16();
    const uint8_t irq = r.U8();
    const bool nmi = r.Bool(), pending = r.Bool();
    const uint32_t audioAccumulator = r.U32();
    const uint64_t cycles = r.U64();
    // The pairs keep their value in the low 16 bits and the code relies on it.
    const uint32_t* slots = &regs.AF;
    for (int i = 0; i < 12; ++i)
        if (slots[i] > 0xFFFF) r.Fail();
    if (regs.IFF1 > 1 || regs.IFF2 > 1 || regs.Halted > 1 || regs.IM > 2 || regs.I > 0xFF || low > 0x0F ||
        (windowBase & 0x1FFF) != 0 || windowBase == 0 || audioAccumulator >= AudioStepCycles)
        r.Fail();
    if (!r.Ok() || r.Remaining() != MainRamSize) return false;
    Regs = regs;
    memSelect = sel;
    altWritePage = alt;
    lowPage = low;
    vramWindowBase = windowBase;
    irqEnable = irq;
    nmiRequest.store(nmi, std::memory_order_relaxed);
    irqPending = pending;
    audioCycleAccumulator = audioAccumulator;
    emulatedCycles = cycles;
    untilSync = syncSpan = 0;
    r.Array(mainRam, MainRamSize);
    UpdatePaging();
    return true;
}

// ---------------------------------------------------------------------------
// The processor's loop, instantiated here where the memory map and Tick are
// defined, so that their common paths are inlined into it.

// The first Tick of a run syncs (the machine may have changed any device while
// the processor was idle, or queued a key), and the devices are brought up to
// the end of the run, so that whoever looks at them between runs sees them
// as the processor left them.
int TVexaBoard::Run() {
    SyncAtNextTick();
    const int running = z80engine::RunLoop<TVexaBoard>(*this);
    CatchUpDevices();
    return running;
}
