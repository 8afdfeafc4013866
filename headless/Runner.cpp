#include "headless/Runner.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "board/Machine.h"
#include "diag/DiagLog.h"
#include "headless/HeadlessHost.h"

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
    // A run that made no progress (memory full of instructions that cost
    // nothing) still lets emulated time pass, so the run always ends.
    cyclesDone_ += ran != 0 ? ran : cycles;
}

int HeadlessRunner::Run() {
    host_ = std::make_unique<HeadlessHost>(options_.answer);
    for (auto& feature : features_) feature->OnBeforeBoard(*this);
    MachineOptions machineOptions;
    machineOptions.randomSeed = options_.seed;
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

    for (uint64_t frame : options_.nmiFrames)
        At(frame * CyclesPerFrame, [](::Machine& m) { m.Board().RequestNmi(); });
    for (uint64_t frame : options_.resetFrames)
        At(frame * CyclesPerFrame, [this](::Machine& m) {
            m.ColdBoot();
            ReportRefusals();
        });
    for (auto& feature : features_) feature->OnStart(*this);

    const auto start = std::chrono::steady_clock::now();
    FireDueEvents();
    while (cyclesDone_ < options_.cycles && !host_->TerminateRequested()) {
        uint64_t next = std::min(options_.cycles, cyclesDone_ + static_cast<uint64_t>(SliceCycles));
        for (const Event& e : events_) next = std::min(next, std::max(e.cycle, cyclesDone_ + 1));
        RunChunk(next - cyclesDone_);
        for (auto& feature : features_) feature->OnProgress(*this, cyclesDone_);
        FireDueEvents();
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
        const double mhz = seconds > 0 ? static_cast<double>(cyclesDone_) / seconds / 1e6 : 0.0;
        std::printf("T-states: %llu, frames: %.2f, host seconds: %.3f, emulated MHz: %.1f\n",
                    static_cast<unsigned long long>(cyclesDone_),
                    static_cast<double>(cyclesDone_) / static_cast<double>(CyclesPerFrame), seconds, mhz);
    }
    return ok ? 0 : 1;
}
