#include "headless/ScreenshotFeature.h"

#include <cstdio>
#include <vector>

#include "board/Machine.h"
#include "video/FramePng.h"

namespace {

class ScreenshotFeature : public RunFeature {
public:
    ScreenshotFeature(std::string path, uint64_t everyFrames) : path_(std::move(path)), every_(everyFrames) {}

    void OnStart(HeadlessRunner& runner) override {
        if (every_ != 0) ScheduleNumbered(runner, every_);
    }

    bool OnFinish(HeadlessRunner& runner) override {
        if (!path_.empty()) Write(runner.Machine(), path_);
        return ok_;
    }

private:
    // One event at a time, each scheduling the next, so a long run does not
    // queue thousands of events up front.
    void ScheduleNumbered(HeadlessRunner& runner, uint64_t frame) {
        // A frame whose start cannot be counted lies past any run; so does
        // one past the wrap of the frame number itself.
        uint64_t cycle = 0;
        if (frame < every_ || !FrameStartCycle(frame, &cycle) || cycle > runner.Options().cycles) return;
        runner.At(cycle, [this, &runner, frame](Machine& machine) {
            Write(machine, NumberedScreenshotPath(path_.empty() ? "screenshot.png" : path_, frame));
            ScheduleNumbered(runner, frame + every_);
        });
    }

    // The picture goes the way every frame does: composed and published
    // through the machine's frame hand-over, then taken from it. The runner
    // runs the processor itself, so composing here is composing between two
    // instructions, as the machine does at a frame end.
    void Write(Machine& machine, const std::string& path) {
        FrameExchange& frames = machine.Frames();
        frames.Publish(*machine.Board().Video());
        frames.TakeLatest();
        std::string error;
        if (!WriteFramePng(path, frames.Front(), FrameWidth, FrameHeight, &error)) {
            std::fprintf(stderr, "--screenshot: cannot write %s: %s\n", path.c_str(), error.c_str());
            ok_ = false;
        }
    }

    std::string path_;
    uint64_t every_;
    bool ok_ = true;
};

} // namespace

std::string NumberedScreenshotPath(const std::string& path, uint64_t frame) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string stem = hasExtension ? path.substr(0, dot) : path;
    const std::string extension = hasExtension ? path.substr(dot) : ".png";
    char number[32];
    std::snprintf(number, sizeof number, "-%06llu", static_cast<unsigned long long>(frame));
    return stem + number + extension;
}

std::unique_ptr<RunFeature> MakeScreenshotFeature(std::string path, uint64_t everyFrames) {
    return std::make_unique<ScreenshotFeature>(std::move(path), everyFrames);
}
