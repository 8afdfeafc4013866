#include "support/TestFiles.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace testing_support {

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "vexa-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

ScopedCurrentDir::ScopedCurrentDir(const fs::path& dir) : previous_(fs::current_path()) { fs::current_path(dir); }

ScopedCurrentDir::~ScopedCurrentDir() {
    std::error_code ec;
    fs::current_path(previous_, ec);
}

std::vector<uint8_t> ReadFileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string ReadFileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteFileText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

fs::path TestProgram(const std::string& suite, const std::string& name) {
    return fs::path(VEXA_TEST_BIN_DIR) / suite / (name + ".bin");
}

ProcessResult RunHeadless(const fs::path& dir, const std::vector<std::string>& args, unsigned timeoutSeconds) {
    TempDir outputs;
    const fs::path outFile = outputs / "stdout", errFile = outputs / "stderr";
    ProcessResult result;
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(dir.c_str()) != 0) ::_exit(127);
        if (!std::freopen(outFile.c_str(), "w", stdout) || !std::freopen(errFile.c_str(), "w", stderr)) ::_exit(127);
        std::vector<char*> argv;
        std::string exe = VEXA_HEADLESS_EXE;
        argv.push_back(exe.data());
        std::vector<std::string> copies(args);
        for (std::string& a : copies) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (timeoutSeconds != 0) ::alarm(timeoutSeconds); // kept across execv
        ::execv(exe.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = ReadFileText(outFile);
    result.err = ReadFileText(errFile);
    return result;
}

} // namespace testing_support
