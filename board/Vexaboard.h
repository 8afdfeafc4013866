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
#include "debug/Expression.h"

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
class Debugger;

// 256 entries indexed by the host's virtual-key code: 0 ignored, 0xE0nn an
// extended key (E0 then nn), anything else the set-2 scan code.
extern const uint16_t KeyTranslationTable[256];

class TVexaBoard final : public z80cpu, public MachineBus, public MemoryPeek {
public:
    static constexpr int MainRamSize = 0x80000;
    static constexpr int BootRomSize = 512;

    // Builds the devices in their reset state; no cold boot (the machine runs it).
    TVexaBoard(Host* windowHandle, DiagChannel* diag);
    virtual ~TVexaBoard();

    TVexaBoard(const TVexaBoard&) = delete;
    TVexaBoard& operator=(const TVexaBoard&) = delete;

    // The processor's loop as this class's own: every bus access below is a
    // direct call that the compiler can inline (z80cpu::Run makes virtual ones).
    int Run();
    int RunFor(int budget, int period) {
        CycleBudget = budget;
        CyclePeriod = period;
        return Run();
    }

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

    // --- Debugging -------------------------------------------------------------
    // Memory as the processor reads it now, with no effect on any device (the
    // debugger's views, conditions, a GDB client).
    uint8_t PeekMem(uint16_t address) const override;
    // Changes the byte that a read of this address returns (RAM, VRAM through
    // its window, the boot ROM); false for the device registers read there.
    bool PokeMem(uint16_t address, uint8_t value);
    // The debugger the board asks after instructions and accesses; RearmDebug
    // copies what it needs checked (call with the processor idle).
    void AttachDebugger(Debugger* debugger);
    Debugger* AttachedDebugger() const { return debugger; }
    void RearmDebug();
    // True once since a debugger stop ended a run.
    bool TakeBreakpointHit() { return breakpointHit.exchange(false, std::memory_order_relaxed); }
    // A stop holds back an interrupt that was due after its instruction; the
    // next run enters it first, so stopping changes no timing.
    void EnterDeferredInterrupt();
    // Where finished frames go; a breakpoint also publishes the picture it shows.
    void AttachFrames(FrameExchange* exchange);

    // Tests: hand the devices every instruction's cycles as it ends, as a
    // clock without next-event scheduling does, to compare the two.
    void SetSyncEveryInstruction(bool on) { syncEveryInstruction = on; }

    // T-states handed to Tick since the board was built: the emulated clock.
    // Read it only from the thread that runs the processor, or while it is idle.
    uint64_t EmulatedCycles() const { return emulatedCycles + static_cast<uint32_t>(PendingCycles()); }

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
    // Peek reads what Read reads without a device's side effects.
    template <bool Peek> [[gnu::always_inline]] uint8_t ReadAt(uint16_t address) const;
    template <bool Peek> uint8_t ReadLowArea(uint16_t address) const;
    [[gnu::always_inline]] void WriteAt(uint16_t address, uint8_t value);
    [[gnu::always_inline]] uint8_t ReadAbove0x2000(uint16_t address) const;
    [[gnu::always_inline]] bool WritePlain(uint16_t address, uint8_t value, uint32_t floor);
    void WriteRoutedArea(uint16_t address, uint8_t value);
    enum : uint8_t { HookMemRead = 1, HookMemWrite = 2, HookPortIn = 4, HookPortOut = 8 };
    // Breakpoints only: instructions are looked at in the bitmap first.
    // Every: the debugger sees each instruction. Pending: an access or the
    // trap asked for a stop. Yield: the slice ends after this instruction.
    enum : uint8_t { TickHookDebugger = 1, TickHookPending = 2, TickHookEvery = 4, TickHookYield = 8 };
    // Blits finish inside the register write that starts them, taking no
    // emulated time, so a program that starts one after another can keep a
    // slice busy for seconds of host time. Past this many bytes the slice
    // ends early (which the machine cannot tell), and the CPU thread answers
    // a pause or a stop in between.
    static constexpr uint64_t BlitBytesPerYield = 32u << 20;
    void WriteVideoRegister(uint16_t address, uint8_t value);
    void WatchAccess(int kind, uint16_t address, uint8_t value);
    uint8_t ReadBelowFloor(uint16_t address);
    void WriteBelowFloor(uint16_t address, uint8_t value);
    [[gnu::noinline]] uint8_t WatchedRead(uint16_t address);
    [[gnu::noinline]] uint8_t WatchedIn(uint16_t port);
    [[gnu::noinline]] bool DebugTick(bool interruptDue);
    bool StepAudio();
    // Hands every device the cycles gathered since the last sync, works out
    // the interrupt request they drive and when the next sync is due.
    void SyncDevices();
    // Before the processor writes to a device mid-instruction: the devices
    // are brought up to now, and the next Tick syncs again to see the effect.
    void CatchUpDevices();
    void SyncAtNextTick();
    // Cycles run since the last sync. While a run goes on, they are fewer than
    // any device needs to change what it shows; while the processor is idle, 0.
    // Reads of the video status, the processor's and the debugger's, count
    // them instead of catching the chip up.
    int PendingCycles() const { return syncSpan - untilSync; }
    [[gnu::noinline]] bool HookedTick(bool due);
    uint8_t InPortDecoded(uint16_t port);
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
    uint64_t emulatedCycles = 0; // up to the last sync; EmulatedCycles adds what is pending

    // The device clock runs by next event. Most instructions change nothing a
    // device shows the processor, so Tick only counts down to the nearest
    // moment one can (a raster line, a timer overflow, a PS/2 clock edge, an
    // audio step), and SyncDevices then hands every device the cycles gathered
    // so far in one call, which each device handles exactly as the same
    // cycles in several calls. Writes to devices catch them up first.
    int32_t untilSync = 0;    // cycles left before the next sync; at 0 or below, Tick syncs
    int32_t syncSpan = 0;     // untilSync as set at the last sync: pending = syncSpan - untilSync
    bool irqLine = false;     // the maskable request the devices drove at the last sync
    bool syncEveryInstruction = false;
    std::atomic<bool> breakpointHit{false};

    // Debugging: what is armed (written only while the processor is idle).
    Debugger* debugger = nullptr;
    uint8_t tickHooks = 0;     // TickHook* bits
    uint64_t blitBytesAtYield = 0; // the video chip's blit count when the last yield was asked for
    uint8_t accessHooks = 0;   // Hook* bits
    // Accesses from here up take the plain path: above the register area, or
    // (NoPlainPath) none while a memory watchpoint of that kind is armed.
    static constexpr uint32_t PlainPathFloor = 0x2000, NoPlainPath = 0x10000;
    uint32_t readFloor = PlainPathFloor;
    uint32_t writeFloor = PlainPathFloor;
    uint16_t instructionPc = 0; // where the instruction now running started
    const uint8_t* breakpointBitmap = nullptr;
    uint16_t memReadLo = 1, memReadHi = 0, memWriteLo = 1, memWriteHi = 0; // watched spans
    bool interruptDeferred = false;

    uint32_t lowBase = 0;         // sys_low_page << 15
    uint32_t upperReadBase = 0;   // RAM offset of 0x8000 for reads
    uint32_t upperWriteBase = 0;  // RAM offset of 0x8000 for writes
    uint16_t vramWindowTag = 1;   // VramWindowBase while the window is on
};
