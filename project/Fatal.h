#pragma once
// Broken internal preconditions stop the program with the condition, the module and the line.

[[noreturn]] void FatalAssertion(const char* pszCondition, const char* pszModule, int nLine);

#define PROJECT_ASSERT(condition) \
    ((condition) ? static_cast<void>(0) : FatalAssertion(#condition, "Project", __LINE__))
