#pragma once
// The canvas on a QPainter: the screen, a QImage, an SVG or PDF file. Lines and points are drawn
// without antialiasing; a pen of width 1 paints exactly the pixels a GDI canvas paints, its last
// point excluded.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QString>
#include <memory>
#include <vector>

#include "render/CCanvas.h"

class CQtCanvas : public CCanvas {
public:
    // bVector: the device stores every primitive (SVG, PDF). Consecutive one-pixel polylines that
    // continue one another are then handed over as one, so a curve of a million samples is one
    // path; and a one-pixel dot (a line from a pixel to the one diagonally below it) is stored once
    // per pixel: it is left out where the last dot at that pixel had the same pen and nothing of
    // another colour has been drawn over it since, and where it lies wholly outside the picture.
    // Dots of one pen in a row go to the device as one path. A one-pixel line that paints only
    // pixels the curve's colour holds already is left out too (a curve of many turns is stored
    // about once); a path goes to the device in pieces of bounded length. A wider pen paints each
    // call on its own, caps and all, as the raster does: a call that adds no pixel of its colour
    // is left out, so what is stored grows with the pixels painted, not with the samples (within a
    // long polyline, so is a line whose stroke and join lie on such pixels). A two-pixel pen's
    // lines that continue one another with gentle bends go to the device as one polyline.
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
    int32_t TextWidth(const char* pszText) override;
    void TextOut(int32_t x, int32_t y, const char* pszText) override;

private:
    struct SPen {
        uint32_t m_nColor;
        int32_t m_nWidth;
        bool operator==(const SPen& other) const { return m_nColor == other.m_nColor && m_nWidth == other.m_nWidth; }
    };

    static QPen ToQPen(const SPen& pen);
    void UsePen(const SPen& pen);
    void DrawLines(const QPoint* pPoints, int nCount);
    QFont Font() const;
    static QString LabelText(const char* pszText); // FromAnsi, with PI_SIGN as pi
    // Pixels beyond a line's points that a pen may paint (a rectangle's outline).
    static int32_t Reach(int32_t nWidth) { return (nWidth + 1) / 2 + 1; }

    // Vector devices. A line of two points (a dot is a line to the pixel diagonally below) waits
    // in m_Lines for the device, unless its pixels all have its colour already.
    void AddLine(const QPoint& a, const QPoint& b);
    bool OwnersReady();                                // m_Owners exist, where the picture is small enough for them
    void KeepBridge(const QPoint& a, const QPoint& b); // a line that changes no pixel
    void CompactLines();                               // lines that paint no pixel last go
    void EmitLines();                                  // the lines waiting to the device, in their order
    // A wider pen's polyline of more than two points, which joins its lines.
    void WidePolyline(const QPoint* pPoints, int nCount);
    void GatherLines(const QPoint* pPoints, int nCount);              // into the path being gathered
    void JoinLine(const QPoint& a, const QPoint& b, const SPen& pen); // a two-pixel pen's line, to m_Join
    void EmitJoin();

    // The shadow: per pixel of the picture the colour (index + 1 into m_ShadowColors) that the
    // lines handed over leave there, 0 where something else or nothing certain has been drawn.
    bool ShadowReady();
    uint8_t ShadowIndex(uint32_t nColor);
    // Draws the polyline with the current pen on the probe and gathers the pixels of the picture
    // it paints (offsets into the shadow's bits) in m_Painted.
    void Rasterise(const QPoint* pPoints, int nCount);
    bool PaintedHold(uint8_t nIndex) const; // the pixels of m_Painted all hold that colour already
    // A convex area of the picture: a wider pen's stroke is the union of the bodies of its lines,
    // the joins between them and the caps at the ends of its pieces.
    struct SArea {
        int m_nCount = 0;
        double m_dX[4] = {};
        double m_dY[4] = {};
    };
    // The band of half-width dHalf along the line from a to b, reaching dBefore before a and
    // dAfter beyond b; the square of half-width dHalf around a centre, turned to (ux, uy).
    static SArea Band(const QPoint& a, const QPoint& b, double dHalf, double dBefore, double dAfter);
    static SArea Square(const QPoint& centre, double ux, double uy, double dHalf);
    // The rows of the pixels within the picture whose centres lie in the area grown by dGrow
    // (shrunk where negative): row(y, x0, x1), relative to the picture.
    template <class FRow> void AreaRows(const SArea& area, double dGrow, FRow&& row) const;
    bool AreaCovered(const SArea& area, double dGrow, uint8_t nIndex) const;
    // Whether all pixels that show of what the wider pen's line from a to b adds to its path
    // (its body and the join with the line from before) have the pen's colour already.
    bool LineCovered(const QPoint& before, const QPoint& a, const QPoint& b);
    // Whether the line and what lies near it have the pen's colour: a piece of the path may end
    // or begin with it. pBefore: where the line before it begins, if there is one.
    bool EndCovered(const QPoint& a, const QPoint& b, const QPoint* pBefore);
    // The bevel of the join at a, where the path bends there by less than a right angle.
    static bool Bevel(const QPoint& before, const QPoint& a, const QPoint& b, double dHalf, SArea& bevel);
    // A wider pen's line of a path handed over, on the shadow; pBefore: where the line before it
    // in its path begins, if there is one.
    void Shade(const QPoint& a, const QPoint& b, const QPoint* pBefore);
    void Unknown(const QRect& rect);                            // painted with anything, on the shadow
    void Hold(const QPoint& from, const QPoint& to, bool bEnd); // a line that changes no pixel
    void EndGap(); // lines held are handed over, after a gap where lines were left out
    void AppendPending(const QPoint& point);
    void StartPiece(const QPoint& point); // a gap in the path, which goes on at point
    void EmitPending();                   // the path so far to the device; the curve goes on from its last point

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

    QRect m_Picture; // what the device shows (the clip, where there is one)

    static constexpr int64_t MAX_SHADOW_PIXELS = int64_t{1} << 23;
    bool m_bShadowTried = false;
    QImage m_Shadow;                           // Grayscale8, the picture's pixels
    QImage m_Probe;                            // Grayscale8, 0 but where a line is tried
    std::unique_ptr<QPainter> m_ShadowPainter; // after the images: ends before them
    std::unique_ptr<QPainter> m_ProbePainter;
    int32_t m_nProbeWidth = 0; // the width of the pen m_ProbePainter holds, 0 for none yet
    std::vector<uint32_t> m_ShadowColors;
    QPoint m_CurveEnd;         // where the curve being gathered stands, if m_bCurveOpen
    bool m_bCurveOpen = false; // lines continuing at m_CurveEnd with m_PendingPen go on with it
    // Lines that change no pixel are held while few, and left out where more follow: a gap costs
    // more than a point or two. A piece may end or begin only at a line of m_bEnd.
    struct SHeld {
        QPoint m_Point; // where the line ends
        bool m_bEnd;
    };
    static constexpr size_t MAX_HELD = 4;
    static constexpr size_t MAX_KEPT = 64;               // lines held beyond this are handed over
    static constexpr size_t MAX_PIECE = size_t{1} << 16; // points of a path handed over at once
    std::vector<SHeld> m_Held; // after the path's last point, or after m_Restart while m_bDropping
    bool m_bDropping = false;  // lines are left out after the path's last point
    QPoint m_Restart;          // from where the path may go on after them
    bool m_bGap = false;       // m_Restart begins a new piece, rather than going on at the last point
    QPoint m_CurveBefore;      // the point before m_CurveEnd, if m_bCurveBefore
    bool m_bCurveBefore = false;
    std::vector<size_t> m_Starts; // where pieces after the first of m_Pending begin

    // Lines waiting for the device, and per pixel of the picture (at the shadow's offsets) the
    // line that paints it last, 1 + its index in m_Lines, 0 for none waiting. A line that paints
    // no pixel last shows nowhere: it is left out, so at most as many lines as pixels wait.
    struct SLine {
        QPoint m_A;
        QPoint m_B;
        SPen m_Pen;
        uint32_t m_nOwned; // pixels it paints last; 0: it stays out
    };
    static constexpr int64_t MAX_OWNED_PIXELS = int64_t{1} << 21;
    static constexpr size_t MAX_LINES = size_t{1} << 16; // waiting beyond those that paint last
    std::vector<SLine> m_Lines;
    size_t m_nLive = 0; // lines of m_Lines that paint a pixel last
    bool m_bOwnersTried = false;
    std::vector<uint32_t> m_Owners;
    std::vector<uint32_t> m_Painted; // Rasterise's pixels

    // A two-pixel pen's lines handed over, joined where a join paints what their caps paint: the
    // piece not yet on the device.
    std::vector<QPoint> m_Join;
    SPen m_JoinPen = {0x000000, 1};
    QPoint m_JoinBefore; // where the last line of m_Join begins
};
