#pragma once
// One node of a compiled code list, in postfix order. The nodes of a list live in its CFuncCode.
#include <cstdint>

struct CFuncNode {
    CFuncNode* m_pNext = nullptr;
    CFuncNode* m_pThen = nullptr; // OP_COND: then-list
    CFuncNode* m_pElse = nullptr; // OP_COND: else-list
    double m_dConst = 0.0;        // OP_CONST
    uint32_t m_nOp = 0;
    uint32_t m_nArg = 0; // OP_VAR: slot; OP_REF: PackReference(n, argc)
};
