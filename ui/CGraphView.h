#pragma once
// A graph as the user handles it, wherever one is shown (the "Grafik" page, the graph beside the
// formulas): the surface shows the picture its owner draws; a right click picks a curve to trace,
// the pointer's coordinates go to the status line, dragging, the wheel and the zoom buttons move
// the document's view. Below the surface a row holds controls of what is shown (sliders); it
// stays hidden until they show it.
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "view/CViewBox.h"

class QHBoxLayout;
class CCurveTrace;
class CFuncVars;
class CPageFrame;
class CPaintBox;

class CGraphView : public QWidget {
    Q_OBJECT
public:
    // pszSurfaceName: the object name of the drawing surface.
    CGraphView(CPageFrame& frame, const char* pszSurfaceName, QWidget* pParent);
    ~CGraphView() override;

    CPaintBox* PaintBox() const { return m_pPaintBox; }
    CCurveTrace* Trace() const { return m_pTrace; }
    // The row under the surface; what is added to its layout is shown there.
    QWidget* SliderRow() const { return m_pSliderRow; }
    QHBoxLayout* SliderLayout() const { return m_pSliderLayout; }

    // The picture the owner draws into, at the surface's size and the screen's resolution once
    // FitImage has run.
    QImage& Image() { return m_Image; }
    // A picture the size of the surface, at the screen's resolution, its contents undefined.
    QImage NewImage() const;
    void FitImage();
    // What the surface shows at this moment: the owner's picture, or while a dragged view
    // catches up the old one, moved with the mouse.
    QImage Picture() const { return m_bHolding ? m_Held : m_Image; }
    void EndHolding();
    // Shows picture moved by (nDx, nDy) pixels on the document's background, until EndHolding.
    void HoldMoved(const QImage& picture, int nDx, int nDy);
    bool Dragging() const { return m_bDragging; }
    uint32_t Width() const;
    uint32_t Height() const;
    // The mapping of the range the surface shows, without a step.
    CFuncVars ShownView() const;

    void MouseDown(int nX, int nY);
    void MouseMove(int nX, int nY);
    void MouseUp();
    // The wheel zooms about the point under the pointer, a factor of 2 per notch (120 eighths
    // of a degree), as the zoom buttons do; finer wheels add up to notches.
    void Wheel(int nX, int nY, int nAngleDelta);
    void Zoom(double dFactor); // about the centre
    void ZoomAt(double dFactor, int nX, int nY);

    // The range the surface shows; without it, the one the document holds.
    std::function<CViewBox()> m_ShownBox;
    // The user is about to move the view: the document is to hold the range shown.
    std::function<void()> m_OnBeforeMove;
    // The view moved (zoom, wheel, drag): the owner draws anew.
    std::function<void()> m_OnViewMoved;
    // The surface changed its size.
    std::function<void()> m_OnResize;

private:
    CViewBox ShownBox() const;
    void ViewMoved();

    CPageFrame& m_Frame;
    CPaintBox* m_pPaintBox;
    CCurveTrace* m_pTrace;
    QWidget* m_pSliderRow;
    QHBoxLayout* m_pSliderLayout;
    QImage m_Image;
    QImage m_Held;
    bool m_bHolding = false;
    int32_t m_nMouseX = 0;
    int32_t m_nMouseY = 0;
    bool m_bDragging = false;
    int m_nWheelDelta = 0; // wheel turns not yet a notch
};
