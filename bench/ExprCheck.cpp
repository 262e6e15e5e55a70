// Differential checks of the evaluator's speed-ups, run before the benchmarks (and by ctest):
//
// 1. The flat program against the code list. Random formulas are run by CFuncTerm::Run and by a
//    literal reading of the language on the code list m_pCode (a stack of 50, the library's pow
//    with its error report, the list of undefined cases); definedness and every value must
//    agree to the bit, at random and at awkward slot values.
// 2. The cache against its chains. For random look-up sequences (repeated keys, 0 and -0, NaN,
//    several key slots, random, emptying at 10000 items, Invalidate, dependency flags recomputed
//    with a changed key), every Evaluate is predicted from the cache's algorithm on the public
//    chains (CRC-16/ARC bit by bit, walk, numeric compare) and must give exactly the predicted
//    entry, counters and chain heads.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/ExprCheck.h"
#include "expr/CFuncNode.h"
#include "expr/CFuncRandom.h"
#include "expr/CFuncTerm.h"
#include "expr/COpcode.h"
#include "expr/EFuncError.h"
#include "project/CProject.h"

namespace {

const double TWO_POW_53 = 9007199254740992.0;
const double TWO_POW_63 = 9223372036854775808.0;

double LibPow(double a, volatile double b)
{
    return std::pow(a, b);
}

// ---------------------------------------------------------------------------------------------
// The language read literally, on the code list

struct SRefRun {
    const double* m_pSlots;
    CProject* m_pProject;
    double m_dStack[FUNC_STACK];
    int m_nTop = 0;

    bool Push(double d)
    {
        if (m_nTop >= static_cast<int>(FUNC_STACK))
            return false;
        m_dStack[m_nTop++] = d;
        return true;
    }
    double Pop() { return m_dStack[--m_nTop]; }

    bool List(const CFuncNode* p)
    {
        for (; p; p = p->m_pNext)
            if (!Node(p))
                return false;
        return true;
    }

    bool Node(const CFuncNode* p)
    {
        double a, b, r;
        switch (p->m_nOp) {
        case OP_CONST: return Push(p->m_dConst);
        case OP_VAR: return Push(m_pSlots[p->m_nArg]);
        case OP_REF: {
            const unsigned k = ReferenceArgCount(p->m_nArg);
            double slots[FUNC_NSLOTS];
            std::memcpy(slots, m_pSlots, sizeof slots);
            m_nTop -= static_cast<int>(k);
            for (unsigned i = 0; i < k; ++i)
                slots[3 + i] = m_dStack[m_nTop + static_cast<int>(i)];
            CFuncTerm* pTerm = m_pProject ? m_pProject->GetFunction(ReferencedFunction(p->m_nArg)) : nullptr;
            if (!pTerm)
                return false;
            const double* pValues = pTerm->Evaluate(slots, m_pProject);
            return pValues && Push(pValues[0]);
        }
        case OP_COND: return Pop() != 0.0 ? List(p->m_pThen) : List(p->m_pElse);
        case OP_UNDEF: return false;
        case OP_RANDOM: return Push(CFuncRandom::Next() / double(CFuncRandom::RANGE));
        case OP_RAND: return Push(CFuncRandom::Rand(m_pSlots[3]));
        default: break;
        }
        const uint32_t nOp = p->m_nOp;
        if ((nOp >= OP_ADD && nOp <= OP_POW) || (nOp >= OP_GT && nOp <= OP_LE) || nOp == OP_AND || nOp == OP_OR) {
            b = Pop();
            a = Pop();
            switch (nOp) {
            case OP_ADD: r = a + b; break;
            case OP_SUB: r = a - b; break;
            case OP_MUL: r = a * b; break;
            case OP_DIV: r = a / b; break;
            case OP_POW:
                errno = 0;
                r = LibPow(a, b);
                if (errno)
                    return false;
                break;
            case OP_GT: r = a > b; break;
            case OP_LT: r = a < b; break;
            case OP_EQ: r = a == b; break;
            case OP_NE: r = a != b; break;
            case OP_GE: r = a >= b; break;
            case OP_LE: r = a <= b; break;
            case OP_AND: r = a != 0.0 && b != 0.0; break;
            default: r = a != 0.0 || b != 0.0; break;
            }
            return std::isfinite(r) && Push(r);
        }
        a = Pop();
        errno = 0;
        switch (nOp) {
        case OP_SIN:
            if (!(std::fabs(a) < TWO_POW_53))
                return false;
            r = std::sin(a);
            break;
        case OP_COS:
            if (!(std::fabs(a) < TWO_POW_53))
                return false;
            r = std::cos(a);
            break;
        case OP_TAN:
            if (!(std::fabs(a) < TWO_POW_53))
                return false;
            r = std::tan(a);
            break;
        case OP_ASIN: r = std::asin(a); break;
        case OP_ACOS: r = std::acos(a); break;
        case OP_ATAN: r = std::atan(a); break;
        case OP_LN: r = std::log(a); break;
        case OP_LOG10: r = std::log10(a); break;
        case OP_EXP: r = std::exp(a); break;
        case OP_INT:
        case OP_FRAC: {
            if (!(std::fabs(a) < TWO_POW_63))
                return false;
            const double i =
                static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(a))));
            r = nOp == OP_INT ? i : a - i;
            break;
        }
        case OP_ABS: r = std::fabs(a); break;
        default: return false;
        }
        return errno == 0 && std::isfinite(r) && Push(r);
    }
};

// ---------------------------------------------------------------------------------------------
// Random formulas

class CFormulaMaker {
public:
    explicit CFormulaMaker(uint64_t nSeed) : m_Random(nSeed) {}

    // bRefs: may refer to f1 ... f3; bRandom: may use random and rand.
    std::string Make(bool bRefs, bool bRandom, int nDepth = 0)
    {
        m_bRefs = bRefs;
        m_bRandom = bRandom;
        std::string text = Expr(nDepth);
        if (Pick(6) == 0)
            text += "," + Expr(nDepth + 1);
        return text;
    }

private:
    unsigned Pick(unsigned n) { return static_cast<unsigned>(m_Random() % n); }

    std::string Number()
    {
        static const char* const s_pszNumbers[] = {"0",   "1",    "2",      "3",     "0.5",    "4",
                                                   "10",  "0.25", "1e-200", "1e300", "1e-160", "7.7",
                                                   "1.3", "1e-5", "100",    "2.7",   "3.5",    "1e155"};
        return s_pszNumbers[Pick(sizeof s_pszNumbers / sizeof s_pszNumbers[0])];
    }

    std::string Leaf()
    {
        static const char* const s_pszNames[] = {"x", "u", "v", "a", "b", "c", "d", "pi", "e"};
        switch (Pick(4)) {
        case 0: return Number();
        case 1:
            if (m_bRandom && Pick(4) == 0)
                return Pick(2) ? "random" : "rand";
            if (Pick(20) == 0)
                return "undef";
            return s_pszNames[Pick(9)];
        default: return Pick(2) ? "x" : "a";
        }
    }

    std::string Expr(int nDepth)
    {
        if (nDepth > 4 || Pick(10) < 3)
            return Leaf();
        static const char* const s_pszBinary[] = {"+", "-", "*", "/", "^", "<", ">", "<=", ">=", "=", "!=", "&", "|"};
        static const char* const s_pszFunctions[] = {"sin",   "cos", "tan", "asin", "acos", "atan", "ln",
                                                     "log10", "exp", "int", "frac", "abs",  "sqr",  "sqrt"};
        switch (Pick(10)) {
        case 0:
        case 1:
        case 2:
        case 3: {
            const unsigned k = Pick(13);
            const unsigned nOp = k < 5 && Pick(2) ? k : Pick(13); // arithmetic twice as often
            const std::string right = nOp == 4 && Pick(2) ? Number() : Expr(nDepth + 1);
            return "(" + Expr(nDepth + 1) + s_pszBinary[nOp] + "(" + right + "))";
        }
        case 4:
        case 5: return std::string(s_pszFunctions[Pick(14)]) + "(" + Expr(nDepth + 1) + ")";
        case 6: {
            const std::string cond =
                Pick(2) ? "(" + Leaf() + (Pick(2) ? "<" : ">=") + Number() + ")" : "(" + Expr(nDepth + 1) + ")";
            std::string text = "(" + cond + "?(" + Expr(nDepth + 1) + ")";
            if (Pick(4))
                text += ":(" + Expr(nDepth + 1) + ")";
            return text + ")";
        }
        case 7:
            if (m_bRefs) {
                std::string text = "f" + std::to_string(1 + Pick(3));
                const unsigned nArgs = Pick(4);
                if (nArgs) {
                    text += "(";
                    for (unsigned i = 0; i < nArgs; ++i)
                        text += (i ? "," : "") + Expr(nDepth + 2);
                    text += ")";
                }
                return text;
            }
            return "(0-" + Expr(nDepth + 1) + ")";
        case 8: return "(-" + Expr(nDepth + 1) + ")";
        default: return "(" + Leaf() + "(" + Leaf() + "))"; // implicit multiplication
        }
    }

    std::mt19937_64 m_Random;
    bool m_bRefs = false;
    bool m_bRandom = false;
};

double SlotValue(std::mt19937_64& random)
{
    static const double s_dSpecial[] = {0.0,         -0.0,    1.0,    -1.0,  2.0,    3.0,   0.5,
                                        1e-200,      -1e-160, 1e-110, 1e150, -1e155, 1e300, TWO_POW_53,
                                        -TWO_POW_53, 1e19,    3e9,    -2.5,  0.1,    7.7};
    switch (random() % 4) {
    case 0: return s_dSpecial[random() % (sizeof s_dSpecial / sizeof s_dSpecial[0])];
    case 1: return static_cast<double>(static_cast<int>(random() % 21) - 10);
    default:
        return std::ldexp(std::uniform_real_distribution<double>(-1.0, 1.0)(random),
                          static_cast<int>(random() % 40) - 20);
    }
}

} // namespace

long CheckProgramAgainstCodeList(long nFormulas)
{
    CFormulaMaker maker(20261208);
    std::mt19937_64 random(42);
    long nBad = 0, nCompared = 0, nUndefined = 0, nRejected = 0;
    // Long and deep formulas too: the program builder emits formulas nested deeper than its trees
    // allow node by node.
    std::vector<std::string> fixed;
    for (const int nTerms : {100, 190, 300, 1000}) {
        std::string sum = "x", nested = "x";
        for (int i = 0; i < nTerms; ++i) {
            sum += i % 3 == 0 ? "+sin(x)" : i % 3 == 1 ? "-2*x^2" : "/(a+3)";
            nested = (i % 2 ? "(" : "sqrt(") + nested + (i % 2 ? "*1.01+x)" : ")");
        }
        fixed.push_back(sum);
        fixed.push_back(nested);
    }
    for (long n = 0; n < nFormulas; ++n) {
        CProject project;
        try {
            // Referenced functions without random (a draw there would depend on their caches).
            project.SetFunction(1, maker.Make(false, false, 2).c_str());
            project.SetFunction(2, maker.Make(false, false, 2).c_str());
            project.SetFunction(3, maker.Make(false, false, 3).c_str());
            const std::string text = maker.Make(true, true);
            project.SetFunction(4, n < static_cast<long>(fixed.size()) ? fixed[static_cast<size_t>(n)].c_str()
                                                                       : text.c_str());
        } catch (const EFuncError& error) {
            ++nRejected;
            if (nRejected <= 3)
                std::printf("  (rejected: %s)\n", error.m_pszMessage);
            continue;
        }
        CFuncTerm* pTerm = project.GetFunction(4);
        if (!pTerm)
            continue;
        for (int k = 0; k < 40; ++k) {
            double slots[FUNC_NSLOTS];
            for (double& d : slots)
                d = SlotValue(random);
            if (k % 2) // as the sampling walk sets them
                for (int i = 0; i < 3; ++i)
                    slots[3 + i] = slots[i];
            const uint32_t nSeed = static_cast<uint32_t>(random());
            const double dRandKey = CFuncRandom::GetRandKey(), dRandValue = CFuncRandom::GetRandValue();
            CFuncRandom::Seed(nSeed);
            SRefRun ref{slots, &project, {}, 0};
            const bool bRef = ref.List(pTerm->GetCode());
            CFuncRandom::SetRand(dRandKey, dRandValue);
            CFuncRandom::Seed(nSeed);
            double stack[FUNC_STACK];
            const bool bRun = pTerm->Run(slots, &project, stack);
            ++nCompared;
            nUndefined += !bRef;
            const bool bSame = bRef == bRun && (!bRef || std::memcmp(stack, ref.m_dStack,
                                                                     pTerm->GetValueCount() * sizeof(double)) == 0);
            if (!bSame) {
                if (nBad < 10)
                    std::printf(
                        "  MISMATCH program: %s at x=%.17g u=%.17g a=%.17g: code list %s %.17g, program %s %.17g\n",
                        pTerm->GetText().c_str(), slots[0], slots[1], slots[3], bRef ? "" : "undefined",
                        bRef ? ref.m_dStack[0] : 0.0, bRun ? "" : "undefined", bRun ? stack[0] : 0.0);
                ++nBad;
            }
        }
    }
    std::printf("Program check: %ld runs of random formulas (%ld undefined), %ld disagreement(s) with the code list\n",
                nCompared, nUndefined, nBad);
    return nBad;
}

// ---------------------------------------------------------------------------------------------
// The cache against its chains

namespace {
uint32_t BitwiseArc(uint32_t nCrc, double d)
{
    unsigned char bytes[8];
    std::memcpy(bytes, &d, 8);
    for (const unsigned char c : bytes) {
        nCrc ^= c;
        for (int k = 0; k < 8; ++k)
            nCrc = (nCrc & 1) ? (nCrc >> 1) ^ 0xA001 : nCrc >> 1;
    }
    return nCrc;
}

// Checks one Evaluate against the cache's algorithm; returns false on a difference.
bool CheckedEvaluate(CFuncTerm& term, const double* pSlots, CProject* pProject, std::string& why)
{
    if (!term.AreDepsValid())
        term.UpdateDependencies(); // what Evaluate does first
    const CValueCache& cache = term.GetCache();
    uint32_t nCrc = 0;
    for (unsigned i = 0; i < FUNC_NSLOTS; ++i)
        if (term.GetDepVar()[i])
            nCrc = BitwiseArc(nCrc, pSlots[i]);
    const unsigned nChain = nCrc & 0x3FF;
    const CFuncTerm::SCacheEntry* pExpected = nullptr;
    for (const CFuncTerm::SCacheEntry* p = cache.GetChains()[nChain]; p && !pExpected; p = p->m_pNext) {
        bool bMatch = true;
        for (unsigned i = 0; i < FUNC_NSLOTS; ++i)
            bMatch = bMatch && (!term.GetDepVar()[i] || p->m_dKey[i] == pSlots[i]);
        if (bMatch)
            pExpected = p;
    }
    const uint32_t nHits = cache.GetHits(), nMisses = cache.GetMisses(), nItems = cache.GetItems();
    const double* pValues = term.Evaluate(pSlots, pProject);
    if (pExpected) {
        if (pValues != pExpected->m_pValues || cache.GetHits() != nHits + 1 || cache.GetMisses() != nMisses ||
            cache.GetItems() != nItems) {
            why = "a hit that the chain walk finds differs";
            return false;
        }
        return true;
    }
    const uint32_t nNewItems = nItems + 1 >= CFuncTerm::CACHE_LIMIT ? 0 : nItems + 1;
    // After an emptying at the limit the flags are recomputed only at the next look-up.
    const CFuncTerm::SCacheEntry* pHead = cache.GetChains()[nChain];
    if (cache.GetHits() != nHits || cache.GetMisses() != nMisses + 1 || cache.GetItems() != nNewItems || !pHead ||
        pHead->m_pValues != pValues) {
        why = "a miss does not store at the head of its chain as predicted";
        return false;
    }
    for (unsigned i = 0; i < FUNC_NSLOTS; ++i) {
        const double dKey = term.GetDepVar()[i] ? pSlots[i] : 0.0;
        if (std::memcmp(&pHead->m_dKey[i], &dKey, sizeof dKey) != 0) {
            why = "a stored key differs";
            return false;
        }
    }
    return true;
}
} // namespace

long CheckCacheAgainstChains(long nSteps)
{
    std::mt19937_64 random(7);
    long nBad = 0, nHits = 0, nMisses = 0;
    const char* const pszTerms[] = {"x", "x+u", "2+3", "f1(x)", "x*random", "sin(x)+a", "f1(x,u)+v", "1/x"};
    for (const char* pszText : pszTerms) {
        CProject project;
        project.SetFunction(1, "a^2");
        project.SetFunction(5, pszText);
        CFuncTerm& term = *project.GetFunction(5);
        // A small pool of values, so that keys repeat; 0, -0 and NaN among them.
        std::vector<double> pool = {0.0, -0.0, NAN, 1.0, -1.0, 1e-300, 2.5};
        for (int i = 0; i < 40; ++i)
            pool.push_back(SlotValue(random));
        for (long n = 0; n < nSteps; ++n) {
            double slots[FUNC_NSLOTS];
            const bool bWide = n % 5000 < 2500; // long runs of mostly new keys: emptying at 10000
            for (double& d : slots)
                d = bWide ? std::ldexp(1.0 + static_cast<double>(random() % 100000) / 100000.0,
                                       static_cast<int>(random() % 8))
                          : pool[random() % pool.size()];
            if (random() % 3)
                slots[3] = slots[0];
            std::string why;
            const uint32_t nHitsBefore = term.GetCache().GetHits();
            if (!CheckedEvaluate(term, slots, &project, why)) {
                if (nBad < 10)
                    std::printf("  MISMATCH cache: %s at step %ld: %s\n", pszText, n, why.c_str());
                ++nBad;
            }
            (term.GetCache().GetHits() != nHitsBefore ? nHits : nMisses) += 1;
            const unsigned nEvent = static_cast<unsigned>(random() % 4000);
            if (nEvent == 0) {
                term.Invalidate();
            } else if (nEvent == 1) {
                // A new f1 with other variables, and the flags recomputed with the cache full.
                project.m_pFunctions[0].reset(new CFuncTerm(&project, random() % 2 ? "a^2+u" : "a^2"));
                term.UpdateDependencies();
            }
        }
    }
    // A key slot dropped while the cache is full: the old entries (with u) are still in their chains,
    // and the chain walk finds one of them wherever the CRC over (x, u, a) and over (x, a) share
    // their low 10 bits.
    {
        CProject project;
        project.SetFunction(1, "a^2+u");
        project.SetFunction(5, "f1(x)");
        CFuncTerm& term = *project.GetFunction(5);
        std::string why;
        for (int pass = 0; pass < 2; ++pass) {
            for (int i = 1; i <= 80; ++i)
                for (int j = 1; j <= (pass ? 1 : 100); ++j) {
                    const double slots[FUNC_NSLOTS] = {i * 0.37, j * 1.9, 0.0, i * 0.37, 0.0, 0.0, 0.0};
                    const uint32_t nHitsBefore = term.GetCache().GetHits();
                    if (!CheckedEvaluate(term, slots, &project, why)) {
                        if (nBad < 10)
                            std::printf("  MISMATCH cache: dropped key slot, pass %d: %s\n", pass, why.c_str());
                        ++nBad;
                    }
                    (term.GetCache().GetHits() != nHitsBefore ? nHits : nMisses) += 1;
                }
            project.m_pFunctions[0].reset(new CFuncTerm(&project, "a^2"));
            term.UpdateDependencies();
        }
    }
    std::printf("Cache check: %ld hits and %ld misses predicted from the chains, %ld disagreement(s)\n", nHits, nMisses,
                nBad);
    return nBad;
}
