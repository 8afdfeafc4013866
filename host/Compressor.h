// Compression for save states and the rewind ring. The core only declares it;
// the zstd implementation lives in a small library of its own, so the core
// links no third-party code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class StateCompressor {
public:
    virtual ~StateCompressor() = default;
    // The method number a state file records (1: zstd).
    virtual uint16_t Method() const = 0;
    // level: larger is smaller and slower; the rewind ring uses the fastest.
    virtual bool Compress(const uint8_t* data, size_t size, std::vector<uint8_t>& out, int level) = 0;
    // False when the data is damaged or does not unpack to exactly `expected` bytes.
    virtual bool Decompress(const uint8_t* data, size_t size, size_t expected, std::vector<uint8_t>& out) = 0;
};
