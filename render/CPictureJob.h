#pragma once
// The drawing of one picture, for every surface: the screen, the picture files, the frames of an
// animation and the printer. A job walks all samples once (the range determination, which also
// sums the curves up where the plan says so), then draws background, grid and curves onto a
// canvas. How far a call draws, and when it stops (pacing, a finished step, cancellation, a
// deadline), is the caller's: the screen draws a few samples per tick, the files run to the end.
#include <cstdint>
#include <functional>
#include <memory>

#include "view/CFuncVars.h"
#include "view/CPicturePlan.h"
#include "view/CSweepPlan.h"
#include "view/CViewBox.h"

class CAnimationStep;
class CCanvas;
class CCurveSketch;
class CProject;
class CRangeTail;
class CRangeWalk;
class CSampleLog;
class CSampleSink;
class CSliceClock;

class CPictureJob {
public:
    // Asked after every sample (or summarised run) with the job's walk and the step the last
    // sample belonged to; true stops the drawing there.
    using StopFunction = std::function<bool(const CFuncVars& vars, const CAnimationStep* pFrom)>;

    // bRaster: the canvas keeps pixels only. bDetermineRange: the walk determines the range as
    // entering the page does; otherwise the range the document holds is drawn. bSecondThread: a
    // long sweep may leave its last part to a second processor, which reads the document while
    // the walk goes on; a job whose document may be edited between its slices runs on one.
    CPictureJob(CProject& project, bool bRaster, bool bDetermineRange, bool bSecondThread = true);
    ~CPictureJob();
    CPictureJob(const CPictureJob&) = delete;
    CPictureJob& operator=(const CPictureJob&) = delete;

    // The walk over all samples, in slices of at most nSamples, and with a clock until its
    // slice is over; false once it is done.
    bool Walk(uint64_t nSamples, CSliceClock* pClock = nullptr);
    // The whole walk at once, the last part of a long sweep on a second processor.
    void WalkAll();
    bool Walked() const;
    double Progress() const; // of the walk, 0 ... 1
    // After the walk: the range determined, or the document's.
    CViewBox Range() const;

    // Background (where bBackground) and grid, on the box, into the rectangle.
    static void DrawLayers(CProject& project, const CViewBox& box, CCanvas& canvas, uint32_t nWidth, uint32_t nHeight,
                           uint32_t nLeft, uint32_t nTop, bool bBackground);
    // Only member nIndex of variable nVariable (1 u, 2 v) of the step is drawn (the range is still
    // the whole family's). Before the walk begins.
    void SelectMember(const CAnimationStep& step, unsigned nVariable, uint32_t nIndex);
    // The steps are swept as another job's are (a printout of the screen's drawing in progress,
    // which shows as far as the screen has come). Before Setup.
    void UseSweeps(const CSweepPlan& sweeps);
    // The view of the curves, on the box, into the rectangle; the curves start at the first
    // sample of pFrom (null: of the first step). No curves on a box that cannot be mapped. Where
    // the curves follow the view, the x of their steps is swept across the rectangle's x range.
    void Setup(const CViewBox& box, uint32_t nWidth, uint32_t nHeight, uint32_t nLeft, uint32_t nTop,
               int32_t nPenMultiplier, CAnimationStep* pFrom = nullptr);
    // Draws the curves on until stop says so; summaries are used for runs that end at or before
    // sample nRunLimit. False once the curves are complete.
    bool Draw(CCanvas& canvas, uint64_t nRunLimit, const StopFunction& stop);
    bool Done() const { return m_Vars.m_pStep == nullptr; }
    const CFuncVars& Vars() const { return m_Vars; }
    const CSweepPlan& Sweeps() const { return m_Sweeps; }
    const CPicturePlan& Plan() const { return m_Plan; }
    CProject& Project() const { return m_Project; }

private:
    CSampleSink* Sink() const; // what the walk reports to

    CProject& m_Project;
    bool m_bDetermineRange;
    bool m_bSecondThread;
    CPicturePlan m_Plan;
    std::unique_ptr<CCurveSketch> m_pSketch;
    std::unique_ptr<CSampleLog> m_pLog;  // the walk's values, for the samples drawn one by one
    std::unique_ptr<CRangeTail> m_pTail; // the last part of the walk, on a second processor
    std::unique_ptr<CRangeWalk> m_pWalk;
    CViewBox m_Range;
    bool m_bWalked = false;
    bool m_bSketchComplete = false;
    CSweepPlan m_Members;        // what SelectMember chose
    CSweepPlan m_Sweeps;         // the way the curves take through the steps, for the view set up
    bool m_bFixedSweeps = false; // taken over by UseSweeps
    CFuncVars m_Vars;
    int32_t m_nPenMultiplier = 1;
};
