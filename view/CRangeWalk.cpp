#include "view/CRangeWalk.h"

#include "project/CProject.h"

namespace {
// Widens [dMin, dMax] to take d; the first point of a walk sets both ends.
inline void Widen(double d, double& dMin, double& dMax, bool bFirst)
{
    if (dMin > d || bFirst)
        dMin = d;
    if (dMax < d || bFirst)
        dMax = d;
}
} // namespace

CRangeWalk::CRangeWalk(CProject& project)
    : m_Project(project), m_bXAuto(project.m_nFlags & (1u << FLAG_XAUTO)),
      m_bYAuto(project.m_nFlags & (1u << FLAG_YAUTO))
{
    if (!m_bXAuto && !m_bYAuto && !(project.m_dOptions[OPT_TRMODE] > TRMODE_NONE)) {
        m_bDone = true;
        return;
    }
    m_Vars.SetupView(&project, project.m_pFirstStep, 100, 100, 0, 0);
    for (const CAnimationStep* pStep = project.m_pFirstStep; pStep; pStep = pStep->m_pNext) {
        double dSamples = 1.0;
        for (unsigned i = 0; i < FUNC_NVARS; ++i)
            dSamples *= double(pStep->m_nCount[i]) + 1.0;
        m_dTotal += dSamples;
    }
    m_bDone = m_Vars.m_pStep == nullptr;
}

bool CRangeWalk::Walk(uint64_t nSamples)
{
    for (uint64_t n = 0; n < nSamples && !m_bDone; ++n) {
        Visit();
        m_Vars.Advance();
        m_dWalked += 1.0;
        m_bDone = m_Vars.m_pStep == nullptr;
    }
    return !m_bDone;
}

double CRangeWalk::Progress() const
{
    if (m_bDone || m_dTotal <= 0.0)
        return 1.0;
    return m_dWalked < m_dTotal ? m_dWalked / m_dTotal : 1.0;
}

void CRangeWalk::Visit()
{
    const CAnimationStep* pStep = m_Vars.m_pStep;
    double dValues[FUNC_STACK];
    // Visibility first: most slots are hidden, and this runs once per sample.
    for (unsigned i = pStep->NextVisible(0); i < MAX_FUNCTIONS; i = pStep->NextVisible(i + 1)) {
        CFuncTerm* pTerm = m_Project.m_pFunctions[i].get();
        if (!pTerm)
            continue;
        const double* pResult = pTerm->Evaluate(m_Vars);
        if (!pResult)
            continue;
        // The transformation evaluates another term, which may empty this one's cache.
        const unsigned nValues = pTerm->GetValueCount();
        CFuncTerm::CopyValues(dValues, pResult, nValues);
        for (unsigned k = 0; k < nValues; k += 2) {
            double x = k + 1 < nValues ? dValues[k] : m_Vars.m_dValue[0];
            double y = k + 1 < nValues ? dValues[k + 1] : dValues[k];
            Widen(x, m_dRaw[0], m_dRaw[1], m_bFirst);
            Widen(y, m_dRaw[2], m_dRaw[3], m_bFirst);
            if (m_Vars.TransformPoint(x, y)) {
                Widen(x, m_dBounds[0], m_dBounds[1], m_bFirst);
                Widen(y, m_dBounds[2], m_dBounds[3], m_bFirst);
            }
            m_bFirst = false;
        }
    }
}

void CRangeWalk::Finish()
{
    for (unsigned i = 0; i < 4; ++i)
        m_Project.m_dRawBounds[i] = m_dRaw[i];
    if (m_bXAuto) {
        m_Project.SetOption(OPT_XMIN, m_dBounds[0]);
        m_Project.SetOption(OPT_XMAX, m_dBounds[1]);
    }
    if (m_bYAuto) {
        m_Project.SetOption(OPT_YMIN, m_dBounds[2]);
        m_Project.SetOption(OPT_YMAX, m_dBounds[3]);
    }
}
