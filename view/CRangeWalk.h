#pragma once
// The value-range determination as a walk that can be done in pieces: a window runs a slice at a
// time between its events and may drop the walk halfway, with the document untouched until the
// walk is finished.
#include <cstdint>

#include "expr/FuncLimits.h"
#include "view/CFuncVars.h"
#include "view/CViewBox.h"

class CFuncTerm;
class CProject;
class CRangeTail;
class CSampleSink;
class CSliceClock;

class CRangeWalk {
public:
    // pSink, where given, sees every value the walk computes. A walk with bAlways walks the
    // samples for the sink even where no range is to be determined.
    explicit CRangeWalk(CProject& project, CSampleSink* pSink = nullptr, bool bAlways = false);
    CRangeWalk(const CRangeWalk&) = delete;
    CRangeWalk& operator=(const CRangeWalk&) = delete;

    // Walks on for at most nSamples samples, and with a clock until its slice is over (asked
    // after every sample); false once every sample of every step is done.
    bool Walk(uint64_t nSamples, CSliceClock* pClock = nullptr);
    bool Done() const { return m_bDone; }
    // The part of all samples walked so far, 0 ... 1.
    double Progress() const;
    // Takes over the points of a tail walked elsewhere (see CRangeTail) as if walked here, where
    // the walk stands at the tail's first sample; the walk is then done. Waits for the tail.
    // False where the walk is to go on itself.
    bool JoinTail(CRangeTail& tail);
    // The walk stands at the tail's first sample.
    bool AtTail(const CRangeTail& tail) const;
    uint32_t Position() const { return m_Vars.m_nSamples; } // samples walked
    // Widens the box x0 x1 y0 y1 to take the point; the first point sets it, even where it is not
    // a number.
    static void Widen(double x, double y, double (&dBox)[4], bool bFirst);
    // The range as far as the walk has come (the whole range once it is done): the automatic axes
    // from the points, the others as the document holds them.
    // With FLAG_RANGEMARGIN each automatic axis is widened by this share of its span both ways.
    static constexpr double RANGE_MARGIN = 0.05;
    CViewBox Result() const;
    // Writes the result into the document.
    void Finish();
    // What the walk met so far: a defined point, and one the transformation maps (where no range
    // is determined, nothing is walked and both are true).
    bool AnyPoint() const { return !m_bRange || !m_bFirst; }
    bool AnyView() const { return !m_bRange || m_bAnyView; }

private:
    struct SVisit {
        CFuncTerm* m_pTerms[MAX_FUNCTIONS]; // of the visible slots that hold one
        unsigned m_nSlots[MAX_FUNCTIONS];
        unsigned m_nTerms = 0;
        bool m_bPlain = false; // the transformation leaves every point as it is
    };
    // The points of the current sample, from its m_nTerm-th function on; false where the slice
    // ended before its last function (the next call goes on there).
    bool Visit(const SVisit& visit, CSliceClock* pClock);

    CProject& m_Project;
    CSampleSink* m_pSink;
    CFuncVars m_Vars;
    bool m_bXAuto;
    bool m_bYAuto;
    bool m_bRange; // a range is to be determined at all
    bool m_bDone = false;
    bool m_bFirst = true;
    bool m_bAnyView = false;
    unsigned m_nTerm = 0; // the next function of the current sample
    double m_dRaw[4] = {0.0, 0.0, 0.0, 0.0};
    double m_dBounds[4] = {0.0, 0.0, 0.0, 0.0};
    double m_dTotal = 0.0; // samples of all steps; may exceed any integer count
    double m_dWalked = 0.0;
};
