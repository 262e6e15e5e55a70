// The evaluator's speed-ups against plain forms of the same thing, over inputs that reach every
// case:
// - the flat program (folded and fused) against a literal reading of the code list, references
//   read literally too, so that no cache stands between them;
// - cached values against that reading, with each of the seven slots changed alone, so that a key
//   that leaves a slot out serves a stale value;
// - the cache against its chains: every look-up predicted from the cache's algorithm (CRC-16/ARC
//   bit by bit, walk, numeric compare) on the chains the cache shows;
// - every comparison in every form the program builder emits for it, at its boundary, with the
//   constant on either side.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "expr/CFuncExec.h"
#include "expr/CFuncNode.h"
#include "expr/CFuncRandom.h"
#include "expr/CFuncTerm.h"
#include "expr/COpcode.h"
#include "expr/CProgramBuilder.h"
#include "expr/EFuncError.h"
#include "tests/expr/CFunctionTable.h"

namespace {

const double TWO_POW_53 = 9007199254740992.0;
const double TWO_POW_63 = 9223372036854775808.0;

double LibPow(double a, volatile double b)
{
    return std::pow(a, b);
}

// ---------------------------------------------------------------------------------------------
// The language read literally, on the code lists

struct SLiteralRun {
    const double* m_pSlots;
    const CFunctionTable* m_pProject;
    unsigned m_nDepth = 0; // nested references
    double m_dStack[FUNC_STACK] = {};
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

    // Another function's code list with a copy of the slots, its arguments in a, b, c, d.
    bool Reference(uint32_t nArg)
    {
        const unsigned k = ReferenceArgCount(nArg);
        double slots[FUNC_NSLOTS];
        std::memcpy(slots, m_pSlots, sizeof slots);
        m_nTop -= static_cast<int>(k);
        for (unsigned i = 0; i < k; ++i)
            slots[SLOT_A + i] = m_dStack[m_nTop + static_cast<int>(i)];
        const CFuncTerm* pTerm = m_pProject ? m_pProject->GetFunction(ReferencedFunction(nArg)) : nullptr;
        if (!pTerm || m_nDepth + 1 >= FUNC_MAX_DEPTH)
            return false;
        SLiteralRun inner{slots, m_pProject, m_nDepth + 1};
        return inner.List(pTerm->GetCode()) && Push(inner.m_dStack[0]);
    }

    bool Node(const CFuncNode* p)
    {
        double a, b, r;
        switch (p->m_nOp) {
        case OP_CONST: return Push(p->m_dConst);
        case OP_VAR: return Push(m_pSlots[p->m_nArg]);
        case OP_REF: return Reference(p->m_nArg);
        case OP_COND: return Pop() != 0.0 ? List(p->m_pThen) : List(p->m_pElse);
        case OP_UNDEF: return false;
        case OP_RANDOM: return Push(CFuncRandom::Next() / double(CFuncRandom::RANGE));
        case OP_RAND: return Push(CFuncRandom::Rand(m_pSlots[SLOT_A]));
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
        case OP_COS:
        case OP_TAN:
            if (!(std::fabs(a) < TWO_POW_53))
                return false; // loss of significance
            r = nOp == OP_SIN ? std::sin(a) : nOp == OP_COS ? std::cos(a) : std::tan(a);
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

// The values of a term read literally, or false where it is undefined.
bool ReadLiterally(const CFuncTerm& term, const double* pSlots, const CFunctionTable* pProject, double* pValues)
{
    SLiteralRun run{pSlots, pProject};
    if (!run.List(term.GetCode()))
        return false;
    std::copy(run.m_dStack, run.m_dStack + term.GetValueCount(), pValues);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Random formulas and slot values

// The constants of the formulas are values of the slots too, so that comparisons meet their
// boundary and divisions their zero.
const char* const g_pszNumbers[] = {"0",   "1",   "2",    "3",   "0.5", "4",     "10",     "0.25", "1e-200",
                                    "7.7", "1.3", "1e-5", "100", "2.7", "1e300", "1e-160", "3.5",  "1e155"};
constexpr unsigned NUMBERS = sizeof g_pszNumbers / sizeof g_pszNumbers[0];

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

    std::string Number() { return g_pszNumbers[Pick(NUMBERS)]; }

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

    // A condition: a leaf compared with a constant on either side, or any expression.
    std::string Condition(int nDepth)
    {
        static const char* const s_pszCompare[] = {"<", ">", "<=", ">=", "=", "!="};
        const char* pszOp = s_pszCompare[Pick(6)];
        switch (Pick(3)) {
        case 0: return "(" + Leaf() + pszOp + Number() + ")";
        case 1: return "(" + Number() + pszOp + Leaf() + ")";
        default: return "(" + Expr(nDepth + 1) + ")";
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
            std::string text = "(" + Condition(nDepth) + "?(" + Expr(nDepth + 1) + ")";
            if (Pick(4))
                text += ":(" + Expr(nDepth + 1) + ")";
            return text + ")";
        }
        case 7:
            if (m_bRefs) {
                std::string text = "f" + std::to_string(1 + Pick(3));
                const unsigned nArgs = Pick(5);
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
    static const double s_dSpecial[] = {0.0,    -0.0,  1.0,    -1.0,       2.0,         3.0,  0.5, 1e-200, -1e-160,
                                        1e-110, 1e150, -1e155, TWO_POW_53, -TWO_POW_53, 1e19, 3e9, -2.5,   0.1};
    switch (random() % 5) {
    case 0: return s_dSpecial[random() % (sizeof s_dSpecial / sizeof s_dSpecial[0])];
    case 1: return std::strtod(g_pszNumbers[random() % NUMBERS], nullptr);
    case 2: return static_cast<double>(static_cast<int>(random() % 21) - 10);
    default:
        return std::ldexp(std::uniform_real_distribution<double>(-1.0, 1.0)(random),
                          static_cast<int>(random() % 40) - 20);
    }
}

// f1 ... f3 of random formulas without references and without random numbers (a draw there
// would depend on their caches), f4 as given; false if a formula is rejected.
bool MakeProject(CFunctionTable& project, CFormulaMaker& maker, const std::string& text)
{
    try {
        project.SetFunction(1, maker.Make(false, false, 2).c_str());
        project.SetFunction(2, maker.Make(false, false, 2).c_str());
        project.SetFunction(3, maker.Make(false, false, 3).c_str());
        project.SetFunction(4, text.c_str());
        return true;
    } catch (const EFuncError&) {
        return false;
    }
}

std::string Number(double d)
{
    char sz[32];
    std::snprintf(sz, sizeof sz, "%.17g", d);
    return sz;
}

std::string Slots(const double* pSlots)
{
    std::string text;
    for (unsigned i = 0; i < FUNC_NSLOTS; ++i)
        text += std::string(i ? " " : "") + "xuvabcd"[i] + "=" + Number(pSlots[i]);
    return text;
}

std::string Outcome(bool bDefined, const double* pValues)
{
    return bDefined ? Number(pValues[0]) : "undefined";
}

bool SameValues(const double* p, const double* q, unsigned n)
{
    return std::memcmp(p, q, n * sizeof(double)) == 0;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The flat program against the code list

TEST(ExprDifferential, ProgramAgreesWithTheCodeList)
{
    CFormulaMaker maker(20261208);
    std::mt19937_64 random(42);
    long nBad = 0, nCompared = 0, nUndefined = 0;
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
    for (size_t n = 0; n < 4000; ++n) {
        CFunctionTable project;
        std::string text = maker.Make(true, true);
        // Every fourth too deep for the trees, so that the node-by-node forms meet every shape.
        if (n % 4 == 1)
            for (int i = 0; i < 300; ++i)
                text += "+0";
        if (!MakeProject(project, maker, n < fixed.size() ? fixed[n] : text))
            continue;
        const CFuncTerm& term = *project.GetFunction(4);
        for (int k = 0; k < 40; ++k) {
            double slots[FUNC_NSLOTS];
            for (double& d : slots)
                d = SlotValue(random);
            if (k % 2) // as the sampling walk sets them
                for (unsigned i = 0; i < FUNC_NVARS; ++i)
                    slots[SLOT_A + i] = slots[i];
            const uint32_t nSeed = static_cast<uint32_t>(random());
            const double dRandKey = CFuncRandom::GetRandKey(), dRandValue = CFuncRandom::GetRandValue();
            CFuncRandom::Seed(nSeed);
            double literal[FUNC_STACK], stack[FUNC_STACK];
            const bool bLiteral = ReadLiterally(term, slots, &project, literal);
            CFuncRandom::SetRand(dRandKey, dRandValue);
            CFuncRandom::Seed(nSeed);
            const bool bRun = term.Run(slots, &project, stack);
            ++nCompared;
            nUndefined += !bLiteral;
            if (bLiteral != bRun || (bLiteral && !SameValues(stack, literal, term.GetValueCount()))) {
                if (++nBad <= 10)
                    ADD_FAILURE() << term.GetText() << " at " << Slots(slots) << ": code list "
                                  << Outcome(bLiteral, literal) << ", program " << Outcome(bRun, stack);
            }
        }
    }
    EXPECT_EQ(nBad, 0) << "of " << nCompared << " runs";
    // Both outcomes are well represented.
    EXPECT_GT(nUndefined, nCompared / 20);
    EXPECT_LT(nUndefined, nCompared * 3 / 4);
}

// ---------------------------------------------------------------------------------------------
// Cached values against the literal reading

// Each slot changes alone, and as the sampling walk changes them (x fastest, then u, then v, with
// a, b, c following): whatever slot a term reads through its code or its references must be part
// of its key, or a look-up serves the value of another point.
TEST(ExprDifferential, CachedValuesAgreeOverAllSevenSlots)
{
    CFormulaMaker maker(77);
    std::mt19937_64 random(2026);
    long nBad = 0, nHits = 0, nEvaluations = 0;
    std::vector<std::string> fixed;
    for (const char* pszSlot : {"x", "u", "v", "a", "b", "c", "d"})
        fixed.push_back(std::string("x+10*") + pszSlot);
    fixed.push_back("f1(x)+f2(u,v)+f3");
    fixed.push_back("f1(x,u,v,d)");
    for (size_t n = 0; n < 1500; ++n) {
        CFunctionTable project;
        const std::string text = maker.Make(true, false);
        if (!MakeProject(project, maker, n < fixed.size() ? fixed[n] : text))
            continue;
        CFuncTerm& term = *project.GetFunction(4);
        // A few values per slot, so that points repeat and neighbours differ in one slot.
        double pool[FUNC_NSLOTS][3];
        for (auto& values : pool)
            for (double& d : values)
                d = SlotValue(random);
        double slots[FUNC_NSLOTS];
        for (unsigned i = 0; i < FUNC_NSLOTS; ++i)
            slots[i] = pool[i][0];
        const auto Check = [&] {
            double literal[FUNC_STACK];
            const uint32_t nHitsBefore = term.GetCache().GetHits();
            const double* pValues = term.Evaluate(slots, &project);
            const bool bLiteral = ReadLiterally(term, slots, &project, literal);
            ++nEvaluations;
            nHits += term.GetCache().GetHits() != nHitsBefore;
            if (bLiteral != (pValues != nullptr) || (bLiteral && !SameValues(pValues, literal, term.GetValueCount()))) {
                if (++nBad <= 10)
                    ADD_FAILURE() << term.GetText() << " at " << Slots(slots) << ": literally "
                                  << Outcome(bLiteral, literal) << ", cached " << Outcome(pValues, pValues);
            }
        };
        for (int k = 0; k < 60; ++k) {
            const unsigned i = static_cast<unsigned>(random() % FUNC_NSLOTS);
            slots[i] = pool[i][random() % 3];
            Check();
        }
        for (unsigned v = 0; v < 2; ++v)
            for (unsigned u = 0; u < 2; ++u)
                for (unsigned x = 0; x < 3; ++x) {
                    const double walk[FUNC_NSLOTS] = {pool[0][x], pool[1][u], pool[2][v], pool[0][x],
                                                      pool[1][u], pool[2][v], 0.0};
                    std::copy(walk, walk + FUNC_NSLOTS, slots);
                    Check();
                }
    }
    EXPECT_EQ(nBad, 0) << "of " << nEvaluations << " evaluations";
    EXPECT_GT(nHits, nEvaluations / 4); // the keys did repeat
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

// Checks one Evaluate against the cache's algorithm; returns an empty text or what differs.
std::string CheckedEvaluate(CFuncTerm& term, const double* pSlots, CFunctionTable* pProject)
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
            cache.GetItems() != nItems)
            return "a hit that the chain walk finds differs";
        return "";
    }
    const uint32_t nNewItems = nItems + 1 >= CFuncTerm::CACHE_LIMIT ? 0 : nItems + 1;
    // After an emptying at the limit the flags are recomputed only at the next look-up.
    const CFuncTerm::SCacheEntry* pHead = cache.GetChains()[nChain];
    if (cache.GetHits() != nHits || cache.GetMisses() != nMisses + 1 || cache.GetItems() != nNewItems || !pHead ||
        pHead->m_pValues != pValues)
        return "a miss does not store at the head of its chain as predicted";
    for (unsigned i = 0; i < FUNC_NSLOTS; ++i) {
        const double dKey = term.GetDepVar()[i] ? pSlots[i] : 0.0;
        if (std::memcmp(&pHead->m_dKey[i], &dKey, sizeof dKey) != 0)
            return "a stored key differs";
    }
    return "";
}
} // namespace

// Random look-up sequences: repeated keys, 0 and -0, NaN, several key slots, random, emptying at
// 10000 items, Invalidate, dependency flags recomputed with a changed key.
TEST(ExprDifferential, CacheAgreesWithItsChains)
{
    std::mt19937_64 random(7);
    long nBad = 0, nHits = 0, nMisses = 0;
    const char* const pszTerms[] = {"x",      "x+u",   "2+3",       "f1(x)", "x*random",   "sin(x)+a",
                                    "x+10*v", "c*d+b", "f1(x,u)+v", "1/x",   "f1(x,u,v,d)"};
    for (const char* pszText : pszTerms) {
        CFunctionTable project;
        project.SetFunction(1, "a^2");
        project.SetFunction(5, pszText);
        CFuncTerm& term = *project.GetFunction(5);
        // A small pool of values, so that keys repeat; 0, -0 and NaN among them.
        std::vector<double> pool = {0.0, -0.0, NAN, 1.0, -1.0, 1e-300, 2.5};
        for (int i = 0; i < 40; ++i)
            pool.push_back(SlotValue(random));
        for (long n = 0; n < 20000; ++n) {
            double slots[FUNC_NSLOTS];
            const bool bWide = n % 5000 < 2500; // long runs of mostly new keys: emptying at 10000
            for (double& d : slots)
                d = bWide ? std::ldexp(1.0 + static_cast<double>(random() % 100000) / 100000.0,
                                       static_cast<int>(random() % 8))
                          : pool[random() % pool.size()];
            if (random() % 3)
                slots[SLOT_A] = slots[SLOT_X];
            const uint32_t nHitsBefore = term.GetCache().GetHits();
            const std::string why = CheckedEvaluate(term, slots, &project);
            if (!why.empty() && ++nBad <= 10)
                ADD_FAILURE() << pszText << " at step " << n << ": " << why;
            (term.GetCache().GetHits() != nHitsBefore ? nHits : nMisses) += 1;
            const unsigned nEvent = static_cast<unsigned>(random() % 4000);
            if (nEvent == 0) {
                term.Invalidate();
            } else if (nEvent == 1) {
                // A new f1 with other variables, and the flags recomputed with the cache full.
                project.SetFunction(1, random() % 2 ? "a^2+u" : "a^2");
                term.UpdateDependencies();
            }
        }
    }
    // A key slot dropped while the cache is full: the old entries (with u) are still in their
    // chains, and the chain walk finds one of them wherever the CRC over (x, u, a) and over (x, a)
    // share their low 10 bits.
    {
        CFunctionTable project;
        project.SetFunction(1, "a^2+u");
        project.SetFunction(5, "f1(x)");
        CFuncTerm& term = *project.GetFunction(5);
        for (int pass = 0; pass < 2; ++pass) {
            for (int i = 1; i <= 80; ++i)
                for (int j = 1; j <= (pass ? 1 : 100); ++j) {
                    const double slots[FUNC_NSLOTS] = {i * 0.37, j * 1.9, 0.0, i * 0.37, 0.0, 0.0, 0.0};
                    const uint32_t nHitsBefore = term.GetCache().GetHits();
                    const std::string why = CheckedEvaluate(term, slots, &project);
                    if (!why.empty() && ++nBad <= 10)
                        ADD_FAILURE() << "dropped key slot, pass " << pass << ": " << why;
                    (term.GetCache().GetHits() != nHitsBefore ? nHits : nMisses) += 1;
                }
            project.SetFunction(1, "a^2");
            term.UpdateDependencies();
        }
    }
    EXPECT_EQ(nBad, 0);
    EXPECT_GT(nHits, 10000);
    EXPECT_GT(nMisses, 10000);
}

// A referenced term whose key is new may run inside its caller's run; its cache must come out as
// if it had been evaluated on its own, entry for entry, with the same counters. The twin document
// evaluates the same callee at the same points directly; the caller's value is the sum of the two
// references' first values.
TEST(ExprDifferential, ReferencedTermsCacheAsTheirOwnEvaluations)
{
    struct SCaller {
        const char* m_pszText;
        std::vector<unsigned> m_Args[2]; // the slots passed to the first and the second reference
    };
    const SCaller callers[] = {
        {"f1(x)+f1(u)", {{SLOT_X}, {SLOT_U}}},
        {"f1(x,u,v,d)+f1(d,c)", {{SLOT_X, SLOT_U, SLOT_V, SLOT_D}, {SLOT_D, SLOT_C}}},
        {"f1+f1(v)", {{}, {SLOT_V}}},
    };
    // Several values, undefined stretches, a conditional (jumps and constants of the callee's own
    // program), all four arguments, the caller's x.
    const char* const pszCallees[] = {"a^2",          "sin(a)*b+x", "a<0 ? -a : 1/a",    "a, a*2, b",
                                      "c+d*10+b*100", "sqrt(a-b)",  "a>=1 ? ln(a) : a*3"};
    long nBad = 0;
    for (const SCaller& caller : callers)
        for (const char* pszCallee : pszCallees) {
            CFunctionTable project, twin;
            project.SetFunction(1, pszCallee);
            project.SetFunction(2, caller.m_pszText);
            twin.SetFunction(1, pszCallee);
            CFuncTerm& callee = *project.GetFunction(1);
            CFuncTerm& direct = *twin.GetFunction(1);
            const auto Check = [&](const double* pSlots, const char* pszWhere) {
                CFuncTerm& term = *project.GetFunction(2);
                const uint32_t nHits = term.GetCache().GetHits();
                const double* pValue = term.Evaluate(pSlots, &project);
                if (term.GetCache().GetHits() != nHits)
                    return; // the caller's own hit runs nothing
                double dSum = 0.0;
                bool bDefined = true;
                for (const std::vector<unsigned>& args : caller.m_Args) {
                    double inner[FUNC_NSLOTS];
                    std::copy(pSlots, pSlots + FUNC_NSLOTS, inner);
                    for (size_t i = 0; i < args.size(); ++i)
                        inner[SLOT_A + i] = pSlots[args[i]];
                    const double* p = direct.Evaluate(inner, &twin);
                    if (!p) {
                        bDefined = false; // the caller stops there
                        break;
                    }
                    dSum += p[0];
                }
                bDefined = bDefined && std::isfinite(dSum);
                std::string why;
                if (bDefined != (pValue != nullptr) || (bDefined && !SameValues(pValue, &dSum, 1)))
                    why = "value";
                const CValueCache &a = callee.GetCache(), &b = direct.GetCache();
                if (a.GetHits() != b.GetHits() || a.GetMisses() != b.GetMisses() || a.GetItems() != b.GetItems())
                    why += " counters";
                if (!why.empty() && ++nBad <= 10)
                    ADD_FAILURE() << caller.m_pszText << " with f1 = " << pszCallee << " " << pszWhere << " at "
                                  << Slots(pSlots) << ": " << why;
            };
            const auto CompareChains = [&](const char* pszWhere) {
                const CValueCache &a = callee.GetCache(), &b = direct.GetCache();
                std::string why;
                for (unsigned c = 0; c < CFuncTerm::CACHE_BUCKETS && why.empty(); ++c) {
                    const CFuncTerm::SCacheEntry *p = a.GetChain(c), *q = b.GetChain(c);
                    for (; p && q && why.empty(); p = p->m_pNext, q = q->m_pNext)
                        if (!SameValues(p->m_dKey, q->m_dKey, FUNC_NSLOTS) || !p->m_pValues != !q->m_pValues ||
                            (p->m_pValues && !SameValues(p->m_pValues, q->m_pValues, callee.GetValueCount())))
                            why = "entry in chain " + std::to_string(c);
                    if (p || q)
                        why = "length of chain " + std::to_string(c);
                }
                if (!why.empty() && ++nBad <= 10)
                    ADD_FAILURE() << caller.m_pszText << " with f1 = " << pszCallee << " after the " << pszWhere << ": "
                                  << why;
            };
            // A rising sweep, the same again (look-ups, hits), then one long enough to empty the
            // caches, and that one again (it begins below the newest keys of the caches, which
            // hold the end of the one before); u rises with x, d falls, c stays.
            static const char* const s_pszPasses[] = {"first sweep", "second sweep", "long sweep", "long sweep again"};
            for (int pass = 0; pass < 4; ++pass) {
                const int nCount = pass < 2 ? 600 : 12000;
                for (int i = 0; i < nCount; ++i) {
                    const double x = -3.0 + 6.0 * i / nCount;
                    const double slots[FUNC_NSLOTS] = {x, x + 0.125, 2.0 * x, x, x + 0.125, 0.5, -x};
                    Check(slots, s_pszPasses[pass]);
                }
                CompareChains(s_pszPasses[pass]);
            }
        }
    EXPECT_EQ(nBad, 0);
}

// ---------------------------------------------------------------------------------------------
// Comparisons at their boundary

namespace {
struct SCompare {
    const char* m_pszOp;
    bool (*m_pTest)(double, double);
    uint8_t m_nJump; // the first of its three jump forms
    uint8_t m_nPlain;
};
const SCompare g_Compares[] = {
    {">", [](double a, double b) { return a > b; }, X_JF_GT, X_GT},
    {"<", [](double a, double b) { return a < b; }, X_JF_LT, X_LT},
    {"=", [](double a, double b) { return a == b; }, X_JF_EQ, X_EQ},
    {"!=", [](double a, double b) { return a != b; }, X_JF_NE, X_NE},
    {">=", [](double a, double b) { return a >= b; }, X_JF_GE, X_GE},
    {"<=", [](double a, double b) { return a <= b; }, X_JF_LE, X_LE},
};

// How an operand is written: the slot x, the constant c, an expression of x, the slot u.
enum EOperand { SLOT, CONSTANT, EXPRESSION, SECOND_SLOT };
std::string Operand(EOperand e, const std::string& c)
{
    switch (e) {
    case SLOT: return "x";
    case CONSTANT: return c;
    case EXPRESSION: return "(x*1)";
    default: return "u";
    }
}
} // namespace

// Each comparison with its operands written in each way the program builder tells apart (a slot
// and a constant in either order, an expression and a constant in either order, two slots, two
// constants), as a condition and as a value, just below, at and above its constant (at 0 also at
// -0): `2>=x ? 1 : 0` is 1 at x = 2. Also within a formula too deep for the trees, which the
// program builder emits node by node, fusing a comparison into the jump of its conditional there too.
TEST(ExprDifferential, ComparisonsAtTheirBoundaryInEveryForm)
{
    const EOperand forms[][2] = {{SLOT, CONSTANT},       {CONSTANT, SLOT},    {EXPRESSION, CONSTANT},
                                 {CONSTANT, EXPRESSION}, {SLOT, SECOND_SLOT}, {EXPRESSION, EXPRESSION},
                                 {CONSTANT, CONSTANT}};
    std::string szDeep = "0*(x";
    for (int i = 0; i < 300; ++i)
        szDeep += "+x";
    szDeep += ")+";
    for (const bool bDeep : {false, true}) {
        std::set<unsigned> reached;
        for (const double c : {2.0, 0.0, -1.5}) {
            char szConst[32];
            std::snprintf(szConst, sizeof szConst, "%g", c);
            std::vector<double> xs = {c - 1, c, c + 1, std::nextafter(c, -10.0), std::nextafter(c, 10.0)};
            if (c == 0.0)
                xs.push_back(-0.0);
            for (const SCompare& compare : g_Compares)
                for (const auto& form : forms)
                    for (const bool bCondition : {true, false}) {
                        const std::string comparison =
                            Operand(form[0], szConst) + compare.m_pszOp + Operand(form[1], szConst);
                        const std::string shallow = bCondition ? comparison + " ? 1 : 0" : comparison;
                        const std::string text = bDeep ? szDeep + "(" + shallow + ")" : shallow;
                        const CFuncTerm term(nullptr, text.c_str());
                        std::vector<SInstr> program;
                        CProgramBuilder::Build(term.GetCode(), term.GetValueCount(), program);
                        for (const SInstr& instr : program)
                            reached.insert(instr.m_nOp);
                        for (const double x : xs) {
                            const double slots[FUNC_NSLOTS] = {x, c, 0.0, x, c, 0.0, 0.0};
                            const double a = form[0] == CONSTANT ? c : x;
                            const double b = form[1] == CONSTANT ? c : form[1] == SECOND_SLOT ? c : x;
                            const double dExpected = compare.m_pTest(a, b) ? 1.0 : 0.0;
                            double stack[FUNC_STACK];
                            ASSERT_TRUE(term.Run(slots, nullptr, stack)) << text;
                            EXPECT_EQ(stack[0], dExpected) << text << " at x = " << x;
                        }
                    }
        }
        for (const SCompare& compare : g_Compares) {
            EXPECT_TRUE(reached.count(compare.m_nPlain)) << compare.m_pszOp;
            for (unsigned nForm = 0; nForm < 3; ++nForm)
                EXPECT_TRUE(reached.count(compare.m_nJump + nForm))
                    << compare.m_pszOp << " jump form " << nForm << (bDeep ? " (deep)" : "");
        }
    }
}
