#include "ui/CFunctionsGraph.h"

#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <cstdio>

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
#include "view/CWorkBudget.h"
#include "view/EWorkBudget.h"

CFunctionsGraph::CFunctionsGraph(CPageFrame& frame, QWidget* pParent)
    : QWidget(pParent), m_Frame(frame), m_pClock(std::make_unique<CTickClock>())
{
    setObjectName("FunctionsGraphView");
    m_pView = new CGraphView(frame, "FunctionsGraph", this);
    m_pView->m_ShownBox = [this] { return m_Box.NothingToDraw() ? CViewBox::Of(m_Frame.Document()) : m_Box; };
    m_pView->m_OnBeforeMove = [this] { AdoptView(); };
    m_pView->m_OnViewMoved = [this] { Redraw(); };
    m_pView->m_OnResize = [this] { Redraw(); };
    Sliders = new CParamSliders(m_pView->SliderRow());
    m_pView->SliderLayout()->addWidget(Sliders);
    connect(Sliders, &CParamSliders::Changed, this, &CFunctionsGraph::Redraw);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(m_pView);
    m_pTimer = new QTimer(this);
    m_pTimer->setObjectName("FunctionsGraphTimer");
    m_pTimer->setInterval(0); // a slice as soon as the events are handled
    connect(m_pTimer, &QTimer::timeout, this, &CFunctionsGraph::Slice);
}

CFunctionsGraph::~CFunctionsGraph() = default;

void CFunctionsGraph::SetClock(std::unique_ptr<CTickClock> pClock)
{
    m_pClock = std::move(pClock);
}

QSize CFunctionsGraph::sizeHint() const
{
    return QSize(400, 300);
}

QImage CFunctionsGraph::Picture() const
{
    return m_pView->Picture();
}

bool CFunctionsGraph::Busy() const
{
    return m_pTimer->isActive();
}

void CFunctionsGraph::Redraw()
{
    if (isVisible())
        m_pTimer->start();
}

void CFunctionsGraph::Enter()
{
    m_bOwnView = false;
    Redraw();
}

void CFunctionsGraph::Exit()
{
    Sliders->Stop();
    Drop();
    m_pView->Trace()->End();
    m_pView->Trace()->ClearMarks();
}

void CFunctionsGraph::showEvent(QShowEvent* pEvent)
{
    QWidget::showEvent(pEvent);
    Redraw();
}

void CFunctionsGraph::hideEvent(QHideEvent* pEvent)
{
    QWidget::hideEvent(pEvent);
    Drop();
}

void CFunctionsGraph::Drop()
{
    m_pTimer->stop();
    m_pJob.reset();
    m_eState = EState::Idle;
    m_szJobKey.clear();
}

CAnimationStep* CFunctionsGraph::SelectedStep() const
{
    CProject& project = m_Frame.Document();
    const CAnimationStep* pSelected = m_Frame.CurrentStep();
    for (CAnimationStep* pStep = project.m_pFirstStep; pStep; pStep = pStep->m_pNext) {
        if (pStep == pSelected)
            return pStep;
    }
    return project.m_pFirstStep;
}

std::string CFunctionsGraph::Key() const
{
    CProject& project = m_Frame.Document();
    char szHead[128];
    std::snprintf(szHead, sizeof szHead, "%p %p %ux%u*%g %d %lld %lld\n", static_cast<const void*>(&project),
                  static_cast<const void*>(SelectedStep()), m_pView->Width(), m_pView->Height(),
                  m_pView->PaintBox()->devicePixelRatioF(), m_bOwnView ? 1 : 0,
                  static_cast<long long>(Sliders->Member(1)), static_cast<long long>(Sliders->Member(2)));
    return szHead + CUndoHistory::Snapshot(project);
}

void CFunctionsGraph::Slice()
{
    m_pClock->StartSlice(SLICE);
    // The document may have changed since the last slice, whichever way: a job never goes on
    // with what it took from an earlier one.
    const std::string szKey = Key();
    if (szKey != (m_pJob ? m_szJobKey : m_szShownKey)) {
        if ((m_Hold && m_Hold()) || szKey == m_szFailedKey) {
            Drop();
            return;
        }
        Begin(szKey);
    } else if (!m_pJob) {
        Drop(); // the picture shown is the document's
        return;
    }
    try {
        CWorkBudget budget(m_Frame.Document(), m_nLostSince);
        if (m_eState == EState::Walking && WalkSlice())
            BeginDrawing();
        if (m_eState == EState::Drawing) {
            if (DrawSlice())
                Show(true);
            else if (m_Started.elapsed() > SHOW_PARTIAL)
                Show(false);
        }
    } catch (const EWorkBudget& error) {
        m_szFailedKey = m_szJobKey;
        Drop();
        m_Frame.ShowStatus(QString::fromLatin1(error.Message().c_str()));
    }
}

void CFunctionsGraph::Begin(const std::string& szKey)
{
    m_pJob.reset();
    m_szJobKey = szKey;
    m_pStep = SelectedStep();
    m_nLostSince = CFuncTerm::GetLostNanoseconds();
    // Raster, the range determined unless the user moved the view here; on one thread, as the
    // document is edited between the slices.
    m_pJob = std::make_unique<CPictureJob>(m_Frame.Document(), true, !m_bOwnView, false);
    Sliders->SetStep(m_pStep, CShownNumber::Comma(m_Frame.Document()));
    m_pView->SliderRow()->setVisible(!Sliders->isHidden());
    Sliders->SelectMembers(*m_pJob);
    m_eState = EState::Walking;
    m_Started.start();
}

bool CFunctionsGraph::WalkSlice()
{
    return !m_pJob->Walk(UINT64_MAX, m_pClock.get());
}

void CFunctionsGraph::BeginDrawing()
{
    CProject& project = m_Frame.Document();
    const CViewBox range = m_pJob->Range();
    const uint32_t nWidth = m_pView->Width();
    const uint32_t nHeight = m_pView->Height();
    // Where no curve can be drawn, the grid of the document's own view is (the empty grid of the
    // first start), with the reason where there is a formula.
    m_JobBox = range;
    if (range.NothingToDraw()) {
        const CViewBox own = CViewBox::Of(project);
        for (unsigned i = 0; i < 4; ++i)
            m_JobBox.m_dView[i] = own.m_dView[i];
    }
    if (m_JobBox.NothingToDraw() && m_pStep && nWidth > 0) {
        // Nor that (a new document holds no range before the Grafik page has determined one):
        // the step's x range, and y true to scale about 0.
        const double dFrom = m_pStep->m_dMin[0];
        const double dTo = dFrom + m_pStep->m_dStep[0] * m_pStep->m_nCount[0];
        const bool bRange = std::isfinite(dTo) && dFrom != dTo;
        m_JobBox.m_dView[0] = bRange ? std::min(dFrom, dTo) : -10.0;
        m_JobBox.m_dView[1] = bRange ? std::max(dFrom, dTo) : 10.0;
        const double dHalf = (m_JobBox.m_dView[1] - m_JobBox.m_dView[0]) * 0.5 * nHeight / nWidth;
        m_JobBox.m_dView[2] = -dHalf;
        m_JobBox.m_dView[3] = dHalf;
    }
    m_Picture = m_pView->NewImage();
    {
        QPainter painter(&m_Picture);
        CQtCanvas canvas(painter);
        if (m_JobBox.NothingToDraw())
            CRenderer::DrawBackground(project, canvas, static_cast<int32_t>(nWidth), static_cast<int32_t>(nHeight));
        else
            CPictureJob::DrawLayers(project, m_JobBox, canvas, nWidth, nHeight, 0, 0, true);
        canvas.Flush();
        bool bAnyFormula = false;
        for (unsigned i = 0; i < MAX_FUNCTIONS && !bAnyFormula; ++i)
            bAnyFormula = project.m_pFunctions[i] != nullptr;
        if (range.NothingToDraw() && bAnyFormula) {
            std::string szWhy;
            CNothingToDraw::Cause(project, range, szWhy);
            painter.setPen(QColor(128, 128, 128));
            painter.drawText(QRect(8, 8, std::max(1, static_cast<int>(nWidth) - 16), static_cast<int>(nHeight) - 16),
                             Qt::AlignLeft | Qt::AlignBottom | Qt::TextWordWrap, Ansi::ToQString(szWhy));
        }
    }
    m_pJob->Setup(range, nWidth, nHeight, 0, 0, 1, m_pStep);
    m_eState = EState::Drawing;
}

bool CFunctionsGraph::DrawSlice()
{
    const CAnimationStep* pStep = m_pStep;
    // Runs that end with the step are drawn from the summary, none that goes on into the next.
    const uint64_t nEnd = CFuncVars::StepStart(m_Frame.Document().m_pFirstStep, pStep ? pStep->m_pNext : nullptr);
    QPainter painter(&m_Picture);
    CQtCanvas canvas(painter);
    m_pJob->Draw(canvas, nEnd, [&](const CFuncVars& vars, const CAnimationStep*) {
        return vars.m_pStep != pStep || m_pClock->SliceOver();
    });
    return m_pJob->Vars().m_pStep != pStep;
}

void CFunctionsGraph::Show(bool bFinished)
{
    m_pView->Image() = m_Picture;
    m_Box = m_JobBox;
    if (bFinished) {
        m_szShownKey = m_szJobKey;
        Drop();
    }
    m_pView->EndHolding();
    m_pView->PaintBox()->update();
}

void CFunctionsGraph::AdoptView()
{
    // The range shown becomes the document's, so that zoom and drag move what the user sees.
    if (m_bOwnView || m_Box.NothingToDraw())
        return;
    CProject& project = m_Frame.Document();
    for (unsigned i = 0; i < 4; ++i) {
        if (project.m_dOptions[OPT_XMIN + i] != m_Box.m_dView[i])
            project.SetOption(OPT_XMIN + i, m_Box.m_dView[i]);
    }
    m_bOwnView = true;
}
