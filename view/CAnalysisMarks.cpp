#include "view/CAnalysisMarks.h"

#include <cstddef>

#include "view/CFuncVars.h"

void CAnalysisMarks::Clear()
{
    m_Points.clear();
    m_Lines.clear();
    m_Area.clear();
}

int CAnalysisMarks::PointNear(const CFuncVars& view, int32_t nX, int32_t nY, int32_t nReach) const
{
    int nBest = -1;
    double dBest = double(nReach) * nReach;
    for (std::size_t i = 0; i < m_Points.size(); ++i) {
        const double dx = view.PixelX(m_Points[i].m_dX) - nX, dy = view.PixelY(m_Points[i].m_dY) - nY;
        const double d = dx * dx + dy * dy;
        if (d <= dBest) {
            dBest = d;
            nBest = static_cast<int>(i);
        }
    }
    return nBest;
}
