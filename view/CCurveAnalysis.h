#pragma once
// Where a curve crosses zero, where it turns, bends the other way or meets another, whether it
// jumps, and the area under it: brackets found on sampled values, narrowed by bisection and golden
// section until double precision allows no more; areas by adaptive Gauss-Kronrod quadrature.
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
    // magnitude, where given, is the size of the values f was computed from at t (|g| + |h| for
    // f = g - h): their rounding counts as zero too, the cancellation the difference hides.
    static void AddRootsAtExtrema(const Function& f, const std::vector<SExtremum>& extrema, double dFrom, double dTo,
                                  unsigned nSamples, std::vector<double>& roots, const Function& magnitude = {});

    // Where f and g meet in [dFrom, dTo]: the roots of f - g, those where they only touch
    // included, sorted. dTolerance as for Roots: a step of f - g larger stays apart.
    static std::vector<double> Intersections(const Function& f, const Function& g, double dFrom, double dTo,
                                             unsigned nSamples, double dTolerance);
    // Where the second derivative d2 changes sign in [dFrom, dTo] and f is continuous: the
    // inflection points, refined on the sign of d2. A zero of d2 without a change of sign (x^4 at
    // 0) bends no other way; a pole of f (1/x) is no point of the curve. f counts as continuous
    // where it moves by less than dTolerance across the refined bracket.
    static std::vector<double> Inflections(const Function& f, const Function& d2, double dFrom, double dTo,
                                           unsigned nSamples, double dTolerance);

    struct SIntegral {
        double m_dValue = 0.0;
        double m_dError = 0.0;   // the estimate: the sum of |K15 - G7| over the final pieces
        unsigned m_nPieces = 0;  // how many pieces [a, b] was cut into
        bool m_bReached = false; // the error estimate met the goal
    };
    // The integral of f over [a, b] (b < a gives the negative) by Gauss-Kronrod 7-15 on pieces,
    // halving the piece of the largest error estimate until the sum of the estimates lies within
    // dGoal absolutely or relatively, or nMaxPieces are used. False where f is undefined at a node.
    static bool Integrate(const Function& f, double a, double b, SIntegral& result, double dGoal = 1e-12,
                          unsigned nMaxPieces = 4000);

    // Golden section for a maximum (bMaximum) or minimum of f in [a, b]; false when f is
    // undefined somewhere on the way.
    static bool GoldenSection(const Function& f, double a, double b, bool bMaximum, double& t, double& y);
    // f at nSamples + 1 evenly spaced places from dFrom to dTo (the last one dTo itself): places,
    // values and whether each is defined.
    static void SampleEvenly(const Function& f, double dFrom, double dTo, unsigned nSamples, std::vector<double>& t,
                             std::vector<double>& y, std::vector<char>& ok);
};
