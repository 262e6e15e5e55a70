#pragma once
// A code list and the nodes it is made of. The nodes are taken from blocks, not one by one: a
// formula of a megabyte is a million nodes, which would cost a heap block each to make and to
// release.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "expr/CFuncNode.h"

class CFuncCode {
public:
    CFuncCode() = default;
    CFuncCode(const CFuncCode&) = delete;
    CFuncCode& operator=(const CFuncCode&) = delete;

    // A new node, owned by this code.
    CFuncNode* NewNode(uint32_t nOp, double dConst, uint32_t nArg);
    size_t NodeCount() const { return m_nNodes; }

    CFuncNode* m_pFirst = nullptr; // the list's first node
    CFuncNode* m_pLast = nullptr;  // and its last (a branch's nodes are lists of their own)

private:
    std::vector<std::unique_ptr<CFuncNode[]>> m_Blocks;
    size_t m_nBlockSize = 0; // nodes of the last block
    size_t m_nFree = 0;      // of them not used yet
    size_t m_nNodes = 0;
};
