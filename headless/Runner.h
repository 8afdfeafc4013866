// Runs the machine from config.txt in the current directory without a window
// and without pacing, for a fixed number of T-states, then shuts it down.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "board/Timing.h"
#include "host/Host.h"

class Machine;
class HeadlessHost;
class DiagLog;

// T-states at the start of `frame` into *cycles; false when that many cannot
// be counted in 64 bits (the product would wrap to a small number).
bool FrameStartCycle(uint64_t frame, uint64_t* cycles);

// Something a command-line option adds to a run: actions at chosen points of
// emulated time and work at the start and at the end.
class RunFeature {
public:
    virtual ~RunFeature() = default;
    // Before the machine is built (its constructor opens the sound output and
    // cold-boots), e.g. to prepare what the host will hand it.
    virtual void OnBeforeBoard(class HeadlessRunner&) {}
    // After the machine is built and the diagnostics sink installed.
    virtual void OnStart(class HeadlessRunner&) {}
    // After every chunk of execution, with the T-states run so far.
    virtual void OnProgress(class HeadlessRunner&, uint64_t /*cyclesDone*/) {}
    // After the events due at the end of a chunk have run (a save state taken
    // here holds their effects, so a run that loads it skips them).
    virtual void OnAfterEvents(class HeadlessRunner&, uint64_t /*cyclesDone*/) {}
    // After the last chunk, before shutdown; false (with a message printed)
    // makes the run fail.
    virtual bool OnFinish(class HeadlessRunner&) { return true; }
    // True while the run must wait instead of running (a debugger holds the
    // machine); the runner sleeps briefly and asks again.
    virtual bool HoldsRun(class HeadlessRunner&) { return false; }
};

struct RunOptions {
    uint64_t cycles = 60 * static_cast<uint64_t>(CyclesPerFrame);
    bool logAll = false;
    std::vector<int> filters;      // DiagTypes ticked in the monitor
    unsigned seed = 1;             // C library random seed (the refresh register)
    MsgAnswer answer = MsgAnswer::No;
    std::vector<uint64_t> nmiFrames;
    std::vector<uint64_t> resetFrames;
    bool quiet = false;            // no summary line
    // --load-state: the machine starts from this state instead of its cold
    // boot; run length and @FRAME points then count on the state's own clock
    // (frames since power-on), so points before the state are skipped.
    std::string loadState;
};

class HeadlessRunner {
public:
    explicit HeadlessRunner(RunOptions options);
    ~HeadlessRunner();

    void AddFeature(std::unique_ptr<RunFeature> feature) { features_.push_back(std::move(feature)); }
    // Runs action once `cycle` T-states have run (events at the same cycle run
    // in the order they were added).
    void At(uint64_t cycle, std::function<void(::Machine&)> action);

    // The whole run. Exit status: 0 success, 1 a failure at the end (a dump or
    // a feature), 2 a fatal box at start-up (no dumps written).
    int Run();

    // Ends the run after the current chunk, as if its length were reached:
    // the finish (dumps, pictures, sound) happens as usual, and the exit
    // status is `status` unless the finish fails.
    void EndRun(int status) {
        endRequested_ = true;
        endStatus_ = status;
    }

    ::Machine& Machine() { return *machine_; }
    HeadlessHost& Host() { return *host_; }
    DiagLog& Log() { return *log_; }
    uint64_t CyclesDone() const { return cyclesDone_; }
    const RunOptions& Options() const { return options_; }
    // The frame the run started at: 0, or that of a loaded state.
    uint64_t StartFrame() const { return startFrame_; }

private:
    struct Event {
        uint64_t cycle;
        uint64_t order;
        std::function<void(::Machine&)> action;
    };
    void RunChunk(uint64_t cycles);
    void FireDueEvents();
    void ReportRefusals();

    RunOptions options_;
    std::vector<std::unique_ptr<RunFeature>> features_;
    std::vector<Event> events_;
    std::unique_ptr<HeadlessHost> host_;
    std::unique_ptr<::Machine> machine_;
    std::unique_ptr<DiagLog> log_;
    uint64_t cyclesDone_ = 0;
    bool endRequested_ = false;
    int endStatus_ = 0;
    uint64_t startFrame_ = 0;
    std::unique_ptr<class StateCompressor> compressor_;
};
