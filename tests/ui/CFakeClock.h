#pragma once
// The window's clock as the tests drive it. Every look at it takes one millisecond, so that a
// 100 ms slice holds about a hundred drawn samples however fast the machine is; where m_CheapLooks
// says so (a range walk, whose samples cost far less), 256 looks take one. A slice may also be
// made to last for ever or to end at its first look, as after a value that takes long.
#include <cstdint>
#include <functional>

#include "ui/CTickClock.h"

class CFakeClock : public CTickClock {
public:
    enum ESlices { MILLISECONDS, ENDLESS, FIRST_LOOK };
    explicit CFakeClock(ESlices eSlices = MILLISECONDS) : m_eSlices(eSlices) {}

    uint32_t Now() const override { return m_nNow; }
    void StartSlice(uint32_t nMilliseconds) override { m_nEnd = m_nNow + nMilliseconds; }
    bool SliceOver() override
    {
        switch (m_eSlices) {
        case ENDLESS: return false;
        case FIRST_LOOK: return true;
        case MILLISECONDS: break;
        }
        if (!m_CheapLooks || !m_CheapLooks() || ++m_nCheapLooks % 256 == 0)
            ++m_nNow;
        return static_cast<int32_t>(m_nNow - m_nEnd) >= 0;
    }

    ESlices m_eSlices;
    std::function<bool()> m_CheapLooks;
    uint32_t m_nNow = 1000;
    uint32_t m_nEnd = 0;
    uint32_t m_nCheapLooks = 0;
};
