#include "board/RandomSource.h"

CRandom::CRandom(unsigned seed) {
    // The state of the C library's default generator: a Lehmer sequence of
    // 31 words seeds the additive feedback, and the first 310 outputs are
    // thrown away.
    int32_t word = seed == 0 ? 1 : static_cast<int32_t>(seed);
    uint32_t state[34];
    state[0] = static_cast<uint32_t>(word);
    for (int i = 1; i < 31; ++i) {
        const int32_t hi = word / 127773, lo = word % 127773;
        word = 16807 * lo - 2836 * hi;
        if (word < 0) word += 2147483647;
        state[i] = static_cast<uint32_t>(word);
    }
    for (int i = 31; i < 34; ++i) state[i] = state[i - 31];
    for (int i = 0; i < 34; ++i) ring[i] = state[i];
    position = 0; // ring[position] is r[i - 34] for the next i
    for (int i = 34; i < 344; ++i) Next();
}

int CRandom::Next() {
    // r[i] = r[i - 31] + r[i - 3]; the ring holds r[i - 34] .. r[i - 1].
    const uint32_t value = ring[(position + 3) % 34] + ring[(position + 31) % 34];
    ring[position] = value;
    position = (position + 1) % 34;
    return static_cast<int>(value >> 1);
}

void CRandom::SaveState(StateWriter& w) const {
    w.Array(ring, 34);
    w.U32(position);
}

bool CRandom::LoadState(StateReader& r) {
    uint32_t saved[34];
    r.Array(saved, 34);
    const uint32_t at = r.U32();
    if (at >= 34) r.Fail();
    if (!r.Ok()) return false;
    for (int i = 0; i < 34; ++i) ring[i] = saved[i];
    position = at;
    return true;
}
