#pragma once
// The end of a slice of work that a window does between its events. A walk asks after every
// sample, so asking costs a load and no reading of the clock: the time is kept by an alarm on a
// thread of its own, which only raises a flag. A slice overruns by the sample under way at most
// (a value at the work limit may take most of a second), however cheap the samples before it.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class CSliceClock {
public:
    CSliceClock() = default;
    virtual ~CSliceClock();
    CSliceClock(const CSliceClock&) = delete;
    CSliceClock& operator=(const CSliceClock&) = delete;

    // Begins a slice that ends nMilliseconds from now.
    virtual void StartSlice(uint32_t nMilliseconds);
    // Whether the slice begun last has ended.
    virtual bool SliceOver() { return m_bOver.load(std::memory_order_relaxed); }

private:
    using Clock = std::chrono::steady_clock;
    void Run(); // the alarm

    std::mutex m_Mutex;
    std::condition_variable m_Wake;
    Clock::time_point m_End;
    bool m_bArmed = false;
    bool m_bQuit = false;
    std::atomic<bool> m_bOver{false};
    std::thread m_Thread; // started with the first slice
};
