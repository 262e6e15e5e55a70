#include "CRecordingCanvas.h"

#include <cstdio>

namespace {
std::string Hex(uint32_t n)
{
    char sz[16];
    std::snprintf(sz, sizeof sz, "%06X", n);
    return sz;
}
std::string Xy(int32_t x, int32_t y)
{
    return std::to_string(x) + "," + std::to_string(y);
}
} // namespace

std::vector<std::string> CRecordingCanvas::Calls(const std::string& szPrefix) const
{
    std::vector<std::string> calls;
    for (const std::string& sz : m_Log)
        if (sz.compare(0, szPrefix.size(), szPrefix) == 0)
            calls.push_back(sz);
    return calls;
}

void CRecordingCanvas::SetPenColor(uint32_t nColor)
{
    m_Log.push_back("pencolor " + Hex(nColor));
}
void CRecordingCanvas::SetPenWidth(int32_t nWidth)
{
    m_Log.push_back("penwidth " + std::to_string(nWidth));
}
void CRecordingCanvas::SetPenSolid()
{
    m_Log.push_back("pensolid");
}
void CRecordingCanvas::SetBrushColor(uint32_t nColor)
{
    m_Log.push_back("brushcolor " + Hex(nColor));
}
void CRecordingCanvas::SetBrushStyle(EBrushStyle style)
{
    m_Log.push_back(style == EBrushStyle::Clear ? "brush clear" : "brush solid");
}
void CRecordingCanvas::MoveTo(int32_t x, int32_t y)
{
    m_Log.push_back("move " + Xy(x, y));
}
void CRecordingCanvas::LineTo(int32_t x, int32_t y)
{
    m_Log.push_back("line " + Xy(x, y));
}
void CRecordingCanvas::Polyline(const SPoint* pPoints, int32_t nCount)
{
    std::string sz = "polyline";
    for (int32_t i = 0; i < nCount; ++i)
        sz += " " + Xy(pPoints[i].x, pPoints[i].y);
    m_Log.push_back(sz);
}
void CRecordingCanvas::SetPixel(int32_t x, int32_t y, uint32_t nColor)
{
    ++m_nPixels;
    if (m_bLogPixels)
        m_Log.push_back("pixel " + Xy(x, y) + " " + Hex(nColor));
}
void CRecordingCanvas::Rectangle(int32_t nLeft, int32_t nTop, int32_t nRight, int32_t nBottom)
{
    m_Log.push_back("rect " + Xy(nLeft, nTop) + " " + Xy(nRight, nBottom));
}
void CRecordingCanvas::SetFontSize(int32_t nPoints)
{
    m_Log.push_back("fontsize " + std::to_string(nPoints));
}
void CRecordingCanvas::SetFontColor(uint32_t nColor)
{
    m_Log.push_back("fontcolor " + Hex(nColor));
}
int32_t CRecordingCanvas::TextHeight(const char*)
{
    return TEXT_HEIGHT;
}
int32_t CRecordingCanvas::TextWidth(const char* pszText)
{
    return static_cast<int32_t>(std::string(pszText).size()) * GLYPH_WIDTH;
}

void CRecordingCanvas::TextOut(int32_t x, int32_t y, const char* pszText)
{
    m_Log.push_back("text " + Xy(x, y) + " " + pszText);
}
