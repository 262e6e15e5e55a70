#pragma once
// The curve and grid renderer: grid, axes and labels in one call, the curves one sample at a time
// so that a long drawing can be spread over timer ticks and played as an animation.
#include <cstdint>
#include <string>

class CAnimationStep;
class CCanvas;
class CFuncVars;
class CProject;
class CSampleLog;

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
    // drawing is complete. The values are taken from pLog where it holds them.
    static bool DrawSample(CFuncVars& vars, CCanvas& canvas, int32_t nPenMultiplier, const CSampleLog* pLog = nullptr);
    // The pen of function nFunction (0-based) in the step.
    static void SetCurvePen(const CProject& project, const CAnimationStep& step, unsigned nFunction,
                            int32_t nPenMultiplier, CCanvas& canvas);
    // Axes, ticks and labels in nAxisColor: the contrast colour of the background drawn beneath,
    // black on paper.
    static void DrawGrid(CFuncVars& vars, CCanvas& canvas, uint32_t nAxisColor = AXIS_COLOR);
    // The visible functions, each with its colour and formula text, in the top right corner of
    // the rectangle (right and bottom exclusive), on a box of the background colour.
    static void DrawLegend(const CProject& project, CCanvas& canvas, int32_t nLeft, int32_t nTop, int32_t nRight,
                           int32_t nBottom);

    // The automatic grid: labels at least this far apart. Of 1, 2, 5 x 10^k the smallest that
    // keeps them so is taken, so they are less than 2.5 times as far apart.
    static constexpr double MIN_LABEL_SPACING = 50.0;
    // The smallest of 1, 2, 5 x 10^k world units that spans MIN_LABEL_SPACING pixels at
    // dPixelsPerUnit; dFallback where there is no such scale.
    static double AutoStep(double dPixelsPerUnit, double dFallback);
    // The same in multiples of pi: pi/4, pi/2, pi, 2 pi, 5 pi, 10 pi, ... as dMultiple / nDivisor
    // times pi; false where even pi/4 would leave the labels too far apart to show a view, or
    // the multiples become too large to be written exactly.
    static bool PiStep(double dPixelsPerUnit, double& dMultiple, int32_t& nDivisor);
    // The label k * dMultiple / nDivisor * pi: "0", "PI", "-PI/2", "3PI/2", "10PI" (PI_SIGN).
    static std::string FormatPi(double k, double dMultiple, int32_t nDivisor);
    static void DrawCross(CCanvas& canvas, int32_t x, int32_t y);
    // "%20.8lg" without its leading blanks, with a decimal point whatever the C locale says.
    static std::string FormatNumber(double dValue);
};
