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
    bool bPointPerSample = true;
    bool bRandom = false;
    for (unsigned i = 0; i < MAX_FUNCTIONS; ++i) {
        CFuncTerm* pTerm = project.m_pFunctions[i].get();
        if (!bVisible[i] || !pTerm)
            continue;
        pTerm->EnsureDependencies();
        // Random numbers (which read slot d) come out different whenever they are drawn: a
        // function that draws them is drawn from values computed where it is drawn.
        bPointPerSample = bPointPerSample && pTerm->GetValueCount() <= 2;
        bRandom = bRandom || pTerm->GetDepVar()[SLOT_D];
        m_nSlots[m_nCurves++] = i;
    }
    m_nSamples = static_cast<uint32_t>(nSamples);
    CFuncVars vars;
    vars.m_pProject = &project;
    const bool bTransform = !vars.TransformsNothing();
    if (!bRandom && m_nCurves > 0) {
        unsigned nStride = 0;
        for (unsigned c = 0; c < m_nCurves; ++c) {
            const unsigned nCount = project.m_pFunctions[m_nSlots[c]]->GetValueCount();
            m_nLogOffset[c] = nStride;
            m_nLogValues[c] = nCount < FUNC_STACK ? nCount : FUNC_STACK;
            m_nLogPoints[c] = bTransform ? (m_nLogValues[c] + 1) / 2 : 0;
            nStride += m_nLogValues[c] + 2 * m_nLogPoints[c];
        }
        m_nLogStride = nStride;
        m_bLogged = nSamples * nStride <= MAX_LOG_VALUES;
    }
    // A point per sample, and the same values whenever they are computed.
    if (!bRaster || m_nCurves == 0 || nSamples < MIN_SAMPLES || bTransform || bRandom || !bPointPerSample)
        return;
    const uint32_t nMaxRuns = MAX_RUNS < MAX_RECORDS / m_nCurves ? MAX_RUNS : MAX_RECORDS / m_nCurves;
    unsigned nShift = 1;
    while ((nSamples + (uint64_t{1} << nShift) - 1) >> nShift > nMaxRuns)
        ++nShift;
    m_nRunShift = nShift;
    m_nRuns = static_cast<uint32_t>((nSamples + (uint64_t{1} << nShift) - 1) >> nShift);
}

uint32_t CPicturePlan::TailStart(uint64_t nSamples) const
{
    // The walk's share: it also looks the values up in the cache, the thread only computes.
    const uint64_t nAlign = Summarised() ? uint64_t{1} << m_nRunShift : 1;
    const uint64_t nStart = nSamples * 2 / 5 / nAlign * nAlign;
    return nStart > UINT32_MAX ? 0 : static_cast<uint32_t>(nStart);
}
