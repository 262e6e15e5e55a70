#include "render/CCurveSketch.h"

#include <algorithm>
#include <cmath>

#include "project/CProject.h"
#include "render/CCanvas.h"
#include "render/CRenderer.h"
#include "view/CFuncVars.h"
#include "view/CPicturePlan.h"

namespace {
// Whether the values a and b of one function lie on either side of zero, as the drawing with
// breaks at poles tells it.
bool SignChange(double a, double b)
{
    return (a < 0.0) != (b < 0.0);
}
} // namespace

std::unique_ptr<CCurveSketch> CCurveSketch::For(CProject& project, const CPicturePlan& plan)
{
    if (!plan.Summarised())
        return nullptr;
    return std::unique_ptr<CCurveSketch>(new CCurveSketch(project, plan));
}

CCurveSketch::CCurveSketch(CProject& project, const CPicturePlan& plan)
    : m_Project(project), m_nShift(plan.RunShift()), m_nSamples(plan.Samples()), m_nCurves(plan.Curves()),
      m_bBreakPoles(project.m_nFlags & (1u << FLAG_BREAKPOLES))
{
    for (unsigned i = 0; i < MAX_FUNCTIONS; ++i) {
        m_nCurveOf[i] = -1;
        m_nValues[i] = 1;
    }
    for (unsigned c = 0; c < m_nCurves; ++c) {
        const unsigned i = plan.Slot(c);
        m_nSlots[c] = i;
        m_nCurveOf[i] = static_cast<int>(c);
        const CFuncTerm& term = *project.m_pFunctions[i];
        m_nValues[i] = term.GetValueCount();
        for (unsigned v = 0; v < FUNC_NVARS; ++v)
            m_bReads[i][v] = term.GetDepVar()[v] || term.GetDepVar()[SLOT_A + v];
    }
    m_Runs.resize(plan.Runs());
    m_Curves.resize(size_t{plan.Runs()} * m_nCurves);
}

void CCurveSketch::Visited(const CFuncVars& vars)
{
    const uint32_t n = vars.m_nSamples;
    if (n >= m_nSamples || !vars.m_pStep)
        return;
    SRun& run = m_Runs[n >> m_nShift];
    if ((n & ((1u << m_nShift) - 1)) == 0) {
        run.m_pStep = vars.m_pStep;
        for (unsigned i = 0; i < FUNC_NVARS; ++i) {
            run.m_nIndex[i] = vars.m_nIndex[i];
            run.m_dValue[i] = vars.m_dValue[i];
        }
        run.m_nVisited = 0;
        run.m_bRegular = true;
    }
    ++run.m_nVisited;
    run.m_dLastX = vars.m_dValue[0];
    // The drawing connects nothing to the first sample of a step or of a run of x (x back at
    // its start, or an increment too small to move it).
    if (vars.m_bFirstSample || vars.m_dValue[0] == vars.m_pStep->m_dMin[0])
        run.m_bRegular = false;
}

void CCurveSketch::Sample(const CFuncVars& vars, unsigned nFunction, const double* pValues)
{
    const uint32_t n = vars.m_nSamples;
    if (n >= m_nSamples || nFunction >= MAX_FUNCTIONS || m_nCurveOf[nFunction] < 0)
        return;
    SCurve& curve = m_Curves[size_t{n >> m_nShift} * m_nCurves + static_cast<unsigned>(m_nCurveOf[nFunction])];
    if ((n & ((1u << m_nShift) - 1)) == 0) {
        curve.m_nSeen = 0;
        curve.m_bRegular = true;
    }
    // The drawing draws a function that does not read a variable only at its start value.
    for (unsigned v = 0; v < FUNC_NVARS; ++v) {
        if (!m_bReads[nFunction][v] && vars.m_dValue[v] != vars.m_pStep->m_dMin[v])
            return;
    }
    const bool bFirst = curve.m_nSeen++ == 0;
    if (!pValues) {
        curve.m_bRegular = false;
        return;
    }
    const bool bPair = m_nValues[nFunction] == 2;
    const double x = bPair ? pValues[0] : vars.m_dValue[0];
    const double y = bPair ? pValues[1] : pValues[0];
    if (!std::isfinite(x) || !std::isfinite(y)) {
        curve.m_bRegular = false;
        return;
    }
    if (bFirst) {
        curve.m_dFirst[0] = curve.m_dLast[0] = curve.m_dBox[0] = curve.m_dBox[1] = x;
        curve.m_dFirst[1] = curve.m_dLast[1] = curve.m_dBox[2] = curve.m_dBox[3] = y;
        return;
    }
    if (m_bBreakPoles && (SignChange(curve.m_dLast[1], y) || (bPair && SignChange(curve.m_dLast[0], x))))
        curve.m_bRegular = false;
    curve.m_dBox[0] = x < curve.m_dBox[0] ? x : curve.m_dBox[0];
    curve.m_dBox[1] = curve.m_dBox[1] < x ? x : curve.m_dBox[1];
    curve.m_dBox[2] = y < curve.m_dBox[2] ? y : curve.m_dBox[2];
    curve.m_dBox[3] = curve.m_dBox[3] < y ? y : curve.m_dBox[3];
    curve.m_dLast[0] = x;
    curve.m_dLast[1] = y;
}

bool CCurveSketch::Complete() const
{
    uint64_t nSeen = 0;
    for (const SRun& run : m_Runs)
        nSeen += run.m_nVisited;
    return nSeen == m_nSamples;
}

uint32_t CCurveSketch::RunLength(uint32_t nRun) const
{
    const uint32_t nFirst = nRun << m_nShift;
    const uint32_t nLength = 1u << m_nShift;
    return m_nSamples - nFirst < nLength ? m_nSamples - nFirst : nLength;
}

void CCurveSketch::Seek(uint32_t nRun, CFuncVars& vars) const
{
    const SRun& run = m_Runs[nRun];
    vars.Seek(run.m_pStep, run.m_nIndex, run.m_dValue, RunStart(nRun));
}

bool CCurveSketch::DrawRun(uint32_t nRun, CFuncVars& vars, CCanvas& canvas, int32_t nPenMultiplier) const
{
    const SRun& run = m_Runs[nRun];
    const uint32_t nLength = RunLength(nRun);
    if (!run.m_bRegular || run.m_nVisited != nLength)
        return false;
    struct SDraw {
        unsigned m_nSlot;
        const SCurve* m_pCurve;
        SPoint m_Points[5];
        unsigned m_nPoints;
        bool m_bDot;       // a dot at the first point, where no segment leads into it
        int32_t m_nBox[4]; // what it paints lies within: x0 x1 y0 y1
    };
    SDraw draws[MAX_FUNCTIONS];
    unsigned nDraws = 0;
    const CAnimationStep& step = *run.m_pStep;
    for (unsigned c = 0; c < m_nCurves; ++c) {
        const SCurve& curve = m_Curves[size_t{nRun} * m_nCurves + c];
        if (curve.m_nSeen == 0) // not drawn in this run
            continue;
        if (curve.m_nSeen != nLength || !curve.m_bRegular)
            return false;
        const unsigned i = m_nSlots[c];
        SPoint low, high, first, last;
        vars.MapPoint(curve.m_dBox[0], curve.m_dBox[2], low.x, low.y, false);
        vars.MapPoint(curve.m_dBox[1], curve.m_dBox[3], high.x, high.y, false);
        vars.MapPoint(curve.m_dFirst[0], curve.m_dFirst[1], first.x, first.y, false);
        vars.MapPoint(curve.m_dLast[0], curve.m_dLast[1], last.x, last.y, false);
        const bool bColumn = low.x == high.x;
        const bool bRow = low.y == high.y;
        SDraw& draw = draws[nDraws++];
        draw.m_nSlot = i;
        draw.m_pCurve = &curve;
        draw.m_nPoints = 0;
        if (!step.m_bConnect) {
            // Dots: only all in one pixel are they one dot.
            if (!bColumn || !bRow)
                return false;
            draw.m_Points[draw.m_nPoints++] = first;
            draw.m_bDot = true;
        } else {
            const bool bEntry = vars.m_nLastX[i] != INT_MAX;
            // A sign change into the run may be a pole, which the drawing probes for.
            if (bEntry && m_bBreakPoles &&
                (SignChange(vars.m_dLastValue[i][0], m_nValues[i] == 2 ? curve.m_dFirst[0] : curve.m_dFirst[1]) ||
                 (m_nValues[i] == 2 && SignChange(vars.m_dLastValue[i][1], curve.m_dFirst[1]))))
                return false;
            if (!bColumn && !bRow)
                return false;
            if (bEntry)
                draw.m_Points[draw.m_nPoints++] = {vars.m_nLastX[i], vars.m_nLastY[i]};
            draw.m_bDot = !bEntry;
            draw.m_Points[draw.m_nPoints++] = first;
            if (bColumn) {
                draw.m_Points[draw.m_nPoints++] = {low.x, std::min(low.y, high.y)};
                draw.m_Points[draw.m_nPoints++] = {low.x, std::max(low.y, high.y)};
            } else {
                draw.m_Points[draw.m_nPoints++] = {std::min(low.x, high.x), low.y};
                draw.m_Points[draw.m_nPoints++] = {std::max(low.x, high.x), low.y};
            }
            draw.m_Points[draw.m_nPoints++] = last;
        }
        // A thin line paints within the box of its ends, a wide one half its width beyond.
        const int64_t nWidth = int64_t{nPenMultiplier > 0 ? nPenMultiplier : 0} * step.m_nWidth[i];
        const int32_t nMargin =
            nWidth <= 1 ? 0 : static_cast<int32_t>(std::min<int64_t>(nWidth, CRenderer::MAX_PEN_WIDTH)) / 2 + 1;
        draw.m_nBox[0] = draw.m_nBox[2] = INT32_MAX;
        draw.m_nBox[1] = draw.m_nBox[3] = INT32_MIN;
        for (unsigned k = 0; k < draw.m_nPoints; ++k) {
            const SPoint& p = draw.m_Points[k];
            draw.m_nBox[0] = std::min(draw.m_nBox[0], p.x - nMargin);
            draw.m_nBox[1] = std::max(draw.m_nBox[1], p.x + nMargin);
            draw.m_nBox[2] = std::min(draw.m_nBox[2], p.y - nMargin);
            draw.m_nBox[3] = std::max(draw.m_nBox[3], p.y + nMargin);
        }
    }
    // Curves whose pixels may meet are painted in the order of their samples.
    for (unsigned a = 0; a < nDraws; ++a) {
        for (unsigned b = a + 1; b < nDraws; ++b) {
            const int32_t* p = draws[a].m_nBox;
            const int32_t* q = draws[b].m_nBox;
            if (p[0] <= q[1] && q[0] <= p[1] && p[2] <= q[3] && q[2] <= p[3])
                return false;
        }
    }
    for (unsigned d = 0; d < nDraws; ++d) {
        const SDraw& draw = draws[d];
        const unsigned i = draw.m_nSlot;
        CRenderer::SetCurvePen(m_Project, step, i, nPenMultiplier, canvas);
        if (draw.m_bDot) {
            canvas.MoveTo(draw.m_Points[0].x, draw.m_Points[0].y);
            canvas.LineTo(draw.m_Points[0].x + 1, draw.m_Points[0].y + 1);
        }
        for (unsigned k = 0; k + 1 < draw.m_nPoints; ++k)
            canvas.Polyline(draw.m_Points + k, 2);
        const SPoint& last = draw.m_Points[draw.m_nPoints - 1];
        vars.m_nLastX[i] = last.x;
        vars.m_nLastY[i] = last.y;
        if (m_bBreakPoles) {
            const SCurve& curve = *draw.m_pCurve;
            vars.m_dLastParam[i] = run.m_dLastX;
            vars.m_dLastValue[i][0] = m_nValues[i] == 2 ? curve.m_dLast[0] : curve.m_dLast[1];
            vars.m_dLastValue[i][1] = m_nValues[i] == 2 ? curve.m_dLast[1] : 0.0;
        }
    }
    return true;
}
