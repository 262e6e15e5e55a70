#include "ui/CCurveTrace.h"

#include <QDialog>
#include <QPainter>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <cmath>

#include "project/CProject.h"
#include "project/CShownNumber.h"
#include "ui/CPageFrame.h"
#include "view/CFuncVars.h"

namespace {
QString Number(const CProject& project, double d)
{
    return QString::fromStdString(CShownNumber::Format(project, d));
}
QString Separator(const CProject& project)
{
    return CShownNumber::PairSeparator(CShownNumber::Comma(project));
}
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
    m_pSurface->update();
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
    const CFuncVars view = View();
    double t, x, y;
    QString szText = "f" + QString::number(m_Curve.m_nSlot) + ": ";
    if (CCurveTracer::Follow(project, view, m_Curve, nX, nY, t, x, y)) {
        szText += "x = " + Number(project, x) + Separator(project) + "y = " + Number(project, y);
        if (!m_Curve.m_bExplicit)
            szText += Separator(project) + "t = " + Number(project, t);
        m_Cross = QPoint(CFuncVars::ToPixel((x - view.m_dOriginX) * view.m_dScaleX),
                         CFuncVars::ToPixel((y - view.m_dOriginY) * view.m_dScaleY));
        m_bCross = true;
    } else {
        szText += "nicht definiert";
        m_bCross = false;
    }
    m_Frame.ShowStatus(szText);
    m_pSurface->update();
    return true;
}

void CCurveTrace::PaintOver(QPainter& painter) const
{
    if (!m_bOn || !m_bCurve || !m_bCross)
        return;
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::red, 1));
    const int r = 5;
    painter.drawLine(m_Cross.x() - r, m_Cross.y(), m_Cross.x() + r, m_Cross.y());
    painter.drawLine(m_Cross.x(), m_Cross.y() - r, m_Cross.x(), m_Cross.y() + r);
}

QString CCurveTrace::RootsText()
{
    return AnalysisText(false);
}

QString CCurveTrace::ExtremaText()
{
    return AnalysisText(true);
}

QString CCurveTrace::AnalysisText(bool bExtrema)
{
    if (!m_bCurve)
        return "Keine Kurve gew\u00E4hlt: zuerst eine Kurve mit der rechten Maustaste anklicken.";
    std::vector<double> roots;
    std::vector<CCurveAnalysis::SExtremum> extrema;
    CProject& project = m_Frame.Document();
    CCurveTracer::Analyse(project, View(), m_Curve, roots, extrema);
    // One line per point; the parameter is worth showing only where it is not x itself.
    auto line = [&](double t, bool bWithY) {
        double x, y;
        CCurveTracer::PointAt(project, m_Curve, t, x, y);
        return "x = " + Number(project, x) + (bWithY ? Separator(project) + "y = " + Number(project, y) : QString()) +
               (m_Curve.m_bExplicit ? QString() : Separator(project) + "t = " + Number(project, t)) + "\n";
    };
    QString szText;
    if (bExtrema) {
        for (const CCurveAnalysis::SExtremum& e : extrema)
            szText += QString(e.m_bMaximum ? "Maximum" : "Minimum") + ": " + line(e.m_dT, true);
    } else {
        for (double t : roots)
            szText += line(t, false);
    }
    if (szText.isEmpty())
        return bExtrema ? "Keine Extrema im sichtbaren Bereich" : "Keine Nullstellen im sichtbaren Bereich";
    return szText;
}

void CCurveTrace::ShowList(const QString& szTitle, const QString& szText)
{
    if (!m_pDialog) {
        m_pDialog = new QDialog(m_pSurface->window());
        m_pDialog->setObjectName("TraceDialog");
        m_pList = new QPlainTextEdit(m_pDialog);
        m_pList->setReadOnly(true);
        auto* pLayout = new QVBoxLayout(m_pDialog);
        pLayout->addWidget(m_pList);
        m_pDialog->resize(360, 200);
    }
    m_pDialog->setWindowTitle(szTitle);
    m_pList->setPlainText(szText);
    m_pDialog->show();
    m_pDialog->raise();
}

void CCurveTrace::ShowRoots()
{
    ShowList(m_bCurve ? "Nullstellen von f" + QString::number(m_Curve.m_nSlot) : QString("Nullstellen"), RootsText());
}

void CCurveTrace::ShowExtrema()
{
    ShowList(m_bCurve ? "Extrema von f" + QString::number(m_Curve.m_nSlot) : QString("Extrema"), ExtremaText());
}
