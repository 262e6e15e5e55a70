#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "project/CProject.h"
#include "view/CFuncVars.h"
#include "view/CPicturePlan.h"
#include "view/CRangeTail.h"
#include "view/CRangeWalk.h"
#include "view/CSliceClock.h"
#include "view/CViewRange.h"

namespace {
// A slice that ends at the first look, as after a value that took long.
class CBriefSlices : public CSliceClock {
public:
    void StartSlice(uint32_t) override {}
    bool SliceOver() override { return true; }
};

CAnimationStep* Step(CProject& project)
{
    return project.m_pFirstStep;
}

void SetRange(CAnimationStep* pStep, unsigned nVariable, double dMin, double dStep, uint32_t nCount)
{
    pStep->m_dMin[nVariable] = dMin;
    pStep->m_dStep[nVariable] = dStep;
    pStep->m_nCount[nVariable] = nCount;
}

void SetView(CProject& project, double x0, double x1, double y0, double y1)
{
    project.SetOption(OPT_XMIN, x0);
    project.SetOption(OPT_XMAX, x1);
    project.SetOption(OPT_YMIN, y0);
    project.SetOption(OPT_YMAX, y1);
}
} // namespace

TEST(Sampling, OdometerOrderAcrossStepsWithCountersAndFirstFlags)
{
    CProject project;
    SetRange(Step(project), 0, 0.0, 1.0, 2);
    SetRange(Step(project), 1, 10.0, 5.0, 1);
    auto pSecond = std::make_unique<CAnimationStep>();
    SetRange(pSecond.get(), 0, 100.0, 1.0, 0);
    SetRange(pSecond.get(), 1, 0.0, 1.0, 0);
    SetRange(pSecond.get(), 2, -1.0, 0.5, 1);
    project.InsertStep(std::move(pSecond), nullptr);

    struct SSample {
        double x, u, v;
        bool bFirst;
        uint32_t nSamples;
    };
    std::vector<SSample> seen;
    CFuncVars vars;
    vars.m_pProject = &project;
    vars.Reset(Step(project));
    do {
        EXPECT_EQ(vars.m_dValue[3], vars.m_dValue[0]);
        EXPECT_EQ(vars.m_dValue[4], vars.m_dValue[1]);
        EXPECT_EQ(vars.m_dValue[5], vars.m_dValue[2]);
        seen.push_back({vars.m_dValue[0], vars.m_dValue[1], vars.m_dValue[2], vars.m_bFirstSample, vars.m_nSamples});
    } while (vars.Advance());

    const std::vector<SSample> expected = {
        {0, 10, 0, true, 0},  {1, 10, 0, false, 1}, {2, 10, 0, false, 2},  {0, 15, 0, false, 3},
        {1, 15, 0, false, 4}, {2, 15, 0, false, 5}, {100, 0, -1, true, 6}, {100, 0, -0.5, false, 7},
    };
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[i].x, expected[i].x);
        EXPECT_EQ(seen[i].u, expected[i].u);
        EXPECT_EQ(seen[i].v, expected[i].v);
        EXPECT_EQ(seen[i].bFirst, expected[i].bFirst);
        EXPECT_EQ(seen[i].nSamples, expected[i].nSamples);
    }
    EXPECT_EQ(vars.m_pStep, nullptr);
    EXPECT_FALSE(vars.Advance());

    vars.Reset(nullptr);
    for (unsigned i = 0; i < 6; ++i)
        EXPECT_EQ(vars.m_dValue[i], 0.0);
    EXPECT_FALSE(vars.Advance());
}

TEST(Sampling, ValuesAreAccumulatedByRepeatedAddition)
{
    CProject project;
    CFuncVars vars;
    vars.Reset(Step(project)); // x from -10, 100 increments of 0.2
    double dExpected = -10.0;
    unsigned nSamples = 1;
    while (vars.Advance() && vars.m_nIndex[0] != 0) {
        dExpected += 0.2;
        ASSERT_EQ(vars.m_dValue[0], dExpected);
        ++nSamples;
    }
    EXPECT_EQ(nSamples, 101u);
    EXPECT_NE(dExpected, 10.0); // the rounding of the sum shows; a product would hit 10 exactly
    EXPECT_NEAR(dExpected, 10.0, 1e-9);
}

TEST(Sampling, LargestCountEndsTheWalk)
{
    // The index of a count of 4294967295 reaches 0xFFFFFFFF, and must not wrap on to 0.
    CProject project;
    SetRange(Step(project), 0, 0.0, 1.0, 0xFFFFFFFFu);
    SetRange(Step(project), 1, 0.0, 1.0, 0xFFFFFFFFu);
    CFuncVars vars;
    vars.Reset(Step(project));
    vars.m_nIndex[0] = 0xFFFFFFFEu;
    vars.m_nIndex[1] = 0xFFFFFFFFu;
    ASSERT_TRUE(vars.Advance());
    EXPECT_EQ(vars.m_nIndex[0], 0xFFFFFFFFu);
    EXPECT_FALSE(vars.Advance());
    EXPECT_EQ(vars.m_pStep, nullptr);
}

TEST(Transform, EachModeMovesThePointItsWay)
{
    CProject project;
    CFuncVars vars;
    vars.m_pProject = &project;
    double x = 3.0, y = 4.0;

    EXPECT_TRUE(vars.TransformPoint(x, y));
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(3.0, 4.0));

    project.SetOption(OPT_TRMODE, 2.0);
    x = M_PI / 2;
    y = 2.0;
    EXPECT_TRUE(vars.TransformPoint(x, y));
    EXPECT_NEAR(x, 0.0, 1e-12);
    EXPECT_DOUBLE_EQ(y, 2.0);

    project.SetOption(OPT_TRMODE, 1.0);
    x = 3.0, y = 4.0;
    EXPECT_FALSE(vars.TransformPoint(x, y)) << "no term";
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(3.0, 4.0));
    project.SetTransform("fx+1, fy*2");
    EXPECT_TRUE(vars.TransformPoint(x, y));
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(4.0, 8.0));
    project.SetTransform("fy*2");
    x = 3.0, y = 4.0;
    EXPECT_TRUE(vars.TransformPoint(x, y));
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(3.0, 8.0));
    project.SetTransform("1/fx, fy");
    x = 0.0, y = 4.0;
    EXPECT_FALSE(vars.TransformPoint(x, y));
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(0.0, 0.0));
    // The term sees the sample's own slots beside fx and fy.
    project.SetTransform("fx+u, fy");
    vars.m_dValue[1] = 10.0;
    x = 1.0, y = 1.0;
    EXPECT_TRUE(vars.TransformPoint(x, y));
    EXPECT_EQ(x, 11.0);

    for (double dMode : {3.0, -1.0, 1e300, double(NAN)}) {
        project.SetOption(OPT_TRMODE, dMode);
        x = 3.0, y = 4.0;
        EXPECT_FALSE(vars.TransformPoint(x, y)) << dMode;
        EXPECT_EQ(std::make_pair(x, y), std::make_pair(3.0, 4.0));
    }
    project.SetOption(OPT_TRMODE, 2.9); // truncated to polar
    x = 0.0, y = 1.0;
    EXPECT_TRUE(vars.TransformPoint(x, y));
    EXPECT_DOUBLE_EQ(x, 1.0);
}

TEST(Range, DefaultStepSquareFunction)
{
    CProject project;
    project.SetFunction(1, "x*x");
    Step(project)->m_bVisible[0] = true;
    project.m_bModified = false;
    CViewRange::DetermineRange(project);
    EXPECT_NEAR(project.m_dOptions[OPT_XMIN], -10.0, 1e-12);
    EXPECT_NEAR(project.m_dOptions[OPT_XMAX], 10.0, 1e-9);
    EXPECT_NEAR(project.m_dOptions[OPT_YMIN], 0.0, 1e-12);
    EXPECT_NEAR(project.m_dOptions[OPT_YMAX], 100.0, 1e-7);
    EXPECT_TRUE(project.m_bModified);
    EXPECT_EQ(project.m_dRawBounds[0], project.m_dOptions[OPT_XMIN]);
    EXPECT_EQ(project.m_dRawBounds[3], project.m_dOptions[OPT_YMAX]);
}

TEST(Range, MarginOnTheAutomaticAxesOnly)
{
    // 5 % of the span on either side of each automatic axis; the raw bounds stay the points'.
    CProject project;
    project.SetFunction(1, "x*x");
    Step(project)->m_bVisible[0] = true;
    project.SetFlag(FLAG_RANGEMARGIN, true);
    project.SetFlag(FLAG_XAUTO, false);
    project.SetOption(OPT_XMIN, -2.0);
    project.SetOption(OPT_XMAX, 3.0);
    CViewRange::DetermineRange(project);
    EXPECT_EQ(project.m_dOptions[OPT_XMIN], -2.0);
    EXPECT_EQ(project.m_dOptions[OPT_XMAX], 3.0);
    EXPECT_NEAR(project.m_dOptions[OPT_YMIN], -5.0, 1e-7);
    EXPECT_NEAR(project.m_dOptions[OPT_YMAX], 105.0, 1e-7);
    EXPECT_NEAR(project.m_dRawBounds[3], 100.0, 1e-7);
    project.SetFlag(FLAG_XAUTO, true);
    CViewRange::DetermineRange(project);
    EXPECT_NEAR(project.m_dOptions[OPT_XMIN], -11.0, 1e-9);
    EXPECT_NEAR(project.m_dOptions[OPT_XMAX], 11.0, 1e-9);
    // A constant has no span to widen: still nothing to draw, as without the margin.
    project.SetFunction(1, "3");
    CViewRange::DetermineRange(project);
    EXPECT_EQ(project.m_dOptions[OPT_YMIN], 3.0);
    EXPECT_EQ(project.m_dOptions[OPT_YMAX], 3.0);
}

TEST(Range, PointRuleAndOneAxisOnly)
{
    CProject project;
    CAnimationStep* pStep = Step(project);
    SetRange(pStep, 0, 0.0, 1.0, 2); // x = 0, 1, 2
    // Three values: the points (e0, e1) and (x, e2).
    project.SetFunction(1, "x+100, -x, x*10");
    pStep->m_bVisible[0] = true;
    CViewRange::DetermineRange(project);
    EXPECT_EQ(project.m_dOptions[OPT_XMIN], 0.0);
    EXPECT_EQ(project.m_dOptions[OPT_XMAX], 102.0);
    EXPECT_EQ(project.m_dOptions[OPT_YMIN], -2.0);
    EXPECT_EQ(project.m_dOptions[OPT_YMAX], 20.0);

    // Only y automatic: x keeps the user's range, y takes the points outside it too.
    project.SetFlag(FLAG_XAUTO, false);
    SetView(project, 0.5, 0.6, 0, 0);
    project.SetFunction(1, "x*3");
    CViewRange::DetermineRange(project);
    EXPECT_EQ(project.m_dOptions[OPT_XMIN], 0.5);
    EXPECT_EQ(project.m_dOptions[OPT_XMAX], 0.6);
    EXPECT_EQ(project.m_dOptions[OPT_YMIN], 0.0);
    EXPECT_EQ(project.m_dOptions[OPT_YMAX], 6.0);

    // Neither axis automatic and no transformation: nothing is evaluated, raw bounds are 0.
    project.SetFlag(FLAG_YAUTO, false);
    project.SetFunction(1, "x*4");
    CViewRange::DetermineRange(project);
    for (double d : project.m_dRawBounds)
        EXPECT_EQ(d, 0.0);
    EXPECT_EQ(project.GetFunction(1)->GetCache().GetMisses(), 0u);
}

TEST(Range, TransformedBoundsAndUndefinedPoints)
{
    CProject project;
    CAnimationStep* pStep = Step(project);
    SetRange(pStep, 0, 1.0, 1.0, 2); // x = 1, 2, 3
    project.SetFunction(1, "x");
    pStep->m_bVisible[0] = true;
    project.SetOption(OPT_TRMODE, 1.0);
    // Undefined at the very first point: the transformed bounds keep 0 as one end.
    project.SetTransform("fx>1 ? fx*10, fy+5");
    CViewRange::DetermineRange(project);
    EXPECT_EQ(project.m_dOptions[OPT_XMIN], 0.0);
    EXPECT_EQ(project.m_dOptions[OPT_XMAX], 30.0);
    EXPECT_EQ(project.m_dOptions[OPT_YMIN], 0.0);
    EXPECT_EQ(project.m_dOptions[OPT_YMAX], 8.0);
    EXPECT_EQ(project.m_dRawBounds[0], 1.0);
    EXPECT_EQ(project.m_dRawBounds[1], 3.0);

    // An undefined function value gives no point at all.
    project.SetTransform("fx, fy");
    project.SetFunction(1, "x==2 ? undef : x");
    CViewRange::DetermineRange(project);
    EXPECT_EQ(project.m_dOptions[OPT_XMIN], 1.0);
    EXPECT_EQ(project.m_dOptions[OPT_YMAX], 3.0);

    // Mode 1 without a term: only the raw bounds are gathered.
    project.SetTransform("");
    CViewRange::DetermineRange(project);
    EXPECT_EQ(project.m_dOptions[OPT_XMIN], 0.0);
    EXPECT_EQ(project.m_dOptions[OPT_XMAX], 0.0);
    EXPECT_EQ(project.m_dRawBounds[1], 3.0);

    // With a transformation, the raw bounds are gathered although no axis is automatic.
    project.SetFlag(FLAG_XAUTO, false);
    project.SetFlag(FLAG_YAUTO, false);
    project.SetOption(OPT_TRMODE, 2.0);
    CViewRange::DetermineRange(project);
    EXPECT_EQ(project.m_dRawBounds[0], 1.0);
    EXPECT_EQ(project.m_dRawBounds[3], 3.0);
}

TEST(Range, WalkInSlicesEqualsTheWholeAndTouchesNothingUntilFinished)
{
    // Two steps, a two-point function and a transformation: any slicing gives the same range.
    const auto Make = [](CProject& project) {
        SetRange(Step(project), 0, -3.0, 0.25, 40);
        SetRange(Step(project), 1, 1.0, 1.0, 3);
        project.SetFunction(1, "x*u, x^2-u");
        project.SetFunction(2, "x==0 ? undef : 1/x");
        Step(project)->m_bVisible[0] = Step(project)->m_bVisible[1] = true;
        CAnimationStep* pSecond = project.InsertStep(std::make_unique<CAnimationStep>(), nullptr);
        pSecond->m_bVisible[1] = true;
        project.SetOption(OPT_TRMODE, 1.0);
        project.SetTransform("fx*2, fy+1");
    };
    CProject whole;
    Make(whole);
    CViewRange::DetermineRange(whole);
    // Chunk 0 stands for a clock whose slice is over at every look: a slice is one value (of
    // the 164 samples of two functions, then 101 of one).
    for (uint64_t nChunk : {uint64_t{0}, uint64_t{1}, uint64_t{7}, uint64_t{163}, uint64_t{100000}}) {
        CProject project;
        Make(project);
        project.m_bModified = false;
        CRangeWalk walk(project);
        double dProgress = walk.Progress();
        EXPECT_EQ(dProgress, 0.0);
        int nSlices = 0;
        CBriefSlices brief;
        while (nChunk ? walk.Walk(nChunk) : walk.Walk(UINT64_MAX, &brief)) {
            ++nSlices;
            EXPECT_GE(walk.Progress(), dProgress);
            dProgress = walk.Progress();
        }
        const uint64_t nPer = nChunk ? nChunk : 1;
        const uint64_t nUnits = nChunk ? 164 + 101 : 164 * 2 + 101;
        EXPECT_EQ(nSlices, static_cast<int>((nUnits + nPer - 1) / nPer) - 1) << nChunk;
        EXPECT_TRUE(walk.Done());
        EXPECT_EQ(walk.Progress(), 1.0);
        EXPECT_FALSE(project.m_bModified);
        EXPECT_EQ(project.m_dOptions[OPT_XMAX], 0.0);
        walk.Finish();
        for (unsigned i = OPT_XMIN; i <= OPT_YMAX; ++i)
            EXPECT_EQ(project.m_dOptions[i], whole.m_dOptions[i]) << nChunk << " option " << i;
        for (unsigned i = 0; i < 4; ++i)
            EXPECT_EQ(project.m_dRawBounds[i], whole.m_dRawBounds[i]) << nChunk << " raw " << i;
    }
    // Nothing automatic and no transformation: done at once, the raw bounds 0.
    CProject fixed;
    fixed.SetFlag(FLAG_XAUTO, false);
    fixed.SetFlag(FLAG_YAUTO, false);
    fixed.m_dRawBounds[1] = 5.0;
    CRangeWalk walk(fixed);
    EXPECT_TRUE(walk.Done());
    EXPECT_FALSE(walk.Walk(10));
    walk.Finish();
    EXPECT_EQ(fixed.m_dRawBounds[1], 0.0);
}

TEST(ViewMapping, PlainProportionalAndUpsideDown)
{
    CProject project;
    SetView(project, -10, 10, -5, 5);
    CFuncVars vars;
    vars.SetupView(&project, nullptr, 400, 200, 0, 0);
    EXPECT_EQ(vars.m_dScaleX, 20.0);
    EXPECT_EQ(vars.m_dScaleY, -20.0);
    int32_t nX, nY;
    vars.MapPoint(0, 0, nX, nY, true);
    EXPECT_EQ(std::make_pair(nX, nY), std::make_pair(200, 100));
    vars.MapPoint(5, 2.5, nX, nY, true);
    EXPECT_EQ(std::make_pair(nX, nY), std::make_pair(300, 50));
    double x, y;
    vars.UnmapPoint(300, 50, x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(5.0, 2.5));
    vars.MapPoint(-0.01, 0.01, nX, nY, false); // truncation toward zero, not flooring
    EXPECT_EQ(std::make_pair(nX, nY), std::make_pair(199, 99));

    // An offset rectangle: (xmin, ymax) lands on its top-left corner.
    vars.SetupView(&project, nullptr, 400, 200, 30, 40);
    vars.MapPoint(-10, 5, nX, nY, false);
    EXPECT_EQ(std::make_pair(nX, nY), std::make_pair(30, 40));

    project.SetFlag(FLAG_PROPORTIONAL, true);
    SetView(project, -10, 10, -10, 10);
    vars.SetupView(&project, nullptr, 400, 200, 0, 0);
    EXPECT_EQ(vars.m_dScaleX, 10.0);
    EXPECT_EQ(vars.m_dScaleY, -10.0);
    // x shows more than its range, as much on either side: the range stays centred.
    vars.UnmapPoint(0, 0, x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(-20.0, 10.0));
    vars.UnmapPoint(400, 200, x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(20.0, -10.0));
    vars.MapPoint(0, 0, nX, nY, false);
    EXPECT_EQ(std::make_pair(nX, nY), std::make_pair(200, 100));
    // Likewise y, where it would have had more pixels per unit, upside down too.
    SetView(project, 10, -10, 4, 6);
    vars.SetupView(&project, nullptr, 400, 200, 0, 0);
    EXPECT_EQ(vars.m_dScaleX, -20.0);
    EXPECT_EQ(vars.m_dScaleY, -20.0);
    vars.UnmapPoint(0, 0, x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(10.0, 10.0));
    vars.UnmapPoint(400, 200, x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(-10.0, 0.0));

    project.SetFlag(FLAG_PROPORTIONAL, false);
    SetView(project, -10, 10, 5, -5);
    vars.SetupView(&project, nullptr, 400, 200, 0, 0);
    EXPECT_EQ(vars.m_dScaleY, 20.0);
    vars.MapPoint(0, 2.5, nX, nY, false);
    EXPECT_EQ(nY, 150);
}

TEST(ViewMapping, UnmappableViewsAndFarPoints)
{
    CProject project;
    CFuncVars vars;
    int32_t nX, nY;
    double x, y;
    for (auto view : {std::make_pair(400u, 0u), std::make_pair(0u, 200u)}) {
        SetView(project, -10, 10, -5, 5);
        vars.SetupView(&project, nullptr, view.first, view.second, 0, 0);
        EXPECT_EQ(vars.m_dScaleX, 0.0);
        EXPECT_EQ(vars.m_dOriginY, 0.0);
    }
    SetView(project, 3, 3, -5, 5);
    vars.SetupView(&project, nullptr, 400, 200, 0, 0);
    EXPECT_EQ(vars.m_dScaleX, 0.0);
    EXPECT_EQ(vars.m_dScaleY, 0.0);
    vars.MapPoint(1e308, -1e308, nX, nY, false);
    EXPECT_EQ(std::make_pair(nX, nY), std::make_pair(0, 0));
    vars.UnmapPoint(17, 33, x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(0.0, 0.0));

    // Near a pole: clamped, never the "no point" mark, never a wrapped value.
    SetView(project, -10, 10, -5, 5);
    vars.SetupView(&project, nullptr, 400, 200, 0, 0);
    const int32_t nLimit = static_cast<int32_t>(CFuncVars::PIXEL_LIMIT);
    vars.MapPoint(1e300, -1e300, nX, nY, false);
    EXPECT_EQ(std::make_pair(nX, nY), std::make_pair(nLimit, nLimit));
    vars.MapPoint(-1e12, 1e12, nX, nY, false);
    EXPECT_EQ(std::make_pair(nX, nY), std::make_pair(-nLimit, -nLimit));
    vars.MapPoint(1.7e308, 0, nX, nY, false); // the difference overflows to infinity
    EXPECT_EQ(nX, nLimit);
    EXPECT_NE(nX, INT_MAX);
}

// Bounds whose span overflows the doubles, or is so narrow that its scale does, still map: the
// former measured in halves, the latter widened about its centre to the narrowest span that maps.
TEST(ViewMapping, ExtremeRangesMapToTheNearestRepresentableView)
{
    struct SRow {
        const char* m_pszName;
        double m_dX0, m_dX1, m_dY0, m_dY1; // the view
        double x, y;                       // a point in it
        int32_t m_nX, m_nY;                // its pixel on 400 x 200
    };
    const SRow rows[] = {
        {"wider than the doubles", -1.7e308, 1.7e308, -1.0, 1.0, 8.5e307, 0.0, 300, 100},
        {"from the largest negative", -1.7e308, 0.0, -1.0, 1.0, -8.5e307, 0.5, 200, 50},
        {"reversed and wide", 1.7e308, -1.7e308, 1e308, -1e308, 0.0, 5e307, 200, 150},
        {"values near 1e308 on y", -10.0, 10.0, -1e308, 1e308, 5.0, 5e307, 300, 50},
        {"1e-310 wide", 0.0, 1e-310, -1.0, 1.0, 5e-311, 0.0, 200, 100},
        {"subnormal on both axes", 1e-320, 2e-320, -1e-315, 1e-315, 1.5e-320, 0.0, 200, 100},
    };
    for (const SRow& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        CProject project;
        SetView(project, row.m_dX0, row.m_dX1, row.m_dY0, row.m_dY1);
        EXPECT_FALSE(CViewRange::NothingToDraw(project));
        CFuncVars vars;
        vars.SetupView(&project, nullptr, 400, 200, 0, 0);
        ASSERT_NE(vars.m_dScaleX, 0.0);
        ASSERT_NE(vars.m_dScaleY, 0.0);
        int32_t nX, nY;
        vars.MapPoint(row.x, row.y, nX, nY, false);
        EXPECT_NEAR(nX, row.m_nX, 1);
        EXPECT_NEAR(nY, row.m_nY, 1);
        double x, y; // the corners come back as the view's bounds, or inside the widened view
        vars.UnmapPoint(0, 0, x, y);
        EXPECT_TRUE(std::isfinite(x) && std::isfinite(y));
        vars.UnmapPoint(400, 200, x, y);
        EXPECT_TRUE(std::isfinite(x) && std::isfinite(y));
        if (std::fabs(row.m_dX1 - row.m_dX0) > 1.0) {
            EXPECT_EQ(x, row.m_dX1);
        }
    }

    // Bounds that are no numbers cannot be drawn, and say so.
    CProject project;
    SetView(project, -INFINITY, 10, -1, 1);
    EXPECT_TRUE(CViewRange::NothingToDraw(project));

    // The automatic range of values near the largest numbers maps its curve inside the view.
    project.SetFunction(1, "1e308*sin(x)");
    project.m_pFirstStep->m_bVisible[0] = true;
    project.SetFlag(FLAG_XAUTO, true);
    project.SetFlag(FLAG_YAUTO, true);
    CViewRange::DetermineRange(project);
    EXPECT_GT(project.m_dOptions[OPT_YMAX], 9e307);
    CFuncVars vars;
    vars.SetupView(&project, nullptr, 400, 200, 0, 0);
    int32_t nX, nY;
    vars.MapPoint(0.0, 0.0, nX, nY, false);
    EXPECT_EQ(std::make_pair(nX, nY), std::make_pair(200, 100));

    // Zooming in on a view wider than the doubles halves it; zooming out past them changes nothing.
    SetView(project, -1.7e308, 1.7e308, -1.7e308, 1.7e308);
    EXPECT_TRUE(CViewRange::ZoomView(project, 2.0, 400, 200));
    EXPECT_EQ(project.m_dOptions[OPT_XMAX], 8.5e307);
    SetView(project, -1.7e308, 1.7e308, -1.7e308, 1.7e308);
    EXPECT_FALSE(CViewRange::ZoomView(project, 0.5, 400, 200));
    EXPECT_EQ(project.m_dOptions[OPT_XMAX], 1.7e308);
}

TEST(ViewMapping, GridPointFeedsTheTransformation)
{
    CProject project;
    SetView(project, -10, 10, -5, 5);
    project.SetOption(OPT_TRMODE, 1.0);
    project.SetTransform("x+u, fy");
    CFuncVars vars;
    vars.SetupView(&project, nullptr, 400, 200, 0, 0);
    int32_t nX, nY;
    EXPECT_TRUE(vars.MapGridPoint(2, 3, nX, nY, true));
    EXPECT_EQ(vars.m_dValue[0], 2.0);
    EXPECT_EQ(vars.m_dValue[1], 3.0);
    EXPECT_EQ(nX, 300); // x = 2 + 3
    EXPECT_TRUE(vars.MapGridPoint(2, 3, nX, nY, false));
    EXPECT_EQ(nX, 240);
    project.SetTransform("1/x, fy");
    EXPECT_FALSE(vars.MapGridPoint(0, 3, nX, nY, true));
}

TEST(ViewMoves, ZoomAndShift)
{
    CProject project;
    SetView(project, -10, 10, -5, 5);
    project.m_bModified = false;
    CViewRange::ZoomView(project, 2.0, 400, 200);
    EXPECT_TRUE(project.m_bModified);
    EXPECT_EQ(project.m_dOptions[OPT_XMIN], -5.0);
    EXPECT_EQ(project.m_dOptions[OPT_XMAX], 5.0);
    EXPECT_EQ(project.m_dOptions[OPT_YMIN], -2.5);
    EXPECT_EQ(project.m_dOptions[OPT_YMAX], 2.5);

    SetView(project, -10, 10, -5, 5);
    CViewRange::ZoomView(project, 0.5, 400, 200);
    EXPECT_EQ(project.m_dOptions[OPT_XMIN], -20.0);
    EXPECT_EQ(project.m_dOptions[OPT_YMAX], 10.0);

    project.SetFlag(FLAG_PROPORTIONAL, true);
    SetView(project, -10, 10, -10, 10);
    CViewRange::ZoomView(project, 2.0, 400, 200); // the visible -20 ... 20 halved about 0
    EXPECT_EQ(project.m_dOptions[OPT_XMIN], -10.0);
    EXPECT_EQ(project.m_dOptions[OPT_XMAX], 10.0);
    EXPECT_EQ(project.m_dOptions[OPT_YMIN], -5.0);
    EXPECT_EQ(project.m_dOptions[OPT_YMAX], 5.0);

    SetView(project, 3, 3, 1, 2); // unmappable, although true-to-scale could lend x y's scale
    CViewRange::ZoomView(project, 2.0, 400, 200);
    for (unsigned i = OPT_XMIN; i <= OPT_YMAX; ++i)
        EXPECT_EQ(project.m_dOptions[i], 0.0);

    // Zooming in stops while a pixel still spans many representable numbers; out still works.
    SetView(project, 0.2000000001, 0.2000000002, -5, 5);
    project.SetFlag(FLAG_PROPORTIONAL, false);
    EXPECT_TRUE(CViewRange::ZoomView(project, 2.0, 400, 200)); // thousands of numbers a pixel
    SetView(project, 0.2, 0.2 + 1e-12, -5, 5);
    project.m_bModified = false;
    EXPECT_FALSE(CViewRange::ZoomView(project, 2.0, 400, 200));
    EXPECT_FALSE(project.m_bModified);
    EXPECT_EQ(project.m_dOptions[OPT_XMIN], 0.2);
    EXPECT_TRUE(CViewRange::ZoomView(project, 0.5, 400, 200));
    SetView(project, 1e6, 1e6 + 1e-3, -5, 5); // far from 0 the same width resolves less
    EXPECT_TRUE(CViewRange::ZoomView(project, 2.0, 400, 200));
    SetView(project, 1e12, 1e12 + 1e-3, -5, 5);
    EXPECT_FALSE(CViewRange::ZoomView(project, 2.0, 400, 200));
    SetView(project, -1e-300, 1e-300, -5, 5); // the smallest numbers resolve coarsely
    EXPECT_FALSE(CViewRange::ZoomView(project, 2.0, 400, 200));

    SetView(project, -10, 10, -5, 5);
    project.m_bModified = false;
    CViewRange::ShiftView(project, 0.0, 0.0);
    EXPECT_FALSE(project.m_bModified);
    CViewRange::ShiftView(project, -0.5, 0.5);
    EXPECT_TRUE(project.m_bModified);
    EXPECT_EQ(project.m_dOptions[OPT_XMIN], -10.5);
    EXPECT_EQ(project.m_dOptions[OPT_XMAX], 9.5);
    EXPECT_EQ(project.m_dOptions[OPT_YMIN], -4.5);
    EXPECT_EQ(project.m_dOptions[OPT_YMAX], 5.5);
}

// A long sweep has its last part walked on a second thread: the range comes out as the plain walk
// makes it, wherever the defined points lie, and the cache counts only the walk's own look-ups.
TEST(Range, TailOnASecondThreadGivesTheWalksRange)
{
    const uint32_t nCount = 300000; // the tail starts at 2/5 of the samples
    for (const char* pszFormula : {
             "sin(x)*x^2",
             "x < 5 ? undef : sin(x*7)", // nothing before the tail: its first point starts the box
             "x < -5 ? x : undef",       // nothing in the tail
             "x > -9.99999 ? undef : 3", // one point before the tail
             "1/x",                      // a pole
             "x*1e308*10",               // overflows, undefined
         }) {
        SCOPED_TRACE(pszFormula);
        CProject plain, split;
        for (CProject* pProject : {&plain, &split}) {
            SetRange(Step(*pProject), 0, -10.0, 20.0 / nCount, nCount);
            pProject->SetFunction(1, pszFormula);
            Step(*pProject)->m_bVisible[0] = true;
        }
        CRangeWalk walk(plain);
        while (walk.Walk(UINT64_MAX)) {
        }
        walk.Finish();
        CViewRange::DetermineRange(split);
        for (unsigned i = OPT_XMIN; i <= OPT_YMAX; ++i)
            EXPECT_EQ(std::memcmp(&split.m_dOptions[i], &plain.m_dOptions[i], sizeof(double)), 0) << "option " << i;
        for (unsigned i = 0; i < 4; ++i)
            EXPECT_EQ(std::memcmp(&split.m_dRawBounds[i], &plain.m_dRawBounds[i], sizeof(double)), 0) << "raw " << i;
        const CValueCache& cache = split.m_pFunctions[0]->GetCache();
        EXPECT_EQ(cache.GetMisses() + cache.GetHits(), (uint64_t{nCount} + 1) * 2 / 5) << "the walk's share only";
    }
}

// Several functions, points of two values, families over u and v and several steps, references
// and derivatives, points transformed by polar coordinates and by rules: the walk split between
// two threads comes out bit for bit as the walk on one. Where the values could depend on which
// thread computes them, one thread walks.
TEST(Range, TailOfSeveralFunctionsAndFamiliesGivesTheWalksRange)
{
    struct SCase {
        const char* pszF1;
        const char* pszF2;
        uint32_t nCountX, nCountU, nCountV;
        uint32_t nSecondStep = 0;        // x samples of a second step that shows f3 only, where not 0
        bool bPolar = false;             // the points in polar coordinates
        const char* pszHidden = nullptr; // f2, not drawn, for the others to refer to
        const char* pszRule = nullptr;   // the points transformed by this rule
        bool bSplit = true;              // a second thread takes part
        bool bLate = false;              // f2 filled in after the functions that refer to it
    } const cases[] = {
        {"sin(x)*x^2", "cos(x)*x", 300000, 0, 0},
        {"sin(3*x), cos(5*x)", "x < 3 ? undef : x/3", 300000, 0, 0},
        {"sin(x+u)*v", "u", 30000, 9, 1},
        {"x*1e308*u", "1/(x-u)", 99999, 4, 0},
        {"sin(x)*x^2*u", "cos(x)*x*40", 150000, 0, 0, 250000}, // the tail begins in the second step
        {"sin(x)*x^2*90", "cos(x)*x", 250000, 0, 0, 150000},   // and goes on into it
        {"x", "x*x", 119999, 0, 0, 179999},                    // at the second step's first sample
        {"sin(3*x)+2", "x < 3 ? undef : x/3", 300000, 0, 0, 0, true},
        {"sin(3*x), cos(5*x)", "u", 30000, 9, 0, 0, true},
        // References, to a hidden function and to a drawn one, and derivatives through them.
        {"sin(x)*x^2", "f1(x)+f2(x/2)*u", 135000, 1, 0, 0, false, "cos(a)*a"},
        {"x^3-x*u", "f1'(x)*2+f1''(x)+f2'(x)", 90000, 2, 0, 0, false, "ln(a)"},
        {"f2'", "f1(x)+f2''(x/3)", 270000, 0, 0, 0, false, "sin(a)*3, cos(a)"}, // the count follows f2
        {"f2(x)*u", "f1(x)", 80000, 1, 0, 110000, false, "x < 0 ? undef : sqrt(x)"},
        // A rule, one that refers to a function, and one undefined where the first points are.
        {"sin(3*x), cos(5*x)", "x/2", 270000, 0, 0, 0, false, nullptr, "fx+0.4*fy, fy-0.2*fx"},
        {"sin(x)*x", "x*u", 90000, 2, 0, 0, false, "a*a", "fx, fy+f2(fx)/10"},
        {"x < 0 ? undef : x", "x < 0 ? undef : sin(x)", 270000, 0, 0, 0, false, nullptr, "sqrt(fx-4), fy"},
        // One thread: a function that may refer to itself, random numbers, a rule through such a
        // function. Two again: flags computed before a function they refer to was filled in.
        {"x", "f2(x)", 270000, 0, 0, 0, false, "a > 1e9 ? f2(a/2) : sin(a)", nullptr, false},
        {"x", "sin(x)+random/1000", 270000, 0, 0, 0, false, nullptr, nullptr, false},
        {"x", "sin(x)", 270000, 0, 0, 0, false, "a > 1e9 ? f2(a) : a+1", "fx, f2(fy)", false},
        {"f2(x)*u", "sin(x)", 999, 0, 269, 0, false, "cos(a)+v", nullptr, true, true},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.pszF1);
        CProject plain, split;
        for (CProject* pProject : {&plain, &split}) {
            SetRange(Step(*pProject), 0, -10.0, 20.0 / c.nCountX, c.nCountX);
            SetRange(Step(*pProject), 1, 1.0, 0.5, c.nCountU);
            SetRange(Step(*pProject), 2, -2.0, 3.0, c.nCountV);
            if (c.pszHidden && !c.bLate)
                pProject->SetFunction(2, c.pszHidden);
            pProject->SetFunction(1, c.pszF1);
            pProject->SetFunction(3, c.pszF2);
            Step(*pProject)->m_bVisible[0] = Step(*pProject)->m_bVisible[2] = true;
            if (c.bPolar)
                pProject->SetOption(OPT_TRMODE, TRMODE_POLAR);
            if (c.pszHidden && c.bLate)
                pProject->SetFunction(2, c.pszHidden);
            if (c.pszRule) {
                pProject->SetTransform(c.pszRule);
                pProject->SetOption(OPT_TRMODE, TRMODE_USER);
            }
            if (c.nSecondStep) {
                auto pSecond = std::make_unique<CAnimationStep>(*Step(*pProject));
                SetRange(pSecond.get(), 0, -3.0, 7.0 / c.nSecondStep, c.nSecondStep);
                SetRange(pSecond.get(), 1, 50.0, 1.0, 0); // f1 would reach far beyond its own values
                pSecond->m_bVisible[0] = false;
                pProject->InsertStep(std::move(pSecond), nullptr);
            }
        }
        CRangeWalk walk(plain);
        while (walk.Walk(UINT64_MAX)) {
        }
        walk.Finish();
        const uint64_t nSamples = (uint64_t{c.nCountX} + 1) * (c.nCountU + 1) * (c.nCountV + 1) +
                                  (c.nSecondStep ? uint64_t{c.nSecondStep} + 1 : 0);
        ASSERT_EQ(CRangeTail::For(split, nullptr, CPicturePlan(split, false)) != nullptr, c.bSplit)
            << "a second thread helps";
        CViewRange::DetermineRange(split);
        for (unsigned i = OPT_XMIN; i <= OPT_YMAX; ++i)
            EXPECT_EQ(std::memcmp(&split.m_dOptions[i], &plain.m_dOptions[i], sizeof(double)), 0) << "option " << i;
        for (unsigned i = 0; i < 4; ++i)
            EXPECT_EQ(std::memcmp(&split.m_dRawBounds[i], &plain.m_dRawBounds[i], sizeof(double)), 0) << "raw " << i;
        const CValueCache& cache = split.m_pFunctions[2]->GetCache();
        EXPECT_EQ(cache.GetMisses() + cache.GetHits(), c.bSplit ? nSamples * 2 / 5 : nSamples)
            << "the walk's share only";
    }
}

TEST(Range, SliceClockRingsOnceItsTimeHasPassed)
{
    CSliceClock clock;
    clock.StartSlice(60000);
    EXPECT_FALSE(clock.SliceOver());
    // A new slice replaces the one under way, and its end is the one that rings.
    clock.StartSlice(1);
    for (int i = 0; i < 10000 && !clock.SliceOver(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(clock.SliceOver());
    clock.StartSlice(60000);
    EXPECT_FALSE(clock.SliceOver());
}
