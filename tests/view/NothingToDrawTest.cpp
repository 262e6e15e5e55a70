// CNothingToDraw: why a picture shows no curve, one row per cause.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "project/CProject.h"
#include "view/CNothingToDraw.h"
#include "view/CRangeWalk.h"
#include "view/CViewBox.h"

TEST(NothingToDraw, SaysWhichOfItsCauses)
{
    using E = CNothingToDraw::ECause;
    struct SRow {
        const char* m_pszName;
        std::function<void(CProject&)> m_Set; // on a project with both axes automatic
        E m_eCause;
        const char* m_pszText; // Windows-1252, after "Nichts zu zeichnen: "
    };
    const auto Show = [](CProject& project, unsigned n, const char* pszFormula) {
        project.SetFunction(n, pszFormula);
        project.m_pFirstStep->m_bVisible[n - 1] = true;
    };
    const SRow rows[] = {
        {"hidden", [&](CProject& p) { p.SetFunction(1, "x"); }, E::NoFunction,
         "in diesem Animationsschritt ist keine Funktion sichtbar. Ein Klick auf das Feld \x84"
         "f1\x93 links der "
         "Formel \xF6"
         "ffnet das Stilmen\xFC; eine Farbe darin macht die Funktion sichtbar"},
        {"visible without formula", [&](CProject& p) { p.m_pFirstStep->m_bVisible[2] = true; }, E::NoFunction,
         "f3 ist sichtbar, aber ohne g\xFCltige Formel"},
        {"undefined", [&](CProject& p) { Show(p, 1, "sqrt(-1-x*x)"); }, E::AllUndefined,
         "jeder Wert von f1 ist undefiniert (x von -10 bis 10)"},
        {"itself", [&](CProject& p) { Show(p, 2, "f2(a)+1"); }, E::Circle,
         "f2 verweist auf sich selbst und ist daher nirgends definiert"},
        {"circle",
         [&](CProject& p) {
             Show(p, 1, "f3(a)+1");
             p.SetFunction(3, "f1(a)*2");
         },
         E::Circle, "f1 und f3 verweisen im Kreis aufeinander und sind daher nirgends definiert"},
        {"its own derivative", [&](CProject& p) { Show(p, 2, "f2'+x"); }, E::Circle,
         "f2 verweist auf sich selbst und ist daher nirgends definiert"},
        {"circle of derivatives",
         [&](CProject& p) {
             Show(p, 1, "f3''(a)+1");
             p.SetFunction(3, "f1'*2");
         },
         E::Circle, "f1 und f3 verweisen im Kreis aufeinander und sind daher nirgends definiert"},
        {"transformation",
         [&](CProject& p) {
             Show(p, 1, "x");
             p.SetOption(OPT_TRMODE, TRMODE_USER);
             p.SetTransform("sqrt(-1-fx*fx)");
         },
         E::NoTransformed, "die Transformation ist an keinem Punkt definiert"},
        {"constant", [&](CProject& p) { Show(p, 1, "5"); }, E::SameCoordinate,
         "alle Punkte haben y = 5, der y-Bereich ist leer; geben Sie ihn unter Einstellungen von Hand ein"},
        {"decimal comma", [&](CProject& p) { Show(p, 1, "0,5*x^2"); }, E::SameCoordinate,
         "alle Punkte haben x = 0, der x-Bereich ist leer. f1: Das Komma in \x84"
         "0,5\x93 trennt zwei Werte; "
         "Dezimalzahlen schreibt man mit Punkt: 0.5"},
        {"range by hand",
         [&](CProject& p) {
             Show(p, 1, "x");
             p.SetFlag(FLAG_YAUTO, false);
             p.SetOption(OPT_YMIN, 2);
             p.SetOption(OPT_YMAX, 2);
         },
         E::EmptyRange, "der y-Bereich unter Einstellungen ist leer (von 2 bis 2)"},
    };
    for (const SRow& row : rows) {
        CProject project;
        project.SetFlag(FLAG_XAUTO, true);
        project.SetFlag(FLAG_YAUTO, true);
        for (unsigned i = 0; i < MAX_FUNCTIONS; ++i)
            project.m_pFirstStep->m_bVisible[i] = false;
        row.m_Set(project);
        CRangeWalk walk(project);
        while (walk.Walk(UINT64_MAX)) {
        }
        const CViewBox box = walk.Result();
        ASSERT_TRUE(box.NothingToDraw()) << row.m_pszName;
        std::string szText;
        EXPECT_EQ(CNothingToDraw::Cause(project, box, szText), row.m_eCause) << row.m_pszName;
        EXPECT_EQ(szText, std::string("Nichts zu zeichnen: ") + row.m_pszText) << row.m_pszName;
    }
}
