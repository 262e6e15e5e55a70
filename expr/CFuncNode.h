#pragma once
// One node of a compiled code list, in postfix order.
#include <cstdint>

struct CFuncNode {
    CFuncNode* m_pNext = nullptr;
    CFuncNode* m_pThen = nullptr; // OP_COND: then-list, owned
    CFuncNode* m_pElse = nullptr; // OP_COND: else-list, owned
    uint32_t m_nOp = 0;
    double m_dConst = 0.0; // OP_CONST
    uint32_t m_nArg = 0;   // OP_VAR: slot; OP_REF: PackReference(n, argc)

    CFuncNode(uint32_t nOp, double dConst, uint32_t nArg) : m_nOp(nOp), m_dConst(dConst), m_nArg(nArg) {}
    CFuncNode(const CFuncNode&) = delete;
    CFuncNode& operator=(const CFuncNode&) = delete;

    // Releases a whole list with its branch lists. Iterative along m_pNext, since a long formula
    // makes a long list; the branch nesting is bounded by the compiler.
    static void ReleaseList(CFuncNode* pNode)
    {
        while (pNode) {
            CFuncNode* pNext = pNode->m_pNext;
            ReleaseList(pNode->m_pThen);
            ReleaseList(pNode->m_pElse);
            delete pNode;
            pNode = pNext;
        }
    }
};
