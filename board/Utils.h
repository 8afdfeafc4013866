#pragma once

#include <string_view>

// Hexadecimal digits (0-9, a-f, A-F; no prefix, no sign) to an integer,
// wrapping at 32 bits. -1 for an empty text or any other character.
int ParseHex(std::string_view text);
