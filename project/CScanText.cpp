#include "project/CScanText.h"

#include <charconv>
#include <cmath>

#include "expr/DecimalMagnitude.h"

namespace {
bool IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}
char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
const uint64_t LIMIT = uint64_t(1) << 40; // far beyond 32 bits; stops the growth of the value
} // namespace

bool CScanText::Literal(const char* pszLiteral)
{
    size_t i = 0;
    for (; pszLiteral[i]; ++i)
        if (Peek(i) != pszLiteral[i])
            return false;
    m_nPos += i;
    return true;
}

bool CScanText::LiteralNoCase(const char* pszLiteral)
{
    size_t i = 0;
    for (; pszLiteral[i]; ++i)
        if (Peek(i) == '\0' || Lower(Peek(i)) != Lower(pszLiteral[i]))
            return false;
    m_nPos += i;
    return true;
}

void CScanText::SkipSpace()
{
    while (IsSpace(Peek()))
        ++m_nPos;
}

bool CScanText::Digits(uint64_t& nValue, unsigned nBase, bool& bMinus)
{
    SkipSpace();
    bMinus = false;
    if (Peek() == '+' || Peek() == '-')
        bMinus = m_szText[m_nPos++] == '-';
    if (nBase == 16 && Peek() == '0' && (Peek(1) == 'x' || Peek(1) == 'X') && DigitValue(Peek(2)) < 16)
        m_nPos += 2;
    nValue = 0;
    size_t nCount = 0;
    while (DigitValue(Peek()) < static_cast<int>(nBase)) {
        nValue = nValue * nBase + static_cast<uint64_t>(DigitValue(Peek()));
        if (nValue > LIMIT)
            nValue = LIMIT;
        ++m_nPos;
        ++nCount;
    }
    return nCount > 0;
}

bool CScanText::Unsigned32(uint32_t& nValue, unsigned nBase)
{
    uint64_t n;
    bool bMinus;
    if (!Digits(n, nBase, bMinus) || (bMinus && n != 0) || n > 0xFFFFFFFFu)
        return false;
    nValue = static_cast<uint32_t>(n);
    return true;
}

bool CScanText::Integer(int32_t& nValue)
{
    uint64_t n;
    bool bMinus;
    if (!Digits(n, 10, bMinus) || n > (bMinus ? 0x80000000u : 0x7FFFFFFFu))
        return false;
    nValue = static_cast<int32_t>(bMinus ? -static_cast<int64_t>(n) : static_cast<int64_t>(n));
    return true;
}

bool CScanText::Real(double& dValue)
{
    SkipSpace();
    size_t nStart = m_nPos;
    bool bMinus = false;
    if (Peek() == '+' || Peek() == '-') {
        bMinus = Peek() == '-';
        ++nStart;
        if (Peek(1) == '+' || Peek(1) == '-') // from_chars would take a second minus
            return false;
    }
    const char* pBegin = m_szText.data() + nStart;
    const char* pEnd = m_szText.data() + m_szText.size();
    double d = 0.0;
    const auto result = std::from_chars(pBegin, pEnd, d, std::chars_format::general);
    if (result.ptr == pBegin)
        return false;
    if (result.ec == std::errc::result_out_of_range) {
        // Too small for a double is 0, as the C library reads it; too large does not fit.
        if (DecimalMagnitude(std::string(pBegin, result.ptr)) > 0)
            return false;
        d = 0.0;
    } else if (result.ec != std::errc()) {
        return false;
    }
    if (!std::isfinite(d))
        return false;
    dValue = bMinus ? -d : d;
    m_nPos = static_cast<size_t>(result.ptr - m_szText.data());
    return true;
}

bool CScanText::Char(char& c)
{
    if (AtEnd())
        return false;
    c = m_szText[m_nPos++];
    return true;
}

int CScanText::DigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 99;
}
