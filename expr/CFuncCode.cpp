#include "expr/CFuncCode.h"

#include <algorithm>

#include "expr/HugePages.h"

CFuncNode* CFuncCode::NewNode(uint32_t nOp, double dConst, uint32_t nArg)
{
    if (m_nFree == 0) {
        // Small formulas take a small block; long ones blocks of up to 256 Ki nodes (10 MB), which
        // leave room for whole huge pages.
        const size_t nSize = std::min<size_t>(size_t{16} << m_Blocks.size(), size_t{1} << 18);
        m_Blocks.emplace_back(new CFuncNode[nSize]);
        AdviseHugePages(m_Blocks.back().get(), nSize * sizeof(CFuncNode));
        m_nFree = nSize;
        m_nBlockSize = nSize;
    }
    CFuncNode* pNode = &m_Blocks.back()[m_nBlockSize - m_nFree--];
    pNode->m_pNext = nullptr;
    pNode->m_pThen = nullptr;
    pNode->m_pElse = nullptr;
    pNode->m_dConst = dConst;
    pNode->m_nOp = nOp;
    pNode->m_nArg = nArg;
    ++m_nNodes;
    return pNode;
}
