#include "headless/Runner.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <thread>

#include "board/Machine.h"
#include "diag/DiagLog.h"
#include "headless/HeadlessHost.h"
#include "host/ZstdCompressor.h"

bool FrameStartCycle(uint64_t frame, uint64_t* cycles) {
    return !__builtin_mul_overflow(frame, CyclesPerFrame, cycles);
}

HeadlessRunner::HeadlessRunner(RunOptions options) : options_(std::move(options)) {}

HeadlessRunner::~HeadlessRunner() {
    // The machine goes before the log its channel points at.
    machine_.reset();
}

void HeadlessRunner::At(uint64_t cycle, std::function<void(::Machine&)> action) {
    events_.push_back(Event{cycle, events_.size(), std::move(action)});
}

void HeadlessRunner::FireDueEvents() {
    // Events may add events; take the due ones out first.
    std::stable_sort(events_.begin(), events_.end(), [](const Event& a, const Event& b) {
        return a.cycle != b.cycle ? a.cycle < b.cycle : a.order < b.order;
    });
    while (!events_.empty() && events_.front().cycle <= cyclesDone_) {
        Event event = std::move(events_.front());
        events_.erase(events_.begin());
        event.action(*machine_);
        if (host_->TerminateRequested()) return;
    }
}

// One stderr line per file the latest cold boot refused, naming the full
// path and why; the boxes (on stderr too) keep their own texts.
void HeadlessRunner::ReportRefusals() {
    for (const FileRefusal& refusal : machine_->FileRefusals()) std::fprintf(stderr, "%s\n", refusal.text.c_str());
}

// Like a slice of the CPU thread, but of a chosen length, so that events
// land on their cycle.
void HeadlessRunner::RunChunk(uint64_t cycles) {
    const uint64_t ran = machine_->RunCycles(cycles);
    if (ran == 0 && machine_->ExternalControl()) return; // held by a debugger meanwhile
    // A run that made no progress (memory full of instructions that cost
    // nothing) still lets emulated time pass, so the run always ends.
    cyclesDone_ += ran != 0 ? ran : cycles;
}

int HeadlessRunner::Run() {
    host_ = std::make_unique<HeadlessHost>(options_.answer);
    for (auto& feature : features_) feature->OnBeforeBoard(*this);
    MachineOptions machineOptions;
    machineOptions.randomSeed = options_.seed;
    compressor_ = MakeZstdCompressor();
    machineOptions.compressor = compressor_.get();
    machine_ = std::make_unique<::Machine>(host_.get(), machineOptions);
    // The first cold boot ran before the log existed: what it refused is
    // told on stderr now, and written to the log once there is one.
    ReportRefusals();
    if (host_->TerminateRequested()) return 2;

    // The sink comes after the board, as the monitor window does.
    try {
        log_ = std::make_unique<DiagLog>("rizediv.log");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
    log_->SetLogAll(options_.logAll);
    for (int type : options_.filters) log_->SetFilter(type, true);
    for (const FileRefusal& refusal : machine_->FileRefusals()) log_->AddMessage(refusal.type, refusal.text);
    machine_->Diag().Connect(log_.get());

    if (!options_.loadState.empty()) {
        std::string error;
        const ::Machine::StateLoad loaded = machine_->LoadStateFile(options_.loadState, &error);
        if (loaded != ::Machine::StateLoad::Loaded) {
            std::fprintf(stderr, "Cannot load the state file %s: %s\n", options_.loadState.c_str(), error.c_str());
            return 2;
        }
        cyclesDone_ = machine_->Board().EmulatedCycles();
        startFrame_ = cyclesDone_ / CyclesPerFrame;
        // --frames and --cycles count on from the state's frame; an open-ended
        // run stays open-ended.
        const uint64_t already = startFrame_ * CyclesPerFrame;
        options_.cycles = options_.cycles > UINT64_MAX - already ? UINT64_MAX : options_.cycles + already;
    }

    // main() has refused frames whose start cannot be counted; one that lies
    // past the run simply never comes.
    uint64_t cycle = 0;
    for (uint64_t frame : options_.nmiFrames)
        if (FrameStartCycle(frame, &cycle))
            At(cycle, [](::Machine& m) { m.Board().RequestNmi(); });
    for (uint64_t frame : options_.resetFrames)
        if (FrameStartCycle(frame, &cycle))
            At(cycle, [this](::Machine& m) {
                m.ColdBoot();
                ReportRefusals();
            });
    for (auto& feature : features_) feature->OnStart(*this);
    // What was due up to a loaded state has happened already, inside it.
    if (!options_.loadState.empty())
        std::erase_if(events_, [this](const Event& e) { return e.cycle <= cyclesDone_; });

    const auto start = std::chrono::steady_clock::now();
    FireDueEvents();
    while (cyclesDone_ < options_.cycles && !host_->TerminateRequested() && !endRequested_) {
        if (std::any_of(features_.begin(), features_.end(), [this](auto& f) { return f->HoldsRun(*this); })) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        uint64_t next = std::min(options_.cycles, cyclesDone_ + static_cast<uint64_t>(SliceCycles));
        for (const Event& e : events_) next = std::min(next, std::max(e.cycle, cyclesDone_ + 1));
        RunChunk(next - cyclesDone_);
        for (auto& feature : features_) feature->OnProgress(*this, cyclesDone_);
        FireDueEvents();
        for (auto& feature : features_) feature->OnAfterEvents(*this, cyclesDone_);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (host_->TerminateRequested()) return 2;

    bool ok = true;
    for (auto& feature : features_) ok = feature->OnFinish(*this) && ok;

    // The close question, as the window asks it: card writes are saved or
    // dropped as config.txt and --answer say. A close the board refuses
    // (Cancel, or a save that failed) cannot hold the run open, so it fails it.
    if (!machine_->QueryClose()) {
        std::fprintf(stderr, "SD card writes were not written back to %s\n", machine_->SdImagePath().c_str());
        ok = false;
    }

    machine_->Diag().Connect(nullptr);
    try {
        machine_->Shutdown();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        ok = false;
    }
    if (!options_.quiet) {
        const uint64_t ran = cyclesDone_ - startFrame_ * CyclesPerFrame;
        const double mhz = seconds > 0 ? static_cast<double>(ran) / seconds / 1e6 : 0.0;
        std::printf("T-states: %llu, frames: %.2f, host seconds: %.3f, emulated MHz: %.1f\n",
                    static_cast<unsigned long long>(ran),
                    static_cast<double>(ran) / static_cast<double>(CyclesPerFrame), seconds, mhz);
    }
    return ok ? endStatus_ : 1;
}
