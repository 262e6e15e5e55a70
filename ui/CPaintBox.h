#pragma once
// The paint surface of a graph (see CGraphView). It only shows the picture its owner keeps; mouse and
// size changes go to the owner.
#include <QImage>
#include <QWidget>
#include <functional>

class QPainter;

class CPaintBox : public QWidget {
    Q_OBJECT
public:
    explicit CPaintBox(QWidget* pParent);

    void SetPicture(const QImage* pPicture) { m_pPicture = pPicture; }

    std::function<void(QMouseEvent*)> m_OnMouseDown;
    std::function<void(QMouseEvent*)> m_OnMouseMove;
    std::function<void(QMouseEvent*)> m_OnMouseUp;
    std::function<void()> m_OnResize;
    std::function<void(QWheelEvent*)> m_OnWheel;
    std::function<void(QPainter&)> m_OnPaintOver; // marks drawn over the picture, not into it

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void wheelEvent(QWheelEvent* pEvent) override;

private:
    const QImage* m_pPicture = nullptr;
};
