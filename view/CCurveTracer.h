#pragma once
// Reading a drawn curve: which curve lies under the pointer, its point at the pointer's x (or at
// the parameter nearest the pointer), its roots, extrema, inflection points and meetings with
// another curve in the visible range, its tangent, and the area under it.
#include <cstdint>
#include <vector>

#include "view/CAnalysisMarks.h"
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

    // The derivative of order nOrder (1 or 2) of the curve's point, as drawn, by its parameter;
    // false where it is undefined or not differentiable.
    static bool Derivative(CProject& project, const CFuncVars& view, const SCurve& curve, double t, unsigned nOrder,
                           double& dx, double& dy);

    // The tangent at parameter t: the point, its direction, and for a line that is not upright
    // y = m x + n.
    struct STangent {
        double m_dX = 0.0;
        double m_dY = 0.0;
        double m_dDirX = 1.0;
        double m_dDirY = 0.0;
        bool m_bUpright = false; // x = m_dX; m and n say nothing then
        double m_dSlope = 0.0;
        double m_dIntercept = 0.0;
    };
    static bool Tangent(CProject& project, const CFuncVars& view, const SCurve& curve, double t, STangent& tangent);
    // The normal to the tangent through the same point.
    static STangent Normal(const STangent& tangent);

    // The other explicit curves of the curve's step, at its u and v: those it can meet, and
    // those an area can be measured against.
    static std::vector<SCurve> Partners(const CProject& project, const SCurve& curve);
    // The parameters where the curves meet in the visible x range; both explicit.
    static void Intersect(CProject& project, const CFuncVars& view, const SCurve& curve, const SCurve& other,
                          std::vector<double>& meets);
    // The inflection points of an explicit curve in the visible range.
    static void Inflect(CProject& project, const CFuncVars& view, const SCurve& curve, std::vector<double>& points);
    // The parameters where the curve meets the y axis (x = 0) in its parameter range.
    static void YIntercepts(CProject& project, const CFuncVars& view, const SCurve& curve, std::vector<double>& ts);
    // The signed area between the explicit curve and pOther (the x axis where null) from a to b;
    // false where a curve is undefined on the way.
    static bool Area(CProject& project, const SCurve& curve, const SCurve* pOther, double a, double b,
                     CCurveAnalysis::SIntegral& area);
    // The strips that shade that area, nStrips + 1 of them from a to b.
    static void AreaStrips(CProject& project, const SCurve& curve, const SCurve* pOther, double a, double b,
                           unsigned nStrips, std::vector<CAnalysisMarks::SStrip>& strips);

    static constexpr uint32_t MAX_SEARCH = 20000;    // samples a pointer move looks at
    static constexpr uint32_t MAX_BRACKETS = 100000; // samples that bracket roots and extrema
};
