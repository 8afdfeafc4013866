#include "audio/WavWriter.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "audio/AudioOutput.h"

namespace fs = std::filesystem;

namespace {

fs::path FolderOf(const std::string& path) {
    fs::path folder = fs::path(path).parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

} // namespace

WavWriter::~WavWriter() { Discard(); }

bool WavWriter::Open(const std::string& path, std::string* error) {
    Discard();
    path_ = path;
    error_.clear();
    frames_ = 0;
    std::string temp = (FolderOf(path) / ("." + fs::path(path).filename().string() + ".XXXXXX")).string();
    fd_ = ::mkstemp(temp.data());
    if (fd_ < 0) {
        *error = "cannot create a temporary file in " + FolderOf(path).string() + ": " + std::strerror(errno);
        return false;
    }
    tempPath_ = temp;
    ::fchmod(fd_, 0644);
    SF_INFO info{};
    info.samplerate = AudioOutput::SampleRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    file_ = sf_open_fd(fd_, SFM_WRITE, &info, SF_FALSE);
    if (!file_) {
        *error = std::string("cannot write WAV data: ") + sf_strerror(nullptr);
        Discard();
        return false;
    }
    return true;
}

void WavWriter::Write(const int16_t* stereo, size_t frames) {
    if (!file_ || !error_.empty()) return;
    if (sf_writef_short(file_, stereo, static_cast<sf_count_t>(frames)) != static_cast<sf_count_t>(frames))
        error_ = std::string("write failed: ") + sf_strerror(file_);
    else
        frames_ += frames;
}

bool WavWriter::Commit(std::string* error) {
    if (!file_) {
        *error = error_.empty() ? "no recording" : error_;
        return false;
    }
    const int closed = sf_close(file_);
    file_ = nullptr;
    if (error_.empty() && closed != 0) error_ = std::string("cannot finish the file: ") + sf_error_number(closed);
    const bool synced = ::fsync(fd_) == 0;
    const bool fdClosed = ::close(fd_) == 0;
    fd_ = -1;
    if (error_.empty() && (!synced || !fdClosed)) error_ = std::strerror(errno);
    if (error_.empty() && ::rename(tempPath_.c_str(), path_.c_str()) != 0) error_ = std::strerror(errno);
    if (!error_.empty()) {
        *error = error_;
        Discard();
        return false;
    }
    tempPath_.clear();
    const int dirFd = ::open(FolderOf(path_).c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

void WavWriter::Discard() {
    if (file_) sf_close(file_);
    file_ = nullptr;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
    tempPath_.clear();
}
