// The pieces a save state is made of. A state is a list of sections, one per
// part of the machine; each part writes and reads its own, so a part can
// change its layout (and its version) without touching the others.
//
// Section layout (little-endian): tag (4 ASCII bytes), version (u16),
// reserved (u16, 0), body length (u32), CRC-32 of the body (u32), body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

// CRC-32 (the polynomial of zip and PNG), chained through `crc`.
uint32_t Crc32(const void* data, size_t size, uint32_t crc = 0);

// A four-character section tag as one number.
constexpr uint32_t StateTag(const char (&name)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(name[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(name[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(name[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(name[3])) << 24;
}
std::string StateTagName(uint32_t tag);

constexpr size_t StateSectionHeaderSize = 16;

class StateWriter {
public:
    // Writes into `out`, after whatever it already holds. Without checksums
    // (a rewind snapshot, which never leaves memory) the CRC fields stay 0.
    explicit StateWriter(std::vector<uint8_t>& out, bool checksums = true) : out_(out), checksums_(checksums) {}

    void Begin(uint32_t tag, uint16_t version);
    void End(); // fills in the length and the CRC of the open section

    void U8(uint8_t v) { out_.push_back(v); }
    void Bool(bool v) { out_.push_back(v ? 1 : 0); }
    void U16(uint16_t v) { Raw(&v, sizeof v); }
    void U32(uint32_t v) { Raw(&v, sizeof v); }
    void U64(uint64_t v) { Raw(&v, sizeof v); }
    void I32(int32_t v) { Raw(&v, sizeof v); }
    void F64(double v) { Raw(&v, sizeof v); }
    // An array of plain integers, as they lie in memory (little-endian host).
    template <class T> void Array(const T* values, size_t count) {
        static_assert(std::is_integral_v<T>);
        Raw(values, count * sizeof(T));
    }
    void Raw(const void* data, size_t size) {
        // insert copies once; resize would clear the room first.
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        out_.insert(out_.end(), bytes, bytes + size);
    }

private:
    std::vector<uint8_t>& out_;
    bool checksums_;
    size_t open_ = SIZE_MAX;
};

// Reads one section's body. A read past the end yields zeros and marks the
// reader failed, so a loader can read everything and check Ok() once.
class StateReader {
public:
    StateReader(const uint8_t* data, size_t size, uint16_t version) : p_(data), end_(data + size), version_(version) {}

    uint16_t Version() const { return version_; }
    bool Ok() const { return ok_; }
    bool AtEnd() const { return p_ == end_; }
    size_t Remaining() const { return static_cast<size_t>(end_ - p_); }
    // Marks a value that is out of its range: the section is damaged.
    void Fail() { ok_ = false; }

    uint8_t U8() { return Get<uint8_t>(); }
    bool Bool() {
        const uint8_t v = Get<uint8_t>();
        if (v > 1) ok_ = false;
        return v != 0;
    }
    uint16_t U16() { return Get<uint16_t>(); }
    uint32_t U32() { return Get<uint32_t>(); }
    uint64_t U64() { return Get<uint64_t>(); }
    int32_t I32() { return Get<int32_t>(); }
    double F64() { return Get<double>(); }
    template <class T> void Array(T* values, size_t count) {
        static_assert(std::is_integral_v<T>);
        Raw(values, count * sizeof(T));
    }
    void Raw(void* data, size_t size) {
        if (static_cast<size_t>(end_ - p_) < size) {
            ok_ = false;
            p_ = end_;
            std::memset(data, 0, size);
            return;
        }
        if (size) std::memcpy(data, p_, size);
        p_ += size;
    }
    // An int that must lie in [low, high].
    int32_t Ranged(int32_t low, int32_t high) {
        const int32_t v = I32();
        if (v < low || v > high) ok_ = false;
        return v < low ? low : v > high ? high : v;
    }

private:
    template <class T> T Get() {
        T v{};
        Raw(&v, sizeof v);
        return v;
    }
    const uint8_t* p_;
    const uint8_t* end_;
    uint16_t version_;
    bool ok_ = true;
};

// The sections of a state payload, as found by Parse (which checks every
// length and CRC but not what the bodies say).
struct StateSection {
    uint32_t tag = 0;
    uint16_t version = 0;
    const uint8_t* body = nullptr;
    uint32_t size = 0;
};

// False with a reason when the payload is not a clean list of sections.
// verify: check each section's CRC (not for rewind snapshots, which have none).
bool ParseStateSections(const uint8_t* data, size_t size, std::vector<StateSection>& out, std::string* error,
                        bool verify = true);
const StateSection* FindStateSection(const std::vector<StateSection>& sections, uint32_t tag);
