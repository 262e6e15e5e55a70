#pragma once
// A canvas that writes every call as a line of text, for tests that read what the renderer did.
#include <string>
#include <vector>

#include "render/CCanvas.h"

class CRecordingCanvas : public CCanvas {
public:
    // Lines that start with szPrefix.
    std::vector<std::string> Calls(const std::string& szPrefix) const;
    size_t Count(const std::string& szPrefix) const { return Calls(szPrefix).size(); }

    void SetPenColor(uint32_t nColor) override;
    void SetPenWidth(int32_t nWidth) override;
    void SetPenSolid() override;
    void SetBrushColor(uint32_t nColor) override;
    void SetBrushStyle(EBrushStyle style) override;
    void MoveTo(int32_t x, int32_t y) override;
    void LineTo(int32_t x, int32_t y) override;
    void Polyline(const SPoint* pPoints, int32_t nCount) override;
    void SetPixel(int32_t x, int32_t y, uint32_t nColor) override;
    void Rectangle(int32_t nLeft, int32_t nTop, int32_t nRight, int32_t nBottom) override;
    void SetFontSize(int32_t nPoints) override;
    void SetFontColor(uint32_t nColor) override;
    int32_t TextHeight(const char* pszText) override;
    int32_t TextWidth(const char* pszText) override;
    void TextOut(int32_t x, int32_t y, const char* pszText) override;

    std::vector<std::string> m_Log;
    bool m_bLogPixels = true; // false: only count them, for runs of millions
    size_t m_nPixels = 0;
    static constexpr int32_t TEXT_HEIGHT = 10;
    static constexpr int32_t GLYPH_WIDTH = 6;
};
