#include "ui/CCurveTrace.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "project/CProject.h"
#include "project/CShownNumber.h"
#include "render/CMarkPainter.h"
#include "render/CQtCanvas.h"
#include "ui/CPageFrame.h"
#include "ui/CUserDialogs.h"
#include "view/CFuncVars.h"

namespace {
// Numbers shown to people, with the document's decimal sign.
QString Number(const CProject& project, double d)
{
    return QString::fromStdString(CShownNumber::Format(project, d));
}
QString Separator(const CProject& project)
{
    return CShownNumber::PairSeparator(CShownNumber::Comma(project));
}

// "y = m·x + n", or "x = c" for an upright line.
QString Equation(const CProject& project, const CCurveTracer::STangent& line)
{
    if (line.m_bUpright)
        return "x = " + Number(project, line.m_dX);
    const double m = line.m_dSlope, n = line.m_dIntercept;
    if (m == 0.0)
        return "y = " + Number(project, n);
    QString sz = "y = " + Number(project, m) + "\u00B7x";
    if (n > 0.0)
        sz += " + " + Number(project, n);
    else if (n < 0.0)
        sz += " - " + Number(project, -n);
    return sz;
}

// A number the user typed: with a decimal point or a decimal comma.
bool ReadNumber(QString sz, double& d)
{
    bool bOk = false;
    d = sz.trimmed().replace(',', '.').toDouble(&bOk);
    return bOk && std::isfinite(d);
}

const char* const NO_CURVE = "Keine Kurve gew\u00E4hlt: zuerst eine Kurve mit der rechten Maustaste anklicken.";
const char* const NOT_EXPLICIT = "Nur f\u00FCr Kurven y \u00FCber x: die verfolgte Kurve ist keine.";
} // namespace

CCurveTrace::CCurveTrace(CPageFrame& frame, QWidget* pSurface) : QObject(pSurface), m_Frame(frame), m_pSurface(pSurface)
{
}

CFuncVars CCurveTrace::View() const
{
    if (m_View)
        return m_View();
    CFuncVars view;
    view.SetupView(&m_Frame.Document(), nullptr, static_cast<uint32_t>(std::max(0, m_pSurface->width())),
                   static_cast<uint32_t>(std::max(0, m_pSurface->height())), 0, 0);
    return view;
}

void CCurveTrace::SetOn(bool bOn)
{
    m_bOn = bOn;
    m_Frame.CheckCommand(CPageFrame::COMMAND_TRACE, bOn);
}

void CCurveTrace::Start()
{
    SetOn(true);
    if (!m_bCurve)
        m_Frame.ShowStatus("Kurve verfolgen: eine Kurve anklicken");
}

void CCurveTrace::End()
{
    const bool bWasOn = m_bOn;
    SetOn(false);
    m_bCurve = false;
    m_bCross = false;
    m_Lines.clear();
    RebuildMarks();
    if (bWasOn)
        m_Frame.ShowStatus(QString());
}

bool CCurveTrace::TraceAt(int nX, int nY)
{
    const CFuncVars view = View();
    CCurveTracer::SCurve curve;
    if (!CCurveTracer::Pick(m_Frame.Document(), view, nX, nY, PICK_DISTANCE, curve)) {
        // Nothing within reach is nothing picked: a curve traced so far is let go, or the cross
        // would jump to its point at the pointer's x, far from where the user clicked.
        if (m_bCurve)
            End();
        m_Frame.ShowStatus("Keine Kurve in der N\u00E4he");
        return false;
    }
    m_Curve = curve;
    m_bCurve = true;
    SetOn(true);
    PointerAt(nX, nY);
    return true;
}

bool CCurveTrace::PointerAt(int nX, int nY)
{
    if (!m_bOn || !m_bCurve)
        return false;
    CProject& project = m_Frame.Document();
    // The document may have lost the function since it was picked.
    if (!project.m_pFunctions[m_Curve.m_nSlot - 1]) {
        End();
        return false;
    }
    double t, x, y;
    if (CCurveTracer::Follow(project, View(), m_Curve, nX, nY, t, x, y))
        return MoveTo(t);
    m_bCross = false;
    m_Lines.clear();
    RebuildMarks();
    m_Frame.ShowStatus("f" + QString::number(m_Curve.m_nSlot) + ": nicht definiert");
    return true;
}

bool CCurveTrace::MoveTo(double t)
{
    if (!m_bOn || !m_bCurve || !m_Frame.Document().m_pFunctions[m_Curve.m_nSlot - 1])
        return false;
    const CFuncVars view = View();
    double x, y;
    QString szText = "f" + QString::number(m_Curve.m_nSlot) + ": ";
    if (CCurveTracer::PointAt(m_Frame.Document(), m_Curve, t, x, y)) {
        szText += "x = " + Number(m_Frame.Document(), x) + Separator(m_Frame.Document()) +
                  "y = " + Number(m_Frame.Document(), y);
        if (!m_Curve.m_bExplicit)
            szText += Separator(m_Frame.Document()) + "t = " + Number(m_Frame.Document(), t);
        m_Cross = QPoint(CFuncVars::ToPixel((x - view.m_dOriginX) * view.m_dScaleX),
                         CFuncVars::ToPixel((y - view.m_dOriginY) * view.m_dScaleY));
        m_bCross = true;
        m_dCrossT = t;
        UpdateTangent(t);
        if (m_bTangent)
            szText += m_Lines.empty()
                          ? QString("; keine Tangente")
                          : "; Tangente: " + Equation(m_Frame.Document(), m_Tangent) +
                                "; Normale: " + Equation(m_Frame.Document(), CCurveTracer::Normal(m_Tangent));
    } else {
        szText += "nicht definiert";
        m_bCross = false;
        m_Lines.clear();
    }
    RebuildMarks();
    m_Frame.ShowStatus(szText);
    return true;
}

void CCurveTrace::UpdateTangent(double t)
{
    m_Lines.clear();
    if (!m_bTangent || !CCurveTracer::Tangent(m_Frame.Document(), View(), m_Curve, t, m_Tangent))
        return;
    const CCurveTracer::STangent normal = CCurveTracer::Normal(m_Tangent);
    m_Lines.push_back({m_Tangent.m_dX, m_Tangent.m_dY, m_Tangent.m_dDirX, m_Tangent.m_dDirY});
    m_Lines.push_back({normal.m_dX, normal.m_dY, normal.m_dDirX, normal.m_dDirY});
}

void CCurveTrace::SetTangent(bool bOn)
{
    m_bTangent = bOn;
    // The cross stays where it is; the lines and the status line follow the toggle.
    if (m_bOn && m_bCurve && m_bCross)
        MoveTo(m_dCrossT);
    else if (!bOn) {
        m_Lines.clear();
        RebuildMarks();
    }
}

void CCurveTrace::RebuildMarks()
{
    m_Marks.Clear();
    for (const auto& points : m_KindPoints)
        m_Marks.m_Points.insert(m_Marks.m_Points.end(), points.begin(), points.end());
    m_Marks.m_Lines = m_Lines;
    m_Marks.m_Area = m_Area;
    m_pSurface->update();
}

void CCurveTrace::ClearMarks()
{
    for (auto& points : m_KindPoints)
        points.clear();
    m_Area.clear();
    RebuildMarks();
}

QString CCurveTrace::MarkAt(int nX, int nY) const
{
    const int i = m_Marks.PointNear(View(), nX, nY, MARK_DISTANCE);
    if (i < 0)
        return QString();
    const CAnalysisMarks::SPoint& point = m_Marks.m_Points[static_cast<size_t>(i)];
    return "x = " + Number(m_Frame.Document(), point.m_dX) + Separator(m_Frame.Document()) +
           "y = " + Number(m_Frame.Document(), point.m_dY);
}

void CCurveTrace::PaintOver(QPainter& painter) const
{
    if (!m_Marks.Empty()) {
        CQtCanvas canvas(painter);
        CMarkPainter::Paint(canvas, View(), m_Marks);
        canvas.Flush();
    }
    if (!m_bOn || !m_bCurve || !m_bCross)
        return;
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::red, 1));
    const int r = 5;
    painter.drawLine(m_Cross.x() - r, m_Cross.y(), m_Cross.x() + r, m_Cross.y());
    painter.drawLine(m_Cross.x(), m_Cross.y() - r, m_Cross.x(), m_Cross.y() + r);
}

std::vector<CCurveTrace::SRow> CCurveTrace::PointRows(const std::vector<double>& ts, EKind eKind,
                                                      const QString& szPrefix)
{
    std::vector<SRow> rows;
    std::vector<CAnalysisMarks::SPoint>& marks = m_KindPoints[eKind];
    marks.clear();
    for (double t : ts) {
        double x, y;
        if (!CCurveTracer::PointAt(m_Frame.Document(), m_Curve, t, x, y))
            continue;
        // The parameter is worth showing only where it is not x itself.
        rows.push_back(
            {szPrefix + "x = " + Number(m_Frame.Document(), x) + Separator(m_Frame.Document()) +
                 "y = " + Number(m_Frame.Document(), y) +
                 (m_Curve.m_bExplicit ? QString()
                                      : Separator(m_Frame.Document()) + "t = " + Number(m_Frame.Document(), t)),
             true, t});
        marks.push_back({x, y});
    }
    RebuildMarks();
    return rows;
}

std::vector<CCurveTrace::SRow> CCurveTrace::AnalysisRows(bool bExtrema)
{
    if (!m_bCurve)
        return {{NO_CURVE}};
    std::vector<double> roots;
    std::vector<CCurveAnalysis::SExtremum> extrema;
    CCurveTracer::Analyse(m_Frame.Document(), View(), m_Curve, roots, extrema);
    std::vector<SRow> rows;
    if (bExtrema) {
        std::vector<CAnalysisMarks::SPoint> marks;
        for (const CCurveAnalysis::SExtremum& e : extrema) {
            std::vector<SRow> one = PointRows({e.m_dT}, KIND_EXTREMA, e.m_bMaximum ? "Maximum: " : "Minimum: ");
            rows.insert(rows.end(), one.begin(), one.end());
            marks.insert(marks.end(), m_KindPoints[KIND_EXTREMA].begin(), m_KindPoints[KIND_EXTREMA].end());
        }
        m_KindPoints[KIND_EXTREMA] = marks;
        RebuildMarks();
    } else {
        rows = PointRows(roots, KIND_ROOTS);
        // A root lies on y = 0 and is shown there: no y to read.
        for (SRow& row : rows) {
            const QString szSeparator = Separator(m_Frame.Document());
            row.m_szText = row.m_szText.section(szSeparator + "y = ", 0, 0) +
                           (row.m_szText.contains(szSeparator + "t = ")
                                ? szSeparator + "t = " + row.m_szText.section(szSeparator + "t = ", 1)
                                : QString());
        }
    }
    if (rows.empty())
        rows.push_back({bExtrema ? "Keine Extrema im sichtbaren Bereich" : "Keine Nullstellen im sichtbaren Bereich"});
    return rows;
}

QString CCurveTrace::AnalysisText(bool bExtrema)
{
    const std::vector<SRow> rows = AnalysisRows(bExtrema);
    if (rows.size() == 1 && !rows[0].m_bPoint)
        return rows[0].m_szText;
    QString szText;
    for (const SRow& row : rows)
        szText += row.m_szText + "\n";
    return szText;
}

QString CCurveTrace::RootsText()
{
    return AnalysisText(false);
}

QString CCurveTrace::ExtremaText()
{
    return AnalysisText(true);
}

QString CCurveTrace::Title(const QString& szWhat) const
{
    return m_bCurve ? szWhat + " von f" + QString::number(m_Curve.m_nSlot) : szWhat;
}

void CCurveTrace::ShowList(const QString& szTitle, const std::vector<SRow>& rows)
{
    if (!m_pDialog) {
        m_pDialog = new QDialog(m_pSurface->window());
        m_pDialog->setObjectName("TraceDialog");
        m_pList = new QListWidget(m_pDialog);
        m_pList->setObjectName("TraceList");
        auto* pButtons = new QDialogButtonBox(m_pDialog);
        QPushButton* pCopy = pButtons->addButton("Kopieren", QDialogButtonBox::ActionRole);
        pCopy->setObjectName("TraceCopyButton");
        pButtons->addButton("Schlie\u00DFen", QDialogButtonBox::RejectRole);
        connect(pCopy, &QPushButton::clicked, this, &CCurveTrace::CopyList);
        connect(pButtons, &QDialogButtonBox::rejected, m_pDialog, &QDialog::close);
        connect(m_pList, &QListWidget::itemClicked, this, &CCurveTrace::ListClicked);
        connect(m_pList, &QListWidget::itemActivated, this, &CCurveTrace::ListClicked);
        auto* pLayout = new QVBoxLayout(m_pDialog);
        pLayout->addWidget(m_pList);
        pLayout->addWidget(pButtons);
        m_pDialog->resize(420, 240);
    }
    m_Rows = rows;
    m_ListCurve = m_Curve;
    m_bListCurve = m_bCurve;
    m_pDialog->setWindowTitle(szTitle);
    m_pList->clear();
    for (const SRow& row : m_Rows)
        m_pList->addItem(row.m_szText);
    m_pDialog->show();
    m_pDialog->raise();
}

void CCurveTrace::ListClicked(QListWidgetItem* pItem)
{
    const int nRow = m_pList->row(pItem);
    if (nRow < 0 || static_cast<size_t>(nRow) >= m_Rows.size() || !m_Rows[nRow].m_bPoint || !m_bListCurve)
        return;
    // The rows belong to the curve they were found on, which tracing takes up again.
    m_Curve = m_ListCurve;
    m_bCurve = true;
    SetOn(true);
    MoveTo(m_Rows[nRow].m_dT);
}

QString CCurveTrace::ListText() const
{
    QString szText;
    for (const SRow& row : m_Rows)
        szText += row.m_szText + "\n";
    return szText;
}

void CCurveTrace::CopyList() const
{
    QApplication::clipboard()->setText(ListText());
}

void CCurveTrace::ShowRoots()
{
    ShowList(Title("Nullstellen"), AnalysisRows(false));
}

void CCurveTrace::ShowExtrema()
{
    ShowList(Title("Extrema"), AnalysisRows(true));
}

bool CCurveTrace::NeedCurve(const QString& szWhat)
{
    if (!m_bCurve) {
        ShowList(szWhat, {{NO_CURVE}});
        return false;
    }
    if (!m_Curve.m_bExplicit) {
        ShowList(Title(szWhat), {{NOT_EXPLICIT}});
        return false;
    }
    return true;
}

void CCurveTrace::ShowIntersections()
{
    if (!NeedCurve("Schnittpunkte"))
        return;
    CProject& project = m_Frame.Document();
    const std::vector<CCurveTracer::SCurve> partners = CCurveTracer::Partners(project, m_Curve);
    if (partners.empty()) {
        ShowList(Title("Schnittpunkte"), {{"Keine weitere sichtbare Kurve y \u00FCber x"}});
        return;
    }
    size_t nChosen = 0;
    if (partners.size() > 1) {
        QStringList items;
        for (const CCurveTracer::SCurve& other : partners)
            items << "f" + QString::number(other.m_nSlot);
        const int n =
            m_Frame.Dialogs().ChooseItem(m_pSurface->window(), "Schnittpunkte",
                                         "Schnittpunkte von f" + QString::number(m_Curve.m_nSlot) + " mit:", items);
        if (n < 0 || static_cast<size_t>(n) >= partners.size())
            return;
        nChosen = static_cast<size_t>(n);
    }
    std::vector<double> meets;
    CCurveTracer::Intersect(project, View(), m_Curve, partners[nChosen], meets);
    std::vector<SRow> rows = PointRows(meets, KIND_INTERSECTIONS);
    const QString szOther = "f" + QString::number(partners[nChosen].m_nSlot);
    if (rows.empty())
        rows.push_back({"Keine Schnittpunkte mit " + szOther + " im sichtbaren Bereich"});
    ShowList(Title("Schnittpunkte") + " und " + szOther, rows);
}

void CCurveTrace::ShowInflections()
{
    if (!NeedCurve("Wendepunkte"))
        return;
    std::vector<double> points;
    CCurveTracer::Inflect(m_Frame.Document(), View(), m_Curve, points);
    std::vector<SRow> rows = PointRows(points, KIND_INFLECTIONS);
    if (rows.empty())
        rows.push_back({"Keine Wendepunkte im sichtbaren Bereich"});
    ShowList(Title("Wendepunkte"), rows);
}

void CCurveTrace::ShowYIntercepts()
{
    const QString szWhat = "Schnittpunkt mit der y-Achse";
    if (!m_bCurve) {
        ShowList(szWhat, {{NO_CURVE}});
        return;
    }
    std::vector<double> ts;
    CCurveTracer::YIntercepts(m_Frame.Document(), View(), m_Curve, ts);
    std::vector<SRow> rows = PointRows(ts, KIND_YAXIS);
    if (rows.empty())
        rows.push_back({"f" + QString::number(m_Curve.m_nSlot) + " trifft die y-Achse nicht"});
    ShowList(Title(szWhat), rows);
}

void CCurveTrace::ShowArea()
{
    if (!NeedCurve("Fl\u00E4che"))
        return;
    CProject& project = m_Frame.Document();
    const CFuncVars view = View();
    // The roots offer themselves as bounds, at full precision where the user picks one.
    std::vector<double> roots;
    std::vector<CCurveAnalysis::SExtremum> extrema;
    CCurveTracer::Analyse(project, view, m_Curve, roots, extrema);
    QStringList rootItems;
    for (double t : roots)
        rootItems << Number(m_Frame.Document(), t);
    const std::vector<CCurveTracer::SCurve> partners = CCurveTracer::Partners(project, m_Curve);
    QStringList againstItems{"der x-Achse"};
    for (const CCurveTracer::SCurve& other : partners)
        againstItems << "f" + QString::number(other.m_nSlot);
    double dLeft, dRight, dy;
    view.UnmapPoint(static_cast<int32_t>(view.m_nViewLeft), 0, dLeft, dy);
    view.UnmapPoint(static_cast<int32_t>(view.m_nViewLeft + view.m_nViewWidth), 0, dRight, dy);
    QString szFrom = roots.size() >= 2 ? rootItems[0] : Number(m_Frame.Document(), std::min(dLeft, dRight));
    QString szTo = roots.size() >= 2 ? rootItems[1] : Number(m_Frame.Document(), std::max(dLeft, dRight));
    int nAgainst = 0;
    if (!m_Frame.Dialogs().AreaBounds(m_pSurface->window(), rootItems, againstItems, szFrom, szTo, nAgainst))
        return;
    const auto Bound = [&](const QString& sz, double& d) {
        const int i = rootItems.indexOf(sz.trimmed());
        if (i >= 0) {
            d = roots[static_cast<size_t>(i)];
            return true;
        }
        return ReadNumber(sz, d);
    };
    double a, b;
    if (!Bound(szFrom, a) || !Bound(szTo, b)) {
        m_Frame.ShowStatus("Fl\u00E4che: die Grenzen sind keine Zahlen");
        return;
    }
    const CCurveTracer::SCurve* pOther =
        nAgainst > 0 && static_cast<size_t>(nAgainst) <= partners.size() ? &partners[nAgainst - 1] : nullptr;
    const QString szCurve = "f" + QString::number(m_Curve.m_nSlot);
    const QString szBetween = pOther ? " zwischen " + szCurve + " und f" + QString::number(pOther->m_nSlot) : "";
    CCurveAnalysis::SIntegral area;
    QString szRow = "Fl\u00E4che" + szBetween + " von " + Number(m_Frame.Document(), a) + " bis " +
                    Number(m_Frame.Document(), b) + ": ";
    if (!CCurveTracer::Area(project, m_Curve, pOther, a, b, area)) {
        m_Area.clear();
        szRow += "nicht bestimmbar, die Kurve ist dazwischen nicht \u00FCberall definiert";
    } else {
        szRow += Number(m_Frame.Document(), area.m_dValue) +
                 (area.m_bReached ? " (Fehlersch\u00E4tzung " : " (ungenau, Fehlersch\u00E4tzung ") +
                 Number(m_Frame.Document(), area.m_dError) + ")";
        CCurveTracer::AreaStrips(project, m_Curve, pOther, a, b, AREA_STRIPS, m_Area);
    }
    RebuildMarks();
    ShowList(Title("Fl\u00E4che"), {{szRow}});
}
