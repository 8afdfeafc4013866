// A 48 kHz 16-bit stereo WAV file written as it goes: into a temporary file
// next to the target, which Commit renames over it, so the target is never
// left half written and memory stays flat however long the recording.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

typedef struct sf_private_tag SNDFILE;

class WavWriter {
public:
    WavWriter() = default;
    ~WavWriter(); // discards an uncommitted file
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // False with a reason when the temporary file cannot be made.
    bool Open(const std::string& path, std::string* error);
    // Interleaved left/right frames; a failure is kept and reported by Commit.
    void Write(const int16_t* stereo, size_t frames);
    // Finishes the file and puts it in place; false with a reason.
    bool Commit(std::string* error);
    // Drops the temporary file; the target stays as it was.
    void Discard();
    bool IsOpen() const { return file_ != nullptr; }
    uint64_t FramesWritten() const { return frames_; }

private:
    std::string path_, tempPath_, error_;
    int fd_ = -1;
    SNDFILE* file_ = nullptr;
    uint64_t frames_ = 0;
};
