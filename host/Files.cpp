#include "host/Files.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Fail(std::string* error, const std::string& what, int err) {
    if (error) *error = what + ": " + std::strerror(err);
    return false;
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// A name with a NUL byte in it would be cut short at the NUL by the system
// and so reach another file: it names no file at all.
bool HasNul(const std::string& path) { return path.find('\0') != std::string::npos; }

// Opens path for reading if it is a regular file; -1 with a reason otherwise.
int OpenRegularFile(const std::string& path, uint64_t* size, std::string* error) {
    const int fd = HasNul(path) ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (error) *error = DescribeUnusableFile(path);
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (error) *error = S_ISDIR(info.st_mode) ? "a folder, not a file" : "not a regular file";
        ::close(fd);
        return -1;
    }
    *size = static_cast<uint64_t>(info.st_size);
    return fd;
}

// Reads up to out.size() bytes; the file may have shrunk meanwhile, in which
// case out keeps what was there.
bool ReadInto(int fd, std::vector<uint8_t>& out, std::string* error) {
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::read(fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Fail(error, "read error", errno);
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    out.resize(done);
    return true;
}

} // namespace

bool WriteFileAtomically(const std::string& path, const void* data, size_t size, std::string* error) {
    namespace fs = std::filesystem;
    if (HasNul(path)) {
        if (error) *error = DescribeUnusableFile(path);
        return false;
    }
    const fs::path target(path);
    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::string temp = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return Fail(error, "cannot create a temporary file in " + folder.string(), errno);
    const bool written = WriteAll(fd, static_cast<const uint8_t*>(data), size) && ::fsync(fd) == 0;
    const int writeErrno = errno;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        const int err = written ? errno : writeErrno;
        ::unlink(temp.c_str());
        return Fail(error, "cannot write " + path, err);
    }
    // Keep the permissions of the file being replaced; a new file gets the usual ones.
    struct stat old {};
    const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : static_cast<mode_t>(0644);
    ::chmod(temp.c_str(), mode);
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return Fail(error, "cannot replace " + path, err);
    }
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

bool ReadFilePrefix(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& out, uint64_t* fileSize,
                    std::string* error) {
    out.clear();
    uint64_t size = 0;
    const int fd = OpenRegularFile(path, &size, error);
    if (fd < 0) return false;
    if (fileSize) *fileSize = size;
    out.resize(static_cast<size_t>(size < maxBytes ? size : maxBytes));
    const bool ok = ReadInto(fd, out, error);
    ::close(fd);
    if (!ok) out.clear();
    return ok;
}

bool ReadWholeFile(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& out, std::string* error,
                   const char* tooLarge) {
    std::vector<uint8_t>().swap(out);
    uint64_t size = 0;
    const int fd = OpenRegularFile(path, &size, error);
    if (fd < 0) return false;
    bool ok = true;
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (size > maxBytes) {
        if (error) *error = tooLarge ? tooLarge : "larger than the " + std::to_string(maxBytes) + " bytes allowed";
        ok = false;
    } else if (pages > 0 && pageSize > 0 && size > static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize)) {
        if (error) *error = "larger than this computer's memory";
        ok = false;
    }
    if (ok) {
        try {
            // One allocation of the file's size and one pass of reads, so that
            // even a large file costs its own size and no more.
            out.resize(static_cast<size_t>(size));
            ok = ReadInto(fd, out, error);
        } catch (const std::exception&) { // bad_alloc, or a size beyond what a vector can hold
            if (error) *error = "not enough memory for a file of this size";
            ok = false;
        }
    }
    ::close(fd);
    if (!ok) std::vector<uint8_t>().swap(out);
    return ok;
}

bool IsExistingFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && !HasNul(path) && std::filesystem::is_regular_file(path, ec);
}

std::string DescribeUnusableFile(const std::string& path) {
    if (path.empty()) return "no file name given";
    if (HasNul(path)) return "the name has a NUL byte in it";
    if (path.size() >= PATH_MAX) return "the name is too long";
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        const int err = errno;
        struct stat link {};
        if (err == ENOENT && ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
            return "a dangling link";
        if (err == ENOENT) return "no such file";
        if (err == ENAMETOOLONG) return "the name is too long";
        return std::strerror(err);
    }
    if (S_ISDIR(info.st_mode)) return "a folder, not a file";
    if (!S_ISREG(info.st_mode)) return "not a regular file";
    if (::access(path.c_str(), R_OK) != 0) return std::strerror(errno);
    return std::string();
}

std::string DescribeUnusableOutputPath(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (path.empty() || fs::path(path).filename().empty()) return "no file name";
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty()) folder = ".";
    if (!fs::is_directory(folder, ec)) return "the folder " + folder.string() + " does not exist";
    if (fs::is_directory(path, ec)) return "is a folder";
    return {};
}
