#pragma once
// What the analysis of a traced curve marks on the graph: the points found, the tangent and the
// normal, the shaded area. World coordinates, so that the marks stay on the curve when the view
// moves. They belong to the view: neither the document nor its file knows them.
#include <cstdint>
#include <vector>

class CFuncVars;

class CAnalysisMarks {
public:
    struct SPoint {
        double m_dX;
        double m_dY;
    };
    // The line through (x, y) in the direction (dx, dy), drawn across the whole view.
    struct SLine {
        double m_dX;
        double m_dY;
        double m_dDirX;
        double m_dDirY;
    };
    // The area between two curves at x: from one value to the other.
    struct SStrip {
        double m_dX;
        double m_dFrom;
        double m_dTo;
    };

    std::vector<SPoint> m_Points;
    std::vector<SLine> m_Lines; // the tangent and the normal
    std::vector<SStrip> m_Area; // ordered by x; empty: no area shaded

    bool Empty() const { return m_Points.empty() && m_Lines.empty() && m_Area.empty(); }
    void Clear();
    // The index of the point drawn nearest to pixel (nX, nY), within nReach pixels; -1 for none.
    int PointNear(const CFuncVars& view, int32_t nX, int32_t nY, int32_t nReach) const;
};
