// Reference results of the processor's arithmetic, worked out here from the
// instruction rules with plain integer arithmetic (signed ranges, nibble sums,
// bit counting) instead of the core's XOR tricks and tables, so that the two
// can be compared. Bits 5 and 3 of F are left 0 wherever an instruction builds
// F from a result.
#pragma once

#include <cstdint>

namespace ref {

enum : uint8_t { S = 0x80, Z = 0x40, F5 = 0x20, H = 0x10, F3 = 0x08, PV = 0x04, N = 0x02, C = 0x01 };

inline bool EvenParity(unsigned v) {
    int ones = 0;
    for (int i = 0; i < 8; ++i) ones += (v >> i) & 1;
    return ones % 2 == 0;
}

inline uint8_t SignZero(uint8_t v) { return static_cast<uint8_t>((v >= 0x80 ? S : 0) | (v == 0 ? Z : 0)); }
inline uint8_t SignZeroParity(uint8_t v) { return static_cast<uint8_t>(SignZero(v) | (EvenParity(v) ? PV : 0)); }

struct AF {
    uint8_t a;
    uint8_t f;
};

// ADD ADC SUB SBC AND XOR OR CP in opcode order (bits 3-5 of 80-BF).
inline AF Alu(int op, uint8_t a, uint8_t v, bool carryIn) {
    const int c = (op == 1 || op == 3) ? (carryIn ? 1 : 0) : 0;
    const int sa = static_cast<int8_t>(a), sv = static_cast<int8_t>(v);
    switch (op) {
    case 0:
    case 1: {
        const int sum = a + v + c;
        const int ssum = sa + sv + c;
        const uint8_t r = static_cast<uint8_t>(sum);
        uint8_t f = SignZero(r);
        if ((a & 0x0F) + (v & 0x0F) + c > 0x0F) f |= H;
        if (ssum < -128 || ssum > 127) f |= PV;
        if (sum > 0xFF) f |= C;
        return {r, f};
    }
    case 2:
    case 3:
    case 7: {
        const int diff = a - v - c;
        const int sdiff = sa - sv - c;
        const uint8_t r = static_cast<uint8_t>(diff);
        uint8_t f = static_cast<uint8_t>(SignZero(r) | N);
        if ((a & 0x0F) - (v & 0x0F) - c < 0) f |= H;
        if (sdiff < -128 || sdiff > 127) f |= PV;
        if (diff < 0) f |= C;
        return {op == 7 ? a : r, f};
    }
    case 4: {
        const uint8_t r = a & v;
        return {r, static_cast<uint8_t>(SignZeroParity(r) | H)};
    }
    case 5: {
        const uint8_t r = a ^ v;
        return {r, SignZeroParity(r)};
    }
    default: {
        const uint8_t r = a | v;
        return {r, SignZeroParity(r)};
    }
    }
}

// INC r / DEC r: the value and the new F (C kept from f).
inline AF Inc(uint8_t v, uint8_t f) {
    const uint8_t r = static_cast<uint8_t>(v + 1);
    uint8_t nf = static_cast<uint8_t>(SignZero(r) | (f & C));
    if ((v & 0x0F) == 0x0F) nf |= H;
    if (v == 0x7F) nf |= PV;
    return {r, nf};
}
inline AF Dec(uint8_t v, uint8_t f) {
    const uint8_t r = static_cast<uint8_t>(v - 1);
    uint8_t nf = static_cast<uint8_t>(SignZero(r) | (f & C) | N);
    if ((v & 0x0F) == 0) nf |= H;
    if (v == 0x80) nf |= PV;
    return {r, nf};
}

// CB rotates and shifts in opcode order (RLC RRC RL RR SLA SRA SLL SRL); f is
// the incoming F (only its carry matters).
inline AF Rotate(int op, uint8_t v, uint8_t f) {
    const int cin = f & C;
    const int b7 = v >> 7, b0 = v & 1;
    int r = 0, cout = 0;
    switch (op) {
    case 0: r = v * 2 + b7; cout = b7; break;
    case 1: r = v / 2 + b0 * 128; cout = b0; break;
    case 2: r = v * 2 + cin; cout = b7; break;
    case 3: r = v / 2 + cin * 128; cout = b0; break;
    case 4: r = v * 2; cout = b7; break;
    case 5: r = v / 2 + b7 * 128; cout = b0; break;
    case 6: r = v * 2 + 1; cout = b7; break;
    default: r = v / 2; cout = b0; break;
    }
    const uint8_t res = static_cast<uint8_t>(r);
    return {res, static_cast<uint8_t>(SignZeroParity(res) | cout)};
}

// RLCA RRCA RLA RRA: S, Z, P/V and bits 5 and 3 of f are kept.
inline AF RotateA(int op, uint8_t a, uint8_t f) {
    const AF full = Rotate(op, a, f);
    return {full.a, static_cast<uint8_t>((f & (S | Z | F5 | F3 | PV)) | (full.f & C))};
}

// BIT b: F from the tested value and the incoming F (C kept).
inline uint8_t Bit(int b, uint8_t v, uint8_t f) {
    const bool set = (v >> b) & 1;
    return static_cast<uint8_t>((set ? 0 : Z) | (b == 7 && set ? S : 0) | H | (f & C));
}

// DAA from the incoming A and F (only C, H and N of F count).
inline AF Daa(uint8_t a, uint8_t f) {
    const bool c = f & C, h = f & H, n = f & N;
    const int lo = a % 16;
    int correction = 0;
    if (c || a > 0x99) correction += 0x60;
    if (h || lo > 9) correction += 0x06;
    const uint8_t r = static_cast<uint8_t>(n ? a - correction : a + correction);
    const bool newC = c || a > 0x99;
    const bool newH = n ? (h && lo < 6) : (lo > 9);
    uint8_t nf = static_cast<uint8_t>(SignZeroParity(r) | (r & (F5 | F3)));
    if (newH) nf |= H;
    if (n) nf |= N;
    if (newC) nf |= C;
    return {r, nf};
}

struct Word {
    uint16_t value;
    uint8_t f;
};

// ADD HL,rr: S, Z and P/V of f kept, bits 5 and 3 cleared.
inline Word Add16(uint16_t a, uint16_t b, uint8_t f) {
    const unsigned sum = a + b;
    uint8_t nf = static_cast<uint8_t>(f & (S | Z | PV));
    if ((a & 0x0FFF) + (b & 0x0FFF) > 0x0FFF) nf |= H;
    if (sum > 0xFFFF) nf |= C;
    return {static_cast<uint16_t>(sum), nf};
}

inline Word Adc16(uint16_t a, uint16_t b, bool carryIn) {
    const int c = carryIn ? 1 : 0;
    const long sum = static_cast<long>(a) + b + c;
    const long ssum = static_cast<long>(static_cast<int16_t>(a)) + static_cast<int16_t>(b) + c;
    const uint16_t r = static_cast<uint16_t>(sum);
    uint8_t f = static_cast<uint8_t>((r >= 0x8000 ? S : 0) | (r == 0 ? Z : 0));
    if ((a & 0x0FFF) + (b & 0x0FFF) + c > 0x0FFF) f |= H;
    if (ssum < -32768 || ssum > 32767) f |= PV;
    if (sum > 0xFFFF) f |= C;
    return {r, f};
}

inline Word Sbc16(uint16_t a, uint16_t b, bool carryIn) {
    const int c = carryIn ? 1 : 0;
    const long diff = static_cast<long>(a) - b - c;
    const long sdiff = static_cast<long>(static_cast<int16_t>(a)) - static_cast<int16_t>(b) - c;
    const uint16_t r = static_cast<uint16_t>(diff);
    uint8_t f = static_cast<uint8_t>((r >= 0x8000 ? S : 0) | (r == 0 ? Z : 0) | N);
    if (static_cast<int>(a & 0x0FFF) - static_cast<int>(b & 0x0FFF) - c < 0) f |= H;
    if (sdiff < -32768 || sdiff > 32767) f |= PV;
    if (diff < 0) f |= C;
    return {r, f};
}

} // namespace ref
