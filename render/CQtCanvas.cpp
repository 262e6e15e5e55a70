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
    const size_t nMax = m_PendingPen.m_nWidth <= 1 ? size_t{1} << 16 : size_t{1} << 20;
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

bool CQtCanvas::Probe(const QPoint& a, const QPoint& b, bool bForget)
{
    const int32_t nWidth = m_Pen.m_nWidth;
    const int64_t nMargin = int64_t{nWidth} + 2; // beyond the caps of the widest reach
    const int64_t x0 = std::min(a.x(), b.x()), x1 = std::max(a.x(), b.x());
    const int64_t y0 = std::min(a.y(), b.y()), y1 = std::max(a.y(), b.y());
    const int64_t nLeft = m_Picture.left(), nTop = m_Picture.top();
    const int64_t nRight = m_Picture.right(), nBottom = m_Picture.bottom();
    if (x1 + nMargin < nLeft || x0 - nMargin > nRight || y1 + nMargin < nTop || y0 - nMargin > nBottom)
        return true; // paints nothing that shows
    if (m_nProbeWidth != nWidth) {
        QPen pen(QColor(255, 255, 255));
        pen.setWidth(nWidth);
        if (nWidth <= 1)
            pen.setCapStyle(Qt::FlatCap);
        m_ProbePainter->setPen(pen);
        m_nProbeWidth = nWidth;
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
        uint8_t* pShadow = m_Shadow.scanLine(static_cast<int>(y - nTop));
        for (int64_t x = xFrom - nLeft; x <= xTo - nLeft; ++x) {
            if (!pProbe[x])
                continue;
            pProbe[x] = 0;
            if (pShadow[x] != nIndex) {
                bRedundant = false;
                if (bForget)
                    pShadow[x] = 0;
            }
        }
    }
    return bRedundant;
}

void CQtCanvas::Shade(const QPoint& a, const QPoint& b)
{
    // A wider pen's caps and joins depend on the lines around it: where they reach, the pixel is
    // no longer known, unless it already had the pen's colour; the line's body is certain.
    if (m_Pen.m_nWidth > 1)
        Probe(a, b, true);
    const int nGrey = ShadowIndex(m_Pen.m_nColor);
    QPen pen(QColor(nGrey, nGrey, nGrey));
    pen.setWidth(m_Pen.m_nWidth);
    pen.setCapStyle(Qt::FlatCap);
    m_ShadowPainter->setPen(pen);
    m_ShadowPainter->drawLine(a, b);
}

void CQtCanvas::Unknown(const QRect& rect)
{
    if (m_ShadowPainter)
        m_ShadowPainter->fillRect(rect, QColor(0, 0, 0));
}

void CQtCanvas::Flush()
{
    for (const QPoint& point : m_Held)
        AppendPending(point);
    m_Held.clear();
    m_bDropping = false;
    EmitPending();
    m_bCurveOpen = false;
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
    if (!m_Pending.empty() || !m_Dots.empty() || (!m_DotBatch.empty() && !(m_DotBatchPen == m_Pen)) ||
        m_DotBatch.size() >= MAX_BATCH)
        Flush();
    m_DotBatchPen = m_Pen;
    m_DotBatch.emplace_back(x, y);
    Unknown(QRect(x - nReach, y - nReach, 2 * nReach + 1, 2 * nReach + 1));
}

void CQtCanvas::UsePen(const SPen& pen)
{
    if (m_Applied == pen)
        return;
    QPen qpen(ToQColor(pen.m_nColor));
    qpen.setStyle(Qt::SolidLine);
    qpen.setWidth(pen.m_nWidth > 1 ? pen.m_nWidth : 1);
    // A flat cap leaves the last pixel of a one-pixel line unpainted, as LineTo promises; wider
    // pens keep the platform's caps and joins.
    if (pen.m_nWidth <= 1)
        qpen.setCapStyle(Qt::FlatCap);
    m_Painter.setPen(qpen);
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
    if (m_bVector && int64_t{x} == int64_t{points[0].x()} + 1 && int64_t{y} == int64_t{points[0].y()} + 1) {
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
    if (!m_Dots.empty() || !m_DotBatch.empty())
        Flush();
    if (!m_bVector) {
        UsePen(m_Pen);
        m_Painter.drawPolyline(pPoints, nCount);
        CCpuState::Clean(); // Qt's raster drawing leaves the upper AVX state dirty for the sampling
        return;
    }
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
    if (!m_bCurveOpen || !(m_PendingPen == m_Pen) || m_CurveEnd != pPoints[0]) {
        Flush();
        m_Pending.push_back(pPoints[0]);
        m_PendingPen = m_Pen;
        m_CurveEnd = pPoints[0];
        m_bCurveOpen = true;
    }
    // One-pixel lines that change no pixel of the picture are left out where several follow one
    // another (a gap costs more than a point or two); the path goes on after them as a new piece
    // of the same path. A wider pen's lines are not tried: its caps and joins depend on the lines
    // around, so that a line drawn alone reaches beyond what it adds to the path.
    const bool bShadow = ShadowReady();
    const bool bTry = bShadow && m_Pen.m_nWidth <= 1;
    for (int i = 1; i < nCount; ++i) {
        const QPoint from = m_CurveEnd;
        const QPoint to = pPoints[i];
        m_CurveEnd = to;
        if (bTry && Probe(from, to, false)) {
            if (!m_bDropping) { // counted as the path would hold them
                const size_t n = m_Held.size();
                if (n >= 2 && Straight(m_Held[n - 2], m_Held[n - 1], to))
                    m_Held[n - 1] = to;
                else
                    m_Held.push_back(to);
                if (m_Held.size() > MAX_HELD) {
                    m_bDropping = true;
                    m_Held.clear();
                }
            }
            continue;
        }
        if (m_bDropping)
            StartPiece(from);
        for (const QPoint& point : m_Held)
            AppendPending(point);
        m_Held.clear();
        m_bDropping = false;
        AppendPending(to);
        if (bShadow)
            Shade(from, to);
    }
}

void CQtCanvas::SetPixel(int32_t x, int32_t y, uint32_t nColor)
{
    if (!m_Pending.empty() || !m_DotBatch.empty() || (!m_Dots.empty() && m_nDotColor != nColor))
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
