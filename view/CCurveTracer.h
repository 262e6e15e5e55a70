#pragma once
// Reading a drawn curve: which curve lies under the pointer, its point at the pointer's x (or at
// the parameter nearest the pointer), and its roots and extrema in the visible range.
#include <cstdint>
#include <vector>

#include "view/CCurveAnalysis.h"

class CAnimationStep;
class CFuncVars;
class CProject;

class CCurveTracer {
public:
    // One drawn curve: a function of one step at fixed u and v, and which of its points.
    struct SCurve {
        unsigned m_nSlot = 0; // 1 ... 50
        const CAnimationStep* m_pStep = nullptr;
        double m_dU = 0.0;
        double m_dV = 0.0;
        unsigned m_nPair = 0;    // point k of a sample: values 2k and 2k + 1
        bool m_bExplicit = true; // y over x: one value and no transformation
    };

    // The curve with a drawn point nearest to pixel (nX, nY) of the view, within nMaxDistance
    // pixels; walks every sample of every step once.
    static bool Pick(CProject& project, const CFuncVars& view, int32_t nX, int32_t nY, int32_t nMaxDistance,
                     SCurve& curve);
    // The world point of the curve at parameter t (transformed, as drawn); false where undefined.
    static bool PointAt(CProject& project, const SCurve& curve, double t, double& x, double& y);
    // The traced point for the pointer at (nX, nY): at the pointer's x for an explicit curve,
    // kept within the step's x range (and the view's, where the curve follows it); otherwise at the parameter whose
    // point lies nearest.
    static bool Follow(CProject& project, const CFuncVars& view, const SCurve& curve, int32_t nX, int32_t nY, double& t,
                       double& x, double& y);
    // Roots (y = 0) and extrema of y over the parameter, where the curve is in the visible x range.
    static void Analyse(CProject& project, const CFuncVars& view, const SCurve& curve, std::vector<double>& roots,
                        std::vector<CCurveAnalysis::SExtremum>& extrema);

    static constexpr uint32_t MAX_SEARCH = 20000;    // samples a pointer move looks at
    static constexpr uint32_t MAX_BRACKETS = 100000; // samples that bracket roots and extrema
};
