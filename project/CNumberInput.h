#pragma once
// Numbers as a user types them into a field: with a decimal point or a decimal comma, and the
// whole text one number. The file formats keep the point and their own scanning (CScanText).
#include <cstdint>
#include <string>

class CNumberInput {
public:
    // Blanks around the number are allowed; a sign, digits with at most one decimal point or
    // comma, an exponent (1e3, 2,5E-2). Anything else, an empty text, or a number beyond the
    // double range is no number: false, and dValue keeps what it held.
    static bool Read(const std::string& szText, double& dValue);
    // A whole number in nMin ... nMax, as Read reads it: "1e3" is 1000, "2,5" and "-5" (for
    // nMin 0) are refused.
    static bool ReadWhole(const std::string& szText, int64_t nMin, int64_t nMax, int64_t& nValue);
};
