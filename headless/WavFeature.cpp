#include "headless/WavFeature.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "audio/CaptureAudioOutput.h"
#include "board/Machine.h"
#include "headless/HeadlessHost.h"
#include "headless/Runner.h"

namespace fs = std::filesystem;

namespace {

fs::path FolderOf(const std::string& path) {
    fs::path folder = fs::path(path).parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

// The capture is streamed into a temporary file next to the target, so memory
// stays flat however long the run, and renamed over the target at the end.
class WavFeature final : public RunFeature {
public:
    explicit WavFeature(std::string path) : path_(std::move(path)) {}
    ~WavFeature() override { Discard(); }

    void OnBeforeBoard(HeadlessRunner& runner) override {
        std::string temp =
            (FolderOf(path_) / ("." + fs::path(path_).filename().string() + ".XXXXXX")).string();
        fd_ = ::mkstemp(temp.data());
        if (fd_ < 0) {
            error_ =
                "cannot create a temporary file in " + FolderOf(path_).string() + ": " + std::strerror(errno);
            return;
        }
        tempPath_ = temp;
        ::fchmod(fd_, 0644);
        SF_INFO info{};
        info.samplerate = AudioOutput::SampleRate;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        file_ = sf_open_fd(fd_, SFM_WRITE, &info, SF_FALSE);
        if (!file_) {
            error_ = std::string("cannot write WAV data: ") + sf_strerror(nullptr);
            return;
        }
        // Emulated time: the runner's count at the end of the last chunk plus
        // what the processor has run since. The capture is asked only while
        // the machine runs, so the machine exists by then.
        auto capture = std::make_unique<CaptureAudioOutput>(
            [this, &runner] { return baseCycles_ + (BoardClock(runner) - baseCount_); }, EmulatedClockHz,
            [this](const int16_t* stereo, size_t frames) { Write(stereo, frames); });
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
        if (error_.empty() && !Commit()) {
            if (error_.empty()) error_ = std::strerror(errno);
        }
        if (!error_.empty()) {
            std::fprintf(stderr, "--wav: %s: %s\n", path_.c_str(), error_.c_str());
            Discard();
            return false;
        }
        return true;
    }

private:
    static uint64_t BoardClock(HeadlessRunner& runner) { return runner.Machine().Board().EmulatedCycles(); }

    void Write(const int16_t* stereo, size_t frames) {
        if (!file_ || !error_.empty()) return;
        if (sf_writef_short(file_, stereo, static_cast<sf_count_t>(frames)) !=
            static_cast<sf_count_t>(frames))
            error_ = std::string("write failed: ") + sf_strerror(file_);
    }

    bool Commit() {
        const int closed = sf_close(file_);
        file_ = nullptr;
        if (closed != 0) {
            error_ = std::string("cannot finish the file: ") + sf_error_number(closed);
            return false;
        }
        const bool synced = ::fsync(fd_) == 0;
        const bool fdClosed = ::close(fd_) == 0;
        fd_ = -1;
        if (!synced || !fdClosed) return false;
        if (::rename(tempPath_.c_str(), path_.c_str()) != 0) return false;
        tempPath_.clear();
        const int dirFd = ::open(FolderOf(path_).c_str(), O_RDONLY | O_DIRECTORY);
        if (dirFd >= 0) {
            ::fsync(dirFd);
            ::close(dirFd);
        }
        return true;
    }

    // Leaves the target as it was: drops the temporary file of an unfinished
    // or failed capture.
    void Discard() {
        if (file_) sf_close(file_);
        file_ = nullptr;
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
        tempPath_.clear();
    }

    std::string path_;
    std::string tempPath_;
    std::string error_;
    int fd_ = -1;
    SNDFILE* file_ = nullptr;
    CaptureAudioOutput* capture_ = nullptr; // owned by the board's audio system
    uint64_t baseCycles_ = 0;
    uint64_t baseCount_ = 0;
};

} // namespace

bool CheckWavPath(const std::string& path, std::string* error) {
    std::error_code ec;
    if (path.empty() || fs::path(path).filename().empty()) {
        *error = "no file name";
        return false;
    }
    if (!fs::is_directory(FolderOf(path), ec)) {
        *error = "the folder " + FolderOf(path).string() + " does not exist";
        return false;
    }
    if (fs::is_directory(path, ec)) {
        *error = "is a folder";
        return false;
    }
    return true;
}

std::unique_ptr<RunFeature> MakeWavFeature(const std::string& path) {
    return std::make_unique<WavFeature>(path);
}
