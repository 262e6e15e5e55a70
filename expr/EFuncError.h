#pragma once
// The compile error of the expression language: a fixed message and where in the text it arose.
// Messages are Windows-1252 text, like everything the core hands to the window.
#include <cstdint>
#include <string>

#include "expr/SkipBlanks.h"

struct EFuncError {
    const char* m_pszMessage;
    int32_t m_nPosition; // 0-based index into the text the compiler received

    // What the window shows after " bei: ": the typed text as the compiler saw it (without its
    // leading blanks) from the error on, at most nMax characters; empty at or past its end.
    std::string Excerpt(const std::string& szTyped, size_t nMax = 999) const
    {
        const size_t nPos = LeadingBlanks(szTyped) + static_cast<size_t>(m_nPosition < 0 ? 0 : m_nPosition);
        return nPos < szTyped.size() ? szTyped.substr(nPos, nMax) : std::string();
    }
};

// Every message the tokenizer and the compiler can raise.
namespace FuncMessage {
inline constexpr const char* InvalidChar = "Ung\xFCltiges Zeichen";
inline constexpr const char* OperatorOrEnd = "Operator oder Ende des Ausdrucks erwartet";
inline constexpr const char* UnexpectedEnd = "Unerwartetes Ende des Ausdrucks";
inline constexpr const char* UnexpectedSymbol = "Unerwartetes Symbol";
inline constexpr const char* UnknownName = "Unbekannte Funktion oder Variable";
inline constexpr const char* LParenExpected = "( erwartet";
inline constexpr const char* RParenExpected = ") erwartet";
inline constexpr const char* RBraceExpected = "} erwartet";
inline constexpr const char* RBracketExpected = "] erwartet";
inline constexpr const char* NumberTooLarge = "Zahl zu gro\xDF";
inline constexpr const char* TooComplex = "Ausdruck zu komplex";
inline constexpr const char* TooLong = "Formel zu lang";
inline constexpr const char* DerivativeOfName = "Ableiten lassen sich nur die Funktionen f1 bis f50";
inline constexpr const char* TooManyPrimes = "Nur erste und zweite Ableitung: f1' oder f1''";
} // namespace FuncMessage
