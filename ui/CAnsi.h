#pragma once
// The window's edge: the core's Windows-1252 text to and from QString.
#include <QString>
#include <string>

namespace Ansi {
QString ToQString(const std::string& szAnsi);
inline QString ToQString(const char* pszAnsi)
{
    return ToQString(std::string(pszAnsi ? pszAnsi : ""));
}
// A character Windows-1252 has not becomes cReplacement. Formulas pass a byte of 128 or above, so
// that the compiler reports it as what it is, an invalid character, instead of losing it.
std::string FromQString(const QString& szText, char cReplacement = '?');
constexpr char FORMULA_REPLACEMENT = '\x81';

// The excerpt of a compile error in the text as typed: without its leading blanks, from the
// error's position on, at most 999 characters. Every character of the typed text is one byte of
// the compiled text, so the position counts characters here; the user sees what he typed.
QString Excerpt(const QString& szTyped, int nPosition);
} // namespace Ansi
