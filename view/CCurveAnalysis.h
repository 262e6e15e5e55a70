#pragma once
// Where a curve crosses zero, where it turns, and whether it jumps: brackets found on sampled
// values, narrowed by bisection and golden section until double precision allows no more.
#include <functional>
#include <vector>

class CCurveAnalysis {
public:
    // One probe of the curve at parameter t: the value whose sign is watched and where that
    // point lies, in units in which a distance below 1 no longer shows (pixels, for drawing).
    struct SProbe {
        double m_dT = 0.0;
        double m_dValue = 0.0;
        double m_dX = 0.0;
        double m_dY = 0.0;
    };
    // False where the curve is undefined at t.
    using ProbeFunction = std::function<bool(double t, SProbe& probe)>;
    // The value at t; false where it is undefined.
    using Function = std::function<bool(double t, double& y)>;

    enum class EJump { Continuous, Jump, Undefined };

    struct SExtremum {
        double m_dT;
        double m_dValue;
        bool m_bMaximum;
    };

    // a and b have values of opposite signs. Halves [a, b], keeping the half with the sign
    // change, until the two ends lie closer than 1 (Continuous: the curve passes through), the
    // interval can no longer be split and its ends are still apart (Jump: a pole or a step), or
    // a probe is undefined (Undefined). a and b are left at the last bracket.
    static EJump Narrow(const ProbeFunction& probe, SProbe& a, SProbe& b);

    // Roots in [dFrom, dTo], bracketed on nSamples + 1 equally spaced values and refined to
    // adjacent doubles. A sign change whose values stay dTolerance or more apart to the end is
    // a pole or a step, no root.
    static std::vector<double> Roots(const Function& f, double dFrom, double dTo, unsigned nSamples, double dTolerance);
    // Local extrema inside (dFrom, dTo): a sample above (below) both neighbours brackets a
    // maximum (minimum), golden section narrows it, and the sign change of a five-point
    // derivative pins it down where the values themselves have become too flat to compare.
    // Peaks that do not flatten out (poles) are left out.
    static std::vector<SExtremum> Extrema(const Function& f, double dFrom, double dTo, unsigned nSamples);

    // The roots sampling cannot see, added to roots (sorted): where an extremum touches zero
    // without a change of sign, and where the curve dips through zero and back between two
    // samples. The extremum's value counts as zero where it lies within the rounding of the
    // values: of those a sample step away (the scale of the curve there) and of those a few
    // doubles away (the noise of the computation). A curve that only comes near zero, however
    // near, has no root there.
    static void AddRootsAtExtrema(const Function& f, const std::vector<SExtremum>& extrema, double dFrom, double dTo,
                                  unsigned nSamples, std::vector<double>& roots);

    // Golden section for a maximum (bMaximum) or minimum of f in [a, b]; false when f is
    // undefined somewhere on the way.
    static bool GoldenSection(const Function& f, double a, double b, bool bMaximum, double& t, double& y);
};
