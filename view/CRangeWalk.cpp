#include "view/CRangeWalk.h"

#include <cmath>

#include "expr/CCpuState.h"
#include "project/CProject.h"
#include "view/CProgress.h"
#include "view/CRangeTail.h"
#include "view/CSampleSink.h"
#include "view/CSliceClock.h"
#include "view/CWorkBudget.h"

namespace {
// Widens [dMin, dMax] to take d, without a branch: a sweep makes a new end at nearly every
// sample, then none for a long time. A NaN d widens nothing, as a comparison with it fails.
inline void WidenAxis(double d, double& dMin, double& dMax)
{
    dMin = d < dMin ? d : dMin;
    dMax = dMax < d ? d : dMax;
}
} // namespace

void CRangeWalk::Widen(double x, double y, double (&dBox)[4], bool bFirst)
{
    if (bFirst) {
        dBox[0] = dBox[1] = x;
        dBox[2] = dBox[3] = y;
    } else {
        WidenAxis(x, dBox[0], dBox[1]);
        WidenAxis(y, dBox[2], dBox[3]);
    }
}

CRangeWalk::CRangeWalk(CProject& project, CSampleSink* pSink, bool bAlways)
    : m_Project(project), m_pSink(pSink), m_bXAuto(project.m_nFlags & (1u << FLAG_XAUTO)),
      m_bYAuto(project.m_nFlags & (1u << FLAG_YAUTO)),
      m_bRange(m_bXAuto || m_bYAuto || project.m_dOptions[OPT_TRMODE] > TRMODE_NONE)
{
    if (!m_bRange && !(bAlways && pSink)) {
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

bool CRangeWalk::Walk(uint64_t nSamples, CSliceClock* pClock)
{
    // Nothing else runs during one call, so the functions to visit and the transformation are
    // looked up once per step and call rather than at every sample.
    CCpuState::Clean(); // whatever ran before (drawing, the window) may have left it dirty
    const CAnimationStep* pListed = nullptr;
    SVisit visit;
    visit.m_bPlain = !m_bDone && m_Vars.TransformsNothing();
    for (uint64_t n = 0; n < nSamples && !m_bDone; ++n) {
        if (m_Vars.m_pStep != pListed) {
            pListed = m_Vars.m_pStep;
            visit.m_nTerms = 0;
            for (unsigned i = pListed->NextVisible(0); i < MAX_FUNCTIONS; i = pListed->NextVisible(i + 1)) {
                if (CFuncTerm* pTerm = m_Project.m_pFunctions[i].get()) {
                    visit.m_pTerms[visit.m_nTerms] = pTerm;
                    visit.m_nSlots[visit.m_nTerms++] = i;
                }
            }
        }
        // A sample left within its functions at the end of the last slice is visited already.
        if (m_pSink && m_nTerm == 0)
            m_pSink->Visited(m_Vars);
        if (!Visit(visit, pClock))
            break;
        m_Vars.Advance();
        m_dWalked += 1.0;
        m_bDone = m_Vars.m_pStep == nullptr;
        if (pClock && pClock->SliceOver())
            break;
    }
    return !m_bDone;
}

double CRangeWalk::Progress() const
{
    if (m_bDone || m_dTotal <= 0.0)
        return 1.0;
    return m_dWalked < m_dTotal ? m_dWalked / m_dTotal : 1.0;
}

bool CRangeWalk::Visit(const SVisit& visit, CSliceClock* pClock)
{
    double dValues[FUNC_STACK];
    for (unsigned t = m_nTerm; t < visit.m_nTerms; ++t) {
        CFuncTerm* pTerm = visit.m_pTerms[t];
        const double* pResult = pTerm->Evaluate(m_Vars);
        if (!pResult) // perhaps cut off by the work limit: a row of such values may take long
            CWorkBudget::Check();
        if (m_pSink)
            m_pSink->Sample(m_Vars, visit.m_nSlots[t], pResult);
        if (pResult) {
            // The transformation evaluates another term, which may empty this one's cache.
            const unsigned nValues = pTerm->GetValueCount();
            CFuncTerm::CopyValues(dValues, pResult, nValues);
            for (unsigned k = 0; k < nValues; k += 2) {
                double x = k + 1 < nValues ? dValues[k] : m_Vars.m_dValue[0];
                double y = k + 1 < nValues ? dValues[k + 1] : dValues[k];
                Widen(x, y, m_dRaw, m_bFirst);
                if (visit.m_bPlain) {
                    Widen(x, y, m_dBounds, m_bFirst);
                    m_bAnyView = true;
                } else {
                    const bool bDefined = m_Vars.TransformPoint(x, y);
                    if (bDefined) {
                        Widen(x, y, m_dBounds, m_bFirst);
                        m_bAnyView = true;
                    }
                    if (m_pSink)
                        m_pSink->Transformed(m_Vars, visit.m_nSlots[t], k / 2, x, y, bDefined);
                }
                m_bFirst = false;
            }
        }
        // Each value may cost up to the work limit: a slice may end between two of them.
        if (pClock && t + 1 < visit.m_nTerms && pClock->SliceOver()) {
            m_nTerm = t + 1;
            return false;
        }
    }
    m_nTerm = 0;
    return true;
}

bool CRangeWalk::AtTail(const CRangeTail& tail) const
{
    return !m_bDone && m_nTerm == 0 && m_Vars.m_pStep == tail.Step() && m_Vars.m_nSamples == tail.First();
}

bool CRangeWalk::JoinTail(CRangeTail& tail)
{
    if (!AtTail(tail) || !tail.Wait())
        return false;
    // Function values are finite (the evaluator faults on anything else), and so are their
    // transformed points: the tail's boxes join the bounds by their corners as its points would
    // one by one. As Visit does, the first point of all sets the bounds only where its
    // transformed point is defined; otherwise the bounds it leaves (zero) are widened.
    const CRangeTail::SPoints& points = tail.Points();
    const auto Join = [&](const double(&dFrom)[4], double(&dBox)[4], bool bFirst) {
        Widen(dFrom[0], dFrom[2], dBox, bFirst);
        Widen(dFrom[1], dFrom[3], dBox, false);
    };
    if (points.m_bAnyView) {
        Join(points.m_dView, m_dBounds, m_bFirst && points.m_bFirstView);
        m_bAnyView = true;
    }
    if (points.m_bAny) {
        Join(points.m_dBox, m_dRaw, m_bFirst);
        m_bFirst = false;
    }
    m_Vars.Reset(nullptr);
    m_bDone = true;
    m_dWalked += tail.Count();
    CProgress::Tick(uint64_t{tail.Count()});
    return true;
}

CViewBox CRangeWalk::Result() const
{
    CViewBox box = CViewBox::Of(m_Project);
    for (unsigned i = 0; i < 4; ++i) {
        box.m_dRaw[i] = m_bRange ? m_dRaw[i] : 0.0;
        if (i < 2 ? m_bXAuto : m_bYAuto)
            box.m_dView[i] = m_dBounds[i];
    }
    box.m_bAnyPoint = AnyPoint();
    box.m_bAnyView = AnyView();
    // A margin keeps the extremes off the frame, where the curve would merge with the edge.
    if (m_Project.m_nFlags & (1u << FLAG_RANGEMARGIN)) {
        for (unsigned i = 0; i < 4; i += 2) {
            const double dMargin = (m_dBounds[i + 1] - m_dBounds[i]) * RANGE_MARGIN;
            if ((i == 0 ? m_bXAuto : m_bYAuto) && dMargin > 0.0 && std::isfinite(dMargin) &&
                std::isfinite(m_dBounds[i] - dMargin) && std::isfinite(m_dBounds[i + 1] + dMargin)) {
                box.m_dView[i] = m_dBounds[i] - dMargin;
                box.m_dView[i + 1] = m_dBounds[i + 1] + dMargin;
            }
        }
    }
    return box;
}

void CRangeWalk::Finish()
{
    Result().WriteTo(m_Project);
}
