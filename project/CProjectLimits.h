#pragma once
// Bounds on what a project file, or the user, may ask of memory and time. Far above any real
// project; what lies beyond is refused with a message instead of taking hours or all memory.
#include <cstdint>

#include "expr/FuncLimits.h"

class CProject;
class CAnimationStep;

constexpr uint64_t PROJECT_MAX_FILE = uint64_t{64} << 20;  // bytes of a project file
constexpr uint64_t PROJECT_MAX_NOTES = uint64_t{16} << 20; // bytes of its notes
constexpr uint32_t PROJECT_MAX_STEPS = 10000;              // animation steps
constexpr uint64_t PROJECT_MAX_SAMPLES = 1000000000;       // samples of all steps together

class CProjectLimits {
public:
    // The samples of a step, (count + 1) per range variable multiplied; saturates just above the
    // limit instead of overflowing.
    static uint64_t StepSamples(const uint32_t (&nCount)[FUNC_NVARS]);
    // The samples of every step, saturating likewise.
    static uint64_t TotalSamples(const CProject& project);
    // As TotalSamples, were the count of nVariable in pStep, and in the steps that take their
    // ranges from it, nCount.
    static uint64_t TotalSamplesWith(const CProject& project, const CAnimationStep* pStep, unsigned nVariable,
                                     uint32_t nCount);
};
