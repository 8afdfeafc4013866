#include "diag/DiagLog.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

#include "host/Files.h"

namespace {

void AppendLine(std::string& out, int type, const std::string& text) {
    out += DiagTypeLabel(type);
    out += '\t';
    out += text;
    out += "\r\n";
}

} // namespace

DiagLog::DiagLog(const std::string& logPath) {
    if (logPath.empty()) return;
    logFd = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (logFd < 0) throw std::runtime_error("Cannot create file \"" + logPath + "\". " + std::strerror(errno));
}

DiagLog::~DiagLog() {
    if (logFd >= 0) ::close(logFd);
}

bool DiagLog::IsTypeEnabled(int type) const {
    if (type < 0 || type >= DiagTypeCount) return false;
    return filters[type].load(std::memory_order_relaxed) || logAll.load(std::memory_order_relaxed);
}

void DiagLog::SetFilter(int type, bool enabled) {
    if (type >= 0 && type < DiagTypeCount) filters[type].store(enabled, std::memory_order_relaxed);
}

bool DiagLog::Filter(int type) const {
    return type >= 0 && type < DiagTypeCount && filters[type].load(std::memory_order_relaxed);
}

void DiagLog::AddMessage(int type, const std::string& text) {
    if (type < 0 || type >= DiagTypeCount) type = DIAG_UNUSED;
    const bool listed = filters[type].load(std::memory_order_relaxed);
    const bool logged = listed || logAll.load(std::memory_order_relaxed);
    if (!logged) return;
    std::lock_guard<std::mutex> lock(mutex);
    if (logFd >= 0) {
        // One write per line, straight to the file: complete up to the last post.
        std::string line;
        AppendLine(line, type, text);
        const char* p = line.data();
        size_t left = line.size();
        while (left > 0) {
            const ssize_t n = ::write(logFd, p, left);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            p += n;
            left -= static_cast<size_t>(n);
        }
    }
    if (listed) {
        if (rows.size() == MaxRows) {
            rows.pop_front();
            ++firstSerial;
        }
        rows.push_back(DiagRow{type, text});
    }
}

void DiagLog::Clear() {
    std::lock_guard<std::mutex> lock(mutex);
    firstSerial += rows.size();
    rows.clear();
}

size_t DiagLog::RowCount() const {
    std::lock_guard<std::mutex> lock(mutex);
    return rows.size();
}

std::vector<DiagRow> DiagLog::Rows() const {
    std::lock_guard<std::mutex> lock(mutex);
    return std::vector<DiagRow>(rows.begin(), rows.end());
}

uint64_t DiagLog::FirstSerial() const {
    std::lock_guard<std::mutex> lock(mutex);
    return firstSerial;
}

uint64_t DiagLog::EndSerial() const {
    std::lock_guard<std::mutex> lock(mutex);
    return firstSerial + rows.size();
}

std::vector<DiagRow> DiagLog::RowsFrom(uint64_t from, uint64_t* first) const {
    std::lock_guard<std::mutex> lock(mutex);
    if (from < firstSerial) from = firstSerial;
    const uint64_t end = firstSerial + rows.size();
    if (from > end) from = end;
    if (first) *first = from;
    return std::vector<DiagRow>(rows.begin() + static_cast<std::ptrdiff_t>(from - firstSerial), rows.end());
}

std::string DiagLog::ExportBuffer() const {
    std::string out;
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const DiagRow& row : rows) AppendLine(out, row.type, row.text);
    }
    out.push_back('\0');
    return out;
}

bool DiagLog::ExportToFile(const std::string& path, std::string* error) const {
    const std::string buffer = ExportBuffer();
    return WriteFileAtomically(path, buffer.data(), buffer.size(), error);
}
