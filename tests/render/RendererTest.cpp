#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CRecordingCanvas.h"
#include "project/CNumberInput.h"
#include "project/CProject.h"
#include "project/CShownNumber.h"
#include "render/CMarkPainter.h"
#include "render/CPictureJob.h"
#include "render/CRenderer.h"
#include "render/CValueTable.h"
#include "view/CAnalysisMarks.h"
#include "view/CFuncVars.h"
#include "view/CSweepPlan.h"
#include "view/CViewBox.h"

namespace {
void SetView(CProject& project, double x0, double x1, double y0, double y1)
{
    project.SetOption(OPT_XMIN, x0);
    project.SetOption(OPT_XMAX, x1);
    project.SetOption(OPT_YMIN, y0);
    project.SetOption(OPT_YMAX, y1);
}

void SetRange(CAnimationStep* pStep, unsigned nVariable, double dMin, double dStep, uint32_t nCount)
{
    pStep->m_dMin[nVariable] = dMin;
    pStep->m_dStep[nVariable] = dStep;
    pStep->m_nCount[nVariable] = nCount;
}

// A project whose x runs 0, 1, 2, ... with a 100-pixel unit on x and a 10-pixel unit on y.
struct SCurve {
    CProject project;
    CAnimationStep* pStep = project.m_pFirstStep;

    SCurve(const char* pszFormula, uint32_t nCount)
    {
        SetView(project, 0, 4, -10, 10);
        SetRange(pStep, 0, 0.0, 1.0, nCount);
        project.SetFunction(1, pszFormula);
        pStep->m_bVisible[0] = true;
    }

    CRecordingCanvas Draw(int32_t nMultiplier = 1)
    {
        CRecordingCanvas canvas;
        CFuncVars vars;
        vars.SetupView(&project, project.m_pFirstStep, 400, 200, 0, 0);
        unsigned nCalls = 0;
        while (CRenderer::DrawSample(vars, canvas, nMultiplier))
            ++nCalls;
        EXPECT_EQ(vars.m_pStep, nullptr);
        return canvas;
    }

    // The lines that draw something: polylines and the two halves of a dot.
    static std::vector<std::string> Shapes(const CRecordingCanvas& canvas)
    {
        std::vector<std::string> shapes;
        for (const std::string& sz : canvas.m_Log)
            if (sz.rfind("polyline", 0) == 0 || sz.rfind("move", 0) == 0 || sz.rfind("line", 0) == 0)
                shapes.push_back(sz);
        return shapes;
    }
};
} // namespace

TEST(FormatNumber, GeneralNotationWithoutBlanks)
{
    struct SRow {
        double dValue;
        const char* pszPoint;
        const char* pszComma; // with the document's "Dezimalkomma"
    };
    const SRow rows[] = {
        {0.0, "0", "0"},
        {-10.0, "-10", "-10"},
        {2.5, "2.5", "2,5"},
        {1.0 / 3.0, "0.33333333", "0,33333333"},
        {0.00001, "1e-05", "1e-05"},
        {123456789.0, "1.2345679e+08", "1,2345679e+08"},
        {-0.2 * 3, "-0.6", "-0,6"},
        {-9.8, "-9.8", "-9,8"},
    };
    // A program with a German numeric locale writes the sign asked for all the same.
    const char* pszGerman = nullptr;
    for (const char* pszLocale : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"})
        if (!pszGerman && std::setlocale(LC_NUMERIC, pszLocale))
            pszGerman = pszLocale;
    for (const char* pszLocale : {"C", pszGerman}) {
        if (!pszLocale || !std::setlocale(LC_NUMERIC, pszLocale))
            continue;
        for (const SRow& row : rows) {
            EXPECT_EQ(CRenderer::FormatNumber(row.dValue), row.pszPoint) << pszLocale;
            EXPECT_EQ(CShownNumber::Format(row.dValue, false), row.pszPoint) << pszLocale;
            EXPECT_EQ(CShownNumber::Format(row.dValue, true), row.pszComma) << pszLocale;
            // What a field shows reads back as the number shown.
            double dRead = 0.0;
            EXPECT_TRUE(CNumberInput::Read(row.pszComma, dRead)) << row.pszComma;
            EXPECT_NEAR(dRead, row.dValue, std::fabs(row.dValue) * 1e-8) << row.pszComma;
        }
    }
    std::setlocale(LC_NUMERIC, "C");
}

TEST(DrawSample, ConnectsConsecutiveXAndBreaksAtUndefined)
{
    SCurve curve("x==2 ? undef : x", 4); // x = 0 ... 4, undefined at 2
    const std::vector<std::string> expected = {
        "move 0,100",
        "line 1,101", // the first sample of the step is a dot
        "polyline 0,100 100,90",
        // x = 2 is undefined: a gap, and x = 3 starts afresh with a dot
        "move 300,70",
        "line 301,71",
        "polyline 300,70 400,60",
    };
    CRecordingCanvas canvas = curve.Draw();
    EXPECT_EQ(SCurve::Shapes(canvas), expected);

    // Without connect every sample is a dot.
    curve.pStep->m_bConnect = false;
    canvas = curve.Draw();
    EXPECT_EQ(canvas.Count("polyline"), 0u);
    EXPECT_EQ(canvas.Count("move"), 4u);
}

TEST(DrawSample, OnlyARunOfXConnects)
{
    // x count 0, u count 3: x always at its start, so every sample is a new start.
    SCurve curve("u", 0);
    SetRange(curve.pStep, 1, 0.0, 1.0, 3);
    CRecordingCanvas canvas = curve.Draw();
    EXPECT_EQ(canvas.Count("polyline"), 0u);
    EXPECT_EQ(canvas.Count("move"), 4u);

    // x count 1 and u count 1: the curve restarts when x returns to its start.
    SCurve grid("x+u", 1);
    SetRange(grid.pStep, 1, 0.0, 1.0, 1);
    const std::vector<std::string> expected = {
        "move 0,100", "line 1,101", "polyline 0,100 100,90", "move 0,90", "line 1,91", "polyline 0,90 100,80",
    };
    EXPECT_EQ(SCurve::Shapes(grid.Draw()), expected);
}

TEST(DrawSample, ParametricAndMultiPointFunctions)
{
    SCurve parametric("x, x*2", 2);
    const std::vector<std::string> expected = {
        "move 0,100",
        "line 1,101",
        "polyline 0,100 100,80",
        "polyline 100,80 200,60",
    };
    EXPECT_EQ(SCurve::Shapes(parametric.Draw()), expected);

    // Four values are two points per sample: a polyline through them, connect or not, and no
    // connection from the previous sample.
    SCurve twoPoints("x, 0, x, 1", 1);
    twoPoints.pStep->m_bConnect = false;
    const std::vector<std::string> expectedTwo = {
        "polyline 0,100 0,90",
        "polyline 100,100 100,90",
    };
    EXPECT_EQ(SCurve::Shapes(twoPoints.Draw()), expectedTwo);

    // Three values: (e0, e1) and (x, e2), no connection from the previous sample.
    SCurve three("1, 0, -1", 1);
    const std::vector<std::string> expectedThree = {"polyline 100,100 0,110"};
    EXPECT_EQ(SCurve::Shapes(three.Draw()), expectedThree);
}

TEST(DrawSample, FunctionsSkipTheVariablesTheyDoNotRead)
{
    // A constant is one dot per step, at the start value of x.
    SCurve curve("3", 4);
    SetRange(curve.pStep, 1, 0.0, 1.0, 2);
    curve.project.InsertStep(std::make_unique<CAnimationStep>(*curve.pStep), nullptr);
    CRecordingCanvas canvas = curve.Draw();
    const std::vector<std::string> expected = {"move 0,70", "line 1,71", "move 0,70", "line 1,71"};
    EXPECT_EQ(SCurve::Shapes(canvas), expected);
    EXPECT_EQ(curve.project.GetFunction(1)->GetCache().GetMisses() + curve.project.GetFunction(1)->GetCache().GetHits(),
              2u);

    // A function of u only is drawn at x's start value for every u; "a" counts as x.
    SCurve ofU("u", 4);
    SetRange(ofU.pStep, 1, 0.0, 1.0, 2);
    EXPECT_EQ(ofU.Draw().Count("move"), 3u);
    SCurve ofA("a", 4);
    EXPECT_EQ(ofA.Draw().Count("polyline"), 4u);
}

TEST(DrawSample, PenFromTheStepWithGuardsForFileValues)
{
    SCurve curve("0", 0);
    curve.pStep->m_nColor[0] = 12;
    curve.pStep->m_nWidth[0] = 8;
    CRecordingCanvas canvas = curve.Draw();
    EXPECT_EQ(canvas.Calls("pencolor"), std::vector<std::string>{"pencolor 0000FF"});
    EXPECT_EQ(canvas.Calls("penwidth"), std::vector<std::string>{"penwidth 8"});
    EXPECT_EQ(canvas.Count("pensolid"), 1u);
    curve.pStep->m_nWidth[0] = 1;
    EXPECT_EQ(curve.Draw(2).Calls("penwidth"), std::vector<std::string>{"penwidth 2"});

    curve.pStep->m_nColor[0] = 16;
    curve.pStep->m_nWidth[0] = 4000000000u;
    canvas = curve.Draw(2);
    EXPECT_EQ(canvas.Calls("pencolor"), std::vector<std::string>{"pencolor 000000"});
    EXPECT_EQ(canvas.Calls("penwidth"),
              std::vector<std::string>{"penwidth " + std::to_string(CRenderer::MAX_PEN_WIDTH)});
}

TEST(DrawSample, LaterFunctionsPaintOverEarlierOnes)
{
    SCurve curve("1", 0);
    curve.project.SetFunction(3, "3");
    curve.project.SetFunction(2, "2");
    curve.pStep->m_bVisible[2] = true;
    curve.pStep->m_bVisible[1] = false; // visible but empty and empty but visible draw nothing
    curve.pStep->m_bVisible[4] = true;
    const std::vector<std::string> expected = {"move 0,90", "line 1,91", "move 0,70", "line 1,71"};
    EXPECT_EQ(SCurve::Shapes(curve.Draw()), expected);
}

TEST(DrawSample, FarPointsAreClampedAndStillConnect)
{
    SCurve curve("1/(x-1)^2", 2);
    curve.pStep->m_dStep[0] = 1.0 + 1e-15; // passes just beside the pole
    CRecordingCanvas canvas = curve.Draw();
    const std::vector<std::string> polylines = canvas.Calls("polyline");
    ASSERT_EQ(polylines.size(), 2u);
    EXPECT_EQ(polylines[0], "polyline 0,90 100,-16777216");
    EXPECT_EQ(polylines[1].substr(0, 25), "polyline 100,-16777216 20");
}

TEST(DrawSample, TransformedPointsThatAreUndefinedAreDropped)
{
    SCurve curve("x, 1, x, 2, x, 3", 0);
    curve.project.SetOption(OPT_TRMODE, 1.0);
    curve.project.SetTransform("fy==2 ? undef : fx, fy");
    EXPECT_EQ(SCurve::Shapes(curve.Draw()), std::vector<std::string>{"polyline 0,90 0,70"});
}

namespace {
// Polylines of a curve sampled at x = dFrom, dFrom + dStep, ... with poles broken or not.
size_t Polylines(const char* pszFormula, double dFrom, double dStep, uint32_t nCount, bool bBreakPoles)
{
    SCurve curve(pszFormula, nCount);
    SetView(curve.project, dFrom, dFrom + dStep * nCount, -10, 10);
    SetRange(curve.pStep, 0, dFrom, dStep, nCount);
    curve.project.SetFlag(FLAG_BREAKPOLES, bBreakPoles);
    return curve.Draw().Count("polyline");
}
} // namespace

TEST(DrawSample, PolesBreakTheCurveOnlyWhenAsked)
{
    struct {
        const char* pszFormula;
        double dFrom, dStep;
        uint32_t nCount;
        size_t nJoined, nBroken; // polylines without and with the option
    } cases[] = {
        {"1/x", -1.05, 0.1, 20, 20, 19},                  // one pole, between -0.05 and 0.05
        {"tan(x)", -4.0, 0.1, 80, 80, 78},                // poles at -pi/2 and pi/2
        {"1/(x^2-1)", -2.05, 0.1, 40, 40, 38},            // two poles, each with a sign change
        {"1/x^2", -1.05, 0.1, 20, 20, 20},                // no sign change: stays as it was
        {"atan(1000*x)*5", -1.05, 0.1, 20, 20, 20},       // continuous and steep: joined
        {"x^3*1000", -1.05, 0.1, 20, 20, 20},             // steep through zero: joined
        {"x < 0 ? -5 : 5", -1.05, 0.1, 20, 20, 19},       // a step across zero breaks too
        {"x < 0 ? -0.01 : 0.01", -1.05, 0.1, 20, 20, 20}, // one below a pixel stays joined
        {"x == 0.05 ? undef : 1/(x-0.051)", -1.05, 0.1, 20, 20, 19},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszFormula);
        EXPECT_EQ(Polylines(c.pszFormula, c.dFrom, c.dStep, c.nCount, false), c.nJoined);
        EXPECT_EQ(Polylines(c.pszFormula, c.dFrom, c.dStep, c.nCount, true), c.nBroken);
    }
}

TEST(DrawSample, PoleBreakLeavesADotAndJoinsTheRest)
{
    SCurve curve("1/x", 2);
    SetView(curve.project, -1.5, 1.5, -10, 10);
    SetRange(curve.pStep, 0, -1.0, 1.0, 2); // x = -1, 0 (undefined), 1
    curve.pStep->m_dStep[0] = 1.5;          // x = -1, 0.5, 2: across the pole
    curve.project.SetFlag(FLAG_BREAKPOLES, true);
    const std::vector<std::string> expected = {
        "move 66,110",
        "line 67,111", // x = -1
        "move 266,80",
        "line 267,81",            // x = 0.5: not joined across the pole
        "polyline 266,80 466,95", // x = 2
    };
    EXPECT_EQ(SCurve::Shapes(curve.Draw()), expected);

    // A parametric curve breaks where one of its values passes a pole.
    SCurve parametric("x, 1/x", 2);
    SetView(parametric.project, -1.5, 2.5, -10, 10);
    SetRange(parametric.pStep, 0, -1.0, 1.5, 2);
    parametric.project.SetFlag(FLAG_BREAKPOLES, true);
    EXPECT_EQ(parametric.Draw().Count("polyline"), 1u);
}

namespace {
// The x labels: text calls whose position is just above the x axis at pixel row nAxisY.
size_t LabelsAt(const CRecordingCanvas& canvas, int32_t nY)
{
    size_t n = 0;
    const std::string szY = "," + std::to_string(nY) + " ";
    for (const std::string& sz : canvas.Calls("text "))
        if (sz.find(szY) != std::string::npos)
            ++n;
    return n;
}

CRecordingCanvas DrawGrid(CProject& project, uint32_t nWidth, uint32_t nHeight, uint32_t nLeft = 0, uint32_t nTop = 0)
{
    CRecordingCanvas canvas;
    CFuncVars vars;
    vars.SetupView(&project, project.m_pFirstStep, nWidth, nHeight, nLeft, nTop);
    CRenderer::DrawGrid(vars, canvas);
    return canvas;
}
} // namespace

TEST(DrawGrid, DottedLinesAxesLabelsAndTicks)
{
    CProject project;
    SetView(project, -10, 10, -5, 5);
    CRecordingCanvas canvas = DrawGrid(project, 400, 200);
    // 20 pixels per grid step both ways: every line is dotted, 21 columns of 101 dots (y from
    // -5 to 5 by 0.1) and 11 rows of 201 dots, give or take the rounding of the summed steps.
    EXPECT_EQ(canvas.Count("move"), 2u + 2u * (21 + 11)); // axes and two strokes per tick
    EXPECT_NEAR(static_cast<double>(canvas.m_nPixels), 21 * 101 + 11 * 201, 32);
    for (const std::string& sz : canvas.Calls("pixel"))
        ASSERT_EQ(sz.substr(sz.size() - 6), "808080");
    const std::vector<std::string> axes = {"move 0,100", "line 400,100", "move 200,0", "line 200,200"};
    const auto itAxes = std::find(canvas.m_Log.begin(), canvas.m_Log.end(), "pencolor 000000");
    ASSERT_NE(itAxes, canvas.m_Log.end());
    EXPECT_EQ(std::vector<std::string>(itAxes + 1, itAxes + 5), axes);
    // Labels: the y labels on the y axis, the x labels on the x axis, each above its tick.
    EXPECT_EQ(canvas.Count("text 200,"), 11u + 1); // and the x label 0
    EXPECT_EQ(LabelsAt(canvas, 100 - CRecordingCanvas::TEXT_HEIGHT), 21u + 1);
    const auto it = std::find(canvas.m_Log.begin(), canvas.m_Log.end(), "text 300,90 5");
    ASSERT_NE(it, canvas.m_Log.end());
    const std::vector<std::string> tick = {"move 297,100", "line 303,100", "move 300,97", "line 300,103"};
    EXPECT_EQ(std::vector<std::string>(it + 1, it + 5), tick);
    EXPECT_EQ(canvas.Count("fontsize 8"), 1u);
    EXPECT_EQ(canvas.Count("brush clear"), 1u);
}

TEST(DrawGrid, AxesInBlackOrWhiteWhicheverStandsOutOnTheBackground)
{
    // The sixteen palette colours: white axes on the dark ones, black (as ever) on the light.
    const bool bWhite[16] = {true,  true, true,  true,  true,  true,  false, false,
                             false, true, false, false, false, false, false, false};
    CProject project;
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(CRenderer::ContrastColor(project.m_pPalette[i]), bWhite[i] ? 0xFFFFFFu : 0u) << "colour " << i;

    // The pen after the background, and the grid's axes, ticks and labels drawn in that colour.
    SetView(project, -10, 10, -5, 5);
    project.SetOption(OPT_BGCOLOR, 4); // maroon
    CRecordingCanvas canvas;
    CRenderer::DrawBackground(project, canvas, 400, 200);
    EXPECT_EQ(canvas.m_Log.back(), "pencolor FFFFFF");
    CFuncVars vars;
    vars.SetupView(&project, project.m_pFirstStep, 400, 200, 0, 0);
    canvas.m_Log.clear();
    CRenderer::DrawGrid(vars, canvas, CRenderer::AxisColorOnBackground(project));
    EXPECT_EQ(canvas.Calls("pencolor"), (std::vector<std::string>{"pencolor 808080", "pencolor FFFFFF"}));
    EXPECT_EQ(canvas.Calls("fontcolor"), (std::vector<std::string>{"fontcolor FFFFFF"}));
    // On paper, without a background, black.
    canvas.m_Log.clear();
    CRenderer::DrawGrid(vars, canvas);
    EXPECT_EQ(canvas.Calls("pencolor"), (std::vector<std::string>{"pencolor 808080", "pencolor 000000"}));
}

TEST(DrawGrid, SolidBelowTwentyPixelsNothingBelowFive)
{
    CProject project;
    SetView(project, -10, 10, -5, 5);
    // 390 pixels: a grid step of 19 pixels on x. The lines parallel to x turn solid (their dots
    // would be under 2 pixels apart), the x labels go, the lines parallel to y stay dotted.
    CRecordingCanvas canvas = DrawGrid(project, 390, 200);
    EXPECT_EQ(LabelsAt(canvas, 100 - CRecordingCanvas::TEXT_HEIGHT), 1u); // only the y label 0
    EXPECT_EQ(canvas.Count("line 390,"), 11u + 1);                        // 11 solid grid rows and the x axis
    EXPECT_NEAR(static_cast<double>(canvas.m_nPixels), 21 * 101, 21);

    // Exactly 5 pixels per grid step on x: the lines parallel to y are drawn (dotted, y has 20
    // pixels per step); with 4 pixels they are not.
    canvas = DrawGrid(project, 100, 200);
    EXPECT_NEAR(static_cast<double>(canvas.m_nPixels), 21 * 101, 21);
    EXPECT_EQ(canvas.Count("line "), 2u + 11 + 2 * 11); // axes, solid rows, y ticks
    canvas = DrawGrid(project, 96, 200);
    EXPECT_EQ(canvas.m_nPixels, 0u);
    EXPECT_EQ(canvas.Count("line "), 2u + 11 + 2 * 11);
}

TEST(DrawGrid, FlagsChooseWhatIsDrawn)
{
    CProject project;
    SetView(project, -10, 10, -5, 5);
    project.SetFlag(FLAG_SHOWAXIS, false);
    project.SetFlag(FLAG_XGRID, false);
    CRecordingCanvas canvas = DrawGrid(project, 400, 200);
    EXPECT_EQ(canvas.Count("text"), 0u);
    EXPECT_NEAR(static_cast<double>(canvas.m_nPixels), 11 * 201, 11);
    EXPECT_EQ(canvas.Count("move"), 2u); // the axes still
    project.SetFlag(FLAG_YGRID, false);
    canvas = DrawGrid(project, 400, 200);
    EXPECT_EQ(canvas.m_nPixels + canvas.Count("move"), 0u);
}

TEST(DrawGrid, UnmappableViewHasAxesOnTheEdgesOnly)
{
    CProject project;
    SetView(project, 3, 3, -5, 5);
    CRecordingCanvas canvas = DrawGrid(project, 400, 200, 10, 0);
    EXPECT_EQ(canvas.m_nPixels, 0u);
    EXPECT_EQ(canvas.Count("text"), 0u);
    const std::vector<std::string> lines = {"move 10,0", "line 410,0", "move 0,0", "line 0,200"};
    std::vector<std::string> drawn = canvas.Calls("move");
    for (const std::string& sz : canvas.Calls("line"))
        drawn.push_back(sz);
    std::sort(drawn.begin(), drawn.end());
    std::vector<std::string> sorted = lines;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(drawn, sorted);
}

TEST(DrawGrid, TransformedGridFollowsTheRawBounds)
{
    CProject project;
    SetView(project, -10, 10, -10, 10);
    project.SetOption(OPT_TRMODE, 2.0);
    project.SetFlag(FLAG_TRANSFORMGRID, true);
    project.m_dRawBounds[0] = 3.0; // swapped pairs are put in order
    project.m_dRawBounds[1] = 0.0;
    project.m_dRawBounds[2] = 0.0;
    project.m_dRawBounds[3] = 2.0;
    CRecordingCanvas canvas = DrawGrid(project, 400, 400);
    // No axes; dotted only: x = 0..3 (4 lines of 21 dots), y = 0..2 (3 lines of 31 dots).
    EXPECT_EQ(canvas.Count("move") + canvas.Count("line"), 4u * (3 + 4)); // ticks only
    EXPECT_NEAR(static_cast<double>(canvas.m_nPixels), 4 * 21 + 3 * 31, 7);
    // Radii along the positive x axis, angles on the outer circle of radius 2.
    EXPECT_EQ(canvas.Count("text 240,190 2"), 1u);
    EXPECT_EQ(canvas.Count("text 240,190 0"), 1u); // the angle 0 at radius 2

    // A grid distance of 0 leaves that axis out, and the dotted lines its dots would space.
    project.SetOption(OPT_XGRID, 0.0);
    canvas = DrawGrid(project, 400, 400);
    EXPECT_EQ(canvas.m_nPixels, 0u);
    EXPECT_EQ(canvas.Count("text"), 3u); // the y labels 0, 1, 2
    project.SetOption(OPT_YGRID, 0.0);
    canvas = DrawGrid(project, 400, 400);
    EXPECT_EQ(canvas.m_nPixels + canvas.Count("text"), 0u);
}

TEST(DrawGrid, StopsWhereValuesNoLongerAdvance)
{
    CProject project;
    // A pixel is less than an ulp of the coordinates: the dots of a line cannot move on.
    SetView(project, 1e20, 1e20 + 65536, -5, 5);
    project.SetOption(OPT_XGRID, 16384);
    project.SetFlag(FLAG_XGRID, false);
    project.SetFlag(FLAG_SHOWAXIS, false);
    CRecordingCanvas canvas = DrawGrid(project, 512, 200); // a power of two: exact products
    EXPECT_EQ(canvas.m_nPixels, 11u);

    CProject transformed;
    transformed.SetOption(OPT_TRMODE, 2.0);
    transformed.SetFlag(FLAG_TRANSFORMGRID, true);
    for (unsigned i = 0; i < 4; ++i)
        transformed.m_dRawBounds[i] = 1e20;
    canvas = DrawGrid(transformed, 400, 200);
    EXPECT_LE(canvas.m_nPixels, 2u);
    EXPECT_LE(canvas.Count("text"), 2u);
}

TEST(DrawGrid, BoundsOfLinesDotsAndLabels)
{
    // The transformed grid is the one whose counts a view does not limit.
    CProject project;
    project.SetOption(OPT_TRMODE, 2.0);
    project.SetFlag(FLAG_TRANSFORMGRID, true);
    project.SetFlag(FLAG_XGRID, false);
    project.SetFlag(FLAG_SHOWAXIS, false);
    project.SetOption(OPT_XGRID, 10.0 / 1024); // dots 1/1024 apart, exactly
    const uint32_t nPerLine = CRenderer::MAX_GRID_DOTS_PER_LINE;
    for (uint32_t nDots : {nPerLine - 1, nPerLine, nPerLine + 1, nPerLine + 2}) {
        project.m_dRawBounds[1] = (nDots - 1) / 1024.0;
        CRecordingCanvas canvas;
        canvas.m_bLogPixels = false;
        CFuncVars vars;
        vars.SetupView(&project, nullptr, 400, 400, 0, 0);
        CRenderer::DrawGrid(vars, canvas);
        EXPECT_EQ(canvas.m_nPixels, std::min(nDots, nPerLine)) << nDots;
    }

    // Lines parallel to x, one dot each, and their labels.
    project.m_dRawBounds[1] = 0.0;
    project.SetFlag(FLAG_SHOWAXIS, true);
    const uint32_t nLines = CRenderer::MAX_GRID_LINES;
    for (uint32_t nCount : {nLines - 1, nLines, nLines + 1}) {
        project.m_dRawBounds[3] = nCount - 1;
        CRecordingCanvas canvas;
        canvas.m_bLogPixels = false;
        CFuncVars vars;
        vars.SetupView(&project, nullptr, 400, 400, 0, 0);
        CRenderer::DrawGrid(vars, canvas);
        EXPECT_EQ(canvas.m_nPixels, std::min(nCount, nLines)) << nCount;
        EXPECT_EQ(canvas.Count("text"), std::min(nCount, nLines) + 1) << nCount; // and the one x label at 0
    }
}

TEST(DrawGrid, BoundOfAllDots)
{
    CProject project;
    project.SetOption(OPT_TRMODE, 2.0);
    project.SetFlag(FLAG_TRANSFORMGRID, true);
    project.SetFlag(FLAG_XGRID, false);
    project.SetFlag(FLAG_SHOWAXIS, false);
    project.SetOption(OPT_XGRID, 10.0 / 1024);
    project.m_dRawBounds[1] = 32.0; // more dots per line than a line may have
    project.m_dRawBounds[3] = 1e9;  // more lines than the grid may have
    CRecordingCanvas canvas;
    canvas.m_bLogPixels = false;
    CFuncVars vars;
    vars.SetupView(&project, nullptr, 400, 400, 0, 0);
    CRenderer::DrawGrid(vars, canvas);
    EXPECT_EQ(canvas.m_nPixels, CRenderer::MAX_GRID_DOTS);
}

namespace {
struct SText {
    int32_t x, y;
    std::string szText;
};

std::vector<SText> Texts(const CRecordingCanvas& canvas)
{
    std::vector<SText> texts;
    for (const std::string& sz : canvas.Calls("text ")) {
        SText t{};
        int nEnd = 0;
        if (std::sscanf(sz.c_str(), "text %d,%d %n", &t.x, &t.y, &nEnd) == 2)
            texts.push_back({t.x, t.y, sz.substr(static_cast<size_t>(nEnd))});
    }
    return texts;
}

// The centres of the tick crosses: move (x-3,y), line (x+3,y), move (x,y-3), line (x,y+3).
std::vector<SPoint> Ticks(const CRecordingCanvas& canvas)
{
    std::vector<SPoint> ticks;
    const std::vector<std::string>& log = canvas.m_Log;
    for (size_t i = 0; i + 3 < log.size(); ++i) {
        int x0, y0, x1, y1, x2, y2, x3, y3;
        if (std::sscanf(log[i].c_str(), "move %d,%d", &x0, &y0) == 2 &&
            std::sscanf(log[i + 1].c_str(), "line %d,%d", &x1, &y1) == 2 &&
            std::sscanf(log[i + 2].c_str(), "move %d,%d", &x2, &y2) == 2 &&
            std::sscanf(log[i + 3].c_str(), "line %d,%d", &x3, &y3) == 2 && x1 == x0 + 6 && y1 == y0 && x2 == x0 + 3 &&
            y2 == y0 - 3 && x3 == x2 && y3 == y0 + 3)
            ticks.push_back({x2, y0});
    }
    return ticks;
}

int32_t Width(const SText& text)
{
    return static_cast<int32_t>(text.szText.size()) * CRecordingCanvas::GLYPH_WIDTH;
}

bool Covers(const SText& text, int32_t x, int32_t y)
{
    const int32_t nWidth = Width(text);
    return x >= text.x && x < text.x + nWidth && y >= text.y && y < text.y + CRecordingCanvas::TEXT_HEIGHT;
}

// Whether any text lies on a tick's arms, or on another text.
std::string Collision(const std::vector<SText>& texts, const std::vector<SPoint>& ticks)
{
    for (const SText& text : texts) {
        for (const SPoint& p : ticks)
            for (int32_t d = -3; d <= 3; ++d)
                if (Covers(text, p.x + d, p.y) || Covers(text, p.x, p.y + d))
                    return "\"" + text.szText + "\" under the tick at " + std::to_string(p.x) + "," +
                           std::to_string(p.y);
        for (const SText& other : texts) {
            if (&other != &text && other.x < text.x + Width(text) && text.x < other.x + Width(other) &&
                other.y < text.y + CRecordingCanvas::TEXT_HEIGHT && text.y < other.y + CRecordingCanvas::TEXT_HEIGHT)
                return "\"" + text.szText + "\" on \"" + other.szText + "\"";
        }
    }
    return std::string();
}

std::vector<std::string> TextsOf(const std::vector<SText>& texts)
{
    std::vector<std::string> result;
    for (const SText& t : texts)
        result.push_back(t.szText);
    return result;
}
} // namespace

TEST(AutoGrid, OneTwoFiveStepKeepsLabelsFiftyToOneHundredTwentyFivePixelsApart)
{
    struct SCase {
        const char* pszName;
        double dFrom, dTo;
        double dPixels;
        double dStep;
    };
    const SCase cases[] = {
        {"-3 ... 98 on 387", -3, 98, 387, 20},         {"a sine's -1.1 ... 1.1 on 387", -1.1, 1.1, 387, 0.5},
        {"-10 ... 10 on 584", -10, 10, 584, 2},        {"0 ... 1e-6 on 400", 0, 1e-6, 400, 2e-7},
        {"-1e6 ... 1e6 on 600", -1e6, 1e6, 600, 2e5},  {"exactly 50 pixels", 0, 100, 500, 10},
        {"just too little for 2: 5", 0, 100, 2490, 5}, {"-1e300 ... 1e300 on 400", -1e300, 1e300, 400, 5e299},
    };
    for (const SCase& c : cases) {
        const double dPixelsPerUnit = c.dPixels / (c.dTo - c.dFrom);
        const double dStep = CRenderer::AutoStep(dPixelsPerUnit, 1.0);
        EXPECT_NEAR(dStep, c.dStep, c.dStep * 1e-12) << c.pszName;
        EXPECT_GE(dStep * dPixelsPerUnit, 50.0 * (1 - 1e-12)) << c.pszName;
        EXPECT_LE(dStep * dPixelsPerUnit, 125.0) << c.pszName;
    }
    // No scale, no automatic step.
    EXPECT_EQ(CRenderer::AutoStep(0.0, 3.0), 3.0);
    EXPECT_EQ(CRenderer::AutoStep(std::nan(""), 3.0), 3.0);
    EXPECT_EQ(CRenderer::AutoStep(1e-320, 3.0), 3.0);
}

TEST(AutoGrid, LabelsBesideTheirTicksAtTheFrameAndOneZero)
{
    struct SCase {
        const char* pszName;
        double x0, x1, y0, y1;
        std::vector<std::string> xLabels; // first and last x labels but the corner's
        int32_t nYTickX;                  // where the y labels' ticks stand
        int32_t nXTickY;                  // where the x labels' ticks stand
    };
    const SCase cases[] = {
        // 584 x 387: y step 20 (76.6 px), x step 2 (58.4 px); the axes inside.
        {"-10 ... 10, -3 ... 98", -10, 10, -3, 98, {"-10", "8"}, 292, 375},
        // The y axis left of the picture: its labels at the left frame, right of their ticks.
        {"axis left of the view", 2, 12, -3, 98, {"3", "11"}, 0, 375},
        {"axis right of the view", -12, -2, -3, 98, {"-12", "-3"}, 583, 375},
        // The x axis below the picture: its labels at the bottom frame, above their ticks.
        {"axis below the view", -10, 10, 5, 15, {"-10", "8"}, 292, 386},
        {"axis above the view", -10, 10, -15, -5, {"-10", "8"}, 292, 0},
    };
    for (const SCase& c : cases) {
        CProject project;
        SetView(project, c.x0, c.x1, c.y0, c.y1);
        project.SetFlag(FLAG_AUTOGRID, true);
        const CRecordingCanvas canvas = DrawGrid(project, 584, 387);
        const std::vector<SText> texts = Texts(canvas);
        const std::vector<SPoint> ticks = Ticks(canvas);
        ASSERT_EQ(texts.size(), ticks.size()) << c.pszName;
        EXPECT_EQ(Collision(texts, ticks), "") << c.pszName;
        std::vector<std::string> xLabels;
        std::vector<int32_t> yTicks;
        for (size_t i = 0; i < ticks.size(); ++i) {
            EXPECT_TRUE(ticks[i].x >= 0 && ticks[i].x < 584 && ticks[i].y >= 0 && ticks[i].y < 387) << c.pszName;
            if (ticks[i].y == c.nXTickY && ticks[i].x == c.nYTickX)
                continue; // where the two meet: either
            if (ticks[i].y == c.nXTickY)
                xLabels.push_back(texts[i].szText);
            else if (ticks[i].x == c.nYTickX)
                yTicks.push_back(ticks[i].y);
            else
                ADD_FAILURE() << c.pszName << ": a tick off both axes at " << ticks[i].x << "," << ticks[i].y;
        }
        ASSERT_GE(xLabels.size(), 2u) << c.pszName;
        EXPECT_EQ(xLabels.front(), c.xLabels.front()) << c.pszName;
        EXPECT_EQ(xLabels.back(), c.xLabels.back()) << c.pszName;
        ASSERT_GE(yTicks.size(), 2u) << c.pszName;
        for (size_t i = 1; i < yTicks.size(); ++i) {
            EXPECT_GE(std::abs(yTicks[i] - yTicks[i - 1]), 50 - 1) << c.pszName;
            EXPECT_LE(std::abs(yTicks[i] - yTicks[i - 1]), 125 + 1) << c.pszName;
        }
        // One zero, also where both axes cross.
        const std::vector<std::string> all = TextsOf(texts);
        EXPECT_EQ(std::count(all.begin(), all.end(), "0"), 1) << c.pszName;
    }
}

TEST(AutoGrid, LabelsCarryTheDocumentsDecimalSign)
{
    // Every picture draws its labels here: the automatic grid and distances typed by hand,
    // with and without the decimal comma; pi's multiples have no decimal sign.
    for (const bool bAuto : {true, false}) {
        for (const bool bComma : {false, true}) {
            CProject project;
            SetView(project, -1.1, 1.1, -1.1, 1.1);
            project.SetFlag(FLAG_AUTOGRID, bAuto);
            project.SetFlag(FLAG_DECIMALCOMMA, bComma);
            project.SetOption(OPT_XGRID, 0.5);
            project.SetOption(OPT_YGRID, 0.5);
            const std::vector<std::string> all = TextsOf(Texts(DrawGrid(project, 400, 400)));
            const std::string szName = std::string(bAuto ? "automatic" : "typed") + (bComma ? ", comma" : ", point");
            for (const char* pszLabel : {"-1", "-0.5", "0.5", "1"}) {
                std::string szLabel = pszLabel;
                if (bComma)
                    std::replace(szLabel.begin(), szLabel.end(), '.', ',');
                EXPECT_EQ(std::count(all.begin(), all.end(), szLabel), 2) << szName << ": " << szLabel;
            }
            for (const std::string& szText : all)
                EXPECT_EQ(szText.find(bComma ? '.' : ','), std::string::npos) << szName << ": " << szText;
        }
    }
}

TEST(AutoGrid, MultiplesOfPi)
{
    const std::string szPi(1, CCanvas::PI_SIGN);
    struct SCase {
        double k, dMultiple;
        int32_t nDivisor;
        std::string szText;
    };
    const SCase texts[] = {
        {0, 1, 4, "0"},
        {1, 1, 4, szPi + "/4"},
        {2, 1, 4, szPi + "/2"},
        {3, 1, 4, "3" + szPi + "/4"},
        {4, 1, 4, szPi},
        {-6, 1, 4, "-3" + szPi + "/2"},
        {-1, 1, 2, "-" + szPi + "/2"},
        {2, 1, 2, szPi},
        {-3, 2, 1, "-6" + szPi},
        {1, 5, 1, "5" + szPi},
    };
    for (const SCase& c : texts)
        EXPECT_EQ(CRenderer::FormatPi(c.k, c.dMultiple, c.nDivisor), c.szText) << c.szText;

    // 0 ... 2 pi on 584 pixels: quarters (73 px); -10 pi ... 10 pi: 2 pi (58 px).
    CProject project;
    project.SetFlag(FLAG_PILABELS, true);
    SetView(project, 0, 2 * 3.14159265358979323846, -1, 1);
    std::vector<std::string> all = TextsOf(Texts(DrawGrid(project, 584, 387)));
    const std::vector<std::string> quarters = {"0",  szPi + "/4",       szPi + "/2",       "3" + szPi + "/4",
                                               szPi, "5" + szPi + "/4", "3" + szPi + "/2", "7" + szPi + "/4"};
    for (const std::string& sz : quarters)
        EXPECT_EQ(std::count(all.begin(), all.end(), sz), 1) << sz;
    SetView(project, -10 * 3.14159265358979323846, 10 * 3.14159265358979323846, -1, 1);
    all = TextsOf(Texts(DrawGrid(project, 584, 387)));
    for (const std::string& sz : {"-8" + szPi, "-2" + szPi, "2" + szPi, "8" + szPi})
        EXPECT_EQ(std::count(all.begin(), all.end(), sz), 1) << sz;
    EXPECT_EQ(std::count(all.begin(), all.end(), szPi), 0);
    // A view too narrow for even pi/4 is labelled in plain numbers.
    SetView(project, -0.5, 0.5, -1, 1);
    double dMultiple = 0;
    int32_t nDivisor = 0;
    EXPECT_FALSE(CRenderer::PiStep(584.0, dMultiple, nDivisor));
}

TEST(Legend, NamesTheShownFunctionsInEveryPicture)
{
    // The texts that name a function, "f1: sin(x)", and the one that counts those left out.
    const auto Names = [](const CRecordingCanvas& canvas) {
        std::vector<std::string> names;
        for (const SText& text : Texts(canvas))
            if (text.szText[0] == 'f' || text.szText[0] == '\x85')
                names.push_back(text.szText);
        return names;
    };
    // The picture files and the printout draw their grid layer through the picture job.
    CProject project;
    SetView(project, -10, 10, -5, 5);
    CAnimationStep* pFirst = project.m_pFirstStep;
    project.SetFunction(1, "sin(x)");
    pFirst->m_bVisible[0] = true;
    pFirst->m_nColor[0] = 12;
    pFirst->m_nWidth[0] = 2;
    project.SetFunction(2, "x^2"); // hidden in every step
    pFirst->m_bVisible[2] = true;  // shown, but without a formula
    project.SetFunction(4, std::string(60, '1').c_str());
    auto pSecond = std::make_unique<CAnimationStep>();
    pSecond->m_bVisible[3] = true; // shown in the second step only
    pSecond->m_nColor[3] = 9;
    project.InsertStep(std::move(pSecond), nullptr);
    const auto Draw = [&] {
        CRecordingCanvas canvas;
        CPictureJob::DrawLayers(project, CViewBox::Of(project), canvas, 400, 200, 0, 0, true);
        return canvas;
    };
    EXPECT_TRUE(Names(Draw()).empty());
    project.SetFlag(FLAG_LEGEND, true);
    const CRecordingCanvas canvas = Draw();
    EXPECT_EQ(Names(canvas), (std::vector<std::string>{"f1: sin(x)", "f4: " + std::string(35, '1') + "\x85"}));
    // Each name after a line in its function's colour and width, on a box of the background.
    const std::vector<std::string>& log = canvas.m_Log;
    const auto it = std::find(log.begin(), log.end(), "pencolor 0000FF");
    ASSERT_NE(it, log.end());
    EXPECT_EQ(*(it + 1), "penwidth 2");
    EXPECT_NE(std::find(log.begin(), log.end(), "pencolor FF0000"), log.end());
    EXPECT_EQ(canvas.Count("brushcolor FFFFFF"), 2u); // the background and the box
    // More than the picture's height holds: the last row counts the rest. 48 functions, rows of
    // 12 pixels in 200 - 2 * 6 - 2 * 4: 14 names and the count of the other 34.
    for (unsigned i = 5; i <= 50; ++i) {
        project.SetFunction(i, "x");
        project.m_pFirstStep->m_bVisible[i - 1] = true;
    }
    const std::vector<std::string> crowded = Names(Draw());
    ASSERT_EQ(crowded.size(), 15u);
    EXPECT_EQ(crowded.back(), "\x85 und 34 weitere");
}

namespace {
// What a picture's curves reach: the leftmost and rightmost x pixel of their points, the widest
// step in x between two points of one polyline, and the samples drawn.
struct SReach {
    int32_t nLeft = INT32_MAX;
    int32_t nRight = INT32_MIN;
    int32_t nWidestStep = 0;
    uint32_t nSamples = 0;
};

SReach Reach(CProject& project, uint32_t nWidth, const std::function<void(CPictureJob&)>& choose = nullptr)
{
    CPictureJob job(project, true, false);
    if (choose)
        choose(job);
    job.Setup(CViewBox::Of(project), nWidth, 200, 0, 0, 1);
    CRecordingCanvas canvas;
    SReach reach;
    job.Draw(canvas, UINT64_MAX, [&](const CFuncVars&, const CAnimationStep*) {
        ++reach.nSamples;
        return false;
    });
    ++reach.nSamples; // the last one ends the drawing without a question
    for (const std::string& szCall : canvas.m_Log) {
        if (szCall.rfind("polyline", 0) != 0 && szCall.rfind("move", 0) != 0)
            continue;
        int32_t nLast = INT32_MIN;
        for (size_t i = szCall.find(' '); i != std::string::npos; i = szCall.find(' ', i + 1)) {
            const int32_t x = std::stoi(szCall.substr(i + 1));
            reach.nLeft = std::min(reach.nLeft, x);
            reach.nRight = std::max(reach.nRight, x);
            if (nLast != INT32_MIN && szCall[0] == 'p')
                reach.nWidestStep = std::max(reach.nWidestStep, std::abs(x - nLast));
            nLast = x;
        }
    }
    return reach;
}
} // namespace

TEST(FollowView, ExplicitCurvesAreDrawnAcrossTheVisibleXRange)
{
    // The default step, x from -10 to 10 by 0.2; a view of -40 ... 40 on 400 pixels puts x = -10
    // at pixel 150 and x = 10 (a little less, by the additions) at 249.
    struct SRow {
        const char* pszName;
        bool bFollow;
        const char* pszFormula;
        double dTrMode;
        double dX0, dX1;
        int32_t nLeft, nRight; // reached, at least as far
        uint32_t nMinSamples, nMaxSamples;
    };
    const SRow rows[] = {
        {"old file: the step's own range", false, "x/4", 0, -40, 40, 150, 249, 101, 101},
        {"zoomed out: to the frame", true, "x/4", 0, -40, 40, 0, 399, 801, 803},
        {"zoomed in: two samples a pixel", true, "x/4", 0, -1, 1, 0, 399, 801, 803},
        {"a parametric curve keeps its range", true, "x, x/4", 0, -40, 40, 150, 249, 101, 101},
        {"a transformed one too", true, "x/4", TRMODE_POLAR, -40, 40, 200, 200, 101, 101},
        {"far out: bounded", true, "x/4", 0, -1e6, 1e6, 0, 399, 801, 1605},
    };
    for (const SRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        CProject project;
        SetView(project, row.dX0, row.dX1, -20, 20);
        project.SetFunction(1, row.pszFormula);
        project.m_pFirstStep->m_bVisible[0] = true;
        project.SetOption(OPT_TRMODE, row.dTrMode);
        project.SetFlag(FLAG_FOLLOWVIEW, row.bFollow);
        const SReach reach = Reach(project, 400);
        if (row.dTrMode == TRMODE_NONE) {
            EXPECT_LE(reach.nLeft, row.nLeft);
            EXPECT_GE(reach.nRight, row.nRight);
        }
        if (!row.bFollow || std::string(row.pszFormula).find(',') != std::string::npos) {
            EXPECT_GE(reach.nLeft, row.nLeft); // not a pixel beyond the step's range
            EXPECT_LE(reach.nRight, row.nRight);
        }
        EXPECT_GE(reach.nSamples, row.nMinSamples);
        EXPECT_LE(reach.nSamples, row.nMaxSamples);
        if (row.bFollow && row.dTrMode == TRMODE_NONE && row.nLeft == 0) {
            EXPECT_LE(reach.nWidestStep, 1);
        }
    }

    // A step denser than the pixels keeps its density across the wider view; the own samples
    // stay among the drawn ones, in the step's direction.
    CProject dense;
    SetView(dense, -20, 20, -20, 20);
    dense.SetFunction(1, "x");
    dense.m_pFirstStep->m_bVisible[0] = true;
    dense.SetFlag(FLAG_FOLLOWVIEW, true);
    SetRange(dense.m_pFirstStep, 0, 10.0, -0.002, 10000);
    const SReach wide = Reach(dense, 400);
    EXPECT_GE(wide.nSamples, 20001u);
    EXPECT_LE(wide.nSamples, 20003u);
    CStepSweep sweep = CStepSweep::Of(*dense.m_pFirstStep);
    ASSERT_TRUE(CSweepPlan::FollowX(sweep, -20.0, 20.0, 400));
    EXPECT_LT(sweep.m_dStep[0], 0.0);
    EXPECT_NEAR(sweep.m_dMin[0], 20.0, 1e-9);
    EXPECT_EQ(sweep.m_dStep[0], -0.002);
}

TEST(FollowView, RangeAndValueTableKeepTheStepsOwnRange)
{
    CProject project;
    project.SetFunction(1, "x*x");
    project.m_pFirstStep->m_bVisible[0] = true;
    const auto Picture = [&] {
        CPictureJob job(project, true, true);
        while (job.Walk(UINT64_MAX)) {
        }
        const CViewBox box = job.Range();
        CValueTable table;
        table.Build(project, project.m_pFirstStep);
        return std::make_pair(std::vector<double>(box.m_dView, box.m_dView + 4), table.m_Cells);
    };
    const auto before = Picture();
    project.SetFlag(FLAG_FOLLOWVIEW, true);
    EXPECT_EQ(Picture(), before);
    EXPECT_NEAR(before.first[0], -10.0, 1e-9);
    EXPECT_EQ(before.second.size(), 102u);
}

TEST(FollowView, OneMemberOfAFamily)
{
    // u from 1 by 1 to 5; member 2 (u = 3) alone: one run of x, every point on that member's line.
    CProject project;
    SetView(project, -10, 10, -20, 20);
    project.SetFunction(1, "u");
    project.m_pFirstStep->m_bVisible[0] = true;
    SetRange(project.m_pFirstStep, 1, 1.0, 1.0, 4);
    EXPECT_EQ(Reach(project, 400).nSamples, 505u);
    CFuncVars view;
    view.SetupView(&project, nullptr, 400, 200, 0, 0);
    int32_t nX, nY;
    view.MapPoint(0.0, 3.0, nX, nY, false);
    CPictureJob job(project, true, false);
    job.SelectMember(*project.m_pFirstStep, 1, 2);
    job.Setup(CViewBox::Of(project), 400, 200, 0, 0, 1);
    CRecordingCanvas canvas;
    uint32_t nSamples = 0;
    job.Draw(canvas, UINT64_MAX, [&](const CFuncVars&, const CAnimationStep*) { return ++nSamples == 0; });
    EXPECT_EQ(nSamples + 1, 101u);
    EXPECT_EQ(canvas.Count("move"), 1u); // the function reads no x: one dot at the run's start
    EXPECT_EQ(canvas.Calls("move")[0], "move 0," + std::to_string(nY));
    // Out of range: the whole family.
    EXPECT_EQ(Reach(project, 400, [&](CPictureJob& j) { j.SelectMember(*project.m_pFirstStep, 1, 5); }).nSamples, 505u);

    // Chosen after the walk that determined the range and logged the family's values, as the
    // window does: the member is evaluated where it is drawn, not read from the family's log.
    project.SetFunction(1, "x*0+u");
    project.SetFlag(FLAG_YAUTO, true);
    CPictureJob walked(project, true, true);
    while (walked.Walk(UINT64_MAX)) {
    }
    const CViewBox range = walked.Range();
    EXPECT_EQ(range.m_dView[3], 5.0);
    walked.SelectMember(*project.m_pFirstStep, 1, 2);
    walked.Setup(range, 400, 200, 0, 0, 1);
    CRecordingCanvas line;
    walked.Draw(line, UINT64_MAX, nullptr);
    CFuncVars mapped;
    mapped.SetupView(&project, range, nullptr, 400, 200, 0, 0);
    mapped.MapPoint(0.0, 3.0, nX, nY, false);
    for (const std::string& szCall : line.Calls("polyline"))
        EXPECT_EQ(szCall.substr(szCall.rfind(',') + 1), std::to_string(nY)) << szCall;
    EXPECT_EQ(line.Count("polyline"), 100u);
}

TEST(MarkPainter, LinesAcrossTheViewCirclesAndStripes)
{
    // x -2 ... 2 on 400 pixels, y -2 ... 2 on 200.
    CProject project;
    SetView(project, -2, 2, -2, 2);
    CFuncVars view;
    view.SetupView(&project, project.m_pFirstStep, 400, 200, 0, 0);
    const auto Shapes = [&](const CAnalysisMarks& marks) {
        CRecordingCanvas canvas;
        CMarkPainter::Paint(canvas, view, marks);
        std::vector<std::string> shapes;
        for (const std::string& sz : canvas.m_Log)
            if (sz.rfind("pen", 0) != 0 && sz.rfind("brush", 0) != 0)
                shapes.push_back(sz);
        return shapes;
    };
    CAnalysisMarks marks;
    // The tangent y = 2x - 1 of x^2 at 1 runs from (-0.5, -2) to (1.5, 2); the upright normal
    // at 0.5 from the bottom to the top; a line of slope 1e300 does not overflow the pixels.
    marks.m_Lines = {{1, 1, 1, 2}, {0.5, 0.25, 0, 1}, {0, 0, 1, 1e300}};
    std::vector<std::string> expected = {"move 150,200", "line 350,0",   "move 250,200",
                                         "line 250,0",   "move 200,200", "line 200,0"};
    EXPECT_EQ(Shapes(marks), expected);
    // A line that misses the view, and a point outside it, draw nothing.
    marks.m_Lines = {{0, 3, 1, 0}};
    marks.m_Points = {{5, 0}};
    EXPECT_TRUE(Shapes(marks).empty());
    // A circle of radius 4 about the point, closed.
    marks.m_Lines.clear();
    marks.m_Points = {{1, 1}};
    const std::vector<std::string> circle = Shapes(marks);
    ASSERT_EQ(circle.size(), 1u);
    EXPECT_EQ(circle[0].substr(0, 23), "polyline 304,50 304,52 ");
    // Stripes every third pixel column from the x axis up to the curve, interpolated between the
    // strips: y = x from 0 to 1 gives columns 201 ... 300.
    marks.m_Points.clear();
    marks.m_Area = {{0, 0, 0}, {1, 0, 1}};
    const std::vector<std::string> stripes = Shapes(marks);
    ASSERT_EQ(stripes.size(), 2u * 34);
    EXPECT_EQ(stripes[0], "move 201,100");
    EXPECT_EQ(stripes[1], "line 201,99");
    EXPECT_EQ(stripes.back(), "line 300,50");
}
