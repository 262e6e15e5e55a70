#include "view/CTermCopies.h"

CTermCopies::CTermCopies()
{
    UseTable();
}

CTermCopies::~CTermCopies() = default;

void CTermCopies::AddFunction(unsigned nFunction, const std::string& szText)
{
    if (nFunction - 1 >= MAX_FUNCTIONS)
        return;
    m_szTexts[nFunction - 1] = szText;
    m_bWanted[nFunction - 1] = true;
}

void CTermCopies::AddTransform(const std::string& szText)
{
    m_szTransform = szText;
    m_bTransform = true;
}

void CTermCopies::Compile()
{
    for (unsigned i = 0; i < MAX_FUNCTIONS; ++i) {
        if (m_bWanted[i]) {
            m_pTerms[i] = std::make_unique<CFuncTerm>(this, m_szTexts[i].c_str());
            SetTableEntry(i + 1, m_pTerms[i].get());
        }
    }
    if (m_bTransform)
        m_pTransform = std::make_unique<CFuncTerm>(this, m_szTransform.c_str());
    // A formula that is a derivative alone takes the value count of the function it derives,
    // which may be compiled after it (and may be such a formula itself), as the document does.
    CFuncTerm::AdoptValueCounts(*this);
    for (const auto& pTerm : m_pTerms) {
        if (pTerm)
            pTerm->EnsureDependencies();
    }
    if (m_pTransform)
        m_pTransform->EnsureDependencies();
}

CFuncTerm* CTermCopies::GetFunction(unsigned nIndex) const
{
    return nIndex - 1 < MAX_FUNCTIONS ? m_pTerms[nIndex - 1].get() : nullptr;
}
