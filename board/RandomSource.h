// The numbers the C library's rand() gives after srand(seed), from a
// generator each machine owns: two machines in one process (or a machine and
// anything else that calls rand()) cannot disturb each other's sequence,
// while a headless run keeps the very refresh-register values it always had.
#pragma once

#include <cstdint>

#include "board/StateIO.h"

class CRandom {
public:
    explicit CRandom(unsigned seed = 1);
    // 0 .. 2^31 - 1, as rand().
    int Next();
    // Save states: the generator goes on where it was.
    void SaveState(StateWriter& w) const;
    bool LoadState(StateReader& r);

private:
    // The last 34 values of the additive lagged-Fibonacci sequence
    // r[i] = r[i-31] + r[i-3], as a ring.
    uint32_t ring[34];
    unsigned position = 0;
};
