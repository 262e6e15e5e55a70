#include "render/CPictureJob.h"

#include "project/CProject.h"
#include "render/CCanvas.h"
#include "render/CCurveSketch.h"
#include "render/CRenderer.h"
#include "view/CProgress.h"
#include "view/CRangeTail.h"
#include "view/CRangeWalk.h"
#include "view/CSampleLog.h"
#include "view/CViewRange.h"

CPictureJob::CPictureJob(CProject& project, bool bRaster, bool bDetermineRange, bool bSecondThread)
    : m_Project(project), m_bDetermineRange(bDetermineRange), m_bSecondThread(bSecondThread), m_Plan(project, bRaster),
      // Curves that follow the view are drawn on other samples than the walk's: no summary.
      m_pSketch(CSweepPlan::AnyFollows(project) ? nullptr : CCurveSketch::For(project, m_Plan)),
      m_Range(CViewBox::Of(project))
{
    // The walk runs where it determines a range or sums the curves up; then it logs what it
    // computes, for the drawing.
    const bool bRange = m_bDetermineRange && ((project.m_nFlags & ((1u << FLAG_XAUTO) | (1u << FLAG_YAUTO))) ||
                                              project.m_dOptions[OPT_TRMODE] > TRMODE_NONE);
    // (Curves that follow the view are drawn on samples of their own: nothing to log for them.)
    if ((bRange || m_pSketch) && !CSweepPlan::AnyFollows(project))
        m_pLog = CSampleLog::For(m_Plan, m_pSketch.get());
    m_bWalked = !m_bDetermineRange && !m_pSketch;
}

CSampleSink* CPictureJob::Sink() const
{
    if (m_pLog)
        return m_pLog.get();
    return m_pSketch.get();
}

CPictureJob::~CPictureJob() = default;

bool CPictureJob::Walk(uint64_t nSamples, CSliceClock* pClock)
{
    if (m_bWalked)
        return false;
    if (!m_pWalk) {
        m_pWalk = std::make_unique<CRangeWalk>(m_Project, Sink(), m_pSketch != nullptr);
        if (!m_pWalk->Done() && m_bSecondThread)
            m_pTail = CRangeTail::For(m_Project, Sink(), m_Plan);
    }
    bool bMore;
    if (m_pTail) {
        // Up to where the tail begins; then its points are taken over (or, where it failed, the
        // walk goes on itself).
        const uint64_t nLeft = m_pTail->First() - m_pWalk->Position();
        bMore = m_pWalk->Walk(nSamples < nLeft ? nSamples : nLeft, pClock);
        if (m_pWalk->AtTail(*m_pTail)) {
            m_pWalk->JoinTail(*m_pTail);
            m_pTail.reset();
            bMore = !m_pWalk->Done();
        }
    } else {
        bMore = m_pWalk->Walk(nSamples, pClock);
    }
    if (bMore)
        return true;
    if (m_bDetermineRange)
        m_Range = m_pWalk->Result();
    m_pWalk.reset();
    m_bWalked = true;
    m_bSketchComplete = m_pSketch && m_pSketch->Complete();
    return false;
}

void CPictureJob::WalkAll()
{
    if (m_bWalked)
        return;
    const CViewBox range = CViewRange::Range(m_Project, Sink(), &m_Plan);
    if (m_bDetermineRange)
        m_Range = range;
    m_bWalked = true;
    m_bSketchComplete = m_pSketch && m_pSketch->Complete();
}

bool CPictureJob::Walked() const
{
    return m_bWalked;
}

double CPictureJob::Progress() const
{
    return m_bWalked ? 1.0 : m_pWalk ? m_pWalk->Progress() : 0.0;
}

CViewBox CPictureJob::Range() const
{
    return m_Range;
}

void CPictureJob::DrawLayers(CProject& project, const CViewBox& box, CCanvas& canvas, uint32_t nWidth, uint32_t nHeight,
                             uint32_t nLeft, uint32_t nTop, bool bBackground)
{
    if (bBackground)
        CRenderer::DrawBackground(project, canvas, static_cast<int32_t>(nWidth), static_cast<int32_t>(nHeight));
    CFuncVars grid;
    grid.SetupView(&project, box, project.m_pFirstStep, nWidth, nHeight, nLeft, nTop);
    CRenderer::DrawGrid(grid, canvas, bBackground ? CRenderer::AxisColorOnBackground(project) : CRenderer::AXIS_COLOR);
}

void CPictureJob::SelectMember(const CAnimationStep& step, unsigned nVariable, uint32_t nIndex)
{
    m_Members.SelectMember(step, nVariable, nIndex);
    // One member is drawn on other samples than the walk sums up and logs.
    if (!m_pWalk && !m_bWalked) {
        m_pLog.reset();
        m_pSketch.reset();
    }
    m_bWalked = m_bWalked || (!m_bDetermineRange && !m_pSketch);
}

void CPictureJob::UseSweeps(const CSweepPlan& sweeps)
{
    m_Sweeps = sweeps;
    m_bFixedSweeps = true;
}

void CPictureJob::Setup(const CViewBox& box, uint32_t nWidth, uint32_t nHeight, uint32_t nLeft, uint32_t nTop,
                        int32_t nPenMultiplier, CAnimationStep* pFrom)
{
    m_nPenMultiplier = nPenMultiplier;
    if (!m_bFixedSweeps)
        m_Sweeps = m_Members;
    if (!m_bFixedSweeps && CSweepPlan::AnyFollows(m_Project)) {
        CFuncVars view;
        view.SetupView(&m_Project, box, nullptr, nWidth, nHeight, nLeft, nTop);
        double dX0, dX1, dY;
        view.UnmapPoint(static_cast<int32_t>(nLeft), 0, dX0, dY);
        view.UnmapPoint(static_cast<int32_t>(nLeft + nWidth), 0, dX1, dY);
        if (view.m_dScaleX != 0.0)
            m_Sweeps.FollowView(m_Project, dX0, dX1, nWidth);
    }
    m_Vars.m_pSweeps = &m_Sweeps;
    CAnimationStep* pStart = box.NothingToDraw() ? nullptr : pFrom ? pFrom : m_Project.m_pFirstStep;
    m_Vars.SetupView(&m_Project, box, pStart, nWidth, nHeight, nLeft, nTop);
    // The summary's runs are counted from the first step on, as the walk counted its samples.
    if (pStart)
        m_Vars.m_nSamples = static_cast<uint32_t>(CFuncVars::StepStart(m_Project.m_pFirstStep, pStart));
}

bool CPictureJob::Draw(CCanvas& canvas, uint64_t nRunLimit, const StopFunction& stop)
{
    // The summary and the log are laid out by the walk's samples: a picture on others (one member
    // of a family) evaluates its own.
    const CCurveSketch* pSketch = m_bSketchComplete && m_Sweeps.Empty() ? m_pSketch.get() : nullptr;
    const CSampleLog* pLog = m_bWalked && m_Sweeps.Empty() ? m_pLog.get() : nullptr;
    while (m_Vars.m_pStep) {
        const CAnimationStep* pStep = m_Vars.m_pStep;
        const uint32_t n = m_Vars.m_nSamples;
        bool bRun = false;
        if (pSketch && n == pSketch->RunStart(n >> m_Plan.RunShift())) {
            const uint32_t nRun = n >> m_Plan.RunShift();
            const uint32_t nLength = pSketch->RunLength(nRun);
            // The last run is drawn sample by sample, so the walk ends as it always does.
            if (nRun + 1 < pSketch->Runs() && uint64_t{n} + nLength <= nRunLimit &&
                pSketch->DrawRun(nRun, m_Vars, canvas, m_nPenMultiplier)) {
                pSketch->Seek(nRun + 1, m_Vars);
                CProgress::Tick(nLength);
                bRun = true;
            }
        }
        if (!bRun && !CRenderer::DrawSample(m_Vars, canvas, m_nPenMultiplier, pLog))
            return false;
        if (stop && stop(m_Vars, pStep))
            break;
    }
    return m_Vars.m_pStep != nullptr;
}
