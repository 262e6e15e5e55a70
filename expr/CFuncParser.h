#pragma once
// Tokenizer of the expression language: holds one current token of a formula text at a time.
#include <cstdint>
#include <string>

#include "expr/EFuncError.h"

enum ETokenKind : uint8_t {
    TK_END = 0,
    TK_NUMBER = 1,
    TK_NAME = 3,
    TK_COMMA = 4,
    TK_LPAREN = 5,
    TK_RPAREN = 6,
    TK_PLUS = 7,
    TK_MINUS = 8,
    TK_MUL = 9,
    TK_DIV = 10,
    TK_POW = 11,
    TK_LT = 12,
    TK_GT = 13,
    TK_LE = 14,
    TK_GE = 15,
    TK_NE = 16,
    TK_EQ = 17,
    TK_AND = 18,
    TK_OR = 19,
    TK_QUESTION = 20,
    TK_COLON = 21,
    TK_LBRACE = 22,
    TK_RBRACE = 23,
    TK_LBRACKET = 24,
    TK_RBRACKET = 25
};

class CFuncParser {
public:
    static constexpr int NAME_SIZE = 1024; // a name keeps its first 1023 characters

    // Copies the text and reads the first token; may throw EFuncError.
    explicit CFuncParser(const char* pszText);

    ETokenKind NextToken();
    [[noreturn]] void Error(const char* pszMessage) const;

    std::string m_pszText;
    int32_t m_nPos = 0;  // next unread character
    int32_t m_nMark = 0; // first character of the current token
    ETokenKind m_nToken = TK_END;
    char m_szName[NAME_SIZE] = {};
    // Apostrophes written directly after the current name (f1' f1''), not part of m_szName.
    unsigned m_nPrimes = 0;
    double m_dNumber = 0.0;

private:
    char At(int32_t nPos) const { return nPos < static_cast<int32_t>(m_pszText.size()) ? m_pszText[nPos] : '\0'; }
    void ReadName();
    void ReadNumber();
};
