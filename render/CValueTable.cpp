#include "render/CValueTable.h"

#include "project/CProject.h"
#include "render/CRenderer.h"
#include "view/CSliceClock.h"
#include "view/CWorkBudget.h"

namespace {
const char* const g_VariableLabels[FUNC_NVARS] = {"x,t", "u", "v"};
}

void CValueTable::Build(CProject& project, CAnimationStep* pStep)
{
    Begin(project, pStep);
    while (Fill(nullptr)) {
    }
}

void CValueTable::Begin(CProject& project, CAnimationStep* pStep)
{
    m_Cells.assign(1, std::vector<std::string>(1));
    m_pProject = &project;
    m_pStep = pStep;
    m_Variables.clear();
    m_Slots.clear();
    m_nRow = 1;
    m_nSlot = 0;
    if (!pStep)
        return;

    std::vector<std::string> headers;
    uint32_t nRows = 1;
    for (unsigned i = 0; i < FUNC_NVARS; ++i) {
        if (pStep->m_nCount[i] < 1)
            continue;
        m_Variables.push_back(i);
        headers.push_back(g_VariableLabels[i]);
        // Any product above the limit counts as above it; nothing can overflow.
        const uint64_t nProduct = uint64_t{nRows} * (uint64_t{pStep->m_nCount[i]} + 1);
        nRows = nProduct > MAX_ROWS ? MAX_ROWS + 1 : static_cast<uint32_t>(nProduct);
    }
    for (unsigned nSlot = 1; nSlot <= MAX_FUNCTIONS; ++nSlot) {
        if (pStep->m_bVisible[nSlot - 1]) {
            m_Slots.push_back(nSlot);
            headers.push_back("f" + std::to_string(nSlot));
        }
    }
    // Without a visible function the grid keeps one spare empty column after the variables.
    const size_t nColumns = m_Variables.size() + (m_Slots.empty() ? 1 : m_Slots.size());
    headers.resize(nColumns);
    if (nRows > MAX_ROWS)
        nRows = MAX_ROWS;

    m_Cells.assign(nRows + 1, std::vector<std::string>(nColumns));
    m_Cells[0] = headers;
    m_Vars.SetupView(&project, pStep, 100, 100, 0, 0);
}

bool CValueTable::Fill(CSliceClock* pClock)
{
    if (!m_pStep)
        return false;
    const size_t nv = m_Variables.size();
    while (m_nRow < m_Cells.size()) {
        std::vector<std::string>& row = m_Cells[m_nRow];
        if (m_nSlot == 0)
            for (size_t k = 0; k < nv; ++k)
                row[k] = CRenderer::FormatNumber(m_Vars.m_dValue[m_Variables[k]]);
        while (m_nSlot < m_Slots.size()) {
            CFuncTerm* pTerm = m_pProject->GetFunction(m_Slots[m_nSlot]);
            const double* pValues = pTerm ? pTerm->Evaluate(m_Vars) : nullptr;
            if (!pValues) {
                row[nv + m_nSlot] = "?";
                CWorkBudget::Check(); // perhaps cut off by the work limit
            } else {
                row[nv + m_nSlot] = CRenderer::FormatNumber(pTerm->GetValueCount() >= 2 ? pValues[1] : pValues[0]);
            }
            ++m_nSlot;
            if (pClock && m_nSlot < m_Slots.size() && pClock->SliceOver())
                return true;
        }
        m_nSlot = 0;
        ++m_nRow;
        if (!m_Vars.Advance() || m_Vars.m_pStep != m_pStep) {
            m_nRow = static_cast<uint32_t>(m_Cells.size());
            break;
        }
        if (pClock && pClock->SliceOver())
            return m_nRow < m_Cells.size();
    }
    m_pStep = nullptr;
    return false;
}

std::string CValueTable::GetText() const
{
    std::string szText;
    for (const std::vector<std::string>& row : m_Cells) {
        for (size_t c = 0; c < row.size(); ++c) {
            if (c > 0)
                szText += '\t';
            szText += row[c];
        }
        szText += "\r\n";
    }
    return szText;
}
