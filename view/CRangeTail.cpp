#include "view/CRangeTail.h"

#include <cmath>
#include <exception>

#include "project/CProject.h"
#include "view/CFuncVars.h"
#include "view/CPicturePlan.h"
#include "view/CRangeWalk.h"
#include "view/CSampleSink.h"
#include "view/CViewRange.h"

std::unique_ptr<CRangeTail> CRangeTail::For(CProject& project, CSampleSink* pSink, const CPicturePlan& plan)
{
    const unsigned nFunction = CViewRange::SingleSweep(project);
    if (nFunction == MAX_FUNCTIONS || std::thread::hardware_concurrency() < 2)
        return nullptr;
    CAnimationStep* pStep = project.m_pFirstStep;
    CFuncVars vars;
    vars.m_pProject = &project;
    const uint64_t nSamples = uint64_t{pStep->m_nCount[0]} + 1;
    CFuncTerm& term = *project.m_pFunctions[nFunction];
    // Untransformed, of x and constants only.
    if (!vars.TransformsNothing() || nSamples < MIN_SAMPLES || nSamples > UINT32_MAX || term.GetDepFunc().any())
        return nullptr;
    const auto& bDeps = term.GetDepVar();
    vars.Reset(pStep);
    // The cache makes a value undefined where a slot it depends on is not finite; for the slots
    // that stay as they are, that is decided here once.
    for (unsigned i = 0; i < FUNC_NSLOTS; ++i) {
        if (bDeps[i] && i != SLOT_X && i != SLOT_A && !std::isfinite(vars.m_dValue[i]))
            return nullptr;
    }
    try {
        std::unique_ptr<CRangeTail> pTail(new CRangeTail(pStep, term.GetText(), nFunction, pSink));
        pTail->m_nFirst = plan.TailStart(nSamples);
        pTail->m_nCount = static_cast<uint32_t>(nSamples - pTail->m_nFirst);
        if (pTail->m_nFirst == 0)
            return nullptr;
        for (unsigned i = 0; i < FUNC_NSLOTS; ++i)
            pTail->m_dStart[i] = vars.m_dValue[i];
        pTail->m_Thread = std::thread(&CRangeTail::Walk, pTail.get());
        return pTail;
    } catch (const std::exception&) { // no thread (or memory) to be had: the walk does it all
        return nullptr;
    }
}

CRangeTail::CRangeTail(CAnimationStep* pStep, const std::string& szText, unsigned nFunction, CSampleSink* pSink)
    : m_pStep(pStep), m_szText(szText), m_nFunction(nFunction), m_pSink(pSink)
{
}

CRangeTail::~CRangeTail()
{
    if (m_Thread.joinable())
        m_Thread.join();
}

bool CRangeTail::Wait()
{
    if (m_Thread.joinable())
        m_Thread.join();
    return m_bDone;
}

void CRangeTail::Walk()
{
    std::unique_ptr<CFuncTerm> pTerm;
    try {
        pTerm = std::make_unique<CFuncTerm>(nullptr, m_szText.c_str());
    } catch (...) { // it compiled before; without memory the walk does it all
        return;
    }
    double dSlots[FUNC_NSLOTS];
    for (unsigned i = 0; i < FUNC_NSLOTS; ++i)
        dSlots[i] = m_dStart[i];
    // The walk's arithmetic, repeated addition, up to the tail's first x.
    const double dStep = m_pStep->m_dStep[0];
    for (uint32_t n = 0; n < m_nFirst; ++n)
        dSlots[SLOT_X] += dStep;
    dSlots[SLOT_A] = dSlots[SLOT_X];
    CFuncVars vars;
    vars.Reset(m_pStep);
    SPoints points;
    double dStack[FUNC_STACK];
    const uint64_t nEnd = uint64_t{m_nFirst} + m_nCount;
    for (uint64_t n = m_nFirst; n < nEnd; ++n) {
        const double x = dSlots[SLOT_X];
        // As the cache decides it: an x that is not finite is not run.
        const bool bDefined = std::isfinite(x) && pTerm->Run(dSlots, nullptr, dStack);
        if (m_pSink) {
            vars.m_nIndex[0] = vars.m_nSamples = static_cast<uint32_t>(n);
            vars.m_bFirstSample = false; // the walk has the first sample
            vars.m_dValue[SLOT_X] = vars.m_dValue[SLOT_A] = x;
            m_pSink->Visited(vars);
            m_pSink->Sample(vars, m_nFunction, bDefined ? dStack : nullptr);
        }
        if (bDefined) {
            CRangeWalk::Widen(x, dStack[0], points.m_dBox, !points.m_bAny);
            points.m_bAny = true;
        }
        dSlots[SLOT_X] += dStep;
        dSlots[SLOT_A] = dSlots[SLOT_X];
    }
    m_Points = points;
    m_bDone = true;
}
