#pragma once
// One long curve summarised while the value range is determined, so that drawing it needs the
// values of only a few samples a second time. The samples are cut into runs of equal length. On
// a raster, the segments between points of one pixel column paint that column from the topmost
// to the bottommost point, the bottom pixel left out, whatever the order of the points and the
// width of the pen: a run whose points all fall into one column is drawn as its first, lowest,
// highest and last point, and the segments into and out of it are the same as ever. Runs across
// a column border, at the ends of the curve and next to an undefined value are drawn sample by
// sample. Only a picture of which this holds is summarised: one step of one explicit, connected
// curve in one pen, whose values are the same whenever they are computed.
#include <cstdint>
#include <memory>
#include <vector>

#include "view/CSampleSink.h"

class CAnimationStep;
class CCanvas;
struct SPoint;
class CProject;

class CCurveSketch final : public CSampleSink {
public:
    // Below this many samples the plain drawing is as fast.
    static constexpr uint64_t MIN_SAMPLES = 65536;
    static constexpr uint32_t MAX_RUNS = 32768;

    // A sketch to be filled by the range determination of the project, or null where its picture
    // is not of the kind summarised (or too small to gain from it).
    static std::unique_ptr<CCurveSketch> For(CProject& project);

    // Safe on two threads at once for samples of different runs (a tail of the range walk starts
    // at a run).
    void Sample(const CFuncVars& vars, unsigned nFunction, const double* pValues) override;
    // Every sample was seen: a range determination has walked the whole step.
    bool Complete() const;
    // Draws the curve as the sample-by-sample drawing on the view of vars would, which must be
    // set up on the range the walk determined. Leaves vars at the end of the walk.
    void Draw(CFuncVars& vars, CCanvas& canvas, int32_t nPenMultiplier) const;

private:
    struct SRun {
        double m_dFirstX, m_dLastX;
        double m_dFirst, m_dLow, m_dHigh, m_dLast;
        uint32_t m_nSeen; // samples
        bool m_bRegular;  // every value defined and finite, and connected to the one before
    };
    CCurveSketch(CAnimationStep* pStep, unsigned nFunction, uint32_t nSamples);
    // Whether the run is drawn from its summary, whose first, lowest, highest and last point then
    // stand in pPoints[0 ... 3].
    bool Summarised(const CFuncVars& vars, uint32_t nRun, SPoint* pPoints) const;
    uint32_t RunLength(uint32_t nRun) const;

    CAnimationStep* m_pStep;
    unsigned m_nFunction;
    uint32_t m_nSamples;
    unsigned m_nShift = 0; // runs of 2^m_nShift samples
    std::vector<SRun> m_Runs;
};
