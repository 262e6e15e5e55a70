#pragma once
// The last part of the range determination of a long sweep, walked on a second processor while
// the walk does the first part. It serves one function of x alone that refers to no other one and
// draws no random numbers: its values are the same whoever computes them. The tail runs a copy
// of the function compiled anew from its text, without the cache, so that nothing it touches is
// touched by the walk meanwhile; the cache statistics count the walk's own look-ups. At the end
// the walk takes the tail's points over in summary (CRangeWalk::JoinTail).
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "expr/FuncLimits.h"

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
        bool m_bAny = false;   // some value was defined
        double m_dBox[4] = {}; // x0 x1 y0 y1 of those, as CRangeWalk::Widen makes it
    };

    // A tail at work on the project's only step, or null where none can help. pSink, where
    // given, sees the tail's values on the tail's thread; the plan says where the tail starts.
    static std::unique_ptr<CRangeTail> For(CProject& project, CSampleSink* pSink, const CPicturePlan& plan);
    ~CRangeTail();
    CRangeTail(const CRangeTail&) = delete;
    CRangeTail& operator=(const CRangeTail&) = delete;

    const CAnimationStep* Step() const { return m_pStep; }
    uint32_t First() const { return m_nFirst; } // the samples before are the walk's
    uint32_t Count() const { return m_nCount; } // samples in the tail
    // Waits for the thread; false where it could not do its part (then the walk must).
    bool Wait();
    const SPoints& Points() const { return m_Points; } // after Wait

private:
    CRangeTail(CAnimationStep* pStep, const std::string& szText, unsigned nFunction, CSampleSink* pSink);
    void Walk();

    CAnimationStep* m_pStep;
    std::string m_szText; // compiled on the thread, into memory of its own
    unsigned m_nFunction;
    CSampleSink* m_pSink;
    uint32_t m_nFirst = 0;
    uint32_t m_nCount = 0;
    double m_dStart[FUNC_NSLOTS] = {};
    SPoints m_Points; // written by the thread once, at its end
    bool m_bDone = false;
    std::thread m_Thread;
};
