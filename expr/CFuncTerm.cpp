#include "expr/CFuncTerm.h"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "expr/CCrcGenerator.h"
#include "expr/CFuncCompiler.h"
#include "expr/CFuncRandom.h"
#include "expr/COpcode.h"
#include "project/CProject.h"
#include "view/CFuncVars.h"

unsigned CFuncTerm::s_nDepth = 0;
double CFuncTerm::s_dRandKey = 0.0;
double CFuncTerm::s_dRandValue = 0.0;

namespace {
// Instructions of the flat program. The first group mirrors the opcodes; the second fuses an
// operand into the operation that follows it, which is where a formula spends most of its time.
enum EExec : uint8_t {
    X_CONST, X_VAR, X_REF, X_JZ, X_JMP, X_UNDEF,
    X_ADD, X_SUB, X_MUL, X_DIV, X_POW,
    X_SIN, X_COS, X_TAN, X_ASIN, X_ACOS, X_ATAN, X_LN, X_LOG10, X_EXP, X_INT, X_FRAC,
    X_RANDOM, X_RAND, X_ABS,
    X_GT, X_LT, X_EQ, X_NE, X_GE, X_LE, X_AND, X_OR,
    X_ADD_C, X_SUB_C, X_MUL_C, X_DIV_C, X_POW_C,  // top op constant
    X_ADD_V, X_SUB_V, X_MUL_V, X_DIV_V,           // top op slot
    X_POW2, X_POW3, X_SQRT,                       // top ^ 2, top ^ 3, top ^ 0.5
    X_END
};

const double TWO_POW_53 = 9007199254740992.0;
const double TWO_POW_63 = 9223372036854775808.0;

// Arithmetic on finite operands faults (division by zero, 0/0, overflow) exactly when its result
// is not finite; underflow and inexact results are no faults. No NaN or infinity survives a step.
inline bool Finite(double d) { return std::isfinite(d); }

// pow as the library reports it: every error it raises (domain, pole, overflow, and underflow to 0)
// makes the value undefined.
inline bool CheckedPow(double a, double b, double& r)
{
    errno = 0;
    r = std::pow(a, b);
    return errno == 0 && Finite(r);
}

// Integral powers by multiplication where the result is a normal number; everywhere else (zero,
// subnormal, overflow) pow itself decides, so the value is undefined exactly where pow says so.
inline bool IntegralPow(double a, int n, double& r)
{
    r = n == 2 ? a * a : a * a * a;
    if (std::fabs(r) >= DBL_MIN && std::fabs(r) <= DBL_MAX)
        return true;
    return CheckedPow(a, n, r);
}

// int(): truncation toward zero taken as a signed 32-bit integer (its low 32 bits).
inline bool Truncate32(double d, double& r)
{
    if (!(std::fabs(d) < TWO_POW_63))
        return false;
    const auto n = static_cast<int64_t>(d);
    r = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(n)));
    return true;
}

uint8_t ExecOf(uint32_t nOp)
{
    switch (nOp) {
    case OP_UNDEF: return X_UNDEF;
    case OP_ADD: return X_ADD;
    case OP_SUB: return X_SUB;
    case OP_MUL: return X_MUL;
    case OP_DIV: return X_DIV;
    case OP_POW: return X_POW;
    case OP_SIN: return X_SIN;
    case OP_COS: return X_COS;
    case OP_TAN: return X_TAN;
    case OP_ASIN: return X_ASIN;
    case OP_ACOS: return X_ACOS;
    case OP_ATAN: return X_ATAN;
    case OP_LN: return X_LN;
    case OP_LOG10: return X_LOG10;
    case OP_EXP: return X_EXP;
    case OP_INT: return X_INT;
    case OP_FRAC: return X_FRAC;
    case OP_RANDOM: return X_RANDOM;
    case OP_RAND: return X_RAND;
    case OP_ABS: return X_ABS;
    case OP_GT: return X_GT;
    case OP_LT: return X_LT;
    case OP_EQ: return X_EQ;
    case OP_NE: return X_NE;
    case OP_GE: return X_GE;
    case OP_LE: return X_LE;
    case OP_AND: return X_AND;
    case OP_OR: return X_OR;
    default: return X_UNDEF;
    }
}

bool IsArithmetic(uint32_t nOp) { return nOp >= OP_ADD && nOp <= OP_POW; }
}  // namespace

CFuncTerm::CFuncTerm(CProject* pProject, const char* pszText)
    : m_pszText(pszText ? pszText : ""), m_pProject(pProject)
{
    if (!m_pszText.empty()) {  // an empty text has no code and no values
        CFuncCompiler compiler(*this, m_pszText.c_str());
        compiler.Compile();
    }
    BuildProgram();
}

CFuncTerm::~CFuncTerm()
{
    CFuncNode::ReleaseList(m_pCode);
}

// ---------------------------------------------------------------------------------------------
// Flat program

void CFuncTerm::BuildProgram()
{
    m_Program.clear();
    EmitList(m_pCode);
    m_Program.push_back({X_END, 0, 0, 0, 0.0});
}

void CFuncTerm::EmitList(const CFuncNode* pNode)
{
    for (; pNode; pNode = pNode->m_pNext) {
        const CFuncNode* pNext = pNode->m_pNext;
        switch (pNode->m_nOp) {
        case OP_CONST:
            if (pNext && IsArithmetic(pNext->m_nOp)) {
                const double c = pNode->m_dConst;
                uint8_t nExec = static_cast<uint8_t>(X_ADD_C + (pNext->m_nOp - OP_ADD));
                if (pNext->m_nOp == OP_POW)
                    nExec = c == 2.0 ? X_POW2 : c == 3.0 ? X_POW3 : c == 0.5 ? X_SQRT : X_POW_C;
                m_Program.push_back({nExec, 0, 0, 0, c});
                pNode = pNext;
            } else {
                m_Program.push_back({X_CONST, 0, 0, 0, pNode->m_dConst});
            }
            break;
        case OP_VAR:
            if (pNext && IsArithmetic(pNext->m_nOp) && pNext->m_nOp != OP_POW) {
                const auto nExec = static_cast<uint8_t>(X_ADD_V + (pNext->m_nOp - OP_ADD));
                m_Program.push_back({nExec, static_cast<uint8_t>(pNode->m_nArg), 0, 0, 0.0});
                pNode = pNext;
            } else {
                m_Program.push_back({X_VAR, static_cast<uint8_t>(pNode->m_nArg), 0, 0, 0.0});
            }
            break;
        case OP_REF:
            m_Program.push_back({X_REF, 0, static_cast<uint16_t>(pNode->m_nArg), 0, 0.0});
            break;
        case OP_COND: {
            const size_t nJz = m_Program.size();
            m_Program.push_back({X_JZ, 0, 0, 0, 0.0});
            EmitList(pNode->m_pThen);
            const size_t nJmp = m_Program.size();
            m_Program.push_back({X_JMP, 0, 0, 0, 0.0});
            m_Program[nJz].m_nJump = static_cast<int32_t>(m_Program.size());
            EmitList(pNode->m_pElse);
            m_Program[nJmp].m_nJump = static_cast<int32_t>(m_Program.size());
            break;
        }
        default:
            m_Program.push_back({ExecOf(pNode->m_nOp), 0, 0, 0, 0.0});
            break;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Evaluator

bool CFuncTerm::Run(const double* s, CProject* pProject, double* pStack) const
{
    double* sp = pStack - 1;  // top of the stack
    const SInstr* pCode = m_Program.data();
    const SInstr* ip = pCode;
    double r;
    for (;; ++ip) {
        switch (ip->m_nOp) {
        case X_END:
            return true;
        case X_CONST: *++sp = ip->m_dConst; break;
        case X_VAR: *++sp = s[ip->m_nSlot]; break;
        case X_UNDEF: return false;
        case X_JZ:
            if (*sp-- == 0.0)
                ip = pCode + ip->m_nJump - 1;
            break;
        case X_JMP: ip = pCode + ip->m_nJump - 1; break;
        case X_REF: {
            const unsigned nArgs = ip->m_nArgs % 10;
            const unsigned nFunction = ip->m_nArgs / 10;
            sp -= nArgs;
            CFuncTerm* pTerm = pProject ? pProject->GetFunction(nFunction) : nullptr;
            if (!pTerm)
                return false;
            double slots[FUNC_NSLOTS];
            std::memcpy(slots, s, sizeof slots);
            for (unsigned i = 0; i < nArgs; ++i)
                slots[3 + i] = sp[1 + i];
            const double* pValues = pTerm->Evaluate(slots, pProject);
            if (!pValues)
                return false;
            *++sp = pValues[0];
            break;
        }
        case X_ADD: r = sp[-1] + sp[0]; if (!Finite(r)) return false; *--sp = r; break;
        case X_SUB: r = sp[-1] - sp[0]; if (!Finite(r)) return false; *--sp = r; break;
        case X_MUL: r = sp[-1] * sp[0]; if (!Finite(r)) return false; *--sp = r; break;
        case X_DIV: r = sp[-1] / sp[0]; if (!Finite(r)) return false; *--sp = r; break;
        case X_POW: if (!CheckedPow(sp[-1], sp[0], r)) return false; *--sp = r; break;
        case X_ADD_C: r = *sp + ip->m_dConst; if (!Finite(r)) return false; *sp = r; break;
        case X_SUB_C: r = *sp - ip->m_dConst; if (!Finite(r)) return false; *sp = r; break;
        case X_MUL_C: r = *sp * ip->m_dConst; if (!Finite(r)) return false; *sp = r; break;
        case X_DIV_C: r = *sp / ip->m_dConst; if (!Finite(r)) return false; *sp = r; break;
        case X_POW_C: if (!CheckedPow(*sp, ip->m_dConst, r)) return false; *sp = r; break;
        case X_ADD_V: r = *sp + s[ip->m_nSlot]; if (!Finite(r)) return false; *sp = r; break;
        case X_SUB_V: r = *sp - s[ip->m_nSlot]; if (!Finite(r)) return false; *sp = r; break;
        case X_MUL_V: r = *sp * s[ip->m_nSlot]; if (!Finite(r)) return false; *sp = r; break;
        case X_DIV_V: r = *sp / s[ip->m_nSlot]; if (!Finite(r)) return false; *sp = r; break;
        case X_POW2: if (!IntegralPow(*sp, 2, r)) return false; *sp = r; break;
        case X_POW3: if (!IntegralPow(*sp, 3, r)) return false; *sp = r; break;
        case X_SQRT:
            // pow(a, 0.5): a domain error below 0; pow(-0, 0.5) is +0.
            if (*sp > 0.0) *sp = std::sqrt(*sp);
            else if (*sp == 0.0) *sp = 0.0;
            else return false;
            break;
        // The library's errors, decided on the argument or the result: glibc reports nothing else.
        case X_SIN: if (!(std::fabs(*sp) < TWO_POW_53)) return false; *sp = std::sin(*sp); break;
        case X_COS: if (!(std::fabs(*sp) < TWO_POW_53)) return false; *sp = std::cos(*sp); break;
        case X_TAN: if (!(std::fabs(*sp) < TWO_POW_53)) return false; *sp = std::tan(*sp); break;
        case X_ASIN: if (!(std::fabs(*sp) <= 1.0)) return false; *sp = std::asin(*sp); break;
        case X_ACOS: if (!(std::fabs(*sp) <= 1.0)) return false; *sp = std::acos(*sp); break;
        case X_ATAN: *sp = std::atan(*sp); break;
        case X_LN: if (!(*sp > 0.0)) return false; *sp = std::log(*sp); break;
        case X_LOG10: if (!(*sp > 0.0)) return false; *sp = std::log10(*sp); break;
        case X_EXP:
            r = std::exp(*sp);
            if (r == 0.0 || !Finite(r))  // underflow to 0, overflow
                return false;
            *sp = r;
            break;
        case X_INT: if (!Truncate32(*sp, r)) return false; *sp = r; break;
        case X_FRAC: if (!Truncate32(*sp, r)) return false; *sp -= r; break;
        case X_ABS: *sp = std::fabs(*sp); break;
        case X_RANDOM: *++sp = CFuncRandom::Next() / double(CFuncRandom::RANGE); break;
        case X_RAND:
            if (s[3] != s_dRandKey) {
                s_dRandKey = s[3];
                s_dRandValue = CFuncRandom::Next() / double(CFuncRandom::RANGE);
            }
            *++sp = s_dRandValue;
            break;
        case X_GT: --sp; *sp = sp[0] > sp[1] ? 1.0 : 0.0; break;
        case X_LT: --sp; *sp = sp[0] < sp[1] ? 1.0 : 0.0; break;
        case X_EQ: --sp; *sp = sp[0] == sp[1] ? 1.0 : 0.0; break;
        case X_NE: --sp; *sp = sp[0] != sp[1] ? 1.0 : 0.0; break;
        case X_GE: --sp; *sp = sp[0] >= sp[1] ? 1.0 : 0.0; break;
        case X_LE: --sp; *sp = sp[0] <= sp[1] ? 1.0 : 0.0; break;
        case X_AND: --sp; *sp = sp[0] != 0.0 && sp[1] != 0.0 ? 1.0 : 0.0; break;
        case X_OR: --sp; *sp = sp[0] != 0.0 || sp[1] != 0.0 ? 1.0 : 0.0; break;
        default: return false;
        }
    }
}

const double* CFuncTerm::Evaluate(const CFuncVars& vars)
{
    return Evaluate(vars.m_dValue, vars.m_pProject);
}

const double* CFuncTerm::Evaluate(const double* pSlots, CProject* pProject)
{
    if (!m_bDepsValid)
        UpdateDependencies();
    const unsigned nChain = Hash(pSlots);
    for (SCacheEntry* pEntry = m_pBuckets[nChain]; pEntry; pEntry = pEntry->m_pNext) {
        bool bMatch = true;
        for (unsigned k = 0; k < m_nKeyCount; ++k) {
            const unsigned i = m_nKeySlots[k];
            if (pEntry->m_dKey[i] != pSlots[i]) {
                bMatch = false;
                break;
            }
        }
        if (bMatch) {
            ++m_nHits;
            return pEntry->m_pValues;
        }
    }
    double stack[FUNC_STACK];
    bool bDefined = false;
    if (s_nDepth < FUNC_MAX_DEPTH) {
        ++s_nDepth;
        bDefined = Run(pSlots, pProject, stack);
        --s_nDepth;
    }
    return Store(nChain, pSlots, bDefined ? stack : nullptr);
}

unsigned CFuncTerm::Hash(const double* pSlots) const
{
    uint32_t nCrc = 0;
    for (unsigned k = 0; k < m_nKeyCount; ++k)
        nCrc = g_CacheCrc.UpdateDouble(nCrc, pSlots[m_nKeySlots[k]]);
    return nCrc & (CACHE_BUCKETS - 1);
}

const double* CFuncTerm::Store(unsigned nChain, const double* pSlots, const double* pValues)
{
    if (++m_nItems >= CACHE_LIMIT)
        Invalidate();  // the entry below is then stored without being counted
    const bool bDefined = pValues && m_nValues != 0;
    const size_t nBytes = sizeof(SCacheEntry) + (bDefined ? m_nValues * sizeof(double) : 0);
    auto* pEntry = static_cast<SCacheEntry*>(m_Arena.Allocate(nBytes));
    for (unsigned i = 0; i < FUNC_NSLOTS; ++i)
        pEntry->m_dKey[i] = m_bDepVar[i] ? pSlots[i] : 0.0;
    pEntry->m_pValues = nullptr;
    if (bDefined) {
        pEntry->m_pValues = reinterpret_cast<double*>(pEntry + 1);
        std::memcpy(pEntry->m_pValues, pValues, m_nValues * sizeof(double));
    }
    pEntry->m_pNext = m_pBuckets[nChain];
    m_pBuckets[nChain] = pEntry;
    ++m_nMisses;
    return pEntry->m_pValues;
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
    m_nKeyCount = 0;
    for (unsigned i = 0; i < FUNC_NSLOTS; ++i)
        if (m_bDepVar[i])
            m_nKeySlots[m_nKeyCount++] = static_cast<uint8_t>(i);
}

void CFuncTerm::Invalidate()
{
    std::memset(m_pBuckets, 0, sizeof m_pBuckets);
    m_Arena.Reset();
    m_nItems = 0;
    m_bDepsValid = false;
}

std::string CFuncTerm::GetStatistics() const
{
    unsigned nPeak = 0;
    unsigned nTotal = 0;
    for (const SCacheEntry* pHead : m_pBuckets) {
        unsigned nLength = 0;
        for (const SCacheEntry* p = pHead; p; p = p->m_pNext)
            ++nLength;
        nPeak = nLength > nPeak ? nLength : nPeak;
        nTotal += nLength;
    }
    char szText[256];
    std::snprintf(szText, sizeof szText, "%u hits\n%u misses\n%u items\n%u peak hash usage\n%3.1f avg hash usage\n",
                  m_nHits, m_nMisses, m_nItems, nPeak, nTotal * 0.0009765625);
    return szText;
}

void CFuncTerm::GetStatistics(char* pszBuffer, size_t nSize) const
{
    if (nSize)
        std::snprintf(pszBuffer, nSize, "%s", GetStatistics().c_str());
}

// ---------------------------------------------------------------------------------------------
// Listing

namespace {
void ListItem(const CFuncNode* pNode, std::string& text, long nRoom);

// Lists a code list at the end of text, with nRoom characters of room from where it starts. The
// next item follows only while more than 80 characters of room would remain after the text so far.
void ListNodes(const CFuncNode* pNode, std::string& text, long nRoom)
{
    const size_t nStart = text.size();
    for (; pNode; pNode = pNode->m_pNext) {
        const long nUsed = static_cast<long>(text.size() - nStart);
        ListItem(pNode, text, nRoom - nUsed);
        const long nLength = static_cast<long>(text.size() - nStart);
        if (!(pNode->m_pNext && nRoom > nLength + 80))
            break;
    }
}

void ListItem(const CFuncNode* pNode, std::string& text, long nRoom)
{
    char szItem[64];
    switch (pNode->m_nOp) {
    case OP_CONST:
        std::snprintf(szItem, sizeof szItem, "%g ", pNode->m_dConst);
        break;
    case OP_VAR:
        std::snprintf(szItem, sizeof szItem, "%c ", "xuvabcd"[pNode->m_nArg % FUNC_NSLOTS]);
        break;
    case OP_REF:
        std::snprintf(szItem, sizeof szItem, "f%u[%u] ", pNode->m_nArg / 10, pNode->m_nArg % 10);
        break;
    case OP_COND: {
        const size_t nStart = text.size();
        text += "?[";
        ListNodes(pNode->m_pThen, text, nRoom - static_cast<long>(text.size() - nStart));
        text.back() = ']';
        text += " :[";
        ListNodes(pNode->m_pElse, text, nRoom - static_cast<long>(text.size() - nStart));
        text.back() = ']';
        text += ' ';
        return;
    }
    default:
        std::snprintf(szItem, sizeof szItem, "%s",
                      pNode->m_nOp < OP_COUNT && g_OpcodeInfo[pNode->m_nOp].m_pszItem ? g_OpcodeInfo[pNode->m_nOp].m_pszItem
                                                                                    : "??? ");
        break;
    }
    text += szItem;
}
}  // namespace

std::string CFuncTerm::GetListing(size_t nRoom) const
{
    std::string text;
    if (m_pCode)
        ListNodes(m_pCode, text, static_cast<long>(nRoom));
    return text;
}

void CFuncTerm::GetListing(char* pszBuffer, size_t nSize) const
{
    if (!nSize)
        return;
    // The room rule keeps a sane listing well inside the buffer; a pathological nesting of
    // conditionals is cut at the buffer's end rather than written past it.
    std::snprintf(pszBuffer, nSize, "%s", GetListing(nSize).c_str());
}
