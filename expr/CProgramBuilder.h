#pragma once
// Builds the flat program of a term from its code list. See CProgramBuilder.cpp for what it folds
// and fuses.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "expr/CFuncNode.h"
#include "expr/COpcode.h"
#include "expr/SInstr.h"

class CProgramBuilder {
public:
    // Replaces program by the flat form of pCode, a code list of nValues top-level expressions,
    // and returns its number of instructions (the words of constants not counted). A term without
    // code gets a program that ends at once. nNodes, the list's nodes where known, lets the
    // program be made without growing it.
    static size_t Build(const CFuncNode* pCode, uint32_t nValues, std::vector<SInstr>& program, size_t nNodes = 0);

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
    static bool IsLeaf(const STree* p) { return IsConst(p) || IsVar(p); } // cannot fail, no effect

    explicit CProgramBuilder(std::vector<SInstr>& program) : m_Program(program) {}
    size_t Run(const CFuncNode* pCode, uint32_t nValues, size_t nNodes);
    bool Trees(const CFuncNode* pNode, std::vector<STree*>& stack);
    static void Fold(STree* p);
    size_t Add(uint8_t nOp, unsigned nSlot = 0, unsigned nSlot2 = 0, double dConst = 0.0);
    void AddDerivative(uint32_t nArg); // X_DREF for the operand of OP_DERIV
    void Land(size_t nJump);
    void Emit(const STree* p);
    // The operand, then the instruction nExec on it; a slot as the operand is read by the fused
    // form nExec + nFused instead.
    void EmitApplied(const STree* pArg, uint8_t nExec, uint8_t nFused, double dConst = 0.0);
    size_t EmitJumpUnless(const STree* pCond);
    void EmitList(const CFuncNode* pNode);
    void EmitListBranches(const CFuncNode* pCond, size_t nElse);

    // Puts the constants behind the instructions, each distinct value once.
    void PlaceConstants();

    std::vector<SInstr>& m_Program;
    std::deque<STree> m_Nodes;
    unsigned m_nMaxDepth = 0;
    size_t m_nInstructions = 0;
    bool m_bCount = false; // Add only counts the words (in m_nCount) and registers the constants
    size_t m_nCount = 0;
    int32_t ConstantIndex(uint64_t nBits);
    static size_t Hash(uint64_t nBits) { return static_cast<size_t>((nBits * 0x9E3779B97F4A7C15u) >> 32); }
    // The distinct constants, first use first, and a table of their indexes + 1 by Hash (0: free).
    std::vector<uint64_t> m_Distinct;
    std::vector<uint32_t> m_Table;
};
