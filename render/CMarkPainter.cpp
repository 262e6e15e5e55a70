#include "render/CMarkPainter.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "render/CCanvas.h"
#include "view/CAnalysisMarks.h"
#include "view/CFuncVars.h"

namespace {
struct SBox {
    double m_dLeft, m_dTop, m_dRight, m_dBottom;
};

SBox ViewBox(const CFuncVars& view)
{
    return {double(view.m_nViewLeft), double(view.m_nViewTop), double(view.m_nViewLeft + view.m_nViewWidth),
            double(view.m_nViewTop + view.m_nViewHeight)};
}

// The part of the line through (x, y) in direction (dx, dy) that lies in the box, in pixels;
// false where the line misses it.
bool ClipLine(const SBox& box, double x, double y, double dx, double dy, double& x1, double& y1, double& x2, double& y2)
{
    double s0 = -INFINITY, s1 = INFINITY;
    const auto Limit = [&](double p, double d, double lo, double hi) {
        if (d == 0.0)
            return p >= lo && p <= hi;
        double a = (lo - p) / d, b = (hi - p) / d;
        if (a > b)
            std::swap(a, b);
        s0 = std::max(s0, a);
        s1 = std::min(s1, b);
        return s0 <= s1;
    };
    if (!std::isfinite(x) || !std::isfinite(y) || !Limit(x, dx, box.m_dLeft, box.m_dRight) ||
        !Limit(y, dy, box.m_dTop, box.m_dBottom) || !std::isfinite(s0) || !std::isfinite(s1))
        return false;
    x1 = x + s0 * dx, y1 = y + s0 * dy;
    x2 = x + s1 * dx, y2 = y + s1 * dy;
    return true;
}

void Shade(CCanvas& canvas, const CFuncVars& view, const std::vector<CAnalysisMarks::SStrip>& area)
{
    if (area.size() < 2 || view.m_dScaleX == 0.0)
        return;
    const SBox box = ViewBox(view);
    canvas.SetPenColor(CMarkPainter::AREA_COLOR);
    double dLeft = view.PixelX(area.front().m_dX), dRight = view.PixelX(area.back().m_dX);
    if (dLeft > dRight)
        std::swap(dLeft, dRight);
    dLeft = std::max(dLeft, box.m_dLeft);
    dRight = std::min(dRight, box.m_dRight - 1);
    // Lines on a fixed pixel grid, so that the stripes stand still while the area grows.
    for (double p = std::ceil(dLeft / CMarkPainter::STRIPE) * CMarkPainter::STRIPE; p <= dRight;
         p += CMarkPainter::STRIPE) {
        double x, dy;
        view.UnmapPoint(static_cast<int32_t>(p), 0, x, dy);
        const auto it = std::lower_bound(area.begin(), area.end(), x,
                                         [](const CAnalysisMarks::SStrip& s, double d) { return s.m_dX < d; });
        if (it == area.end() || (it == area.begin() && it->m_dX != x))
            continue;
        double dFrom = it->m_dFrom, dTo = it->m_dTo;
        if (it->m_dX != x) {
            const auto prev = std::prev(it);
            const double w = (x - prev->m_dX) / (it->m_dX - prev->m_dX);
            dFrom = prev->m_dFrom + w * (it->m_dFrom - prev->m_dFrom);
            dTo = prev->m_dTo + w * (it->m_dTo - prev->m_dTo);
        }
        double y1 = std::clamp(view.PixelY(dFrom), box.m_dTop, box.m_dBottom);
        double y2 = std::clamp(view.PixelY(dTo), box.m_dTop, box.m_dBottom);
        if (!std::isfinite(y1) || !std::isfinite(y2))
            continue;
        canvas.MoveTo(static_cast<int32_t>(p), CFuncVars::ToPixel(y1));
        canvas.LineTo(static_cast<int32_t>(p), CFuncVars::ToPixel(y2));
    }
}
} // namespace

void CMarkPainter::Paint(CCanvas& canvas, const CFuncVars& view, const CAnalysisMarks& marks)
{
    if (marks.Empty() || view.m_dScaleX == 0.0 || view.m_dScaleY == 0.0)
        return;
    canvas.SetPenSolid();
    canvas.SetPenWidth(1);
    Shade(canvas, view, marks.m_Area);
    const SBox box = ViewBox(view);
    for (size_t i = 0; i < marks.m_Lines.size(); ++i) {
        const CAnalysisMarks::SLine& line = marks.m_Lines[i];
        double x1, y1, x2, y2;
        if (!ClipLine(box, view.PixelX(line.m_dX), view.PixelY(line.m_dY), line.m_dDirX * view.m_dScaleX,
                      line.m_dDirY * view.m_dScaleY, x1, y1, x2, y2))
            continue;
        canvas.SetPenColor(i == 0 ? TANGENT_COLOR : NORMAL_COLOR);
        canvas.MoveTo(CFuncVars::ToPixel(x1), CFuncVars::ToPixel(y1));
        canvas.LineTo(CFuncVars::ToPixel(x2), CFuncVars::ToPixel(y2));
    }
    canvas.SetPenColor(POINT_COLOR);
    constexpr int CORNERS = 16;
    for (const CAnalysisMarks::SPoint& point : marks.m_Points) {
        const double px = view.PixelX(point.m_dX), py = view.PixelY(point.m_dY);
        if (!(px >= box.m_dLeft - RADIUS && px <= box.m_dRight + RADIUS && py >= box.m_dTop - RADIUS &&
              py <= box.m_dBottom + RADIUS))
            continue;
        const int32_t nX = CFuncVars::ToPixel(px), nY = CFuncVars::ToPixel(py);
        SPoint circle[CORNERS + 2];
        for (int k = 0; k <= CORNERS + 1; ++k) {
            const double a = 2.0 * 3.14159265358979323846 * k / CORNERS;
            circle[k] = {nX + static_cast<int32_t>(std::lround(RADIUS * std::cos(a))),
                         nY + static_cast<int32_t>(std::lround(RADIUS * std::sin(a)))};
        }
        // One corner past the start: a polyline leaves its last point out.
        canvas.Polyline(circle, CORNERS + 2);
    }
}
