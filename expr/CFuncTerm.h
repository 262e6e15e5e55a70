#pragma once
// A compiled function or transformation term: its code list, dependency flags and value cache.
// The flat program it runs is built by CProgramBuilder, the cache is a CValueCache, the Debug
// page's texts come from CFuncListing.
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "expr/CFuncCode.h"
#include "expr/CFuncDerivative.h"
#include "expr/CFuncNode.h"
#include "expr/CFuncResolver.h"
#include "expr/CValueCache.h"
#include "expr/FuncLimits.h"
#include "expr/SInstr.h"

class CFuncTerm {
public:
    static constexpr unsigned CACHE_BUCKETS = CValueCache::CACHE_BUCKETS;
    static constexpr unsigned CACHE_LIMIT = CValueCache::CACHE_LIMIT;
    using SCacheEntry = CValueCache::SCacheEntry;

    // Compiles the text or throws EFuncError; nothing of a failed compilation survives.
    CFuncTerm(CFuncResolver* pProject, const char* pszText);
    ~CFuncTerm();
    CFuncTerm(const CFuncTerm&) = delete;
    CFuncTerm& operator=(const CFuncTerm&) = delete;

    // The term's m_nValues values at the context's slots, or null where it is undefined. The
    // values live in the cache: any later evaluation may empty it, so copy what you keep.
    // The same with a context that carries the value slots m_dValue and the document m_pProject
    // through which references are resolved (the evaluation context of the view layer).
    template <class TContext> const double* Evaluate(const TContext& vars)
    {
        return Evaluate(vars.m_dValue, vars.m_pProject);
    }
    const double* Evaluate(const double* pSlots, CFuncResolver* pProject);
    // Copies n values of a result. Most results are one or two values, for which a block copy
    // costs more than the values themselves.
    static void CopyValues(double* pTo, const double* pFrom, unsigned n)
    {
        if (n <= 2) {
            if (n > 0)
                pTo[0] = pFrom[0];
            if (n > 1)
                pTo[1] = pFrom[1];
        } else {
            std::memcpy(pTo, pFrom, n * sizeof(double));
        }
    }

    // Derivatives. The derivative of order nOrder (1 or 2) of each of the term's m_nValues values
    // at the context's slots, or null where one of them does not exist: where the term is
    // undefined or not differentiable, and where a conditional or int jumps right there. It is
    // taken along x and a together (ALONG_XA: the term's first variable where it is drawn by
    // itself, which is what f1' means) or along a alone (ALONG_A: its first argument, what
    // f1'(...) means). Computed by automatic differentiation to the precision of the arithmetic
    // (CFuncDerivative). Cached apart from the values, like them until the term is invalidated;
    // the same rule holds: copy what you keep. For a function slot at the walk's sample:
    //     const double* p = pTerm->EvaluateDerivative(1, vars); // vars.m_dValue as the walk sets them
    enum EAlong : uint8_t { ALONG_XA, ALONG_A };
    template <class TContext> const double* EvaluateDerivative(unsigned nOrder, const TContext& vars)
    {
        return EvaluateDerivative(nOrder, vars.m_dValue, vars.m_pProject);
    }
    const double* EvaluateDerivative(unsigned nOrder, const double* pSlots, CFuncResolver* pProject,
                                     EAlong eAlong = ALONG_XA);
    // One run of the derivative program on series slots, counted like a run of the term (nesting
    // depth, work); see CFuncDerivative::Run.
    bool RunDerivative(const CFuncDerivative::SJet* pSlots, unsigned nOrder, CFuncResolver* pProject,
                       CFuncDerivative::SJet* pOut, unsigned nOut);
    // A formula that is a derivative alone (f1', f1''(2*x)) has as many values as the function it
    // derives: after that function changed, the count follows it. True where it changed.
    bool AdoptValueCount();
    // The same for every function of the resolver, after its slots changed: a derivative alone
    // may be compiled before what it derives, or derive such a formula in turn (a round per link
    // of the chain at most).
    static void AdoptValueCounts(const CFuncResolver& resolver);
    // Walks the functions the term refers to, directly or through others, each once (seen keeps
    // those met, over several walks too): visit(from, n) for every reference that a term met
    // makes to a filled slot n. A false from visit ends the walk, with false. No allocation: it
    // serves destructors too.
    template <class TVisit>
    static bool WalkReferences(const CFuncResolver& resolver, CFuncTerm& term, std::bitset<MAX_FUNCTIONS + 1>& seen,
                               TVisit visit)
    {
        CFuncTerm* pending[MAX_FUNCTIONS + 1] = {&term};
        unsigned nPending = 1;
        while (nPending) {
            CFuncTerm& from = *pending[--nPending];
            for (const unsigned n : from.m_DirectRefs) {
                CFuncTerm* pTo = resolver.FindFunction(n);
                if (!pTo)
                    continue;
                if (!visit(from, n))
                    return false;
                if (!seen[n]) {
                    seen.set(n);
                    pending[nPending++] = pTo;
                }
            }
        }
        return true;
    }

    // One run of the code without the cache (references still go through theirs). Leaves the
    // values in pStack[0 ... m_nValues-1] and returns pStack; null where the value is undefined.
    const double* Run(const double* pSlots, CFuncResolver* pProject, double* pStack) const;

    void UpdateDependencies();
    // The flags valid, computed only where a change made them stale.
    void EnsureDependencies()
    {
        if (!m_bDepsValid)
            UpdateDependencies();
    }
    void Invalidate();

    std::string GetStatistics() const;
    void GetStatistics(char* pszBuffer, size_t nSize) const;
    std::string GetListing(size_t nRoom = 8192) const;
    void GetListing(char* pszBuffer, size_t nSize) const;

    // The code list. A term keeps only its text and flat program (the list of a long formula is
    // many times the text): the list is compiled again when first asked for, and then kept.
    const CFuncNode* GetCode() const;
    // The operands of the term's references (PackReference), each once, first use first, and the
    // functions they refer to likewise.
    const std::vector<uint32_t>& GetReferences() const { return m_References; }
    const std::vector<unsigned>& GetDirectRefs() const { return m_DirectRefs; }
    // The memory the term holds for its text, program and code list, not for its value cache.
    size_t Bytes() const;
    uint32_t GetValueCount() const { return m_nValues; } // top-level expressions
    const std::string& GetText() const { return m_pszText; }
    CFuncResolver* GetProject() const { return m_pProject; }
    // The dependency flags as last computed; valid only while AreDepsValid().
    const std::bitset<FUNC_NSLOTS>& GetDepVar() const { return m_bDepVar; }
    const std::bitset<MAX_FUNCTIONS + 1>& GetDepFunc() const { return m_bDepFunc; } // flag k for fk
    bool AreDepsValid() const { return m_bDepsValid; }
    const CValueCache& GetCache() const { return m_Cache; }

    // The most work (instructions charged, as FUNC_MAX_WORK counts them) that one value or one
    // derivative of the term can cost with everything it refers to, however full or empty the
    // caches are; UINT64_MAX where a path of references returns to a function. A term whose bound
    // is within the work limit has the same values wherever it is evaluated, on any thread and
    // with any cache: neither the work limit nor the nesting limit can cut a value off.
    uint64_t WorkBound() const;

    // Term evaluations in progress, over all terms, on the calling thread.
    static unsigned GetDepth() { return s_nDepth; }
    // The work limit bounds one value, not a table or picture of many: the processor time spent,
    // over the process, on outermost values that ended undefined by it (each counted from the point where
    // it had done a sixteenth of its work), and the term of the last of them.
    static uint64_t GetLostNanoseconds() { return s_nLostNanoseconds; }
    static const CFuncTerm* GetLostTerm() { return s_pLostTerm; }
    // For tests of the nesting limit only.
    static void SetDepth(unsigned nDepth)
    {
        s_nDepth = nDepth;
        s_nWork = 0;
        s_nWorkClock = 0;
    }

private:
    KX_INLINE const double* EvaluateInline(const double* pSlots, CFuncResolver* pProject);
    KX_INLINE CValueCache::EProbe Probe(double dKey, const double*& pValues, uint64_t& nKey);
    uint64_t WorkBound(uint64_t (&nKnown)[MAX_FUNCTIONS + 1]) const;
    const double* EvaluateSlow(const double* pSlots, CFuncResolver* pProject);
    const double* EvaluateMiss(const double* pSlots, CFuncResolver* pProject, bool bIndexed, uint64_t nKey);
    const double* EvaluateNew(const double* pSlots, CFuncResolver* pProject);
    KX_INLINE const double* NewSelfContained(const double* pSlots, CFuncResolver* pProject, bool bTop = false);
    const double* EvaluateNewFull(const double* pSlots, CFuncResolver* pProject);
    const double* EvaluateFlatFull(const double* pSlots, CFuncResolver* pProject);
    KX_INLINE const double* RunInto(double* pResult, const double* pSlots, CFuncResolver* pProject);
    KX_INLINE const double* RunFlat(double* pResult, const double* pSlots, CFuncResolver* pProject);
    KX_INLINE bool ChargeNew();
    double* RecordFull(const double* pSlots);
    // A derivative reference of a run (X_DREF): the values of the derivative of the function
    // that instr names, at the slots s with the arguments pArgs, its first nValues into pOut.
    static bool RunDerivativeRef(const SInstr& instr, const double* s, const double* pArgs, CFuncResolver* pProject,
                                 unsigned nValues, double* pOut);
    CValueCache& DerivativeCache(unsigned nOrder, EAlong eAlong);
    const double* EvaluateFlat(const double* pSlots, CFuncResolver* pProject);
    KX_INLINE double* OpenNew(const double* pSlots);
    KX_INLINE double* RecordNew(const double* pSlots);
    // The interpreter: pStack with the nValues values, or null where the value is undefined, and
    // then pStack[0] is NaN (which no result is: a record's mark of undefined). bFlat: the run of
    // a term whose every reference is to a self-contained term and cannot exhaust the nesting or
    // the work (EvaluateFlat): its references are not charged one by one.
    static const double* RunPlain(const SInstr* pCode, unsigned nValues, const double* s, CFuncResolver* pProject,
                                  double* pStack, bool bFlat);
    static const double* RunFma(const SInstr* pCode, unsigned nValues, const double* s, CFuncResolver* pProject,
                                double* pStack, bool bFlat);
    static const double* RunProgram(const SInstr* pCode, unsigned nValues, const double* s, CFuncResolver* pProject,
                                    double* pStack, bool bFlat = false);

    // Written at every evaluation, and of the evaluations in progress on one thread: each thread
    // evaluating terms of its own (a walk's second thread) nests and counts apart.
    static thread_local unsigned s_nDepth;
    static thread_local uint64_t s_nWork;     // instructions charged to the outermost evaluation in progress
    static thread_local int64_t s_nWorkClock; // when s_nWork passed FUNC_MAX_WORK / 16 (ns), 0 before
    // Of the process. Written only where a value runs out of work, which a second thread never
    // meets: it takes only terms whose every value stays within the work limit (see WorkBound).
    static uint64_t s_nLostNanoseconds;
    static const CFuncTerm* s_pLostTerm;

    mutable std::unique_ptr<CFuncCode> m_pCode; // compiled again on demand
    uint32_t m_nValues = 0;
    std::bitset<FUNC_NSLOTS> m_bDepVar;
    std::bitset<MAX_FUNCTIONS + 1> m_bDepFunc; // flag 0 unused
    bool m_bDepsValid = false;
    std::string m_pszText;
    CFuncResolver* m_pProject;             // the document, not owned
    std::bitset<FUNC_NSLOTS> m_bDirectVar; // slots the code itself reads
    std::vector<uint32_t> m_References;    // operands of the code's references
    std::vector<unsigned> m_DirectRefs;    // functions the code itself refers to
    std::vector<SInstr> m_Program;         // the flat form of the code that runs
    uint64_t m_nProgramSize = 0;           // its length, the work of a run
    uint64_t m_nCodeNodes = 0;             // the length of the code list, the work of a derivative's run
    bool m_bSelfContained = false;         // it refers to no term and leaves values: no run reaches the cache
    bool m_bFlat = false; // with the flags: it refers only to self-contained terms, within the work limit
    CValueCache m_Cache;
    // Made when first asked for: the program that derivatives run and their caches, by order and
    // direction. A formula that is a derivative alone: the function it derives.
    std::unique_ptr<CFuncDerivative> m_pDerivative;
    std::unique_ptr<CValueCache> m_pDerivativeCache[2][2];
    unsigned m_nWholeOf = 0;
};
