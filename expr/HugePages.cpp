#include "expr/HugePages.h"

#include <cstdint>
#include <sys/mman.h>

void AdviseHugePages(void* pData, size_t nBytes)
{
#ifdef MADV_HUGEPAGE
    constexpr uintptr_t HUGE_PAGE = uintptr_t{1} << 21;
    const uintptr_t nStart = (reinterpret_cast<uintptr_t>(pData) + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
    const uintptr_t nEnd = (reinterpret_cast<uintptr_t>(pData) + nBytes) & ~(HUGE_PAGE - 1);
    // Only a hint: where it is refused, the pages are small ones as before.
    if (nEnd > nStart)
        madvise(reinterpret_cast<void*>(nStart), nEnd - nStart, MADV_HUGEPAGE);
#else
    (void)pData;
    (void)nBytes;
#endif
}
