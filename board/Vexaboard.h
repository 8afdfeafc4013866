// The Vexa board as the processor sees it: the memory map, the ports, the
// device clock and interrupts, the emulator trap and host key input. It owns
// every device; the machine that owns it (Machine) runs it, boots it and
// shuts it down.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "board/MachineBus.h"
#include "board/StateIO.h"
#include "board/Timing.h"
#include "cpu/Z80.h"

class DiagChannel;
class FrameExchange;
class Host;
class TVexaVideo;
class TVexaPIC;
class TVexaTimer;
class TVexaKeyboard;
class TVexaMouse;
class TVexaMathsAssist;
class TVexaSDCard;
class TVexaAudioSystem;

// 256 entries indexed by the host's virtual-key code: 0 ignored, 0xE0nn an
// extended key (E0 then nn), anything else the set-2 scan code.
extern const uint16_t KeyTranslationTable[256];

// No breakpoint: any value outside 0..0xFFFF means none.
constexpr int NoBreakpoint = 0x10000;

class TVexaBoard final : public z80cpu, public MachineBus {
public:
    static constexpr int MainRamSize = 0x80000;
    static constexpr int BootRomSize = 512;

    // Builds the devices in their reset state; no cold boot (the machine runs it).
    TVexaBoard(Host* windowHandle, DiagChannel* diag);
    virtual ~TVexaBoard();

    TVexaBoard(const TVexaBoard&) = delete;
    TVexaBoard& operator=(const TVexaBoard&) = delete;

    // The processor's view of the machine.
    uint8_t InPort(uint16_t port) override;
    void OutPort(uint16_t port, uint8_t value) override;
    uint8_t ReadByte(uint16_t address) override { return ReadMem(address); }
    void WriteByte(uint16_t address, uint8_t value) override { WriteMem(address, value); }
    uint8_t ReadMem(uint16_t address) override;
    void WriteMem(uint16_t address, uint8_t value) override;
    void Trap(Z80Registers* regs) override;
    void OnRETI() override {}
    void OnRETN() override {}
    bool Tick(int cycles) override;
    int TakeInterrupt() override;

    // MachineBus: what video and sound see.
    const uint8_t* MainRamBytes() const override { return mainRam; }
    void WriteVideoSpace(uint16_t address, uint8_t value) override;
    Host* WindowHandle() const override { return windowHandle; }
    int ClockHz() const override { return EmulatedClockHz; }

    // Host keys, as the main window forwards them (any thread).
    void HostKeyDown(uint16_t vk, int shiftState);
    void HostKeyUp(uint16_t vk, int shiftState);
    // The warm boot: an NMI after the current instruction (any thread).
    void RequestNmi() { nmiRequest.store(true, std::memory_order_relaxed); }

    // The pieces of a cold boot, called by the machine while the processor is idle.
    void ClearMemory();
    void LoadBootRom(const std::vector<uint8_t>& bytes);
    // Resets every device (PIC, video, timer, keyboard, mouse, maths, SD card),
    // then the processor with the refresh register given, then the board's
    // own registers.
    void ResetAll(uint32_t refresh);

    // Stops a run after the instruction whose address this is; NoBreakpoint for none.
    std::atomic<int> BreakpointAddress{NoBreakpoint};
    // True once since a breakpoint ended a run.
    bool TakeBreakpointHit() { return breakpointHit.exchange(false, std::memory_order_relaxed); }
    // Where finished frames go; a breakpoint also publishes the picture it shows.
    void AttachFrames(FrameExchange* exchange);

    // T-states handed to Tick since the board was built: the emulated clock.
    // Read it only from the thread that runs the processor, or while it is idle.
    uint64_t EmulatedCycles() const { return emulatedCycles; }

    uint8_t* MainRam() { return mainRam; }
    const uint8_t* MainRam() const { return mainRam; }
    const uint8_t* BootRom() const { return bootRom; }

    uint8_t sys_mem_select() const { return memSelect; }
    uint8_t sys_alt_write_page() const { return altWritePage; }
    uint8_t sys_low_page() const { return lowPage; }
    uint8_t sys_irq_enable() const { return irqEnable; }
    uint16_t VramWindowBase() const { return vramWindowBase; }
    bool IsNmiRequested() const { return nmiRequest.load(std::memory_order_relaxed); }
    bool IsIrqPending() const { return irqPending; }
    uint32_t AudioCycleAccumulator() const { return audioCycleAccumulator; }

    // Save states: the processor (registers, R and R7, HALT, interrupt flip-flops
    // and mode), the board's own registers, the interrupt and NMI requests, the
    // emulated clock and main RAM. Each device saves its own section.
    static constexpr uint32_t StateTagId = StateTag("BORD");
    static constexpr uint16_t StateVersion = 1;
    void SaveState(StateWriter& w) const;
    bool LoadState(StateReader& r);

    bool TakeSdReadLamp();
    bool TakeSdWriteLamp();

    TVexaVideo* Video() const { return video; }
    TVexaPIC* Pic() const { return pic; }
    TVexaTimer* Timer() const { return timer; }
    TVexaKeyboard* Keyboard() const { return keyboard; }
    TVexaMouse* Mouse() const { return mouse; }
    TVexaMathsAssist* Maths() const { return maths; }
    TVexaSDCard* SdCard() const { return sdCard; }
    TVexaAudioSystem* Audio() const { return audio; }

private:
    void ResetBoardRegisters();
    // The RAM offsets that the paging registers select, worked out whenever
    // one of them changes so that each access is one test and one index.
    void UpdatePaging();
    uint8_t ReadLowArea(uint16_t address);
    void WriteRoutedArea(uint16_t address, uint8_t value);
    bool StepAudio();
    void HitBreakpoint();

    Host* windowHandle;
    DiagChannel* diag;
    TVexaVideo* video = nullptr;
    TVexaPIC* pic = nullptr;
    TVexaTimer* timer = nullptr;
    TVexaKeyboard* keyboard = nullptr;
    TVexaMouse* mouse = nullptr;
    TVexaMathsAssist* maths = nullptr;
    TVexaSDCard* sdCard = nullptr;
    TVexaAudioSystem* audio = nullptr;
    FrameExchange* frames = nullptr;

    uint8_t bootRom[BootRomSize] = {};
    uint8_t mainRam[MainRamSize] = {};

    uint8_t memSelect = 0;    // sys_mem_select, port 0x00
    uint8_t altWritePage = 0; // sys_alt_write_page, port 0x0B
    uint8_t lowPage = 0;      // sys_low_page, port 0x20
    uint16_t vramWindowBase = 0x2000;
    uint8_t irqEnable = 0;    // sys_irq_enable, port 0x01
    std::atomic<bool> nmiRequest{false}; // set by the UI thread, taken by the CPU thread
    bool irqPending = false;
    uint32_t audioCycleAccumulator = 0;
    uint64_t emulatedCycles = 0;
    std::atomic<bool> breakpointHit{false};

    uint32_t lowBase = 0;         // sys_low_page << 15
    uint32_t upperReadBase = 0;   // RAM offset of 0x8000 for reads
    uint32_t upperWriteBase = 0;  // RAM offset of 0x8000 for writes
    uint16_t vramWindowTag = 1;   // VramWindowBase while the window is on
};
