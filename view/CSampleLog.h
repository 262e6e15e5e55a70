#pragma once
// The values a walk over the samples computes, kept for the drawing that follows it: every
// visible function's values at every sample and, where the picture is transformed, their
// transformed points. A sample the drawing cannot take from a summary is then drawn from what the
// walk found instead of being evaluated again, so every picture costs one evaluation per sample.
// The plan decides which pictures are logged (see CPicturePlan); the log is laid out by sample,
// so that the walk and a second thread write parts of their own.
#include <cstdint>
#include <memory>

#include "expr/FuncLimits.h"
#include "view/CSampleSink.h"

class CPicturePlan;

class CSampleLog final : public CSampleSink {
public:
    // A log for the walk over the project's samples, passing all it sees on to pForward (where
    // given); null where the plan logs nothing or the memory cannot be had.
    static std::unique_ptr<CSampleLog> For(const CPicturePlan& plan, CSampleSink* pForward);

    // Safe on two threads at once for different samples.
    void Visited(const CFuncVars& vars) override;
    void Sample(const CFuncVars& vars, unsigned nFunction, const double* pValues) override;
    void Transformed(const CFuncVars& vars, unsigned nFunction, unsigned nPoint, double x, double y,
                     bool bDefined) override;

    enum class EEntry : uint8_t { Missing, Undefined, Defined };
    // The values of function nFunction (0-based) at the sample where vars stands: Missing where
    // the log does not hold them (the drawing evaluates then).
    EEntry Values(const CFuncVars& vars, unsigned nFunction, const double*& pValues) const;
    // The log holds the transformed points (the picture is transformed).
    bool Transforms() const { return m_bTransforms; }
    // Transformed point nPoint of the values found by Values.
    EEntry Point(const CFuncVars& vars, unsigned nFunction, unsigned nPoint, double& x, double& y) const;

private:
    CSampleLog(const CPicturePlan& plan, CSampleSink* pForward);

    CSampleSink* m_pForward;
    uint32_t m_nSamples;
    unsigned m_nStride;            // doubles per sample
    unsigned m_nFlagStride;        // entries per sample: one per curve, then one per transformed point
    int m_nCurveOf[MAX_FUNCTIONS]; // -1: not logged
    unsigned m_nOffset[MAX_FUNCTIONS];
    unsigned m_nValues[MAX_FUNCTIONS];
    unsigned m_nPoints[MAX_FUNCTIONS];
    unsigned m_nFlagOffset[MAX_FUNCTIONS]; // of the curve's first point
    bool m_bTransforms = false;
    // Memory of its own, zero until written: the walk writes each page once, so neither a fill
    // beforehand nor small pages (a fault each) are worth their time.
    struct SPages {
        explicit SPages(size_t nBytes);
        ~SPages();
        SPages(const SPages&) = delete;
        SPages& operator=(const SPages&) = delete;
        void* m_pData;
        size_t m_nBytes;
    };
    std::unique_ptr<SPages> m_pValuePages;
    std::unique_ptr<SPages> m_pEntryPages;
    double* m_pValues = nullptr;
    EEntry* m_pEntries = nullptr; // Missing is 0
};
