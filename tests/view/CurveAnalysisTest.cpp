#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "view/CCurveAnalysis.h"

namespace {
const double PI = std::acos(-1.0);

CCurveAnalysis::Function Of(double (*pf)(double))
{
    return [pf](double t, double& y) {
        y = pf(t);
        return std::isfinite(y);
    };
}
} // namespace

TEST(CurveAnalysis, RootsToFullPrecisionButNotAtPoles)
{
    const auto cubic = Of([](double x) { return x * x * x - 2 * x; });
    std::vector<double> roots = CCurveAnalysis::Roots(cubic, -3, 3, 100, 1e-3);
    ASSERT_EQ(roots.size(), 3u);
    EXPECT_NEAR(roots[0], -std::sqrt(2.0), 1e-12);
    EXPECT_EQ(roots[1], 0.0); // sampled exactly
    EXPECT_NEAR(roots[2], std::sqrt(2.0), 1e-12);
    // Off the sample grid, bisection alone must find 0 and the bracket ends must be adjacent.
    roots = CCurveAnalysis::Roots(cubic, -2.9, 3.1, 7, 1e-3);
    ASSERT_EQ(roots.size(), 3u);
    EXPECT_NEAR(roots[1], 0.0, 1e-300);

    // tan changes sign at its roots and at its poles; only the roots are roots.
    roots = CCurveAnalysis::Roots(Of([](double x) { return std::tan(x); }), -2.0, 4.0, 60, 1e-3);
    ASSERT_EQ(roots.size(), 2u);
    EXPECT_NEAR(roots[0], 0.0, 1e-15);
    EXPECT_NEAR(roots[1], PI, 1e-15);
    EXPECT_TRUE(CCurveAnalysis::Roots(Of([](double x) { return 1 / x; }), -1.05, 1, 20, 1e-3).empty());
    // Undefined in between: no root claimed there.
    const CCurveAnalysis::Function gap = [](double x, double& y) {
        y = x;
        return std::fabs(x) > 1e-3;
    };
    EXPECT_TRUE(CCurveAnalysis::Roots(gap, -1.05, 1, 20, 1e-3).empty());
}

TEST(CurveAnalysis, RootsWhereTheCurveTouchesZeroButNotWhereItComesNear)
{
    struct SRow {
        const char* m_pszName;
        double (*m_pf)(double);
        std::vector<double> m_Roots;
    };
    const SRow rows[] = {
        {"(x-1)^2(x+2)/10", [](double x) { return (x - 1) * (x - 1) * (x + 2) / 10; }, {-2.0, 1.0}},
        // Expanded, the value at the minimum is rounding noise of either sign.
        {"0.1x^3-0.3x+0.2", [](double x) { return 0.1 * x * x * x - 0.3 * x + 0.2; }, {-2.0, 1.0}},
        {"x^4-4x^2+4", [](double x) { return x * x * x * x - 4 * x * x + 4; }, {-std::sqrt(2.0), std::sqrt(2.0)}},
        {"sin(x)^2", [](double x) { return std::sin(x) * std::sin(x); }, {0.0, PI}},
        {"-3(x-0.7)^2", [](double x) { return -3 * (x - 0.7) * (x - 0.7); }, {0.7}},
        {"abs(x-1/3)", [](double x) { return std::fabs(x - 1.0 / 3.0); }, {1.0 / 3.0}},
        // Through zero and back between two samples: both roots.
        {"(x-1)^2-1e-6", [](double x) { return (x - 1) * (x - 1) - 1e-6; }, {0.999, 1.001}},
        // Near misses, at any scale.
        {"(x-1)^2+1e-3", [](double x) { return (x - 1) * (x - 1) + 1e-3; }, {}},
        {"(x-1)^2+1e-12", [](double x) { return (x - 1) * (x - 1) + 1e-12; }, {}},
        {"1e-30(x-1)^2+1e-40", [](double x) { return 1e-30 * (x - 1) * (x - 1) + 1e-40; }, {}},
    };
    for (const SRow& row : rows) {
        const auto f = Of(row.m_pf);
        std::vector<double> roots = CCurveAnalysis::Roots(f, -2.5, 3.3, 800, 1e-2);
        CCurveAnalysis::AddRootsAtExtrema(f, CCurveAnalysis::Extrema(f, -2.5, 3.3, 800), -2.5, 3.3, 800, roots);
        ASSERT_EQ(roots.size(), row.m_Roots.size()) << row.m_pszName;
        for (size_t i = 0; i < roots.size(); ++i)
            EXPECT_NEAR(roots[i], row.m_Roots[i], 1e-9) << row.m_pszName;
    }
}

TEST(CurveAnalysis, ExtremaOfSinePinnedDownBeyondTheFlatness)
{
    const auto extrema = CCurveAnalysis::Extrema(Of([](double x) { return std::sin(x); }), -10, 10, 100);
    // Maxima at pi/2 + 2k pi, minima at -pi/2 + 2k pi, inside (-10, 10): six in all.
    ASSERT_EQ(extrema.size(), 6u);
    for (const auto& e : extrema) {
        const double k = std::round((e.m_dT - (e.m_bMaximum ? PI / 2 : -PI / 2)) / (2 * PI));
        const double expected = (e.m_bMaximum ? PI / 2 : -PI / 2) + 2 * PI * k;
        EXPECT_NEAR(e.m_dT, expected, 1e-12) << e.m_dT;
        EXPECT_NEAR(e.m_dValue, e.m_bMaximum ? 1.0 : -1.0, 1e-15);
    }
    // An unsymmetric extremum: x*exp(-x) has its maximum 1/e at 1.
    const auto skew = CCurveAnalysis::Extrema(Of([](double x) { return x * std::exp(-x); }), 0, 4, 40);
    ASSERT_EQ(skew.size(), 1u);
    EXPECT_NEAR(skew[0].m_dT, 1.0, 1e-10);
    EXPECT_NEAR(skew[0].m_dValue, std::exp(-1.0), 1e-15);
    // A pole between samples is no extremum, and neither are the ends of the range.
    EXPECT_TRUE(CCurveAnalysis::Extrema(Of([](double x) { return 1 / (x * x); }), -1.05, 1, 20).empty());
    EXPECT_TRUE(CCurveAnalysis::Extrema(Of([](double x) { return x; }), -1, 1, 20).empty());
}

TEST(CurveAnalysis, NarrowTellsPolesFromSteepCurves)
{
    const auto Probe = [](double (*pf)(double)) {
        return [pf](double t, CCurveAnalysis::SProbe& p) {
            p.m_dValue = pf(t);
            p.m_dX = t * 100;
            p.m_dY = pf(t) * 10;
            return std::isfinite(p.m_dValue);
        };
    };
    const auto Run = [&](double (*pf)(double), double a, double b) {
        CCurveAnalysis::SProbe pa{a, pf(a), a * 100, pf(a) * 10}, pb{b, pf(b), b * 100, pf(b) * 10};
        return CCurveAnalysis::Narrow(Probe(pf), pa, pb);
    };
    using E = CCurveAnalysis::EJump;
    // Closing in on the pole may end on 0 itself, where 1/x is undefined: no join either way.
    EXPECT_NE(Run([](double x) { return 1 / x; }, -0.05, 0.06), E::Continuous);
    EXPECT_EQ(Run([](double x) { return 1 / x; }, -0.05, 0.05), E::Undefined);
    EXPECT_NE(Run([](double x) { return 1 / (x - 0.01); }, -0.05, 0.06), E::Continuous);
    EXPECT_EQ(Run([](double x) { return std::atan(1e6 * x); }, -0.05, 0.05), E::Continuous);
    EXPECT_EQ(Run([](double x) { return x < 0 ? -1.0 : 1.0; }, -0.05, 0.05), E::Jump);
    EXPECT_EQ(Run([](double x) { return x < 0.025 ? -1.0 / (x - 0.025) : std::nan(""); }, 0.0, 0.05), E::Undefined);
}

TEST(CurveAnalysis, IntersectionsCrossingAndTouching)
{
    struct SRow {
        const char* m_pszName;
        double (*m_pf)(double);
        double (*m_pg)(double);
        std::vector<double> m_Meets;
        double m_dTolerance;
    };
    const SRow rows[] = {
        {"sin, cos",
         [](double x) { return std::sin(x); },
         [](double x) { return std::cos(x); },
         {PI / 4 - 3 * PI, PI / 4 - 2 * PI, PI / 4 - PI, PI / 4, PI / 4 + PI, PI / 4 + 2 * PI},
         1e-12},
        {"x^2, 0", [](double x) { return x * x; }, [](double) { return 0.0; }, {0.0}, 1e-7},
        {"x^2, 2x-1", [](double x) { return x * x; }, [](double x) { return 2 * x - 1; }, {1.0}, 1e-7},
        // The difference cancels digits of 100: its rounding there is no gap between the curves.
        {"x^2+100, 2x+99", [](double x) { return x * x + 100; }, [](double x) { return 2 * x + 99; }, {1.0}, 1e-6},
        {"x^2, 2x-1.001 (apart)", [](double x) { return x * x; }, [](double x) { return 2 * x - 1.001; }, {}, 0},
        // Parallel lines never meet; a line through a pole meets the hyperbola only where it is.
        {"x, x+1e-9", [](double x) { return x; }, [](double x) { return x + 1e-9; }, {}, 0},
        {"1/x, x", [](double x) { return 1 / x; }, [](double x) { return x; }, {-1.0, 1.0}, 1e-12},
    };
    for (const SRow& row : rows) {
        const std::vector<double> meets =
            CCurveAnalysis::Intersections(Of(row.m_pf), Of(row.m_pg), -10, 10.1, 800, 1e-2);
        ASSERT_EQ(meets.size(), row.m_Meets.size()) << row.m_pszName;
        for (size_t i = 0; i < meets.size(); ++i)
            EXPECT_NEAR(meets[i], row.m_Meets[i], row.m_dTolerance) << row.m_pszName;
    }
}

TEST(CurveAnalysis, InflectionsWhereTheBendTurnsOnly)
{
    struct SRow {
        const char* m_pszName;
        double (*m_pf)(double);
        double (*m_pd2)(double);
        std::vector<double> m_Points;
    };
    const SRow rows[] = {
        {"x^3-3x", [](double x) { return x * x * x - 3 * x; }, [](double x) { return 6 * x; }, {0.0}},
        {"sin", [](double x) { return std::sin(x); }, [](double x) { return -std::sin(x); }, {-PI, 0.0, PI}},
        // The second derivative jumps at 0 and still changes its sign there.
        {"x|x|", [](double x) { return x * std::fabs(x); }, [](double x) { return x < 0 ? -2.0 : 2.0; }, {0.0}},
        // Zero without a change of sign, a pole, a straight line: no inflection.
        {"x^4", [](double x) { return x * x * x * x; }, [](double x) { return 12 * x * x; }, {}},
        {"1/x", [](double x) { return 1 / x; }, [](double x) { return 2 / (x * x * x); }, {}},
        {"2x+1", [](double x) { return 2 * x + 1; }, [](double) { return 0.0; }, {}},
    };
    for (const SRow& row : rows) {
        for (double dFrom : {-4.0, -3.93}) { // 0 on a sample, and between two
            const std::vector<double> points =
                CCurveAnalysis::Inflections(Of(row.m_pf), Of(row.m_pd2), dFrom, 4.0, 200, 1e-2);
            ASSERT_EQ(points.size(), row.m_Points.size()) << row.m_pszName << " from " << dFrom;
            for (size_t i = 0; i < points.size(); ++i)
                EXPECT_NEAR(points[i], row.m_Points[i], 1e-14) << row.m_pszName;
        }
    }
}

TEST(CurveAnalysis, IntegralsToTheGoalWithAnHonestErrorEstimate)
{
    struct SRow {
        const char* m_pszName;
        double (*m_pf)(double);
        double m_dA, m_dB, m_dValue;
    };
    const SRow rows[] = {
        {"sin over [0, pi]", [](double x) { return std::sin(x); }, 0, PI, 2.0},
        {"sin over [-pi, pi]", [](double x) { return std::sin(x); }, -PI, PI, 0.0},
        {"x^4 over [0, 1]", [](double x) { return x * x * x * x; }, 0, 1, 0.2},
        {"exp backwards", [](double x) { return std::exp(x); }, 1, 0, 1 - std::exp(1.0)},
        {"Runge", [](double x) { return 1 / (1 + 25 * x * x); }, -1, 1, 0.4 * std::atan(5.0)},
        // Not smooth at an end or inside: only halving brings the error down.
        {"sqrt over [0, 1]", [](double x) { return std::sqrt(x); }, 0, 1, 2.0 / 3.0},
        {"|x - 1/3| over [0, 1]", [](double x) { return std::fabs(x - 1.0 / 3.0); }, 0, 1, 5.0 / 18.0},
    };
    for (const SRow& row : rows) {
        CCurveAnalysis::SIntegral area;
        ASSERT_TRUE(CCurveAnalysis::Integrate(Of(row.m_pf), row.m_dA, row.m_dB, area)) << row.m_pszName;
        EXPECT_TRUE(area.m_bReached) << row.m_pszName;
        EXPECT_NEAR(area.m_dValue, row.m_dValue, 1e-12) << row.m_pszName;
        EXPECT_GE(area.m_dError, std::fabs(area.m_dValue - row.m_dValue)) << row.m_pszName;
        EXPECT_LE(area.m_dError, 1e-12 * std::max(1.0, std::fabs(row.m_dValue))) << row.m_pszName;
    }
    // Undefined on the way (ln below 0): no value. A pole: the goal is out of reach, and said so.
    CCurveAnalysis::SIntegral area;
    EXPECT_FALSE(CCurveAnalysis::Integrate(Of([](double x) { return std::log(x); }), -1, 1, area));
    EXPECT_FALSE(CCurveAnalysis::Integrate(Of([](double x) { return 1 / (x - 0.3); }), 0, 1, area) && area.m_bReached);
}

#include "view/CDerivative.h"

TEST(CurveAnalysis, NumericalDerivativesAndWhereTheyFail)
{
    for (double x = -10; x <= 10; x += 0.37) {
        double d, dError;
        ASSERT_TRUE(CDerivative::Numerical(Of([](double t) { return std::sin(t); }), x, 1, 0.05, d, &dError)) << x;
        EXPECT_NEAR(d, std::cos(x), 1e-11) << x;
        EXPECT_GE(dError * 10 + 1e-14, std::fabs(d - std::cos(x))) << x;
        ASSERT_TRUE(CDerivative::Numerical(Of([](double t) { return t * t * t - 2 * t; }), x, 2, 0.05, d)) << x;
        EXPECT_NEAR(d, 6 * x, 1e-7 * std::max(1.0, std::fabs(x))) << x;
    }
    double d;
    EXPECT_FALSE(CDerivative::Numerical(Of([](double t) { return t < 0 ? -1.0 : 1.0; }), 0.0, 1, 0.05, d));
    EXPECT_FALSE(CDerivative::Numerical(Of([](double t) { return std::log(t); }), 0.01, 1, 0.05, d));
}

#include "project/CProject.h"
#include "view/CCurveTracer.h"
#include "view/CFuncVars.h"

namespace {
// A 400 x 200 view of x -2 ... 2, y -2 ... 2 on the project's first step.
struct STraced {
    CProject project;
    CFuncVars view;

    explicit STraced(const char* pszFormula)
    {
        project.SetFunction(3, pszFormula);
        CAnimationStep* pStep = project.m_pFirstStep;
        pStep->m_bVisible[2] = true;
        pStep->m_dMin[0] = -2.0;
        pStep->m_dStep[0] = 0.04;
        pStep->m_nCount[0] = 100;
        project.SetOption(OPT_XMIN, -2);
        project.SetOption(OPT_XMAX, 2);
        project.SetOption(OPT_YMIN, -2);
        project.SetOption(OPT_YMAX, 2);
        view.SetupView(&project, pStep, 400, 200, 0, 0);
    }
};
} // namespace

TEST(CurveTracer, PicksTheCurveAndFollowsItsParameter)
{
    // A circle of radius 1.5 traced by t: the pointer at the pixel of (0, 1.5) finds t = pi/2.
    STraced circle("1.5*cos(x*pi/2), 1.5*sin(x*pi/2)");
    CCurveTracer::SCurve curve;
    ASSERT_TRUE(CCurveTracer::Pick(circle.project, circle.view, 200, 25, 8, curve));
    EXPECT_EQ(curve.m_nSlot, 3u);
    EXPECT_FALSE(curve.m_bExplicit);
    double t, x, y;
    ASSERT_TRUE(CCurveTracer::Follow(circle.project, circle.view, curve, 200, 25, t, x, y));
    EXPECT_NEAR(t, 1.0, 1e-6);
    EXPECT_NEAR(x, 0.0, 1e-5);
    EXPECT_NEAR(y, 1.5, 1e-9);
    // Far from every drawn point nothing is picked.
    EXPECT_FALSE(CCurveTracer::Pick(circle.project, circle.view, 200, 100, 8, curve));

    // An explicit curve is read at the pointer's x, within the step's range.
    STraced cubic("x^3-2*x");
    ASSERT_TRUE(CCurveTracer::Pick(cubic.project, cubic.view, 300, 150, 8, curve));
    EXPECT_TRUE(curve.m_bExplicit);
    ASSERT_TRUE(CCurveTracer::Follow(cubic.project, cubic.view, curve, 300, 0, t, x, y));
    EXPECT_DOUBLE_EQ(x, 1.0);
    EXPECT_DOUBLE_EQ(y, -1.0);
    ASSERT_TRUE(CCurveTracer::Follow(cubic.project, cubic.view, curve, 900, 0, t, x, y));
    EXPECT_DOUBLE_EQ(x, 2.0);

    std::vector<double> roots;
    std::vector<CCurveAnalysis::SExtremum> extrema;
    CCurveTracer::Analyse(cubic.project, cubic.view, curve, roots, extrema);
    ASSERT_EQ(roots.size(), 3u);
    EXPECT_NEAR(roots[0], -std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(roots[1], 0.0, 1e-12);
    EXPECT_NEAR(roots[2], std::sqrt(2.0), 1e-12);
    ASSERT_EQ(extrema.size(), 2u); // at -+sqrt(2/3)
    EXPECT_TRUE(extrema[0].m_bMaximum);
    EXPECT_NEAR(extrema[0].m_dT, -std::sqrt(2.0 / 3.0), 1e-10);
    EXPECT_NEAR(extrema[1].m_dT, std::sqrt(2.0 / 3.0), 1e-10);

    // Where the curve follows the view it is drawn, picked and read beyond the step's range: at
    // the pixel of (3, 21) in a view of x -4 ... 4, y -30 ... 30.
    STraced wide("x^3-2*x");
    wide.project.SetOption(OPT_XMIN, -4);
    wide.project.SetOption(OPT_XMAX, 4);
    wide.project.SetOption(OPT_YMIN, -30);
    wide.project.SetOption(OPT_YMAX, 30);
    wide.view.SetupView(&wide.project, wide.project.m_pFirstStep, 400, 200, 0, 0);
    EXPECT_FALSE(CCurveTracer::Pick(wide.project, wide.view, 350, 30, 8, curve));
    wide.project.SetFlag(FLAG_FOLLOWVIEW, true);
    ASSERT_TRUE(CCurveTracer::Pick(wide.project, wide.view, 350, 30, 8, curve));
    ASSERT_TRUE(CCurveTracer::Follow(wide.project, wide.view, curve, 375, 0, t, x, y));
    EXPECT_DOUBLE_EQ(x, 3.5);
    ASSERT_TRUE(CCurveTracer::Follow(wide.project, wide.view, curve, 900, 0, t, x, y));
    EXPECT_DOUBLE_EQ(x, 4.0);

    // A double root is a root as well as a minimum; a curve that only comes near zero has none.
    STraced touching("(x-1)^2*(x+2)/10");
    ASSERT_TRUE(CCurveTracer::Pick(touching.project, touching.view, 300, 100, 8, curve));
    CCurveTracer::Analyse(touching.project, touching.view, curve, roots, extrema);
    ASSERT_EQ(roots.size(), 2u);
    EXPECT_NEAR(roots[0], -2.0, 1e-12);
    EXPECT_NEAR(roots[1], 1.0, 1e-9);
    STraced nearMiss("(x-1)^2+1e-3");
    ASSERT_TRUE(CCurveTracer::Pick(nearMiss.project, nearMiss.view, 300, 100, 8, curve));
    CCurveTracer::Analyse(nearMiss.project, nearMiss.view, curve, roots, extrema);
    EXPECT_TRUE(roots.empty());
    ASSERT_EQ(extrema.size(), 1u);
}

TEST(CurveTracer, TangentInflectionsIntersectionsAndAreaOfADrawnCurve)
{
    CCurveTracer::SCurve curve;
    STraced parabola("x^2");
    ASSERT_TRUE(CCurveTracer::Pick(parabola.project, parabola.view, 250, 88, 8, curve)); // (0.5, 0.25)
    CCurveTracer::STangent tangent;
    ASSERT_TRUE(CCurveTracer::Tangent(parabola.project, parabola.view, curve, 1.0, tangent));
    EXPECT_FALSE(tangent.m_bUpright);
    EXPECT_EQ(tangent.m_dSlope, 2.0); // y = 2x - 1, exactly: the program is differentiated
    EXPECT_EQ(tangent.m_dIntercept, -1.0);
    const CCurveTracer::STangent normal = CCurveTracer::Normal(tangent);
    EXPECT_EQ(normal.m_dSlope, -0.5); // y = -x/2 + 3/2
    EXPECT_EQ(normal.m_dIntercept, 1.5);
    // At the vertex the tangent lies flat and the normal stands upright.
    ASSERT_TRUE(CCurveTracer::Tangent(parabola.project, parabola.view, curve, 0.0, tangent));
    EXPECT_EQ(tangent.m_dSlope, 0.0);
    EXPECT_TRUE(CCurveTracer::Normal(tangent).m_bUpright);
    // A kink has no tangent; beside it the slope is the side's.
    STraced kink("abs(x)");
    ASSERT_TRUE(CCurveTracer::Pick(kink.project, kink.view, 250, 75, 8, curve));
    EXPECT_FALSE(CCurveTracer::Tangent(kink.project, kink.view, curve, 0.0, tangent));
    ASSERT_TRUE(CCurveTracer::Tangent(kink.project, kink.view, curve, -1e-300, tangent));
    EXPECT_EQ(tangent.m_dSlope, -1.0);
    ASSERT_TRUE(CCurveTracer::Pick(parabola.project, parabola.view, 250, 88, 8, curve));

    // The line 2x - 1 beside it touches the parabola at 1; the x axis of the view is no curve.
    parabola.project.SetFunction(5, "2*x-1");
    parabola.project.m_pFirstStep->m_bVisible[4] = true;
    const std::vector<CCurveTracer::SCurve> partners = CCurveTracer::Partners(parabola.project, curve);
    ASSERT_EQ(partners.size(), 1u);
    EXPECT_EQ(partners[0].m_nSlot, 5u);
    std::vector<double> meets;
    CCurveTracer::Intersect(parabola.project, parabola.view, curve, partners[0], meets);
    ASSERT_EQ(meets.size(), 1u);
    EXPECT_NEAR(meets[0], 1.0, 1e-7);
    // The area between them from 0 to 1 is 1/3, that under the parabola from -1 to 2 is 3.
    CCurveAnalysis::SIntegral area;
    ASSERT_TRUE(CCurveTracer::Area(parabola.project, curve, &partners[0], 0, 1, area));
    EXPECT_NEAR(area.m_dValue, 1.0 / 3.0, 1e-14);
    ASSERT_TRUE(CCurveTracer::Area(parabola.project, curve, nullptr, -1, 2, area));
    EXPECT_NEAR(area.m_dValue, 3.0, 1e-14);
    std::vector<double> ts;
    CCurveTracer::YIntercepts(parabola.project, parabola.view, curve, ts);
    EXPECT_EQ(ts, std::vector<double>{0.0});

    STraced cubic("x^3-3*x");
    ASSERT_TRUE(CCurveTracer::Pick(cubic.project, cubic.view, 200, 100, 8, curve));
    std::vector<double> points;
    CCurveTracer::Inflect(cubic.project, cubic.view, curve, points);
    ASSERT_EQ(points.size(), 1u);
    EXPECT_NEAR(points[0], 0.0, 1e-15);

    // A circle meets the y axis twice, at the parameters 1 and 3 of its sweep.
    STraced circle("1.5*cos(x*pi/2), 1.5*sin(x*pi/2)");
    ASSERT_TRUE(CCurveTracer::Pick(circle.project, circle.view, 200, 25, 8, curve));
    CCurveTracer::YIntercepts(circle.project, circle.view, curve, ts);
    ASSERT_EQ(ts.size(), 2u);
    EXPECT_NEAR(ts[0], -1.0, 1e-12);
    EXPECT_NEAR(ts[1], 1.0, 1e-12);
    EXPECT_TRUE(CCurveTracer::Partners(circle.project, curve).empty());
}
