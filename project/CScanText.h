#pragma once
// Reads a line the way the file formats describe it with scanning patterns ("-range%u=%lg,..."),
// without the C library's undefined behaviour: a number that does not fit its field does not match.
#include <cstdint>
#include <string>

class CScanText {
public:
    explicit CScanText(const std::string& szText, size_t nPos = 0) : m_szText(szText), m_nPos(nPos) {}

    bool Literal(const char* pszLiteral);                              // exactly these characters
    bool LiteralNoCase(const char* pszLiteral);                        // these characters in any letter case
    bool Unsigned(uint32_t& nValue) { return Unsigned32(nValue, 10); } // %u: 0 ... 4294967295, no minus
    bool Hex(uint32_t& nValue) { return Unsigned32(nValue, 16); }      // %x / %lx into 32 bits
    bool Integer(int32_t& nValue);                                     // %d
    bool Real(double& dValue);                                         // %lg, finite values only
    bool Char(char& c);                                                // %c
    void SkipSpace();                                                  // a blank in a pattern
    bool AtEnd() const { return m_nPos >= m_szText.size(); }
    size_t Position() const { return m_nPos; }

    // The value of a hexadecimal digit of either case; 99 for anything else, which is no digit in any base.
    static int DigitValue(char c);

private:
    char Peek(size_t nAhead = 0) const { return m_nPos + nAhead < m_szText.size() ? m_szText[m_nPos + nAhead] : '\0'; }
    bool Digits(uint64_t& nValue, unsigned nBase, bool& bMinus);
    bool Unsigned32(uint32_t& nValue, unsigned nBase);

    const std::string& m_szText;
    size_t m_nPos;
};
