#include "render/CMovieTimeline.h"

#include "project/CAnimationStep.h"
#include "render/CPictureJob.h"
#include "view/CFuncVars.h"

namespace {
// Moments computed by adding up speeds meet a frame's moment computed by a division.
constexpr double SLACK = 1e-6;
} // namespace

CMovieTimeline::CMovieTimeline(CPictureJob& job) : m_Job(job) {}

bool CMovieTimeline::Done() const
{
    return m_Job.Done();
}

void CMovieTimeline::DrawUntil(CCanvas& canvas, double dMilliseconds)
{
    const double dUntil = dMilliseconds + SLACK;
    while (!m_Job.Done() && m_dNext <= dUntil) {
        const CAnimationStep* pStep = m_Job.Vars().m_pStep;
        const double dWait = double(pStep->m_nWait) * 1000.0;
        // A step whose x follows the view has other samples than its own: it takes as long as its
        // own would, each sample its share of the speed (as on the page).
        const double dSpeed = double(pStep->m_nSpeed) * (double(pStep->m_nCount[0]) + 1.0) /
                              (double(m_Job.Vars().m_Sweep.m_nCount[0]) + 1.0);
        // Summarised runs only where a step appears at once: a paced one shows sample by sample.
        const uint64_t nRunLimit = pStep->m_nSpeed == 0 ? UINT64_MAX : 0;
        const bool bMore = m_Job.Draw(canvas, nRunLimit, [&](const CFuncVars& vars, const CAnimationStep* pFrom) {
            if (vars.m_pStep != pFrom) {
                m_dNext += dWait;
                return true; // the next step has a pace of its own
            }
            m_dNext += dSpeed;
            return m_dNext > dUntil;
        });
        if (!bMore)
            m_dNext += dWait; // the last sample of all: its step's wait ends the storyboard
    }
}
