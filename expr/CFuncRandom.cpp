#include "expr/CFuncRandom.h"

uint32_t CFuncRandom::s_nState = 0x2545F491u;

void CFuncRandom::Seed(uint32_t nSeed)
{
    s_nState = nSeed ? nSeed : 0x2545F491u; // xorshift must not start at 0
}

uint32_t CFuncRandom::Next()
{
    uint32_t x = s_nState;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    s_nState = x;
    return (x >> 8) & RANGE;
}
