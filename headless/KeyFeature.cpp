#include "headless/KeyFeature.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "board/Machine.h"
#include "headless/Runner.h"

namespace {

constexpr uint16_t VkReturn = 0x0D;
constexpr uint16_t VkShift = 0x10;
constexpr uint16_t VkSpace = 0x20;
constexpr int ShiftHeld = 1; // the shift-state bit the window passes with Shift down

// Splits "VALUE@FRAME" at its last '@'.
bool SplitAtFrame(const std::string& value, std::string* head, uint64_t* frame, std::string* error) {
    const size_t at = value.rfind('@');
    if (at == std::string::npos) {
        *error = "expected VALUE@FRAME";
        return false;
    }
    const std::string tail = value.substr(at + 1);
    if (tail.empty() || tail.size() > 12 || !std::all_of(tail.begin(), tail.end(), ::isdigit)) {
        *error = "the frame must be a decimal number";
        return false;
    }
    *head = value.substr(0, at);
    *frame = std::stoull(tail);
    return true;
}

// "0x41" or "65".
bool ParseVk(const std::string& text, uint16_t* vk) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 5) return false;
    for (char c : digits)
        if (!(hex ? std::isxdigit(static_cast<unsigned char>(c))
                  : std::isdigit(static_cast<unsigned char>(c))))
            return false;
    const unsigned long value = std::stoul(digits, nullptr, hex ? 16 : 10);
    if (value > 0xFFFF) return false;
    *vk = static_cast<uint16_t>(value);
    return true;
}

// The character starting at byte i, whole: all the bytes of a UTF-8
// sequence, so that a message never cuts one in half. A byte that starts no
// valid sequence is shown as \xNN.
std::string CharacterAt(const std::string& text, size_t i) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80            ? 1
                          : (lead >> 5) == 0x06 ? 2
                          : (lead >> 4) == 0x0E ? 3
                          : (lead >> 3) == 0x1E ? 4
                                                : 0;
    bool valid = length != 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (valid) return text.substr(i, length);
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", lead);
    return escaped;
}

} // namespace

void AddKeyOptions(CLI::App& app, KeyOptions& options) {
    app.add_option(
           "--key", options.keys,
           "VK@FRAME: press the host key with this virtual-key code (hex as 0x41, or decimal) once FRAME "
           "frames have run, and release it one frame later (repeatable)")
        ->allow_extra_args(false);
    app.add_option(
           "--type", options.texts,
           "TEXT@FRAME: type TEXT one key per frame from frame FRAME on, each key released half a frame "
           "after it was pressed. Letters (capitals with Shift held), digits and spaces; the two characters "
           "\\n (backslash, n) or a line break press Enter (repeatable)")
        ->allow_extra_args(false);
}

std::optional<std::vector<KeyEvent>> ParseKeyOption(const std::string& value, std::string* error) {
    std::string vkText;
    uint64_t frame = 0;
    if (!SplitAtFrame(value, &vkText, &frame, error)) return std::nullopt;
    uint16_t vk = 0;
    if (!ParseVk(vkText, &vk)) {
        *error = "the key must be a virtual-key code from 0 to 0xFFFF, in hex (0x41) or decimal (65)";
        return std::nullopt;
    }
    return std::vector<KeyEvent>{{frame * static_cast<uint64_t>(CyclesPerFrame), vk, true, 0},
                                 {(frame + 1) * CyclesPerFrame, vk, false, 0}};
}

std::optional<std::vector<KeyEvent>> ParseTypeOption(const std::string& value, std::string* error) {
    std::string text;
    uint64_t frame = 0;
    if (!SplitAtFrame(value, &text, &frame, error)) return std::nullopt;
    std::vector<KeyEvent> events;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        uint16_t vk;
        bool shifted = false;
        if (c == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            vk = VkReturn;
            ++i;
        } else if (c == '\n' || c == '\r') {
            vk = VkReturn;
        } else if (c == ' ') {
            vk = VkSpace;
        } else if (std::isdigit(c)) {
            vk = c; // the digit keys' codes are their characters
        } else if (c >= 'a' && c <= 'z') {
            vk = static_cast<uint16_t>(c - 'a' + 'A');
        } else if (c >= 'A' && c <= 'Z') {
            vk = c;
            shifted = true;
        } else {
            *error = "cannot type '" + CharacterAt(text, i) + "': only letters, digits, spaces and \\n (Enter)";
            return std::nullopt;
        }
        const uint64_t press = frame * static_cast<uint64_t>(CyclesPerFrame);
        const uint64_t release = press + CyclesPerFrame / 2;
        const int shiftState = shifted ? ShiftHeld : 0;
        if (shifted) events.push_back({press, VkShift, true, ShiftHeld});
        events.push_back({press, vk, true, shiftState});
        events.push_back({release, vk, false, shiftState});
        if (shifted) events.push_back({release, VkShift, false, 0});
        ++frame;
    }
    return events;
}

bool InstallKeyEvents(HeadlessRunner& runner, const KeyOptions& options) {
    auto install = [&runner](const std::vector<std::string>& values, const char* option, auto parse) {
        for (const std::string& value : values) {
            std::string error;
            const auto events = parse(value, &error);
            if (!events) {
                std::fprintf(stderr, "%s %s: %s\n", option, value.c_str(), error.c_str());
                return false;
            }
            for (const KeyEvent& e : *events)
                runner.At(e.cycle, [e](Machine& machine) {
                    if (e.down)
                        machine.Board().HostKeyDown(e.vk, e.shiftState);
                    else
                        machine.Board().HostKeyUp(e.vk, e.shiftState);
                });
        }
        return true;
    };
    return install(options.keys, "--key", ParseKeyOption) &&
           install(options.texts, "--type", ParseTypeOption);
}
