#pragma once
// Bump allocator for the entries of one value cache. The cache is only ever emptied as a whole,
// so the arena frees nothing singly: Reset hands all its blocks back for reuse.
#include <cstddef>
#include <memory>
#include <vector>

class CCacheArena {
public:
    void* Allocate(size_t nBytes);  // 8-byte aligned
    void Reset();

private:
    static constexpr size_t BLOCK_SIZE = 64 * 1024;
    std::vector<std::unique_ptr<unsigned char[]>> m_Blocks;
    size_t m_nBlock = 0;  // block being filled
    size_t m_nUsed = 0;   // bytes used in it
    std::vector<std::unique_ptr<unsigned char[]>> m_Oversized;
};
