#include "render/CValueTable.h"

#include "project/CProject.h"
#include "render/CRenderer.h"
#include "view/CFuncVars.h"

namespace {
const char* const g_VariableLabels[FUNC_NVARS] = {"x,t", "u", "v"};
}

void CValueTable::Build(CProject& project, CAnimationStep* pStep)
{
    m_Cells.assign(1, std::vector<std::string>(1));
    if (!pStep)
        return;

    std::vector<std::string> headers;
    unsigned nVariables[FUNC_NVARS];
    unsigned nv = 0;
    uint32_t nRows = 1;
    for (unsigned i = 0; i < FUNC_NVARS; ++i) {
        if (pStep->m_nCount[i] < 1)
            continue;
        nVariables[nv++] = i;
        headers.push_back(g_VariableLabels[i]);
        // Any product above the limit counts as above it; nothing can overflow.
        const uint64_t nProduct = uint64_t{nRows} * (uint64_t{pStep->m_nCount[i]} + 1);
        nRows = nProduct > MAX_ROWS ? MAX_ROWS + 1 : static_cast<uint32_t>(nProduct);
    }
    std::vector<unsigned> slots;
    for (unsigned nSlot = 1; nSlot <= MAX_FUNCTIONS; ++nSlot) {
        if (pStep->m_bVisible[nSlot - 1]) {
            slots.push_back(nSlot);
            headers.push_back("f" + std::to_string(nSlot));
        }
    }
    // Without a visible function the grid keeps one spare empty column after the variables.
    const size_t nColumns = nv + (slots.empty() ? 1 : slots.size());
    headers.resize(nColumns);
    if (nRows > MAX_ROWS)
        nRows = MAX_ROWS;

    m_Cells.assign(nRows + 1, std::vector<std::string>(nColumns));
    m_Cells[0] = headers;
    CFuncVars vars;
    vars.SetupView(&project, pStep, 100, 100, 0, 0);
    for (uint32_t j = 1; j <= nRows; ++j) {
        std::vector<std::string>& row = m_Cells[j];
        size_t c = 0;
        for (unsigned k = 0; k < nv; ++k)
            row[c++] = CRenderer::FormatNumber(vars.m_dValue[nVariables[k]]);
        for (unsigned nSlot : slots) {
            CFuncTerm* pTerm = project.GetFunction(nSlot);
            const double* pValues = pTerm ? pTerm->Evaluate(vars) : nullptr;
            if (!pValues)
                row[c++] = "?";
            else
                row[c++] = CRenderer::FormatNumber(pTerm->GetValueCount() >= 2 ? pValues[1] : pValues[0]);
        }
        if (!vars.Advance() || vars.m_pStep != pStep)
            break;
    }
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
