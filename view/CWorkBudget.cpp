#include "view/CWorkBudget.h"

#include "project/CProject.h"
#include "view/EWorkBudget.h"

uint64_t CWorkBudget::s_nBudget = CWorkBudget::DEFAULT_NANOSECONDS;
uint64_t CWorkBudget::s_nLimit = UINT64_MAX;
const CProject* CWorkBudget::s_pProject = nullptr;

CWorkBudget::CWorkBudget(const CProject& project, uint64_t nSince)
    : m_nOuterLimit(s_nLimit), m_pOuterProject(s_pProject)
{
    s_nLimit = nSince + s_nBudget < nSince ? UINT64_MAX : nSince + s_nBudget;
    s_pProject = &project;
}

CWorkBudget::~CWorkBudget()
{
    s_nLimit = m_nOuterLimit;
    s_pProject = m_pOuterProject;
}

void CWorkBudget::Exceeded()
{
    // The term that ran out last is, with a budget spent on such values, the one to name.
    const CFuncTerm* pTerm = CFuncTerm::GetLostTerm();
    unsigned nFunction = 0;
    for (unsigned i = 0; i < MAX_FUNCTIONS; ++i) {
        if (pTerm && s_pProject->m_pFunctions[i].get() == pTerm)
            nFunction = i + 1;
    }
    throw EWorkBudget{nFunction};
}
