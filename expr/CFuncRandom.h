#pragma once
// The process-wide pseudo-random generator of "random" and "rand": 15-bit numbers 0 ... 32767.
#include <cstdint>

class CFuncRandom {
public:
    static constexpr uint32_t RANGE = 32767;
    static void Seed(uint32_t nSeed);
    static uint32_t Next();

private:
    static uint32_t s_nState;
};
