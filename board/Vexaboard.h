// The Vexa board: the processor's memory map and ports, the device clock and
// interrupts, cold boot and shutdown, and host key input. It owns every device
// and both worker threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "cpu/Z80.h"

class Host;
class Z80Thread;
class VideoThread;
class TVexaVideo;
class TVexaPIC;
class TVexaTimer;
class TVexaKeyboard;
class TVexaMouse;
class TVexaMathsAssist;
class TVexaSDCard;
class TVexaAudioSystem;

// The one machine, or null before the main window has stored it and after it
// has closed. Worker threads read it, so it is atomic.
class TVexaBoard;
extern std::atomic<TVexaBoard*> VexaBoard;
// The debugger's breakpoint: any value outside 0..0xFFFF means none.
extern std::atomic<int> BreakpointAddress;
// T-states run since the debugger last read the figure (the board's Tick adds).
extern std::atomic<uint32_t> CpuCycleCount;

// 256 entries indexed by the host's virtual-key code: 0 ignored, 0xE0nn an
// extended key (E0 then nn), anything else the set-2 scan code.
extern const uint16_t KeyTranslationTable[256];

class TVexaBoard final : public z80cpu {
public:
    static constexpr int MainRamSize = 0x80000;
    static constexpr int BootRomSize = 512;
    static constexpr int AudioStepCycles = 10000;

    // Builds the devices and runs the first cold boot. With startThreads the
    // display and CPU threads start at once (the emulator); without them the
    // caller drives RunSlice itself (the headless runner and the tests).
    explicit TVexaBoard(Host* windowHandle, bool startThreads = true);
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

    // The line coprocessor's route to the register area, whatever the paging.
    void WriteVideoSpace(uint16_t address, uint8_t value);

    void ColdBoot();
    // True when the window may close: no card writes wait, or they were saved
    // or discarded as the user chose. With "writeenable" it parks the CPU
    // thread first and leaves it parked when it returns true (Shutdown comes
    // next). A failed save shows a box and returns false.
    bool QueryClose();
    // Stops both threads and writes the four dumps. Throws std::runtime_error
    // naming the file when a dump cannot be written.
    void Shutdown();

    void HostKeyDown(uint16_t vk, int shiftState);
    void HostKeyUp(uint16_t vk, int shiftState);

    int ClockHz() const { return 36000000; }
    // One slice of the CPU thread: 300,000 T-states.
    void RunSlice();
    // The debugger's Step Into: one instruction (and the interrupt entry that
    // may follow it) on the calling thread, with the CPU thread paused around it.
    void StepInstruction();
    // Pauses the CPU thread (when there is one) and waits for it to park;
    // ResumeCpu lets it go again. Used by cold boot and the debugger. Calls
    // nest: the thread runs again only when every pause has been resumed, so
    // a cold boot inside a debugger stop leaves the machine stopped.
    void PauseCpu();
    void ResumeCpu();
    // True while the CPU thread is held paused (by the debugger, a cold boot
    // or a breakpoint stop) and has parked.
    bool IsCpuHeld() const;

    // A breakpoint reached on the CPU thread ends the slice and keeps the
    // thread paused, as if PauseCpu had been called for the debugger; this
    // answers true once per such stop, and the caller then owns that pause.
    bool TakeBreakpointStop() { return breakpointStop.exchange(false, std::memory_order_acq_rel); }

    // The registers as the debugger may read them from another thread: a copy
    // published after every slice, step and cold boot, under a lock that the
    // CPU thread takes once per slice.
    Z80Registers RegisterSnapshot() const;
    void PublishRegisters();

    bool TakeSdReadLamp();
    bool TakeSdWriteLamp();

    Host* WindowHandle() const { return windowHandle; }
    TVexaVideo* Video() const { return video; }
    TVexaPIC* Pic() const { return pic; }
    TVexaTimer* Timer() const { return timer; }
    TVexaKeyboard* Keyboard() const { return keyboard; }
    TVexaMouse* Mouse() const { return mouse; }
    TVexaMathsAssist* Maths() const { return maths; }
    TVexaSDCard* SdCard() const { return sdCard; }
    TVexaAudioSystem* Audio() const { return audio; }
    Z80Thread* CpuThread() const { return cpuThread; }

    bool SdWriteEnable = false;
    bool SdNoWritePrompt = false;
    std::string SdImagePath;
    uint8_t BootRom[BootRomSize] = {};
    uint8_t MainRam[MainRamSize] = {};

    uint8_t sys_mem_select = 0;
    uint8_t sys_alt_write_page = 0;
    uint8_t sys_low_page = 0;
    uint16_t VramWindowBase = 0x2000;
    uint8_t sys_irq_enable = 0;
    std::atomic<bool> NmiRequest{false}; // set by the UI thread, taken by the CPU thread
    bool IrqPending = false;
    uint32_t AudioCycleAccumulator = 0;

private:
    void ResetBoardRegisters();
    // The RAM offsets that the paging registers select, worked out whenever
    // one of them changes so that each access is one test and one index.
    void UpdatePaging();
    uint8_t ReadLowArea(uint16_t address);
    void WriteRoutedArea(uint16_t address, uint8_t value);
    bool StepAudio();
    void HitBreakpoint();
    bool ReadConfiguration();
    bool AskToCommit(const char* question);
    bool CommitSdImage();
    void WriteDump(const char* name, const uint8_t* data, size_t size);

    Host* windowHandle;
    Z80Thread* cpuThread = nullptr;
    VideoThread* displayThread = nullptr;
    TVexaVideo* video = nullptr;
    TVexaPIC* pic = nullptr;
    TVexaTimer* timer = nullptr;
    TVexaKeyboard* keyboard = nullptr;
    TVexaMouse* mouse = nullptr;
    TVexaMathsAssist* maths = nullptr;
    TVexaSDCard* sdCard = nullptr;
    TVexaAudioSystem* audio = nullptr;

    bool lastCommitFailed = false; // the last write-back of the card image failed
    std::atomic<int> pauseDepth{0};          // PauseCpu calls not yet resumed, plus breakpoint stops
    std::atomic<bool> breakpointHit{false};  // set by Tick, acted on when the slice ends
    std::atomic<bool> breakpointStop{false}; // the CPU thread holds itself at a breakpoint
    mutable std::mutex snapshotMutex;
    Z80Registers snapshot{};
    uint32_t lowBase = 0;         // sys_low_page << 15
    uint32_t upperReadBase = 0;   // RAM offset of 0x8000 for reads
    uint32_t upperWriteBase = 0;  // RAM offset of 0x8000 for writes
    uint16_t vramWindowTag = 1;   // VramWindowBase while the window is on
};
