#pragma once
// "Kurve verfolgen" on the "Grafik" page: a right click (or a click while the toolbar toggle is
// on) picks the nearest drawn curve, a cross follows it with the pointer and the status line
// reads its point; "Nullstellen" and "Extrema" list what the curve has in the visible range.
#include <QObject>
#include <QPoint>
#include <QString>
#include <functional>

#include "view/CCurveTracer.h"

class QPainter;
class QPlainTextEdit;
class QDialog;
class CPageFrame;

class CCurveTrace : public QObject {
    Q_OBJECT
public:
    CCurveTrace(CPageFrame& frame, QWidget* pSurface);

    // Picks the curve nearest to the pixel and starts following it; false when no drawn point
    // lies within reach: then no curve is followed (the one followed so far is let go).
    bool TraceAt(int nX, int nY);
    // While tracing: moves the cross to the curve at the pointer and shows its point.
    bool PointerAt(int nX, int nY);
    void Start(); // the toggle: waits for a click on a curve
    void End();
    bool IsOn() const { return m_bOn; }
    bool HasCurve() const { return m_bCurve; }
    const CCurveTracer::SCurve& Curve() const { return m_Curve; }
    void PaintOver(QPainter& painter) const;

    QString RootsText();
    QString ExtremaText();
    void ShowRoots();
    void ShowExtrema();

    static constexpr int PICK_DISTANCE = 12; // pixels

    // The mapping of what the surface shows; without it, the document's range on the surface.
    std::function<CFuncVars()> m_View;

private:
    CFuncVars View() const;
    QString AnalysisText(bool bExtrema);
    void ShowList(const QString& szTitle, const QString& szText);
    void SetOn(bool bOn);

    CPageFrame& m_Frame;
    QWidget* m_pSurface;
    bool m_bOn = false;
    bool m_bCurve = false;
    CCurveTracer::SCurve m_Curve;
    bool m_bCross = false;
    QPoint m_Cross;
    QDialog* m_pDialog = nullptr;
    QPlainTextEdit* m_pList = nullptr;
};
