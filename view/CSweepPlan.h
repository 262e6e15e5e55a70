#pragma once
// The steps a picture's curves take another way through than the step's own: x across the visible
// range where the curves follow the view (FLAG_FOLLOWVIEW), u or v at one member where a slider
// shows one. Steps without an entry are walked as they stand. The value table and the range
// determination walk the steps' own ranges always.
#include <cstdint>
#include <unordered_map>

#include "view/CStepSweep.h"

class CAnimationStep;
class CProject;

class CSweepPlan {
public:
    // Samples per pixel at the least where x follows the view, so that no zoom shows corners.
    static constexpr double SAMPLES_PER_PIXEL = 2.0;
    // A followed x takes at most this many times the step's own samples (or twice the samples per
    // pixel, where they are more), however far the view is zoomed out.
    static constexpr uint64_t MAX_FACTOR = 4;

    // The step's x follows the view: the option is on, nothing is transformed, x is swept, and
    // every visible function is explicit (one value, drawn over x).
    static bool Follows(const CProject& project, const CAnimationStep& step);
    // Some step of the project follows.
    static bool AnyFollows(const CProject& project);
    // x of sweep (the step's own, perhaps with a member chosen) across dX0 ... dX1, nPixels
    // wide: at the step's density or finer, two samples a pixel at least, on the grid through the
    // step's start (refined by a whole factor), in the step's direction. False where that cannot
    // be walked (then sweep is unchanged).
    static bool FollowX(CStepSweep& sweep, double dX0, double dX1, uint32_t nPixels);
    // The value of member nIndex of a variable that starts at dStart, as the walk reaches it by
    // repeated addition of dStep.
    static double MemberValue(double dStart, double dStep, uint32_t nIndex);

    // Only member nIndex (0 ... count) of variable nVariable (1 u, 2 v) of the step is drawn.
    void SelectMember(const CAnimationStep& step, unsigned nVariable, uint32_t nIndex);
    // Every step that follows takes its x across dX0 ... dX1 of nPixels pixels.
    void FollowView(const CProject& project, double dX0, double dX1, uint32_t nPixels);
    // The sweep of the step, null where it is walked as it stands.
    const CStepSweep* For(const CAnimationStep* pStep) const;
    bool Empty() const { return m_Sweeps.empty(); }

private:
    CStepSweep& Sweep(const CAnimationStep& step);

    std::unordered_map<const CAnimationStep*, CStepSweep> m_Sweeps;
};
