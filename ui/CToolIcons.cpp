#include "ui/CToolIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {
const QColor INK(40, 40, 40);
const QColor PAPER(255, 255, 255);
const QColor ACCENT(30, 90, 200);
const QColor CURVE(200, 40, 40);

void Page(QPainter& p, const QRectF& r)
{
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - 4, r.top());
    path.lineTo(r.right(), r.top() + 4);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setBrush(PAPER);
    p.drawPath(path);
    p.drawLine(QPointF(r.right() - 4, r.top()), QPointF(r.right() - 4, r.top() + 4));
    p.drawLine(QPointF(r.right() - 4, r.top() + 4), QPointF(r.right(), r.top() + 4));
}

void Magnifier(QPainter& p, bool bPlus)
{
    p.setBrush(PAPER);
    p.drawEllipse(QPointF(9, 9), 5.5, 5.5);
    p.setPen(QPen(INK, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(13, 13), QPointF(19.5, 19.5));
    p.setPen(QPen(ACCENT, 1.8));
    p.drawLine(QPointF(6, 9), QPointF(12, 9));
    if (bPlus)
        p.drawLine(QPointF(9, 6), QPointF(9, 12));
}

void Arrow(QPainter& p, bool bUp)
{
    QPolygonF arrow;
    if (bUp)
        arrow << QPointF(11, 3) << QPointF(18, 11) << QPointF(14, 11) << QPointF(14, 19) << QPointF(8, 19)
              << QPointF(8, 11) << QPointF(4, 11);
    else
        arrow << QPointF(11, 19) << QPointF(18, 11) << QPointF(14, 11) << QPointF(14, 3) << QPointF(8, 3)
              << QPointF(8, 11) << QPointF(4, 11);
    p.setBrush(ACCENT);
    p.drawPolygon(arrow);
}

// A hooked arrow turning back (undo) or forward (redo).
void TurnArrow(QPainter& p, bool bBack)
{
    p.save();
    if (!bBack) {
        p.translate(22, 0);
        p.scale(-1, 1);
    }
    QPainterPath path;
    path.moveTo(8, 8);
    path.lineTo(13, 8);
    path.cubicTo(21, 8, 21, 19, 13, 19);
    path.lineTo(8, 19);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(ACCENT, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(path);
    QPolygonF head;
    head << QPointF(2.5, 8) << QPointF(9, 3) << QPointF(9, 13);
    p.setPen(Qt::NoPen);
    p.setBrush(ACCENT);
    p.drawPolygon(head);
    p.restore();
}

// The curve of the graph icons.
void Curve(QPainter& p)
{
    QPainterPath path;
    path.moveTo(2, 18);
    path.cubicTo(8, -6, 14, 28, 20, 4);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(CURVE, 2));
    p.drawPath(path);
}

// A small picture: a frame with a curve through it, from its lower left to its upper right.
void FramedCurve(QPainter& p, const QRectF& frame)
{
    p.setBrush(PAPER);
    p.drawRect(frame);
    const double l = frame.left() + 1.5, r = frame.right() - 1.5, w = r - l;
    const double t = frame.top() + 2.5, b = frame.bottom() - 2.5, h = b - t;
    QPainterPath curve;
    curve.moveTo(l, b);
    curve.cubicTo(l + w * 0.3, t - h * 0.3, l + w * 0.6, b + h * 0.3, r, t);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(CURVE, 1.6));
    p.drawPath(curve);
}

void Draw(QPainter& p, CToolIcons::EIcon icon)
{
    p.setPen(QPen(INK, 1.2));
    switch (icon) {
    case CToolIcons::New: Page(p, QRectF(5, 2.5, 12, 17)); break;
    case CToolIcons::Open: {
        p.setBrush(QColor(240, 200, 90));
        p.drawRect(QRectF(2.5, 6.5, 15, 12));
        QPolygonF flap;
        flap << QPointF(5, 10) << QPointF(20, 10) << QPointF(17.5, 18.5) << QPointF(2.5, 18.5);
        p.setBrush(QColor(250, 220, 120));
        p.drawPolygon(flap);
        break;
    }
    case CToolIcons::Save:
        p.setBrush(ACCENT);
        p.drawRect(QRectF(3.5, 3.5, 15, 15));
        p.setBrush(PAPER);
        p.drawRect(QRectF(6.5, 3.5, 9, 6));
        p.drawRect(QRectF(6.5, 12.5, 9, 6));
        break;
    case CToolIcons::Print:
        p.setBrush(PAPER);
        p.drawRect(QRectF(6.5, 2.5, 9, 6));
        p.setBrush(QColor(180, 180, 180));
        p.drawRect(QRectF(2.5, 8.5, 17, 8));
        p.setBrush(PAPER);
        p.drawRect(QRectF(6.5, 13.5, 9, 6));
        break;
    case CToolIcons::Copy:
        Page(p, QRectF(3, 2.5, 10, 13));
        Page(p, QRectF(9, 7.5, 10, 13));
        break;
    case CToolIcons::Paste:
        p.setBrush(QColor(200, 150, 90));
        p.drawRect(QRectF(3.5, 4.5, 13, 15));
        p.setBrush(QColor(150, 150, 150));
        p.drawRect(QRectF(7, 2.5, 6, 4));
        Page(p, QRectF(10, 9.5, 9, 11));
        break;
    case CToolIcons::Font: {
        QFont font("Serif");
        font.setPixelSize(17);
        font.setBold(true);
        p.setFont(font);
        p.setPen(INK);
        p.drawText(QRectF(0, 0, 22, 20), Qt::AlignCenter, "A");
        p.setPen(QPen(ACCENT, 2));
        p.drawLine(QPointF(4, 20), QPointF(18, 20));
        break;
    }
    case CToolIcons::Graphics: {
        p.setPen(QPen(INK, 1));
        p.drawLine(QPointF(2, 11), QPointF(20, 11));
        p.drawLine(QPointF(11, 2), QPointF(11, 20));
        Curve(p);
        break;
    }
    case CToolIcons::Pause:
        p.setBrush(ACCENT);
        p.drawRect(QRectF(5.5, 4.5, 4, 13));
        p.drawRect(QRectF(12.5, 4.5, 4, 13));
        break;
    case CToolIcons::Skip: {
        QPolygonF triangle;
        triangle << QPointF(4, 4) << QPointF(14, 11) << QPointF(4, 18);
        p.setBrush(ACCENT);
        p.drawPolygon(triangle);
        p.drawRect(QRectF(14.5, 4.5, 3, 13));
        break;
    }
    case CToolIcons::ZoomIn: Magnifier(p, true); break;
    case CToolIcons::ZoomOut: Magnifier(p, false); break;
    case CToolIcons::InsertStep:
        p.setPen(QPen(QColor(20, 140, 40), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(11, 5), QPointF(11, 17));
        p.drawLine(QPointF(5, 11), QPointF(17, 11));
        break;
    case CToolIcons::DeleteStep:
        p.setPen(QPen(QColor(200, 30, 30), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(6, 6), QPointF(16, 16));
        p.drawLine(QPointF(16, 6), QPointF(6, 16));
        break;
    case CToolIcons::MoveUp: Arrow(p, true); break;
    case CToolIcons::MoveDown: Arrow(p, false); break;
    case CToolIcons::Run: {
        QPolygonF triangle;
        triangle << QPointF(6, 4) << QPointF(18, 11) << QPointF(6, 18);
        p.setBrush(QColor(20, 140, 40));
        p.drawPolygon(triangle);
        break;
    }
    case CToolIcons::Undo: TurnArrow(p, true); break;
    case CToolIcons::Redo: TurnArrow(p, false); break;
    case CToolIcons::Export: {
        // A small framed picture with a curve, and an arrow leaving it.
        FramedCurve(p, QRectF(2.5, 5.5, 13, 13));
        p.setPen(QPen(ACCENT, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(12, 10), QPointF(19, 3));
        p.drawLine(QPointF(14.5, 3), QPointF(19, 3));
        p.drawLine(QPointF(19, 3), QPointF(19, 7.5));
        break;
    }
    case CToolIcons::Trace: {
        Curve(p);
        p.setPen(QPen(ACCENT, 1.6));
        p.drawLine(QPointF(11, 6), QPointF(11, 16));
        p.drawLine(QPointF(6, 11), QPointF(16, 11));
        break;
    }
    case CToolIcons::GraphBeside: {
        // Lines of formulas on the left, a framed curve beside them.
        p.setPen(QPen(INK, 1.4));
        for (const double y : {5.0, 9.0, 13.0, 17.0})
            p.drawLine(QPointF(2, y), QPointF(8, y));
        p.setPen(QPen(INK, 1));
        FramedCurve(p, QRectF(10.5, 3.5, 10, 15));
        break;
    }
    }
}
} // namespace

QIcon CToolIcons::Make(EIcon icon)
{
    QIcon result;
    for (const int nScale : {1, 2}) {
        QPixmap pixmap(22 * nScale, 22 * nScale);
        pixmap.setDevicePixelRatio(nScale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        Draw(painter, icon);
        painter.end();
        result.addPixmap(pixmap);
    }
    return result;
}
