#pragma once
// Broken internal preconditions stop the program with the condition, the module and the line.

[[noreturn]] void FatalAssertion(const char* pszCondition, const char* pszModule, int nLine);

// The condition is written into the message as it is spelled, so its uses are kept out of the
// formatter (clang-format off) to keep the message text.
#define PROJECT_ASSERT(condition) ((condition) ? static_cast<void>(0) : FatalAssertion(#condition, "Project", __LINE__))
