// The diagnostics model behind the monitor window: per-type filters, the
// log-all switch, "rizediv.log", the capped list of rows and the export bytes.
// Posting is safe from any thread and keeps the order of posting.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "diag/Diag.h"

struct DiagRow {
    int type;
    std::string text;
};

class DiagLog : public DiagSink {
public:
    static constexpr size_t MaxRows = 32768;

    // Creates (truncates) the log file; throws std::runtime_error when it
    // cannot be created. An empty path keeps no log file.
    explicit DiagLog(const std::string& logPath = "rizediv.log");
    virtual ~DiagLog();

    DiagLog(const DiagLog&) = delete;
    DiagLog& operator=(const DiagLog&) = delete;

    bool IsTypeEnabled(int type) const override;
    void AddMessage(int type, const std::string& text) override;

    void SetFilter(int type, bool enabled);
    bool Filter(int type) const;
    void SetLogAll(bool enabled) { logAll.store(enabled, std::memory_order_relaxed); }
    bool LogAll() const { return logAll.load(std::memory_order_relaxed); }

    // Removes every row; the log file keeps its lines.
    void Clear();
    size_t RowCount() const;
    std::vector<DiagRow> Rows() const;

    // Rows carry a serial number that grows by one per appended row, so that a
    // view can fetch only what is new: rows [FirstSerial, EndSerial) exist.
    uint64_t FirstSerial() const;
    uint64_t EndSerial() const;
    // Rows from serial `from` on (clamped to what still exists); *first gets
    // the serial of the first row returned.
    std::vector<DiagRow> RowsFrom(uint64_t from, uint64_t* first) const;

    // Every row as label, TAB, text, CR LF, then one zero byte.
    std::string ExportBuffer() const;
    // Writes the export buffer to path (replacing it whole); false with a
    // reason in *error when it cannot be written.
    bool ExportToFile(const std::string& path, std::string* error) const;

private:
    std::array<std::atomic<bool>, DiagTypeCount> filters{};
    std::atomic<bool> logAll{false};

    mutable std::mutex mutex;
    int logFd = -1;
    std::deque<DiagRow> rows;
    uint64_t firstSerial = 0;
};
