#include "ui/CGraphicsPage.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "project/CProject.h"
#include "render/CQtCanvas.h"
#include "render/CRenderer.h"
#include "ui/CCurveTrace.h"
#include "ui/CPageFrame.h"
#include "ui/CPaintBox.h"
#include "ui/CTickClock.h"
#include "ui/CUndoHistory.h"
#include "view/CFuncVars.h"
#include "view/CRangeWalk.h"
#include "view/CViewRange.h"

CGraphicsPage::CGraphicsPage(CPageFrame& frame) : m_Frame(frame), m_pClock(std::make_unique<CTickClock>())
{
    setObjectName("GraphicsSheet");
    PaintBox = new CPaintBox(this);
    PaintBox->SetPicture(&m_Image);
    Trace = new CCurveTrace(frame, PaintBox);
    PaintBox->m_OnPaintOver = [this](QPainter& painter) { Trace->PaintOver(painter); };
    PaintBox->m_OnMouseDown = [this](QMouseEvent* pEvent) {
        const QPoint pos = pEvent->position().toPoint();
        // A right click, or any click while "Kurve verfolgen" waits for one, picks a curve.
        if (pEvent->button() == Qt::RightButton || (Trace->IsOn() && !Trace->HasCurve())) {
            Trace->TraceAt(pos.x(), pos.y());
            return;
        }
        PaintBoxMouseDown(pos.x(), pos.y());
    };
    PaintBox->m_OnMouseMove = [this](QMouseEvent* pEvent) {
        const QPoint pos = pEvent->position().toPoint();
        PaintBoxMouseMove(pos.x(), pos.y());
    };
    PaintBox->m_OnMouseUp = [this](QMouseEvent*) { PaintBoxMouseUp(); };
    PaintBox->m_OnWheel = [this](QWheelEvent* pEvent) {
        const QPoint pos = pEvent->position().toPoint();
        PaintBoxWheel(pos.x(), pos.y(), pEvent->angleDelta().y());
    };
    PaintBox->m_OnResize = [this] {
        if (isVisible())
            PaintBoxPaint();
    };
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(PaintBox);

    PaintTimer = new QTimer(this);
    PaintTimer->setObjectName("PaintTimer");
    PaintTimer->setInterval(TIMER_INTERVAL);
    connect(PaintTimer, &QTimer::timeout, this, &CGraphicsPage::PaintTimerEvent);
}

CGraphicsPage::~CGraphicsPage()
{
    if (m_bDragging)
        QApplication::restoreOverrideCursor();
    DropRangeWalk();
}

void CGraphicsPage::SetClock(std::unique_ptr<CTickClock> pClock)
{
    m_pClock = std::move(pClock);
}

uint32_t CGraphicsPage::Width() const
{
    return static_cast<uint32_t>(std::max(0, PaintBox->width()));
}

uint32_t CGraphicsPage::Height() const
{
    return static_cast<uint32_t>(std::max(0, PaintBox->height()));
}

QSize CGraphicsPage::PaintBoxSize() const
{
    return PaintBox->size();
}

void CGraphicsPage::StopJob()
{
    PaintTimer->stop();
    m_pDrawVars.reset();
    DropRangeWalk();
}

void CGraphicsPage::DropRangeWalk()
{
    // A determination under way ends here; the document has not been touched by it.
    m_pRangeWalk.reset();
    if (m_bBusyCursor)
        QApplication::restoreOverrideCursor();
    m_bBusyCursor = false;
}

void CGraphicsPage::StartDrawing(CAnimationStep* pStartStep)
{
    StopJob();
    if (!pStartStep) {
        m_pStartStep = nullptr;
        StartJob();
        return;
    }
    m_Frame.ShowStatus("Ermittle Wertebereich...");
    m_pRangeWalk = std::make_unique<CRangeWalk>(m_Frame.Document());
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
    if (m_pRangeWalk->Walk(UINT64_MAX, m_pClock.get())) {
        m_Frame.ShowStatus(QString("Ermittle Wertebereich... %1 % (Esc bricht ab)")
                               .arg(static_cast<int>(m_pRangeWalk->Progress() * 100.0)));
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
    m_pRangeWalk->Finish();
    project.m_bModified = bModified;
    m_Frame.History().Rebase();
    DropRangeWalk();
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
        if (!m_pDrawVars)
            EndHolding();
        PaintBox->update();
    }
}

void CGraphicsPage::Cancel()
{
    if (m_pRangeWalk) {
        StopJob();
        m_bRepaintAfterRange = false;
        m_Frame.ShowStatus("Ermittlung des Wertebereichs abgebrochen");
        return;
    }
    if (!m_pDrawVars)
        return;
    // The picture keeps what is drawn; "Grafik neu zeichnen" starts it again.
    StopJob();
    m_Frame.ShowStatus("Zeichnen abgebrochen");
    m_Frame.EnableCommand(CPageFrame::COMMAND_PAUSE, false);
    m_Frame.EnableCommand(CPageFrame::COMMAND_SKIP, false);
    EndHolding();
    PaintBox->update();
}

void CGraphicsPage::StartJob()
{
    CProject& project = m_Frame.Document();
    if (!CViewRange::NothingToDraw(project)) {
        m_Frame.ShowStatus("Zeichne...");
        m_pDrawVars = std::make_unique<CFuncVars>();
        m_pDrawVars->SetupView(&project, project.m_pFirstStep, Width(), Height(), 0, 0);
        m_bCatchUp = true;
        m_nTimeBudget = 0;
        PaintTimer->setInterval(TIMER_INTERVAL);
        PaintTimer->start();
        m_bSkipStep = false;
        m_Frame.EnableCommand(CPageFrame::COMMAND_PAUSE, true);
        m_Frame.EnableCommand(CPageFrame::COMMAND_SKIP, true);
    } else {
        m_Frame.ShowStatus("Nichts zu zeichnen!");
    }
}

void CGraphicsPage::PaintBackground(bool bGrid)
{
    CProject& project = m_Frame.Document();
    // At the screen's own resolution: the painter scales the layout and every pen width by it.
    const qreal dRatio = PaintBox->devicePixelRatioF();
    const QSize size = QSize(std::max(1, PaintBox->width()), std::max(1, PaintBox->height())) * dRatio;
    if (m_Image.size() != size || m_Image.devicePixelRatio() != dRatio) {
        m_Image = QImage(size, QImage::Format_RGB32);
        m_Image.setDevicePixelRatio(dRatio);
    }
    QPainter painter(&m_Image);
    CQtCanvas canvas(painter);
    CRenderer::DrawBackground(project, canvas, Width(), Height());
    if (bGrid) {
        CFuncVars vars;
        vars.SetupView(&project, project.m_pFirstStep, Width(), Height(), 0, 0);
        CRenderer::DrawGrid(vars, canvas);
    }
}

void CGraphicsPage::PaintBoxPaint()
{
    if (m_pRangeWalk) {
        // The grid of a range still to come would be the wrong one: the picture waits for it.
        PaintBackground(false);
        m_bRepaintAfterRange = true;
        EndHolding();
        PaintBox->update();
        return;
    }
    PaintBackground(true);
    StartDrawing(nullptr);
    CatchUp();
    if (!m_pDrawVars)
        EndHolding();
    PaintBox->update();
}

void CGraphicsPage::DrawNextSample()
{
    CFuncVars& vars = *m_pDrawVars;
    const CAnimationStep* pStep = vars.m_pStep;
    bool bMore;
    {
        QPainter painter(&m_Image);
        CQtCanvas canvas(painter);
        bMore = CRenderer::DrawSample(vars, canvas, 1);
    }
    if (!bMore) {
        StopJob();
        m_Frame.ShowStatus(QString());
        m_Frame.EnableCommand(CPageFrame::COMMAND_PAUSE, false);
        m_Frame.EnableCommand(CPageFrame::COMMAND_SKIP, false);
        EndHolding();
        return;
    }
    if (m_bSkipStep) {
        m_nTimeBudget = -1;
        m_bSkipStep = vars.m_pStep == pStep;
    } else if (m_bCatchUp) {
        if (m_pStartStep && vars.m_pStep == m_pStartStep)
            m_bCatchUp = false;
        else if (m_pStartStep || vars.m_nSamples < m_nMaxSamples)
            m_nTimeBudget = -1;
        else
            m_bCatchUp = false;
        if (!m_bCatchUp)
            EndHolding();
    } else if (vars.m_pStep == pStep) {
        AddToBudget(pStep->m_nSpeed);
    } else {
        AddToBudget(int64_t(pStep->m_nWait) * 1000);
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

void CGraphicsPage::PaintTimerEvent()
{
    if (m_pRangeWalk) {
        WalkRangeSlice();
        return;
    }
    m_pClock->StartSlice(SLICE);
    AddToBudget(-PaintTimer->interval());
    bool bDrawn = false;
    while (m_pDrawVars && m_nTimeBudget < 0) {
        DrawNextSample();
        bDrawn = true;
        if (m_pClock->SliceOver())
            break;
    }
    if (bDrawn)
        PaintBox->update();
}

void CGraphicsPage::CatchUp()
{
    m_pClock->StartSlice(SLICE);
    while (m_pDrawVars && m_bCatchUp) {
        DrawNextSample();
        if (m_pClock->SliceOver())
            break;
    }
}

void CGraphicsPage::EndHolding()
{
    if (!m_bHolding)
        return;
    m_bHolding = false;
    PaintBox->SetPicture(&m_Image);
    PaintBox->update();
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
    StopJob();
    m_bRepaintAfterRange = false;
    m_Frame.ShowStatus(QString());
    for (const CPageFrame::ECommand eCommand :
         {CPageFrame::COMMAND_PAUSE, CPageFrame::COMMAND_SKIP, CPageFrame::COMMAND_COPY, CPageFrame::COMMAND_PRINT,
          CPageFrame::COMMAND_ZOOMIN, CPageFrame::COMMAND_ZOOMOUT, CPageFrame::COMMAND_TRACE})
        m_Frame.EnableCommand(eCommand, false);
    Trace->End();
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
    if (!m_pDrawVars)
        return;
    if (PaintTimer->isActive())
        PaintTimer->stop();
    else
        PaintTimer->start();
}

void CGraphicsPage::SkipButtonClick()
{
    if (!m_pDrawVars)
        return;
    PaintTimer->start();
    m_bSkipStep = true;
}

void CGraphicsPage::Zoom(double dFactor)
{
    if (!CViewRange::ZoomView(m_Frame.Document(), dFactor, Width(), Height())) {
        m_Frame.ShowStatus("Weiter vergr\u00F6\u00DFern geht nicht: die Rechengenauigkeit reicht nicht aus.");
        return;
    }
    m_Frame.RangesChanged(); // the page shows the document's ranges
    PaintBoxPaint();
}

void CGraphicsPage::ZoomAt(double dFactor, int nX, int nY)
{
    CProject& project = m_Frame.Document();
    double ax, ay, bx, by;
    CFuncVars before;
    before.SetupView(&project, nullptr, Width(), Height(), 0, 0);
    before.UnmapPoint(nX, nY, ax, ay);
    if (!CViewRange::ZoomView(project, dFactor, Width(), Height())) {
        m_Frame.ShowStatus("Weiter vergr\u00F6\u00DFern geht nicht: die Rechengenauigkeit reicht nicht aus.");
        return;
    }
    CFuncVars after;
    after.SetupView(&project, nullptr, Width(), Height(), 0, 0);
    after.UnmapPoint(nX, nY, bx, by);
    CViewRange::ShiftView(project, ax - bx, ay - by);
    m_Frame.RangesChanged();
    PaintBoxPaint();
}

void CGraphicsPage::PaintBoxWheel(int nX, int nY, int nAngleDelta)
{
    m_nWheelDelta += nAngleDelta;
    const int nNotches = m_nWheelDelta / 120;
    if (nNotches == 0)
        return;
    m_nWheelDelta -= nNotches * 120;
    ZoomAt(std::pow(2.0, nNotches), nX, nY);
}

void CGraphicsPage::ZoominButtonClick()
{
    Zoom(2.0);
}

void CGraphicsPage::ZoomoutButtonClick()
{
    Zoom(0.5);
}

void CGraphicsPage::PaintBoxMouseDown(int nX, int nY)
{
    m_nMouseX = nX;
    m_nMouseY = nY;
    if (!m_bDragging)
        QApplication::setOverrideCursor(Qt::ClosedHandCursor);
    m_bDragging = true;
}

void CGraphicsPage::PaintBoxMouseUp()
{
    if (m_bDragging)
        QApplication::restoreOverrideCursor();
    m_bDragging = false;
}

void CGraphicsPage::PaintBoxMouseMove(int nX, int nY)
{
    CProject& project = m_Frame.Document();
    CFuncVars vars;
    vars.SetupView(&project, nullptr, Width(), Height(), 0, 0);
    if (m_bDragging) {
        double ax, ay, bx, by;
        vars.UnmapPoint(m_nMouseX, m_nMouseY, ax, ay);
        vars.UnmapPoint(nX, nY, bx, by);
        CViewRange::ShiftView(project, ax - bx, ay - by);
        m_Frame.RangesChanged();
        // The picture moves with the mouse at once; the new one takes its place once it has
        // caught up, so the curves follow without flicker.
        const QImage shown = Picture();
        QImage moved(shown.size(), QImage::Format_RGB32);
        moved.setDevicePixelRatio(shown.devicePixelRatio());
        {
            QPainter painter(&moved);
            CQtCanvas canvas(painter);
            CRenderer::DrawBackground(project, canvas, Width(), Height());
            canvas.Flush();
            painter.drawImage(nX - m_nMouseX, nY - m_nMouseY, shown);
        }
        m_Held = moved;
        m_bHolding = true;
        PaintBox->SetPicture(&m_Held);
        PaintBoxPaint();
    } else if (!Trace->PointerAt(nX, nY)) {
        double x, y;
        vars.UnmapPoint(nX, nY, x, y);
        m_Frame.ShowStatus(QString::fromStdString(CRenderer::FormatNumber(x) + ", " + CRenderer::FormatNumber(y)));
    }
    m_nMouseX = nX;
    m_nMouseY = nY;
}
