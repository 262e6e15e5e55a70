#pragma once
// The evaluation context: the value slots formulas read, the position of the sampling walk, the
// view mapping and the renderer's last pixel per function. Short-lived; owns nothing.
#include <climits>
#include <cstdint>

#include "expr/FuncLimits.h"
#include "view/CStepSweep.h"

class CProject;
class CAnimationStep;
class CFuncResolver;
class CFuncTerm;
class CSweepPlan;
class CViewBox;

class CFuncVars {
public:
    CFuncVars();
    // A copy takes every field but the renderer's per-function memory.
    CFuncVars(const CFuncVars& other);
    CFuncVars& operator=(const CFuncVars&) = delete;

    // The sampling walk: x fastest, then u, then v, then the next step.
    void Reset(CAnimationStep* pStep);
    bool Advance();
    // The same without counting the sample for the progress report (for a walk on another thread).
    bool Step();
    // Puts the walk at sample nIndex of the step's first run of x, where x is dX: the value the
    // walk had there, which only repeated addition gives exactly.
    void SeekX(CAnimationStep* pStep, uint32_t nIndex, double dX);
    // The walk's count of samples (m_nSamples, modulo 2^64) at the first sample of pStep when it
    // begins at pFirst: the samples of the steps before; null pStep: of all steps.
    static uint64_t StepStart(const CAnimationStep* pFirst, const CAnimationStep* pStep);
    // Puts the walk where it stood once: in the step at the indices, with x, u and v as they were
    // there and nSamples samples behind it.
    void Seek(CAnimationStep* pStep, const uint32_t (&nIndex)[FUNC_NVARS], const double (&dValue)[FUNC_NVARS],
              uint32_t nSamples);
    // Sends a point through the project's transformation; false where it is undefined.
    bool TransformPoint(double& x, double& y) const;
    // The same by the user's rule pRule (the project's, or a copy of it on another thread), its
    // references resolved through pResolver; false where pRule is null.
    bool TransformPoint(double& x, double& y, CFuncTerm* pRule, CFuncResolver* pResolver) const;
    // TransformPoint evaluates the user's rule, the project's transformation term.
    bool TransformsByTerm() const;
    // TransformPoint keeps every point as it is (no transformation mode).
    bool TransformsNothing() const;
    // TransformPoint maps every point by a fixed rule (polar coordinates): it evaluates no term
    // and is defined everywhere.
    bool TransformsByRule() const;

    // Binds the record to the project, resets the walk and computes the world-to-pixel mapping.
    void SetupView(CProject* pProject, CAnimationStep* pStep, uint32_t nWidth, uint32_t nHeight, uint32_t nLeft,
                   uint32_t nTop);
    // The same on the range of box rather than the one the document holds.
    void SetupView(CProject* pProject, const CViewBox& box, CAnimationStep* pStep, uint32_t nWidth, uint32_t nHeight,
                   uint32_t nLeft, uint32_t nTop);
    bool MapPoint(double x, double y, int32_t& nX, int32_t& nY, bool bTransform) const;
    // The pixel position of a world coordinate before it is truncated; right also where the
    // difference from the origin exceeds the doubles (a view from -1e308 to 1e308).
    double PixelX(double x) const { return Pixel(x, m_dOriginX, m_dScaleX); }
    double PixelY(double y) const { return Pixel(y, m_dOriginY, m_dScaleY); }
    // As MapPoint, with the grid point stored in slots 0 and 1 for the transformation term.
    bool MapGridPoint(double x, double y, int32_t& nX, int32_t& nY, bool bTransform);
    void UnmapPoint(int32_t nX, int32_t nY, double& x, double& y) const;

    // Pixels this far from the origin are drawn correctly and fast by every canvas; anything
    // beyond (a pole, 1e300) is pulled back to it. Well clear of the INT_MAX "no point" mark.
    static constexpr double PIXEL_LIMIT = 16777216.0;
    static int32_t ToPixel(double d);
    // Pixels per world unit for nPixels across dFrom ... dTo; 0 where the span is empty or not a
    // number. A span too narrow for its scale to be a double is widened about its centre to the
    // narrowest that is, and dFrom moves with it; a span wider than the doubles is measured in
    // halves.
    static double AxisScale(double nPixels, double& dFrom, double dTo);

    int32_t m_nLastX[MAX_FUNCTIONS]; // INT_MAX: no point to connect to
    int32_t m_nLastY[MAX_FUNCTIONS];
    // Where that point came from, kept only while poles break curves: the parameter (slot 0)
    // and the function's values there.
    double m_dLastParam[MAX_FUNCTIONS];
    double m_dLastValue[MAX_FUNCTIONS][2];
    CProject* m_pProject = nullptr;
    uint32_t m_nIndex[FUNC_NVARS] = {};
    double m_dValue[FUNC_NSLOTS] = {}; // x u v a b c d; d is 0 unless a reference sets it
    CAnimationStep* m_pStep = nullptr;
    // The way through the steps where a picture takes another than their own (null: their own),
    // and the sweep of the current step, which the walk follows.
    const CSweepPlan* m_pSweeps = nullptr;
    CStepSweep m_Sweep;
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
    double m_dRawBounds[4] = {}; // of the range the view shows, for the transformed grid

private:
    void EnterStep(CAnimationStep* pStep); // its sweep, with x, u and v at their starts
    static double Pixel(double d, double dOrigin, double dScale)
    {
        const double dPixel = (d - dOrigin) * dScale;
        if (dPixel - dPixel == 0.0) // finite: the common case
            return dPixel;
        // d - dOrigin overflowed (or the point lies beyond the doubles' pixels, which gives the
        // same infinity again); halves cannot overflow. Zero scale: 0 * inf stays NaN.
        return (d * 0.5 - dOrigin * 0.5) * dScale * 2.0;
    }
};
