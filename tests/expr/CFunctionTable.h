#pragma once
// The expression language's tests resolve references through this stand-in for the document:
// fifty slots, filled before anything is evaluated, so no dependant needs invalidating.
#include <memory>

#include "expr/CFuncResolver.h"
#include "expr/CFuncTerm.h"
#include "expr/FuncLimits.h"

class CFunctionTable : public CFuncResolver {
public:
    CFuncTerm* GetFunction(unsigned nIndex) const override
    {
        return nIndex >= 1 && nIndex <= MAX_FUNCTIONS ? m_pTerms[nIndex - 1].get() : nullptr;
    }
    void SetFunction(unsigned nIndex, const char* pszText)
    {
        m_pTerms[nIndex - 1] = std::make_unique<CFuncTerm>(this, pszText);
    }

private:
    std::unique_ptr<CFuncTerm> m_pTerms[MAX_FUNCTIONS];
};
