#include "ui/CPaintBox.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

CPaintBox::CPaintBox(QWidget* pParent) : QWidget(pParent)
{
    setObjectName("PaintBox");
    setCursor(Qt::CrossCursor);
    setMouseTracking(true); // the coordinates follow the pointer without a button held
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPaintBox::paintEvent(QPaintEvent* pEvent)
{
    QPainter painter(this);
    if (m_pPicture && !m_pPicture->isNull()) {
        // The picture has the screen's pixels: the part of it behind the rectangle, 1:1.
        const QRectF target(pEvent->rect());
        const qreal d = m_pPicture->devicePixelRatio();
        painter.drawImage(target, *m_pPicture,
                          QRectF(target.x() * d, target.y() * d, target.width() * d, target.height() * d));
    } else {
        painter.fillRect(pEvent->rect(), Qt::white);
    }
    if (m_OnPaintOver)
        m_OnPaintOver(painter);
}

void CPaintBox::mousePressEvent(QMouseEvent* pEvent)
{
    if (m_OnMouseDown)
        m_OnMouseDown(pEvent);
}

void CPaintBox::mouseMoveEvent(QMouseEvent* pEvent)
{
    if (m_OnMouseMove)
        m_OnMouseMove(pEvent);
}

void CPaintBox::mouseReleaseEvent(QMouseEvent* pEvent)
{
    if (m_OnMouseUp)
        m_OnMouseUp(pEvent);
}

void CPaintBox::resizeEvent(QResizeEvent* pEvent)
{
    QWidget::resizeEvent(pEvent);
    if (m_OnResize)
        m_OnResize();
}

void CPaintBox::wheelEvent(QWheelEvent* pEvent)
{
    if (m_OnWheel)
        m_OnWheel(pEvent);
    else
        QWidget::wheelEvent(pEvent);
}
