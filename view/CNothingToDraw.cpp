#include "view/CNothingToDraw.h"

#include <bitset>
#include <cmath>
#include <vector>

#include "expr/CFuncHints.h"
#include "expr/COpcode.h"
#include "project/CProject.h"
#include "project/CShownNumber.h"
#include "view/CViewBox.h"

namespace {
const char* const PREFIX = "Nichts zu zeichnen: ";

std::string Names(const std::vector<unsigned>& slots)
{
    std::string szText;
    for (size_t i = 0; i < slots.size(); ++i)
        szText += (i == 0 ? "" : i + 1 == slots.size() ? " und " : ", ") + ("f" + std::to_string(slots[i] + 1));
    return szText;
}

// The slots (0-based) that some step shows, those with a formula and those without.
void VisibleSlots(const CProject& project, std::vector<unsigned>& drawn, std::vector<unsigned>& empty)
{
    for (unsigned i = 0; i < MAX_FUNCTIONS; ++i) {
        bool bVisible = false;
        for (const CAnimationStep* pStep = project.m_pFirstStep; pStep && !bVisible; pStep = pStep->m_pNext)
            bVisible = pStep->m_bVisible[i];
        if (bVisible)
            (project.m_pFunctions[i] ? drawn : empty).push_back(i);
    }
}

// The functions that slot n reaches through its references, as the slots hold them now (the
// terms' dependency flags may predate a slot filled later).
std::bitset<MAX_FUNCTIONS> Reached(const CProject& project, unsigned n)
{
    std::bitset<MAX_FUNCTIONS> reached, todo;
    todo.set(n);
    while (todo.any()) {
        unsigned k = 0;
        while (!todo[k])
            ++k;
        todo.reset(k);
        std::bitset<MAX_FUNCTIONS> refs;
        if (const CFuncTerm* pTerm = project.m_pFunctions[k].get())
            for (const unsigned nFunction : pTerm->GetDirectRefs())
                if (nFunction >= 1 && nFunction <= MAX_FUNCTIONS)
                    refs.set(nFunction - 1);
        for (unsigned j = 0; j < MAX_FUNCTIONS; ++j) {
            if (refs[j] && project.m_pFunctions[j] && !reached[j]) {
                reached.set(j);
                todo.set(j);
            }
        }
    }
    return reached;
}

// The functions that refer back to slot n, n included, where n refers to itself through them.
std::vector<unsigned> CircleOf(const CProject& project, unsigned n)
{
    const std::bitset<MAX_FUNCTIONS> fromN = Reached(project, n);
    if (!fromN[n])
        return {};
    std::vector<unsigned> circle;
    for (unsigned k = 0; k < MAX_FUNCTIONS; ++k)
        if (fromN[k] && Reached(project, k)[n])
            circle.push_back(k);
    return circle;
}

bool EmptyAxis(const double* pOptions, unsigned nFirst)
{
    const double d0 = pOptions[nFirst], d1 = pOptions[nFirst + 1];
    return !std::isfinite(d0) || !std::isfinite(d1) || d0 == d1;
}
} // namespace

CNothingToDraw::ECause CNothingToDraw::Cause(const CProject& project, const CViewBox& box, std::string& szText)
{
    const double* pOptions = box.m_dView;
    const bool bAuto[2] = {(project.m_nFlags & (1u << FLAG_XAUTO)) != 0, (project.m_nFlags & (1u << FLAG_YAUTO)) != 0};
    const char* const AXES[2] = {"x", "y"};
    auto Number = [&project](double d) { return CShownNumber::Format(project, d); };
    for (unsigned a = 0; a < 2; ++a) {
        if (!bAuto[a] && EmptyAxis(pOptions, 2 * a)) {
            szText = PREFIX + std::string("der ") + AXES[a] + "-Bereich unter Einstellungen ist leer (von " +
                     Number(pOptions[2 * a]) + " bis " + Number(pOptions[2 * a + 1]) + ")";
            return ECause::EmptyRange;
        }
    }

    std::vector<unsigned> drawn, empty;
    VisibleSlots(project, drawn, empty);
    if (drawn.empty()) {
        const bool bOneStep = project.m_pFirstStep && !project.m_pFirstStep->m_pNext;
        szText = PREFIX;
        if (!empty.empty())
            szText += Names(empty) + (empty.size() == 1 ? " ist" : " sind") + " sichtbar, aber ohne g\xFCltige Formel";
        else
            szText += std::string(bOneStep ? "in diesem Animationsschritt" : "in keinem Animationsschritt") +
                      " ist keine Funktion sichtbar. Ein Klick auf das Feld \x84"
                      "f1\x93 links der Formel \xF6"
                      "ffnet "
                      "das Stilmen\xFC; eine Farbe darin macht die Funktion sichtbar";
        return ECause::NoFunction;
    }

    if (!box.m_bAnyPoint) {
        for (const unsigned n : drawn) {
            const std::vector<unsigned> circle = CircleOf(project, n);
            if (circle.empty())
                continue;
            szText = PREFIX + Names(circle) +
                     (circle.size() == 1 ? " verweist auf sich selbst und ist daher nirgends definiert"
                                         : " verweisen im Kreis aufeinander und sind daher nirgends definiert");
            return ECause::Circle;
        }
        szText = PREFIX + std::string("jeder Wert von ") + Names(drawn) + " ist undefiniert";
        if (project.m_pFirstStep) {
            const CAnimationStep& step = *project.m_pFirstStep;
            szText += " (x von " + Number(step.m_dMin[0]) + " bis " + Number(step.GetMax(0)) + ")";
        }
        return ECause::AllUndefined;
    }
    if (!box.m_bAnyView) {
        szText = PREFIX + std::string("die Transformation ist an keinem Punkt definiert");
        return ECause::NoTransformed;
    }

    // An automatic axis from a value to the same one: all points on one line.
    const unsigned a = bAuto[0] && EmptyAxis(pOptions, 0) ? 0 : 1;
    szText = PREFIX + std::string("alle Punkte haben ") + AXES[a] + " = " + Number(pOptions[2 * a]) + ", der " +
             AXES[a] + "-Bereich ist leer";
    if (a == 1)
        szText += "; geben Sie ihn unter Einstellungen von Hand ein";
    // "0,5*x^2" is the point (0, 5x^2): worth saying why.
    for (const unsigned n : drawn) {
        for (const std::string& szHint : CFuncHints::DecimalCommas(project.m_pFunctions[n]->GetText())) {
            szText += ". f" + std::to_string(n + 1) + ": " + szHint;
            return ECause::SameCoordinate;
        }
    }
    return ECause::SameCoordinate;
}
