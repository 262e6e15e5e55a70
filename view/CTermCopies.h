#pragma once
// Functions of a document, and its transformation, compiled anew from their texts for a thread of
// their own: they resolve their references among one another, so that what the thread evaluates
// touches no term of the document (no value cache, no derivative program), which the document's
// thread goes on using meanwhile. The copies keep caches of their own; the values are the same,
// since every term copied stays within the limits (see CFuncTerm::WorkBound).
#include <memory>
#include <string>

#include "expr/CFuncResolver.h"
#include "expr/CFuncTerm.h"
#include "expr/FuncLimits.h"

class CTermCopies final : public CFuncResolver {
public:
    CTermCopies();
    ~CTermCopies() override;
    CTermCopies(const CTermCopies&) = delete;
    CTermCopies& operator=(const CTermCopies&) = delete;

    // On the document's thread: the texts to compile, of function nFunction (1 ... MAX_FUNCTIONS)
    // and of the transformation.
    void AddFunction(unsigned nFunction, const std::string& szText);
    void AddTransform(const std::string& szText);
    // On the thread that evaluates them: compiles the texts (throws where one does not compile or
    // memory is short), each value count and dependencies as the document has them.
    void Compile();

    CFuncTerm* GetFunction(unsigned nIndex) const override;
    CFuncTerm* Transform() const { return m_pTransform.get(); }

private:
    std::string m_szTexts[MAX_FUNCTIONS];
    bool m_bWanted[MAX_FUNCTIONS] = {};
    std::unique_ptr<CFuncTerm> m_pTerms[MAX_FUNCTIONS];
    std::string m_szTransform;
    bool m_bTransform = false;
    std::unique_ptr<CFuncTerm> m_pTransform;
};
