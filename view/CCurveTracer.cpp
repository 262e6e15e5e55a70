#include "view/CCurveTracer.h"

#include <algorithm>
#include <cmath>

#include "project/CProject.h"
#include "view/CFuncVars.h"
#include "view/CSweepPlan.h"

namespace {
// The x range the view shows; false where it maps nothing.
bool ShownX(const CFuncVars& view, double& dLeft, double& dRight)
{
    if (view.m_dScaleX == 0.0)
        return false;
    double dY;
    view.UnmapPoint(static_cast<int32_t>(view.m_nViewLeft), 0, dLeft, dY);
    view.UnmapPoint(static_cast<int32_t>(view.m_nViewLeft + view.m_nViewWidth), 0, dRight, dY);
    if (dLeft > dRight)
        std::swap(dLeft, dRight);
    return true;
}

// The step's x values run from its start by its increment; the last one by repeated addition may
// differ in the last bits, which no pointer position can tell. An explicit curve whose step
// follows the view is drawn across the view's x range too, and is read there.
void ParameterRange(const CProject& project, const CFuncVars& view, const CCurveTracer::SCurve& curve, double& dFrom,
                    double& dTo)
{
    const CAnimationStep& step = *curve.m_pStep;
    dFrom = step.m_dMin[0];
    dTo = step.m_dMin[0] + step.m_dStep[0] * step.m_nCount[0];
    if (dFrom > dTo)
        std::swap(dFrom, dTo);
    double dLeft, dRight;
    if (curve.m_bExplicit && CSweepPlan::Follows(project, step) && ShownX(view, dLeft, dRight)) {
        dFrom = std::min(dFrom, dLeft);
        dTo = std::max(dTo, dRight);
    }
}

double PixelX(const CFuncVars& view, double x)
{
    return view.PixelX(x);
}
double PixelY(const CFuncVars& view, double y)
{
    return view.PixelY(y);
}
} // namespace

bool CCurveTracer::PointAt(CProject& project, const SCurve& curve, double t, double& x, double& y)
{
    CFuncTerm* pTerm =
        curve.m_nSlot >= 1 && curve.m_nSlot <= MAX_FUNCTIONS ? project.m_pFunctions[curve.m_nSlot - 1].get() : nullptr;
    if (!pTerm || !std::isfinite(t))
        return false;
    CFuncVars vars;
    vars.m_pProject = &project;
    vars.m_dValue[0] = vars.m_dValue[3] = t;
    vars.m_dValue[1] = vars.m_dValue[4] = curve.m_dU;
    vars.m_dValue[2] = vars.m_dValue[5] = curve.m_dV;
    const double* pValues = pTerm->Evaluate(vars);
    const unsigned nValues = pTerm->GetValueCount();
    const unsigned k = 2 * curve.m_nPair;
    if (!pValues || k >= nValues)
        return false;
    x = k + 1 < nValues ? pValues[k] : t;
    y = k + 1 < nValues ? pValues[k + 1] : pValues[k];
    if (project.m_dOptions[OPT_TRMODE] > TRMODE_NONE && !vars.TransformPoint(x, y))
        return false;
    return std::isfinite(x) && std::isfinite(y);
}

bool CCurveTracer::Pick(CProject& project, const CFuncVars& view, int32_t nX, int32_t nY, int32_t nMaxDistance,
                        SCurve& curve)
{
    // The samples as they are drawn: where curves follow the view, across it.
    CSweepPlan sweeps;
    double dLeft, dRight;
    if (CSweepPlan::AnyFollows(project) && ShownX(view, dLeft, dRight))
        sweeps.FollowView(project, dLeft, dRight, view.m_nViewWidth);
    CFuncVars walk;
    walk.m_pSweeps = &sweeps;
    walk.SetupView(&project, project.m_pFirstStep, view.m_nViewWidth, view.m_nViewHeight, view.m_nViewLeft,
                   view.m_nViewTop);
    double dBest = double(nMaxDistance) * nMaxDistance;
    bool bFound = false;
    const bool bTransform = project.m_dOptions[OPT_TRMODE] > TRMODE_NONE;
    double dValues[FUNC_STACK];
    while (const CAnimationStep* pStep = walk.m_pStep) {
        for (unsigned i = 0; i < MAX_FUNCTIONS; ++i) {
            CFuncTerm* pTerm = pStep->m_bVisible[i] ? project.m_pFunctions[i].get() : nullptr;
            if (!pTerm)
                continue;
            const double* pResult = pTerm->Evaluate(walk);
            if (!pResult)
                continue;
            const unsigned nValues = std::min(pTerm->GetValueCount(), FUNC_STACK);
            std::copy(pResult, pResult + nValues, dValues);
            for (unsigned k = 0; k < nValues; k += 2) {
                double x = k + 1 < nValues ? dValues[k] : walk.m_dValue[0];
                double y = k + 1 < nValues ? dValues[k + 1] : dValues[k];
                if (bTransform && !walk.TransformPoint(x, y))
                    continue;
                const double dx = PixelX(view, x) - nX, dy = PixelY(view, y) - nY;
                const double d = dx * dx + dy * dy;
                if (d <= dBest) {
                    dBest = d;
                    bFound = true;
                    curve.m_nSlot = i + 1;
                    curve.m_pStep = pStep;
                    curve.m_dU = walk.m_dValue[1];
                    curve.m_dV = walk.m_dValue[2];
                    curve.m_nPair = k / 2;
                    curve.m_bExplicit = nValues == 1 && !bTransform;
                }
            }
        }
        walk.Advance();
    }
    return bFound;
}

bool CCurveTracer::Follow(CProject& project, const CFuncVars& view, const SCurve& curve, int32_t nX, int32_t nY,
                          double& t, double& x, double& y)
{
    if (!curve.m_pStep)
        return false;
    double dFrom, dTo;
    ParameterRange(project, view, curve, dFrom, dTo);
    if (curve.m_bExplicit) {
        double dPointerY;
        view.UnmapPoint(nX, nY, t, dPointerY);
        t = std::clamp(t, dFrom, dTo);
        return PointAt(project, curve, t, x, y);
    }
    const auto Distance = [&](double s, double& d) {
        double px, py;
        if (!PointAt(project, curve, s, px, py))
            return false;
        const double dx = PixelX(view, px) - nX, dy = PixelY(view, py) - nY;
        d = dx * dx + dy * dy;
        return true;
    };
    const uint32_t nSteps = std::max(1u, std::min(curve.m_pStep->m_nCount[0], MAX_SEARCH));
    const double dStep = (dTo - dFrom) / nSteps;
    double dBest = INFINITY;
    bool bFound = false;
    for (uint32_t k = 0; k <= nSteps; ++k) {
        const double s = k == nSteps ? dTo : dFrom + dStep * k;
        double d;
        if (Distance(s, d) && d < dBest)
            dBest = d, t = s, bFound = true;
    }
    if (!bFound)
        return false;
    // Between the samples: the nearest point of the curve itself.
    const CCurveAnalysis::Function Closeness = [&](double s, double& v) {
        double d;
        if (!Distance(s, d))
            return false;
        v = -d;
        return true;
    };
    double tg, vg;
    if (dStep > 0.0 &&
        CCurveAnalysis::GoldenSection(Closeness, std::max(dFrom, t - dStep), std::min(dTo, t + dStep), true, tg, vg) &&
        -vg <= dBest)
        t = tg;
    return PointAt(project, curve, t, x, y);
}

void CCurveTracer::Analyse(CProject& project, const CFuncVars& view, const SCurve& curve, std::vector<double>& roots,
                           std::vector<CCurveAnalysis::SExtremum>& extrema)
{
    roots.clear();
    extrema.clear();
    if (!curve.m_pStep || view.m_dScaleX == 0.0 || view.m_dScaleY == 0.0)
        return;
    double dFrom, dTo, dLeft, dRight, dTop, dBottom;
    ParameterRange(project, view, curve, dFrom, dTo);
    view.UnmapPoint(static_cast<int32_t>(view.m_nViewLeft), static_cast<int32_t>(view.m_nViewTop), dLeft, dTop);
    view.UnmapPoint(static_cast<int32_t>(view.m_nViewLeft + view.m_nViewWidth),
                    static_cast<int32_t>(view.m_nViewTop + view.m_nViewHeight), dRight, dBottom);
    if (dLeft > dRight)
        std::swap(dLeft, dRight);
    if (curve.m_bExplicit) {
        dFrom = std::max(dFrom, dLeft);
        dTo = std::min(dTo, dRight);
    }
    if (!(dFrom < dTo))
        return;
    const uint32_t nSamples = std::min(MAX_BRACKETS, std::max(curve.m_pStep->m_nCount[0], 2 * view.m_nViewWidth));
    double dLastX = 0.0;
    const CCurveAnalysis::Function f = [&](double t, double& y) { return PointAt(project, curve, t, dLastX, y); };
    // Where the curve meets y = 0 closer than a pixel it passes through; a pole does not.
    std::vector<double> found = CCurveAnalysis::Roots(f, dFrom, dTo, nSamples, 1.0 / std::fabs(view.m_dScaleY));
    const std::vector<CCurveAnalysis::SExtremum> turns = CCurveAnalysis::Extrema(f, dFrom, dTo, nSamples);
    CCurveAnalysis::AddRootsAtExtrema(f, turns, dFrom, dTo, nSamples, found);
    for (double t : found) {
        double x, y;
        if (PointAt(project, curve, t, x, y) && x >= dLeft && x <= dRight)
            roots.push_back(t);
    }
    for (const CCurveAnalysis::SExtremum& e : turns) {
        double x, y;
        if (PointAt(project, curve, e.m_dT, x, y) && x >= dLeft && x <= dRight)
            extrema.push_back(e);
    }
}
