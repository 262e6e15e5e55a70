#pragma once
// What a compiled term needs of the document that holds it: the terms that its references
// f1 ... f50 name. The document implements it; the expression language knows nothing else of it.
#include "expr/FuncLimits.h"

class CFuncTerm;

class CFuncResolver {
public:
    // The term of slot nIndex (1 ... MAX_FUNCTIONS), or null for an empty slot.
    virtual CFuncTerm* GetFunction(unsigned nIndex) const = 0;
    // The same, without a virtual call where the implementation keeps its terms in the table
    // below too: the evaluator asks at every reference it runs.
    CFuncTerm* FindFunction(unsigned nIndex) const
    {
        if (!m_bTable)
            return GetFunction(nIndex);
        return nIndex - 1 < MAX_FUNCTIONS ? m_pTable[nIndex - 1] : nullptr;
    }

protected:
    // For an implementation that keeps the table: from now on, every change of a slot is told
    // through SetTableEntry.
    void UseTable() { m_bTable = true; }
    void SetTableEntry(unsigned nIndex, CFuncTerm* pTerm) { m_pTable[nIndex - 1] = pTerm; }

    CFuncResolver() = default;
    CFuncResolver(const CFuncResolver&) = default;
    CFuncResolver& operator=(const CFuncResolver&) = default;
    virtual ~CFuncResolver() = default;

private:
    bool m_bTable = false;
    CFuncTerm* m_pTable[MAX_FUNCTIONS] = {}; // slot n at n - 1
};
