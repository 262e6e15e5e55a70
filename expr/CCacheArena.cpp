#include "expr/CCacheArena.h"

void* CCacheArena::Allocate(size_t nBytes)
{
    nBytes = (nBytes + 7) & ~size_t(7);
    if (nBytes > BLOCK_SIZE) {
        m_Oversized.emplace_back(new unsigned char[nBytes]);
        return m_Oversized.back().get();
    }
    if (m_Blocks.empty() || m_nUsed + nBytes > BLOCK_SIZE) {
        if (!m_Blocks.empty())
            ++m_nBlock;
        if (m_nBlock == m_Blocks.size())
            m_Blocks.emplace_back(new unsigned char[BLOCK_SIZE]);
        m_nUsed = 0;
    }
    void* p = m_Blocks[m_nBlock].get() + m_nUsed;
    m_nUsed += nBytes;
    return p;
}

void CCacheArena::Reset()
{
    m_nBlock = 0;
    m_nUsed = 0;
    m_Oversized.clear();
}
