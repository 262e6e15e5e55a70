#include "view/CStepSweep.h"

#include "project/CAnimationStep.h"

CStepSweep CStepSweep::Of(const CAnimationStep& step)
{
    CStepSweep sweep;
    for (unsigned i = 0; i < FUNC_NVARS; ++i) {
        sweep.m_dMin[i] = step.m_dMin[i];
        sweep.m_dStep[i] = step.m_dStep[i];
        sweep.m_nCount[i] = step.m_nCount[i];
    }
    return sweep;
}

uint64_t CStepSweep::Samples() const
{
    uint64_t nSamples = 1;
    for (const uint32_t nCount : m_nCount) {
        if (nSamples > UINT64_MAX / (uint64_t{nCount} + 1))
            return UINT64_MAX;
        nSamples *= uint64_t{nCount} + 1;
    }
    return nSamples;
}
