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

bool CQtCanvas::Probe(const QPoint& a, const QPoint& b)
{
    constexpr int64_t nMargin = 2;
    const int64_t x0 = std::min(a.x(), b.x()), x1 = std::max(a.x(), b.x());
    const int64_t y0 = std::min(a.y(), b.y()), y1 = std::max(a.y(), b.y());
    const int64_t nLeft = m_Picture.left(), nTop = m_Picture.top();
    const int64_t nRight = m_Picture.right(), nBottom = m_Picture.bottom();
    if (x1 + nMargin < nLeft || x0 - nMargin > nRight || y1 + nMargin < nTop || y0 - nMargin > nBottom)
        return true; // paints nothing that shows
    if (m_nProbeWidth != 1) {
        QPen pen(QColor(255, 255, 255));
        pen.setWidth(1);
        pen.setCapStyle(Qt::FlatCap);
        m_ProbePainter->setPen(pen);
        m_nProbeWidth = 1;
    }
    m_ProbePainter->drawLine(a, b);
    const uint8_t nIndex = ShadowIndex(m_Pen.m_nColor);
    bool bRedundant = true;
    const double dSlope = a.y() == b.y() ? 0 : static_cast<double>(b.x() - a.x()) / (int64_t{b.y()} - a.y());
    const int64_t nFirst = std::max(y0 - nMargin, nTop), nLast = std::min(y1 + nMargin, nBottom);
    for (int64_t y = nFirst; y <= nLast; ++y) {
        // Where the line crosses this row and the rows within the margin.
        int64_t xFrom = x0 - nMargin, xTo = x1 + nMargin;
        if (a.y() != b.y()) {
            const double dA = a.x() + (static_cast<double>(y - nMargin) - a.y()) * dSlope;
            const double dB = a.x() + (static_cast<double>(y + nMargin) - a.y()) * dSlope;
            xFrom = std::max(xFrom, static_cast<int64_t>(std::floor(std::min(dA, dB))) - nMargin);
            xTo = std::min(xTo, static_cast<int64_t>(std::ceil(std::max(dA, dB))) + nMargin);
        }
        xFrom = std::max(xFrom, nLeft);
        xTo = std::min(xTo, nRight);
        uint8_t* pProbe = m_Probe.scanLine(static_cast<int>(y - nTop));
        const uint8_t* pShadow = m_Shadow.constScanLine(static_cast<int>(y - nTop));
        for (int64_t x = xFrom - nLeft; x <= xTo - nLeft; ++x) {
            if (!pProbe[x])
                continue;
            pProbe[x] = 0;
            bRedundant = bRedundant && pShadow[x] == nIndex;
        }
    }
    return bRedundant;
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

bool CQtCanvas::DotCovered(const QPoint& a)
{
    return AreaCovered(Band(a, a + QPoint(1, 1), 0.5, 0, 0), EDGE, ShadowIndex(m_Pen.m_nColor)); // its pixel
}

void CQtCanvas::Shade(const QPoint& a, const QPoint& b, const QPoint* pBefore)
{
    const uint8_t nIndex = ShadowIndex(m_Pen.m_nColor);
    if (m_Pen.m_nWidth <= 1) { // a one-pixel line or dot paints alone what it paints in a path
        const int nGrey = nIndex;
        QPen pen(QColor(nGrey, nGrey, nGrey));
        pen.setWidth(1);
        pen.setCapStyle(Qt::FlatCap);
        m_ShadowPainter->setPen(pen);
        m_ShadowPainter->drawLine(a, b);
        return;
    }
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
    if (!m_Join.empty()) {
        UsePen(m_JoinPen);
        m_Painter.drawPolyline(m_Join.data(), static_cast<int>(m_Join.size()));
        CCpuState::Clean();
        m_Join.clear();
    }
    if (!m_Dots.empty()) {
        UsePen({m_nDotColor, 1});
        m_Painter.drawPoints(m_Dots.data(), static_cast<int>(m_Dots.size()));
        CCpuState::Clean();
        m_Dots.clear();
    }
    if (!m_DotBatch.empty()) {
        QPainterPath path;
        for (const QPoint& point : m_DotBatch) {
            path.moveTo(point);
            path.lineTo(point + QPoint(1, 1));
        }
        UsePen(m_DotBatchPen);
        m_Painter.strokePath(path, m_Painter.pen());
        m_DotBatch.clear();
    }
}

bool CQtCanvas::MarksReady()
{
    if (!m_bMarksTried) {
        m_bMarksTried = true;
        const int64_t nWidth = int64_t{m_Picture.width()} + 2 * MARK_MARGIN;
        const int64_t nHeight = int64_t{m_Picture.height()} + 2 * MARK_MARGIN;
        if (m_Picture.width() > 0 && m_Picture.height() > 0 && nWidth * nHeight <= MAX_MARKED_PIXELS) {
            m_Marks.assign(static_cast<size_t>(nWidth * nHeight), 0);
            m_nMarkStride = nWidth;
        }
    }
    return !m_Marks.empty();
}

uint8_t CQtCanvas::MarkPen(const SPen& pen)
{
    for (size_t i = m_MarkPens.size(); i-- > 0;) {
        if (m_MarkPens[i] == pen)
            return static_cast<uint8_t>(i + 1);
    }
    if (m_MarkPens.size() == 255) { // more pens than a mark can tell apart: start afresh
        ClearMarks();
        m_MarkPens.clear();
        m_nMarkReach = 0;
    }
    m_MarkPens.push_back(pen);
    m_nMarkReach = std::max(m_nMarkReach, Reach(pen.m_nWidth));
    return static_cast<uint8_t>(m_MarkPens.size());
}

void CQtCanvas::ClearMarks()
{
    if (m_Marked.size() > m_Marks.size() / 16)
        std::fill(m_Marks.begin(), m_Marks.end(), uint8_t{0});
    else
        for (const uint32_t nCell : m_Marked)
            m_Marks[nCell] = 0;
    m_Marked.clear();
}

void CQtCanvas::Overpainted(int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint32_t nColor, int32_t nReach)
{
    if (m_Marked.empty())
        return;
    // The cells of the dots whose own reach meets the painted box.
    const int64_t nLeft = int64_t{m_Picture.left()} - MARK_MARGIN;
    const int64_t nTop = int64_t{m_Picture.top()} - MARK_MARGIN;
    const int64_t nRows = static_cast<int64_t>(m_Marks.size()) / m_nMarkStride;
    const int64_t cx0 = std::max<int64_t>(x0 - nReach - m_nMarkReach - nLeft, 0);
    const int64_t cy0 = std::max<int64_t>(y0 - nReach - m_nMarkReach - nTop, 0);
    const int64_t cx1 = std::min<int64_t>(x1 + nReach + m_nMarkReach - nLeft, m_nMarkStride - 1);
    const int64_t cy1 = std::min<int64_t>(y1 + nReach + m_nMarkReach - nTop, nRows - 1);
    if (cx0 > cx1 || cy0 > cy1)
        return;
    constexpr int64_t MAX_CELLS = 4096; // a larger box costs more than starting afresh
    if ((cx1 - cx0 + 1) * (cy1 - cy0 + 1) > MAX_CELLS) {
        ClearMarks();
        return;
    }
    // Paint of the same colour over a dot leaves it as it was.
    for (int64_t cy = cy0; cy <= cy1; ++cy) {
        for (int64_t cx = cx0; cx <= cx1; ++cx) {
            uint8_t& nMark = m_Marks[static_cast<size_t>(cy * m_nMarkStride + cx)];
            if (nMark && m_MarkPens[nMark - 1].m_nColor != nColor)
                nMark = 0;
        }
    }
}

void CQtCanvas::PlaceDot(int32_t x, int32_t y)
{
    const int32_t nReach = Reach(m_Pen.m_nWidth);
    if (int64_t{x} + nReach < m_Picture.left() || int64_t{x} - nReach > m_Picture.right() ||
        int64_t{y} + nReach < m_Picture.top() || int64_t{y} - nReach > m_Picture.bottom())
        return; // paints nothing that shows
    // A dot whose pixel has its colour already adds nothing: lines of its colour may have painted
    // it, which the marks of the dots alone do not tell. (Wider dots are lines like any other.)
    const bool bShadow = ShadowReady();
    if (bShadow && DotCovered(QPoint(x, y)))
        return;
    if (MarksReady()) {
        const uint8_t nPen = MarkPen(m_Pen);
        const int64_t nCell = (int64_t{y} - m_Picture.top() + MARK_MARGIN) * m_nMarkStride +
                              (int64_t{x} - m_Picture.left() + MARK_MARGIN);
        if (m_Marks[static_cast<size_t>(nCell)] == nPen)
            return;
        Overpainted(x, y, x, y, m_Pen.m_nColor, nReach);
        uint8_t& nMark = m_Marks[static_cast<size_t>(nCell)];
        if (nMark == 0) {
            if (m_Marked.size() >= m_Marks.size()) // cells cleared one by one and set again
                ClearMarks();
            m_Marked.push_back(static_cast<uint32_t>(nCell));
        }
        nMark = nPen;
    }
    constexpr size_t MAX_BATCH = 16384; // dots in one path of the file
    if (!m_Pending.empty() || !m_Dots.empty() || !m_Join.empty() ||
        (!m_DotBatch.empty() && !(m_DotBatchPen == m_Pen)) || m_DotBatch.size() >= MAX_BATCH)
        Flush();
    m_DotBatchPen = m_Pen;
    m_DotBatch.emplace_back(x, y);
    if (bShadow)
        Shade(QPoint(x, y), QPoint(x + 1, y + 1), nullptr);
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
    if (m_bVector && m_Pen.m_nWidth <= 1 && int64_t{x} == int64_t{points[0].x()} + 1 &&
        int64_t{y} == int64_t{points[0].y()} + 1) {
        PlaceDot(points[0].x(), points[0].y());
        return;
    }
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
    if (m_Pen.m_nWidth > 1) {
        WideLines(pPoints, nCount);
        return;
    }
    if (!m_Dots.empty() || !m_DotBatch.empty() || !m_Join.empty())
        Flush();
    if (!m_Marked.empty()) {
        int64_t x0 = pPoints[0].x(), x1 = x0, y0 = pPoints[0].y(), y1 = y0;
        for (int i = 1; i < nCount; ++i) {
            x0 = std::min<int64_t>(x0, pPoints[i].x());
            x1 = std::max<int64_t>(x1, pPoints[i].x());
            y0 = std::min<int64_t>(y0, pPoints[i].y());
            y1 = std::max<int64_t>(y1, pPoints[i].y());
        }
        Overpainted(x0, y0, x1, y1, m_Pen.m_nColor, Reach(m_Pen.m_nWidth));
    }
    GatherLines(pPoints, nCount);
}

namespace {
// Beyond the points of a polyline, how far a pen of the width may paint: the corner of a square
// cap of a diagonal line, and a pixel for the rasteriser's rounding.
int32_t WideReach(int32_t nWidth)
{
    return static_cast<int32_t>(std::ceil(nWidth * 0.7072)) + 1;
}
// How far beyond a line's stroke (its band and square caps) the centre of a pixel the rasteriser
// paints for it may lie: its rounding reaches about 1/100 pixel (random lines of widths 2 to 24).
constexpr double STROKE_ROUNDING = 1.0 / 32;
} // namespace

void CQtCanvas::WideLines(const QPoint* pPoints, int nCount)
{
    int64_t x0 = pPoints[0].x(), x1 = x0, y0 = pPoints[0].y(), y1 = y0;
    for (int i = 1; i < nCount; ++i) {
        x0 = std::min<int64_t>(x0, pPoints[i].x());
        x1 = std::max<int64_t>(x1, pPoints[i].x());
        y0 = std::min<int64_t>(y0, pPoints[i].y());
        y1 = std::max<int64_t>(y1, pPoints[i].y());
    }
    const int32_t nReach = WideReach(m_Pen.m_nWidth);
    if (x1 + nReach < m_Picture.left() || x0 - nReach > m_Picture.right() || y1 + nReach < m_Picture.top() ||
        y0 - nReach > m_Picture.bottom())
        return; // paints nothing that shows
    Overpainted(x0, y0, x1, y1, m_Pen.m_nColor, nReach);
    const bool bShadow = ShadowReady();
    if (nCount == 2) {
        // Most lines of a curve that goes over its pixels again lie well within what it has
        // painted: the rasteriser is asked only about those near the edge of the painted pixels.
        if (bShadow) {
            const double dHalf = m_Pen.m_nWidth / 2.0;
            if (AreaCovered(Band(pPoints[0], pPoints[1], dHalf, dHalf, dHalf), STROKE_ROUNDING,
                            ShadowIndex(m_Pen.m_nColor)) ||
                !ProbeWide(pPoints, 2, true))
                return;
        }
        if (m_Pen.m_nWidth == 2) {
            JoinLine(pPoints[0], pPoints[1]);
            return;
        }
        Flush();
        UsePen(m_Pen);
        m_Painter.drawPolyline(pPoints, 2);
        CCpuState::Clean();
        return;
    }
    // A longer polyline joins its lines: it goes to the device as a path of its own, of which
    // lines that change no pixel may still be left out.
    if (bShadow && !ProbeWide(pPoints, nCount, false))
        return;
    Flush();
    GatherLines(pPoints, nCount);
    Flush();
    if (bShadow)
        ProbeWide(pPoints, nCount, true);
}

void CQtCanvas::JoinLine(const QPoint& a, const QPoint& b)
{
    // A two-pixel pen's join paints what the caps of its two lines paint where the path bends by
    // 60 degrees or less (tried on many random paths; at a right angle it does not always).
    bool bJoins = !m_Join.empty() && m_JoinPen == m_Pen && m_Join.back() == a && m_Join.size() < MAX_PIECE;
    if (bJoins) {
        const double x1 = static_cast<double>(a.x()) - m_JoinBefore.x(),
                     y1 = static_cast<double>(a.y()) - m_JoinBefore.y();
        const double x2 = static_cast<double>(b.x()) - a.x(), y2 = static_cast<double>(b.y()) - a.y();
        bJoins = 2 * (x1 * x2 + y1 * y2) >= std::hypot(x1, y1) * std::hypot(x2, y2);
    }
    if (!bJoins) {
        Flush();
        m_Join.push_back(a);
        m_JoinPen = m_Pen;
    }
    const size_t n = m_Join.size();
    if (n >= 2 && Straight(m_Join[n - 2], m_Join[n - 1], b))
        m_Join.back() = b;
    else
        m_Join.push_back(b);
    m_JoinBefore = a;
}

bool CQtCanvas::ProbeWide(const QPoint* pPoints, int nCount, bool bPaint)
{
    int64_t x0 = pPoints[0].x(), x1 = x0, y0 = pPoints[0].y(), y1 = y0;
    for (int i = 1; i < nCount; ++i) {
        x0 = std::min<int64_t>(x0, pPoints[i].x());
        x1 = std::max<int64_t>(x1, pPoints[i].x());
        y0 = std::min<int64_t>(y0, pPoints[i].y());
        y1 = std::max<int64_t>(y1, pPoints[i].y());
    }
    const int32_t nReach = WideReach(m_Pen.m_nWidth);
    x0 = std::max<int64_t>(x0 - nReach, m_Picture.left());
    x1 = std::min<int64_t>(x1 + nReach, m_Picture.right());
    y0 = std::max<int64_t>(y0 - nReach, m_Picture.top());
    y1 = std::min<int64_t>(y1 + nReach, m_Picture.bottom());
    if (x0 > x1 || y0 > y1)
        return false;
    const uint8_t nIndex = ShadowIndex(m_Pen.m_nColor);
    if (m_nProbeWidth != m_Pen.m_nWidth) {
        m_ProbePainter->setPen(ToQPen({0xFFFFFF, m_Pen.m_nWidth}));
        m_nProbeWidth = m_Pen.m_nWidth;
    }
    m_ProbePainter->drawPolyline(pPoints, nCount);
    CCpuState::Clean();
    bool bAdds = false;
    for (int64_t y = y0; y <= y1; ++y) {
        uint8_t* pProbe = m_Probe.scanLine(static_cast<int>(y - m_Picture.top()));
        uint8_t* pShadow = m_Shadow.scanLine(static_cast<int>(y - m_Picture.top()));
        for (int64_t x = x0 - m_Picture.left(); x <= x1 - m_Picture.left(); ++x) {
            if (!pProbe[x])
                continue;
            pProbe[x] = 0;
            bAdds = bAdds || pShadow[x] != nIndex;
            if (bPaint)
                pShadow[x] = nIndex;
        }
    }
    return bAdds;
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
    const bool bWide = m_Pen.m_nWidth > 1;
    for (int i = 1; i < nCount; ++i) {
        const QPoint from = m_CurveEnd;
        const QPoint to = pPoints[i];
        const bool bBefore = m_bCurveBefore;
        const QPoint before = m_CurveBefore;
        m_CurveBefore = from;
        m_bCurveBefore = true;
        m_CurveEnd = to;
        if (bShadow && (bWide ? bBefore && LineCovered(before, from, to) : Probe(from, to))) {
            Hold(from, to, !bWide || EndCovered(from, to, bBefore ? &before : nullptr));
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
    const bool bWide = m_PendingPen.m_nWidth > 1;
    if (m_bDropping) {
        if (bEnd) { // a piece may go on from here: what lies before is left out
            m_Held.clear();
            m_bGap = true;
            m_Restart = bWide ? from : to;
            if (bWide)
                m_Held.push_back({to, true});
        } else if (m_Held.push_back({to, false}); m_Held.size() > MAX_KEPT)
            EndGap();
        return;
    }
    m_Held.push_back({to, bEnd});
    // The gap begins after the first line a piece may end with; a one-pixel line's piece ends as
    // it would go on, so its gap may begin at the path's last point.
    size_t nFirst = bWide ? m_Held.size() : 0;
    for (size_t i = 0; bWide && i < m_Held.size(); ++i) {
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
                m_Restart = bWide ? (i > 0 ? m_Held[i - 1].m_Point : m_Pending.back()) : m_Held[i].m_Point;
                m_Held.erase(m_Held.begin(), m_Held.begin() + static_cast<std::ptrdiff_t>(bWide ? i : i + 1));
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
    if (!m_Pending.empty() || !m_DotBatch.empty() || !m_Join.empty() || (!m_Dots.empty() && m_nDotColor != nColor))
        Flush();
    Overpainted(x, y, x, y, nColor, 1);
    Unknown(QRect(x, y, 1, 1));
    m_nDotColor = nColor;
    m_Dots.emplace_back(x, y);
}

void CQtCanvas::Rectangle(int32_t nLeft, int32_t nTop, int32_t nRight, int32_t nBottom)
{
    Flush();
    ClearMarks();
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
    ClearMarks();
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
