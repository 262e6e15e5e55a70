#pragma once
// The millisecond tick counter that paces the drawing (32 bits, wrapping). Tests drive their own.
#include <QElapsedTimer>
#include <cstdint>

class CTickClock {
public:
    CTickClock() { m_Timer.start(); }
    virtual ~CTickClock() = default;
    virtual uint32_t Now() const { return static_cast<uint32_t>(m_Timer.elapsed()); }

private:
    QElapsedTimer m_Timer;
};
