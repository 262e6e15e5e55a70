#include "ui/CGraphicsPage.h"

#include <QApplication>
#include <QPainter>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "project/CProject.h"
#include "project/CShownNumber.h"
#include "render/CPictureJob.h"
#include "render/CQtCanvas.h"
#include "render/CRenderer.h"
#include "ui/CAnsi.h"
#include "ui/CCurveTrace.h"
#include "ui/CGraphView.h"
#include "ui/CPageFrame.h"
#include "ui/CPaintBox.h"
#include "ui/CParamSliders.h"
#include "ui/CTickClock.h"
#include "ui/CUndoHistory.h"
#include "view/CFuncVars.h"
#include "view/CNothingToDraw.h"
#include "view/CViewRange.h"
#include "view/CWorkBudget.h"
#include "view/EWorkBudget.h"

CGraphicsPage::CGraphicsPage(CPageFrame& frame) : m_Frame(frame), m_pClock(std::make_unique<CTickClock>())
{
    setObjectName("GraphicsSheet");
    View = new CGraphView(frame, "PaintBox", this);
    PaintBox = View->PaintBox();
    Trace = View->Trace();
    View->m_OnViewMoved = [this] { PaintBoxPaint(); };
    View->m_OnResize = [this] {
        if (isVisible())
            PaintBoxPaint();
    };
    Sliders = new CParamSliders(View->SliderRow());
    View->SliderLayout()->addWidget(Sliders);
    connect(Sliders, &CParamSliders::Changed, this, &CGraphicsPage::SlidersChange);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(View);

    PaintTimer = new QTimer(this);
    PaintTimer->setObjectName("PaintTimer");
    PaintTimer->setInterval(TIMER_INTERVAL);
    connect(PaintTimer, &QTimer::timeout, this, &CGraphicsPage::PaintTimerEvent);
}

CGraphicsPage::~CGraphicsPage()
{
    DropBusyCursor();
}

void CGraphicsPage::SetClock(std::unique_ptr<CTickClock> pClock)
{
    m_pClock = std::move(pClock);
}

uint32_t CGraphicsPage::Width() const
{
    return View->Width();
}

uint32_t CGraphicsPage::Height() const
{
    return View->Height();
}

QImage CGraphicsPage::Picture() const
{
    return View->Picture();
}

QSize CGraphicsPage::PaintBoxSize() const
{
    return PaintBox->size();
}

const CFuncVars* CGraphicsPage::DrawVars() const
{
    return m_pJob && !m_bRangePending ? &m_pJob->Vars() : nullptr;
}

void CGraphicsPage::StopJob()
{
    PaintTimer->stop();
    // A determination under way ends here; the document has not been touched by it.
    m_pJob.reset();
    m_bRangePending = false;
    m_bFresh = false;
    DropBusyCursor();
    // Pause and skip act on a drawing: off with every job that ends, on again with a drawing.
    m_Frame.EnableCommand(CPageFrame::COMMAND_PAUSE, false);
    m_Frame.EnableCommand(CPageFrame::COMMAND_SKIP, false);
}

void CGraphicsPage::DropBusyCursor()
{
    if (m_bBusyCursor)
        QApplication::restoreOverrideCursor();
    m_bBusyCursor = false;
}

bool CGraphicsPage::AllStepsFast() const
{
    // Only a drawing that runs through without pacing gains from summing its curves up first.
    for (const CAnimationStep* pStep = m_Frame.Document().m_pFirstStep; pStep; pStep = pStep->m_pNext) {
        if (pStep->m_nSpeed != 0)
            return false;
    }
    return true;
}

void CGraphicsPage::StartDrawing(CAnimationStep* pStartStep)
{
    StopJob();
    m_bMovedWhileDrawing = false; // this one is for the view as it is
    Sliders->SetStep(m_Frame.CurrentStep(), CShownNumber::Comma(m_Frame.Document()));
    View->SliderRow()->setVisible(!Sliders->isHidden());
    m_nLostSince = CFuncTerm::GetLostNanoseconds(); // the range and the curves share one budget
    if (!pStartStep) {
        m_pStartStep = nullptr;
        StartJob();
        return;
    }
    m_Frame.ShowStatus("Ermittle Wertebereich...");
    m_pJob = std::make_unique<CPictureJob>(m_Frame.Document(), AllStepsFast(), true);
    m_bRangePending = true;
    m_pRangeStart = pStartStep;
    // A usual project is done within this first slice, as in one piece; a large one goes on from
    // the timer, a slice a tick, while the window stays at the user's hand.
    if (WalkRangeSlice()) {
        QApplication::setOverrideCursor(Qt::BusyCursor);
        m_bBusyCursor = true;
        PaintTimer->setInterval(TIMER_INTERVAL);
        PaintTimer->start();
    }
}

bool CGraphicsPage::WalkRangeSlice()
{
    m_pClock->StartSlice(SLICE);
    bool bMore = false;
    if (!Budgeted([&] { bMore = m_pJob->Walk(UINT64_MAX, m_pClock.get()); }))
        return false;
    if (bMore) {
        m_Frame.ShowStatus(
            QString("Ermittle Wertebereich... %1 % (Esc bricht ab)").arg(static_cast<int>(m_pJob->Progress() * 100.0)));
        return true;
    }
    RangeDone();
    return false;
}

void CGraphicsPage::RangeDone()
{
    CProject& project = m_Frame.Document();
    // The automatic range is recomputed at every start; what it writes is no change of the
    // user's, and must not bring up the unsaved-changes prompt for an untouched file.
    const bool bModified = project.m_bModified;
    m_Frame.History().NoteChanges(); // nor is it an undo step of its own
    const CViewBox range = m_pJob->Range();
    range.WriteTo(project);
    m_bRangeAnyPoint = range.m_bAnyPoint;
    m_bRangeAnyView = range.m_bAnyView;
    project.m_bModified = bModified;
    m_Frame.History().Rebase();
    m_bRangePending = false;
    DropBusyCursor();
    PaintTimer->stop();
    m_Frame.RangesChanged();
    m_nMaxSamples = 0;
    m_pStartStep = m_pRangeStart;
    const bool bRepaint = m_bRepaintAfterRange;
    m_bRepaintAfterRange = false;
    if (bRepaint)
        PaintBackground(true);
    StartJob();
    if (bRepaint) {
        CatchUp();
        if (!m_pJob)
            EndHolding();
        PaintBox->update();
    }
}

void CGraphicsPage::SlidersChange()
{
    if (DeterminingRange())
        return; // the drawing that follows takes the members as they are then
    // Whatever the pace: the member is shown whole at once, and so is the family again.
    m_nMaxSamples = UINT32_MAX;
    StartDrawing(nullptr);
    PaintBackground(true);
    CatchUp();
    if (!m_pJob)
        EndHolding();
    PaintBox->update();
}

void CGraphicsPage::Cancel()
{
    Sliders->Stop();
    m_bMovedWhileDrawing = false;
    if (DeterminingRange()) {
        StopJob();
        m_bRepaintAfterRange = false;
        m_Frame.ShowStatus("Ermittlung des Wertebereichs abgebrochen");
        return;
    }
    if (!DrawVars())
        return;
    // The picture keeps what is drawn; "Grafik neu zeichnen" starts it again.
    StopJob();
    m_Frame.ShowStatus("Zeichnen abgebrochen");
    m_Frame.EnableCommand(CPageFrame::COMMAND_PAUSE, false);
    m_Frame.EnableCommand(CPageFrame::COMMAND_SKIP, false);
    EndHolding();
    PaintBox->update();
}

bool CGraphicsPage::Walking() const
{
    return m_pJob && !m_pJob->Walked();
}

void CGraphicsPage::StartJob()
{
    CProject& project = m_Frame.Document();
    if (!CViewRange::NothingToDraw(project)) {
        m_Frame.ShowStatus("Zeichne...");
        // The job of a range just determined goes on to draw; a repaint has one of its own.
        if (!m_pJob)
            m_pJob = std::make_unique<CPictureJob>(project, AllStepsFast(), false);
        Sliders->SelectMembers(*m_pJob);
        m_JobBox = CViewBox::Of(project);
        m_nJobWidth = Width();
        m_nJobHeight = Height();
        m_pJob->Setup(m_JobBox, m_nJobWidth, m_nJobHeight, 0, 0, 1);
        m_bFresh = true;
        m_bCatchUp = true;
        m_nTimeBudget = 0;
        PaintTimer->setInterval(TIMER_INTERVAL);
        PaintTimer->start();
        m_bSkipStep = false;
        m_Frame.EnableCommand(CPageFrame::COMMAND_PAUSE, true);
        m_Frame.EnableCommand(CPageFrame::COMMAND_SKIP, true);
    } else {
        m_pJob.reset();
        CViewBox box = CViewBox::Of(project);
        box.m_bAnyPoint = m_bRangeAnyPoint;
        box.m_bAnyView = m_bRangeAnyView;
        std::string szWhy;
        CNothingToDraw::Cause(project, box, szWhy);
        m_Frame.ShowStatus(Ansi::ToQString(szWhy));
    }
}

void CGraphicsPage::PaintBackground(bool bGrid)
{
    CProject& project = m_Frame.Document();
    View->FitImage();
    QPainter painter(&View->Image());
    CQtCanvas canvas(painter);
    CRenderer::DrawBackground(project, canvas, Width(), Height());
    if (bGrid) {
        CFuncVars vars;
        vars.SetupView(&project, project.m_pFirstStep, Width(), Height(), 0, 0);
        CRenderer::DrawGrid(vars, canvas, CRenderer::AxisColorOnBackground(project));
    }
}

void CGraphicsPage::PaintBoxPaint()
{
    if (DeterminingRange()) {
        // The grid of a range still to come would be the wrong one: the picture waits for it.
        PaintBackground(false);
        m_bRepaintAfterRange = true;
        EndHolding();
        PaintBox->update();
        return;
    }
    const CViewBox box = CViewBox::Of(m_Frame.Document());
    const bool bJobSize = m_pJob && m_nJobWidth == Width() && m_nJobHeight == Height();
    bool bJobView = bJobSize;
    for (unsigned i = 0; i < 4 && bJobView; ++i)
        bJobView = box.m_dView[i] == m_JobBox.m_dView[i] && box.m_dRaw[i] == m_JobBox.m_dRaw[i];
    // While the view is dragged, a drawing as fast as possible that is under way goes on for the
    // view it began with; once finished it is shown moved to where the view has gone, and the
    // next one begins (DrawMoved). Were each move to start the drawing over, a picture that takes
    // longer than the moves come would show the exposed area only when the pointer rests.
    if (View->Dragging() && bJobSize && AllStepsFast()) {
        m_bMovedWhileDrawing = !bJobView;
        PaintBox->update();
        return;
    }
    PaintBackground(true);
    // A job that has drawn nothing yet on the same view (entering the page has just started one)
    // goes on as it is.
    const bool bSameView = bJobView && m_bFresh;
    if (!bSameView)
        StartDrawing(nullptr);
    CatchUp();
    if (!m_pJob)
        EndHolding();
    PaintBox->update();
}

void CGraphicsPage::DrawNext(CQtCanvas& canvas)
{
    CPictureJob& job = *m_pJob;
    const CFuncVars& vars = job.Vars();
    const CAnimationStep* pStep = vars.m_pStep;
    const uint32_t nBefore = vars.m_nSamples;
    m_bFresh = false;
    const auto Late = [&] { return m_pClock->SliceOver(); };
    bool bMore;
    if (m_bSkipStep) {
        bMore = job.Draw(canvas, UINT64_MAX,
                         [&](const CFuncVars& v, const CAnimationStep* pFrom) { return v.m_pStep != pFrom || Late(); });
        m_nTimeBudget = -1;
        m_bSkipStep = vars.m_pStep == pStep;
    } else if (m_bCatchUp) {
        // Without pacing up to the start step, or to where the previous job had come.
        const CAnimationStep* pStart = m_pStartStep;
        const uint32_t nMax = m_nMaxSamples;
        const auto Reached = [pStart, nMax](const CFuncVars& v) {
            return pStart ? v.m_pStep == pStart : v.m_nSamples >= nMax;
        };
        bMore = job.Draw(canvas, pStart ? UINT64_MAX : uint64_t{nMax},
                         [&](const CFuncVars& v, const CAnimationStep*) { return Reached(v) || Late(); });
        if (bMore && vars.m_nSamples - nBefore > 1)
            m_nTimeBudget = -1;
        if (bMore && Reached(vars))
            m_bCatchUp = false;
        else
            m_nTimeBudget = -1;
        if (!m_bCatchUp)
            EndHolding();
    } else if (pStep->m_nSpeed == 0) {
        // As fast as the slice allows, to the end of the step.
        bMore = job.Draw(canvas, UINT64_MAX,
                         [&](const CFuncVars& v, const CAnimationStep* pFrom) { return v.m_pStep != pFrom || Late(); });
        if (vars.m_pStep != pStep)
            AddToBudget(int64_t(pStep->m_nWait) * 1000);
    } else {
        // A step whose x follows the view has other samples than its own: it takes as long as
        // its own would, each sample its share of the speed.
        const double dShare = (double(pStep->m_nCount[0]) + 1.0) / (double(vars.m_Sweep.m_nCount[0]) + 1.0);
        bMore = job.Draw(canvas, uint64_t{nBefore} + 1, [](const CFuncVars&, const CAnimationStep*) { return true; });
        if (vars.m_pStep == pStep) {
            m_dPaceCarry += pStep->m_nSpeed * dShare;
            const double dWhole = std::floor(m_dPaceCarry);
            m_dPaceCarry -= dWhole;
            AddToBudget(static_cast<int64_t>(dWhole));
        } else {
            AddToBudget(int64_t(pStep->m_nWait) * 1000);
        }
    }
    if (!bMore) {
        // Complete: a redraw, on whatever samples, catches up to the end.
        m_nMaxSamples = UINT32_MAX;
        StopJob();
        m_Frame.ShowStatus(QString());
        m_Frame.EnableCommand(CPageFrame::COMMAND_PAUSE, false);
        m_Frame.EnableCommand(CPageFrame::COMMAND_SKIP, false);
        EndHolding();
        return;
    }
    if (vars.m_nSamples > m_nMaxSamples)
        m_nMaxSamples = vars.m_nSamples;
}

void CGraphicsPage::AddToBudget(int64_t nMilliseconds)
{
    // Speeds and waits from a file may be huge: the budget saturates instead of overflowing.
    const int64_t nBudget = int64_t(m_nTimeBudget) + nMilliseconds;
    m_nTimeBudget = static_cast<int32_t>(std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, nBudget)));
}

bool CGraphicsPage::WalkJob()
{
    if (!m_pJob)
        return false;
    if (!m_pJob->Walked() && !Budgeted([&] { m_pJob->Walk(UINT64_MAX, m_pClock.get()); }))
        return false;
    return m_pJob->Walked();
}

bool CGraphicsPage::Budgeted(const std::function<void()>& work)
{
    try {
        CWorkBudget budget(m_Frame.Document(), m_nLostSince);
        work();
        return true;
    } catch (const EWorkBudget& error) {
        StopJob();
        m_bRepaintAfterRange = false;
        m_Frame.EnableCommand(CPageFrame::COMMAND_PAUSE, false);
        m_Frame.EnableCommand(CPageFrame::COMMAND_SKIP, false);
        EndHolding();
        m_Frame.ShowStatus(QString::fromLatin1(error.Message().c_str()));
        return false;
    }
}

void CGraphicsPage::PaintTimerEvent()
{
    if (DeterminingRange()) {
        WalkRangeSlice();
        return;
    }
    m_pClock->StartSlice(SLICE);
    if (!WalkJob())
        return;
    AddToBudget(-PaintTimer->interval());
    bool bDrawn = false;
    {
        // One painter for the whole slice.
        QPainter painter(&View->Image());
        CQtCanvas canvas(painter);
        while (m_pJob && m_nTimeBudget < 0) {
            bDrawn = true;
            if (!Budgeted([&] { DrawNext(canvas); }))
                break;
            if (m_pClock->SliceOver())
                break;
        }
    }
    if (bDrawn)
        PaintBox->update();
    DrawMoved();
}

void CGraphicsPage::DrawMoved()
{
    if (!m_bMovedWhileDrawing || m_pJob)
        return;
    m_bMovedWhileDrawing = false;
    // Where the corner of the finished picture lies in the view as it is now.
    CProject& project = m_Frame.Document();
    CFuncVars drawn, now;
    drawn.SetupView(&project, m_JobBox, nullptr, Width(), Height(), 0, 0);
    now.SetupView(&project, CViewBox::Of(project), nullptr, Width(), Height(), 0, 0);
    double x, y;
    drawn.UnmapPoint(0, 0, x, y);
    int32_t nX = 0, nY = 0;
    now.MapPoint(x, y, nX, nY, false);
    View->HoldMoved(View->Image(), nX, nY);
    PaintBoxPaint();
}

void CGraphicsPage::CatchUp()
{
    m_pClock->StartSlice(SLICE);
    if (!WalkJob())
        return;
    QPainter painter(&View->Image());
    CQtCanvas canvas(painter);
    // A step drawn as fast as possible goes on to its end here as it would on the next tick, so
    // a redraw shows the finished picture at once.
    while (m_pJob && (m_bCatchUp || (m_nTimeBudget < 0 && !m_bSkipStep && m_pJob->Vars().m_pStep &&
                                     m_pJob->Vars().m_pStep->m_nSpeed == 0))) {
        if (!Budgeted([&] { DrawNext(canvas); }))
            break;
        if (m_pClock->SliceOver())
            break;
    }
}

void CGraphicsPage::EndHolding()
{
    View->EndHolding();
}

void CGraphicsPage::GraphicsSheetEnter(bool bDetermineRange)
{
    if (bDetermineRange)
        StartDrawing(m_Frame.Document().m_pFirstStep);
    m_Frame.EnableCommand(CPageFrame::COMMAND_COPY, true);
    m_Frame.EnableCommand(CPageFrame::COMMAND_PRINT, true);
    m_Frame.EnableCommand(CPageFrame::COMMAND_ZOOMIN, true);
    m_Frame.EnableCommand(CPageFrame::COMMAND_ZOOMOUT, true);
    m_Frame.EnableCommand(CPageFrame::COMMAND_TRACE, true);
    PaintBoxPaint(); // the page is shown
}

void CGraphicsPage::GraphicsSheetExit()
{
    Sliders->Stop();
    StopJob();
    m_bRepaintAfterRange = false;
    m_Frame.ShowStatus(QString());
    for (const CPageFrame::ECommand eCommand :
         {CPageFrame::COMMAND_PAUSE, CPageFrame::COMMAND_SKIP, CPageFrame::COMMAND_COPY, CPageFrame::COMMAND_PRINT,
          CPageFrame::COMMAND_ZOOMIN, CPageFrame::COMMAND_ZOOMOUT, CPageFrame::COMMAND_TRACE})
        m_Frame.EnableCommand(eCommand, false);
    Trace->End();
    Trace->ClearMarks(); // they belong to the view shown
}

void CGraphicsPage::GraphicsButtonClick()
{
    // Entering the page does the same (range, repaint); only a shown page needs it done here.
    if (!m_Frame.IsPageShown(this)) {
        m_Frame.ShowPage(this);
        return;
    }
    StartDrawing(m_Frame.Document().m_pFirstStep);
    PaintBoxPaint();
}

void CGraphicsPage::RunButtonClick()
{
    if (!m_Frame.IsPageShown(this))
        m_Frame.ShowPage(this);
    StartDrawing(m_Frame.CurrentStep());
}

void CGraphicsPage::PauseButtonClick()
{
    if (!DrawVars())
        return;
    if (PaintTimer->isActive())
        PaintTimer->stop();
    else
        PaintTimer->start();
}

void CGraphicsPage::SkipButtonClick()
{
    if (!DrawVars())
        return;
    PaintTimer->start();
    m_bSkipStep = true;
}

void CGraphicsPage::PaintBoxWheel(int nX, int nY, int nAngleDelta)
{
    View->Wheel(nX, nY, nAngleDelta);
}

void CGraphicsPage::ZoominButtonClick()
{
    View->Zoom(2.0);
}

void CGraphicsPage::ZoomoutButtonClick()
{
    View->Zoom(0.5);
}

void CGraphicsPage::PaintBoxMouseDown(int nX, int nY)
{
    View->MouseDown(nX, nY);
}

void CGraphicsPage::PaintBoxMouseUp()
{
    View->MouseUp();
}

void CGraphicsPage::PaintBoxMouseMove(int nX, int nY)
{
    View->MouseMove(nX, nY);
}
