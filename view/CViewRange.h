#pragma once
// The value range and the moves of the view: operations on the document's options that are built
// on the sampling walk and the mapping, so they live with them rather than in the document.
#include <cstdint>

class CProject;
class CSampleSink;
class CViewBox;
class CPicturePlan;

class CViewRange {
public:
    // Writes the raw bounds and, for each automatic axis, the bounding box of the transformed
    // points of all steps into the options. pSink, where given, sees every value computed.
    static void DetermineRange(CProject& project, CSampleSink* pSink = nullptr);
    // The same range, returned rather than written. A sink sees the samples also where no range
    // is to be determined; pPlan, where given, is the plan of the picture the sink sums up.
    static CViewBox Range(CProject& project, CSampleSink* pSink = nullptr, const CPicturePlan* pPlan = nullptr);
    static void ShiftView(CProject& project, double dX, double dY);
    // Scales the area a nWidth x nHeight surface actually shows about its centre. A zoom in that
    // would leave a pixel narrower than a few steps of the numbers' resolution changes nothing
    // and returns false.
    static bool ZoomView(CProject& project, double dFactor, uint32_t nWidth, uint32_t nHeight);
    // The range cannot be mapped ("Nichts zu zeichnen!"): no curve is drawn, on any surface.
    static bool NothingToDraw(const CProject& project);
};
