#include "expr/CProgramBuilder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "expr/CFuncExec.h"
#include "expr/CFuncOps.h"
#include "expr/COpcode.h"
#include "expr/HugePages.h"

// The code list is read into expression trees, pure constant parts are folded (with the very
// functions a run uses, and only where they are defined), and the trees are emitted with fused
// instructions. Nothing that can be observed is reordered: an operand is moved behind the other
// one only if it is a constant or a slot, which can neither fail nor have an effect, so every
// reference, random draw and failure happens in the order of the code list. Addition and
// multiplication are commutative in IEEE arithmetic, a division by a power of two is the
// multiplication by its reciprocal, and a < b is b > a, all to the bit.

namespace {
bool IsUnary(uint32_t nOp)
{
    return IsFunctionOpcode(nOp);
}
bool IsBinary(uint32_t nOp)
{
    return (nOp >= OP_ADD && nOp <= OP_POW) || (nOp >= OP_GT && nOp <= OP_LE) || nOp == OP_AND || nOp == OP_OR;
}
bool IsArithmetic(uint32_t nOp)
{
    return nOp >= OP_ADD && nOp <= OP_DIV;
}
bool IsComparison(uint32_t nOp)
{
    return nOp >= OP_GT && nOp <= OP_LE;
}

// The instruction of a unary opcode on the top; its slot form is the next one.
uint8_t UnaryExec(uint32_t nOp)
{
    switch (nOp) {
#define KX_UNARY_EXEC(NAME, VALUE, WORD, FN, ITEM)                                                                     \
    case OP_##NAME: return X_##NAME;
        KX_FUNCTION_LIST(KX_UNARY_EXEC)
#undef KX_UNARY_EXEC
    default: return X_UNDEF; // not a function: IsUnary is false
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

// & and | with a slot as the right operand.
uint8_t LogicSlotExec(uint32_t nOp)
{
    return nOp == OP_AND ? X_ANDV : X_ORV;
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
    default: return nOp; // = and != are symmetric
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
    switch (nOp) {
#define KX_FOLD_UNARY(NAME, VALUE, WORD, FN, ITEM)                                                                     \
    case OP_##NAME: return FuncOps::FN(a, r);
        KX_FUNCTION_LIST(KX_FOLD_UNARY)
#undef KX_FOLD_UNARY
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
    case OP_POW: return PowConst<false>(a, b, r); // a constant exponent compiles so
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

// The instructions that read the constant of their word.
bool TakesConstant(uint8_t nOp)
{
    switch (nOp) {
    case X_CONST:
    case X_ADDC:
    case X_ADDVC:
    case X_SUBC:
    case X_SUBVC:
    case X_MULC:
    case X_MULVC:
    case X_DIVC:
    case X_DIVVC:
    case X_RSUBC:
    case X_RSUBVC:
    case X_RDIVC:
    case X_RDIVVC:
    case X_POWC:
    case X_POWCV: return true;
    default: return false;
    }
}

// A comparison's jump with a constant: the constant's place is in the word after it.
bool JumpTakesConstant(uint8_t nOp)
{
    return nOp >= X_JF_GT && nOp <= X_JF_LEVC && (nOp - X_JF_GT) % 3 != 0;
}

constexpr unsigned MAX_TREE_DEPTH = 256; // deeper formulas are emitted node by node
constexpr uint8_t X_DATA = X_COUNT;      // the word after a jump with a constant; never run
} // namespace

size_t CProgramBuilder::Build(const CFuncNode* pCode, uint32_t nValues, std::vector<SInstr>& program, size_t nNodes)
{
    return CProgramBuilder(program).Run(pCode, nValues, nNodes);
}

size_t CProgramBuilder::Run(const CFuncNode* pCode, uint32_t nValues, size_t nNodes)
{
    m_Program.clear();
    // A node becomes at most two words (a conditional its jumps, a comparison's jump with a
    // constant the word of the constant), and the end one more; constants at most one each.
    std::vector<SInstr>().swap(m_Program);
    m_Program.reserve(2 * nNodes + 1);
    AdviseHugePages(m_Program.data(), m_Program.capacity() * sizeof(SInstr));
    std::vector<STree*> trees;
    if (pCode && Trees(pCode, trees) && trees.size() == nValues && m_nMaxDepth <= MAX_TREE_DEPTH) {
        for (STree* pTree : trees) {
            Fold(pTree);
            Emit(pTree);
        }
    } else {
        // Counted first, so that the program is made in its final size rather than copied there:
        // such formulas are long, and their programs megabytes.
        m_Distinct.clear();
        m_Table.clear();
        m_bCount = true;
        m_nCount = 0;
        EmitList(pCode);
        m_bCount = false;
        std::vector<SInstr>().swap(m_Program);
        m_Program.reserve(m_nCount + 1 + m_Distinct.size()); // and the end
        AdviseHugePages(m_Program.data(), m_Program.capacity() * sizeof(SInstr));
        m_nInstructions = 0;
        EmitList(pCode);
    }
    m_Nodes.clear();
    // A formula that is a derivative alone ends with it, and it yields every value of it.
    if (nValues == 1 && !m_Program.empty() && m_Program.back().m_nOp == X_DREF) {
        const CFuncNode* pLast = pCode;
        while (pLast->m_pNext)
            pLast = pLast->m_pNext;
        if (pLast->m_nOp == OP_DERIV)
            m_Program.back().m_nUnused |= DREF_WHOLE;
    }
    Add(nValues == 1 ? X_END1 : X_ENDN);
    // A jump to the end is the end.
    for (SInstr& instr : m_Program)
        if (instr.m_nOp == X_JMP &&
            (m_Program[instr.m_nArg].m_nOp == X_END1 || m_Program[instr.m_nArg].m_nOp == X_ENDN))
            instr = m_Program[instr.m_nArg];
    PlaceConstants();
    return m_nInstructions;
}

void CProgramBuilder::PlaceConstants()
{
    // By their bits, so that 0 and -0 (and NaNs) stay apart; each word that takes a constant
    // holds the index of its value among the distinct ones until now.
    std::vector<uint32_t> order(m_Distinct.size());
    for (uint32_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [this](uint32_t a, uint32_t b) { return m_Distinct[a] < m_Distinct[b]; });
    std::vector<int32_t> place(m_Distinct.size());
    for (size_t i = 0; i < order.size(); ++i)
        place[order[i]] = static_cast<int32_t>(m_Program.size() + i);
    const size_t nWords = m_Program.size() + m_Distinct.size();
    std::vector<SInstr> program;
    if (m_Program.capacity() == nWords) {
        program.swap(m_Program);
    } else {
        program.reserve(nWords);
        AdviseHugePages(program.data(), nWords * sizeof(SInstr));
        program.assign(m_Program.begin(), m_Program.end());
    }
    for (SInstr& instr : program)
        if (TakesConstant(instr.m_nOp) || instr.m_nOp == X_DATA)
            instr.m_nArg = place[static_cast<size_t>(instr.m_nArg)];
    for (const uint32_t nDistinct : order) {
        SInstr& word = program.emplace_back();
        std::memcpy(&word, &m_Distinct[nDistinct], sizeof word);
    }
    // Exactly as long as it is: a long formula's program would otherwise keep up to as much again.
    m_Program.swap(program);
    std::vector<uint64_t>().swap(m_Distinct);
    std::vector<uint32_t>().swap(m_Table);
}

// The index of the constant of these bits among the distinct ones, a new one where it is new. A
// long formula repeats a few values very often: a table finds them without sorting every use.
int32_t CProgramBuilder::ConstantIndex(uint64_t nBits)
{
    if (2 * (m_Distinct.size() + 1) > m_Table.size()) {
        m_Table.assign(std::max<size_t>(64, 2 * m_Table.size()), 0);
        const size_t nMask = m_Table.size() - 1;
        for (size_t i = 0; i < m_Distinct.size(); ++i) {
            size_t nSlot = Hash(m_Distinct[i]) & nMask;
            while (m_Table[nSlot] != 0)
                nSlot = (nSlot + 1) & nMask;
            m_Table[nSlot] = static_cast<uint32_t>(i + 1);
        }
    }
    const size_t nMask = m_Table.size() - 1;
    size_t nSlot = Hash(nBits) & nMask;
    for (; m_Table[nSlot] != 0; nSlot = (nSlot + 1) & nMask)
        if (m_Distinct[m_Table[nSlot] - 1] == nBits)
            return static_cast<int32_t>(m_Table[nSlot] - 1);
    m_Distinct.push_back(nBits);
    m_Table[nSlot] = static_cast<uint32_t>(m_Distinct.size());
    return static_cast<int32_t>(m_Distinct.size() - 1);
}

// Reads a code list into trees on the stack; false if it is not well formed.
bool CProgramBuilder::Trees(const CFuncNode* pNode, std::vector<STree*>& stack)
{
    for (; pNode; pNode = pNode->m_pNext) {
        const uint32_t nOp = pNode->m_nOp;
        unsigned nKids;
        if (nOp == OP_CONST || nOp == OP_VAR || nOp == OP_RANDOM || nOp == OP_RAND || nOp == OP_UNDEF)
            nKids = 0;
        else if (nOp == OP_REF || nOp == OP_DERIV)
            nKids = ReferenceArgCount(pNode->m_nArg);
        else if (nOp == OP_COND || IsUnary(nOp))
            nKids = 1;
        else if (IsBinary(nOp))
            nKids = 2;
        else
            return false;
        if (nKids > 4 || stack.size() < nKids)
            return false;
        // Too deep for the trees' recursion: the list is emitted node by node, so building the
        // rest of the trees would be in vain.
        if (m_nMaxDepth > MAX_TREE_DEPTH)
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
        pTree->m_nArg = nOp == OP_REF || nOp == OP_DERIV || nOp == OP_VAR ? pNode->m_nArg : 0;
        m_nMaxDepth = std::max(m_nMaxDepth, pTree->m_nDepth);
        stack.push_back(pTree);
    }
    return true;
}

// Folds the pure constant parts where they are defined; a conditional with a constant
// condition becomes its branch.
void CProgramBuilder::Fold(STree* p)
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

void CProgramBuilder::EmitApplied(const STree* pArg, uint8_t nExec, uint8_t nFused, double dConst)
{
    if (IsVar(pArg)) {
        Add(static_cast<uint8_t>(nExec + nFused), pArg->m_nArg, 0, dConst);
    } else {
        Emit(pArg);
        Add(nExec, 0, 0, dConst);
    }
}

size_t CProgramBuilder::Add(uint8_t nOp, unsigned nSlot, unsigned nSlot2, double dConst)
{
    if (m_bCount) {
        const size_t nIndex = m_nCount++;
        if (TakesConstant(nOp) || JumpTakesConstant(nOp)) {
            uint64_t nBits;
            std::memcpy(&nBits, &dConst, sizeof nBits);
            ConstantIndex(nBits);
            m_nCount += JumpTakesConstant(nOp);
        }
        return nIndex;
    }
    const size_t nIndex = m_Program.size();
    // Field by field into its place: a word put together beside it first and then copied makes
    // the processor wait for the parts at every instruction.
    SInstr& instr = m_Program.emplace_back();
    instr.m_nOp = nOp;
    instr.m_nSlot = static_cast<uint8_t>(nSlot);
    instr.m_nSlot2 = static_cast<uint8_t>(nSlot2);
    ++m_nInstructions;
    if (TakesConstant(nOp) || JumpTakesConstant(nOp)) {
        uint64_t nBits;
        std::memcpy(&nBits, &dConst, sizeof nBits);
        const int32_t nConstant = ConstantIndex(nBits);
        if (TakesConstant(nOp)) {
            m_Program[nIndex].m_nArg = nConstant;
        } else {
            SInstr& data = m_Program.emplace_back();
            data.m_nOp = X_DATA;
            data.m_nArg = nConstant;
        }
    }
    return nIndex;
}
void CProgramBuilder::AddDerivative(uint32_t nArg)
{
    const size_t nIndex = Add(X_DREF, ReferenceArgCount(nArg), ReferencedFunction(DerivativeReference(nArg)));
    if (!m_bCount)
        m_Program[nIndex].m_nUnused = static_cast<uint8_t>(DerivativeOrder(nArg));
}

void CProgramBuilder::Land(size_t nJump)
{
    if (!m_bCount)
        m_Program[nJump].m_nArg = static_cast<int32_t>(m_Program.size());
}

// Emits code that pushes the value of p.
void CProgramBuilder::Emit(const STree* p)
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
        Add(X_REF, ReferenceArgCount(p->m_nArg), ReferencedFunction(p->m_nArg));
        return;
    case OP_DERIV:
        for (unsigned i = 0; i < p->m_nKids; ++i)
            Emit(p->m_pKids[i]);
        AddDerivative(p->m_nArg);
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
    default: break;
    }
    if (IsUnary(nOp)) {
        EmitApplied(p->m_pKids[0], UnaryExec(nOp), 1);
        return;
    }
    const STree* pLeft = p->m_pKids[0];
    const STree* pRight = p->m_pKids[1];
    if (nOp == OP_POW && IsConst(pRight)) {
        const double c = pRight->m_dConst;
        EmitApplied(pLeft, c == 2.0 ? X_POW2 : c == 3.0 ? X_POW3 : c == 0.5 ? X_SQRT : X_POWC, 1, c);
        return;
    }
    if (IsArithmetic(nOp)) {
        const uint8_t nBase = ArithExec(nOp); // +0 C, +1 V, +2 VC, +3 VV
        if (IsConst(pRight)) {
            double c = pRight->m_dConst;
            uint8_t nExec = nBase;
            if (nOp == OP_DIV && IsPowerOfTwo(c)) {
                nExec = X_MULC;
                c = 1.0 / c;
            }
            EmitApplied(pLeft, nExec, 2, c);
            return;
        }
        if (IsVar(pRight)) {
            if (IsVar(pLeft)) {
                Add(static_cast<uint8_t>(nBase + 3), pLeft->m_nArg, pRight->m_nArg);
            } else if (IsConst(pLeft)) { // c op slot
                const uint8_t nExec = nOp == OP_SUB   ? uint8_t(X_RSUBVC)
                                      : nOp == OP_DIV ? uint8_t(X_RDIVVC)
                                                      : uint8_t(nBase + 2);
                Add(nExec, pRight->m_nArg, 0, pLeft->m_dConst);
            } else {
                Emit(pLeft);
                Add(static_cast<uint8_t>(nBase + 1), pRight->m_nArg);
            }
            return;
        }
        if (IsLeaf(pLeft)) { // leaf op expression: the expression first, then the leaf
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
    if ((nOp == OP_AND || nOp == OP_OR) && IsVar(pRight)) {
        Add(LogicSlotExec(nOp), pRight->m_nArg);
        return;
    }
    Emit(pRight);
    Add(BinaryExec(nOp));
}

// Emits the condition of a conditional and a jump taken where it is false (0); returns the
// jump's index, to be landed at the else-branch.
size_t CProgramBuilder::EmitJumpUnless(const STree* pCond)
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

// Node by node, for formulas too deep for the trees: an operand directly before its operation is
// fused, and so is a comparison (with a slot and a constant before it) directly before the
// conditional it decides. Such formulas are long, and every word saved is kept for each character.
void CProgramBuilder::EmitList(const CFuncNode* pNode)
{
    for (; pNode; pNode = pNode->m_pNext) {
        const CFuncNode* pNext = pNode->m_pNext;
        const uint32_t nOp = pNode->m_nOp;
        const uint32_t nNext = pNext ? pNext->m_nOp : OP_COUNT;
        // The comparison ending at pLast decides the conditional after it: one jump instead of
        // the operands, the comparison and the jump on its value.
        const auto jumps = [](const CFuncNode* pLast) {
            return pLast && IsComparison(pLast->m_nOp) && pLast->m_pNext && pLast->m_pNext->m_nOp == OP_COND;
        };
        if (nOp == OP_VAR && nNext == OP_CONST && jumps(pNext->m_pNext)) {
            const CFuncNode* pCompare = pNext->m_pNext;
            EmitListBranches(pCompare->m_pNext, Add(static_cast<uint8_t>(JumpExec(pCompare->m_nOp) + 2), pNode->m_nArg,
                                                    0, pNext->m_dConst));
            pNode = pCompare->m_pNext;
            continue;
        }
        if (nOp == OP_CONST && nNext == OP_VAR && jumps(pNext->m_pNext)) {
            const CFuncNode* pCompare = pNext->m_pNext;
            EmitListBranches(pCompare->m_pNext, Add(static_cast<uint8_t>(JumpExec(Mirrored(pCompare->m_nOp)) + 2),
                                                    pNext->m_nArg, 0, pNode->m_dConst));
            pNode = pCompare->m_pNext;
            continue;
        }
        if (nOp == OP_CONST && jumps(pNext)) {
            EmitListBranches(pNext->m_pNext, Add(static_cast<uint8_t>(JumpExec(nNext) + 1), 0, 0, pNode->m_dConst));
            pNode = pNext->m_pNext;
            continue;
        }
        if (jumps(pNode)) {
            EmitListBranches(pNext, Add(JumpExec(nOp)));
            pNode = pNext;
            continue;
        }
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
            } else if (nNext == OP_AND || nNext == OP_OR) {
                Add(LogicSlotExec(nNext), pNode->m_nArg);
                pNode = pNext;
            } else {
                Add(X_VAR, pNode->m_nArg);
            }
            break;
        case OP_REF: Add(X_REF, ReferenceArgCount(pNode->m_nArg), ReferencedFunction(pNode->m_nArg)); break;
        case OP_DERIV: AddDerivative(pNode->m_nArg); break;
        case OP_RANDOM: Add(X_RANDOM); break;
        case OP_RAND: Add(X_RAND); break;
        case OP_UNDEF: Add(X_UNDEF); break;
        case OP_COND: EmitListBranches(pNode, Add(X_JZ)); break;
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

// The branches of the conditional pCond, the jump nElse taken where it is false landed at the
// second.
void CProgramBuilder::EmitListBranches(const CFuncNode* pCond, size_t nElse)
{
    EmitList(pCond->m_pThen);
    const size_t nEnd = Add(X_JMP);
    Land(nElse);
    EmitList(pCond->m_pElse);
    Land(nEnd);
}
