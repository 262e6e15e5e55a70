#pragma once
// The range a picture shows: the view bounds xmin xmax ymin ymax and the raw bounds of the
// untransformed points, which the transformed grid spans. A range determination returns one; the
// document holds one in its options. A picture is drawn from a box, so that it can show a range
// without the document being changed to hold it.
class CProject;

class CViewBox {
public:
    // What the document holds now.
    static CViewBox Of(const CProject& project);
    // The raw bounds, and the bounds of each automatic axis, into the document's options.
    void WriteTo(CProject& project) const;
    // The range cannot be mapped ("Nichts zu zeichnen!"): no curve is drawn, on any surface.
    bool NothingToDraw() const;

    double m_dView[4] = {}; // xmin xmax ymin ymax
    double m_dRaw[4] = {};  // x min, x max, y min, y max of the untransformed points
    // What the range determination met: a defined point, and one the transformation maps (both
    // true where nothing was walked). They tell why a box cannot be mapped (CNothingToDraw).
    bool m_bAnyPoint = true;
    bool m_bAnyView = true;
};
