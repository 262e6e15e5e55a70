#pragma once
// The clock of the window's slices of work: the millisecond tick counter (32 bits, wrapping) and
// the end of a slice (see CSliceClock). Tests drive their own.
#include <QElapsedTimer>
#include <cstdint>

#include "view/CSliceClock.h"

class CTickClock : public CSliceClock {
public:
    CTickClock() { m_Timer.start(); }
    virtual uint32_t Now() const { return static_cast<uint32_t>(m_Timer.elapsed()); }

private:
    QElapsedTimer m_Timer;
};
