#pragma once
// The work limit makes one value undefined after 2^24 instructions, which a table or picture of
// many such values repeats without end. While a budget is active, every advance of a sampling
// walk checks the processor time those values have cost since it began, and once that exceeds the budget
// the walk ends with EWorkBudget naming the function.
#include <cstdint>

#include "expr/CFuncTerm.h"

class CProject;

class CWorkBudget {
public:
    static constexpr uint64_t DEFAULT_NANOSECONDS = uint64_t{10} * 1000 * 1000 * 1000;

    // Active until destroyed; counts from nSince (a value of CFuncTerm::GetLostNanoseconds), so
    // a job done in slices keeps one budget over all of them.
    explicit CWorkBudget(const CProject& project, uint64_t nSince = CFuncTerm::GetLostNanoseconds());
    ~CWorkBudget();
    CWorkBudget(const CWorkBudget&) = delete;
    CWorkBudget& operator=(const CWorkBudget&) = delete;

    // Throws EWorkBudget where the active budget is spent; nothing while none is active.
    static void Check()
    {
        if (CFuncTerm::GetLostNanoseconds() > s_nLimit)
            Exceeded();
    }
    // The budget of the jobs that begin afterwards; for tests, which cannot wait 10 s.
    static void SetBudget(uint64_t nNanoseconds) { s_nBudget = nNanoseconds; }

private:
    [[noreturn]] static void Exceeded();

    static uint64_t s_nBudget;
    static uint64_t s_nLimit; // UINT64_MAX while no budget is active
    static const CProject* s_pProject;
    uint64_t m_nOuterLimit;
    const CProject* m_pOuterProject;
};
