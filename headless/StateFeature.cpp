#include "headless/StateFeature.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "board/Machine.h"
#include "headless/Runner.h"

namespace {

// Saved between chunks, never inside one: a chunk boundary of its own would
// change where a HALT hands over the rest of its chunk, and the run that
// saved would no longer be the run that goes straight through. Saved after
// the events due at that point, which the run that loads it then skips.
class SaveStateFeature final : public RunFeature {
public:
    SaveStateFeature(std::string path, bool atEnd, uint64_t frame) : path_(std::move(path)), atEnd_(atEnd), frame_(frame) {}

    void OnStart(HeadlessRunner& runner) override {
        if (!atEnd_ && frame_ <= runner.StartFrame() && runner.CyclesDone() >= frame_ * CyclesPerFrame) Save(runner);
    }
    void OnAfterEvents(HeadlessRunner& runner, uint64_t cyclesDone) override {
        if (!atEnd_ && !done_ && cyclesDone >= frame_ * CyclesPerFrame) Save(runner);
    }
    bool OnFinish(HeadlessRunner& runner) override {
        if (atEnd_) Save(runner);
        if (!done_) {
            std::fprintf(stderr, "--save-state: %s: the run ended before frame %llu\n", path_.c_str(),
                         static_cast<unsigned long long>(frame_));
            return false;
        }
        return ok_;
    }

private:
    void Save(HeadlessRunner& runner) {
        done_ = true;
        std::string error;
        ok_ = runner.Machine().SaveStateFile(path_, &error);
        if (!ok_) std::fprintf(stderr, "--save-state: %s\n", error.c_str());
    }

    std::string path_;
    bool atEnd_;
    uint64_t frame_;
    bool done_ = false;
    bool ok_ = true;
};

} // namespace

std::unique_ptr<RunFeature> MakeSaveStateFeature(const std::string& request, std::string* error) {
    const size_t at = request.rfind('@');
    std::string path = request;
    uint64_t frame = 0;
    if (at != std::string::npos) {
        const std::string tail = request.substr(at + 1);
        if (tail.empty() || tail.size() > 12 || !std::all_of(tail.begin(), tail.end(), ::isdigit)) {
            *error = "the frame after @ must be a decimal number";
            return nullptr;
        }
        path = request.substr(0, at);
        frame = std::stoull(tail);
    }
    if (path.empty()) {
        *error = "no file name";
        return nullptr;
    }
    return std::make_unique<SaveStateFeature>(path, at == std::string::npos, frame);
}
