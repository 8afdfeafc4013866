// File helpers shared by the ROM build tools.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reads a whole file; false with a message in *error when it cannot.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string* error);
// Replaces path atomically; false with a message in *error when it cannot.
bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);
