#include "ui/CGraphPrint.h"

#include <QApplication>
#include <QPainter>
#include <QPrinter>
#include <cmath>

#include "project/CProject.h"
#include "render/CPictureJob.h"
#include "render/CQtCanvas.h"
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
                                 QSize boxSize)
{
    SPrintLayout layout;
    if (bLandscape)
        layout.m_nTop = Trunc(MARGIN_CM * dDpiY * CM_PER_INCH_INVERSE);
    else
        layout.m_nLeft = Trunc(MARGIN_CM * dDpiX * CM_PER_INCH_INVERSE);
    const int32_t W = std::max(0, nPageWidth - layout.m_nLeft);
    const int32_t H = std::max(0, nPageHeight - layout.m_nTop);
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

bool CGraphPrint::Print(QPrinter& printer, CProject& project, const CFuncVars* pScreenJob, QSize boxSize,
                        SPrintLayout* pLayout, const ChooseFunction& choose)
{
    CWaitCursor cursor;
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const SPrintLayout layout = Layout(printer.logicalDpiX(), printer.logicalDpiY(), printer.width(), printer.height(),
                                       printer.pageLayout().orientation() == QPageLayout::Landscape, boxSize);
    if (pLayout)
        *pLayout = layout;
    Draw(
        project, painter, layout, pScreenJob, true, [&printer] { return printer.printerState() == QPrinter::Aborted; },
        choose);
    return painter.end();
}
