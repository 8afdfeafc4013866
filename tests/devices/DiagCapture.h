// Captures what devices post: a log with no file, installed as the
// process-wide sink with the given types ticked, and taken away again when
// the test ends.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "diag/DiagLog.h"

class DiagCapture {
public:
    explicit DiagCapture(std::initializer_list<int> types) : log("") {
        for (int t : types) log.SetFilter(t, true);
        DiagForm.store(&log, std::memory_order_release);
    }
    ~DiagCapture() { DiagForm.store(nullptr, std::memory_order_release); }
    DiagCapture(const DiagCapture&) = delete;
    DiagCapture& operator=(const DiagCapture&) = delete;

    // The texts posted since the last call.
    std::vector<std::string> Take() {
        std::vector<std::string> texts;
        for (const DiagRow& row : log.Rows()) texts.push_back(row.text);
        log.Clear();
        return texts;
    }

    DiagLog log;
};
