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

// One machine's route to its diagnostics sink. Every device of a machine
// holds a pointer to the machine's channel; the channel is connected to the
// monitor window, the headless runner's log or a test's capture, or to
// nothing, in which case messages are dropped. A device made without a
// channel (a null pointer) posts nothing.
class DiagChannel {
public:
    void Connect(DiagSink* sink) { sink_.store(sink, std::memory_order_release); }
    DiagSink* Sink() const { return sink_.load(std::memory_order_acquire); }
    // True when a message of this type would be seen by someone: callers test
    // this before formatting, so a disabled category costs two loads.
    bool Enabled(int type) const {
        DiagSink* sink = Sink();
        return sink != nullptr && sink->IsTypeEnabled(type);
    }
    // Format and post if a sink is connected, without a filter test of their
    // own (AddMessage filters again anyway).
    void SendC(int type, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
    void SendToolkit(int type, const char* fmt, ...) __attribute__((format(printf, 3, 4)));

private:
    std::atomic<DiagSink*> sink_{nullptr};
};

// The C formatter: printf as it stands (%x prints lower-case digits).
std::string FormatC(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// The toolkit formatter: as printf, but %x prints upper-case digits
// (%4.4x = at least four zero-padded upper-case digits).
std::string FormatToolkit(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// The usual posting pattern: format only when the category is enabled.
#define DIAG_POST_C(channel, type, ...)                                                              \
    do {                                                                                             \
        DiagChannel* diagChannel_ = (channel);                                                       \
        if (diagChannel_ != nullptr && diagChannel_->Enabled(type)) diagChannel_->SendC((type), __VA_ARGS__); \
    } while (0)
#define DIAG_POST_TOOLKIT(channel, type, ...)                                                        \
    do {                                                                                             \
        DiagChannel* diagChannel_ = (channel);                                                       \
        if (diagChannel_ != nullptr && diagChannel_->Enabled(type))                                  \
            diagChannel_->SendToolkit((type), __VA_ARGS__);                                          \
    } while (0)
