#pragma once
// What the renderer draws on: the screen, a picture file, the printer, a test log. Colours are
// 0x00BBGGRR values; positions are device pixels. Lines are drawn as a GDI canvas draws them:
// LineTo and Polyline leave their very last point unpainted.
#include <cstdint>
#include <cstring>

struct SPoint {
    int32_t x;
    int32_t y;
};

enum class EBrushStyle { Solid, Clear };

class CCanvas {
public:
    virtual ~CCanvas() = default;

    virtual void SetPenColor(uint32_t nColor) = 0;
    virtual void SetPenWidth(int32_t nWidth) = 0;
    virtual void SetPenSolid() = 0;
    virtual void SetBrushColor(uint32_t nColor) = 0;
    virtual void SetBrushStyle(EBrushStyle style) = 0;
    virtual void MoveTo(int32_t x, int32_t y) = 0;
    virtual void LineTo(int32_t x, int32_t y) = 0;
    virtual void Polyline(const SPoint* pPoints, int32_t nCount) = 0;
    virtual void SetPixel(int32_t x, int32_t y, uint32_t nColor) = 0;
    // Outline with the pen, filled with the brush; right and bottom are exclusive.
    virtual void Rectangle(int32_t nLeft, int32_t nTop, int32_t nRight, int32_t nBottom) = 0;
    virtual void SetFontSize(int32_t nPoints) = 0;
    virtual void SetFontColor(uint32_t nColor) = 0;
    virtual int32_t TextHeight(const char* pszText) = 0;
    // How wide the text is drawn; a canvas that cannot measure estimates.
    virtual int32_t TextWidth(const char* pszText)
    {
        return static_cast<int32_t>(std::strlen(pszText)) * (TextHeight(pszText) + 1) / 2;
    }
    // The top-left corner of the text at (x, y); Windows-1252 text, in which PI_SIGN stands for
    // the Greek letter pi.
    virtual void TextOut(int32_t x, int32_t y, const char* pszText) = 0;

    // A byte Windows-1252 leaves unassigned (no formula or file text holds it), for the pi the
    // labels need.
    static constexpr char PI_SIGN = '\x81';
};
