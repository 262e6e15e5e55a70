#include "project/CNumberInput.h"

#include <cmath>

#include "project/CScanText.h"

namespace {
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}
bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}
} // namespace

bool CNumberInput::Read(const std::string& szText, double& dValue)
{
    size_t nBegin = 0, nEnd = szText.size();
    while (nBegin < nEnd && IsBlank(szText[nBegin]))
        ++nBegin;
    while (nEnd > nBegin && IsBlank(szText[nEnd - 1]))
        --nEnd;
    // The shape is checked here; the conversion, with its rounding and range, is the files' one.
    std::string szNumber;
    size_t i = nBegin;
    if (i < nEnd && (szText[i] == '+' || szText[i] == '-'))
        szNumber += szText[i++];
    size_t nDigits = 0;
    for (; i < nEnd && IsDigit(szText[i]); ++i, ++nDigits)
        szNumber += szText[i];
    if (i < nEnd && (szText[i] == '.' || szText[i] == ',')) {
        szNumber += '.';
        for (++i; i < nEnd && IsDigit(szText[i]); ++i, ++nDigits)
            szNumber += szText[i];
    }
    if (nDigits == 0)
        return false;
    if (i < nEnd && (szText[i] == 'e' || szText[i] == 'E')) {
        szNumber += 'e';
        ++i;
        if (i < nEnd && (szText[i] == '+' || szText[i] == '-'))
            szNumber += szText[i++];
        size_t nExponent = 0;
        for (; i < nEnd && IsDigit(szText[i]); ++i, ++nExponent)
            szNumber += szText[i];
        if (nExponent == 0)
            return false;
    }
    if (i != nEnd)
        return false;
    CScanText scan(szNumber);
    double d;
    if (!scan.Real(d) || !scan.AtEnd())
        return false;
    dValue = d;
    return true;
}

bool CNumberInput::ReadWhole(const std::string& szText, int64_t nMin, int64_t nMax, int64_t& nValue)
{
    double d;
    if (!Read(szText, d) || d != std::trunc(d) || d < static_cast<double>(nMin) || d > static_cast<double>(nMax))
        return false;
    nValue = static_cast<int64_t>(d);
    return true;
}
