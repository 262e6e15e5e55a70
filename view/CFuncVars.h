#pragma once
// The evaluation context: the value slots formulas read, the position of the sampling walk, the
// view mapping and the renderer's last pixel per function. Short-lived; owns nothing.
#include <climits>
#include <cstdint>

#include "expr/FuncLimits.h"

class CProject;
class CAnimationStep;

class CFuncVars {
public:
    CFuncVars();
    // A copy takes every field but the renderer's per-function memory.
    CFuncVars(const CFuncVars& other);
    CFuncVars& operator=(const CFuncVars&) = delete;

    int32_t m_nLastX[MAX_FUNCTIONS];  // INT_MAX: no point to connect to
    int32_t m_nLastY[MAX_FUNCTIONS];
    CProject* m_pProject = nullptr;
    uint32_t m_nIndex[FUNC_NVARS] = {};
    double m_dValue[FUNC_NSLOTS] = {};  // x u v a b c d; d is 0 unless a reference sets it
    CAnimationStep* m_pStep = nullptr;
    uint32_t m_nSamples = 0;
    bool m_bFirstSample = true;
    uint32_t m_nViewWidth = 0;
    uint32_t m_nViewHeight = 0;
    uint32_t m_nViewLeft = 0;
    uint32_t m_nViewTop = 0;
    double m_dOriginX = 0.0;
    double m_dOriginY = 0.0;
    double m_dScaleX = 0.0;
    double m_dScaleY = 0.0;
};
