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
#include "debug/Debugger.h"
#include "diag/Diag.h"
#include "video/FrameExchange.h"

class Host;
class StateCompressor;
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
    // Packs save states and rewind snapshots (owned by the caller). Without
    // one, state files are written unpacked and packed ones cannot be read.
    StateCompressor* compressor = nullptr;
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

    // The registers as another thread may read them: a copy published after
    // every slice, step and cold boot.
    Z80Registers RegisterSnapshot() const;
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

    // --- Debugging ------------------------------------------------------------
    // Breakpoints, watchpoints, symbols and the trace (debug/). Change them
    // inside EditDebug, or while the machine is held for the debugger and
    // then RearmDebug, so that the board checks what was set.
    Debugger& Debug() { return *debugger; }
    template <class F> void EditDebug(F&& edit) {
        PauseCpu();
        edit(*debugger);
        board->RearmDebug();
        ResumeCpu();
    }
    void RearmDebug() { board->RearmDebug(); }

    // The debugger's hold: one pause of the CPU thread, taken by a stop
    // (breakpoint, watchpoint, step...) or by DebugBreak (the window's Stop,
    // a GDB client's interrupt) and let go by DebugContinue. Other pauses
    // (a cold boot, the Pause menu) nest with it.
    void DebugBreak(StopReason reason = StopReason::Interrupted);
    bool DebugContinue(); // false when the machine was not held for the debugger
    bool IsDebugHeld() const;
    // While held: one instruction; over a call, RST, DJNZ or repeated block
    // instruction (else one instruction); out of the current routine (by
    // stack depth); on to an address. The last three let the machine run.
    void DebugStep();
    void DebugStepOver();
    void DebugStepOut();
    void DebugRunTo(uint16_t address);
    // Counts the stops; the window and a GDB client watch it change.
    uint64_t StopSerial() const { return stopSerial.load(std::memory_order_acquire); }
    StopInfo LastStop() const;
    // While held: new register values (and the snapshot follows).
    void SetRegisters(const Z80Registers& regs);
    // Machines without a CPU thread: the thread calling RunCycles is the CPU
    // thread. With external control on, other threads (a GDB client) may hold
    // it, and RunCycles then runs nothing until they let go.
    void EnableExternalControl() { externalControl.store(true, std::memory_order_release); }
    bool ExternalControl() const { return externalControl.load(std::memory_order_acquire); }

    // ---- Save states (board/MachineState.cpp) --------------------------------
    // The whole machine as a list of sections (unpacked). The processor must be
    // idle: the CPU thread parked, or none. A rewind snapshot leaves out the
    // checksums of the boot ROM and the card image, which only a file needs.
    std::vector<uint8_t> CaptureState(bool forRewind = false);
    void CaptureStateInto(std::vector<uint8_t>& out, bool forRewind);
    // Applies what CaptureState made. On failure returns false with the reason
    // and leaves the machine as it was. The processor must be idle. verify:
    // check the sections' CRCs (a rewind snapshot has none).
    bool ApplyState(const std::vector<uint8_t>& payload, std::string* error, bool verify = true);
    // A state file: header, then the payload (packed when there is a compressor).
    std::vector<uint8_t> EncodeStateFile(const std::vector<uint8_t>& payload, int level = 3) const;
    // Checks a whole state file and unpacks its payload; false with the reason
    // (truncated, damaged, not a state, from a newer version).
    bool DecodeStateFile(const std::vector<uint8_t>& file, std::vector<uint8_t>& payload, std::string* error) const;
    // Saves to path atomically, parking the CPU thread only while it captures.
    bool SaveStateFile(const std::string& path, std::string* error);
    // Loads a state file. When the boot ROM or the card image differ from the
    // ones the state was saved with, the host is asked whether to go on
    // (Declined: the answer was no). On failure the message says why and the
    // machine is as it was.
    enum class StateLoad { Loaded, Failed, Declined };
    StateLoad LoadStateFile(const std::string& path, std::string* error);
    // The parts the state file names that differ from what this machine holds
    // ("the boot ROM", "the SD card image"), joined for a question; empty when none.
    std::string DescribeMediaChanges(const std::vector<uint8_t>& payload) const;

    // ---- Pause, speed, frame advance, rewind (board/MachineControl.cpp) ------
    // The user's pause holds the CPU thread exactly as the debugger's Stop
    // does (PauseCpu), so the two nest. UI thread.
    void SetUserPaused(bool paused);
    bool IsUserPaused() const { return userPaused.load(std::memory_order_acquire); }
    // While the CPU thread is held (or there is none): runs the machine to the
    // start of the next emulated frame on the calling thread and publishes it.
    void AdvanceFrame();
    // T-states per 15 ms slice: SliceCycles is the automatic pace; the options
    // slider gives 200,000 to 3,000,000.
    static constexpr int MinSlicePace = 200000;
    static constexpr int MaxSlicePace = 3000000;
    void SetSlicePace(int cycles);
    int SlicePace() const { return slicePace.load(std::memory_order_relaxed); }
    // Held fast-forward: slices back to back, sound muted (it plays on in
    // emulated time without queueing anything).
    void SetFastForward(bool on);
    bool IsFastForward() const { return fastForward.load(std::memory_order_relaxed); }
    bool Unthrottled() const override { return IsFastForward(); }
    // T-states run and frames finished since the machine was built, for the
    // speed readouts (any thread).
    uint64_t CyclesRun() const { return cyclesRun.load(std::memory_order_relaxed); }
    uint64_t FramesRun() const;

    // Rewind: every `intervalFrames` frames the CPU thread keeps a packed
    // snapshot, oldest dropped beyond `budgetBytes`. Off: nothing is taken and
    // nothing costs. UI thread (the CPU thread is parked while it changes).
    void SetRewind(bool on, unsigned intervalFrames = DefaultRewindInterval, size_t budgetBytes = 64u << 20);
    static constexpr unsigned DefaultRewindInterval = 10;
    // The most of the CPU thread's processor time snapshots may take (capture
    // and packing) when the machine runs flat out. Below the 5% the benchmark
    // allows, because copying the state also evicts the emulator's own data
    // from the caches, a cost no timer around the copy sees.
    static constexpr double RewindShare = 0.03;
    bool RewindEnabled() const { return rewindOn; }
    // Goes back to the newest snapshot and drops it; false when none is left.
    // The processor must be idle.
    bool RewindStep();
    // Waits until every snapshot taken has been filed (tests, the benchmark).
    void DrainRewind();
    size_t RewindCount() const;
    size_t RewindBytes() const;
    // Emulated seconds between the oldest snapshot and the newest.
    double RewindSpan() const;

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
    void HoldForDebugStop();
    void RecordStop(StopInfo stop);
    void WaitParked();
    void LoadSymbolsBeside(const std::string& path);

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

    // Pause, speed, rewind.
    void TakeRewindSnapshot();
    void CountCycles(uint64_t ran);
    std::atomic<bool> userPaused{false};
    std::atomic<int> slicePace{SliceCycles};
    std::atomic<bool> fastForward{false};
    std::atomic<uint64_t> cyclesRun{0};
    bool rewindOn = false; // read by the CPU thread only while it runs; changed while it is parked
    uint64_t rewindInterval = 0;
    uint64_t nextRewindAt = 0;
    std::unique_ptr<class Rewinder> rewind;
    std::vector<uint8_t> rewindScratch; // the CPU thread's capture buffer
    double rewindNotBeforeHost = 0.0; // no snapshot before these: host seconds when paced,
    double rewindNotBeforeOwn = 0.0;  // the CPU thread's processor seconds when flat out

    // Save states.
    bool ApplySections(const std::vector<uint8_t>& payload, std::string* error, bool verify);

    std::atomic<int> pauseDepth{0};          // PauseCpu calls not yet resumed, plus the debugger's hold
    mutable std::mutex snapshotMutex;
    Z80Registers snapshot{};

    // Debugging.
    std::unique_ptr<Debugger> debugger;
    mutable std::mutex controlMutex; // pause counting, the debugger's hold, the last stop
    bool debugHeld = false;
    StopInfo lastStop;
    std::atomic<uint64_t> stopSerial{0};
    std::atomic<bool> externalControl{false};
    bool booted = false; // symbols beside the programs are read at the first boot only
    std::mutex execMutex; // held by RunCycles on a machine without a CPU thread
};
