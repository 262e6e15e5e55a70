#include "project/CProject.h"

#include <bitset>
#include <cstring>

#include "expr/SkipBlanks.h"
#include "project/CProjectReader.h"
#include "project/CProjectWriter.h"
#include "project/Fatal.h"

namespace {
constexpr uint32_t g_Palette[CProject::PALETTE_SIZE] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0x808080,
    0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};
constexpr uint32_t WHITE_INDEX = 15;
// The order in which new functions get their colours: those that stand apart on a light
// background first (palette order would give black, then navy, which look alike), the pale ones
// last. White is not in it.
constexpr uint32_t g_NewColors[] = {9, 12, 2, 13, 0, 4, 3, 5, 6, 1, 7, 11, 10, 14, 8};

} // namespace

CProject::CProject() : m_pPalette(g_Palette)
{
    UseTable();
    for (unsigned nBit = FLAG_XAUTO; nBit <= FLAG_SHOWAXIS; ++nBit)
        SetFlag(nBit, true);
    m_dOptions[OPT_XGRID] = 1.0;
    m_dOptions[OPT_YGRID] = 1.0;
    m_dOptions[OPT_BGCOLOR] = 15.0;
    InsertStep(std::make_unique<CAnimationStep>(), nullptr);
    m_bModified = false;
}

CProject::~CProject()
{
    while (m_pFirstStep)
        DeleteStep(m_pFirstStep);
}

CFuncTerm* CProject::GetFunction(unsigned nIndex) const
{
    // clang-format off
    PROJECT_ASSERT(nIndex>=1 && nIndex<=MAX_FUNCTIONS);
    // clang-format on
    return m_pFunctions[nIndex - 1].get();
}

void CProject::SetFunction(unsigned nIndex, const char* pszText)
{
    // clang-format off
    PROJECT_ASSERT(nIndex>=1 && nIndex<=MAX_FUNCTIONS);
    // clang-format on
    std::unique_ptr<CFuncTerm>& pSlot = m_pFunctions[nIndex - 1];
    if (pSlot && pSlot->GetText() == pszText)
        return;
    pszText = SkipBlanks(pszText);
    pSlot.reset();
    SetTableEntry(nIndex, nullptr);
    // A text that does not compile leaves the slot empty; the dependants are invalidated all the
    // same, so no picture keeps a cached value of a function that is gone.
    struct SInvalidateDependants {
        CProject& project;
        unsigned nIndex;
        ~SInvalidateDependants()
        {
            for (auto& pTerm : project.m_pFunctions)
                Invalidate(pTerm.get());
            // The transformation may refer to functions too; its cache must not outlive them.
            Invalidate(project.m_pTransform.get());
            // A formula that is a derivative alone has as many values as what it derives.
            CFuncTerm::AdoptValueCounts(project);
            project.m_bModified = true;
        }
        void Invalidate(CFuncTerm* pTerm) const
        {
            if (!pTerm)
                return;
            pTerm->EnsureDependencies();
            if (pTerm->GetDepFunc()[nIndex] || Reaches(pTerm))
                pTerm->Invalidate();
        }
        // Flags worked out while the slot was empty do not name it, though the formula refers to
        // it, directly or through others: such a term would keep values cached without the
        // function (undefined ones, or keyed without its variables) once the slot is filled.
        bool Reaches(CFuncTerm* pTerm) const
        {
            std::bitset<MAX_FUNCTIONS + 1> seen;
            return !CFuncTerm::WalkReferences(project, *pTerm, seen,
                                              [this](CFuncTerm&, unsigned n) { return n != nIndex; });
        }
    } invalidate{*this, nIndex};
    if (*pszText)
        pSlot = std::make_unique<CFuncTerm>(this, pszText);
    SetTableEntry(nIndex, pSlot.get());
}

void CProject::SetTransform(const char* pszText)
{
    if (m_pTransform && m_pTransform->GetText() == pszText)
        return;
    pszText = SkipBlanks(pszText);
    std::unique_ptr<CFuncTerm> pTerm;
    if (*pszText)
        pTerm = std::make_unique<CFuncTerm>(this, pszText);
    m_pTransform = std::move(pTerm);
    m_bModified = true;
}

void CProject::SetOption(unsigned nIndex, double dValue)
{
    if (nIndex >= OPT_COUNT || m_dOptions[nIndex] == dValue)
        return;
    m_dOptions[nIndex] = dValue;
    m_bModified = true;
}

void CProject::SetFlag(unsigned nBit, bool bOn)
{
    if (nBit >= 32)
        return;
    const uint32_t nFlags = bOn ? m_nFlags | (1u << nBit) : m_nFlags & ~(1u << nBit);
    if (nFlags == m_nFlags)
        return;
    m_nFlags = nFlags;
    m_bModified = true;
}

void CProject::UseNewDocumentFlags()
{
    const bool bModified = m_bModified;
    m_nFlags |= NEW_DOCUMENT_FLAGS;
    m_bModified = bModified;
}

uint32_t CProject::NextFreeColor(const CAnimationStep& step, unsigned nIndex) const
{
    unsigned nUses[PALETTE_SIZE] = {};
    for (unsigned i = 0; i < MAX_FUNCTIONS; ++i) {
        if (i + 1 != nIndex && step.m_bVisible[i] && m_pFunctions[i] && step.m_nColor[i] < PALETTE_SIZE)
            ++nUses[step.m_nColor[i]];
    }
    const double dBackground = m_dOptions[OPT_BGCOLOR];
    const uint32_t nBackground =
        dBackground >= 0.0 && dBackground < PALETTE_SIZE ? static_cast<uint32_t>(dBackground) : WHITE_INDEX;
    // The first unused colour; when every one is in use, the first of those used least.
    uint32_t nBest = WHITE_INDEX;
    for (const uint32_t nColor : g_NewColors) {
        if (nColor != nBackground && (nBest == WHITE_INDEX || nUses[nColor] < nUses[nBest]))
            nBest = nColor;
    }
    return nBest;
}

void CProject::ShowNewFunction(CAnimationStep& step, unsigned nIndex)
{
    // clang-format off
    PROJECT_ASSERT(nIndex>=1 && nIndex<=MAX_FUNCTIONS);
    // clang-format on
    const uint32_t nColor = NextFreeColor(step, nIndex);
    if (step.m_bVisible[nIndex - 1] && step.m_nColor[nIndex - 1] == nColor && step.m_nWidth[nIndex - 1] == 1)
        return;
    step.m_bVisible[nIndex - 1] = true;
    step.m_nColor[nIndex - 1] = nColor;
    step.m_nWidth[nIndex - 1] = 1;
    m_bModified = true;
}

CAnimationStep* CProject::InsertStep(std::unique_ptr<CAnimationStep> pOwned, CAnimationStep* pBefore)
{
    CAnimationStep* pNewStep = pOwned.get();
    // clang-format off
    PROJECT_ASSERT(pNewStep->m_pProject==0);
    // clang-format on
    pOwned.release(); // the list owns it now
    pNewStep->m_pProject = this;
    m_bModified = true;
    if (pBefore) {
        pNewStep->m_pNext = pBefore;
        pNewStep->m_pPrev = pBefore->m_pPrev;
        if (pBefore->m_pPrev)
            pBefore->m_pPrev->m_pNext = pNewStep;
        else
            m_pFirstStep = pNewStep;
        pBefore->m_pPrev = pNewStep;
    } else {
        pNewStep->m_pNext = nullptr;
        pNewStep->m_pPrev = m_pLastStep;
        if (m_pLastStep)
            m_pLastStep->m_pNext = pNewStep;
        else
            m_pFirstStep = pNewStep;
        m_pLastStep = pNewStep;
    }
    if (m_pFirstStep)
        m_pFirstStep->SetSameRange(false);
    return pNewStep;
}

std::unique_ptr<CAnimationStep> CProject::RemoveStep(CAnimationStep* pStep)
{
    // clang-format off
    PROJECT_ASSERT(pStep->m_pProject==this);
    // clang-format on
    m_bModified = true;
    if (pStep->m_pPrev)
        pStep->m_pPrev->m_pNext = pStep->m_pNext;
    else
        m_pFirstStep = pStep->m_pNext;
    if (pStep->m_pNext)
        pStep->m_pNext->m_pPrev = pStep->m_pPrev;
    else
        m_pLastStep = pStep->m_pPrev;
    pStep->m_pNext = nullptr;
    pStep->m_pPrev = nullptr;
    pStep->m_pProject = nullptr;
    if (m_pFirstStep)
        m_pFirstStep->SetSameRange(false);
    return std::unique_ptr<CAnimationStep>(pStep);
}

void CProject::DeleteStep(CAnimationStep* pStep)
{
    RemoveStep(pStep).reset();
}

void CProject::MoveStep(CAnimationStep* pStep, CAnimationStep* pBefore)
{
    InsertStep(RemoveStep(pStep), pBefore);
}

void CProject::Save(const char* pszFileName)
{
    CProjectWriter::Save(*this, pszFileName);
    m_bModified = false;
}

void CProject::Load(const char* pszFileName)
{
    CProjectReader::Load(*this, pszFileName);
}
