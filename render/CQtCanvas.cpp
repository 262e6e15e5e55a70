#include "render/CQtCanvas.h"

#include <QFontMetrics>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "expr/CCpuState.h"

namespace {
// Windows-1252 0x80 ... 0x9F; the five unassigned codes stay as the control characters.
constexpr char16_t g_Ansi80[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Three points in one column or one row, the middle one between the others: the middle one
// adds nothing to the stroke.
bool Straight(const QPoint& a, const QPoint& b, const QPoint& c)
{
    if (a.x() == b.x() && b.x() == c.x())
        return (a.y() <= b.y() && b.y() <= c.y()) || (a.y() >= b.y() && b.y() >= c.y());
    if (a.y() == b.y() && b.y() == c.y())
        return (a.x() <= b.x() && b.x() <= c.x()) || (a.x() >= b.x() && b.x() >= c.x());
    return false;
}
} // namespace

CQtCanvas::CQtCanvas(QPainter& painter, bool bVector) : m_Painter(painter), m_bVector(bVector)
{
    m_Painter.setRenderHint(QPainter::Antialiasing, false);
    m_Painter.setRenderHint(QPainter::TextAntialiasing, true);
    if (m_bVector) // a printed picture is clipped to its place on the page
        m_Picture = m_Painter.hasClipping() ? m_Painter.clipBoundingRect().toAlignedRect() & m_Painter.window()
                                            : m_Painter.window();
}

CQtCanvas::~CQtCanvas()
{
    Flush();
}

QColor CQtCanvas::ToQColor(uint32_t nColor)
{
    return QColor(nColor & 0xFF, (nColor >> 8) & 0xFF, (nColor >> 16) & 0xFF);
}

uint32_t CQtCanvas::FromQColor(const QColor& color)
{
    return static_cast<uint32_t>(color.red()) | static_cast<uint32_t>(color.green()) << 8 |
           static_cast<uint32_t>(color.blue()) << 16;
}

QString CQtCanvas::FromAnsi(const char* pszText)
{
    QString szText;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(pszText); *p; ++p)
        szText += QChar(*p >= 0x80 && *p < 0xA0 ? g_Ansi80[*p - 0x80] : char16_t{*p});
    return szText;
}

void CQtCanvas::EmitPending()
{
    if (m_Pending.size() >= 2 && m_Starts.empty()) {
        UsePen(m_PendingPen);
        m_Painter.drawPolyline(m_Pending.data(), static_cast<int>(m_Pending.size()));
        CCpuState::Clean();
    } else if (m_Pending.size() >= 2) { // pieces with gaps between them: one path
        QPainterPath path;
        m_Starts.push_back(m_Pending.size());
        size_t nFrom = 0;
        for (const size_t nTo : m_Starts) {
            if (nTo - nFrom >= 2) {
                path.moveTo(m_Pending[nFrom]);
                for (size_t i = nFrom + 1; i < nTo; ++i)
                    path.lineTo(m_Pending[i]);
            }
            nFrom = nTo;
        }
        UsePen(m_PendingPen);
        m_Painter.strokePath(path, m_Painter.pen());
        CCpuState::Clean();
    }
    m_Pending.clear();
    m_Starts.clear();
}

void CQtCanvas::StartPiece(const QPoint& point)
{
    if (!m_Pending.empty() && (m_Starts.empty() ? 0 : m_Starts.back()) == m_Pending.size() - 1)
        m_Pending.back() = point; // a piece of one point paints nothing
    else {
        if (!m_Pending.empty())
            m_Starts.push_back(m_Pending.size());
        m_Pending.push_back(point);
    }
}

void CQtCanvas::AppendPending(const QPoint& point)
{
    const size_t n = m_Pending.size();
    const size_t nStart = m_Starts.empty() ? 0 : m_Starts.back();
    if (n >= nStart + 2 && Straight(m_Pending[n - 2], m_Pending[n - 1], point)) {
        m_Pending[n - 1] = point;
        return;
    }
    m_Pending.push_back(point);
    // A one-pixel line paints the same alone as within a path, so a long path is handed over in
    // pieces: the devices turn a path into text at once, which costs several times its points.
    // A wider pen's join would become two caps; its path is cut only where it is very long.
    const size_t nMax = m_PendingPen.m_nWidth <= 1 ? MAX_PIECE : MAX_PIECE << 4;
    if (m_Pending.size() >= nMax) {
        EmitPending();
        m_Pending.push_back(point);
    }
}

bool CQtCanvas::ShadowReady()
{
    if (!m_bShadowTried) {
        m_bShadowTried = true;
        if (m_Picture.width() > 0 && m_Picture.height() > 0 &&
            int64_t{m_Picture.width()} * m_Picture.height() <= MAX_SHADOW_PIXELS) {
            m_Shadow = QImage(m_Picture.size(), QImage::Format_Grayscale8);
            m_Probe = QImage(m_Picture.size(), QImage::Format_Grayscale8);
            if (!m_Shadow.isNull() && !m_Probe.isNull()) {
                m_Shadow.fill(0);
                m_Probe.fill(0);
                m_ShadowPainter = std::make_unique<QPainter>(&m_Shadow);
                m_ProbePainter = std::make_unique<QPainter>(&m_Probe);
                for (QPainter* pPainter : {m_ShadowPainter.get(), m_ProbePainter.get()}) {
                    pPainter->setRenderHint(QPainter::Antialiasing, false);
                    pPainter->setCompositionMode(QPainter::CompositionMode_Source);
                    pPainter->translate(-m_Picture.left(), -m_Picture.top());
                }
            }
        }
    }
    return m_ShadowPainter != nullptr;
}

uint8_t CQtCanvas::ShadowIndex(uint32_t nColor)
{
    for (size_t i = m_ShadowColors.size(); i-- > 0;) {
        if (m_ShadowColors[i] == nColor)
            return static_cast<uint8_t>(i + 1);
    }
    if (m_ShadowColors.size() == 255) { // more colours than a pixel can tell apart: start afresh
        m_Shadow.fill(0);
        m_ShadowColors.clear();
    }
    m_ShadowColors.push_back(nColor);
    return static_cast<uint8_t>(m_ShadowColors.size());
}

bool CQtCanvas::PaintedHold(uint8_t nIndex) const
{
    const uint8_t* pShadow = m_Shadow.constBits();
    return std::all_of(m_Painted.begin(), m_Painted.end(), [&](uint32_t nPixel) { return pShadow[nPixel] == nIndex; });
}

namespace {
// Beyond the points of a polyline, how far a pen of the width may paint: the corner of a square
// cap of a diagonal line, and a pixel for the rasteriser's rounding.
int32_t WideReach(int32_t nWidth)
{
    return nWidth <= 1 ? 2 : static_cast<int32_t>(std::ceil(nWidth * 0.7072)) + 1;
}
// How far beyond a line's stroke (its band and square caps) the centre of a pixel the rasteriser
// paints for it may lie: its rounding reaches about 1/100 pixel (random lines of widths 2 to 24).
constexpr double STROKE_ROUNDING = 1.0 / 32;
} // namespace

void CQtCanvas::Rasterise(const QPoint* pPoints, int nCount)
{
    m_Painted.clear();
    int64_t x0 = pPoints[0].x(), x1 = x0, y0 = pPoints[0].y(), y1 = y0;
    for (int i = 1; i < nCount; ++i) {
        x0 = std::min<int64_t>(x0, pPoints[i].x());
        x1 = std::max<int64_t>(x1, pPoints[i].x());
        y0 = std::min<int64_t>(y0, pPoints[i].y());
        y1 = std::max<int64_t>(y1, pPoints[i].y());
    }
    const int64_t nReach = WideReach(m_Pen.m_nWidth);
    const int64_t nLeft = m_Picture.left(), nTop = m_Picture.top();
    const int64_t nFirst = std::max(y0 - nReach, nTop), nLast = std::min(y1 + nReach, int64_t{m_Picture.bottom()});
    if (x1 + nReach < nLeft || x0 - nReach > m_Picture.right() || nFirst > nLast)
        return; // paints nothing that shows
    if (m_nProbeWidth != m_Pen.m_nWidth) {
        m_ProbePainter->setPen(ToQPen({0xFFFFFF, m_Pen.m_nWidth}));
        m_nProbeWidth = m_Pen.m_nWidth;
    }
    if (m_Pen.m_nWidth <= 1 && nCount == 2)
        m_ProbePainter->drawLine(pPoints[0], pPoints[1]);
    else
        m_ProbePainter->drawPolyline(pPoints, nCount);
    CCpuState::Clean();
    const QPoint& a = pPoints[0];
    const QPoint& b = pPoints[nCount - 1];
    const double dSlope =
        nCount != 2 || a.y() == b.y() ? 0 : static_cast<double>(b.x() - a.x()) / (int64_t{b.y()} - a.y());
    for (int64_t y = nFirst; y <= nLast; ++y) {
        // A line paints only near where it crosses this row and the rows within its reach.
        int64_t xFrom = x0 - nReach, xTo = x1 + nReach;
        if (nCount == 2 && a.y() != b.y()) {
            const double dA = a.x() + (static_cast<double>(y - nReach) - a.y()) * dSlope;
            const double dB = a.x() + (static_cast<double>(y + nReach) - a.y()) * dSlope;
            xFrom = std::max(xFrom, static_cast<int64_t>(std::floor(std::min(dA, dB))) - nReach);
            xTo = std::min(xTo, static_cast<int64_t>(std::ceil(std::max(dA, dB))) + nReach);
        }
        xFrom = std::max(xFrom, nLeft);
        xTo = std::min(xTo, int64_t{m_Picture.right()});
        uint8_t* pProbe = m_Probe.scanLine(static_cast<int>(y - nTop));
        const uint32_t nRow = static_cast<uint32_t>(y - nTop) * static_cast<uint32_t>(m_Probe.bytesPerLine());
        for (int64_t x = xFrom - nLeft; x <= xTo - nLeft; ++x) {
            if (pProbe[x]) {
                pProbe[x] = 0;
                m_Painted.push_back(nRow + static_cast<uint32_t>(x));
            }
        }
    }
}

namespace {
// Within the rounding of any rasteriser and short of the next pixel centre: a centre that lies
// on the edge of a stroke may be painted or not, depending on the path around.
constexpr double EDGE = 1.0 / 64;
// How far the stroker's joins may reach beyond the bands and caps of the lines they join, which
// decides the pixels on the edges of the strokes around: where a line is shorter than the pen is
// wide, or bends back sharply, the join depends on the lines beyond it. Found by trying many
// random paths of every width against their pieces; elsewhere a change of the path (a piece
// ending with a cap instead of a join) turns no pixel beyond the caps it adds.
double NearChange(int32_t nWidth)
{
    return nWidth <= 2 ? EDGE : nWidth <= 5 ? 1 : 1.5;
}
} // namespace

CQtCanvas::SArea CQtCanvas::Band(const QPoint& a, const QPoint& b, double dHalf, double dBefore, double dAfter)
{
    const double dx = static_cast<double>(b.x()) - a.x(), dy = static_cast<double>(b.y()) - a.y();
    const double dLength = std::hypot(dx, dy);
    if (dLength == 0)
        return Square(a, 1, 0, dHalf);
    const double ux = dx / dLength, uy = dy / dLength;
    SArea area;
    area.m_nCount = 4;
    const double s[4] = {-dBefore, dLength + dAfter, dLength + dAfter, -dBefore};
    const double t[4] = {dHalf, dHalf, -dHalf, -dHalf};
    for (int i = 0; i < 4; ++i) {
        area.m_dX[i] = a.x() + ux * s[i] - uy * t[i];
        area.m_dY[i] = a.y() + uy * s[i] + ux * t[i];
    }
    return area;
}

CQtCanvas::SArea CQtCanvas::Square(const QPoint& centre, double ux, double uy, double dHalf)
{
    const double dLength = std::hypot(ux, uy);
    ux /= dLength;
    uy /= dLength;
    SArea area;
    area.m_nCount = 4;
    const double s[4] = {-dHalf, dHalf, dHalf, -dHalf}, t[4] = {dHalf, dHalf, -dHalf, -dHalf};
    for (int i = 0; i < 4; ++i) {
        area.m_dX[i] = centre.x() + ux * s[i] - uy * t[i];
        area.m_dY[i] = centre.y() + uy * s[i] + ux * t[i];
    }
    return area;
}

template <class FRow> void CQtCanvas::AreaRows(const SArea& area, double dGrow, FRow&& row) const
{
    // A pixel is painted by what covers its centre, (x + 0.5, y + 0.5). Each edge of the convex
    // area, moved out by dGrow, leaves the centres of a row on one side of some x. An edge along
    // a row or column at a multiple of half a pixel is exact for the rasteriser, whatever its
    // rounding: where only that rounding is allowed for (dGrow within EDGE), such an edge is not
    // moved, and a centre on it is painted where the area lies above or left of it (the spare
    // pixel of an odd pen goes right and below).
    const int n = area.m_nCount;
    double dTwiceArea = 0, yLow = HUGE_VAL, yHigh = -HUGE_VAL;
    for (int i = 0; i < n; ++i) {
        const int j = (i + 1) % n;
        dTwiceArea += area.m_dX[i] * area.m_dY[j] - area.m_dX[j] * area.m_dY[i];
        yLow = std::min(yLow, area.m_dY[i]);
        yHigh = std::max(yHigh, area.m_dY[i]);
    }
    if (dTwiceArea == 0)
        return;
    const bool bRounding = std::fabs(dGrow) <= EDGE;
    const auto OnLattice = [](double d) { return 2 * d == std::floor(2 * d); };
    const double dSide = dTwiceArea > 0 ? 1 : -1;
    const double dRowGrow = std::max(dGrow, 0.0);
    const double dTop = std::max(std::ceil(yLow - dRowGrow - 0.5), static_cast<double>(m_Picture.top()));
    const double dBottom = std::min(std::floor(yHigh + dRowGrow - 0.5), static_cast<double>(m_Picture.bottom()));
    for (double y = dTop; y <= dBottom; ++y) {
        const double cy = y + 0.5;
        // The centres cx with lo <= cx <= hi, or lo < cx where bLoOpen.
        double lo = m_Picture.left(), hi = m_Picture.right() + 1.0;
        bool bLoOpen = false;
        for (int i = 0; i < n && lo <= hi; ++i) {
            const int j = (i + 1) % n;
            const double ex = area.m_dX[j] - area.m_dX[i], ey = area.m_dY[j] - area.m_dY[i];
            const double dLength = std::hypot(ex, ey);
            if (dLength == 0)
                continue;
            const bool bExact =
                bRounding && ((ex == 0 && OnLattice(area.m_dX[i])) || (ey == 0 && OnLattice(area.m_dY[i])));
            const double dEdgeGrow = bExact ? 0 : dGrow;
            // Inside: (ex (cy - yi) - ey (cx - xi)) side / length >= -dGrow, that is A cx + B >= 0.
            const double A = -ey * dSide / dLength;
            const double B = (ex * (cy - area.m_dY[i]) + ey * area.m_dX[i]) * dSide / dLength + dEdgeGrow;
            if (A > 0) {
                const double dBound = -B / A;
                if (dBound > lo || (dBound == lo && bExact)) {
                    lo = dBound;
                    bLoOpen = bExact; // the area's left edge
                }
            } else if (A < 0)
                hi = std::min(hi, -B / A); // a right edge holds its centres
            else if (B < 0 || (B == 0 && bExact && ex * dSide > 0))
                hi = lo - 1; // outside, or on the area's top edge
        }
        double x0 = std::ceil(lo - 0.5);
        if (bLoOpen && x0 + 0.5 == lo)
            ++x0;
        x0 = std::max(x0, static_cast<double>(m_Picture.left()));
        const double x1 = std::min(std::floor(hi - 0.5), static_cast<double>(m_Picture.right()));
        if (x0 <= x1)
            row(static_cast<int>(y) - m_Picture.top(), static_cast<int>(x0) - m_Picture.left(),
                static_cast<int>(x1) - m_Picture.left());
    }
}

bool CQtCanvas::AreaCovered(const SArea& area, double dGrow, uint8_t nIndex) const
{
    bool bCovered = true;
    AreaRows(area, dGrow, [&](int y, int x0, int x1) {
        const uint8_t* pShadow = m_Shadow.constScanLine(y);
        for (int x = x0; x <= x1 && bCovered; ++x)
            bCovered = pShadow[x] == nIndex;
    });
    return bCovered;
}

bool CQtCanvas::Bevel(const QPoint& before, const QPoint& a, const QPoint& b, double dHalf, SArea& bevel)
{
    const double x1 = static_cast<double>(a.x()) - before.x(), y1 = static_cast<double>(a.y()) - before.y();
    const double x2 = static_cast<double>(b.x()) - a.x(), y2 = static_cast<double>(b.y()) - a.y();
    const double dCross = x1 * y2 - y1 * x2;
    if (x1 * x2 + y1 * y2 < 0 || dCross == 0)
        return false;
    const double dSide = dCross > 0 ? -1 : 1; // the outer side
    const double l1 = std::hypot(x1, y1), l2 = std::hypot(x2, y2);
    bevel.m_nCount = 3;
    bevel.m_dX[0] = a.x();
    bevel.m_dY[0] = a.y();
    bevel.m_dX[1] = a.x() - dSide * dHalf * y1 / l1;
    bevel.m_dY[1] = a.y() + dSide * dHalf * x1 / l1;
    bevel.m_dX[2] = a.x() - dSide * dHalf * y2 / l2;
    bevel.m_dY[2] = a.y() + dSide * dHalf * x2 / l2;
    return true;
}

bool CQtCanvas::LineCovered(const QPoint& before, const QPoint& a, const QPoint& b)
{
    // What the line adds to its path: its body and the join with the line before. A bevel lies
    // within the triangle of the two outer corners; the stroker turns a sharp bend (more than a
    // right angle) by other means, which the squares around the corner cover.
    const double dHalf = m_Pen.m_nWidth / 2.0;
    const uint8_t nIndex = ShadowIndex(m_Pen.m_nColor);
    if (!AreaCovered(Band(a, b, dHalf, 0, 0), EDGE, nIndex))
        return false;
    const double x1 = static_cast<double>(a.x()) - before.x(), y1 = static_cast<double>(a.y()) - before.y();
    const double x2 = static_cast<double>(b.x()) - a.x(), y2 = static_cast<double>(b.y()) - a.y();
    if (x1 * x2 + y1 * y2 < 0)
        return AreaCovered(Square(a, x1, y1, dHalf), EDGE, nIndex) &&
               AreaCovered(Square(a, x2, y2, dHalf), EDGE, nIndex);
    SArea bevel;
    return !Bevel(before, a, b, dHalf, bevel) || AreaCovered(bevel, EDGE, nIndex); // none straight on
}

bool CQtCanvas::EndCovered(const QPoint& a, const QPoint& b, const QPoint* pBefore)
{
    const double dHalf = m_Pen.m_nWidth / 2.0;
    const double dx = static_cast<double>(b.x()) - a.x(), dy = static_cast<double>(b.y()) - a.y();
    bool bNear = std::hypot(dx, dy) < m_Pen.m_nWidth;
    if (pBefore)
        bNear = bNear ||
                (static_cast<double>(a.x()) - pBefore->x()) * dx + (static_cast<double>(a.y()) - pBefore->y()) * dy < 0;
    return AreaCovered(Band(a, b, dHalf, dHalf, dHalf), bNear ? NearChange(m_Pen.m_nWidth) : EDGE,
                       ShadowIndex(m_Pen.m_nColor));
}

void CQtCanvas::Shade(const QPoint& a, const QPoint& b, const QPoint* pBefore)
{
    const uint8_t nIndex = ShadowIndex(m_Pen.m_nColor);
    // A wider pen's caps and joins, and the pixels on the edges of its strokes, depend on the
    // lines around: what they may paint is no longer known, unless it had the pen's colour
    // already. The line's body within its edges is certain; so is its first edge, across which
    // a narrow pen's path goes on from the line before where it bends by less than a right angle.
    const double dHalf = m_Pen.m_nWidth / 2.0;
    bool bJoined = false;
    if (pBefore && m_Pen.m_nWidth <= 3) {
        const double x1 = static_cast<double>(a.x()) - pBefore->x(), y1 = static_cast<double>(a.y()) - pBefore->y();
        bJoined = x1 * (static_cast<double>(b.x()) - a.x()) + y1 * (static_cast<double>(b.y()) - a.y()) >= 0;
    }
    AreaRows(Band(a, b, dHalf, dHalf, dHalf), NearChange(m_Pen.m_nWidth), [&](int y, int x0, int x1) {
        uint8_t* pShadow = m_Shadow.scanLine(y);
        for (int x = x0; x <= x1; ++x)
            if (pShadow[x] != nIndex)
                pShadow[x] = 0;
    });
    const auto Paint = [&](int y, int x0, int x1) {
        uint8_t* pShadow = m_Shadow.scanLine(y);
        std::fill(pShadow + x0, pShadow + x1 + 1, nIndex);
    };
    AreaRows(Band(a, b, dHalf, bJoined ? 3 * EDGE : 0, 0), -EDGE, Paint);
    // The bevel of a bend by less than a right angle lies within the caps, should the path be cut
    // there later: it is painted either way.
    SArea bevel;
    if (pBefore && Bevel(*pBefore, a, b, dHalf, bevel))
        AreaRows(bevel, -EDGE, Paint);
}

void CQtCanvas::Unknown(const QRect& rect)
{
    if (m_ShadowPainter)
        m_ShadowPainter->fillRect(rect, QColor(0, 0, 0));
}

void CQtCanvas::Flush()
{
    EndGap();
    EmitPending();
    m_bCurveOpen = false;
    EmitLines();
    if (!m_Dots.empty()) {
        UsePen({m_nDotColor, 1});
        m_Painter.drawPoints(m_Dots.data(), static_cast<int>(m_Dots.size()));
        CCpuState::Clean();
        m_Dots.clear();
    }
}

QPen CQtCanvas::ToQPen(const SPen& pen)
{
    QPen qpen(ToQColor(pen.m_nColor));
    qpen.setStyle(Qt::SolidLine);
    qpen.setWidth(pen.m_nWidth > 1 ? pen.m_nWidth : 1);
    // A flat cap leaves the last pixel of a one-pixel line unpainted, as LineTo promises; wider
    // pens keep the platform's caps and joins.
    if (pen.m_nWidth <= 1)
        qpen.setCapStyle(Qt::FlatCap);
    return qpen;
}

void CQtCanvas::UsePen(const SPen& pen)
{
    if (m_Applied == pen)
        return;
    m_Painter.setPen(ToQPen(pen));
    m_Applied = pen;
}

void CQtCanvas::SetPenColor(uint32_t nColor)
{
    m_Pen.m_nColor = nColor;
}

void CQtCanvas::SetPenWidth(int32_t nWidth)
{
    m_Pen.m_nWidth = nWidth > 1 ? nWidth : 1;
}

void CQtCanvas::SetPenSolid() {} // every pen is solid

void CQtCanvas::SetBrushColor(uint32_t nColor)
{
    m_nBrushColor = nColor;
}

void CQtCanvas::SetBrushStyle(EBrushStyle style)
{
    m_BrushStyle = style;
}

void CQtCanvas::MoveTo(int32_t x, int32_t y)
{
    m_Position = {x, y};
}

void CQtCanvas::LineTo(int32_t x, int32_t y)
{
    const QPoint points[2] = {QPoint(m_Position.x, m_Position.y), QPoint(x, y)};
    m_Position = {x, y};
    if (points[0] != points[1]) // a line of no length paints nothing
        DrawLines(points, 2);
}

void CQtCanvas::Polyline(const SPoint* pPoints, int32_t nCount)
{
    // Repeated points would each paint their pixel in Qt; on GDI they add nothing.
    m_Scratch.clear();
    for (int32_t i = 0; i < nCount; ++i) {
        const QPoint point(pPoints[i].x, pPoints[i].y);
        if (m_Scratch.empty() || m_Scratch.back() != point)
            m_Scratch.push_back(point);
    }
    if (m_Scratch.size() >= 2)
        DrawLines(m_Scratch.data(), static_cast<int>(m_Scratch.size()));
}

void CQtCanvas::DrawLines(const QPoint* pPoints, int nCount)
{
    if (!m_bVector) {
        if (!m_Dots.empty())
            Flush();
        UsePen(m_Pen);
        m_Painter.drawPolyline(pPoints, nCount);
        CCpuState::Clean(); // Qt's raster drawing leaves the upper AVX state dirty for the sampling
        return;
    }
    if (!m_Dots.empty())
        Flush();
    if (m_Pen.m_nWidth > 1 && nCount > 2) {
        WidePolyline(pPoints, nCount);
        return;
    }
    // A one-pixel polyline paints what its lines paint on their own.
    for (int i = 1; i < nCount; ++i)
        AddLine(pPoints[i - 1], pPoints[i]);
}

bool CQtCanvas::OwnersReady()
{
    if (!m_bOwnersTried) {
        m_bOwnersTried = true;
        if (ShadowReady() && int64_t{m_Shadow.bytesPerLine()} * m_Shadow.height() <= MAX_OWNED_PIXELS)
            m_Owners.assign(static_cast<size_t>(m_Shadow.bytesPerLine()) * static_cast<size_t>(m_Shadow.height()), 0);
    }
    return !m_Owners.empty();
}

void CQtCanvas::AddLine(const QPoint& a, const QPoint& b)
{
    const int64_t nReach = WideReach(m_Pen.m_nWidth);
    if (std::max(a.x(), b.x()) + nReach < m_Picture.left() || std::min(a.x(), b.x()) - nReach > m_Picture.right() ||
        std::max(a.y(), b.y()) + nReach < m_Picture.top() || std::min(a.y(), b.y()) - nReach > m_Picture.bottom())
        return; // paints nothing that shows
    SLine line = {a, b, m_Pen, 1};
    if (ShadowReady()) {
        const uint8_t nIndex = ShadowIndex(m_Pen.m_nColor);
        // Most lines of a curve that goes over its pixels again lie well within what it has
        // painted: the rasteriser is asked only about those near the edge of the painted pixels.
        const double dHalf = m_Pen.m_nWidth / 2.0;
        if (m_Pen.m_nWidth > 1 && AreaCovered(Band(a, b, dHalf, dHalf, dHalf), STROKE_ROUNDING, nIndex)) {
            KeepBridge(a, b);
            return;
        }
        const QPoint points[2] = {a, b};
        Rasterise(points, 2);
        if (PaintedHold(nIndex)) {
            KeepBridge(a, b);
            return;
        }
        // The line is the last to paint its pixels; a line waiting to go to the device that is
        // no longer the last to paint any pixel shows nowhere and stays out.
        const bool bOwners = OwnersReady();
        const uint32_t nLine = static_cast<uint32_t>(m_Lines.size()) + 1;
        line.m_nOwned = bOwners ? 0 : 1;
        uint8_t* pShadow = m_Shadow.bits();
        for (const uint32_t nPixel : m_Painted) {
            pShadow[nPixel] = nIndex;
            if (bOwners) {
                uint32_t& nOwner = m_Owners[nPixel];
                if (nOwner && --m_Lines[nOwner - 1].m_nOwned == 0)
                    --m_nLive;
                nOwner = nLine;
                ++line.m_nOwned;
            }
        }
    }
    m_Lines.push_back(line);
    ++m_nLive;
    if (m_Owners.empty() ? m_Lines.size() >= MAX_LINES : m_Lines.size() >= 2 * m_nLive + MAX_LINES)
        m_Owners.empty() ? Flush() : CompactLines();
}

void CQtCanvas::KeepBridge(const QPoint& a, const QPoint& b)
{
    // Any line drawn goes to the device in its place without changing the picture, as long as
    // the lines that paint a pixel last go too: a few that continue a path where it goes on after
    // them cost less than a gap.
    if (m_Pen.m_nWidth <= 2 && !m_Lines.empty() && m_Lines.back().m_B == a && m_Lines.back().m_Pen == m_Pen) {
        size_t nTrailing = 0;
        for (size_t i = m_Lines.size(); i-- > 0 && !m_Lines[i].m_nOwned;)
            ++nTrailing;
        if (nTrailing < MAX_HELD) {
            m_Lines.push_back({a, b, m_Pen, 0});
            return;
        }
    }
    while (!m_Lines.empty() && !m_Lines.back().m_nOwned) // no other line points at them
        m_Lines.pop_back();
}

void CQtCanvas::CompactLines()
{
    std::vector<uint32_t> renumber(m_Lines.size() + 1, 0);
    size_t n = 0;
    for (size_t i = 0; i < m_Lines.size(); ++i) {
        if (m_Lines[i].m_nOwned) {
            m_Lines[n] = m_Lines[i];
            renumber[i + 1] = static_cast<uint32_t>(++n);
        }
    }
    m_Lines.resize(n);
    for (uint32_t& nOwner : m_Owners)
        nOwner = renumber[nOwner];
}

void CQtCanvas::EmitLines()
{
    if (m_Lines.empty())
        return;
    // Lines of one pen in a row: a one-pixel pen's as one path, continuing lines as one piece of
    // it; a two-pixel pen's joined where they bend gently; a wider pen's each on its own.
    for (size_t i = 0; i < m_Lines.size(); ++i) {
        const SLine& line = m_Lines[i];
        const SPen& pen = line.m_Pen;
        if (!line.m_nOwned) {
            // A line that shows nowhere goes where it bridges a short gap of the path.
            const bool bGoesOn = pen.m_nWidth <= 1
                                     ? !m_Pending.empty() && m_PendingPen == pen && m_Pending.back() == line.m_A
                                     : !m_Join.empty() && m_JoinPen == pen && m_Join.back() == line.m_A;
            size_t j = i + 1;
            while (j < m_Lines.size() && j <= i + MAX_HELD && !m_Lines[j].m_nOwned && m_Lines[j].m_Pen == pen &&
                   m_Lines[j].m_A == m_Lines[j - 1].m_B)
                ++j;
            if (pen.m_nWidth > 2 || !bGoesOn || j == m_Lines.size() || !m_Lines[j].m_nOwned ||
                !(m_Lines[j].m_Pen == pen) || m_Lines[j].m_A != m_Lines[j - 1].m_B) {
                i = j - 1;
                continue;
            }
        }
        if (!m_Pending.empty() && !(m_PendingPen == pen))
            EmitPending();
        if (!m_Join.empty() && !(m_JoinPen == pen))
            EmitJoin();
        if (pen.m_nWidth <= 1) {
            if (m_Pending.empty()) {
                m_Pending.push_back(line.m_A);
                m_PendingPen = pen;
            } else if (m_Pending.back() != line.m_A)
                StartPiece(line.m_A);
            AppendPending(line.m_B);
        } else if (pen.m_nWidth == 2)
            JoinLine(line.m_A, line.m_B, pen);
        else {
            UsePen(pen);
            const QPoint points[2] = {line.m_A, line.m_B};
            m_Painter.drawPolyline(points, 2);
            CCpuState::Clean();
        }
    }
    EmitPending();
    EmitJoin();
    if (!m_Owners.empty())
        std::fill(m_Owners.begin(), m_Owners.end(), 0);
    m_Lines.clear();
    m_nLive = 0;
}

void CQtCanvas::WidePolyline(const QPoint* pPoints, int nCount)
{
    // A longer polyline of a wider pen joins its lines: it goes to the device as a path of its
    // own, of which lines that change no pixel may still be left out.
    const bool bShadow = ShadowReady();
    if (bShadow) {
        Rasterise(pPoints, nCount);
        if (PaintedHold(ShadowIndex(m_Pen.m_nColor)))
            return;
    }
    Flush();
    GatherLines(pPoints, nCount);
    Flush();
    if (bShadow) { // what the whole path paints, as Rasterise found it before (nothing since rasterises)
        const uint8_t nIndex = ShadowIndex(m_Pen.m_nColor);
        uint8_t* pShadow = m_Shadow.bits();
        for (const uint32_t nPixel : m_Painted)
            pShadow[nPixel] = nIndex;
    }
}

void CQtCanvas::EmitJoin()
{
    if (!m_Join.empty()) {
        UsePen(m_JoinPen);
        m_Painter.drawPolyline(m_Join.data(), static_cast<int>(m_Join.size()));
        CCpuState::Clean();
        m_Join.clear();
    }
}

void CQtCanvas::JoinLine(const QPoint& a, const QPoint& b, const SPen& pen)
{
    // A two-pixel pen's join paints what the caps of its two lines paint where the path bends by
    // 60 degrees or less (tried on many random paths; at a right angle it does not always).
    bool bJoins = !m_Join.empty() && m_Join.back() == a && m_Join.size() < MAX_PIECE;
    if (bJoins) {
        const double x1 = static_cast<double>(a.x()) - m_JoinBefore.x(),
                     y1 = static_cast<double>(a.y()) - m_JoinBefore.y();
        const double x2 = static_cast<double>(b.x()) - a.x(), y2 = static_cast<double>(b.y()) - a.y();
        bJoins = 2 * (x1 * x2 + y1 * y2) >= std::hypot(x1, y1) * std::hypot(x2, y2);
    }
    if (!bJoins) {
        EmitJoin();
        m_Join.push_back(a);
        m_JoinPen = pen;
    }
    const size_t n = m_Join.size();
    if (n >= 2 && Straight(m_Join[n - 2], m_Join[n - 1], b))
        m_Join.back() = b;
    else
        m_Join.push_back(b);
    m_JoinBefore = a;
}

void CQtCanvas::GatherLines(const QPoint* pPoints, int nCount)
{
    if (!m_bCurveOpen || !(m_PendingPen == m_Pen) || m_CurveEnd != pPoints[0]) {
        Flush();
        m_Pending.push_back(pPoints[0]);
        m_PendingPen = m_Pen;
        m_CurveEnd = pPoints[0];
        m_bCurveOpen = true;
        m_bCurveBefore = false;
    }
    // Lines that change no pixel of the picture are left out where several follow one another;
    // the path goes on after them as a new piece of the same path. A wider pen ends a piece with
    // a cap, which a join did not paint, and the rasteriser may then decide pixels on the edges
    // of the strokes nearby the other way: so a gap of a wider pen lies between lines whose
    // strokes, caps included, and what lies near them have the colour already.
    const bool bShadow = ShadowReady();
    for (int i = 1; i < nCount; ++i) {
        const QPoint from = m_CurveEnd;
        const QPoint to = pPoints[i];
        const bool bBefore = m_bCurveBefore;
        const QPoint before = m_CurveBefore;
        m_CurveBefore = from;
        m_bCurveBefore = true;
        m_CurveEnd = to;
        if (bShadow && bBefore && LineCovered(before, from, to)) {
            Hold(from, to, EndCovered(from, to, &before));
            continue;
        }
        EndGap();
        AppendPending(to);
        if (bShadow)
            Shade(from, to, bBefore ? &before : nullptr);
    }
}

void CQtCanvas::Hold(const QPoint& from, const QPoint& to, bool bEnd)
{
    if (m_bDropping) {
        if (bEnd) { // a piece may go on from here: what lies before is left out
            m_Held.clear();
            m_bGap = true;
            m_Restart = from;
            m_Held.push_back({to, true});
        } else if (m_Held.push_back({to, false}); m_Held.size() > MAX_KEPT)
            EndGap();
        return;
    }
    m_Held.push_back({to, bEnd});
    // The gap begins after the first line a piece may end with.
    size_t nFirst = m_Held.size();
    for (size_t i = 0; i < m_Held.size(); ++i) {
        if (m_Held[i].m_bEnd) {
            nFirst = i + 1;
            break;
        }
    }
    if (nFirst < m_Held.size() && m_Held.size() - nFirst > MAX_HELD) {
        for (size_t i = 0; i < nFirst; ++i)
            AppendPending(m_Held[i].m_Point);
        m_Held.erase(m_Held.begin(), m_Held.begin() + static_cast<std::ptrdiff_t>(nFirst));
        m_bDropping = true;
        m_bGap = false; // without a line to go on from, the held ones are handed over after all
        m_Restart = m_Pending.back();
        // The last held line a piece may begin with.
        for (size_t i = m_Held.size(); i-- > 0;) {
            if (m_Held[i].m_bEnd) {
                m_bGap = true;
                m_Restart = i > 0 ? m_Held[i - 1].m_Point : m_Pending.back();
                m_Held.erase(m_Held.begin(), m_Held.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        }
    } else if (m_Held.size() > MAX_KEPT) {
        for (const SHeld& held : m_Held)
            AppendPending(held.m_Point);
        m_Held.clear();
    }
}

void CQtCanvas::EndGap()
{
    if (m_bDropping && m_bGap) {
        if (m_Pending.size() >= MAX_PIECE) // the path breaks here anyway: a long one goes now
            EmitPending();
        StartPiece(m_Restart);
    }
    for (const SHeld& held : m_Held)
        AppendPending(held.m_Point);
    m_Held.clear();
    m_bDropping = false;
    m_bGap = false;
}

void CQtCanvas::SetPixel(int32_t x, int32_t y, uint32_t nColor)
{
    if (!m_Pending.empty() || !m_Lines.empty() || (!m_Dots.empty() && m_nDotColor != nColor))
        Flush();
    Unknown(QRect(x, y, 1, 1));
    m_nDotColor = nColor;
    m_Dots.emplace_back(x, y);
}

void CQtCanvas::Rectangle(int32_t nLeft, int32_t nTop, int32_t nRight, int32_t nBottom)
{
    Flush();
    if (nRight <= nLeft || nBottom <= nTop)
        return;
    const int32_t nReach = Reach(m_Pen.m_nWidth);
    Unknown(QRect(QPoint(nLeft - nReach, nTop - nReach), QPoint(nRight + nReach, nBottom + nReach)));
    UsePen(m_Pen);
    m_Painter.setBrush(m_BrushStyle == EBrushStyle::Solid ? QBrush(ToQColor(m_nBrushColor)) : QBrush(Qt::NoBrush));
    // A one-pixel outline of QRect(l, t, w, h) covers w + 1 columns; GDI's right edge is
    // exclusive.
    m_Painter.drawRect(QRect(nLeft, nTop, nRight - nLeft - 1, nBottom - nTop - 1));
    CCpuState::Clean();
}

void CQtCanvas::SetFontSize(int32_t nPoints)
{
    m_nFontSize = nPoints;
}

void CQtCanvas::SetFontColor(uint32_t nColor)
{
    m_nFontColor = nColor;
}

QFont CQtCanvas::Font() const
{
    QFont font = m_Painter.font();
    font.setPointSize(m_nFontSize > 0 ? m_nFontSize : 8);
    return font;
}

int32_t CQtCanvas::TextHeight(const char* /*pszText*/)
{
    return QFontMetrics(Font(), m_Painter.device()).height();
}

QString CQtCanvas::LabelText(const char* pszText)
{
    QString szText = FromAnsi(pszText);
    szText.replace(QChar(static_cast<unsigned char>(PI_SIGN)), QChar(0x03C0));
    return szText;
}

int32_t CQtCanvas::TextWidth(const char* pszText)
{
    return QFontMetrics(Font(), m_Painter.device()).horizontalAdvance(LabelText(pszText));
}

void CQtCanvas::TextOut(int32_t x, int32_t y, const char* pszText)
{
    Flush();
    const QFont font = Font();
    const QFontMetrics metrics(font, m_Painter.device());
    const QString szText = LabelText(pszText);
    const int nHeight = metrics.height(); // the glyphs may reach beyond their advance
    Unknown(QRect(x - nHeight, y - nHeight, metrics.horizontalAdvance(szText) + 3 * nHeight, 3 * nHeight));
    if (m_BrushStyle == EBrushStyle::Solid)
        m_Painter.fillRect(QRect(x, y, metrics.horizontalAdvance(szText), metrics.height()), ToQColor(m_nBrushColor));
    m_Painter.setFont(font);
    m_Painter.setPen(ToQColor(m_nFontColor));
    m_Applied = {0xFFFFFFFF, -1};
    m_Painter.drawText(QPoint(x, y + metrics.ascent()), szText);
}
