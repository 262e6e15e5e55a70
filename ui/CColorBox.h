#pragma once
// A filled rectangle in one colour that reports mouse presses: the background colour box.
#include <QColor>
#include <QFrame>
#include <functional>

class CColorBox : public QFrame {
    Q_OBJECT
public:
    explicit CColorBox(QWidget* pParent);

    void SetBrushColor(const QColor& color);
    QColor BrushColor() const { return m_Color; }
    void SetMouseDownHandler(std::function<void()> handler) { m_OnMouseDown = std::move(handler); }

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;

private:
    QColor m_Color = Qt::white;
    std::function<void()> m_OnMouseDown;
};
