#pragma once
// "Kurve verfolgen" on the "Grafik" page: a right click (or a click while the toolbar toggle is
// on) picks the nearest drawn curve, a cross follows it with the pointer and the status line
// reads its point, with the tangent and the normal there while that toggle is on. The trace menu
// lists what the curve has in the visible range (roots, extrema, meetings with another curve,
// inflection points, the y axis, an area); every point found is marked on the graph, and a click
// on its row in the list moves the cross there.
#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <vector>

#include "view/CAnalysisMarks.h"
#include "view/CCurveTracer.h"

class QPainter;
class QListWidget;
class QListWidgetItem;
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
    // Moves the cross to the traced curve's point at parameter t.
    bool MoveTo(double t);
    void Start(); // the toggle: waits for a click on a curve
    void End();
    bool IsOn() const { return m_bOn; }
    bool HasCurve() const { return m_bCurve; }
    const CCurveTracer::SCurve& Curve() const { return m_Curve; }
    void PaintOver(QPainter& painter) const;

    // "Tangente und Normale": drawn at the cross, their equations in the status line.
    void SetTangent(bool bOn);
    bool TangentShown() const { return m_bTangent; }

    // What the analysis marked, in world coordinates; ClearMarks takes it all off the graph.
    const CAnalysisMarks& Marks() const { return m_Marks; }
    void ClearMarks();
    // "x = ..., y = ..." of the mark within reach of the pixel; empty where there is none.
    QString MarkAt(int nX, int nY) const;

    QString RootsText();
    QString ExtremaText();
    void ShowRoots();
    void ShowExtrema();
    void ShowIntersections(); // asks for the other curve where there is more than one
    void ShowInflections();
    void ShowYIntercepts();
    void ShowArea(); // asks for the bounds and the other curve

    // The rows of the list shown last, as copied to the clipboard.
    QString ListText() const;
    void CopyList() const;

    static constexpr int PICK_DISTANCE = 12; // pixels
    static constexpr int MARK_DISTANCE = 6;  // pixels of a mark that shows its coordinates
    static constexpr unsigned AREA_STRIPS = 1000;

    // The mapping of what the surface shows; without it, the document's range on the surface.
    std::function<CFuncVars()> m_View;

private:
    enum EKind { KIND_ROOTS, KIND_EXTREMA, KIND_INTERSECTIONS, KIND_INFLECTIONS, KIND_YAXIS, KIND_COUNT };
    // A row of the list: its text, and the parameter of the traced curve it marks (none for a
    // message or an area).
    struct SRow {
        QString m_szText;
        bool m_bPoint = false;
        double m_dT = 0.0;
    };

    CFuncVars View() const;
    QString AnalysisText(bool bExtrema);
    std::vector<SRow> AnalysisRows(bool bExtrema);
    // One row per parameter: "x = ..., y = ..." (and t where it is not x); marks them as eKind.
    std::vector<SRow> PointRows(const std::vector<double>& ts, EKind eKind, const QString& szPrefix = QString());
    void ShowList(const QString& szTitle, const std::vector<SRow>& rows);
    QString Title(const QString& szWhat) const;
    bool NeedCurve(const QString& szWhat);
    void SetOn(bool bOn);
    void UpdateTangent(double t);
    void RebuildMarks();
    void ListClicked(QListWidgetItem* pItem);

    CPageFrame& m_Frame;
    QWidget* m_pSurface;
    bool m_bOn = false;
    bool m_bCurve = false;
    CCurveTracer::SCurve m_Curve;
    bool m_bCross = false;
    QPoint m_Cross;
    double m_dCrossT = 0.0; // the parameter at the cross
    bool m_bTangent = false;
    CCurveTracer::STangent m_Tangent;
    std::vector<CAnalysisMarks::SPoint> m_KindPoints[KIND_COUNT];
    std::vector<CAnalysisMarks::SStrip> m_Area;
    std::vector<CAnalysisMarks::SLine> m_Lines;
    CAnalysisMarks m_Marks;
    QDialog* m_pDialog = nullptr;
    QListWidget* m_pList = nullptr;
    std::vector<SRow> m_Rows;
    CCurveTracer::SCurve m_ListCurve; // the curve the rows were found on
    bool m_bListCurve = false;
};
