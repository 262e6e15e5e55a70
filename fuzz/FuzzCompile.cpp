// libFuzzer entry for the compiler: any text either compiles or raises EFuncError; what compiles
// evaluates, differentiates, lists and reports its statistics without faults.
#include <cmath>
#include <cstdint>
#include <string>

#include "expr/CFuncTerm.h"
#include "expr/EFuncError.h"
#include "project/CProject.h"
#include "view/CFuncVars.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    static CProject* pProject = [] {
        auto* p = new CProject;
        p->SetFunction(1, "a^2-b");
        p->SetFunction(2, "a<=1 ? 1 : a*f2(a-1)");
        p->SetFunction(3, "f3(a)+1");
        return p;
    }();
    const std::string szText(reinterpret_cast<const char*>(pData), nSize);
    try {
        CFuncTerm term(pProject, szText.c_str());
        CFuncVars vars;
        vars.m_pProject = pProject;
        const double samples[] = {0.0, -1.5, 2.0, 1e300, -1e-300};
        for (const double x : samples) {
            for (unsigned i = 0; i < FUNC_NSLOTS; ++i)
                vars.m_dValue[i] = x * (i + 1);
            if (const double* pValues = term.Evaluate(vars)) {
                for (unsigned i = 0; i < term.GetValueCount(); ++i)
                    if (!std::isfinite(pValues[i]))
                        __builtin_trap();
            }
            for (unsigned nOrder = 1; nOrder <= 2; ++nOrder)
                if (const double* pValues = term.EvaluateDerivative(nOrder, vars)) {
                    for (unsigned i = 0; i < term.GetValueCount(); ++i)
                        if (!std::isfinite(pValues[i]))
                            __builtin_trap();
                }
        }
        char szBuffer[8192];
        term.GetListing(szBuffer, sizeof szBuffer);
        term.GetStatistics(szBuffer, sizeof szBuffer);
    } catch (const EFuncError& error) {
        if (!error.m_pszMessage || error.m_nPosition < 0 || static_cast<size_t>(error.m_nPosition) > nSize)
            __builtin_trap();
    }
    return 0;
}
