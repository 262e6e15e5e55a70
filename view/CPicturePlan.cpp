#include "view/CPicturePlan.h"

#include "project/CProject.h"
#include "project/CProjectLimits.h"
#include "view/CFuncVars.h"

// The samples of all steps are counted in 32 bits (as the walk counts them): no picture a project
// may hold is refused a summary, or a second thread, for its size.
static_assert(PROJECT_MAX_SAMPLES <= UINT32_MAX, "the sample limit is beyond the walk's count");

CPicturePlan::CPicturePlan(CProject& project, bool bRaster)
{
    bool bVisible[MAX_FUNCTIONS] = {};
    uint64_t nSamples = 0;
    for (const CAnimationStep* pStep = project.m_pFirstStep; pStep; pStep = pStep->m_pNext) {
        uint64_t nStep = 1;
        for (unsigned i = 0; i < FUNC_NVARS && nStep <= UINT32_MAX; ++i)
            nStep *= uint64_t{pStep->m_nCount[i]} + 1;
        nSamples += nStep;
        if (nSamples > UINT32_MAX)
            return; // the walk's count of samples would wrap
        for (unsigned i = pStep->NextVisible(0); i < MAX_FUNCTIONS; i = pStep->NextVisible(i + 1))
            bVisible[i] = true;
    }
    for (unsigned i = 0; i < MAX_FUNCTIONS; ++i) {
        CFuncTerm* pTerm = project.m_pFunctions[i].get();
        if (!bVisible[i] || !pTerm)
            continue;
        if (!pTerm->AreDepsValid())
            pTerm->UpdateDependencies();
        // A point per sample, and the same values whenever they are computed: random numbers
        // (which read slot d) would come out different where a run is drawn from its samples.
        if (pTerm->GetValueCount() > 2 || pTerm->GetDepVar()[SLOT_D])
            return;
        m_nSlots[m_nCurves++] = i;
    }
    CFuncVars vars;
    vars.m_pProject = &project;
    if (!bRaster || m_nCurves == 0 || nSamples < MIN_SAMPLES || !vars.TransformsNothing())
        return;
    const uint32_t nMaxRuns = MAX_RUNS < MAX_RECORDS / m_nCurves ? MAX_RUNS : MAX_RECORDS / m_nCurves;
    unsigned nShift = 1;
    while ((nSamples + (uint64_t{1} << nShift) - 1) >> nShift > nMaxRuns)
        ++nShift;
    m_nRunShift = nShift;
    m_nSamples = static_cast<uint32_t>(nSamples);
    m_nRuns = static_cast<uint32_t>((nSamples + (uint64_t{1} << nShift) - 1) >> nShift);
}

uint32_t CPicturePlan::TailStart(uint64_t nSamples) const
{
    // The walk's share: it also looks the values up in the cache, the thread only computes.
    const uint64_t nAlign = Summarised() ? uint64_t{1} << m_nRunShift : 1;
    const uint64_t nStart = nSamples * 2 / 5 / nAlign * nAlign;
    return nStart > UINT32_MAX ? 0 : static_cast<uint32_t>(nStart);
}
