#pragma once
// The curve and grid renderer: grid, axes and labels in one call, the curves one sample at a time
// so that a long drawing can be spread over timer ticks and played as an animation.
#include <cstdint>
#include <string>

class CAnimationStep;
class CCanvas;
class CFuncVars;
class CProject;

class CRenderer {
public:
    static constexpr uint32_t GRID_COLOR = 0x808080;
    static constexpr uint32_t AXIS_COLOR = 0x000000;
    // A width read from a file may be anything; wider pens only slow the canvas down.
    static constexpr int32_t MAX_PEN_WIDTH = 64;
    // No view or grid distance may make DrawGrid hang or draw without end. A sane view never
    // reaches these: lines are at least 5 pixels apart and dots 2, except on the transformed grid.
    static constexpr uint32_t MAX_GRID_LINES = 32768; // per direction, and labels per axis
    static constexpr uint32_t MAX_GRID_DOTS_PER_LINE = 32768;
    static constexpr uint32_t MAX_GRID_DOTS = 1u << 24; // per DrawGrid call

    // The palette colour of bgcolor; black for an index outside the palette, as a file may hold.
    static uint32_t BackgroundColor(const CProject& project);
    // Black or white, whichever stands out more on the colour (by the contrast ratio of their
    // relative luminances): axes, ticks and labels on a dark background are white.
    static uint32_t ContrastColor(uint32_t nBackground);
    // The colour of axes, ticks and labels on the project's background.
    static uint32_t AxisColorOnBackground(const CProject& project) { return ContrastColor(BackgroundColor(project)); }
    // The first layer of a picture: the surface filled with the background colour; the pen is
    // the background's contrast colour afterwards.
    static void DrawBackground(const CProject& project, CCanvas& canvas, int32_t nWidth, int32_t nHeight);
    // Draws the current sample of every visible function and advances the walk; false when the
    // drawing is complete.
    static bool DrawSample(CFuncVars& vars, CCanvas& canvas, int32_t nPenMultiplier);
    // The pen of function nFunction (0-based) in the step.
    static void SetCurvePen(const CProject& project, const CAnimationStep& step, unsigned nFunction,
                            int32_t nPenMultiplier, CCanvas& canvas);
    // Axes, ticks and labels in nAxisColor: the contrast colour of the background drawn beneath,
    // black on paper.
    static void DrawGrid(CFuncVars& vars, CCanvas& canvas, uint32_t nAxisColor = AXIS_COLOR);
    static void DrawCross(CCanvas& canvas, int32_t x, int32_t y);
    // "%20.8lg" without its leading blanks, with a decimal point whatever the C locale says.
    static std::string FormatNumber(double dValue);
};
