#pragma once
// How a picture's curves are sampled and drawn, decided in one place for every surface: the
// screen, the picture files and the printer.
//
// One walk over all samples evaluates every visible function once. It determines the value
// range where one is needed and, for a raster picture of many samples, sums the curves up in
// runs of equal length (see CCurveSketch): per run and function the first and last point and
// the box of its points. Once the view is known, a run whose points all fall into one pixel
// column or one pixel row is drawn from that summary; every other run is drawn sample by
// sample. Vector files and small pictures are drawn sample by sample throughout.
//
// Where the walk runs anyway (to determine the range, or to sum the curves up), it also logs the
// values it computes, and their transformed points, for the drawing (see CSampleLog): a sample
// drawn one by one is then drawn from what the walk found, not evaluated a second time. Only
// functions that draw random numbers, and pictures whose log would outgrow MAX_LOG_VALUES, are
// evaluated again where they are drawn.
#include <cstdint>

#include "expr/FuncLimits.h"

class CProject;

class CPicturePlan {
public:
    // Below this many samples the plain drawing is as fast.
    static constexpr uint64_t MIN_SAMPLES = 65536;
    // Runs of one picture, and records of the summary (runs times functions), at the most:
    // enough for thousands of runs per pixel column, and a few megabytes whatever the samples.
    static constexpr uint32_t MAX_RUNS = 32768;
    static constexpr uint32_t MAX_RECORDS = 65536;
    static_assert(MAX_RECORDS >= MAX_RUNS && MAX_RECORDS / MAX_FUNCTIONS >= 1024,
                  "every number of functions gets runs short enough to fall into one column");
    static_assert(MIN_SAMPLES >= MAX_RUNS, "a summarised picture has runs of two samples or more");
    // Doubles of the log at the most (64 MB): a picture of a million samples keeps every value
    // of several curves; a larger one is summed up (on a raster) and draws the few samples that
    // cannot be summed up from evaluating them again.
    static constexpr uint64_t MAX_LOG_VALUES = uint64_t{1} << 23;

    // bRaster: the surface keeps pixels only (the screen, PNG); a vector file keeps every
    // element, so it is drawn sample by sample.
    CPicturePlan(CProject& project, bool bRaster);

    // The curves are summed up by the walk and drawn from the summaries where exact.
    bool Summarised() const { return m_nRunShift != NO_RUNS; }
    // Runs of 2^RunShift() samples, counted over all steps.
    unsigned RunShift() const { return m_nRunShift; }
    uint32_t Runs() const { return m_nRuns; }
    uint32_t Samples() const { return m_nSamples; } // over all steps
    // The slots (0-based) visible in some step, in the order the curves are drawn.
    unsigned Curves() const { return m_nCurves; }
    unsigned Slot(unsigned nCurve) const { return m_nSlots[nCurve]; }
    // Where a second thread may take over the rest of a step of nSamples samples: a multiple of
    // the run length, so that every run is summed up by one thread.
    uint32_t TailStart(uint64_t nSamples) const;

    // The walk logs the values of the curves for the drawing.
    bool Logged() const { return m_bLogged; }
    // Doubles per sample, and where curve nCurve's values (then its transformed points, x and y
    // each) begin among them.
    unsigned LogStride() const { return m_nLogStride; }
    unsigned LogOffset(unsigned nCurve) const { return m_nLogOffset[nCurve]; }
    unsigned LogValues(unsigned nCurve) const { return m_nLogValues[nCurve]; }
    // Transformed points per sample of the curve (0 where nothing is transformed).
    unsigned LogPoints(unsigned nCurve) const { return m_nLogPoints[nCurve]; }

private:
    static constexpr unsigned NO_RUNS = 64;
    unsigned m_nRunShift = NO_RUNS;
    uint32_t m_nRuns = 0;
    uint32_t m_nSamples = 0;
    unsigned m_nCurves = 0;
    unsigned m_nSlots[MAX_FUNCTIONS] = {};
    bool m_bLogged = false;
    unsigned m_nLogStride = 0;
    unsigned m_nLogOffset[MAX_FUNCTIONS] = {};
    unsigned m_nLogValues[MAX_FUNCTIONS] = {};
    unsigned m_nLogPoints[MAX_FUNCTIONS] = {};
};
