#pragma once

#include <string_view>

// Hexadecimal digits (0-9, a-f, A-F; no prefix, no sign) to an integer,
// wrapping at 32 bits. -1 for an empty text or any other character.
int ParseHex(std::string_view text);

#include <cstddef>
#include <string>

// Writes data to path so that the file is either replaced whole or left as it
// was: a temporary file in the same folder is written, flushed to disk and
// renamed over path. On failure returns false with a reason in *error.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size, std::string* error);
// True when path names an existing regular file (not a folder).
bool IsExistingFile(const std::string& path);
