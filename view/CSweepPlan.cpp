#include "view/CSweepPlan.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "project/CProject.h"
#include "project/CProjectLimits.h"

namespace {
// The walk counts the samples of all steps in 32 bits; followed steps keep the sum well below.
constexpr uint64_t MAX_PLAN_SAMPLES = 2 * PROJECT_MAX_SAMPLES;
static_assert(MAX_PLAN_SAMPLES < UINT32_MAX, "the walk's count of samples would wrap");
} // namespace

bool CSweepPlan::Follows(const CProject& project, const CAnimationStep& step)
{
    const double dMode = project.m_dOptions[OPT_TRMODE];
    if (!(project.m_nFlags & (1u << FLAG_FOLLOWVIEW)) || !(dMode > -1.0 && dMode < 1.0) || step.m_nCount[0] == 0)
        return false;
    // A parametric curve runs along its parameter, not along the x axis: its range stays its own.
    bool bAny = false;
    for (unsigned i = step.NextVisible(0); i < MAX_FUNCTIONS; i = step.NextVisible(i + 1)) {
        if (const CFuncTerm* pTerm = project.m_pFunctions[i].get()) {
            if (pTerm->GetValueCount() != 1)
                return false;
            bAny = true;
        }
    }
    return bAny;
}

bool CSweepPlan::AnyFollows(const CProject& project)
{
    for (const CAnimationStep* pStep = project.m_pFirstStep; pStep; pStep = pStep->m_pNext) {
        if (Follows(project, *pStep))
            return true;
    }
    return false;
}

bool CSweepPlan::FollowX(CStepSweep& sweep, double dX0, double dX1, uint32_t nPixels)
{
    const double dStart = sweep.m_dMin[0];
    const double dOwn = std::fabs(sweep.m_dStep[0]);
    if (dX0 > dX1)
        std::swap(dX0, dX1);
    const double dSpan = dX1 - dX0;
    if (sweep.m_nCount[0] == 0 || nPixels == 0 || !(dOwn > 0.0) || !std::isfinite(dOwn) || !std::isfinite(dStart) ||
        !(dSpan > 0.0) || !std::isfinite(dSpan))
        return false;
    // The step's own increment, divided by the whole number that gives the pixels their samples,
    // so that the step's own samples stay among the drawn ones (up to the additions' rounding) and
    // the samples keep their places while the view is dragged.
    double dIncrement = dOwn;
    const double dNeed = SAMPLES_PER_PIXEL * nPixels / dSpan * dOwn;
    if (dNeed > 1.0)
        dIncrement = dOwn / std::ceil(dNeed);
    // (The whole factor gives the pixels up to twice their samples, which the bound leaves them.)
    const double dMax =
        std::max(double(MAX_FACTOR) * (double(sweep.m_nCount[0]) + 1.0), 2.0 * SAMPLES_PER_PIXEL * nPixels + 2.0);
    const double dSamples = dSpan / dIncrement + 2.0;
    if (dSamples > dMax)
        dIncrement *= std::ceil(dSamples / dMax);
    const double dFrom = std::floor((dX0 - dStart) / dIncrement);
    const double dTo = std::ceil((dX1 - dStart) / dIncrement);
    const double dCount = dTo - dFrom;
    if (!(dCount >= 1.0) || dCount > double(UINT32_MAX))
        return false;
    // In the step's direction: a step that runs from right to left is drawn so.
    const bool bDown = sweep.m_dStep[0] < 0.0;
    const double dFirst = dStart + (bDown ? dTo : dFrom) * dIncrement;
    const double dStep = bDown ? -dIncrement : dIncrement;
    if (!std::isfinite(dFirst) || dFirst + dStep == dFirst)
        return false;
    sweep.m_dMin[0] = dFirst;
    sweep.m_dStep[0] = dStep;
    sweep.m_nCount[0] = static_cast<uint32_t>(dCount);
    return true;
}

double CSweepPlan::MemberValue(double dStart, double dStep, uint32_t nIndex)
{
    // As the walk adds; a member far out (a sweep of millions) by one multiplication instead.
    if (nIndex > (1u << 20))
        return dStart + dStep * nIndex;
    double dValue = dStart;
    for (uint32_t k = 0; k < nIndex; ++k)
        dValue += dStep;
    return dValue;
}

CStepSweep& CSweepPlan::Sweep(const CAnimationStep& step)
{
    const auto it = m_Sweeps.find(&step);
    if (it != m_Sweeps.end())
        return it->second;
    return m_Sweeps.emplace(&step, CStepSweep::Of(step)).first->second;
}

void CSweepPlan::SelectMember(const CAnimationStep& step, unsigned nVariable, uint32_t nIndex)
{
    if (nVariable < 1 || nVariable >= FUNC_NVARS || nIndex > step.m_nCount[nVariable])
        return;
    CStepSweep& sweep = Sweep(step);
    sweep.m_dMin[nVariable] = MemberValue(step.m_dMin[nVariable], step.m_dStep[nVariable], nIndex);
    sweep.m_nCount[nVariable] = 0;
}

void CSweepPlan::FollowView(const CProject& project, double dX0, double dX1, uint32_t nPixels)
{
    uint64_t nTotal = 0;
    const auto Add = [&nTotal](uint64_t nSamples) {
        nTotal = nSamples > UINT64_MAX - nTotal ? UINT64_MAX : nTotal + nSamples;
    };
    for (const CAnimationStep* pStep = project.m_pFirstStep; pStep; pStep = pStep->m_pNext) {
        const CStepSweep* pSweep = For(pStep);
        CStepSweep sweep = pSweep ? *pSweep : CStepSweep::Of(*pStep);
        const uint64_t nOwn = sweep.Samples();
        if (Follows(project, *pStep) && FollowX(sweep, dX0, dX1, nPixels) && nTotal <= MAX_PLAN_SAMPLES &&
            sweep.Samples() <= MAX_PLAN_SAMPLES - nTotal) {
            m_Sweeps[pStep] = sweep;
            Add(sweep.Samples());
        } else {
            Add(nOwn);
        }
    }
}

const CStepSweep* CSweepPlan::For(const CAnimationStep* pStep) const
{
    const auto it = m_Sweeps.find(pStep);
    return it == m_Sweeps.end() ? nullptr : &it->second;
}
