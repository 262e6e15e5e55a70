#pragma once
// One node of a compiled code list, in postfix order. The nodes of a list live in its CFuncCode,
// which sets every field (a block of nodes is not cleared first: a long formula writes a million).
#include <cstdint>

struct CFuncNode {
    CFuncNode* m_pNext;
    CFuncNode* m_pThen; // OP_COND: then-list
    CFuncNode* m_pElse; // OP_COND: else-list
    double m_dConst;    // OP_CONST
    uint32_t m_nOp;
    uint32_t m_nArg; // OP_VAR: slot; OP_REF: PackReference(n, argc)
};
