#include "diag/Diag.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

const char* const kLabels[DiagTypeCount] = {
    "CPU", "PIC", "TIMER", "AUDIO", "Vexa Misc", "PALETTE", "VIDEO", "KB/MOUSE", "MATHS", "SD/MMC", "RS232", "UNUSED",
};

std::string FormatV(const char* fmt, va_list args) {
    char small[256];
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(small, sizeof small, fmt, copy);
    va_end(copy);
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), fmt, args);
    out.resize(static_cast<size_t>(n));
    return out;
}

// Rewrites every %x conversion as %X, leaving literal text ("0x") alone.
std::string ToolkitToC(const char* fmt) {
    std::string out(fmt);
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] != '%') continue;
        size_t j = i + 1;
        if (j < out.size() && out[j] == '%') {
            i = j;
            continue;
        }
        while (j < out.size() && std::strchr("-+ #0123456789.*hlLqjzt", out[j]) != nullptr) ++j;
        if (j < out.size() && out[j] == 'x') out[j] = 'X';
        i = j;
    }
    return out;
}

std::string FormatToolkitV(const char* fmt, va_list args) { return FormatV(ToolkitToC(fmt).c_str(), args); }

} // namespace

const char* DiagTypeLabel(int type) {
    if (type < 0 || type >= DiagTypeCount) return kLabels[DIAG_UNUSED];
    return kLabels[type];
}

std::string FormatC(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string s = FormatV(fmt, args);
    va_end(args);
    return s;
}

std::string FormatToolkit(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string s = FormatToolkitV(fmt, args);
    va_end(args);
    return s;
}

void DiagChannel::SendC(int type, const char* fmt, ...) {
    DiagSink* sink = Sink();
    if (sink == nullptr) return;
    va_list args;
    va_start(args, fmt);
    std::string s = FormatV(fmt, args);
    va_end(args);
    sink->AddMessage(type, s);
}

void DiagChannel::SendToolkit(int type, const char* fmt, ...) {
    DiagSink* sink = Sink();
    if (sink == nullptr) return;
    va_list args;
    va_start(args, fmt);
    std::string s = FormatToolkitV(fmt, args);
    va_end(args);
    sink->AddMessage(type, s);
}
