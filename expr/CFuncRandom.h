#pragma once
// The process-wide pseudo-random generator of "random" and "rand": 15-bit numbers 0 ... 32767,
// and the memory of "rand", which keeps its number while slot 3 keeps its value.
#include <cstdint>

class CFuncRandom {
public:
    static constexpr uint32_t RANGE = 32767;
    static void Seed(uint32_t nSeed);
    static uint32_t Next();

    // The number of "rand" for the slot-3 value dKey: a fresh one whenever dKey differs from the
    // value of the last call.
    static double Rand(double dKey)
    {
        if (dKey != s_dRandKey) {
            s_dRandKey = dKey;
            s_dRandValue = Next() / double(RANGE);
        }
        return s_dRandValue;
    }
    static double GetRandKey() { return s_dRandKey; }
    static double GetRandValue() { return s_dRandValue; }
    // Puts the memory of "rand" back to a state read before (checks that replay a run).
    static void SetRand(double dKey, double dValue)
    {
        s_dRandKey = dKey;
        s_dRandValue = dValue;
    }
    // Back to the state at start-up: key and number 0.
    static void ResetRand() { SetRand(0.0, 0.0); }

private:
    static uint32_t s_nState;
    static inline double s_dRandKey = 0.0;   // slot 3 at the last draw of "rand"
    static inline double s_dRandValue = 0.0; // what "rand" yields while slot 3 equals the key
};
