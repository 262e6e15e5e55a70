#include "render/CRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "project/CProject.h"
#include "project/CShownNumber.h"
#include "render/CCanvas.h"
#include "view/CCurveAnalysis.h"
#include "view/CFuncVars.h"
#include "view/CSampleLog.h"
#include "view/CWorkBudget.h"

namespace {
// Axis labels carry the document's decimal sign in every picture: screen, files, print, frames.
std::string AxisNumber(const CFuncVars& vars, double dValue)
{
    return CShownNumber::Format(dValue, vars.m_pProject && CShownNumber::Comma(*vars.m_pProject));
}

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
constexpr double PI = 3.14159265358979323846;

void DrawClassicLabels(CFuncVars& vars, CCanvas& canvas, uint32_t nAxisColor, bool bTg, double gx, double gy, double W,
                       double H, double X0, double X1, double Y0, double Y1, double dPiMultiple, int32_t nPiDivisor);

// Labels placed to be read: beside their ticks, never under one; at the frame where the axis lies
// outside the picture; one zero at the origin.
struct SLabels {
    CFuncVars& m_Vars;
    CCanvas& m_Canvas;
    int32_t m_nLeft, m_nTop, m_nRight, m_nBottom;
    uint32_t m_nAxisColor;
    static constexpr int32_t GAP = 5; // between a tick's centre and its text; the arms reach 3

    void Draw(double gx, double gy, double W, double H, double X0, double X1, double Y0, double Y1, double dPiMultiple,
              int32_t nPiDivisor)
    {
        m_Canvas.SetFontSize(8);
        m_Canvas.SetFontColor(m_nAxisColor);
        m_Canvas.SetBrushStyle(EBrushStyle::Clear);
        const int32_t nTextHeight = m_Canvas.TextHeight("0");
        // Where the axes run, or the frame they lie beyond.
        int32_t nAxisX, nAxisY;
        m_Vars.MapGridPoint(0.0, 0.0, nAxisX, nAxisY, false);
        const bool bYAxisShown = nAxisX >= m_nLeft && nAxisX < m_nRight;
        const bool bXAxisShown = nAxisY >= m_nTop && nAxisY < m_nBottom;
        const int32_t nColumn = std::clamp(nAxisX, m_nLeft, m_nRight - 1);
        const int32_t nRow = std::clamp(nAxisY, m_nTop, m_nBottom - 1);
        // The x labels below their axis where there is room, else above it.
        const bool bXLabelsBelow = nRow + GAP + nTextHeight <= m_nBottom - 1 && nAxisY < m_nBottom;

        if (H >= 20.0) {
            WalkLabels(Y0, gy, Y1, [&](double y) {
                int32_t nX, nY;
                m_Vars.MapGridPoint(0.0, y, nX, nY, false);
                if (nY < m_nTop || nY >= m_nBottom)
                    return;
                const bool bZero = y == 0.0;
                // The zero of both axes is written once, by the x axis.
                if (bZero && bYAxisShown && bXAxisShown)
                    return;
                const std::string szText = AxisNumber(m_Vars, bZero ? 0.0 : y); // not "-0"
                const int32_t nWidth = m_Canvas.TextWidth(szText.c_str());
                // Left of the axis where there is room, else right of it.
                int32_t nTextX = nColumn - GAP - nWidth;
                if (nTextX < m_nLeft + 1 || nAxisX < m_nLeft)
                    nTextX = nColumn + GAP;
                // The zero on a shown x axis stands beside it, not across it, away from its labels.
                int32_t nTextY = !(bZero && bXAxisShown) ? nY - nTextHeight / 2
                                 : bXLabelsBelow         ? nY - GAP - nTextHeight + 2
                                                         : nY + GAP - 1;
                nTextY = std::clamp(nTextY, m_nTop + 1, std::max(m_nTop + 1, m_nBottom - 1 - nTextHeight));
                m_Canvas.TextOut(nTextX, nTextY, szText.c_str());
                DrawCross(nColumn, nY);
            });
        }
        if (W >= 20.0) {
            WalkLabels(X0, gx, X1, [&](double x) {
                int32_t nX, nY;
                m_Vars.MapGridPoint(x, 0.0, nX, nY, false);
                if (nX < m_nLeft || nX >= m_nRight)
                    return;
                const double k = std::round(x / gx);
                const bool bZero = k == 0.0;
                const std::string szText =
                    nPiDivisor ? CRenderer::FormatPi(k, dPiMultiple, nPiDivisor) : AxisNumber(m_Vars, bZero ? 0.0 : x);
                const int32_t nWidth = m_Canvas.TextWidth(szText.c_str());
                // Centred below the axis; the zero left of a shown y axis, which would cross it.
                int32_t nTextX = bZero && bYAxisShown ? nX - GAP + 1 - nWidth : nX - nWidth / 2;
                const int32_t nTextY = bXLabelsBelow ? nRow + GAP : nRow - GAP - nTextHeight + 1;
                nTextX = std::clamp(nTextX, m_nLeft + 1, std::max(m_nLeft + 1, m_nRight - 1 - nWidth));
                m_Canvas.TextOut(nTextX, nTextY, szText.c_str());
                DrawCross(nX, nRow);
            });
        }
    }

    void DrawCross(int32_t x, int32_t y) { CRenderer::DrawCross(m_Canvas, x, y); }
};
// A rectangle filled with nFill and outlined by a solid one-pixel nPen.
void FillBox(CCanvas& canvas, uint32_t nPen, uint32_t nFill, int32_t nLeft, int32_t nTop, int32_t nRight,
             int32_t nBottom)
{
    canvas.SetPenColor(nPen);
    canvas.SetPenWidth(1);
    canvas.SetPenSolid();
    canvas.SetBrushColor(nFill);
    canvas.SetBrushStyle(EBrushStyle::Solid);
    canvas.Rectangle(nLeft, nTop, nRight, nBottom);
}
} // namespace

bool CRenderer::DrawSample(CFuncVars& vars, CCanvas& canvas, int32_t nPenMultiplier, const CSampleLog* pLog)
{
    const CAnimationStep* pStep = vars.m_pStep;
    if (!pStep)
        return false;
    CProject& project = *vars.m_pProject;
    bool bAtStart[FUNC_NVARS];
    for (unsigned i = 0; i < FUNC_NVARS; ++i)
        bAtStart[i] = vars.m_dValue[i] == vars.m_Sweep.m_dMin[i];
    const bool bBreakPoles = project.m_nFlags & (1u << FLAG_BREAKPOLES);

    SPoint points[POINT_BUFFER];
    double dValues[FUNC_STACK];
    for (unsigned i = pStep->NextVisible(0); i < MAX_FUNCTIONS; i = pStep->NextVisible(i + 1)) {
        CFuncTerm* pTerm = project.m_pFunctions[i].get();
        if (!pTerm)
            continue;
        // A function that does not read a variable is drawn once per run of that variable.
        pTerm->EnsureDependencies();
        bool bSkip = false;
        for (unsigned v = 0; v < FUNC_NVARS; ++v) {
            if (!pTerm->GetDepVar()[v] && !pTerm->GetDepVar()[SLOT_A + v] && !bAtStart[v])
                bSkip = true;
        }
        if (bSkip)
            continue;

        // What the walk computed at this sample, where it logged it: the same value again.
        const double* pResult = nullptr;
        const CSampleLog::EEntry entry = pLog ? pLog->Values(vars, i, pResult) : CSampleLog::EEntry::Missing;
        if (entry == CSampleLog::EEntry::Missing)
            pResult = pTerm->Evaluate(vars);
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
            double tx, ty;
            const CSampleLog::EEntry point = entry == CSampleLog::EEntry::Defined && pLog->Transforms()
                                                 ? pLog->Point(vars, i, k / 2, tx, ty)
                                                 : CSampleLog::EEntry::Missing;
            if (point == CSampleLog::EEntry::Missing
                    ? vars.MapPoint(x, y, points[n].x, points[n].y, true)
                    : vars.MapPoint(tx, ty, points[n].x, points[n].y, false) && point == CSampleLog::EEntry::Defined)
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
    FillBox(canvas, nColor, nColor, 0, 0, nWidth, nHeight);
    canvas.SetPenColor(ContrastColor(nColor));
}

void CRenderer::DrawGrid(CFuncVars& vars, CCanvas& canvas, uint32_t nAxisColor)
{
    const CProject& project = *vars.m_pProject;
    const double* pOptions = project.m_dOptions;
    const uint32_t nFlags = project.m_nFlags;
    double gx = std::fabs(pOptions[OPT_XGRID]);
    double gy = std::fabs(pOptions[OPT_YGRID]);
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
    } else {
        vars.UnmapPoint(nLeft, nTop, X0, Y1);
        vars.UnmapPoint(nRight, nBottom, X1, Y0);
    }
    // The newer options choose the distances from the view (on the transformed grid from the
    // raw bounds spread over the picture) and place the labels where they can be read.
    const bool bAutoGrid = nFlags & (1u << FLAG_AUTOGRID);
    const bool bPi = nFlags & (1u << FLAG_PILABELS);
    double dPiMultiple = 0.0;
    int32_t nPiDivisor = 0;
    if (bAutoGrid || bPi) {
        const double dPixelsX = bTg ? vars.m_nViewWidth / (X1 - X0) : std::fabs(vars.m_dScaleX);
        const double dPixelsY = bTg ? vars.m_nViewHeight / (Y1 - Y0) : std::fabs(vars.m_dScaleY);
        if (bPi && PiStep(dPixelsX, dPiMultiple, nPiDivisor))
            gx = PI * dPiMultiple / nPiDivisor;
        else if (bAutoGrid)
            gx = AutoStep(dPixelsX, gx);
        if (bAutoGrid)
            gy = AutoStep(dPixelsY, gy);
    }
    const double fx = gx * 0.1;
    const double fy = gy * 0.1;
    if (bTg) {
        W = H = 100.0;
    } else {
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

    if (nFlags & (1u << FLAG_SHOWAXIS)) {
        if ((bAutoGrid || bPi) && !bTg) {
            SLabels labels{vars, canvas, nLeft, nTop, nRight, nBottom, nAxisColor};
            labels.Draw(gx, gy, W, H, X0, X1, Y0, Y1, dPiMultiple, nPiDivisor);
        } else {
            DrawClassicLabels(vars, canvas, nAxisColor, bTg, gx, gy, W, H, X0, X1, Y0, Y1, dPiMultiple, nPiDivisor);
        }
    }
    if (nFlags & (1u << FLAG_LEGEND))
        DrawLegend(project, canvas, nLeft, nTop, nRight, nBottom);
}

namespace {
// The labels as they always stood: each just above its tick, on the axis or, on the transformed
// grid, along the images of x = 0 and y = Y1.
void DrawClassicLabels(CFuncVars& vars, CCanvas& canvas, uint32_t nAxisColor, bool bTg, double gx, double gy, double W,
                       double H, double X0, double X1, double Y0, double Y1, double dPiMultiple, int32_t nPiDivisor)
{
    const bool bXSteps = !bTg || gx > 0.0;
    const bool bYSteps = !bTg || gy > 0.0;
    canvas.SetFontSize(8);
    canvas.SetFontColor(nAxisColor);
    canvas.SetBrushStyle(EBrushStyle::Clear);
    const int32_t nTextHeight = canvas.TextHeight("0");
    auto Label = [&](double x, double y, double dNumber) {
        int32_t nX, nY;
        if (!vars.MapGridPoint(x, y, nX, nY, bTg))
            return;
        const std::string szText = nPiDivisor ? CRenderer::FormatPi(std::round(dNumber / gx), dPiMultiple, nPiDivisor)
                                              : AxisNumber(vars, dNumber);
        canvas.TextOut(nX, Clamp32(int64_t{nY} - nTextHeight), szText.c_str());
        CRenderer::DrawCross(canvas, nX, nY);
    };
    if (H >= 20.0 && bYSteps)
        WalkLabels(Y0, gy, Y1, [&](double y) { Label(0.0, y, y); });
    if (W >= 20.0 && bXSteps) {
        const double c = bTg ? Y1 : 0.0;
        WalkLabels(X0, gx, X1, [&](double x) { Label(x, c, x); });
    }
}
} // namespace

void CRenderer::DrawLegend(const CProject& project, CCanvas& canvas, int32_t nLeft, int32_t nTop, int32_t nRight,
                           int32_t nBottom)
{
    constexpr size_t MAX_CHARS = 40; // of a formula; longer ones end in an ellipsis
    constexpr int32_t MARGIN = 6;    // between the picture's edges and the box
    constexpr int32_t PADDING = 4;   // inside the box
    constexpr int32_t SAMPLE = 20;   // the line in the function's style
    constexpr int32_t MAX_SAMPLE_WIDTH = 4;
    struct SEntry {
        std::string m_szText;
        uint32_t m_nColor;
        int32_t m_nWidth;
    };
    // A function is named with its style in the first step that shows it: an animation may show
    // it in some steps only.
    std::vector<SEntry> entries;
    for (unsigned i = 0; i < MAX_FUNCTIONS; ++i) {
        const CFuncTerm* pTerm = project.m_pFunctions[i].get();
        const CAnimationStep* pStep = project.m_pFirstStep;
        while (pStep && !pStep->m_bVisible[i])
            pStep = pStep->m_pNext;
        if (!pTerm || !pStep)
            continue;
        std::string szText = "f" + std::to_string(i + 1) + ": " + pTerm->GetText();
        if (szText.size() > MAX_CHARS) {
            szText.resize(MAX_CHARS - 1);
            szText += '\x85'; // the ellipsis of Windows-1252
        }
        const uint32_t nColor = pStep->m_nColor[i];
        entries.push_back({std::move(szText),
                           nColor < static_cast<uint32_t>(project.m_nPaletteSize) ? project.m_pPalette[nColor] : 0,
                           static_cast<int32_t>(std::min<uint32_t>(pStep->m_nWidth[i], MAX_SAMPLE_WIDTH))});
    }
    if (entries.empty())
        return;

    canvas.SetFontSize(8);
    const int32_t nTextHeight = canvas.TextHeight("0");
    const int32_t nLine = nTextHeight + 2;
    // As many rows as the picture has room for; the last says how many are left out.
    const int64_t nRoom = (int64_t{nBottom} - nTop - 2 * MARGIN - 2 * PADDING) / nLine;
    const size_t nRows = static_cast<size_t>(std::max<int64_t>(1, nRoom));
    if (entries.size() > nRows) {
        const size_t nLeftOut = entries.size() - nRows + 1;
        entries.resize(nRows - 1);
        entries.push_back({"\x85 und " + std::to_string(nLeftOut) + " weitere", 0, 0});
    }
    int32_t nTextWidth = 0;
    for (const SEntry& entry : entries)
        nTextWidth = std::max(nTextWidth, canvas.TextWidth(entry.m_szText.c_str()));
    const int64_t nBoxRight = int64_t{nRight} - MARGIN;
    // A legend wider than the picture keeps its beginning in view.
    const int32_t nBoxLeft =
        Clamp32(std::max<int64_t>(nLeft, nBoxRight - (PADDING + SAMPLE + PADDING + nTextWidth + PADDING)));
    const int32_t nBoxTop = Clamp32(int64_t{nTop} + MARGIN);
    const int32_t nBoxBottom = Clamp32(int64_t{nBoxTop} + 2 * PADDING + nLine * static_cast<int64_t>(entries.size()));

    const uint32_t nBackground = BackgroundColor(project);
    FillBox(canvas, GRID_COLOR, nBackground, nBoxLeft, nBoxTop, Clamp32(nBoxRight), nBoxBottom);
    canvas.SetBrushStyle(EBrushStyle::Clear);
    canvas.SetFontColor(ContrastColor(nBackground));
    int32_t y = nBoxTop + PADDING;
    for (const SEntry& entry : entries) {
        const int32_t nX = Clamp32(int64_t{nBoxLeft} + PADDING);
        if (entry.m_nWidth > 0) {
            canvas.SetPenColor(entry.m_nColor);
            canvas.SetPenWidth(entry.m_nWidth);
            canvas.MoveTo(nX, y + nLine / 2);
            canvas.LineTo(Clamp32(int64_t{nX} + SAMPLE), y + nLine / 2);
        }
        canvas.TextOut(Clamp32(int64_t{nX} + SAMPLE + PADDING), y + 1, entry.m_szText.c_str());
        y = Clamp32(int64_t{y} + nLine);
    }
    canvas.SetPenColor(AXIS_COLOR);
    canvas.SetPenWidth(1);
}

double CRenderer::AutoStep(double dPixelsPerUnit, double dFallback)
{
    const double dMin = MIN_LABEL_SPACING / dPixelsPerUnit;
    if (!(dPixelsPerUnit > 0.0) || !std::isfinite(dMin) || !(dMin > 0.0))
        return dFallback;
    const double dPower = std::pow(10.0, std::floor(std::log10(dMin)));
    for (const double m : {1.0, 2.0, 5.0, 10.0}) {
        // The power of ten may be off by a rounding either way.
        const double dStep = m * dPower;
        if (dStep * dPixelsPerUnit >= MIN_LABEL_SPACING * (1.0 - 1e-12))
            return std::isfinite(dStep) && dStep > 0.0 ? dStep : dFallback;
    }
    const double dStep = 20.0 * dPower;
    return std::isfinite(dStep) ? dStep : dFallback;
}

bool CRenderer::PiStep(double dPixelsPerUnit, double& dMultiple, int32_t& nDivisor)
{
    constexpr double MAX_SPACING = 2.5 * MIN_LABEL_SPACING;
    constexpr double MAX_MULTIPLE = 1e15; // written exactly by "%.0f"
    if (!(dPixelsPerUnit > 0.0) || !std::isfinite(dPixelsPerUnit))
        return false;
    const double dQuarter = PI / 4.0 * dPixelsPerUnit;
    if (dQuarter > MAX_SPACING)
        return false;
    const double dTolerance = MIN_LABEL_SPACING * (1.0 - 1e-12);
    if (dQuarter >= dTolerance || dQuarter * 2.0 >= dTolerance) {
        dMultiple = 1.0;
        nDivisor = dQuarter >= dTolerance ? 4 : 2;
        return true;
    }
    const double dStep = AutoStep(PI * dPixelsPerUnit, 0.0); // in units of pi; at least 1 here
    if (!(dStep >= 1.0) || dStep > MAX_MULTIPLE)
        return false;
    dMultiple = std::round(dStep);
    nDivisor = 1;
    return true;
}

std::string CRenderer::FormatPi(double k, double dMultiple, int32_t nDivisor)
{
    double dNumerator = k * dMultiple;
    int32_t nDenominator = nDivisor;
    while (nDenominator > 1 && std::fmod(dNumerator, 2.0) == 0.0) {
        dNumerator /= 2.0;
        nDenominator /= 2;
    }
    if (dNumerator == 0.0)
        return "0";
    std::string szText = dNumerator < 0.0 ? "-" : "";
    if (std::fabs(dNumerator) != 1.0) {
        char szNumber[32];
        std::snprintf(szNumber, sizeof szNumber, "%.0f", std::fabs(dNumerator));
        szText += szNumber;
    }
    szText += CCanvas::PI_SIGN;
    if (nDenominator > 1)
        szText += "/" + std::to_string(nDenominator);
    return szText;
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
    return CShownNumber::Format(dValue, false);
}
