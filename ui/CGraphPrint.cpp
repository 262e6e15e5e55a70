#include "ui/CGraphPrint.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <cmath>

#include "expr/CFuncTerm.h"
#include "project/CAnimationStep.h"
#include "project/CProject.h"
#include "render/CPictureJob.h"
#include "render/CQtCanvas.h"
#include "ui/CAnsi.h"
#include "view/CFuncVars.h"
#include "view/CSweepPlan.h"
#include "view/CViewBox.h"

namespace {
constexpr double CM_PER_INCH_INVERSE = 0.3937007874015748; // 1 / 2.54

int32_t Trunc(double d)
{
    if (!(d > 0.0)) // also NaN
        return 0;
    return d >= 2147483647.0 ? 2147483647 : static_cast<int32_t>(d);
}

class CWaitCursor {
public:
    CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};
} // namespace

SPrintLayout CGraphPrint::Layout(double dDpiX, double dDpiY, int32_t nPageWidth, int32_t nPageHeight, bool bLandscape,
                                 QSize boxSize, int32_t nAbove, int32_t nBelow)
{
    SPrintLayout layout;
    if (bLandscape)
        layout.m_nTop = Trunc(MARGIN_CM * dDpiY * CM_PER_INCH_INVERSE);
    else
        layout.m_nLeft = Trunc(MARGIN_CM * dDpiX * CM_PER_INCH_INVERSE);
    layout.m_nTop += std::max(0, nAbove);
    const int32_t W = std::max(0, nPageWidth - layout.m_nLeft);
    const int32_t H = std::max(0, nPageHeight - layout.m_nTop - std::max(0, nBelow));
    // A surface without height (a window shrunk to nothing) prints as if it were square.
    const double e =
        boxSize.width() > 0 && boxSize.height() > 0 ? static_cast<double>(boxSize.width()) / boxSize.height() : 1.0;
    if (H >= W / e) {
        layout.m_nWidth = W;
        layout.m_nHeight = Trunc(W / e);
    } else {
        layout.m_nWidth = Trunc(H * e);
        layout.m_nHeight = H;
    }
    return layout;
}

void CGraphPrint::Draw(CProject& project, QPainter& painter, const SPrintLayout& layout, const CFuncVars* pScreenJob,
                       bool bVector, const std::function<bool()>& bAborted, const ChooseFunction& choose)
{
    if (layout.m_nWidth <= 0 || layout.m_nHeight <= 0)
        return;
    // The paper shows what the screen's surface shows: nothing beyond the picture's edges.
    painter.save();
    painter.setClipRect(layout.m_nLeft, layout.m_nTop, layout.m_nWidth, layout.m_nHeight);
    {
        CQtCanvas canvas(painter, bVector);
        const auto nLeft = static_cast<uint32_t>(layout.m_nLeft);
        const auto nTop = static_cast<uint32_t>(layout.m_nTop);
        const auto nWidth = static_cast<uint32_t>(layout.m_nWidth);
        const auto nHeight = static_cast<uint32_t>(layout.m_nHeight);
        const CViewBox box = CViewBox::Of(project);
        CPictureJob::DrawLayers(project, box, canvas, nWidth, nHeight, nLeft, nTop, false);
        // The screen draws no curves on a view it cannot map; neither does the paper (the job
        // has no samples then). Nor does the paper show more of an animation than the screen.
        CPictureJob job(project, !bVector, false);
        // The screen's samples (the steps' own where it has no others), so that its progress is
        // the paper's.
        if (pScreenJob)
            job.UseSweeps(pScreenJob->m_pSweeps ? *pScreenJob->m_pSweeps : CSweepPlan());
        else if (choose)
            choose(job);
        job.WalkAll();
        job.Setup(box, nWidth, nHeight, nLeft, nTop, PEN_MULTIPLIER);
        job.Draw(canvas, pScreenJob ? uint64_t{pScreenJob->m_nSamples} + 1 : UINT64_MAX,
                 [&](const CFuncVars& vars, const CAnimationStep*) {
                     return (pScreenJob && pScreenJob->m_nSamples < vars.m_nSamples) || (bAborted && bAborted());
                 });
        canvas.Flush();
    }
    painter.restore();
}

std::vector<SPrintCaptions::SLine> CGraphPrint::VisibleFormulas(const CProject& project)
{
    std::vector<SPrintCaptions::SLine> lines;
    for (unsigned n = 0; n < MAX_FUNCTIONS; ++n) {
        const CFuncTerm* pTerm = project.GetFunction(n + 1);
        if (!pTerm)
            continue;
        for (const CAnimationStep* pStep = project.m_pFirstStep; pStep; pStep = pStep->m_pNext) {
            if (!pStep->m_bVisible[n])
                continue;
            const uint32_t nIndex = pStep->m_nColor[n];
            lines.push_back({"f" + QString::number(n + 1) + ": " + Ansi::ToQString(pTerm->GetText()),
                             nIndex < static_cast<uint32_t>(project.m_nPaletteSize) ? project.m_pPalette[nIndex] : 0});
            break;
        }
    }
    return lines;
}

SPrintLayout CGraphPrint::DrawPage(CProject& project, QPainter& painter, bool bLandscape, QSize boxSize,
                                   const SPrintCaptions& captions, const CFuncVars* pScreenJob, bool bVector,
                                   const std::function<bool()>& bAborted, const ChooseFunction& choose)
{
    QPaintDevice* pDevice = painter.device();
    const double dDpiX = pDevice->logicalDpiX(), dDpiY = pDevice->logicalDpiY();
    const int32_t nPageWidth = pDevice->width(), nPageHeight = pDevice->height();
    const SPrintLayout margin = Layout(dDpiX, dDpiY, nPageWidth, nPageHeight, bLandscape, boxSize);
    QFont titleFont = QApplication::font();
    titleFont.setPointSizeF(14.0);
    titleFont.setBold(true);
    QFont lineFont = QApplication::font();
    lineFont.setPointSizeF(9.0);
    const QFontMetricsF titleMetrics(titleFont, pDevice), lineMetrics(lineFont, pDevice);

    const int32_t nAbove =
        captions.m_szTitle.isEmpty() ? 0 : static_cast<int32_t>(std::ceil(titleMetrics.lineSpacing() * 1.5));
    // Half a line apart from the picture; at most half of the room the title leaves.
    const double dLine = lineMetrics.lineSpacing();
    const double dRoom = std::max(0, nPageHeight - margin.m_nTop - nAbove) / 2.0;
    const size_t nFit = dLine > 0.0 ? static_cast<size_t>(std::max(0.0, dRoom / dLine - 0.5)) : 0;
    const size_t nCount = captions.m_Formulas.size();
    const bool bCut = nCount > nFit;
    const size_t nShown = bCut ? (nFit > 0 ? nFit - 1 : 0) : nCount;
    const size_t nLines = nShown + (bCut && nFit > 0 ? 1 : 0);
    const int32_t nBelow =
        nLines == 0 ? 0 : static_cast<int32_t>(std::ceil(dLine * (static_cast<double>(nLines) + 0.5)));
    const SPrintLayout layout = Layout(dDpiX, dDpiY, nPageWidth, nPageHeight, bLandscape, boxSize, nAbove, nBelow);

    if (layout.m_nWidth > 0) {
        painter.save();
        const double dWidth = layout.m_nWidth;
        if (nAbove > 0) {
            painter.setFont(titleFont);
            painter.setPen(Qt::black);
            painter.drawText(QRectF(layout.m_nLeft, margin.m_nTop, dWidth, nAbove), Qt::AlignCenter,
                             titleMetrics.elidedText(captions.m_szTitle, Qt::ElideRight, dWidth));
        }
        painter.setFont(lineFont);
        double y = layout.m_nTop + layout.m_nHeight + dLine / 2.0;
        const auto DrawLine = [&](const QString& szText, const QColor& color) {
            painter.setPen(color);
            painter.drawText(QRectF(layout.m_nLeft, y, dWidth, dLine), Qt::AlignLeft | Qt::AlignVCenter,
                             lineMetrics.elidedText(szText, Qt::ElideRight, dWidth));
            y += dLine;
        };
        for (size_t n = 0; n < nShown; ++n) {
            const QColor color = CQtCanvas::ToQColor(captions.m_Formulas[n].m_nColor);
            // A colour too light to read on paper (white, light yellow) is printed black.
            DrawLine(captions.m_Formulas[n].m_szText, qGray(color.rgb()) > 200 ? QColor(Qt::black) : color);
        }
        if (nLines > nShown)
            DrawLine("\u2026 und " + QString::number(nCount - nShown) + " weitere", Qt::black);
        painter.restore();
    }
    Draw(project, painter, layout, pScreenJob, bVector, bAborted, choose);
    return layout;
}

bool CGraphPrint::Print(QPrinter& printer, CProject& project, const CFuncVars* pScreenJob, QSize boxSize,
                        SPrintLayout* pLayout, const ChooseFunction& choose, const SPrintCaptions& captions)
{
    CWaitCursor cursor;
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const SPrintLayout layout = DrawPage(
        project, painter, printer.pageLayout().orientation() == QPageLayout::Landscape, boxSize, captions, pScreenJob,
        true, [&printer] { return printer.printerState() == QPrinter::Aborted; }, choose);
    if (pLayout)
        *pLayout = layout;
    return painter.end();
}
