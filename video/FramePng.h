// Frames as PNG files: the screenshots of the headless runner and the golden
// images of the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Encodes an ARGB frame as an 8-bit RGB PNG (alpha is dropped: the display
// shows every colour opaque). Returns false with a reason on failure.
bool EncodeFramePng(const uint32_t* argb, int width, int height, std::vector<uint8_t>& png,
                    std::string* error);
// Encodes and writes the file atomically (whole or not at all).
bool WriteFramePng(const std::string& path, const uint32_t* argb, int width, int height, std::string* error);
// Reads any PNG as opaque 0xFFRRGGBB pixels, row by row.
bool ReadFramePng(const std::string& path, std::vector<uint32_t>& argb, int& width, int& height,
                  std::string* error);
