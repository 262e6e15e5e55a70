#include "expr/CFuncParser.h"

#include "expr/DecimalMagnitude.h"
#include "expr/FuncLimits.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {
// Character classes of 7-bit ASCII; bytes of 128 and above belong to none.
bool IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}
bool IsLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

CFuncParser::CFuncParser(const char* pszText) : m_pszText(pszText ? pszText : "")
{
    // A NUL inside the text ends it, as for any zero-terminated text.
    m_pszText.resize(std::strlen(m_pszText.c_str()));
    // Positions are 32-bit and a long text costs memory in proportion; nobody types this much.
    if (m_pszText.size() > FUNC_MAX_TEXT)
        throw EFuncError{FuncMessage::TooLong, static_cast<int32_t>(FUNC_MAX_TEXT)};
    NextToken();
}

void CFuncParser::Error(const char* pszMessage) const
{
    throw EFuncError{pszMessage, m_nMark};
}

ETokenKind CFuncParser::NextToken()
{
    m_szName[0] = '\0';
    m_nPrimes = 0;
    m_dNumber = 0.0;
    while (IsSpace(At(m_nPos)))
        ++m_nPos;
    m_nMark = m_nPos;

    const char c = At(m_nPos);
    const char n = At(m_nPos + 1);
    auto token = [this](ETokenKind nKind, int nLength) {
        m_nPos += nLength;
        return m_nToken = nKind;
    };
    if (c == '\0' || (c == '/' && n == '/'))
        return token(TK_END, 0); // a comment ends the text for good
    if (c == '<' && n == '=')
        return token(TK_LE, 2);
    if (c == '<' && n == '>')
        return token(TK_NE, 2);
    if (c == '>' && n == '=')
        return token(TK_GE, 2);
    if (c == '=' && n == '=')
        return token(TK_EQ, 2);
    if (c == '!' && n == '=')
        return token(TK_NE, 2);
    switch (c) {
    case ',': return token(TK_COMMA, 1);
    case '(': return token(TK_LPAREN, 1);
    case ')': return token(TK_RPAREN, 1);
    case '+': return token(TK_PLUS, 1);
    case '-': return token(TK_MINUS, 1);
    case '*': return token(TK_MUL, 1);
    case '/': return token(TK_DIV, 1);
    case '^': return token(TK_POW, 1);
    case '<': return token(TK_LT, 1);
    case '>': return token(TK_GT, 1);
    case '=': return token(TK_EQ, 1);
    case '&': return token(TK_AND, 1);
    case '|': return token(TK_OR, 1);
    case '?': return token(TK_QUESTION, 1);
    case ':': return token(TK_COLON, 1);
    case '{': return token(TK_LBRACE, 1);
    case '}': return token(TK_RBRACE, 1);
    case '[': return token(TK_LBRACKET, 1);
    case ']': return token(TK_RBRACKET, 1);
    default: break;
    }
    if (IsLetter(c)) {
        ReadName();
        return m_nToken = TK_NAME;
    }
    if (IsDigit(c)) {
        ReadNumber();
        return m_nToken = TK_NUMBER;
    }
    Error(FuncMessage::InvalidChar);
}

void CFuncParser::ReadName()
{
    int nLength = 0;
    while (IsLetter(At(m_nPos)) || IsDigit(At(m_nPos))) {
        if (nLength < NAME_SIZE - 1)
            m_szName[nLength++] = At(m_nPos);
        ++m_nPos;
    }
    m_szName[nLength] = '\0';
    // The marks of a derivative belong to the name they follow; anywhere else an apostrophe
    // starts no token. Counted in full, so that the compiler can refuse too many.
    while (At(m_nPos) == '\'') {
        m_nPrimes += m_nPrimes < 255;
        ++m_nPos;
    }
}

// The literal is digits, an optional "." with digits, an optional e or E with an optional sign and
// digits ("2e" is 2: the e is eaten, the exponent is 0). Its value is the correctly rounded double
// of that decimal number; a value beyond the double range is rejected rather than made infinite.
void CFuncParser::ReadNumber()
{
    std::string szDecimal;
    while (IsDigit(At(m_nPos)))
        szDecimal += At(m_nPos++);
    if (At(m_nPos) == '.') {
        ++m_nPos;
        szDecimal += '.';
        while (IsDigit(At(m_nPos)))
            szDecimal += At(m_nPos++);
    }
    if (At(m_nPos) == 'e' || At(m_nPos) == 'E') {
        ++m_nPos;
        bool bMinus = false;
        if (At(m_nPos) == '+' || At(m_nPos) == '-')
            bMinus = At(m_nPos++) == '-';
        // Exponent digits are consumed in full; a huge exponent saturates (the value then
        // overflows or underflows, as it would have).
        long nExponent = 0;
        while (IsDigit(At(m_nPos))) {
            if (nExponent < 100000)
                nExponent = nExponent * 10 + (At(m_nPos) - '0');
            ++m_nPos;
        }
        szDecimal += bMinus ? "e-" : "e";
        szDecimal += std::to_string(nExponent);
    }
    double dValue = 0.0;
    const auto result = std::from_chars(szDecimal.data(), szDecimal.data() + szDecimal.size(), dValue);
    if (result.ec == std::errc::result_out_of_range) {
        // Out of range both ways: a tiny literal is simply 0, a huge one is refused.
        if (DecimalMagnitude(szDecimal) > 0)
            Error(FuncMessage::NumberTooLarge);
        dValue = 0.0;
    }
    if (!std::isfinite(dValue))
        Error(FuncMessage::NumberTooLarge);
    m_dNumber = dValue;
}
