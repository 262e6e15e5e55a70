#include "ui/CGraphView.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>

#include "project/CProject.h"
#include "project/CShownNumber.h"
#include "render/CQtCanvas.h"
#include "render/CRenderer.h"
#include "ui/CCurveTrace.h"
#include "ui/CPageFrame.h"
#include "ui/CPaintBox.h"
#include "view/CFuncVars.h"
#include "view/CViewRange.h"

CGraphView::CGraphView(CPageFrame& frame, const char* pszSurfaceName, QWidget* pParent)
    : QWidget(pParent), m_Frame(frame)
{
    m_pPaintBox = new CPaintBox(this);
    m_pPaintBox->setObjectName(pszSurfaceName);
    m_pPaintBox->SetPicture(&m_Image);
    m_pTrace = new CCurveTrace(frame, m_pPaintBox);
    m_pTrace->m_View = [this] { return ShownView(); };
    m_pPaintBox->m_OnPaintOver = [this](QPainter& painter) { m_pTrace->PaintOver(painter); };
    m_pPaintBox->m_OnMouseDown = [this](QMouseEvent* pEvent) {
        const QPoint pos = pEvent->position().toPoint();
        // A right click, or any click while "Kurve verfolgen" waits for one, picks a curve.
        if (pEvent->button() == Qt::RightButton || (m_pTrace->IsOn() && !m_pTrace->HasCurve())) {
            m_pTrace->TraceAt(pos.x(), pos.y());
            return;
        }
        MouseDown(pos.x(), pos.y());
    };
    m_pPaintBox->m_OnMouseMove = [this](QMouseEvent* pEvent) {
        const QPoint pos = pEvent->position().toPoint();
        MouseMove(pos.x(), pos.y());
    };
    m_pPaintBox->m_OnMouseUp = [this](QMouseEvent*) { MouseUp(); };
    m_pPaintBox->m_OnWheel = [this](QWheelEvent* pEvent) {
        const QPoint pos = pEvent->position().toPoint();
        Wheel(pos.x(), pos.y(), pEvent->angleDelta().y());
    };
    m_pPaintBox->m_OnResize = [this] {
        if (m_OnResize)
            m_OnResize();
    };
    m_pSliderRow = new QWidget(this);
    m_pSliderRow->setObjectName(QString(pszSurfaceName) + "Sliders");
    m_pSliderLayout = new QHBoxLayout(m_pSliderRow);
    m_pSliderLayout->setContentsMargins(0, 2, 0, 0);
    m_pSliderRow->hide();
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    pLayout->addWidget(m_pPaintBox, 1);
    pLayout->addWidget(m_pSliderRow, 0);
}

CGraphView::~CGraphView()
{
    if (m_bDragging)
        QApplication::restoreOverrideCursor();
}

uint32_t CGraphView::Width() const
{
    return static_cast<uint32_t>(std::max(0, m_pPaintBox->width()));
}

uint32_t CGraphView::Height() const
{
    return static_cast<uint32_t>(std::max(0, m_pPaintBox->height()));
}

QImage CGraphView::NewImage() const
{
    // At the screen's own resolution: the painter scales the layout and every pen width by it.
    const qreal dRatio = m_pPaintBox->devicePixelRatioF();
    QImage image(QSize(std::max(1, m_pPaintBox->width()), std::max(1, m_pPaintBox->height())) * dRatio,
                 QImage::Format_RGB32);
    image.setDevicePixelRatio(dRatio);
    return image;
}

void CGraphView::FitImage()
{
    const qreal dRatio = m_pPaintBox->devicePixelRatioF();
    const QSize size = QSize(std::max(1, m_pPaintBox->width()), std::max(1, m_pPaintBox->height())) * dRatio;
    if (m_Image.size() != size || m_Image.devicePixelRatio() != dRatio)
        m_Image = NewImage();
}

void CGraphView::EndHolding()
{
    if (!m_bHolding)
        return;
    m_bHolding = false;
    m_pPaintBox->SetPicture(&m_Image);
    m_pPaintBox->update();
}

void CGraphView::HoldMoved(const QImage& picture, int nDx, int nDy)
{
    QImage moved(picture.size(), QImage::Format_RGB32);
    moved.setDevicePixelRatio(picture.devicePixelRatio());
    {
        QPainter painter(&moved);
        CQtCanvas canvas(painter);
        CRenderer::DrawBackground(m_Frame.Document(), canvas, static_cast<int32_t>(Width()),
                                  static_cast<int32_t>(Height()));
        canvas.Flush();
        painter.drawImage(nDx, nDy, picture);
    }
    m_Held = moved;
    m_bHolding = true;
    m_pPaintBox->SetPicture(&m_Held);
}

CViewBox CGraphView::ShownBox() const
{
    return m_ShownBox ? m_ShownBox() : CViewBox::Of(m_Frame.Document());
}

CFuncVars CGraphView::ShownView() const
{
    CFuncVars vars;
    vars.SetupView(&m_Frame.Document(), ShownBox(), nullptr, Width(), Height(), 0, 0);
    return vars;
}

void CGraphView::ViewMoved()
{
    m_Frame.RangesChanged(); // the Einstellungen page shows the document's ranges
    if (m_OnViewMoved)
        m_OnViewMoved();
}

void CGraphView::Zoom(double dFactor)
{
    if (m_OnBeforeMove)
        m_OnBeforeMove();
    if (!CViewRange::ZoomView(m_Frame.Document(), dFactor, Width(), Height())) {
        m_Frame.ShowStatus("Weiter vergr\u00F6\u00DFern geht nicht: die Rechengenauigkeit reicht nicht aus.");
        return;
    }
    ViewMoved();
}

void CGraphView::ZoomAt(double dFactor, int nX, int nY)
{
    if (m_OnBeforeMove)
        m_OnBeforeMove();
    CProject& project = m_Frame.Document();
    double ax, ay, bx, by;
    CFuncVars before;
    before.SetupView(&project, nullptr, Width(), Height(), 0, 0);
    before.UnmapPoint(nX, nY, ax, ay);
    if (!CViewRange::ZoomView(project, dFactor, Width(), Height())) {
        m_Frame.ShowStatus("Weiter vergr\u00F6\u00DFern geht nicht: die Rechengenauigkeit reicht nicht aus.");
        return;
    }
    CFuncVars after;
    after.SetupView(&project, nullptr, Width(), Height(), 0, 0);
    after.UnmapPoint(nX, nY, bx, by);
    CViewRange::ShiftView(project, ax - bx, ay - by);
    ViewMoved();
}

void CGraphView::Wheel(int nX, int nY, int nAngleDelta)
{
    m_nWheelDelta += nAngleDelta;
    const int nNotches = m_nWheelDelta / 120;
    if (nNotches == 0)
        return;
    m_nWheelDelta -= nNotches * 120;
    ZoomAt(std::pow(2.0, nNotches), nX, nY);
}

void CGraphView::MouseDown(int nX, int nY)
{
    m_nMouseX = nX;
    m_nMouseY = nY;
    if (!m_bDragging)
        QApplication::setOverrideCursor(Qt::ClosedHandCursor);
    m_bDragging = true;
}

void CGraphView::MouseUp()
{
    if (m_bDragging)
        QApplication::restoreOverrideCursor();
    m_bDragging = false;
}

void CGraphView::MouseMove(int nX, int nY)
{
    CProject& project = m_Frame.Document();
    if (m_bDragging) {
        if (m_OnBeforeMove)
            m_OnBeforeMove();
        CFuncVars vars;
        vars.SetupView(&project, nullptr, Width(), Height(), 0, 0);
        double ax, ay, bx, by;
        vars.UnmapPoint(m_nMouseX, m_nMouseY, ax, ay);
        vars.UnmapPoint(nX, nY, bx, by);
        CViewRange::ShiftView(project, ax - bx, ay - by);
        // The picture moves with the mouse at once; the new one takes its place once it has
        // caught up, so the curves follow without flicker.
        HoldMoved(Picture(), nX - m_nMouseX, nY - m_nMouseY);
        ViewMoved();
    } else {
        if (!m_pTrace->PointerAt(nX, nY)) {
            double x, y;
            ShownView().UnmapPoint(nX, nY, x, y);
            const bool bComma = CShownNumber::Comma(m_Frame.Document());
            m_Frame.ShowStatus(QString::fromStdString(CShownNumber::Format(x, bComma) +
                                                      CShownNumber::PairSeparator(bComma) +
                                                      CShownNumber::Format(y, bComma)));
        }
        // A marked point tells its coordinates under the pointer.
        const QString szMark = m_pTrace->MarkAt(nX, nY);
        if (!szMark.isEmpty())
            QToolTip::showText(m_pPaintBox->mapToGlobal(QPoint(nX, nY)), szMark, m_pPaintBox);
        else if (!m_pTrace->Marks().m_Points.empty())
            QToolTip::hideText();
    }
    m_nMouseX = nX;
    m_nMouseY = nY;
}
