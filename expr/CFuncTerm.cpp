#include "expr/CFuncTerm.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>
#include <limits>

#include "expr/CFuncCompiler.h"
#include "expr/CFuncExec.h"
#include "expr/CFuncListing.h"
#include "expr/CFuncOps.h"
#include "expr/CFuncRandom.h"
#include "expr/COpcode.h"
#include "expr/CProgramBuilder.h"

thread_local unsigned CFuncTerm::s_nDepth = 0;
thread_local uint64_t CFuncTerm::s_nWork = 0;
thread_local int64_t CFuncTerm::s_nWorkClock = 0;
uint64_t CFuncTerm::s_nLostNanoseconds = 0;
const CFuncTerm* CFuncTerm::s_pLostTerm = nullptr;

namespace {
// Processor time, so that a busy machine does not make values look costly.
int64_t Nanoseconds()
{
    return static_cast<int64_t>(static_cast<double>(std::clock()) * (1e9 / CLOCKS_PER_SEC));
}
} // namespace

CFuncTerm::CFuncTerm(CFuncResolver* pProject, const char* pszText)
    : m_pszText(pszText ? pszText : ""), m_pProject(pProject)
{
    // The code list is needed only to build the program: it goes with this block.
    CFuncCode code;
    if (!m_pszText.empty()) {
        CFuncCompiler compiler(code, m_pszText.c_str());
        compiler.Compile();
        m_nValues = compiler.m_nValues;
        m_bDirectVar = compiler.m_bDirectVar;
        m_References = std::move(compiler.m_References);
        for (const uint32_t nReference : m_References) {
            const unsigned nFunction = ReferencedFunction(nReference);
            if (std::find(m_DirectRefs.begin(), m_DirectRefs.end(), nFunction) == m_DirectRefs.end())
                m_DirectRefs.push_back(nFunction);
        }
    }
    m_nProgramSize = CProgramBuilder::Build(code.m_pFirst, m_nValues, m_Program, code.NodeCount());
    m_nCodeNodes = code.NodeCount();
    m_bSelfContained = m_DirectRefs.empty() && m_nValues != 0;
    if (m_nValues == 1) {
        const CFuncNode* pLast = code.m_pLast;
        if (pLast && pLast->m_nOp == OP_DERIV)
            m_nWholeOf = ReferencedFunction(DerivativeReference(pLast->m_nArg));
    }
    AdoptValueCount();
}

CFuncTerm::~CFuncTerm() = default;

const CFuncNode* CFuncTerm::GetCode() const
{
    if (!m_pCode && !m_pszText.empty()) {
        auto pCode = std::make_unique<CFuncCode>();
        CFuncCompiler(*pCode, m_pszText.c_str()).Compile();
        m_pCode = std::move(pCode);
    }
    return m_pCode ? m_pCode->m_pFirst : nullptr;
}

size_t CFuncTerm::Bytes() const
{
    return sizeof *this + m_pszText.capacity() + m_Program.capacity() * sizeof(SInstr) +
           (m_References.capacity() + m_DirectRefs.capacity()) * sizeof(uint32_t) +
           (m_pCode ? m_pCode->NodeCount() * sizeof(CFuncNode) : 0);
}

// ---------------------------------------------------------------------------------------------
// Evaluator

// The common cases in few instructions (see CValueCache::Probe); UNKNOWN while the flags are
// invalid.
KX_INLINE CValueCache::EProbe CFuncTerm::Probe(double dKey, const double*& pValues, uint64_t& nKey)
{
    return m_bDepsValid ? m_Cache.Probe(dKey, pValues, nKey) : CValueCache::UNKNOWN;
}

KX_INLINE const double* CFuncTerm::EvaluateInline(const double* pSlots, CFuncResolver* pProject)
{
    const double* pValues;
    uint64_t nKey;
    switch (Probe(pSlots[m_Cache.FirstKeySlot()], pValues, nKey)) {
    case CValueCache::HIT: return pValues;
    case CValueCache::TOP:
        return m_bSelfContained ? NewSelfContained(pSlots, pProject, true) : EvaluateFlat(pSlots, pProject);
    // (Apart, so that the look-up does not keep the bound that only this case updates.)
    case CValueCache::NEW: return EvaluateNew(pSlots, pProject);
    default: return EvaluateSlow(pSlots, pProject);
    }
}

// The nesting and the work of a run of a self-contained term at a new key: true where they allow
// it, and the run is charged; false for EvaluateMiss to decide.
KX_INLINE bool CFuncTerm::ChargeNew()
{
    const unsigned nDepth = s_nDepth;
    if (nDepth == 0) { // the outermost value: its work begins with this run
        s_nWork = m_nProgramSize;
        return m_nProgramSize <= FUNC_MAX_WORK;
    }
    const uint64_t nWork = s_nWork + m_nProgramSize;
    if (nDepth >= FUNC_MAX_DEPTH || nWork > FUNC_MAX_WORK)
        return false;
    s_nWork = nWork;
    return true;
}

// A miss at a new key counted and written down where TryRecord could not: where the run leaves
// its values (the first to be NaN, undefined, where the run fails).
__attribute__((noinline)) double* CFuncTerm::RecordFull(const double* pSlots)
{
    if (m_Cache.CountEntry())
        Invalidate(); // the key is new in the empty cache too
    return m_Cache.Record(pSlots, m_nValues);
}

// The bookkeeping of a self-contained term at a new key before its run: null where the nesting or
// the work is exhausted, for EvaluateMiss to decide; otherwise where the run leaves its values (it
// must not run where one of the other key slots is not finite).
KX_INLINE double* CFuncTerm::OpenNew(const double* pSlots)
{
    return ChargeNew() ? RecordNew(pSlots) : nullptr;
}

// The same where the run is known to be within the nesting and the work (in a flat run).
KX_INLINE double* CFuncTerm::RecordNew(const double* pSlots)
{
    if (double* pResult = m_Cache.TryRecord(pSlots, m_nValues))
        return pResult;
    return RecordFull(pSlots);
}

#define KX_RUN_NAME RunPlain
#define KX_RUN_FMA false
#include "expr/CFuncTermRun.inc"
#undef KX_RUN_NAME
#undef KX_RUN_FMA

#if defined(__x86_64__) || defined(__i386__)
// clang (the fuzz build) knows no such pragmas: there the FMA variant is the plain code again.
#ifndef __clang__
#pragma GCC push_options
#pragma GCC target("fma")
#endif
#define KX_RUN_NAME RunFma
#define KX_RUN_FMA true
#include "expr/CFuncTermRun.inc"
#undef KX_RUN_NAME
#undef KX_RUN_FMA
#ifndef __clang__
#pragma GCC pop_options
#endif

namespace {
// Read by every run, on any thread: kept off the lines of data that evaluations write.
alignas(64) const bool g_bFma = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("fma") != 0;
}();
} // namespace
#else
const double* CFuncTerm::RunFma(const SInstr* pCode, unsigned nValues, const double* s, CFuncResolver* pProject,
                                double* pStack, bool bFlat)
{
    return RunPlain(pCode, nValues, s, pProject, pStack, bFlat);
}
namespace {
const bool g_bFma = false;
}
#endif

inline const double* CFuncTerm::RunProgram(const SInstr* pCode, unsigned nValues, const double* s,
                                           CFuncResolver* pProject, double* pStack, bool bFlat)
{
    return g_bFma ? RunFma(pCode, nValues, s, pProject, pStack, bFlat)
                  : RunPlain(pCode, nValues, s, pProject, pStack, bFlat);
}

const double* CFuncTerm::Run(const double* pSlots, CFuncResolver* pProject, double* pStack) const
{
    return RunProgram(m_Program.data(), m_nValues, pSlots, pProject, pStack);
}

const double* CFuncTerm::Evaluate(const double* pSlots, CFuncResolver* pProject)
{
    return EvaluateInline(pSlots, pProject);
}

// Evaluate in full, the look-up table standing in for the chain where it can.
__attribute__((noinline)) const double* CFuncTerm::EvaluateSlow(const double* pSlots, CFuncResolver* pProject)
{
    if (!m_bDepsValid)
        UpdateDependencies();
    bool bIndexed;
    uint64_t nKey;
    if (const SCacheEntry* pEntry = m_Cache.Find(pSlots, bIndexed, nKey))
        return pEntry->m_pValues;
    return EvaluateMiss(pSlots, pProject, bIndexed, nKey);
}

// A miss (the flags are valid): run, then store at the chain of the key looked up.
__attribute__((noinline)) const double* CFuncTerm::EvaluateMiss(const double* pSlots, CFuncResolver* pProject,
                                                                bool bIndexed, uint64_t nKey)
{
    const unsigned nMask = m_Cache.KeyMask();
    double stack[FUNC_STACK];
    bool bDefined = false;
    // A walk whose repeated additions overflowed hands in an infinite x (or NaN from inf - inf):
    // no such value may reach a result, so the term is undefined there.
    // A run executes at most its program's length, and each reference in it at most one hit
    // besides, so charging the length per run bounds all the work behind the outermost value.
    const unsigned nDepth = s_nDepth;
    if (nDepth == 0)
        s_nWorkClock = 0;
    const uint64_t nWork = (nDepth == 0 ? 0 : s_nWork) + m_nProgramSize;
    s_nWork = nWork;
    // The clock is read only for values that have become costly, once each.
    if (nWork > FUNC_MAX_WORK / 16 && s_nWorkClock == 0)
        s_nWorkClock = Nanoseconds();
    if (nDepth < FUNC_MAX_DEPTH && nWork <= FUNC_MAX_WORK && m_Cache.KeyIsFinite(pSlots)) {
        s_nDepth = nDepth + 1;
        bDefined = RunProgram(m_Program.data(), m_nValues, pSlots, pProject, stack) != nullptr;
        s_nDepth = nDepth;
    }
    // Out of work: an inner term's value exists, only this evaluation may not spend more on it,
    // so it is not cached; the outermost term keeps the verdict for its key.
    if (s_nWork > FUNC_MAX_WORK) {
        if (nDepth > 0)
            return nullptr;
        if (s_nWorkClock != 0)
            s_nLostNanoseconds += static_cast<uint64_t>(Nanoseconds() - s_nWorkClock);
        s_pLostTerm = this;
    }
    if (m_Cache.CountEntry())
        Invalidate();
    return m_Cache.Store(nMask, pSlots, bDefined ? stack : nullptr, m_nValues, bIndexed, nKey);
}

// A miss at a key above every key since the last emptying, the common miss of a sweep. A run of a
// term that refers to no other one cannot reach this cache, nor nest: the key stays new, the
// outcome may be counted before the run, and the run leaves its values in the record. Every call
// on the way is the last step of its function (the run returns to the caller of Evaluate), and
// what needs one more (an emptying, a new block of records) is left to EvaluateNewFull.
__attribute__((noinline)) const double* CFuncTerm::EvaluateNew(const double* pSlots, CFuncResolver* pProject)
{
    return m_bSelfContained ? NewSelfContained(pSlots, pProject) : EvaluateFlat(pSlots, pProject);
}

KX_INLINE const double* CFuncTerm::NewSelfContained(const double* pSlots, CFuncResolver* pProject, bool bTop)
{
    if (!ChargeNew())
        return EvaluateMiss(pSlots, pProject, false, 0);
    double* pResult = m_Cache.TryRecord(pSlots, m_nValues, bTop);
    if (!pResult)
        return EvaluateNewFull(pSlots, pProject);
    return RunInto(pResult, pSlots, pProject);
}

__attribute__((noinline)) const double* CFuncTerm::EvaluateNewFull(const double* pSlots, CFuncResolver* pProject)
{
    return RunInto(RecordFull(pSlots), pSlots, pProject);
}

KX_INLINE const double* CFuncTerm::RunInto(double* pResult, const double* pSlots, CFuncResolver* pProject)
{
    if (!m_Cache.OtherKeysFinite(pSlots)) {
        pResult[0] = std::numeric_limits<double>::quiet_NaN();
        return nullptr;
    }
    return RunProgram(m_Program.data(), m_nValues, pSlots, pProject, pResult);
}

// A new key of an outermost term that refers only to self-contained ones: its run cannot reach
// this cache either, nor exhaust the work (m_bFlat), so EvaluateMiss's outcome is known but for the
// values, and they go straight into the record. Each reference the run makes is a run of its own
// in the same order as before, counted in the referenced term's cache as before.
__attribute__((noinline)) const double* CFuncTerm::EvaluateFlat(const double* pSlots, CFuncResolver* pProject)
{
    if (!m_bFlat || s_nDepth != 0 || pProject != m_pProject)
        return EvaluateMiss(pSlots, pProject, false, 0);
    s_nWorkClock = 0;
    s_nWork = m_nProgramSize;
    double* pResult = m_Cache.TryRecord(pSlots, m_nValues);
    if (!pResult)
        return EvaluateFlatFull(pSlots, pProject);
    return RunFlat(pResult, pSlots, pProject);
}

__attribute__((noinline)) const double* CFuncTerm::EvaluateFlatFull(const double* pSlots, CFuncResolver* pProject)
{
    return RunFlat(RecordFull(pSlots), pSlots, pProject);
}

KX_INLINE const double* CFuncTerm::RunFlat(double* pResult, const double* pSlots, CFuncResolver* pProject)
{
    if (!m_Cache.OtherKeysFinite(pSlots)) {
        pResult[0] = std::numeric_limits<double>::quiet_NaN();
        return nullptr;
    }
    s_nDepth = 1;
    const double* pValues = RunProgram(m_Program.data(), m_nValues, pSlots, pProject, pResult, true);
    s_nDepth = 0;
    return pValues;
}

// ---------------------------------------------------------------------------------------------
// Derivatives

CValueCache& CFuncTerm::DerivativeCache(unsigned nOrder, EAlong eAlong)
{
    std::unique_ptr<CValueCache>& pCache = m_pDerivativeCache[nOrder - 1][eAlong];
    if (!pCache) {
        pCache = std::make_unique<CValueCache>();
        pCache->SetKeySlots(m_bDepVar);
    }
    return *pCache;
}

const double* CFuncTerm::EvaluateDerivative(unsigned nOrder, const double* pSlots, CFuncResolver* pProject,
                                            EAlong eAlong)
{
    if (nOrder < 1 || nOrder > 2 || m_nValues == 0 || m_nValues > FUNC_STACK)
        return nullptr;
    EnsureDependencies();
    CValueCache& cache = DerivativeCache(nOrder, eAlong);
    bool bIndexed;
    uint64_t nKey;
    if (const SCacheEntry* pEntry = cache.Find(pSlots, bIndexed, nKey))
        return pEntry->m_pValues;
    const unsigned nMask = cache.KeyMask();
    double results[FUNC_STACK];
    bool bDefined = false;
    const unsigned nDepth = s_nDepth;
    if (nDepth == 0) {
        s_nWork = 0;
        s_nWorkClock = 0;
    }
    if (cache.KeyIsFinite(pSlots)) {
        // t moves x and a together, or a alone; everything else stands.
        CFuncDerivative::SJet slots[FUNC_NSLOTS];
        for (unsigned i = 0; i < FUNC_NSLOTS; ++i) {
            CFuncDerivative::SJet& slot = slots[i];
            std::fill(std::begin(slot.m_c), std::end(slot.m_c), 0.0);
            slot.m_c[0] = pSlots[i];
            slot.m_bVaries = i == SLOT_A || (eAlong == ALONG_XA && i == SLOT_X);
            slot.m_c[1] = slot.m_bVaries ? 1.0 : 0.0;
            slot.m_bStep = false;
            slot.m_nLeft = slot.m_nRight = -1;
        }
        CFuncDerivative::SJet out[FUNC_STACK];
        bDefined = RunDerivative(slots, CFuncDerivative::RUN_ORDER, pProject, out, m_nValues);
        // f' = c1, f'' = 2 c2; the second exists only where the first does.
        for (unsigned i = 0; bDefined && i < m_nValues; ++i) {
            for (unsigned k = 1; k <= nOrder; ++k)
                bDefined = bDefined && std::isfinite(out[i].m_c[k]);
            results[i] = nOrder == 1 ? out[i].m_c[1] : 2.0 * out[i].m_c[2];
            bDefined = bDefined && std::isfinite(results[i]);
        }
    }
    // Out of work inside another value: not this derivative's verdict to keep.
    if (s_nWork > FUNC_MAX_WORK && nDepth > 0)
        return nullptr;
    if (cache.CountEntry())
        cache.Clear();
    return cache.Store(nMask, pSlots, bDefined ? results : nullptr, m_nValues, bIndexed, nKey);
}

bool CFuncTerm::RunDerivative(const CFuncDerivative::SJet* pSlots, unsigned nOrder, CFuncResolver* pProject,
                              CFuncDerivative::SJet* pOut, unsigned nOut)
{
    if (!m_pDerivative) {
        CFuncCode code;
        unsigned nValues = 0;
        if (!m_pszText.empty()) {
            CFuncCompiler compiler(code, m_pszText.c_str());
            compiler.Compile();
            nValues = compiler.m_nValues;
        }
        m_pDerivative = std::make_unique<CFuncDerivative>(code.m_pFirst, nValues);
    }
    if (nOut > m_nValues)
        return false;
    const unsigned nDepth = s_nDepth;
    const uint64_t nWork = s_nWork + m_pDerivative->Size();
    s_nWork = nWork;
    if (nDepth >= FUNC_MAX_DEPTH || nWork > FUNC_MAX_WORK)
        return false;
    s_nDepth = nDepth + 1;
    const bool bDefined = m_pDerivative->Run(pSlots, nOrder, pProject, pOut, nOut);
    s_nDepth = nDepth;
    return bDefined;
}

bool CFuncTerm::RunDerivativeRef(const SInstr& instr, const double* s, const double* pArgs, CFuncResolver* pProject,
                                 unsigned nValues, double* pOut)
{
    CFuncTerm* pTerm = pProject ? pProject->GetFunction(instr.m_nSlot2) : nullptr;
    if (!pTerm)
        return false;
    double slots[FUNC_NSLOTS];
    std::memcpy(slots, s, sizeof slots);
    for (unsigned i = 0; i < instr.m_nSlot; ++i)
        slots[SLOT_A + i] = pArgs[i];
    const double* pValues = pTerm->EvaluateDerivative(unsigned{instr.m_nUnused} & ~unsigned{DREF_WHOLE}, slots,
                                                      pProject, instr.m_nSlot ? ALONG_A : ALONG_XA);
    if (!pValues || pTerm->m_nValues < nValues)
        return false;
    CopyValues(pOut, pValues, nValues);
    return true;
}

bool CFuncTerm::AdoptValueCount()
{
    if (!m_nWholeOf)
        return false;
    const CFuncTerm* pTerm = m_pProject ? m_pProject->GetFunction(m_nWholeOf) : nullptr;
    const uint32_t nValues = pTerm && pTerm != this && pTerm->m_nValues ? pTerm->m_nValues : 1;
    if (nValues == m_nValues || nValues > FUNC_STACK)
        return false;
    m_nValues = nValues;
    Invalidate();
    return true;
}

void CFuncTerm::AdoptValueCounts(const CFuncResolver& resolver)
{
    for (unsigned nRound = 0; nRound < MAX_FUNCTIONS; ++nRound) {
        bool bChanged = false;
        for (unsigned n = 1; n <= MAX_FUNCTIONS; ++n) {
            CFuncTerm* pTerm = resolver.FindFunction(n);
            bChanged = (pTerm && pTerm->AdoptValueCount()) || bChanged;
        }
        if (!bChanged)
            break;
    }
}

// ---------------------------------------------------------------------------------------------
// Dependencies and cache

void CFuncTerm::UpdateDependencies()
{
    // Valid before the walk, so that functions referring to each other end.
    m_bDepVar = m_bDirectVar;
    m_bDepFunc.reset();
    m_bDepsValid = true;
    for (const unsigned n : m_DirectRefs) {
        CFuncTerm* pTerm = m_pProject ? m_pProject->GetFunction(n) : nullptr;
        if (!pTerm)
            continue;
        m_bDepFunc.set(n);
        if (!pTerm->m_bDepsValid)
            pTerm->UpdateDependencies();
        m_bDepVar |= pTerm->m_bDepVar;
        m_bDepFunc |= pTerm->m_bDepFunc;
    }
    m_Cache.SetKeySlots(m_bDepVar);
    // A derivative depends on the same slots as the value.
    for (auto& pCaches : m_pDerivativeCache)
        for (auto& pCache : pCaches)
            if (pCache)
                pCache->SetKeySlots(m_bDepVar);
    // Whether every run refers only to terms that refer to nothing, and stays far within the work
    // limit: each reference instruction runs its term at most once per run (a program does not
    // loop), so the program's length times the longest referenced program bounds the work.
    m_bFlat = !m_DirectRefs.empty() && m_nValues != 0;
    uint64_t nLongest = 0;
    for (const unsigned n : m_DirectRefs) {
        const CFuncTerm* pTerm = m_pProject ? m_pProject->GetFunction(n) : nullptr;
        m_bFlat = m_bFlat && pTerm && pTerm->m_bSelfContained;
        nLongest = pTerm ? std::max(nLongest, pTerm->m_nProgramSize) : nLongest;
    }
    m_bFlat = m_bFlat && m_nProgramSize * (nLongest + 1) <= FUNC_MAX_WORK / 16;
}

// Nesting grows by one per function on the path at the most, and a path that returns to no
// function passes each once: a bounded term cannot reach the nesting limit.
static_assert(MAX_FUNCTIONS + 2 < FUNC_MAX_DEPTH,
              "a path through every function and the transformation nests within the limit");

uint64_t CFuncTerm::WorkBound() const
{
    uint64_t nKnown[MAX_FUNCTIONS + 1] = {}; // per function; 0 not yet visited
    return WorkBound(nKnown);
}

uint64_t CFuncTerm::WorkBound(uint64_t (&nKnown)[MAX_FUNCTIONS + 1]) const
{
    // A run executes each instruction at most once (a program does not loop), and a reference
    // instruction costs at most one value or derivative of the function it names beyond itself.
    // A derivative runs the program made from the code list, one step per node.
    uint64_t nInner = 0;
    for (const unsigned n : m_DirectRefs) {
        const CFuncTerm* pTerm = m_pProject && n <= MAX_FUNCTIONS ? m_pProject->GetFunction(n) : nullptr;
        if (!pTerm)
            continue; // undefined at once
        if (nKnown[n] == 0) {
            nKnown[n] = UINT64_MAX; // while it is open a path back to it is unbounded
            nKnown[n] = pTerm->WorkBound(nKnown);
        }
        nInner = std::max(nInner, nKnown[n]);
    }
    const uint64_t nLength = std::max(m_nProgramSize, m_nCodeNodes);
    if (nInner == UINT64_MAX || (nLength != 0 && nInner >= UINT64_MAX / nLength - 1))
        return UINT64_MAX;
    return nLength * (nInner + 1);
}

void CFuncTerm::Invalidate()
{
    m_Cache.Clear();
    for (auto& pCaches : m_pDerivativeCache)
        for (auto& pCache : pCaches)
            if (pCache)
                pCache->Clear();
    m_bDepsValid = false;
}

// ---------------------------------------------------------------------------------------------
// Listing and statistics

std::string CFuncTerm::GetStatistics() const
{
    return CFuncListing::Statistics(m_Cache);
}

void CFuncTerm::GetStatistics(char* pszBuffer, size_t nSize) const
{
    if (nSize)
        std::snprintf(pszBuffer, nSize, "%s", GetStatistics().c_str());
}

std::string CFuncTerm::GetListing(size_t nRoom) const
{
    if (m_pCode || m_pszText.empty())
        return CFuncListing::Listing(GetCode(), nRoom);
    // Not kept: the Debug page shows one term after another.
    CFuncCode code;
    CFuncCompiler(code, m_pszText.c_str()).Compile();
    return CFuncListing::Listing(code.m_pFirst, nRoom);
}

void CFuncTerm::GetListing(char* pszBuffer, size_t nSize) const
{
    if (!nSize)
        return;
    // The room rule keeps a sane listing well inside the buffer; a pathological nesting of
    // conditionals is cut at the buffer's end rather than written past it.
    std::snprintf(pszBuffer, nSize, "%s", GetListing(nSize).c_str());
}
