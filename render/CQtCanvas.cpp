#include "render/CQtCanvas.h"

#include <QFontMetrics>

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

void CQtCanvas::Flush()
{
    if (m_Pending.size() >= 2) {
        UsePen(m_PendingPen);
        m_Painter.drawPolyline(m_Pending.data(), static_cast<int>(m_Pending.size()));
    }
    m_Pending.clear();
    if (!m_Dots.empty()) {
        UsePen({m_nDotColor, 1});
        m_Painter.drawPoints(m_Dots.data(), static_cast<int>(m_Dots.size()));
        m_Dots.clear();
    }
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
    if (!m_Dots.empty())
        Flush();
    if (!m_bVector) {
        UsePen(m_Pen);
        m_Painter.drawPolyline(pPoints, nCount);
        return;
    }
    if (m_Pending.empty() || !(m_PendingPen == m_Pen) || m_Pending.back() != pPoints[0]) {
        Flush();
        m_Pending.push_back(pPoints[0]);
        m_PendingPen = m_Pen;
    }
    for (int i = 1; i < nCount; ++i) {
        const size_t n = m_Pending.size();
        if (n >= 2 && Straight(m_Pending[n - 2], m_Pending[n - 1], pPoints[i]))
            m_Pending[n - 1] = pPoints[i];
        else
            m_Pending.push_back(pPoints[i]);
    }
}

void CQtCanvas::SetPixel(int32_t x, int32_t y, uint32_t nColor)
{
    if (!m_Pending.empty() || (!m_Dots.empty() && m_nDotColor != nColor))
        Flush();
    m_nDotColor = nColor;
    m_Dots.emplace_back(x, y);
}

void CQtCanvas::Rectangle(int32_t nLeft, int32_t nTop, int32_t nRight, int32_t nBottom)
{
    Flush();
    if (nRight <= nLeft || nBottom <= nTop)
        return;
    UsePen(m_Pen);
    m_Painter.setBrush(m_BrushStyle == EBrushStyle::Solid ? QBrush(ToQColor(m_nBrushColor)) : QBrush(Qt::NoBrush));
    // A one-pixel outline of QRect(l, t, w, h) covers w + 1 columns; GDI's right edge is
    // exclusive.
    m_Painter.drawRect(QRect(nLeft, nTop, nRight - nLeft - 1, nBottom - nTop - 1));
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

void CQtCanvas::TextOut(int32_t x, int32_t y, const char* pszText)
{
    Flush();
    const QFont font = Font();
    const QFontMetrics metrics(font, m_Painter.device());
    const QString szText = FromAnsi(pszText);
    if (m_BrushStyle == EBrushStyle::Solid)
        m_Painter.fillRect(QRect(x, y, metrics.horizontalAdvance(szText), metrics.height()), ToQColor(m_nBrushColor));
    m_Painter.setFont(font);
    m_Painter.setPen(ToQColor(m_nFontColor));
    m_Applied = {0xFFFFFFFF, -1};
    m_Painter.drawText(QPoint(x, y + metrics.ascent()), szText);
}
