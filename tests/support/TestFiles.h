// Files and folders for tests: a private temporary folder per test (tests run
// in parallel, so nothing is written to a shared place), reading and writing
// whole files, the assembled test programs and running vexa-headless.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// A fresh folder under the system's temporary folder, removed afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Makes a folder the current directory for the lifetime of the object (the
// machine reads config.txt and writes its dumps there). Each CTest test runs in
// a process of its own, so this does not disturb other tests.
class ScopedCurrentDir {
public:
    explicit ScopedCurrentDir(const std::filesystem::path& dir);
    ~ScopedCurrentDir();

private:
    std::filesystem::path previous_;
};

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);
std::string ReadFileText(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
void WriteFileText(const std::filesystem::path& path, const std::string& text);

// The binary assembled from tests/<suite>/programs/<name>.asm.
std::filesystem::path TestProgram(const std::string& suite, const std::string& name);

struct ProcessResult {
    int exitCode = -1;
    std::string out; // standard output
    std::string err; // standard error
};
// Runs vexa-headless with the arguments in the folder given. With a timeout,
// a run still going after that many seconds is ended by SIGALRM (exit code
// 128 + 14), so that a hang fails its test instead of stalling the suite.
ProcessResult RunHeadless(const std::filesystem::path& dir, const std::vector<std::string>& args,
                          unsigned timeoutSeconds = 0);

} // namespace testing_support
