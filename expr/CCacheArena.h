#pragma once
// Bump allocator for the entries of one value cache. The cache is only ever emptied as a whole,
// so the arena frees nothing singly: Reset hands all its blocks back for reuse.
#include <cstddef>
#include <memory>
#include <vector>

class CCacheArena {
public:
    void* Allocate(size_t nBytes) // 8-byte aligned
    {
        nBytes = (nBytes + 7) & ~size_t(7);
        if (m_nUsed + nBytes <= m_nLimit) {
            void* p = m_pBlock + m_nUsed;
            m_nUsed += nBytes;
            return p;
        }
        return AllocateSlow(nBytes);
    }
    void Reset();

private:
    static constexpr size_t BLOCK_SIZE = 64 * 1024;
    void* AllocateSlow(size_t nBytes);

    std::vector<std::unique_ptr<unsigned char[]>> m_Blocks;
    size_t m_nBlock = 0;               // block being filled
    unsigned char* m_pBlock = nullptr; // that block
    size_t m_nUsed = 0;                // bytes used in it
    size_t m_nLimit = 0;               // its size; 0 before the first block
    std::vector<std::unique_ptr<unsigned char[]>> m_Oversized;
};
