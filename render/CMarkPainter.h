#pragma once
// The analysis marks over a picture: the shaded area first, then the tangent and the normal
// across the view, then a small circle at each point found. Drawn after the curves, on the screen
// and on an exported picture alike.
#include <cstdint>

class CAnalysisMarks;
class CCanvas;
class CFuncVars;

class CMarkPainter {
public:
    static void Paint(CCanvas& canvas, const CFuncVars& view, const CAnalysisMarks& marks);

    static constexpr int32_t RADIUS = 4;              // of a point's circle, in pixels
    static constexpr int32_t STRIPE = 3;              // pixels from one shading line to the next
    static constexpr uint32_t POINT_COLOR = 0x800000; // 0x00BBGGRR: dark blue
    static constexpr uint32_t TANGENT_COLOR = 0x0080FF;
    static constexpr uint32_t NORMAL_COLOR = 0x808000;
    static constexpr uint32_t AREA_COLOR = 0xF0C8A0;
};
