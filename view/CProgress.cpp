#include "view/CProgress.h"

CProgress* CProgress::s_pActive = nullptr;

CProgress::CProgress(uint64_t nTotal, ReportFunction report)
    : m_pOuter(s_pActive), m_nTotal(nTotal), m_Report(std::move(report)), m_Start(Clock::now()), m_LastCheck(m_Start),
      m_LastReport(m_Start)
{
    s_pActive = this;
}

CProgress::~CProgress()
{
    s_pActive = m_pOuter;
}

void CProgress::Check()
{
    const Clock::time_point now = Clock::now();
    const auto since = [&now](Clock::time_point then) { return now - then; };
    if (since(m_LastCheck) < std::chrono::milliseconds(10))
        m_nStride *= 2;
    else if (since(m_LastCheck) > std::chrono::milliseconds(50) && m_nStride > 1)
        m_nStride /= 2;
    m_LastCheck = now;
    m_nNextCheck = m_nDone + m_nStride;
    if (since(m_Start) >= std::chrono::seconds(1) && since(m_LastReport) >= std::chrono::milliseconds(200)) {
        m_LastReport = now;
        m_bReported = true;
        if (m_Report)
            m_Report(m_nDone, m_nTotal);
    }
}
