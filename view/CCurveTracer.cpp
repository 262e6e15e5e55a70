#include "view/CCurveTracer.h"

#include <algorithm>
#include <cmath>

#include "project/CProject.h"
#include "view/CDerivative.h"
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

namespace {
// Where the curve is analysed: its parameter range, for an explicit curve within the visible x
// range ([dLeft, dRight]), and how many samples bracket there. False where nothing is visible.
bool AnalysisRange(const CProject& project, const CFuncVars& view, const CCurveTracer::SCurve& curve, double& dFrom,
                   double& dTo, double& dLeft, double& dRight, uint32_t& nSamples)
{
    if (!curve.m_pStep || view.m_dScaleX == 0.0 || view.m_dScaleY == 0.0)
        return false;
    double dTop, dBottom;
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
    nSamples = std::min(CCurveTracer::MAX_BRACKETS, std::max(curve.m_pStep->m_nCount[0], 2 * view.m_nViewWidth));
    return dFrom < dTo;
}

CFuncTerm* TermOf(const CProject& project, const CCurveTracer::SCurve& curve)
{
    return curve.m_nSlot >= 1 && curve.m_nSlot <= MAX_FUNCTIONS ? project.m_pFunctions[curve.m_nSlot - 1].get()
                                                                : nullptr;
}
} // namespace

void CCurveTracer::Analyse(CProject& project, const CFuncVars& view, const SCurve& curve, std::vector<double>& roots,
                           std::vector<CCurveAnalysis::SExtremum>& extrema)
{
    roots.clear();
    extrema.clear();
    double dFrom, dTo, dLeft, dRight;
    uint32_t nSamples;
    if (!AnalysisRange(project, view, curve, dFrom, dTo, dLeft, dRight, nSamples))
        return;
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

namespace {
// A derivative the differences cannot tell from zero is zero: the slope at an extremum, the bend
// of a straight line, whose differences are rounding noise of either sign.
bool NumericalDerivative(const CCurveAnalysis::Function& f, double t, unsigned nOrder, double dStep, double& d)
{
    double dError;
    if (!CDerivative::Numerical(f, t, nOrder, dStep, d, &dError))
        return false;
    if (std::fabs(d) <= 2.0 * dError)
        d = 0.0;
    return true;
}
} // namespace

bool CCurveTracer::Derivative(CProject& project, const CFuncVars& view, const SCurve& curve, double t, unsigned nOrder,
                              double& dx, double& dy)
{
    CFuncTerm* pTerm = curve.m_pStep ? TermOf(project, curve) : nullptr;
    if (!pTerm || !std::isfinite(t))
        return false;
    // Exact where the term is derived by its program (automatic differentiation): undefined where
    // it is not differentiable. A transformation lies outside the term: its points are differenced.
    if (project.m_dOptions[OPT_TRMODE] <= TRMODE_NONE) {
        CFuncVars vars;
        vars.m_pProject = &project;
        vars.m_dValue[0] = vars.m_dValue[3] = t;
        vars.m_dValue[1] = vars.m_dValue[4] = curve.m_dU;
        vars.m_dValue[2] = vars.m_dValue[5] = curve.m_dV;
        const double* pValues = pTerm->EvaluateDerivative(nOrder, vars);
        const unsigned nValues = pTerm->GetValueCount();
        const unsigned k = 2 * curve.m_nPair;
        if (!pValues || k >= nValues)
            return false;
        dx = k + 1 < nValues ? pValues[k] : (nOrder == 1 ? 1.0 : 0.0);
        dy = k + 1 < nValues ? pValues[k + 1] : pValues[k];
        return std::isfinite(dx) && std::isfinite(dy);
    }
    double dFrom, dTo;
    ParameterRange(project, view, curve, dFrom, dTo);
    // Differences start a couple of pixels wide, where the curve is drawn straight.
    double dStep = curve.m_bExplicit && view.m_dScaleX != 0.0 ? 2.0 / std::fabs(view.m_dScaleX) : (dTo - dFrom) / 500;
    if (!(dStep > 0.0) || !std::isfinite(dStep))
        dStep = std::max(1e-3, std::fabs(t) * 1e-3);
    double x, y;
    const CCurveAnalysis::Function fx = [&](double s, double& v) { return PointAt(project, curve, s, v, y); };
    const CCurveAnalysis::Function fy = [&](double s, double& v) { return PointAt(project, curve, s, x, v); };
    if (curve.m_bExplicit)
        dx = nOrder == 1 ? 1.0 : 0.0;
    else if (!NumericalDerivative(fx, t, nOrder, dStep, dx))
        return false;
    return NumericalDerivative(fy, t, nOrder, dStep, dy);
}

bool CCurveTracer::Tangent(CProject& project, const CFuncVars& view, const SCurve& curve, double t, STangent& tangent)
{
    double dx, dy;
    if (!PointAt(project, curve, t, tangent.m_dX, tangent.m_dY) || !Derivative(project, view, curve, t, 1, dx, dy))
        return false;
    if (dx == 0.0 && dy == 0.0)
        return false; // the curve stands still there: no direction
    tangent.m_dDirX = dx;
    tangent.m_dDirY = dy;
    tangent.m_bUpright = dx == 0.0 || !std::isfinite(dy / dx);
    tangent.m_dSlope = tangent.m_bUpright ? 0.0 : dy / dx;
    tangent.m_dIntercept = tangent.m_bUpright ? 0.0 : tangent.m_dY - tangent.m_dSlope * tangent.m_dX;
    return true;
}

CCurveTracer::STangent CCurveTracer::Normal(const STangent& tangent)
{
    STangent normal = tangent;
    normal.m_dDirX = -tangent.m_dDirY;
    normal.m_dDirY = tangent.m_dDirX;
    normal.m_bUpright = normal.m_dDirX == 0.0 || !std::isfinite(normal.m_dDirY / normal.m_dDirX);
    normal.m_dSlope = normal.m_bUpright ? 0.0 : normal.m_dDirY / normal.m_dDirX;
    normal.m_dIntercept = normal.m_bUpright ? 0.0 : normal.m_dY - normal.m_dSlope * normal.m_dX;
    return normal;
}

std::vector<CCurveTracer::SCurve> CCurveTracer::Partners(const CProject& project, const SCurve& curve)
{
    std::vector<SCurve> partners;
    if (!curve.m_pStep || !curve.m_bExplicit)
        return partners;
    for (unsigned i = 0; i < MAX_FUNCTIONS; ++i) {
        const CFuncTerm* pTerm = curve.m_pStep->m_bVisible[i] ? project.m_pFunctions[i].get() : nullptr;
        if (!pTerm || i + 1 == curve.m_nSlot || pTerm->GetValueCount() != 1)
            continue;
        SCurve other = curve;
        other.m_nSlot = i + 1;
        other.m_nPair = 0;
        partners.push_back(other);
    }
    return partners;
}

void CCurveTracer::Intersect(CProject& project, const CFuncVars& view, const SCurve& curve, const SCurve& other,
                             std::vector<double>& meets)
{
    meets.clear();
    double dFrom, dTo, dLeft, dRight, dOtherFrom, dOtherTo;
    uint32_t nSamples;
    if (!curve.m_bExplicit || !other.m_bExplicit || !other.m_pStep ||
        !AnalysisRange(project, view, curve, dFrom, dTo, dLeft, dRight, nSamples))
        return;
    ParameterRange(project, view, other, dOtherFrom, dOtherTo);
    dFrom = std::max(dFrom, dOtherFrom);
    dTo = std::min(dTo, dOtherTo);
    if (!(dFrom < dTo))
        return;
    double x;
    const CCurveAnalysis::Function f = [&](double t, double& y) { return PointAt(project, curve, t, x, y); };
    const CCurveAnalysis::Function g = [&](double t, double& y) { return PointAt(project, other, t, x, y); };
    meets = CCurveAnalysis::Intersections(f, g, dFrom, dTo, nSamples, 1.0 / std::fabs(view.m_dScaleY));
}

void CCurveTracer::Inflect(CProject& project, const CFuncVars& view, const SCurve& curve, std::vector<double>& points)
{
    points.clear();
    double dFrom, dTo, dLeft, dRight;
    uint32_t nSamples;
    if (!curve.m_bExplicit || !AnalysisRange(project, view, curve, dFrom, dTo, dLeft, dRight, nSamples))
        return;
    double x;
    const CCurveAnalysis::Function f = [&](double t, double& y) { return PointAt(project, curve, t, x, y); };
    const CCurveAnalysis::Function d2 = [&](double t, double& y) {
        double dx;
        return Derivative(project, view, curve, t, 2, dx, y);
    };
    // The second derivative costs a few dozen values: a sample every other pixel brackets.
    nSamples = std::min(nSamples, std::max(2u, view.m_nViewWidth));
    points = CCurveAnalysis::Inflections(f, d2, dFrom, dTo, nSamples, 1.0 / std::fabs(view.m_dScaleY));
}

void CCurveTracer::YIntercepts(CProject& project, const CFuncVars& view, const SCurve& curve, std::vector<double>& ts)
{
    ts.clear();
    double dFrom, dTo;
    if (!curve.m_pStep || !TermOf(project, curve))
        return;
    ParameterRange(project, view, curve, dFrom, dTo);
    double x, y;
    if (curve.m_bExplicit) {
        if (dFrom <= 0.0 && dTo >= 0.0 && PointAt(project, curve, 0.0, x, y))
            ts.push_back(0.0);
        return;
    }
    if (view.m_dScaleX == 0.0)
        return;
    const uint32_t nSamples = std::min(MAX_BRACKETS, std::max(curve.m_pStep->m_nCount[0], 2 * view.m_nViewWidth));
    const CCurveAnalysis::Function fx = [&](double t, double& v) { return PointAt(project, curve, t, v, y); };
    ts = CCurveAnalysis::Roots(fx, dFrom, dTo, nSamples, 1.0 / std::fabs(view.m_dScaleX));
    CCurveAnalysis::AddRootsAtExtrema(fx, CCurveAnalysis::Extrema(fx, dFrom, dTo, nSamples), dFrom, dTo, nSamples, ts);
}

namespace {
// The explicit curve's value less the other's (or the x axis's) at x.
CCurveAnalysis::Function Between(CProject& project, const CCurveTracer::SCurve& curve,
                                 const CCurveTracer::SCurve* pOther)
{
    return [&project, curve, pOther](double t, double& d) {
        double x, y, z = 0.0;
        if (!CCurveTracer::PointAt(project, curve, t, x, y) ||
            (pOther && !CCurveTracer::PointAt(project, *pOther, t, x, z)))
            return false;
        d = y - z;
        return std::isfinite(d);
    };
}
} // namespace

bool CCurveTracer::Area(CProject& project, const SCurve& curve, const SCurve* pOther, double a, double b,
                        CCurveAnalysis::SIntegral& area)
{
    if (!curve.m_pStep || !curve.m_bExplicit || (pOther && !pOther->m_bExplicit))
        return false;
    return CCurveAnalysis::Integrate(Between(project, curve, pOther), a, b, area);
}

void CCurveTracer::AreaStrips(CProject& project, const SCurve& curve, const SCurve* pOther, double a, double b,
                              unsigned nStrips, std::vector<CAnalysisMarks::SStrip>& strips)
{
    strips.clear();
    if (!curve.m_pStep || !curve.m_bExplicit || !std::isfinite(a) || !std::isfinite(b))
        return;
    if (a > b)
        std::swap(a, b);
    nStrips = std::max(nStrips, 1u);
    for (unsigned i = 0; i <= nStrips; ++i) {
        const double t = i == nStrips ? b : a + (b - a) * (double(i) / nStrips);
        double x, y, z = 0.0;
        if (PointAt(project, curve, t, x, y) && (!pOther || PointAt(project, *pOther, t, x, z)))
            strips.push_back({t, z, y});
    }
}
