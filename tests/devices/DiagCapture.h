// Captures what devices post: a log with no file with the given types
// ticked, behind a channel that devices made for the test are given.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "diag/DiagLog.h"

class DiagCapture {
public:
    explicit DiagCapture(std::initializer_list<int> types) : log("") {
        for (int t : types)
            log.SetFilter(t, true);
        channel.Connect(&log);
    }
    DiagCapture(const DiagCapture&) = delete;
    DiagCapture& operator=(const DiagCapture&) = delete;

    // The texts posted since the last call.
    std::vector<std::string> Take() {
        std::vector<std::string> texts;
        for (const DiagRow& row : log.Rows())
            texts.push_back(row.text);
        log.Clear();
        return texts;
    }

    DiagLog log;
    DiagChannel channel;
};
