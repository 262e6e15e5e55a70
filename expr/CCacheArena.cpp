#include "expr/CCacheArena.h"

void* CCacheArena::AllocateSlow(size_t nBytes)
{
    if (nBytes > BLOCK_SIZE) {
        m_Oversized.emplace_back(new unsigned char[nBytes]);
        return m_Oversized.back().get();
    }
    if (m_pBlock)
        ++m_nBlock; // the current block is full
    if (m_nBlock == m_Blocks.size())
        m_Blocks.emplace_back(new unsigned char[BLOCK_SIZE]);
    m_pBlock = m_Blocks[m_nBlock].get();
    m_nLimit = BLOCK_SIZE;
    m_nUsed = nBytes;
    return m_pBlock;
}

void CCacheArena::Reset()
{
    m_nBlock = 0;
    m_pBlock = m_Blocks.empty() ? nullptr : m_Blocks[0].get();
    m_nLimit = m_pBlock ? BLOCK_SIZE : 0;
    m_nUsed = 0;
    m_Oversized.clear();
}
