#pragma once
// One entry of the style menu: show/hide a function, a palette colour, or a line width. It draws
// itself as a small sample instead of a caption and applies its choice when clicked.
#include <cstdint>

class CCanvas;
class CProject;
class CAnimationStep;

class CStyleItem {
public:
    enum EKind : uint8_t { KIND_TOGGLE = 0, KIND_COLOR = 1, KIND_WIDTH = 2 };

    CStyleItem(uint8_t nKind, int32_t nValue) : m_nKind(nKind), m_nValue(nValue) {}

    // Draws the item into the rectangle (right and bottom exclusive) on the menu's colours.
    void DrawItem(CCanvas& canvas, const CProject& project, int32_t nLeft, int32_t nTop, int32_t nRight,
                  int32_t nBottom, bool bSelected, uint32_t nMenuText, uint32_t nMenuBack) const;

    // The menu was opened for the functions grid: changes function nRow + 1 of the step. The
    // document is marked modified in any case, also when there is nothing to change.
    void ClickFunction(CProject& project, CAnimationStep* pStep, int nRow) const;

    // The menu was opened for the background box: a colour item sets bgcolor; returns whether it did.
    bool ClickBackground(CProject& project) const;

    uint8_t m_nKind;
    int32_t m_nValue;
};
