#include "board/Utils.h"

#include <cstdint>

int ParseHex(std::string_view text) {
    if (text.empty()) return -1;
    uint32_t value = 0;
    for (char c : text) {
        uint32_t digit;
        if (c >= '0' && c <= '9') digit = static_cast<uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f') digit = static_cast<uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') digit = static_cast<uint32_t>(c - 'A' + 10);
        else return -1;
        value = (value << 4) | digit;
    }
    return static_cast<int>(value);
}
