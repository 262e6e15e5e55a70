#pragma once
// The values a walk gives x, u and v in one step: start, increment and count of each. As a rule the
// step's own; a picture may take another way through the step (x across the visible range, u or v
// at one member) without the step being changed.
#include <cstdint>

#include "expr/FuncLimits.h"

class CAnimationStep;

class CStepSweep {
public:
    static CStepSweep Of(const CAnimationStep& step);
    // (count + 1) per variable multiplied; saturates at UINT64_MAX.
    uint64_t Samples() const;

    double m_dMin[FUNC_NVARS] = {};
    double m_dStep[FUNC_NVARS] = {};
    uint32_t m_nCount[FUNC_NVARS] = {};
};
