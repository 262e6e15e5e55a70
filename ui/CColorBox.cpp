#include "ui/CColorBox.h"

#include <QMouseEvent>
#include <QPainter>

CColorBox::CColorBox(QWidget* pParent) : QFrame(pParent)
{
    setFixedSize(33, 17);
    setCursor(Qt::PointingHandCursor);
}

void CColorBox::SetBrushColor(const QColor& color)
{
    if (color == m_Color)
        return;
    m_Color = color;
    update();
}

void CColorBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.setBrush(m_Color);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void CColorBox::mousePressEvent(QMouseEvent* pEvent)
{
    pEvent->accept();
    if (m_OnMouseDown)
        m_OnMouseDown();
}
