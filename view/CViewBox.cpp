#include "view/CViewBox.h"

#include <cmath>

#include "project/CProject.h"

CViewBox CViewBox::Of(const CProject& project)
{
    CViewBox box;
    for (unsigned i = 0; i < 4; ++i) {
        box.m_dView[i] = project.m_dOptions[OPT_XMIN + i];
        box.m_dRaw[i] = project.m_dRawBounds[i];
    }
    return box;
}

void CViewBox::WriteTo(CProject& project) const
{
    for (unsigned i = 0; i < 4; ++i)
        project.m_dRawBounds[i] = m_dRaw[i];
    if (project.m_nFlags & (1u << FLAG_XAUTO)) {
        project.SetOption(OPT_XMIN, m_dView[0]);
        project.SetOption(OPT_XMAX, m_dView[1]);
    }
    if (project.m_nFlags & (1u << FLAG_YAUTO)) {
        project.SetOption(OPT_YMIN, m_dView[2]);
        project.SetOption(OPT_YMAX, m_dView[3]);
    }
}

bool CViewBox::NothingToDraw() const
{
    // Bounds that are no numbers (a file may hold "inf") cannot be mapped either.
    for (const double d : m_dView) {
        if (!std::isfinite(d))
            return true;
    }
    return m_dView[0] == m_dView[1] || m_dView[2] == m_dView[3];
}
