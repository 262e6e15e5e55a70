#pragma once
// The curves of a picture summed up while one walk evaluates their samples, so that drawing them
// needs no second evaluation where the summary paints what the samples would. The samples of all
// steps are cut into runs of equal length (the plan decides the length); per run and function
// the sketch keeps the first and last point and the box of all points.
//
// On a raster, the segments between points of one pixel column paint that column from the
// topmost to the bottommost point, the bottom pixel left out, whatever the order of the points and
// the width of the pen; the same holds for a row. A run whose points all fall into one column (or
// row) is therefore drawn as its first point, the two ends of its box and its last point, and the
// segments into and out of it are the same as ever. Dots are summed up where a run's points all
// fall into one pixel. Curves of one run are drawn from their summaries only where what they paint
// lies apart, so the order in which the samples paint over one another does not matter. Runs at
// the start of a step or of a run of x, with undefined values, with a sign change where poles
// break curves, or across column and row borders are drawn sample by sample; their values are
// computed again.
#include <cstdint>
#include <memory>
#include <vector>

#include "expr/FuncLimits.h"
#include "view/CSampleSink.h"

class CAnimationStep;
class CCanvas;
class CPicturePlan;
class CProject;
struct SPoint;

class CCurveSketch final : public CSampleSink {
public:
    // A sketch to be filled by the walk over the project's samples, or null where the plan draws
    // sample by sample.
    static std::unique_ptr<CCurveSketch> For(CProject& project, const CPicturePlan& plan);

    // Safe on two threads at once for samples of different runs.
    void Visited(const CFuncVars& vars) override;
    void Sample(const CFuncVars& vars, unsigned nFunction, const double* pValues) override;
    // Every sample was seen.
    bool Complete() const;

    uint32_t Runs() const { return static_cast<uint32_t>(m_Runs.size()); }
    uint32_t RunStart(uint32_t nRun) const { return nRun << m_nShift; } // sample index
    uint32_t RunLength(uint32_t nRun) const;
    // Draws the run from its summary, as its samples would paint it on the view of vars, which
    // stands at the run's first sample; vars then stands after the run. False where the run is
    // to be drawn sample by sample (vars untouched).
    bool DrawRun(uint32_t nRun, CFuncVars& vars, CCanvas& canvas, int32_t nPenMultiplier) const;
    // Puts vars at the first sample of the run.
    void Seek(uint32_t nRun, CFuncVars& vars) const;

private:
    struct SRun {
        CAnimationStep* m_pStep;
        uint32_t m_nIndex[FUNC_NVARS];
        double m_dValue[FUNC_NVARS]; // x u v at the first sample
        double m_dLastX;             // x at the last sample
        uint32_t m_nVisited;
        bool m_bRegular; // no sample starts a step or a run of x
    };
    struct SCurve {
        double m_dFirst[2], m_dLast[2]; // points
        double m_dBox[4];               // x0 x1 y0 y1 of all points
        uint32_t m_nSeen;               // samples at which the function is drawn
        bool m_bRegular;                // each of them defined, finite, without a sign change
    };
    CCurveSketch(CProject& project, const CPicturePlan& plan);

    CProject& m_Project;
    unsigned m_nShift;
    uint32_t m_nSamples;
    unsigned m_nCurves;
    unsigned m_nSlots[MAX_FUNCTIONS];
    int m_nCurveOf[MAX_FUNCTIONS];     // -1: not summed up
    unsigned m_nValues[MAX_FUNCTIONS]; // 1 or 2
    bool m_bReads[MAX_FUNCTIONS][FUNC_NVARS];
    bool m_bBreakPoles;
    std::vector<SRun> m_Runs;
    std::vector<SCurve> m_Curves; // run by run, curve by curve
};
