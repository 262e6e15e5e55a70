#include "view/CRangeTail.h"

#include <bitset>
#include <cmath>
#include <exception>

#include "expr/CCpuState.h"
#include "project/CProject.h"
#include "view/CFuncVars.h"
#include "view/CPicturePlan.h"
#include "view/CRangeWalk.h"
#include "view/CSampleSink.h"

std::unique_ptr<CRangeTail> CRangeTail::For(CProject& project, CSampleSink* pSink, const CPicturePlan& plan)
{
    if (!project.m_pFirstStep || std::thread::hardware_concurrency() < 2)
        return nullptr;
    CFuncVars vars;
    vars.m_pProject = &project;
    const uint64_t nSamples = plan.Samples();
    const bool bRule = vars.TransformsByTerm();
    if ((!vars.TransformsNothing() && !vars.TransformsByRule() && !bRule) || nSamples < MIN_SAMPLES ||
        plan.Curves() == 0)
        return nullptr;
    // Whether the values of a term come out the same on any thread: it draws no random numbers,
    // no value is cut off by the limits, and its flags and cache are as fresh as a copy's (flags
    // that miss a function the term refers to would let it serve values from before, which a
    // copy would compute anew). The functions it refers to, and those in turn, are needed on the
    // tail's thread too.
    std::bitset<MAX_FUNCTIONS + 1> needed;
    const auto Fresh = [](CFuncTerm& term) {
        term.EnsureDependencies();
        return !term.GetDepVar()[SLOT_D];
    };
    const auto Eligible = [&](CFuncTerm* pTerm) {
        return Fresh(*pTerm) &&
               CFuncTerm::WalkReferences(project, *pTerm, needed,
                                         [&](CFuncTerm& from, unsigned n) {
                                             return from.GetDepFunc()[n] && Fresh(*project.GetFunction(n));
                                         }) &&
               pTerm->WorkBound() <= FUNC_MAX_WORK;
    };
    try {
        // Where the tail begins: the step, and the indices and values of x, u and v there.
        const uint32_t nFirst = plan.TailStart(nSamples);
        if (nFirst == 0)
            return nullptr;
        CAnimationStep* pStep = project.m_pFirstStep;
        uint64_t nBefore = 0;
        for (;; pStep = pStep->m_pNext) {
            if (!pStep)
                return nullptr;
            uint64_t nStep = 1;
            for (unsigned i = 0; i < FUNC_NVARS; ++i)
                nStep *= uint64_t{pStep->m_nCount[i]} + 1;
            if (nFirst < nBefore + nStep)
                break;
            nBefore += nStep;
        }
        std::unique_ptr<CRangeTail> pTail(new CRangeTail(pStep, pSink));
        for (unsigned c = 0; c < plan.Curves(); ++c) {
            const unsigned i = plan.Slot(c);
            CFuncTerm* pTerm = project.m_pFunctions[i].get();
            if (!Eligible(pTerm))
                return nullptr;
            needed.set(i + 1);
            pTail->m_nSlots[pTail->m_nFunctions] = i;
            pTail->m_nValues[pTail->m_nFunctions++] = pTerm->GetValueCount();
        }
        if (bRule) {
            CFuncTerm* pRule = project.m_pTransform.get();
            if (!pRule || !Eligible(pRule))
                return nullptr;
            pTail->m_Copies.AddTransform(pRule->GetText());
            pTail->m_bRule = true;
            pTail->m_nRuleValues = pRule->GetValueCount();
        }
        for (unsigned i = 0; i < MAX_FUNCTIONS; ++i) {
            if (needed[i + 1] && project.m_pFunctions[i])
                pTail->m_Copies.AddFunction(i + 1, project.m_pFunctions[i]->GetText());
        }
        pTail->m_pProject = &project;
        pTail->m_nFirst = nFirst;
        pTail->m_nInStep = nFirst - nBefore;
        pTail->m_nCount = static_cast<uint32_t>(nSamples - nFirst);
        pTail->m_Thread = std::thread(&CRangeTail::Walk, pTail.get());
        return pTail;
    } catch (const std::exception&) { // no thread (or memory) to be had: the walk does it all
        return nullptr;
    }
}

CRangeTail::CRangeTail(CAnimationStep* pStep, CSampleSink* pSink) : m_pStep(pStep), m_pSink(pSink) {}

CRangeTail::~CRangeTail()
{
    m_bStop = true;
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
    CCpuState::Clean();
    const CFuncTerm* pTerms[MAX_FUNCTIONS];
    try {
        m_Copies.Compile();
    } catch (...) { // they compiled before; without memory the walk does it all
        return;
    }
    for (unsigned f = 0; f < m_nFunctions; ++f) {
        pTerms[f] = m_Copies.GetFunction(m_nSlots[f] + 1);
        if (!pTerms[f] || pTerms[f]->GetValueCount() != m_nValues[f])
            return;
    }
    CFuncTerm* const pRule = m_Copies.Transform();
    if (m_bRule && (!pRule || pRule->GetValueCount() != m_nRuleValues))
        return;
    // The walk's arithmetic, repeated addition, up to the tail's first sample.
    uint32_t nIndex[FUNC_NVARS];
    double dValue[FUNC_NVARS];
    uint64_t nRest = m_nInStep;
    for (unsigned i = 0; i < FUNC_NVARS; ++i) {
        const uint64_t nValues = uint64_t{m_pStep->m_nCount[i]} + 1;
        nIndex[i] = static_cast<uint32_t>(nRest % nValues);
        nRest /= nValues;
        dValue[i] = m_pStep->m_dMin[i];
        for (uint32_t n = 0; n < nIndex[i]; ++n)
            dValue[i] += m_pStep->m_dStep[i];
    }
    CFuncVars vars;
    vars.Seek(m_pStep, nIndex, dValue, m_nFirst);
    vars.m_pProject = m_pProject;
    const bool bTransform = !vars.TransformsNothing();
    SPoints points;
    double dStack[FUNC_STACK];
    // The functions the current step shows, as the walk visits them: in the order of their slots.
    const CAnimationStep* pListed = nullptr;
    unsigned nVisible = 0;
    unsigned nVisibleOf[MAX_FUNCTIONS];
    for (uint32_t n = 0; n < m_nCount; ++n) {
        if ((n & 4095) == 0 && m_bStop)
            return;
        if (vars.m_pStep != pListed) {
            pListed = vars.m_pStep;
            nVisible = 0;
            for (unsigned f = 0; f < m_nFunctions; ++f) {
                if (pListed->m_bVisible[m_nSlots[f]])
                    nVisibleOf[nVisible++] = f;
            }
        }
        if (m_pSink)
            m_pSink->Visited(vars);
        // As the cache decides it: slots that are not finite give no value.
        const bool bFinite =
            std::isfinite(vars.m_dValue[0]) && std::isfinite(vars.m_dValue[1]) && std::isfinite(vars.m_dValue[2]);
        for (unsigned v = 0; v < nVisible; ++v) {
            const unsigned f = nVisibleOf[v];
            const CFuncTerm& term = *pTerms[f];
            bool bDefined = true;
            for (unsigned i = 0; i < FUNC_NVARS && !bFinite; ++i) {
                if ((term.GetDepVar()[i] || term.GetDepVar()[SLOT_A + i]) && !std::isfinite(vars.m_dValue[i]))
                    bDefined = false;
            }
            // The function itself uncached (its keys are new at nearly every sample); what it
            // refers to through the copies' own caches.
            bDefined = bDefined && term.Run(vars.m_dValue, &m_Copies, dStack);
            if (m_pSink)
                m_pSink->Sample(vars, m_nSlots[f], bDefined ? dStack : nullptr);
            if (!bDefined)
                continue;
            const unsigned nValues = term.GetValueCount();
            for (unsigned k = 0; k < nValues; k += 2) {
                double x = k + 1 < nValues ? dStack[k] : vars.m_dValue[0];
                double y = k + 1 < nValues ? dStack[k + 1] : dStack[k];
                CRangeWalk::Widen(x, y, points.m_dBox, !points.m_bAny);
                bool bViewed = true;
                if (bTransform) {
                    bViewed = m_bRule ? vars.TransformPoint(x, y, pRule, &m_Copies) : vars.TransformPoint(x, y);
                    if (m_pSink)
                        m_pSink->Transformed(vars, m_nSlots[f], k / 2, x, y, bViewed);
                }
                if (bViewed) {
                    CRangeWalk::Widen(x, y, points.m_dView, !points.m_bAnyView);
                    points.m_bAnyView = true;
                }
                points.m_bFirstView = points.m_bAny ? points.m_bFirstView : bViewed;
                points.m_bAny = true;
            }
        }
        vars.Step();
    }
    m_Points = points;
    m_bDone = true;
}
