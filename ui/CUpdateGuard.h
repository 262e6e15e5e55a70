#pragma once
// Sets the frame's updating flag for the life of the guard, so that the change handlers of the
// controls being filled write nothing back, and restores what it was (fills may nest).
#include "ui/CPageFrame.h"

class CUpdateGuard {
public:
    explicit CUpdateGuard(CPageFrame& frame) : m_Frame(frame), m_bWas(frame.IsUpdating()) { m_Frame.SetUpdating(true); }
    ~CUpdateGuard() { m_Frame.SetUpdating(m_bWas); }
    CUpdateGuard(const CUpdateGuard&) = delete;
    CUpdateGuard& operator=(const CUpdateGuard&) = delete;

private:
    CPageFrame& m_Frame;
    bool m_bWas;
};
