#include "expr/CFuncTerm.h"

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>

#include "expr/CCrcGenerator.h"
#include "expr/CFuncCompiler.h"
#include "expr/CFuncExec.h"
#include "expr/CFuncOps.h"
#include "expr/CFuncRandom.h"
#include "expr/COpcode.h"
#include "project/CProject.h"
#include "view/CFuncVars.h"

unsigned CFuncTerm::s_nDepth = 0;
double CFuncTerm::s_dRandKey = 0.0;
double CFuncTerm::s_dRandValue = 0.0;

CFuncTerm::CFuncTerm(CProject* pProject, const char* pszText)
    : m_pszText(pszText ? pszText : ""), m_pProject(pProject)
{
    if (!m_pszText.empty()) {
        CFuncCompiler compiler(*this, m_pszText.c_str());
        compiler.Compile();
    }
    BuildProgram();  // a term without code gets a program that ends at once
}

CFuncTerm::~CFuncTerm()
{
    CFuncNode::ReleaseList(m_pCode);
}

// ---------------------------------------------------------------------------------------------
// Flat program
//
// The code list is read into expression trees, pure constant parts are folded (with the very
// functions a run uses, and only where they are defined), and the trees are emitted with fused
// instructions. Nothing that can be observed is reordered: an operand is moved behind the other
// one only if it is a constant or a slot, which can neither fail nor have an effect, so every
// reference, random draw and failure happens in the order of the code list. Addition and
// multiplication are commutative in IEEE arithmetic, a division by a power of two is the
// multiplication by its reciprocal, and a < b is b > a, all to the bit.

namespace {
bool IsUnary(uint32_t nOp) { return (nOp >= OP_SIN && nOp <= OP_FRAC) || nOp == OP_ABS; }
bool IsBinary(uint32_t nOp) { return (nOp >= OP_ADD && nOp <= OP_POW) || (nOp >= OP_GT && nOp <= OP_LE) || nOp == OP_AND || nOp == OP_OR; }
bool IsArithmetic(uint32_t nOp) { return nOp >= OP_ADD && nOp <= OP_DIV; }
bool IsComparison(uint32_t nOp) { return nOp >= OP_GT && nOp <= OP_LE; }

// The instruction of a unary opcode on the top; its slot form is the next one.
uint8_t UnaryExec(uint32_t nOp)
{
    switch (nOp) {
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
    default: return X_ABS;
    }
}

// The plain instruction of a binary opcode.
uint8_t BinaryExec(uint32_t nOp)
{
    switch (nOp) {
    case OP_ADD: return X_ADD;
    case OP_SUB: return X_SUB;
    case OP_MUL: return X_MUL;
    case OP_DIV: return X_DIV;
    case OP_POW: return X_POW;
    case OP_GT: return X_GT;
    case OP_LT: return X_LT;
    case OP_EQ: return X_EQ;
    case OP_NE: return X_NE;
    case OP_GE: return X_GE;
    case OP_LE: return X_LE;
    case OP_AND: return X_AND;
    default: return X_OR;
    }
}

// The first of the four fused forms (C, V, VC, VV) of an arithmetic opcode.
uint8_t ArithExec(uint32_t nOp)
{
    switch (nOp) {
    case OP_ADD: return X_ADDC;
    case OP_SUB: return X_SUBC;
    case OP_MUL: return X_MULC;
    default: return X_DIVC;
    }
}

// The first of the three jump forms (plain, C, VC) of a comparison.
uint8_t JumpExec(uint32_t nOp)
{
    switch (nOp) {
    case OP_GT: return X_JF_GT;
    case OP_LT: return X_JF_LT;
    case OP_EQ: return X_JF_EQ;
    case OP_NE: return X_JF_NE;
    case OP_GE: return X_JF_GE;
    default: return X_JF_LE;
    }
}

// The comparison with its operands exchanged: a < b is b > a.
uint32_t Mirrored(uint32_t nOp)
{
    switch (nOp) {
    case OP_GT: return OP_LT;
    case OP_LT: return OP_GT;
    case OP_GE: return OP_LE;
    case OP_LE: return OP_GE;
    default: return nOp;  // = and != are symmetric
    }
}

// c = +-2^k with 1/c a normal number too: x / c is then x * (1/c) to the bit.
bool IsPowerOfTwo(double c)
{
    int nExponent;
    const double m = std::frexp(c, &nExponent);
    return (m == 0.5 || m == -0.5) && std::isnormal(c) && std::isnormal(1.0 / c);
}

// The value of an operation on constants, exactly as a run computes it; false where undefined.
bool FoldUnary(uint32_t nOp, double a, double& r)
{
    using namespace FuncOps;
    switch (nOp) {
    case OP_SIN: return Sin(a, r);
    case OP_COS: return Cos(a, r);
    case OP_TAN: return Tan(a, r);
    case OP_ASIN: return Asin(a, r);
    case OP_ACOS: return Acos(a, r);
    case OP_ATAN: return Atan(a, r);
    case OP_LN: return Ln(a, r);
    case OP_LOG10: return Log10(a, r);
    case OP_EXP: return Exp(a, r);
    case OP_INT: return Int(a, r);
    case OP_FRAC: return Frac(a, r);
    case OP_ABS: return Abs(a, r);
    default: return false;
    }
}

bool FoldBinary(uint32_t nOp, double a, double b, double& r)
{
    using namespace FuncOps;
    switch (nOp) {
    case OP_ADD: return Add(a, b, r);
    case OP_SUB: return Sub(a, b, r);
    case OP_MUL: return Mul(a, b, r);
    case OP_DIV: return Div(a, b, r);
    case OP_POW: return PowConst<false>(a, b, r);  // a constant exponent compiles so
    case OP_GT: r = a > b ? 1.0 : 0.0; return true;
    case OP_LT: r = a < b ? 1.0 : 0.0; return true;
    case OP_EQ: r = a == b ? 1.0 : 0.0; return true;
    case OP_NE: r = a != b ? 1.0 : 0.0; return true;
    case OP_GE: r = a >= b ? 1.0 : 0.0; return true;
    case OP_LE: r = a <= b ? 1.0 : 0.0; return true;
    case OP_AND: r = a != 0.0 && b != 0.0 ? 1.0 : 0.0; return true;
    case OP_OR: r = a != 0.0 || b != 0.0 ? 1.0 : 0.0; return true;
    default: return false;
    }
}

constexpr unsigned MAX_TREE_DEPTH = 256;  // deeper formulas are emitted node by node
}  // namespace

class CFuncTerm::CProgramBuilder {
public:
    explicit CProgramBuilder(CFuncTerm& term) : m_Term(term), m_Program(term.m_Program) {}

    void Build()
    {
        m_Program.clear();
        std::vector<STree*> trees;
        if (m_Term.m_pCode && Trees(m_Term.m_pCode, trees) && trees.size() == m_Term.m_nValues &&
            m_nMaxDepth <= MAX_TREE_DEPTH) {
            for (STree* pTree : trees) {
                Fold(pTree);
                Emit(pTree);
            }
        } else {
            m_Program.clear();
            EmitList(m_Term.m_pCode);
        }
        Add(m_Term.m_nValues == 1 ? X_END1 : X_ENDN);
        // A jump to the end is the end.
        for (SInstr& instr : m_Program)
            if (instr.m_nOp == X_JMP && (m_Program[instr.m_nJump].m_nOp == X_END1 || m_Program[instr.m_nJump].m_nOp == X_ENDN))
                instr = m_Program[instr.m_nJump];
    }

private:
    struct STree {
        uint32_t m_nOp;
        uint32_t m_nArg;
        double m_dConst;
        unsigned m_nKids;
        STree* m_pKids[4];
        unsigned m_nDepth;
    };

    static bool IsConst(const STree* p) { return p->m_nOp == OP_CONST; }
    static bool IsVar(const STree* p) { return p->m_nOp == OP_VAR; }
    static bool IsLeaf(const STree* p) { return IsConst(p) || IsVar(p); }  // cannot fail, no effect

    // Reads a code list into trees on the stack; false if it is not well formed.
    bool Trees(const CFuncNode* pNode, std::vector<STree*>& stack)
    {
        for (; pNode; pNode = pNode->m_pNext) {
            const uint32_t nOp = pNode->m_nOp;
            unsigned nKids;
            if (nOp == OP_CONST || nOp == OP_VAR || nOp == OP_RANDOM || nOp == OP_RAND || nOp == OP_UNDEF)
                nKids = 0;
            else if (nOp == OP_REF)
                nKids = pNode->m_nArg % 10;
            else if (nOp == OP_COND || IsUnary(nOp))
                nKids = 1;
            else if (IsBinary(nOp))
                nKids = 2;
            else
                return false;
            if (nKids > 4 || stack.size() < nKids)
                return false;
            m_Nodes.push_back(STree{nOp, pNode->m_nArg, pNode->m_dConst, nKids, {}, 1});
            STree* pTree = &m_Nodes.back();
            for (unsigned i = 0; i < nKids; ++i)
                pTree->m_pKids[i] = stack[stack.size() - nKids + i];
            stack.resize(stack.size() - nKids);
            if (nOp == OP_COND) {
                std::vector<STree*> branch;
                if (!Trees(pNode->m_pThen, branch) || branch.size() != 1)
                    return false;
                pTree->m_pKids[1] = branch[0];
                branch.clear();
                if (!Trees(pNode->m_pElse, branch) || branch.size() != 1)
                    return false;
                pTree->m_pKids[2] = branch[0];
                pTree->m_nKids = 3;
            }
            for (unsigned i = 0; i < pTree->m_nKids; ++i)
                pTree->m_nDepth = std::max(pTree->m_nDepth, pTree->m_pKids[i]->m_nDepth + 1);
            pTree->m_nArg = nOp == OP_REF || nOp == OP_VAR ? pNode->m_nArg : 0;
            m_nMaxDepth = std::max(m_nMaxDepth, pTree->m_nDepth);
            stack.push_back(pTree);
        }
        return true;
    }

    // Folds the pure constant parts where they are defined; a conditional with a constant
    // condition becomes its branch.
    void Fold(STree* p)
    {
        for (unsigned i = 0; i < p->m_nKids; ++i)
            Fold(p->m_pKids[i]);
        double r;
        if (p->m_nOp == OP_COND) {
            if (IsConst(p->m_pKids[0]))
                *p = *p->m_pKids[p->m_pKids[0]->m_dConst != 0.0 ? 1 : 2];
        } else if (IsUnary(p->m_nOp)) {
            if (IsConst(p->m_pKids[0]) && FoldUnary(p->m_nOp, p->m_pKids[0]->m_dConst, r))
                *p = STree{OP_CONST, 0, r, 0, {}, 1};
        } else if (IsBinary(p->m_nOp)) {
            if (IsConst(p->m_pKids[0]) && IsConst(p->m_pKids[1]) &&
                FoldBinary(p->m_nOp, p->m_pKids[0]->m_dConst, p->m_pKids[1]->m_dConst, r))
                *p = STree{OP_CONST, 0, r, 0, {}, 1};
        }
    }

    size_t Add(uint8_t nOp, unsigned nSlot = 0, unsigned nSlot2 = 0, double dConst = 0.0)
    {
        m_Program.push_back({nOp, static_cast<uint8_t>(nSlot), static_cast<uint8_t>(nSlot2), 0, 0, dConst});
        return m_Program.size() - 1;
    }
    void Land(size_t nJump) { m_Program[nJump].m_nJump = static_cast<int32_t>(m_Program.size()); }

    // Emits code that pushes the value of p.
    void Emit(const STree* p)
    {
        const uint32_t nOp = p->m_nOp;
        switch (nOp) {
        case OP_CONST: Add(X_CONST, 0, 0, p->m_dConst); return;
        case OP_VAR: Add(X_VAR, p->m_nArg); return;
        case OP_RANDOM: Add(X_RANDOM); return;
        case OP_RAND: Add(X_RAND); return;
        case OP_UNDEF: Add(X_UNDEF); return;
        case OP_REF:
            for (unsigned i = 0; i < p->m_nKids; ++i)
                Emit(p->m_pKids[i]);
            Add(X_REF, p->m_nArg % 10, p->m_nArg / 10);
            return;
        case OP_COND: {
            const size_t nElse = EmitJumpUnless(p->m_pKids[0]);
            Emit(p->m_pKids[1]);
            const size_t nEnd = Add(X_JMP);
            Land(nElse);
            Emit(p->m_pKids[2]);
            Land(nEnd);
            return;
        }
        default:
            break;
        }
        if (IsUnary(nOp)) {
            const STree* pArg = p->m_pKids[0];
            if (IsVar(pArg)) {
                Add(static_cast<uint8_t>(UnaryExec(nOp) + 1), pArg->m_nArg);
            } else {
                Emit(pArg);
                Add(UnaryExec(nOp));
            }
            return;
        }
        const STree* pLeft = p->m_pKids[0];
        const STree* pRight = p->m_pKids[1];
        if (nOp == OP_POW && IsConst(pRight)) {
            const double c = pRight->m_dConst;
            const uint8_t nExec = c == 2.0 ? X_POW2 : c == 3.0 ? X_POW3 : c == 0.5 ? X_SQRT : X_POWC;
            if (IsVar(pLeft)) {
                Add(static_cast<uint8_t>(nExec + 1), pLeft->m_nArg, 0, c);
            } else {
                Emit(pLeft);
                Add(nExec, 0, 0, c);
            }
            return;
        }
        if (IsArithmetic(nOp)) {
            const uint8_t nBase = ArithExec(nOp);  // +0 C, +1 V, +2 VC, +3 VV
            if (IsConst(pRight)) {
                double c = pRight->m_dConst;
                uint8_t nExec = nBase;
                if (nOp == OP_DIV && IsPowerOfTwo(c)) {
                    nExec = X_MULC;
                    c = 1.0 / c;
                }
                if (IsVar(pLeft)) {
                    Add(static_cast<uint8_t>(nExec + 2), pLeft->m_nArg, 0, c);
                } else {
                    Emit(pLeft);
                    Add(nExec, 0, 0, c);
                }
                return;
            }
            if (IsVar(pRight)) {
                if (IsVar(pLeft)) {
                    Add(static_cast<uint8_t>(nBase + 3), pLeft->m_nArg, pRight->m_nArg);
                } else if (IsConst(pLeft)) {  // c op slot
                    const uint8_t nExec = nOp == OP_SUB ? uint8_t(X_RSUBVC) : nOp == OP_DIV ? uint8_t(X_RDIVVC) : uint8_t(nBase + 2);
                    Add(nExec, pRight->m_nArg, 0, pLeft->m_dConst);
                } else {
                    Emit(pLeft);
                    Add(static_cast<uint8_t>(nBase + 1), pRight->m_nArg);
                }
                return;
            }
            if (IsLeaf(pLeft)) {  // leaf op expression: the expression first, then the leaf
                Emit(pRight);
                const bool bConst = IsConst(pLeft);
                uint8_t nExec;
                if (nOp == OP_SUB)
                    nExec = bConst ? X_RSUBC : X_RSUBV;
                else if (nOp == OP_DIV)
                    nExec = bConst ? X_RDIVC : X_RDIVV;
                else
                    nExec = static_cast<uint8_t>(nBase + (bConst ? 0 : 1));
                Add(nExec, bConst ? 0 : pLeft->m_nArg, 0, bConst ? pLeft->m_dConst : 0.0);
                return;
            }
        }
        Emit(pLeft);
        Emit(pRight);
        Add(BinaryExec(nOp));
    }

    // Emits the condition of a conditional and a jump taken where it is false (0); returns the
    // jump's index, to be landed at the else-branch.
    size_t EmitJumpUnless(const STree* pCond)
    {
        if (!IsComparison(pCond->m_nOp)) {
            Emit(pCond);
            return Add(X_JZ);
        }
        const STree* pLeft = pCond->m_pKids[0];
        const STree* pRight = pCond->m_pKids[1];
        if (IsVar(pLeft) && IsConst(pRight))
            return Add(static_cast<uint8_t>(JumpExec(pCond->m_nOp) + 2), pLeft->m_nArg, 0, pRight->m_dConst);
        if (IsConst(pLeft) && IsVar(pRight))
            return Add(static_cast<uint8_t>(JumpExec(Mirrored(pCond->m_nOp)) + 2), pRight->m_nArg, 0, pLeft->m_dConst);
        Emit(pLeft);
        if (IsConst(pRight))
            return Add(static_cast<uint8_t>(JumpExec(pCond->m_nOp) + 1), 0, 0, pRight->m_dConst);
        Emit(pRight);
        return Add(JumpExec(pCond->m_nOp));
    }

    // Node by node, for formulas too deep for the trees: only an operand directly before its
    // operation is fused.
    void EmitList(const CFuncNode* pNode)
    {
        for (; pNode; pNode = pNode->m_pNext) {
            const CFuncNode* pNext = pNode->m_pNext;
            const uint32_t nOp = pNode->m_nOp;
            const uint32_t nNext = pNext ? pNext->m_nOp : OP_COUNT;
            switch (nOp) {
            case OP_CONST:
                if (IsArithmetic(nNext)) {
                    Add(ArithExec(nNext), 0, 0, pNode->m_dConst);
                    pNode = pNext;
                } else if (nNext == OP_POW) {
                    const double c = pNode->m_dConst;
                    Add(c == 2.0 ? X_POW2 : c == 3.0 ? X_POW3 : c == 0.5 ? X_SQRT : X_POWC, 0, 0, c);
                    pNode = pNext;
                } else {
                    Add(X_CONST, 0, 0, pNode->m_dConst);
                }
                break;
            case OP_VAR:
                if (IsArithmetic(nNext)) {
                    Add(static_cast<uint8_t>(ArithExec(nNext) + 1), pNode->m_nArg);
                    pNode = pNext;
                } else {
                    Add(X_VAR, pNode->m_nArg);
                }
                break;
            case OP_REF: Add(X_REF, pNode->m_nArg % 10, pNode->m_nArg / 10); break;
            case OP_RANDOM: Add(X_RANDOM); break;
            case OP_RAND: Add(X_RAND); break;
            case OP_UNDEF: Add(X_UNDEF); break;
            case OP_COND: {
                const size_t nElse = Add(X_JZ);
                EmitList(pNode->m_pThen);
                const size_t nEnd = Add(X_JMP);
                Land(nElse);
                EmitList(pNode->m_pElse);
                Land(nEnd);
                break;
            }
            default:
                if (IsUnary(nOp))
                    Add(UnaryExec(nOp));
                else if (IsBinary(nOp))
                    Add(BinaryExec(nOp));
                else
                    Add(X_UNDEF);
                break;
            }
        }
    }

    CFuncTerm& m_Term;
    std::vector<SInstr>& m_Program;
    std::deque<STree> m_Nodes;
    unsigned m_nMaxDepth = 0;
};

void CFuncTerm::BuildProgram()
{
    CProgramBuilder(*this).Build();
}

// ---------------------------------------------------------------------------------------------
// Look-up table (see SIndexSlot)

namespace {
constexpr uint64_t GOLDEN = 0x9E3779B97F4A7C15ull;
constexpr uint64_t ABS_BITS = 0x7FFFFFFFFFFFFFFFull;
constexpr uint64_t INF_BITS = 0x7FF0000000000000ull;

// The table position of a key is the top bits of this. The shift first breaks up arithmetic
// progressions (a sweep's bit patterns are nearly one), which a multiplication alone would map to
// evenly spaced positions that collide in clusters for some steps.
inline uint64_t Spread(uint64_t n) { return (n ^ (n >> 29)) * GOLDEN; }

// Neither 0 (of either sign) nor NaN: then equal as numbers is equal in bits.
inline bool Plain(uint64_t n) { return (n & ABS_BITS) - 1 < INF_BITS; }
}  // namespace

inline bool CFuncTerm::IndexKey(const double* pSlots, uint64_t& nKey) const
{
    if (m_nKeyCount == 0)
        return false;
    uint64_t n = FuncOps::Bits(pSlots[m_nKeySlots[0]]);
    bool bPlain = Plain(n);
    for (unsigned k = 1; k < m_nKeyCount; ++k) {
        const uint64_t b = FuncOps::Bits(pSlots[m_nKeySlots[k]]);
        bPlain = bPlain && Plain(b);
        n = ((n * GOLDEN) >> 29 | (n * GOLDEN) << 35) ^ b;
    }
    nKey = n;
    return bPlain;
}

inline CFuncTerm::SCacheEntry* CFuncTerm::IndexFind(uint64_t nKey, const double* pSlots) const
{
    if (m_nIndexCount == 0)
        return nullptr;
    const unsigned nWrap = m_nIndexSize - 1;
    for (unsigned i = static_cast<unsigned>(Spread(nKey) >> m_nIndexShift);; i = (i + 1) & nWrap) {
        const SIndexSlot& slot = m_pIndex[i];
        if (!slot.m_pEntry)
            return nullptr;
        if (slot.m_nKey != nKey)
            continue;
        if (m_nKeyCount == 1)
            return slot.m_pEntry;
        bool bSame = true;
        for (unsigned k = 0; k < m_nKeyCount; ++k) {
            const unsigned s = m_nKeySlots[k];
            bSame = bSame && FuncOps::Bits(slot.m_pEntry->m_dKey[s]) == FuncOps::Bits(pSlots[s]);
        }
        if (bSame)
            return slot.m_pEntry;
    }
}

// The common case in few instructions: dependency flags valid, one key slot, whose value dKey is
// plain. Returns 1 for a hit (counted; pValues set), 0 where the table says there is no entry
// (nKey set: a miss), -1 where the table cannot answer (the general way).
KX_INLINE int CFuncTerm::Probe(double dKey, const double*& pValues, uint64_t& nKey)
{
    if (!(m_bDepsValid && m_bIndexOn && m_nKeyCount == 1))
        return -1;
    const uint64_t n = FuncOps::Bits(dKey);
    if (!Plain(n))
        return -1;
    nKey = n;
    if (m_nIndexCount == 0)
        return 0;
    const unsigned nWrap = m_nIndexSize - 1;
    for (unsigned i = static_cast<unsigned>(Spread(n) >> m_nIndexShift);; i = (i + 1) & nWrap) {
        const SIndexSlot& slot = m_pIndex[i];
        if (!slot.m_pEntry)
            return 0;
        if (slot.m_nKey == n) {
            ++m_nHits;
            pValues = slot.m_pEntry->m_pValues;
            return 1;
        }
    }
}

KX_INLINE const double* CFuncTerm::EvaluateInline(const double* pSlots, CProject* pProject)
{
    const double* pValues;
    uint64_t nKey;
    switch (Probe(pSlots[m_nKeySlots[0]], pValues, nKey)) {
    case 1: return pValues;
    case 0: return EvaluateMiss(pSlots, pProject, true, nKey);
    default: return EvaluateSlow(pSlots, pProject);
    }
}

// ---------------------------------------------------------------------------------------------
// Evaluator

#define KX_RUN_NAME RunPlain
#define KX_RUN_FMA false
#include "expr/CFuncTermRun.inc"
#undef KX_RUN_NAME
#undef KX_RUN_FMA

#if defined(__x86_64__) || defined(__i386__)
#pragma GCC push_options
#pragma GCC target("fma")
#define KX_RUN_NAME RunFma
#define KX_RUN_FMA true
#include "expr/CFuncTermRun.inc"
#undef KX_RUN_NAME
#undef KX_RUN_FMA
#pragma GCC pop_options

namespace {
const bool g_bFma = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("fma") != 0;
}();
}  // namespace
#else
bool CFuncTerm::RunFma(const SInstr* pCode, unsigned nValues, const double* s, CProject* pProject, double* pStack)
{
    return RunPlain(pCode, nValues, s, pProject, pStack);
}
namespace {
const bool g_bFma = false;
}
#endif

inline bool CFuncTerm::RunProgram(const SInstr* pCode, unsigned nValues, const double* s, CProject* pProject,
                                  double* pStack)
{
    return g_bFma ? RunFma(pCode, nValues, s, pProject, pStack) : RunPlain(pCode, nValues, s, pProject, pStack);
}

bool CFuncTerm::Run(const double* pSlots, CProject* pProject, double* pStack) const
{
    return RunProgram(m_Program.data(), m_nValues, pSlots, pProject, pStack);
}

const double* CFuncTerm::Evaluate(const CFuncVars& vars)
{
    return Evaluate(vars.m_dValue, vars.m_pProject);
}

const double* CFuncTerm::Evaluate(const double* pSlots, CProject* pProject)
{
    return EvaluateInline(pSlots, pProject);
}

// Evaluate in full, the look-up table standing in for the chain where it can.
__attribute__((noinline)) const double* CFuncTerm::EvaluateSlow(const double* pSlots, CProject* pProject)
{
    if (!m_bDepsValid)
        UpdateDependencies();
    uint64_t nKey;
    if (m_bIndexOn && IndexKey(pSlots, nKey)) {
        if (const SCacheEntry* pEntry = IndexFind(nKey, pSlots)) {
            ++m_nHits;
            return pEntry->m_pValues;
        }
        return EvaluateMiss(pSlots, pProject, true, nKey);
    }
    const unsigned nChain = Hash(pSlots);
    for (const SCacheEntry* pEntry = m_pBuckets[nChain]; pEntry; pEntry = pEntry->m_pNext) {
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
    return EvaluateMiss(pSlots, pProject, false, 0);
}

// A miss (the flags are valid): run, then store at the chain of the current key.
__attribute__((noinline)) const double* CFuncTerm::EvaluateMiss(const double* pSlots, CProject* pProject, bool bIndexed,
                                                                uint64_t nKey)
{
    const unsigned nMask = m_nKeyMask;
    const unsigned nChain = Hash(pSlots);
    double stack[FUNC_STACK];
    bool bDefined = false;
    // A walk whose repeated additions overflowed hands in an infinite x (or NaN from inf - inf):
    // no such value may reach a result, so the term is undefined there.
    bool bFinite = true;
    for (unsigned k = 0; k < m_nKeyCount; ++k)
        bFinite = bFinite && std::isfinite(pSlots[m_nKeySlots[k]]);
    if (bFinite && s_nDepth < FUNC_MAX_DEPTH) {
        ++s_nDepth;
        bDefined = RunProgram(m_Program.data(), m_nValues, pSlots, pProject, stack);
        --s_nDepth;
    }
    return Store(nChain, nMask, pSlots, bDefined ? stack : nullptr, bIndexed, nKey);
}

unsigned CFuncTerm::Hash(const double* pSlots) const
{
    uint32_t nCrc = 0;
    for (unsigned k = 0; k < m_nKeyCount; ++k)
        nCrc = g_CacheCrc8.UpdateWord(nCrc, FuncOps::Bits(pSlots[m_nKeySlots[k]]));
    return nCrc & (CACHE_BUCKETS - 1);
}

// nMask: the key slots that nChain (and nKey, if bIndexed) were computed with.
const double* CFuncTerm::Store(unsigned nChain, unsigned nMask, const double* pSlots, const double* pValues,
                               bool bIndexed, uint64_t nKey)
{
    if (++m_nItems >= CACHE_LIMIT)
        Invalidate();  // the entry below is then stored without being counted
    const bool bDefined = pValues && m_nValues != 0;
    const size_t nBytes = sizeof(SCacheEntry) + (bDefined ? m_nValues * sizeof(double) : 0);
    auto* pEntry = static_cast<SCacheEntry*>(m_Arena.Allocate(nBytes));
    const unsigned nDep = static_cast<unsigned>(m_bDepVar.to_ulong());
    for (unsigned i = 0; i < FUNC_NSLOTS; ++i)
        pEntry->m_dKey[i] = (nDep >> i) & 1 ? pSlots[i] : 0.0;
    pEntry->m_pValues = nullptr;
    if (bDefined) {
        pEntry->m_pValues = reinterpret_cast<double*>(pEntry + 1);
        if (m_nValues == 1)
            pEntry->m_pValues[0] = pValues[0];
        else
            std::memcpy(pEntry->m_pValues, pValues, m_nValues * sizeof(double));
    }
    if (!m_pBuckets[nChain] && m_nUsedCount < CACHE_BUCKETS)
        m_nUsedChains[m_nUsedCount++] = static_cast<uint16_t>(nChain);
    pEntry->m_pNext = m_pBuckets[nChain];
    m_pBuckets[nChain] = pEntry;
    ++m_nMisses;
    m_bCacheEmpty = false;
    if (m_bIndexOn) {
        if (nMask != m_nKeyMask || nMask != m_nIndexMask)
            m_bIndexOn = false;  // the key slots changed during the run: chains only, until emptied
        else if (bIndexed || IndexKey(pSlots, nKey))  // (the table may have come on during the run)
            IndexInsert(nKey, pEntry);
    }
    return pEntry->m_pValues;
}

void CFuncTerm::IndexInsert(uint64_t nKey, SCacheEntry* pEntry)
{
    if ((m_nIndexCount + 1) * 8 > m_nIndexSize * 5)  // at most 5/8 full
        IndexGrow();
    const unsigned nWrap = m_nIndexSize - 1;
    for (unsigned i = static_cast<unsigned>(Spread(nKey) >> m_nIndexShift);; i = (i + 1) & nWrap) {
        SIndexSlot& slot = m_pIndex[i];
        if (!slot.m_pEntry) {
            slot = {nKey, pEntry};
            ++m_nIndexCount;
            return;
        }
        if (slot.m_nKey != nKey)
            continue;
        bool bSame = true;
        for (unsigned k = 0; k < m_nKeyCount; ++k) {
            const unsigned s = m_nKeySlots[k];
            bSame = bSame && FuncOps::Bits(slot.m_pEntry->m_dKey[s]) == FuncOps::Bits(pEntry->m_dKey[s]);
        }
        if (bSame) {
            slot.m_pEntry = pEntry;  // the newer entry is the one at the head of the chain
            return;
        }
    }
}

void CFuncTerm::IndexGrow()
{
    const unsigned nSize = m_nIndexSize ? 2 * m_nIndexSize : 64;
    unsigned nShift = 64;
    for (unsigned n = nSize; n > 1; n >>= 1)
        --nShift;
    std::unique_ptr<SIndexSlot[]> pOld = std::move(m_pIndex);
    const unsigned nOldSize = m_nIndexSize;
    m_pIndex.reset(new SIndexSlot[nSize]());
    m_nIndexSize = nSize;
    m_nIndexShift = nShift;
    for (unsigned j = 0; j < nOldSize; ++j) {
        if (!pOld[j].m_pEntry)
            continue;
        for (unsigned i = static_cast<unsigned>(Spread(pOld[j].m_nKey) >> nShift);; i = (i + 1) & (nSize - 1)) {
            if (!m_pIndex[i].m_pEntry) {
                m_pIndex[i] = pOld[j];
                break;
            }
        }
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
    m_nKeyCount = 0;
    for (unsigned i = 0; i < FUNC_NSLOTS; ++i)
        if (m_bDepVar[i])
            m_nKeySlots[m_nKeyCount++] = static_cast<uint8_t>(i);
    m_nKeyMask = static_cast<unsigned>(m_bDepVar.to_ulong());
    if (m_nKeyMask != m_nIndexMask) {
        if (m_bCacheEmpty)
            m_nIndexMask = m_nKeyMask;  // the table is empty too
        else
            m_bIndexOn = false;  // entries of the old key slots stay: walk the chains until emptied
    }
}

void CFuncTerm::Invalidate()
{
    if (m_nUsedCount < CACHE_BUCKETS / 8) {
        for (unsigned i = 0; i < m_nUsedCount; ++i)
            m_pBuckets[m_nUsedChains[i]] = nullptr;
    } else {
        std::memset(m_pBuckets, 0, sizeof m_pBuckets);
    }
    m_nUsedCount = 0;
    m_Arena.Reset();
    if (m_nIndexCount) {
        std::memset(static_cast<void*>(m_pIndex.get()), 0, m_nIndexSize * sizeof(SIndexSlot));
        m_nIndexCount = 0;
    }
    m_bIndexOn = true;
    m_bCacheEmpty = true;
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
