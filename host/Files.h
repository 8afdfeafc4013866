// Whole-file reads and atomic whole-file writes: the only file work of the
// core, below every device and the machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Writes data to path so that the file is either replaced whole or left as it
// was: a temporary file in the same folder is written, flushed to disk and
// renamed over path. On failure returns false with a reason in *error that
// names path (the file the caller asked for), not the temporary file.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size, std::string* error);

// Reads the regular file at path into out, at most maxBytes of it; *fileSize
// (when given) gets the file's whole size. False with a reason in *error when
// path is not a readable regular file or the read fails; out is then empty.
bool ReadFilePrefix(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& out, uint64_t* fileSize,
                    std::string* error);

// Reads the whole regular file at path into out. A file larger than maxBytes
// (the reason given is tooLarge when set), or than this computer's memory, is
// refused with a reason in *error rather than half read; out is then empty.
bool ReadWholeFile(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& out, std::string* error,
                   const char* tooLarge = nullptr);

// True when path names an existing regular file (not a folder).
bool IsExistingFile(const std::string& path);

// Why path cannot be opened as a regular file, in a few words ("no such file",
// "a folder", "a dangling link", "the name is too long", ...); empty when it can.
std::string DescribeUnusableFile(const std::string& path);

// Why a new file cannot be written at `path` (no file name, no such folder,
// a folder); empty when it can.
std::string DescribeUnusableOutputPath(const std::string& path);
