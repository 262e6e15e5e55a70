#include "view/CFuncVars.h"

CFuncVars::CFuncVars()
{
    for (unsigned i = 0; i < MAX_FUNCTIONS; ++i) {
        m_nLastX[i] = INT_MAX;
        m_nLastY[i] = 0;
    }
}

CFuncVars::CFuncVars(const CFuncVars& other)
    : CFuncVars()
{
    m_pProject = other.m_pProject;
    for (unsigned i = 0; i < FUNC_NVARS; ++i)
        m_nIndex[i] = other.m_nIndex[i];
    for (unsigned i = 0; i < FUNC_NSLOTS; ++i)
        m_dValue[i] = other.m_dValue[i];
    m_pStep = other.m_pStep;
    m_nSamples = other.m_nSamples;
    m_bFirstSample = other.m_bFirstSample;
    m_nViewWidth = other.m_nViewWidth;
    m_nViewHeight = other.m_nViewHeight;
    m_nViewLeft = other.m_nViewLeft;
    m_nViewTop = other.m_nViewTop;
    m_dOriginX = other.m_dOriginX;
    m_dOriginY = other.m_dOriginY;
    m_dScaleX = other.m_dScaleX;
    m_dScaleY = other.m_dScaleY;
}
