#pragma once
// Progress of a long walk over samples, for the command line: every advance of a sampling walk
// ticks the active record, which now and then hands the count to its report function, once a
// second has passed and then a few times a second.
#include <chrono>
#include <cstdint>
#include <functional>

class CProgress {
public:
    using ReportFunction = std::function<void(uint64_t nDone, uint64_t nTotal)>;

    // Becomes the active record until it is destroyed.
    CProgress(uint64_t nTotal, ReportFunction report);
    ~CProgress();
    CProgress(const CProgress&) = delete;
    CProgress& operator=(const CProgress&) = delete;

    // nSamples ticks at once, for samples done without a walk of their own.
    static void Tick(uint64_t nSamples = 1)
    {
        if (s_pActive && (s_pActive->m_nDone += nSamples) >= s_pActive->m_nNextCheck)
            s_pActive->Check();
    }

    // Whether the report function ran at least once.
    bool Reported() const { return m_bReported; }

private:
    using Clock = std::chrono::steady_clock;

    // Reads the clock only every m_nStride ticks, the stride grown or shrunk to about 20 ms.
    void Check();

    static CProgress* s_pActive;
    CProgress* m_pOuter;
    uint64_t m_nTotal;
    ReportFunction m_Report;
    uint64_t m_nDone = 0;
    uint64_t m_nNextCheck = 1;
    uint64_t m_nStride = 1;
    Clock::time_point m_Start;
    Clock::time_point m_LastCheck;
    Clock::time_point m_LastReport;
    bool m_bReported = false;
};
