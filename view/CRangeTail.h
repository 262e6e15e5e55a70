#pragma once
// The last part of the walk over the samples of a large picture (of one step or several),
// walked on a second processor while the walk does the first part. It serves the functions whose
// values are the same whoever computes them: none draws random numbers, and each, with every
// function it refers to and the transformation, stays within the work limit whatever the caches
// hold (CFuncTerm::WorkBound), so that no value is cut off on one thread and computed on the
// other. The tail runs copies of the functions and of the transformation compiled anew from their
// texts (CTermCopies), so that nothing it touches is touched by the walk meanwhile; the cache
// statistics count the walk's own look-ups. At the end the walk takes the tail's points over in
// summary (CRangeWalk::JoinTail). Both threads compute every value by the same program from the
// same slot values, so the range and the pictures do not depend on the split.
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "expr/FuncLimits.h"
#include "view/CTermCopies.h"

class CAnimationStep;
class CPicturePlan;
class CProject;
class CSampleSink;

class CRangeTail {
public:
    // Below this many samples a thread costs more than it saves.
    static constexpr uint64_t MIN_SAMPLES = 1u << 18;

    // The points of the tail, summed up as the walk's bounds need them.
    struct SPoints {
        bool m_bAny = false;       // some value was defined
        double m_dBox[4] = {};     // x0 x1 y0 y1 of those, as CRangeWalk::Widen makes it
        bool m_bAnyView = false;   // some transformed point was defined
        bool m_bFirstView = false; // the first point's (the first of m_bAny) was
        double m_dView[4] = {};    // the box of the defined transformed points
    };

    // A tail at work on the last samples of the project's steps, or null where none can help.
    // pSink, where given, sees the tail's values on the tail's thread; the plan says where the
    // tail starts.
    static std::unique_ptr<CRangeTail> For(CProject& project, CSampleSink* pSink, const CPicturePlan& plan);
    ~CRangeTail(); // stops the thread where it has not finished
    CRangeTail(const CRangeTail&) = delete;
    CRangeTail& operator=(const CRangeTail&) = delete;

    const CAnimationStep* Step() const { return m_pStep; } // where the tail begins
    uint32_t First() const { return m_nFirst; }            // the samples before, of all steps, are the walk's
    uint32_t Count() const { return m_nCount; }            // samples in the tail
    // Waits for the thread; false where it could not do its part (then the walk must).
    bool Wait();
    const SPoints& Points() const { return m_Points; } // after Wait

private:
    CRangeTail(CAnimationStep* pStep, CSampleSink* pSink);
    void Walk();

    CAnimationStep* m_pStep;
    CSampleSink* m_pSink;
    CProject* m_pProject = nullptr; // for the mode of the transformation, which it only reads
    unsigned m_nFunctions = 0;
    unsigned m_nSlots[MAX_FUNCTIONS] = {};
    uint32_t m_nValues[MAX_FUNCTIONS] = {}; // the document's value counts, which the copies must have
    bool m_bRule = false;                   // points are transformed by the user's rule
    uint32_t m_nRuleValues = 0;             // its value count in the document
    CTermCopies m_Copies;                   // compiled on the thread, into memory of its own
    uint32_t m_nFirst = 0;
    uint32_t m_nInStep = 0; // the first sample's place in its step
    uint32_t m_nCount = 0;
    SPoints m_Points; // written by the thread once, at its end
    bool m_bDone = false;
    std::atomic<bool> m_bStop{false};
    std::thread m_Thread;
};
