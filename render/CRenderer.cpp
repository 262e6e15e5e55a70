#include "render/CRenderer.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>

#include "project/CProject.h"
#include "render/CCanvas.h"
#include "view/CCurveAnalysis.h"
#include "view/CFuncVars.h"
#include "view/CWorkBudget.h"

namespace {
constexpr unsigned POINT_BUFFER = 40; // 25 points from 50 values, plus the connecting point

int32_t Clamp32(int64_t n)
{
    return n > INT32_MAX ? INT32_MAX : n < INT32_MIN ? INT32_MIN : static_cast<int32_t>(n);
}

// The pixel distance of one grid step: the distance between the mapped points 0 and dGrid, but
// taken before MapPoint clamps, so that a view far from the origin keeps its grid.
double GridSpacing(double dGrid, double dOrigin, double dScale)
{
    return std::fabs(std::trunc((dGrid - dOrigin) * dScale) - std::trunc((0.0 - dOrigin) * dScale));
}

// A jump that is to be a break shows: at least this many pixels between the two points.
constexpr double POLE_MIN_JUMP = 2.0;

// Whether the function's last drawn sample and the current one (values pNow) lie on either side
// of a pole or a step: some value changes sign, and halving the parameter interval around the
// sign change does not bring the two points closer than a pixel. A continuous curve, however
// steep, passes through: its points meet at the sign change.
bool SeparatedByPole(const CFuncVars& vars, CFuncTerm& term, unsigned i, unsigned nValues, const double* pNow)
{
    const double* pBefore = vars.m_dLastValue[i];
    unsigned k = 0;
    while (k < nValues && (pBefore[k] < 0.0) == (pNow[k] < 0.0))
        ++k;
    if (k == nValues)
        return false;
    CFuncVars probe(vars);
    const bool bTransform = vars.m_pProject->m_dOptions[OPT_TRMODE] > TRMODE_NONE;
    const auto Place = [&](double t, const double* pValues, CCurveAnalysis::SProbe& p) {
        double x = nValues == 1 ? t : pValues[0];
        double y = nValues == 1 ? pValues[0] : pValues[1];
        p.m_dT = t;
        p.m_dValue = pValues[k];
        if (bTransform && !probe.TransformPoint(x, y))
            return false;
        p.m_dX = vars.PixelX(x);
        p.m_dY = vars.PixelY(y);
        return true;
    };
    const auto Probe = [&](double t, CCurveAnalysis::SProbe& p) {
        probe.m_dValue[0] = probe.m_dValue[FUNC_NVARS] = t;
        const double* pValues = term.Evaluate(probe);
        return pValues && Place(t, pValues, p);
    };
    CCurveAnalysis::SProbe a, b;
    const double t0 = vars.m_dLastParam[i];
    const double t1 = vars.m_dValue[0];
    probe.m_dValue[0] = probe.m_dValue[FUNC_NVARS] = t0;
    const bool bA = Place(t0, pBefore, a);
    probe.m_dValue[0] = probe.m_dValue[FUNC_NVARS] = t1;
    if (!bA || !Place(t1, pNow, b))
        return false;
    if (std::max(std::fabs(a.m_dX - b.m_dX), std::fabs(a.m_dY - b.m_dY)) < POLE_MIN_JUMP)
        return false;
    return CCurveAnalysis::Narrow(Probe, a, b) != CCurveAnalysis::EJump::Continuous;
}

// Visits dValue, dValue + dStep, ... (by repeated addition) while the value is at most dLast. Stops
// after nLimit values, and where adding the step no longer moves the value (1e20 + 1 == 1e20).
template <class F> uint32_t Walk(double dValue, double dStep, double dLast, uint32_t nLimit, F visit)
{
    uint32_t n = 0;
    while (n < nLimit && dValue <= dLast) {
        visit(dValue);
        ++n;
        const double dNext = dValue + dStep;
        if (!(dNext > dValue))
            break;
        dValue = dNext;
    }
    return n;
}

// Label positions k * dGrid for k = trunc(dFirst / dGrid), k + 1, ... while k * dGrid <= dLast.
template <class F> void WalkLabels(double dFirst, double dGrid, double dLast, F visit)
{
    double k = std::trunc(dFirst / dGrid);
    for (uint32_t n = 0; n < CRenderer::MAX_GRID_LINES && k * dGrid <= dLast; ++n) {
        visit(k * dGrid);
        if (!(k + 1.0 > k))
            break;
        k += 1.0;
    }
}
} // namespace

bool CRenderer::DrawSample(CFuncVars& vars, CCanvas& canvas, int32_t nPenMultiplier)
{
    const CAnimationStep* pStep = vars.m_pStep;
    if (!pStep)
        return false;
    CProject& project = *vars.m_pProject;
    bool bAtStart[FUNC_NVARS];
    for (unsigned i = 0; i < FUNC_NVARS; ++i)
        bAtStart[i] = vars.m_dValue[i] == pStep->m_dMin[i];
    const bool bBreakPoles = project.m_nFlags & (1u << FLAG_BREAKPOLES);

    SPoint points[POINT_BUFFER];
    double dValues[FUNC_STACK];
    for (unsigned i = pStep->NextVisible(0); i < MAX_FUNCTIONS; i = pStep->NextVisible(i + 1)) {
        CFuncTerm* pTerm = project.m_pFunctions[i].get();
        if (!pTerm)
            continue;
        // A function that does not read a variable is drawn once per run of that variable.
        if (!pTerm->AreDepsValid())
            pTerm->UpdateDependencies();
        bool bSkip = false;
        for (unsigned v = 0; v < FUNC_NVARS; ++v) {
            if (!pTerm->GetDepVar()[v] && !pTerm->GetDepVar()[SLOT_A + v] && !bAtStart[v])
                bSkip = true;
        }
        if (bSkip)
            continue;

        const double* pResult = pTerm->Evaluate(vars);
        if (!pResult) {
            vars.m_nLastX[i] = INT_MAX;
            CWorkBudget::Check(); // perhaps cut off by the work limit
            continue;
        }
        const unsigned nValues = pTerm->GetValueCount() < FUNC_STACK ? pTerm->GetValueCount() : FUNC_STACK;
        // Mapping through the transformation evaluates another term, which may empty this one's
        // cache.
        CFuncTerm::CopyValues(dValues, pResult, nValues);

        unsigned n = 0;
        if (nValues <= 2 && pStep->m_bConnect && !bAtStart[0] && !vars.m_bFirstSample && vars.m_nLastX[i] != INT_MAX &&
            !(bBreakPoles && SeparatedByPole(vars, *pTerm, i, nValues, dValues)))
            points[n++] = {vars.m_nLastX[i], vars.m_nLastY[i]};
        for (unsigned k = 0; k < nValues && n < POINT_BUFFER; k += 2) {
            const double x = k + 1 < nValues ? dValues[k] : vars.m_dValue[0];
            const double y = k + 1 < nValues ? dValues[k + 1] : dValues[k];
            if (vars.MapPoint(x, y, points[n].x, points[n].y, true))
                ++n;
        }

        if (n == 0) {
            vars.m_nLastX[i] = INT_MAX;
            continue;
        }
        SetCurvePen(project, *pStep, i, nPenMultiplier, canvas);
        if (n > 1) {
            canvas.Polyline(points, static_cast<int32_t>(n));
        } else {
            canvas.MoveTo(points[0].x, points[0].y);
            canvas.LineTo(points[0].x + 1, points[0].y + 1);
        }
        vars.m_nLastX[i] = points[n - 1].x;
        vars.m_nLastY[i] = points[n - 1].y;
        if (bBreakPoles && nValues <= 2) {
            vars.m_dLastParam[i] = vars.m_dValue[0];
            vars.m_dLastValue[i][0] = dValues[0];
            vars.m_dLastValue[i][1] = nValues == 2 ? dValues[1] : 0.0;
        }
    }
    return vars.Advance();
}

void CRenderer::SetCurvePen(const CProject& project, const CAnimationStep& step, unsigned nFunction,
                            int32_t nPenMultiplier, CCanvas& canvas)
{
    // The style comes from a file and is used unchecked nowhere else: a colour outside the
    // palette draws black, a width is kept within what a pen can sensibly be.
    const uint32_t nColor = step.m_nColor[nFunction];
    const int64_t nWidth = int64_t{nPenMultiplier > 0 ? nPenMultiplier : 0} * step.m_nWidth[nFunction];
    canvas.SetPenColor(nColor < static_cast<uint32_t>(project.m_nPaletteSize) ? project.m_pPalette[nColor] : 0);
    canvas.SetPenWidth(static_cast<int32_t>(nWidth < MAX_PEN_WIDTH ? nWidth : MAX_PEN_WIDTH));
    canvas.SetPenSolid();
}

uint32_t CRenderer::BackgroundColor(const CProject& project)
{
    const double dIndex = project.m_dOptions[OPT_BGCOLOR];
    return dIndex >= 0.0 && dIndex < project.m_nPaletteSize ? project.m_pPalette[static_cast<int32_t>(dIndex)] : 0;
}

uint32_t CRenderer::ContrastColor(uint32_t nBackground)
{
    const auto Linear = [](uint32_t nChannel) {
        const double c = (nChannel & 0xFF) / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const double L =
        0.2126 * Linear(nBackground) + 0.7152 * Linear(nBackground >> 8) + 0.0722 * Linear(nBackground >> 16);
    // White's contrast (1.05 / (L + 0.05)) beats black's ((L + 0.05) / 0.05) below this.
    return (L + 0.05) * (L + 0.05) < 1.05 * 0.05 ? 0xFFFFFF : 0x000000;
}

void CRenderer::DrawBackground(const CProject& project, CCanvas& canvas, int32_t nWidth, int32_t nHeight)
{
    const uint32_t nColor = BackgroundColor(project);
    canvas.SetPenColor(nColor);
    canvas.SetPenWidth(1);
    canvas.SetPenSolid();
    canvas.SetBrushColor(nColor);
    canvas.SetBrushStyle(EBrushStyle::Solid);
    canvas.Rectangle(0, 0, nWidth, nHeight);
    canvas.SetPenColor(ContrastColor(nColor));
}

void CRenderer::DrawGrid(CFuncVars& vars, CCanvas& canvas, uint32_t nAxisColor)
{
    const CProject& project = *vars.m_pProject;
    const double* pOptions = project.m_dOptions;
    const uint32_t nFlags = project.m_nFlags;
    const double gx = std::fabs(pOptions[OPT_XGRID]);
    const double gy = std::fabs(pOptions[OPT_YGRID]);
    const double fx = gx * 0.1;
    const double fy = gy * 0.1;
    const bool bTg = pOptions[OPT_TRMODE] > TRMODE_NONE && (nFlags & (1u << FLAG_TRANSFORMGRID));
    const int32_t nLeft = Clamp32(vars.m_nViewLeft);
    const int32_t nTop = Clamp32(vars.m_nViewTop);
    const int32_t nRight = Clamp32(int64_t{vars.m_nViewLeft} + vars.m_nViewWidth);
    const int32_t nBottom = Clamp32(int64_t{vars.m_nViewTop} + vars.m_nViewHeight);

    double X0, X1, Y0, Y1, W, H;
    if (bTg) {
        X0 = vars.m_dRawBounds[0];
        X1 = vars.m_dRawBounds[1];
        Y0 = vars.m_dRawBounds[2];
        Y1 = vars.m_dRawBounds[3];
        if (X0 > X1)
            std::swap(X0, X1);
        if (Y0 > Y1)
            std::swap(Y0, Y1);
        W = H = 100.0;
    } else {
        vars.UnmapPoint(nLeft, nTop, X0, Y1);
        vars.UnmapPoint(nRight, nBottom, X1, Y0);
        W = GridSpacing(gx, vars.m_dOriginX, vars.m_dScaleX);
        H = GridSpacing(gy, vars.m_dOriginY, vars.m_dScaleY);
    }
    // On the transformed grid a distance of 0 would place every line and label on the same spot;
    // that axis is left out, and so are the dotted lines across it, whose dots it spaces.
    const bool bXSteps = !bTg || gx > 0.0;
    const bool bYSteps = !bTg || gy > 0.0;

    canvas.SetPenColor(GRID_COLOR);
    canvas.SetPenWidth(1);
    canvas.SetPenSolid();
    uint32_t nDots = 0;
    auto Dot = [&](double x, double y) {
        ++nDots;
        int32_t nX, nY;
        if (vars.MapGridPoint(x, y, nX, nY, bTg))
            canvas.SetPixel(nX, nY, GRID_COLOR);
    };
    auto DotLimit = [&] {
        const uint32_t nLeftOver = MAX_GRID_DOTS - nDots;
        return nLeftOver < MAX_GRID_DOTS_PER_LINE ? nLeftOver : MAX_GRID_DOTS_PER_LINE;
    };

    // Lines parallel to the x axis.
    if ((nFlags & (1u << FLAG_YGRID)) && H >= 5.0 && bYSteps) {
        Walk(std::trunc(Y0 / gy) * gy, gy, Y1, MAX_GRID_LINES, [&](double y) {
            if (W < 20.0) {
                int32_t nX, nY;
                vars.MapGridPoint(0.0, y, nX, nY, false);
                canvas.MoveTo(nLeft, nY);
                canvas.LineTo(nRight, nY);
            } else if (bXSteps) {
                Walk(std::trunc(X0 / fx) * fx, fx, X1, DotLimit(), [&](double x) { Dot(x, y); });
            }
        });
    }
    // Lines parallel to the y axis.
    if ((nFlags & (1u << FLAG_XGRID)) && W >= 5.0 && bXSteps) {
        Walk(std::trunc(X0 / gx) * gx, gx, X1, MAX_GRID_LINES, [&](double x) {
            if (H < 20.0) {
                int32_t nX, nY;
                vars.MapGridPoint(x, 0.0, nX, nY, false);
                canvas.MoveTo(nX, nTop);
                canvas.LineTo(nX, nBottom);
            } else if (bYSteps) {
                Walk(std::trunc(Y0 / fy) * fy, fy, Y1, DotLimit(), [&](double y) { Dot(x, y); });
            }
        });
    }

    canvas.SetPenColor(nAxisColor);
    const uint32_t nAxisFlags = (1u << FLAG_SHOWAXIS) | (1u << FLAG_XGRID) | (1u << FLAG_YGRID);
    if ((nFlags & nAxisFlags) && !bTg) {
        int32_t nX, nY;
        vars.MapGridPoint(0.0, 0.0, nX, nY, false);
        canvas.MoveTo(nLeft, nY);
        canvas.LineTo(nRight, nY);
        canvas.MoveTo(nX, nTop);
        canvas.LineTo(nX, nBottom);
    }

    if (!(nFlags & (1u << FLAG_SHOWAXIS)))
        return;
    canvas.SetFontSize(8);
    canvas.SetFontColor(nAxisColor);
    canvas.SetBrushStyle(EBrushStyle::Clear);
    const int32_t nTextHeight = canvas.TextHeight("0");
    auto Label = [&](double x, double y, double dNumber) {
        int32_t nX, nY;
        if (!vars.MapGridPoint(x, y, nX, nY, bTg))
            return;
        canvas.TextOut(nX, Clamp32(int64_t{nY} - nTextHeight), FormatNumber(dNumber).c_str());
        DrawCross(canvas, nX, nY);
    };
    if (H >= 20.0 && bYSteps)
        WalkLabels(Y0, gy, Y1, [&](double y) { Label(0.0, y, y); });
    if (W >= 20.0 && bXSteps) {
        const double c = bTg ? Y1 : 0.0;
        WalkLabels(X0, gx, X1, [&](double x) { Label(x, c, x); });
    }
}

void CRenderer::DrawCross(CCanvas& canvas, int32_t x, int32_t y)
{
    canvas.MoveTo(Clamp32(int64_t{x} - 3), y);
    canvas.LineTo(Clamp32(int64_t{x} + 3), y);
    canvas.MoveTo(x, Clamp32(int64_t{y} - 3));
    canvas.LineTo(x, Clamp32(int64_t{y} + 3));
}

std::string CRenderer::FormatNumber(double dValue)
{
    char szBuffer[64];
    std::snprintf(szBuffer, sizeof szBuffer, "%20.8lg", dValue);
    const char* pszPoint = std::localeconv()->decimal_point;
    std::string szText;
    for (const char* p = szBuffer; *p; ++p) {
        if (*p == ' ' && szText.empty())
            continue;
        if (pszPoint && *pszPoint && *pszPoint != '.' && *p == *pszPoint)
            szText += '.';
        else
            szText += *p;
    }
    return szText;
}
