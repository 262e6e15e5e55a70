#include "project/Fatal.h"

#include <cstdio>
#include <cstdlib>

void FatalAssertion(const char* pszCondition, const char* pszModule, int nLine)
{
    std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", pszCondition, pszModule, nLine);
    std::fflush(stderr);
    std::abort();
}
