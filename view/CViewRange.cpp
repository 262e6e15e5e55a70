#include "view/CViewRange.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>

#include "project/CProject.h"
#include "view/CFuncVars.h"
#include "view/CPicturePlan.h"
#include "view/CRangeTail.h"
#include "view/CRangeWalk.h"
#include "view/CViewBox.h"

void CViewRange::DetermineRange(CProject& project, CSampleSink* pSink)
{
    Range(project, pSink).WriteTo(project);
}

CViewBox CViewRange::Range(CProject& project, CSampleSink* pSink, const CPicturePlan* pPlan)
{
    CRangeWalk walk(project, pSink, pSink != nullptr);
    // A long sweep of one function: its last part on a second processor meanwhile.
    const std::unique_ptr<CRangeTail> pTail =
        walk.Done() ? nullptr : CRangeTail::For(project, pSink, pPlan ? *pPlan : CPicturePlan(project, false));
    if (pTail) {
        walk.Walk(pTail->First());
        walk.JoinTail(*pTail);
    }
    while (walk.Walk(UINT64_MAX)) {
    }
    return walk.Result();
}

void CViewRange::ShiftView(CProject& project, double dX, double dY)
{
    const double* pOptions = project.m_dOptions;
    project.SetOption(OPT_XMIN, pOptions[OPT_XMIN] + dX);
    project.SetOption(OPT_XMAX, pOptions[OPT_XMAX] + dX);
    project.SetOption(OPT_YMIN, pOptions[OPT_YMIN] + dY);
    project.SetOption(OPT_YMAX, pOptions[OPT_YMAX] + dY);
}

namespace {
// Whether a view of half width dHalf about dCentre still tells nPixels pixels apart by a few
// representable steps each, far from the smallest numbers where the steps grow coarse.
bool Resolves(double dCentre, double dHalf, int32_t nPixels)
{
    constexpr double STEPS_PER_PIXEL = 64.0;
    constexpr double SMALLEST = 1e-280;
    const double dMagnitude = std::max(std::fabs(dCentre) + dHalf, SMALLEST);
    return 2.0 * dHalf >= STEPS_PER_PIXEL * std::max(nPixels, 1) * DBL_EPSILON * dMagnitude;
}
} // namespace

bool CViewRange::ZoomView(CProject& project, double dFactor, uint32_t nWidth, uint32_t nHeight)
{
    CFuncVars vars;
    vars.SetupView(&project, nullptr, nWidth, nHeight, 0, 0);
    double dX0, dYt, dX1, dYb;
    // Pixel sizes beyond the int range do not occur on a paint surface; clamp rather than wrap.
    const auto nW = static_cast<int32_t>(nWidth > INT32_MAX ? INT32_MAX : nWidth);
    const auto nH = static_cast<int32_t>(nHeight > INT32_MAX ? INT32_MAX : nHeight);
    vars.UnmapPoint(0, 0, dX0, dYt);
    vars.UnmapPoint(nW, nH, dX1, dYb);
    // In halves, which is the same for every view whose width is a double and right for wider
    // ones (-1e308 ... 1e308).
    const double dCx = dX0 * 0.5 + dX1 * 0.5;
    const double dCy = dYb * 0.5 + dYt * 0.5;
    const double dHalfW = (dX1 * 0.5 - dX0 * 0.5) / dFactor;
    const double dHalfH = (dYt * 0.5 - dYb * 0.5) / dFactor;
    // (An unmappable view, all zero, is left to what the mapping makes of it.)
    const bool bMappable = dHalfW != 0.0 && dHalfH != 0.0;
    if (dFactor > 1.0 && bMappable && (!Resolves(dCx, std::fabs(dHalfW), nW) || !Resolves(dCy, std::fabs(dHalfH), nH)))
        return false;
    // A zoom out beyond the largest numbers stops at the view it has.
    if (!std::isfinite(dCx - dHalfW) || !std::isfinite(dCx + dHalfW) || !std::isfinite(dCy - dHalfH) ||
        !std::isfinite(dCy + dHalfH))
        return false;
    project.SetOption(OPT_XMIN, dCx - dHalfW);
    project.SetOption(OPT_XMAX, dCx + dHalfW);
    project.SetOption(OPT_YMIN, dCy - dHalfH);
    project.SetOption(OPT_YMAX, dCy + dHalfH);
    return true;
}

bool CViewRange::NothingToDraw(const CProject& project)
{
    return CViewBox::Of(project).NothingToDraw();
}
