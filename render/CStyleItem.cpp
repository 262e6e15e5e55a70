#include "render/CStyleItem.h"

#include "project/CProject.h"
#include "render/CCanvas.h"

void CStyleItem::DrawItem(CCanvas& canvas, const CProject& project, int32_t nLeft, int32_t nTop, int32_t nRight,
                          int32_t nBottom, bool bSelected, uint32_t nMenuText, uint32_t nMenuBack) const
{
    const int32_t cx = (nLeft + nRight) / 2;
    const int32_t cy = (nTop + nBottom) / 2;
    const uint32_t nFrame = bSelected ? nMenuText : nMenuBack;
    canvas.SetBrushStyle(EBrushStyle::Clear);
    canvas.SetPenColor(nFrame);
    canvas.SetPenWidth(1);
    canvas.SetPenSolid();
    canvas.Rectangle(nLeft, nTop, nRight, nBottom);
    switch (m_nKind) {
    case KIND_TOGGLE:
        canvas.SetPenColor(nMenuText);
        canvas.MoveTo(cx - 5, cy - 5);
        canvas.LineTo(cx + 6, cy + 6);
        canvas.MoveTo(cx + 5, cy - 5);
        canvas.LineTo(cx - 6, cy + 6);
        break;
    case KIND_COLOR: {
        const bool bInPalette = m_nValue >= 0 && m_nValue < project.m_nPaletteSize;
        canvas.SetBrushColor(bInPalette ? project.m_pPalette[m_nValue] : 0);
        canvas.SetBrushStyle(EBrushStyle::Solid);
        canvas.Rectangle(nLeft, nTop, nRight, nBottom);
        break;
    }
    case KIND_WIDTH:
        canvas.SetBrushColor(nMenuText);
        canvas.SetPenColor(nMenuText);
        canvas.SetBrushStyle(EBrushStyle::Solid);
        canvas.Rectangle(nLeft, cy - 5, nRight, cy - 5 + m_nValue);
        break;
    default: break;
    }
}

void CStyleItem::ClickFunction(CProject& project, CAnimationStep* pStep, int nRow) const
{
    if (pStep && nRow >= 0 && nRow < static_cast<int>(MAX_FUNCTIONS)) {
        switch (m_nKind) {
        case KIND_TOGGLE: pStep->m_bVisible[nRow] = !pStep->m_bVisible[nRow]; break;
        case KIND_COLOR:
            pStep->m_nColor[nRow] = static_cast<uint32_t>(m_nValue);
            pStep->m_bVisible[nRow] = true;
            break;
        case KIND_WIDTH:
            pStep->m_nWidth[nRow] = static_cast<uint32_t>(m_nValue);
            pStep->m_bVisible[nRow] = true;
            break;
        default: break;
        }
    }
    project.m_bModified = true;
}

bool CStyleItem::ClickBackground(CProject& project) const
{
    if (m_nKind != KIND_COLOR)
        return false;
    project.SetOption(OPT_BGCOLOR, m_nValue);
    return true;
}
