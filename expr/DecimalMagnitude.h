#pragma once
// Rough decimal exponent of a decimal number text "ddd.ddde[+-]n" (no sign): positive for numbers
// of 1 and above, so an out-of-range conversion can tell a huge value from a tiny one.
#include <cstdlib>
#include <string>

inline long DecimalMagnitude(const std::string& szDecimal)
{
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    long nMagnitude = 0;
    size_t i = 0;
    while (i < szDecimal.size() && szDecimal[i] == '0')
        ++i;
    bool bInteger = false;
    for (; i < szDecimal.size() && isDigit(szDecimal[i]); ++i, bInteger = true)
        ++nMagnitude;
    if (!bInteger && i < szDecimal.size() && szDecimal[i] == '.') {
        for (++i; i < szDecimal.size() && szDecimal[i] == '0'; ++i)
            --nMagnitude;
    }
    const size_t nE = szDecimal.find_first_of("eE");
    if (nE != std::string::npos) {
        // The exponent saturates: anything this far out is out of range either way.
        const long nExponent = std::strtol(szDecimal.c_str() + nE + 1, nullptr, 10);
        nMagnitude += nExponent > 100000 ? 100000 : nExponent < -100000 ? -100000 : nExponent;
    }
    return nMagnitude;
}
