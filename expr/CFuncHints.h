#pragma once
// Hints on formulas that compile but may not say what they seem to: a decimal comma, which
// separates two values; a, b and c, which stand for x, u and v where a function is drawn by itself;
// a reference whose arguments the referenced function never reads. They never stop a formula.
#include <string>
#include <vector>

class CFuncTerm;

class CFuncHints {
public:
    // The hints of a formula's own text for function nFunction (1 ... 50): decimal commas, and
    // a, b, c read where the function is drawn by itself. The text must compile. One
    // Windows-1252 sentence each; none for a formula that means what it says.
    static std::vector<std::string> OfText(unsigned nFunction, const std::string& szText);
    // The hints that depend on the other functions: references whose arguments go unread, and
    // derivatives of empty slots. The referenced terms are looked up through the term's document.
    static std::vector<std::string> OfReferences(CFuncTerm& term);
    // Only the decimal commas: for the transformation term, where a and b are the point's fx
    // and fy by design.
    static std::vector<std::string> DecimalCommas(const std::string& szText);
};

// The wording of the hints, in one place as the compile messages are.
namespace FuncHint {
inline constexpr const char* CommaSeparates = "Das Komma in ";
inline constexpr const char* CommaRest = " trennt zwei Werte; Dezimalzahlen schreibt man mit Punkt: ";
inline constexpr const char* StandsFor = " steht hier f\xFCr ";
inline constexpr const char* For = " f\xFCr ";
inline constexpr const char* ArgumentsSet = "; erst ein Aufruf wie ";
inline constexpr const char* Sets = " setzt ";
inline constexpr const char* NoArgument = " verwendet kein Argument";
inline constexpr const char* UsesThe = " verwendet das ";
inline constexpr const char* ArgumentUnused = " Argument nicht";
inline constexpr const char* WriteWith = ": schreiben Sie ";
inline constexpr const char* With = " mit ";
inline constexpr const char* Instead = " statt ";
inline constexpr const char* And = " und ";
inline constexpr const char* IsEmpty = " ist leer, ";
inline constexpr const char* NowhereDefined = " daher nirgends definiert";
} // namespace FuncHint
