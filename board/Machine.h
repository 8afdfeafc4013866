// One emulated Vexa board and everything that runs it: the board (the bus)
// with its devices, the CPU and display threads, the diagnostics channel, the
// frame hand-over, the CPU's lifecycle (pause, step, breakpoint stops,
// register snapshots), cold boot from config.txt, the close question about
// card writes, and the dumps at shutdown. Nothing here is process-wide, so
// several machines can run side by side in one process.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "board/RandomSource.h"
#include "board/Vexaboard.h"
#include "cpu/CPUThread.h"
#include "diag/Diag.h"
#include "video/FrameExchange.h"

class Host;
class VideoThread;
struct ConfigEntry;

struct MachineOptions {
    // The folder holding config.txt: relative paths in it, and the dump files,
    // are taken from there. Empty: the current directory.
    std::string folder;
    // Start the display and CPU threads (the window). Without them the caller
    // runs the machine itself with RunCycles (the headless runner, tests).
    bool startThreads = false;
    // Seed of the machine's own copy of the C library's random numbers, which
    // fill the refresh register at reset. Unset: rand() itself.
    std::optional<unsigned> randomSeed;
};

// A file the latest cold boot could not use, wholly or in part: the text
// names the full path tried and why (and is also posted, as the category
// given, to the diagnostics channel at the time).
struct FileRefusal {
    int type;
    std::string text;
};

class Machine final : public SliceRunner {
public:
    // Builds the board, runs the first cold boot (no sink is connected yet, so
    // its diagnostics go nowhere) and starts the threads if asked to.
    explicit Machine(Host* host, MachineOptions options = {});
    // Stops any thread still running.
    ~Machine();

    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    TVexaBoard& Board() { return *board; }
    const TVexaBoard& Board() const { return *board; }
    DiagChannel& Diag() { return diag; }
    FrameExchange& Frames() { return frames; }
    Host* WindowHandle() const { return host; }
    const std::string& Folder() const { return options.folder; }

    // Reads config.txt and resets the machine, asking first about card writes
    // that were not saved. Runs on the caller's thread with the CPU thread parked.
    void ColdBoot();
    // True when the window may close: no card writes wait, or they were saved
    // or discarded as the user chose. With "writeenable" it parks the CPU
    // thread first and leaves it parked when it returns true (Shutdown comes
    // next). A failed save shows a box and returns false.
    bool QueryClose();
    // Stops both threads and writes the four dumps. Throws std::runtime_error
    // naming the file when a dump cannot be written.
    void Shutdown();

    // One slice of the CPU thread.
    void RunSlice() override;
    // Runs `cycles` T-states (the last instruction may run over) on the calling
    // thread, for callers without a CPU thread; returns the T-states run.
    uint64_t RunCycles(uint64_t cycles);
    // The debugger's Step Into: one instruction (and the interrupt entry that
    // may follow it) on the calling thread, with the CPU thread parked around it.
    void StepInstruction();

    // Pauses the CPU thread (when there is one) and waits for it to park;
    // ResumeCpu lets it go again. Calls nest: the thread runs again only when
    // every pause has been resumed, so a cold boot inside a debugger stop
    // leaves the machine stopped.
    void PauseCpu();
    void ResumeCpu();
    // True while the CPU thread is held paused (by the debugger, a cold boot
    // or a breakpoint stop) and has parked; always true without a CPU thread.
    bool IsCpuHeld() const;
    bool HasCpuThread() const { return cpuThread != nullptr; }
    Z80Thread* CpuThread() const { return cpuThread.get(); }

    // A breakpoint reached on the CPU thread ends the slice and keeps the
    // thread paused, as if PauseCpu had been called; this answers true once
    // per such stop, and the caller then owns that pause.
    bool TakeBreakpointStop() { return breakpointStop.exchange(false, std::memory_order_acq_rel); }

    // The registers as another thread may read them: a copy published after
    // every slice, step and cold boot.
    Z80Registers RegisterSnapshot() const;

    // The debugger's breakpoint (the board compares it after every instruction).
    std::atomic<int>& BreakpointAddress() { return board->BreakpointAddress; }
    // T-states run since the speed display last read the figure: fed once per slice.
    std::atomic<uint32_t> CpuCycleCount{0};
    // Display passes since the speed display last read the figure.
    std::atomic<uint32_t> DisplayFrameCount{0};

    // The files the latest cold boot refused. The first cold boot runs in the
    // constructor, before anyone can connect a sink, so its program reads
    // them here to tell the user.
    const std::vector<FileRefusal>& FileRefusals() const { return fileRefusals; }

    // What the latest cold boot read from config.txt.
    bool SdWriteEnable() const { return sdWriteEnable; }
    bool SdNoWritePrompt() const { return sdNoWritePrompt; }
    const std::string& SdImagePath() const { return sdImagePath; }

    // Publishes the registers as they are now (the caller runs the processor
    // or holds it paused).
    void PublishRegisters();

private:
    // A path from config.txt or a dump name, taken from the machine's folder.
    std::string Resolve(const std::string& path) const;
    bool ApplyConfiguration(const std::string& text);
    bool ApplyEntry(const ConfigEntry& entry);
    void LoadEeprom(const ConfigEntry& entry);
    void LoadSdImage(const std::string& path);
    bool AskToCommit(const char* question);
    bool CommitSdImage();
    void WriteDump(const char* name, const uint8_t* data, size_t size);
    void Refuse(int type, std::string text);
    std::string FullPath(const std::string& path) const;
    void StopThreads();
    uint32_t NextRefresh();

    MachineOptions options;
    Host* host;
    DiagChannel diag;
    FrameExchange frames;
    std::unique_ptr<TVexaBoard> board;
    std::optional<CRandom> random;
    std::unique_ptr<Z80Thread> cpuThread;
    std::unique_ptr<VideoThread> displayThread;

    bool sdWriteEnable = false;
    bool sdNoWritePrompt = false;
    std::string sdImagePath;
    bool lastCommitFailed = false; // the last write-back of the card image failed
    std::vector<FileRefusal> fileRefusals;

    std::atomic<int> pauseDepth{0};          // PauseCpu calls not yet resumed, plus breakpoint stops
    std::atomic<bool> breakpointStop{false}; // the CPU thread holds itself at a breakpoint
    mutable std::mutex snapshotMutex;
    Z80Registers snapshot{};
};
