#include "expr/CCpuState.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace {
// Compiled for AVX, run only where the processor has it.
__attribute__((target("avx"))) void ZeroUpper()
{
    _mm256_zeroupper();
}

// Read by every thread that samples; written once, before main.
const bool g_bAvx = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx") != 0;
}();
} // namespace

void CCpuState::Clean()
{
    if (g_bAvx)
        ZeroUpper();
}
#else
void CCpuState::Clean() {}
#endif
