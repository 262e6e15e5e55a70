#include "project/CProjectLimits.h"

#include "project/CProject.h"

uint64_t CProjectLimits::StepSamples(const uint32_t (&nCount)[FUNC_NVARS])
{
    uint64_t nProduct = 1;
    for (const uint32_t n : nCount) {
        nProduct *= uint64_t{n} + 1;
        if (nProduct > PROJECT_MAX_SAMPLES)
            return PROJECT_MAX_SAMPLES + 1;
    }
    return nProduct;
}

uint64_t CProjectLimits::TotalSamples(const CProject& project)
{
    return TotalSamplesWith(project, nullptr, 0, 0);
}

uint64_t CProjectLimits::TotalSamplesWith(const CProject& project, const CAnimationStep* pChanged, unsigned nVariable,
                                          uint32_t nCount)
{
    uint64_t nTotal = 0;
    bool bChanged = false;
    for (const CAnimationStep* pStep = project.m_pFirstStep; pStep; pStep = pStep->m_pNext) {
        bChanged = pStep == pChanged || (bChanged && pStep->m_bSameRange);
        uint32_t nCounts[FUNC_NVARS];
        for (unsigned i = 0; i < FUNC_NVARS; ++i)
            nCounts[i] = bChanged && i == nVariable ? nCount : pStep->m_nCount[i];
        nTotal += StepSamples(nCounts);
        if (nTotal > PROJECT_MAX_SAMPLES)
            return PROJECT_MAX_SAMPLES + 1;
    }
    return nTotal;
}
