#include "headless/WavFeature.h"

#include <cstdio>

#include "audio/CaptureAudioOutput.h"
#include "audio/WavWriter.h"
#include "board/Machine.h"
#include "headless/HeadlessHost.h"
#include "headless/Runner.h"

namespace {

// The capture is streamed into a temporary file next to the target, so memory
// stays flat however long the run, and renamed over the target at the end.
class WavFeature final : public RunFeature {
public:
    explicit WavFeature(std::string path) : path_(std::move(path)) {}

    void OnBeforeBoard(HeadlessRunner& runner) override {
        if (!wav_.Open(path_, &error_)) return;
        // Emulated time: the runner's count at the end of the last chunk plus
        // what the processor has run since. The capture is asked only while
        // the machine runs, so the machine exists by then.
        auto capture = std::make_unique<CaptureAudioOutput>(
            [this, &runner] { return baseCycles_ + (BoardClock(runner) - baseCount_); }, EmulatedClockHz,
            [this](const int16_t* stereo, size_t frames) { wav_.Write(stereo, frames); });
        capture_ = capture.get();
        runner.Host().SetAudioOutput(std::move(capture));
    }

    // After a loaded state the clock goes on from the state's own.
    void OnStart(HeadlessRunner& runner) override {
        baseCycles_ = runner.CyclesDone();
        baseCount_ = BoardClock(runner);
    }

    void OnProgress(HeadlessRunner& runner, uint64_t cyclesDone) override {
        baseCycles_ = cyclesDone;
        baseCount_ = BoardClock(runner);
    }

    bool OnFinish(HeadlessRunner& runner) override {
        if (capture_) {
            baseCycles_ = runner.CyclesDone();
            baseCount_ = BoardClock(runner);
            capture_->CatchUp(); // the tail of the run
        }
        if (error_.empty()) wav_.Commit(&error_);
        if (!error_.empty()) {
            std::fprintf(stderr, "--wav: %s: %s\n", path_.c_str(), error_.c_str());
            wav_.Discard();
            return false;
        }
        return true;
    }

private:
    static uint64_t BoardClock(HeadlessRunner& runner) { return runner.Machine().Board().EmulatedCycles(); }

    std::string path_;
    std::string error_;
    WavWriter wav_;
    CaptureAudioOutput* capture_ = nullptr; // owned by the board's audio system
    uint64_t baseCycles_ = 0;
    uint64_t baseCount_ = 0;
};

} // namespace

std::unique_ptr<RunFeature> MakeWavFeature(const std::string& path) {
    return std::make_unique<WavFeature>(path);
}
