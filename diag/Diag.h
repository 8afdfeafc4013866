// Diagnostics: message categories, the sink every device posts to, and the
// two message formatters.
#pragma once

#include <atomic>
#include <string>

// Category of a diagnostic message; the value indexes the filter flags.
enum DiagType : int {
    DIAG_CPU = 0,
    DIAG_PIC = 1,
    DIAG_TIMER = 2,
    DIAG_AUDIO = 3,
    DIAG_VEXA_MISC = 4,
    DIAG_PALETTE = 5,
    DIAG_VIDEO = 6,
    DIAG_KB_MOUSE = 7,
    DIAG_MATHS = 8,
    DIAG_SD_MMC = 9,
    DIAG_RS232 = 10,
    DIAG_UNUSED = 11,
};
constexpr int DiagTypeCount = 12;

// The label shown in the monitor and written to the log ("CPU", "Vexa Misc", ...).
// Out-of-range values give "UNUSED".
const char* DiagTypeLabel(int type);

// Where devices post their messages. The Qt monitor window and the headless
// runner implement it; both may be called from any thread.
class DiagSink {
public:
    virtual bool IsTypeEnabled(int type) const = 0;
    virtual void AddMessage(int type, const std::string& text) = 0;

protected:
    ~DiagSink() = default;
};

// The one process-wide sink; null until the monitor exists, so messages of the
// first cold boot are dropped.
extern std::atomic<DiagSink*> DiagForm;

inline DiagSink* CurrentDiagSink() { return DiagForm.load(std::memory_order_acquire); }

// True when a message of this type would be seen by someone: callers test this
// before formatting, so a disabled category costs two loads.
inline bool DiagEnabled(int type) {
    DiagSink* sink = CurrentDiagSink();
    return sink != nullptr && sink->IsTypeEnabled(type);
}

// The C formatter: printf as it stands (%x prints lower-case digits).
std::string FormatC(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// The toolkit formatter: as printf, but %x prints upper-case digits
// (%4.4x = at least four zero-padded upper-case digits).
std::string FormatToolkit(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Format and post to the sink if it exists, without a filter test of their own
// (AddMessage filters again anyway).
void DiagSendC(int type, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void DiagSendToolkit(int type, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// The usual posting pattern: format only when the category is enabled.
#define DIAG_POST_C(type, ...)                                                                       \
    do {                                                                                             \
        if (DiagEnabled(type)) DiagSendC((type), __VA_ARGS__);                                      \
    } while (0)
#define DIAG_POST_TOOLKIT(type, ...)                                                                 \
    do {                                                                                             \
        if (DiagEnabled(type)) DiagSendToolkit((type), __VA_ARGS__);                                \
    } while (0)
