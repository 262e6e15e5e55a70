#include "render/CCurveSketch.h"

#include <cmath>

#include "project/CProject.h"
#include "render/CCanvas.h"
#include "render/CRenderer.h"
#include "view/CFuncVars.h"
#include "view/CProgress.h"
#include "view/CViewRange.h"

CCurveSketch::CCurveSketch(CAnimationStep* pStep, unsigned nFunction, uint32_t nSamples)
    : m_pStep(pStep), m_nFunction(nFunction), m_nSamples(nSamples)
{
    while ((uint64_t{nSamples} + (1u << m_nShift) - 1) >> m_nShift > MAX_RUNS)
        ++m_nShift;
    m_Runs.resize((uint64_t{nSamples} + (1u << m_nShift) - 1) >> m_nShift);
}

std::unique_ptr<CCurveSketch> CCurveSketch::For(CProject& project)
{
    CAnimationStep* pStep = project.m_pFirstStep;
    // Drawn as the plain drawing draws it: connected, untransformed, unbroken at poles, and after
    // a range determination that walks it.
    if (!pStep || !pStep->m_bConnect)
        return nullptr;
    if (project.m_dOptions[OPT_TRMODE] > TRMODE_NONE || (project.m_nFlags & (1u << FLAG_BREAKPOLES)) ||
        !(project.m_nFlags & (1u << FLAG_XAUTO | 1u << FLAG_YAUTO)))
        return nullptr;
    const uint64_t nSamples = uint64_t{pStep->m_nCount[0]} + 1;
    if (nSamples < MIN_SAMPLES || nSamples > UINT32_MAX)
        return nullptr;
    // Two curves would not do: which one paints a shared pixel last depends on the order.
    const unsigned nFunction = CViewRange::SingleSweep(project);
    if (nFunction == MAX_FUNCTIONS)
        return nullptr;
    return std::unique_ptr<CCurveSketch>(new CCurveSketch(pStep, nFunction, static_cast<uint32_t>(nSamples)));
}

void CCurveSketch::Sample(const CFuncVars& vars, unsigned nFunction, const double* pValues)
{
    if (nFunction != m_nFunction || vars.m_pStep != m_pStep)
        return;
    const uint32_t nIndex = vars.m_nIndex[0];
    if (nIndex >= m_nSamples)
        return;
    SRun& run = m_Runs[nIndex >> m_nShift];
    const double x = vars.m_dValue[0];
    const bool bStart = (nIndex & ((1u << m_nShift) - 1)) == 0;
    if (bStart) {
        run.m_dFirstX = x;
        run.m_bRegular = true;
    }
    ++run.m_nSeen;
    // Where x has not left its start (an increment too small for it), the drawing connects
    // nothing.
    if (!pValues || !std::isfinite(pValues[0]) || (nIndex > 0 && x == m_pStep->m_dMin[0])) {
        run.m_bRegular = false;
        return;
    }
    const double y = pValues[0];
    if (bStart) {
        run.m_dFirst = run.m_dLow = run.m_dHigh = y;
    } else {
        if (y < run.m_dLow)
            run.m_dLow = y;
        if (y > run.m_dHigh)
            run.m_dHigh = y;
    }
    run.m_dLastX = x;
    run.m_dLast = y;
}

bool CCurveSketch::Complete() const
{
    uint64_t nSeen = 0;
    for (const SRun& run : m_Runs)
        nSeen += run.m_nSeen;
    return nSeen == m_nSamples;
}

uint32_t CCurveSketch::RunLength(uint32_t nRun) const
{
    const uint32_t nFirst = nRun << m_nShift;
    const uint32_t nLength = 1u << m_nShift;
    return m_nSamples - nFirst < nLength ? m_nSamples - nFirst : nLength;
}

bool CCurveSketch::Summarised(const CFuncVars& vars, uint32_t nRun, SPoint* pPoints) const
{
    // The first run starts the curve with a dot and the last one ends it; the one before must be
    // defined throughout, so that the run is joined to the point before it.
    if (nRun == 0 || nRun + 1 >= m_Runs.size())
        return false;
    const SRun& run = m_Runs[nRun];
    if (!m_Runs[nRun - 1].m_bRegular || !run.m_bRegular)
        return false;
    vars.MapPoint(run.m_dFirstX, run.m_dFirst, pPoints[0].x, pPoints[0].y, false);
    vars.MapPoint(run.m_dLastX, run.m_dLast, pPoints[3].x, pPoints[3].y, false);
    // x only grows or only falls along the run: all its points share the column of both ends.
    if (pPoints[0].x != pPoints[3].x)
        return false;
    vars.MapPoint(run.m_dFirstX, run.m_dLow, pPoints[1].x, pPoints[1].y, false);
    vars.MapPoint(run.m_dFirstX, run.m_dHigh, pPoints[2].x, pPoints[2].y, false);
    return true;
}

void CCurveSketch::Draw(CFuncVars& vars, CCanvas& canvas, int32_t nPenMultiplier) const
{
    const CProject& project = *vars.m_pProject;
    const unsigned i = m_nFunction;
    bool bAtWalk = false; // vars stands at the first sample of the run
    for (uint32_t nRun = 0; nRun < m_Runs.size(); ++nRun) {
        const uint32_t nLength = RunLength(nRun);
        // The segment into the run's first point, then down and up its column, as the samples
        // between would have painted it.
        SPoint points[5];
        points[0] = {vars.m_nLastX[i], vars.m_nLastY[i]};
        if (!Summarised(vars, nRun, points + 1)) {
            if (!bAtWalk)
                vars.SeekX(m_pStep, nRun << m_nShift, m_Runs[nRun].m_dFirstX);
            for (uint32_t k = 0; k < nLength; ++k)
                CRenderer::DrawSample(vars, canvas, nPenMultiplier);
            bAtWalk = true;
            continue;
        }
        CRenderer::SetCurvePen(project, *m_pStep, i, nPenMultiplier, canvas);
        for (unsigned k = 0; k < 4; ++k)
            canvas.Polyline(points + k, 2);
        vars.m_nLastX[i] = points[4].x;
        vars.m_nLastY[i] = points[4].y;
        CProgress::Tick(uint64_t{nLength});
        bAtWalk = false;
    }
    // The last run is drawn sample by sample, so the walk has ended.
}
