#pragma once
// The canvas on a QPainter: the screen, a QImage, an SVG or PDF file. Lines and points are drawn
// without antialiasing; a pen of width 1 paints exactly the pixels a GDI canvas paints, its last
// point excluded.
#include <QColor>
#include <QPainter>
#include <QString>
#include <vector>

#include "render/CCanvas.h"

class CQtCanvas : public CCanvas {
public:
    // bVector: the device stores every primitive (SVG, PDF). Consecutive polylines that continue
    // one another are then handed over as one, so a curve of a million samples is one path.
    explicit CQtCanvas(QPainter& painter, bool bVector = false);
    ~CQtCanvas() override;
    CQtCanvas(const CQtCanvas&) = delete;
    CQtCanvas& operator=(const CQtCanvas&) = delete;

    // Hands what is gathered to the painter; call before using the painter directly.
    void Flush();

    static QColor ToQColor(uint32_t nColor); // 0x00BBGGRR
    static uint32_t FromQColor(const QColor& color);
    static QString FromAnsi(const char* pszText); // Windows-1252

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
    void TextOut(int32_t x, int32_t y, const char* pszText) override;

private:
    struct SPen {
        uint32_t m_nColor;
        int32_t m_nWidth;
        bool operator==(const SPen& other) const { return m_nColor == other.m_nColor && m_nWidth == other.m_nWidth; }
    };

    void UsePen(const SPen& pen);
    void DrawLines(const QPoint* pPoints, int nCount);
    QFont Font() const;

    QPainter& m_Painter;
    bool m_bVector;
    SPen m_Pen = {0x000000, 1};
    SPen m_Applied = {0xFFFFFFFF, -1}; // what the painter holds; none yet
    uint32_t m_nBrushColor = 0xFFFFFF;
    EBrushStyle m_BrushStyle = EBrushStyle::Solid;
    SPoint m_Position = {0, 0};
    int32_t m_nFontSize = 8;
    uint32_t m_nFontColor = 0x000000;
    std::vector<QPoint> m_Pending; // a path still growing, vector devices only
    SPen m_PendingPen = {0x000000, 1};
    std::vector<QPoint> m_Dots; // pixels of one colour not yet handed over
    uint32_t m_nDotColor = 0;
    std::vector<QPoint> m_Scratch;
};
