// CFuncHints: formulas that compile but may not say what they seem to, and those that do.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CFunctionTable.h"
#include "expr/CFuncHints.h"

namespace {
std::string Joined(const std::vector<std::string>& hints)
{
    std::string szText;
    for (const std::string& szHint : hints)
        szText += (szText.empty() ? "" : " | ") + szHint;
    return szText;
}
} // namespace

TEST(Hints, DecimalCommaAndArgumentsOfTheFormulaItself)
{
    struct SRow {
        const char* m_pszFormula; // of f2
        const char* m_pszHints;   // Windows-1252, joined by " | "
    };
    const SRow rows[] = {
        {"0,5*x^2", "Das Komma in \x84"
                    "0,5\x93 trennt zwei Werte; Dezimalzahlen schreibt man mit Punkt: 0.5"},
        {"sin(x)*1,25e2, 3,5", "Das Komma in \x84"
                               "1,25e2\x93 und \x84"
                               "3,5\x93 trennt zwei Werte; Dezimalzahlen schreibt man mit Punkt: "
                               "1.25e2 und 3.5"},
        {"x, 5", ""},     // a blank after the comma: two values as meant
        {"x,5", ""},      // no number before the comma
        {"2.5,5", ""},    // no whole number before it
        {"x // 0,5", ""}, // a comment
        {"a*x^2+b", "a steht hier f\xFCr x und b f\xFCr u; erst ein Aufruf wie f2(2, 3) setzt a und b"},
        {"N*c", "N steht hier f\xFCr x und c f\xFCr v; erst ein Aufruf wie f2(2, 3, 4) setzt N und c"},
        {"fy", "fy steht hier f\xFCr u; erst ein Aufruf wie f2(2, 3) setzt fy"},
        {"x*u+v+random+rand+d", ""}, // random numbers read a ... d only for the cache
        {"f1(x-2)", ""},             // f1 reads a
        {"sin(fx1)", ""},
    };
    for (const SRow& row : rows) {
        EXPECT_EQ(Joined(CFuncHints::OfText(2, row.m_pszFormula)), row.m_pszHints) << row.m_pszFormula;
    }
}

TEST(Hints, ReferencesWhoseArgumentsGoUnread)
{
    CFunctionTable table;
    table.SetFunction(1, "x^2");     // reads x, not a
    table.SetFunction(3, "a^2 + c"); // reads a and c
    table.SetFunction(4, "5");       // reads nothing
    table.SetFunction(5, "f3");      // reads a and c through f3
    table.SetFunction(6, "u*x");     // reads u and x
    struct SRow {
        const char* m_pszFormula;
        const char* m_pszHints;
    };
    const SRow rows[] = {
        {"f1(x-2)", "f1 verwendet kein Argument: schreiben Sie f1 mit a statt x"},
        {"f1(x-2) + f1(3) + f1", "f1 verwendet kein Argument: schreiben Sie f1 mit a statt x"},
        {"f3(x-2)", ""},
        {"f3(x, 1, 2)", "f3 verwendet das 2. Argument nicht"},
        {"f5(x, 1, 2, 3)", "f5 verwendet das 2. und 4. Argument nicht"},
        {"f4(1)", "f4 verwendet kein Argument"},
        {"f6(1, 2)", "f6 verwendet kein Argument: schreiben Sie f6 mit a statt x und b statt u"},
        {"x > 0 ? f1(x) : 0", "f1 verwendet kein Argument: schreiben Sie f1 mit a statt x"},
        {"f7(2)", ""}, // an empty slot is undefined, nothing to hint
        {"f1", ""},
        // Derivatives: their arguments like a reference's; of an empty slot, undefined everywhere.
        {"f1'(x-2)", "f1 verwendet kein Argument: schreiben Sie f1 mit a statt x"},
        {"f3''(x) + f4'", ""},
        {"f7''(x) + f7' + f1 + f8(2) + f9'",
         "f7 ist leer, f7'' daher nirgends definiert | f9 ist leer, f9' daher nirgends definiert"},
        {"x // f7'", ""},
    };
    for (const SRow& row : rows) {
        table.SetFunction(2, row.m_pszFormula);
        EXPECT_EQ(Joined(CFuncHints::OfReferences(*table.GetFunction(2))), row.m_pszHints) << row.m_pszFormula;
    }
}
