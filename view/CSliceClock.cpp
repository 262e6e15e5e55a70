#include "view/CSliceClock.h"

CSliceClock::~CSliceClock()
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_bQuit = true;
    }
    m_Wake.notify_one();
    if (m_Thread.joinable())
        m_Thread.join();
}

void CSliceClock::StartSlice(uint32_t nMilliseconds)
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_End = Clock::now() + std::chrono::milliseconds(nMilliseconds);
        m_bArmed = true;
        m_bOver.store(false, std::memory_order_relaxed);
        if (!m_Thread.joinable())
            m_Thread = std::thread(&CSliceClock::Run, this);
    }
    m_Wake.notify_one();
}

void CSliceClock::Run()
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    while (!m_bQuit) {
        if (!m_bArmed) {
            m_Wake.wait(lock);
            continue;
        }
        // A slice begun meanwhile moves the end; only the end waited for rings.
        const Clock::time_point end = m_End;
        if (m_Wake.wait_until(lock, end) == std::cv_status::timeout && m_bArmed && m_End == end) {
            m_bOver.store(true, std::memory_order_relaxed);
            m_bArmed = false;
        }
    }
}
