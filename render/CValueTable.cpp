#include "render/CValueTable.h"

#include <algorithm>

#include "project/CCodePage.h"
#include "project/CCsvText.h"
#include "project/CProject.h"
#include "project/CShownNumber.h"
#include "view/CSliceClock.h"
#include "view/CWorkBudget.h"

namespace {
const char* const g_VariableLabels[FUNC_NVARS] = {"x,t", "u", "v"};
}

void CValueTable::Build(CProject& project, CAnimationStep* pStep, EForm eForm)
{
    Begin(project, pStep, eForm);
    while (Fill(nullptr)) {
    }
}

void CValueTable::Begin(CProject& project, CAnimationStep* pStep, EForm eForm)
{
    m_Cells.assign(1, std::vector<std::string>(1));
    m_pProject = &project;
    m_pStep = pStep;
    m_eForm = eForm;
    m_bComma = eForm == EForm::Shown && CShownNumber::Comma(project);
    m_Variables.clear();
    m_Slots.clear();
    m_Columns.clear();
    m_Values.clear();
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
        if (!pStep->m_bVisible[nSlot - 1])
            continue;
        const CFuncTerm* pTerm = project.GetFunction(nSlot);
        const uint32_t nValues = eForm == EForm::Shown && pTerm ? std::max<uint32_t>(1, pTerm->GetValueCount()) : 1;
        m_Slots.push_back(nSlot);
        m_Columns.push_back(headers.size());
        m_Values.push_back(nValues);
        const std::string szName = "f" + std::to_string(nSlot);
        if (nValues == 1)
            headers.push_back(szName);
        for (uint32_t k = 1; nValues > 1 && k <= nValues; ++k)
            headers.push_back(szName + " (" + std::to_string(k) + ")");
    }
    // Without a visible function the grid keeps one spare empty column after the variables.
    const size_t nColumns = m_Slots.empty() ? m_Variables.size() + 1 : headers.size();
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
                row[k] = CShownNumber::Format(m_Vars.m_dValue[m_Variables[k]], m_bComma);
        while (m_nSlot < m_Slots.size()) {
            CFuncTerm* pTerm = m_pProject->GetFunction(m_Slots[m_nSlot]);
            const double* pValues = pTerm ? pTerm->Evaluate(m_Vars) : nullptr;
            const size_t nFirst = m_Columns[m_nSlot];
            const uint32_t nColumns = m_Values[m_nSlot];
            if (!pValues) {
                for (uint32_t k = 0; k < nColumns; ++k)
                    row[nFirst + k] = UNDEFINED;
                CWorkBudget::Check(); // perhaps cut off by the work limit
            } else if (m_eForm == EForm::Classic) {
                row[nFirst] = CShownNumber::Format(pTerm->GetValueCount() >= 2 ? pValues[1] : pValues[0], false);
            } else {
                // The columns were laid out by the formula of Begin; one changed since fills what
                // both have.
                const uint32_t nValues = pTerm->GetValueCount();
                for (uint32_t k = 0; k < nColumns; ++k)
                    row[nFirst + k] = k < nValues ? CShownNumber::Format(pValues[k], m_bComma) : UNDEFINED;
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

std::string CValueTable::GetCsv() const
{
    std::vector<std::vector<std::string>> rows = m_Cells;
    for (std::vector<std::string>& row : rows)
        for (std::string& szCell : row)
            szCell = CCodePage::AnsiToUtf8(szCell);
    return CsvOf(std::move(rows), m_bComma);
}

std::string CValueTable::CsvOf(std::vector<std::vector<std::string>> rows, bool bDecimalComma)
{
    for (std::vector<std::string>& row : rows)
        for (std::string& szCell : row)
            if (szCell == UNDEFINED)
                szCell.clear();
    return CCsvText::Table(rows, CShownNumber::ListSeparator(bDecimalComma));
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
