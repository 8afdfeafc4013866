#include "board/StateIO.h"

#include <array>
#include <bit>

static_assert(std::endian::native == std::endian::little, "states are written as the little-endian host lays them out");

namespace {

// Eight tables, so that the loop takes eight bytes a step: a card image of
// many megabytes is checked in a few milliseconds.
using CrcTables = std::array<std::array<uint32_t, 256>, 8>;
constexpr CrcTables MakeCrcTables() {
    CrcTables t{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[0][n] = c;
    }
    for (uint32_t n = 0; n < 256; ++n)
        for (int k = 1; k < 8; ++k) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
    return t;
}
constexpr CrcTables Tables = MakeCrcTables();

uint32_t ReadU32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

} // namespace

uint32_t Crc32(const void* data, size_t size, uint32_t crc) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    crc = ~crc;
    for (; size >= 8; size -= 8, p += 8) {
        uint32_t lo, hi;
        std::memcpy(&lo, p, 4);
        std::memcpy(&hi, p + 4, 4);
        lo ^= crc;
        crc = Tables[7][lo & 0xFF] ^ Tables[6][(lo >> 8) & 0xFF] ^ Tables[5][(lo >> 16) & 0xFF] ^ Tables[4][lo >> 24] ^
              Tables[3][hi & 0xFF] ^ Tables[2][(hi >> 8) & 0xFF] ^ Tables[1][(hi >> 16) & 0xFF] ^ Tables[0][hi >> 24];
    }
    for (; size > 0; --size, ++p) crc = Tables[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::string StateTagName(uint32_t tag) {
    std::string name;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((tag >> (8 * i)) & 0xFF);
        name += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return name;
}

void StateWriter::Begin(uint32_t tag, uint16_t version) {
    open_ = out_.size();
    U32(tag);
    U16(version);
    U16(0);
    U32(0); // length, filled in by End
    U32(0); // CRC
}

void StateWriter::End() {
    const size_t body = open_ + StateSectionHeaderSize;
    const uint32_t length = static_cast<uint32_t>(out_.size() - body);
    const uint32_t crc = checksums_ ? Crc32(out_.data() + body, length) : 0;
    std::memcpy(out_.data() + open_ + 8, &length, 4);
    std::memcpy(out_.data() + open_ + 12, &crc, 4);
    open_ = SIZE_MAX;
}

bool ParseStateSections(const uint8_t* data, size_t size, std::vector<StateSection>& out, std::string* error,
                        bool verify) {
    out.clear();
    size_t at = 0;
    while (at < size) {
        if (size - at < StateSectionHeaderSize) {
            *error = "it ends inside a section header";
            return false;
        }
        StateSection s;
        s.tag = ReadU32(data + at);
        std::memcpy(&s.version, data + at + 4, 2);
        s.size = ReadU32(data + at + 8);
        const uint32_t crc = ReadU32(data + at + 12);
        at += StateSectionHeaderSize;
        if (s.size > size - at) {
            *error = "its section " + StateTagName(s.tag) + " is cut short";
            return false;
        }
        s.body = data + at;
        if (verify && Crc32(s.body, s.size) != crc) {
            *error = "its section " + StateTagName(s.tag) + " fails its checksum";
            return false;
        }
        if (FindStateSection(out, s.tag)) {
            *error = "it holds the section " + StateTagName(s.tag) + " twice";
            return false;
        }
        out.push_back(s);
        at += s.size;
    }
    return true;
}

const StateSection* FindStateSection(const std::vector<StateSection>& sections, uint32_t tag) {
    for (const StateSection& s : sections)
        if (s.tag == tag) return &s;
    return nullptr;
}
