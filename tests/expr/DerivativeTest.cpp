// Derivatives f1' and f1'': every operation against its derivative written out by hand, the
// points where a derivative does not exist (and some where it does although a part of the
// formula has none), references with and without arguments, several values, cycles and the
// caches.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "expr/CFuncTerm.h"
#include "tests/expr/CFunctionTable.h"

namespace {
const double NONE = std::numeric_limits<double>::quiet_NaN(); // the derivative does not exist

// The slots as the sampling walk sets them: a follows x.
struct SPoint {
    double m_d[FUNC_NSLOTS];
    explicit SPoint(double x, double u = 0.0) : m_d{x, u, 0.0, x, u, 0.0, 0.0} {}
};

// The derivative of order nOrder of the first value of slot n, or NaN where it does not exist.
double Derivative(CFunctionTable& table, unsigned n, unsigned nOrder, double x, double u = 0.0)
{
    const SPoint point(x, u);
    const double* p = table.GetFunction(n)->EvaluateDerivative(nOrder, point.m_d, &table);
    return p ? p[0] : NONE;
}

double Value(CFunctionTable& table, unsigned n, double x, double u = 0.0)
{
    const SPoint point(x, u);
    const double* p = table.GetFunction(n)->Evaluate(point.m_d, &table);
    return p ? p[0] : NONE;
}

// Equal to a few units in the last place, or both NaN.
void ExpectClose(double dActual, double dExpected, const std::string& szWhat)
{
    if (std::isnan(dExpected)) {
        EXPECT_TRUE(std::isnan(dActual)) << szWhat << ": " << dActual << " where none exists";
        return;
    }
    EXPECT_NEAR(dActual, dExpected, 1e-13 * std::max(1.0, std::fabs(dExpected))) << szWhat;
}

// ---------------------------------------------------------------------------------------------
// Every operation, at points where it is smooth: f1 is the formula (f2 what it refers to).

struct SSmoothRow {
    const char* m_pszName;
    const char* m_pszText;
    const char* m_pszHelper; // f2, or null
    double (*m_pfFirst)(double x);
    double (*m_pfSecond)(double x);
};

const SSmoothRow g_DerivativeSmoothRows[] = {
    {"Polynomial", "x^3-2x", nullptr, [](double x) { return 3 * x * x - 2; }, [](double x) { return 6 * x; }},
    {"SumProductQuotient", "x*x - 3/x + 2 - x", nullptr, [](double x) { return 2 * x + 3 / (x * x) - 1; },
     [](double x) { return 2 - 6 / (x * x * x); }},
    {"QuotientOfFunctions", "sin(x)/(1+x^2)", nullptr,
     [](double x) { return (std::cos(x) * (1 + x * x) - 2 * x * std::sin(x)) / ((1 + x * x) * (1 + x * x)); },
     [](double x) {
         const double q = 1 + x * x;
         return (-std::sin(x) * q * q - 4 * x * std::cos(x) * q + std::sin(x) * (8 * x * x - 2 * q)) / (q * q * q);
     }},
    {"Sqr", "sqr(x)", nullptr, [](double x) { return 2 * x; }, [](double) { return 2.0; }},
    {"Sqrt", "sqrt(x)", nullptr, [](double x) { return 0.5 / std::sqrt(x); },
     [](double x) { return -0.25 / (x * std::sqrt(x)); }},
    {"FractionalPower", "x^2.5", nullptr, [](double x) { return 2.5 * std::pow(x, 1.5); },
     [](double x) { return 3.75 * std::sqrt(x); }},
    {"NegativePower", "x^(0-2)", nullptr, [](double x) { return -2 / (x * x * x); },
     [](double x) { return 6 / (x * x * x * x); }},
    {"VariableBase", "2^x", nullptr, [](double x) { return std::pow(2, x) * std::log(2); },
     [](double x) { return std::pow(2, x) * std::log(2) * std::log(2); }},
    {"VariableBaseAndExponent", "x^x", nullptr, [](double x) { return std::pow(x, x) * (std::log(x) + 1); },
     [](double x) { return std::pow(x, x) * ((std::log(x) + 1) * (std::log(x) + 1) + 1 / x); }},
    {"Sin", "sin(2x)", nullptr, [](double x) { return 2 * std::cos(2 * x); },
     [](double x) { return -4 * std::sin(2 * x); }},
    {"Cos", "cos(x)", nullptr, [](double x) { return -std::sin(x); }, [](double x) { return -std::cos(x); }},
    {"Tan", "tan(x)", nullptr, [](double x) { return 1 / (std::cos(x) * std::cos(x)); },
     [](double x) { return 2 * std::tan(x) / (std::cos(x) * std::cos(x)); }},
    {"Asin", "asin(x/2)", nullptr, [](double x) { return 0.5 / std::sqrt(1 - x * x / 4); },
     [](double x) { return x / 8 / std::pow(1 - x * x / 4, 1.5); }},
    {"Acos", "acos(x/2)", nullptr, [](double x) { return -0.5 / std::sqrt(1 - x * x / 4); },
     [](double x) { return -x / 8 / std::pow(1 - x * x / 4, 1.5); }},
    {"Atan", "atan(x)", nullptr, [](double x) { return 1 / (1 + x * x); },
     [](double x) { return -2 * x / ((1 + x * x) * (1 + x * x)); }},
    {"Ln", "ln(x)+log(2x)", nullptr, [](double x) { return 2 / x; }, [](double x) { return -2 / (x * x); }},
    {"Log10", "log10(x)", nullptr, [](double x) { return 1 / (x * std::log(10)); },
     [](double x) { return -1 / (x * x * std::log(10)); }},
    {"Exp", "exp(x*x)", nullptr, [](double x) { return 2 * x * std::exp(x * x); },
     [](double x) { return (2 + 4 * x * x) * std::exp(x * x); }},
    {"AbsAwayFromZero", "abs(x-3)", nullptr, [](double x) { return x < 3 ? -1.0 : 1.0; }, [](double) { return 0.0; }},
    {"IntBetweenWholeNumbers", "int(x)*x", nullptr, [](double x) { return std::trunc(x); }, [](double) { return 0.0; }},
    {"FracBetweenWholeNumbers", "frac(x)", nullptr, [](double) { return 1.0; }, [](double) { return 0.0; }},
    {"ConditionalTakesABranch", "x<1 ? x^2 : 3x", nullptr, [](double x) { return x < 1 ? 2 * x : 3.0; },
     [](double x) { return x < 1 ? 2.0 : 0.0; }},
    {"ComparisonsAwayFromTheirEdge", "((x>0)&(x<=5)|(x=9))*x + (x!=1) + (x>=9)", nullptr,
     [](double x) { return x > 0 && x <= 5 ? 1.0 : 0.0; }, [](double) { return 0.0; }},
    {"OtherVariablesStand", "x*u + v", nullptr, [](double) { return 0.5; }, [](double) { return 0.0; }},
    {"ArgumentA", "a^3", nullptr, [](double x) { return 3 * x * x; }, [](double x) { return 6 * x; }},
    {"ReferenceChainRule", "f2(sin(x))", "a^2 + x", [](double x) { return 2 * std::sin(x) * std::cos(x) + 1; },
     [](double x) { return 2 * std::cos(2 * x); }},
    {"ReferenceWithoutArguments", "3*f2", "x^2", [](double x) { return 6 * x; }, [](double) { return 6.0; }},
    {"ReferenceToAConstant", "f2(1)*x", "a+1", [](double) { return 2.0; }, [](double) { return 0.0; }},
    {"DerivativeInside", "f2'*x", "x^3", [](double x) { return 9 * x * x; }, [](double x) { return 18 * x; }},
    {"DerivativeAtArgument", "f2'(2x)", "a^3", [](double x) { return 24 * x; }, [](double) { return 24.0; }},
    {"SecondDerivativeInside", "f2''", "sin(x)", [](double x) { return -std::cos(x); },
     [](double x) { return std::sin(x); }},
};

TEST(DerivativeSmooth, AgreesWithTheDerivativeByHand)
{
    const double points[] = {0.3, 0.7, 1.3, 1.9};
    for (const SSmoothRow& row : g_DerivativeSmoothRows) {
        SCOPED_TRACE(row.m_pszName);
        CFunctionTable table;
        if (row.m_pszHelper)
            table.SetFunction(2, row.m_pszHelper);
        table.SetFunction(1, row.m_pszText);
        for (const double x : points) {
            ExpectClose(Derivative(table, 1, 1, x, 0.5), row.m_pfFirst(x), "f' at " + std::to_string(x));
            ExpectClose(Derivative(table, 1, 2, x, 0.5), row.m_pfSecond(x), "f'' at " + std::to_string(x));
        }
    }
}

// The two cases the issue names, over a whole range, and through the formula f2 = f1' as drawn.
TEST(DerivativeSmooth, SineAndCubicToFullPrecision)
{
    CFunctionTable table;
    table.SetFunction(1, "sin(x)");
    table.SetFunction(2, "f1'");
    table.SetFunction(3, "x^3-2x");
    table.SetFunction(4, "f3''");
    double dWorst = 0.0;
    for (int i = -1000; i <= 1000; ++i) {
        const double x = i / 100.0;
        dWorst = std::max(dWorst, std::fabs(Derivative(table, 1, 1, x) - std::cos(x)));
        dWorst = std::max(dWorst, std::fabs(Value(table, 2, x) - std::cos(x)));
        dWorst = std::max(dWorst, std::fabs(Derivative(table, 1, 2, x) + std::sin(x)));
        EXPECT_NEAR(Value(table, 4, x), 6 * x, 1e-13 * std::max(1.0, std::fabs(6 * x))) << x;
        EXPECT_NEAR(Derivative(table, 3, 1, x), 3 * x * x - 2, 1e-13 * std::max(1.0, 3 * x * x)) << x;
    }
    EXPECT_LE(dWorst, 1e-14);
}

// ---------------------------------------------------------------------------------------------
// Points where a derivative does not exist, and where it exists although a part has none.

struct SPointRow {
    const char* m_pszName;
    const char* m_pszText;
    double m_dX;
    double m_dFirst; // NONE: does not exist
    double m_dSecond;
};

const SPointRow g_DerivativePointRows[] = {
    {"AbsKink", "abs(x)", 0.0, NONE, NONE},
    {"AbsOfSquare", "abs(x^2)", 0.0, 0.0, 2.0},
    {"AbsOfCube", "abs(x^3)", 0.0, 0.0, 0.0},
    {"SqrtAtZero", "sqrt(x)", 0.0, NONE, NONE},
    {"SqrtOfSquare", "sqrt(x^2)", 0.0, NONE, NONE},
    {"PowerOneAndAHalf", "(x^2)^1.5", 0.0, 0.0, 0.0},
    {"FractionalPowerAtZero", "x^2.5", 0.0, NONE, NONE}, // undefined left of 0
    {"IntJump", "int(x)", 1.0, NONE, NONE},
    {"IntJumpBelowZero", "int(x)", -2.0, NONE, NONE},
    {"IntOfSquareStays", "int(x^2)", 0.0, 0.0, 0.0},
    {"IntOfMaximumDrops", "int(3-x^2)", 0.0, NONE, NONE},     // int(3) = 3, beside it 2
    {"IntOfMinimumBelowZero", "int(x^2-2)", 0.0, NONE, NONE}, // int(-2) = -2, beside it -1
    {"FracJump", "frac(x)", 2.0, NONE, NONE},
    {"ConditionalKink", "x<0 ? -x : x", 0.0, NONE, NONE},
    {"ConditionalMeetsOnce", "x<1 ? x^2 : 2x-1", 1.0, 2.0, NONE},
    {"ConditionalMeetsTwice", "x<0 ? x^2 : x^2", 0.0, 0.0, 2.0},
    {"ConditionalJump", "x>=0 ? 1 : 0", 0.0, NONE, NONE},
    {"ConditionalIsolatedPoint", "x==0 ? 5 : x", 0.0, NONE, NONE},
    {"ConditionalCubeSign", "x^3<0 ? -x^3 : x^3", 0.0, 0.0, 0.0},
    {"ConditionalOtherBranchUndefined", "x>0 ? ln(x) : 0", 0.0, NONE, NONE},
    {"ConditionalInfiniteSlope", "x>=0 ? sqrt(x) : 0", 0.0, NONE, NONE},
    {"ConditionalNotTouched", "x>0 ? ln(x) : 0", -1.0, 0.0, 0.0},
    {"OrChangesAtTheEdge", "x<0 | x>1 ? 1 : 2", 0.0, NONE, NONE},
    {"AndStaysFalse", "x<0 & x>1 ? 1 : 2", 0.0, 0.0, 0.0},
    {"StepInArithmetic", "(x>0)*x", 0.0, NONE, NONE},
    {"StepAwayFromItsEdge", "(x>0)*x", 2.0, 1.0, 0.0},
    {"ComparisonOfOtherVariables", "(u<1) ? x^2 : 0", 3.0, 6.0, 2.0},
    {"FunctionUndefined", "ln(x)", 0.0, NONE, NONE},
    {"DivisionByZero", "1/x", 0.0, NONE, NONE},
    {"AsinAtItsEnd", "asin(x)", 1.0, NONE, NONE},
    {"Undef", "x>2 ? undef : x", 3.0, NONE, NONE},
    {"UndefNotReached", "x>2 ? undef : x", 1.0, 1.0, 0.0},
    {"RandomNumbers", "random*0 + x", 1.0, NONE, NONE},
    {"Rand", "rand + x", 1.0, NONE, NONE},
    {"EmptySlot", "f9' + x", 1.0, NONE, NONE},
    {"ZeroTimesHalfDefined", "0*sqrt(x)", 0.0, NONE, NONE}, // 0 only where sqrt is defined
};

TEST(DerivativePoint, ExistsExactlyWhereItShould)
{
    for (const SPointRow& row : g_DerivativePointRows) {
        SCOPED_TRACE(row.m_pszName);
        CFunctionTable table;
        table.SetFunction(1, row.m_pszText);
        ExpectClose(Derivative(table, 1, 1, row.m_dX), row.m_dFirst, "f'");
        ExpectClose(Derivative(table, 1, 2, row.m_dX), row.m_dSecond, "f''");
    }
}

// ---------------------------------------------------------------------------------------------
// References, several values, cycles, caches

TEST(DerivativeReference, ArgumentIsWhereTheDerivativeIsTaken)
{
    CFunctionTable table;
    table.SetFunction(1, "a^3 + u");
    table.SetFunction(2, "f1'(2*x)");
    table.SetFunction(3, "f1'");
    table.SetFunction(4, "f1''(x, 7)");
    table.SetFunction(5, "x^2");
    table.SetFunction(6, "f5'(3)"); // f5 reads x, not its argument: constant in a
    for (const double x : {-1.5, 0.25, 2.0}) {
        EXPECT_DOUBLE_EQ(Value(table, 2, x), 3 * (2 * x) * (2 * x)) << x;
        EXPECT_DOUBLE_EQ(Value(table, 3, x), 3 * x * x) << x;
        EXPECT_DOUBLE_EQ(Value(table, 4, x), 6 * x) << x;
        EXPECT_EQ(Value(table, 6, x), 0.0) << x;
    }
}

TEST(DerivativeReference, SeveralValuesEachHaveTheirs)
{
    CFunctionTable table;
    table.SetFunction(1, "cos(t), sin(t)");
    table.SetFunction(2, "f1'");    // the velocity of the curve
    table.SetFunction(3, "f1''+0"); // inside a formula only the first value is reached
    ASSERT_EQ(table.GetFunction(2)->GetValueCount(), 2u);
    EXPECT_EQ(table.GetFunction(3)->GetValueCount(), 1u);
    const SPoint point(0.5);
    const double* p = table.GetFunction(2)->Evaluate(point.m_d, &table);
    ASSERT_NE(p, nullptr);
    EXPECT_DOUBLE_EQ(p[0], -std::sin(0.5));
    EXPECT_DOUBLE_EQ(p[1], std::cos(0.5));
    const double* q = table.GetFunction(1)->EvaluateDerivative(2, point.m_d, &table);
    ASSERT_NE(q, nullptr);
    EXPECT_DOUBLE_EQ(q[0], -std::cos(0.5));
    EXPECT_DOUBLE_EQ(q[1], -std::sin(0.5));
    // The derivative of the velocity is the acceleration, each value again.
    const double* r = table.GetFunction(2)->EvaluateDerivative(1, point.m_d, &table);
    ASSERT_NE(r, nullptr);
    EXPECT_DOUBLE_EQ(r[0], -std::cos(0.5));
    EXPECT_DOUBLE_EQ(r[1], -std::sin(0.5));
    EXPECT_EQ(Value(table, 3, 0.5), -std::cos(0.5));
    // A point is undefined where one of its values is.
    table.SetFunction(4, "t, abs(t)");
    table.SetFunction(5, "f4'");
    EXPECT_TRUE(std::isnan(Value(table, 5, 0.0)));
    EXPECT_EQ(Value(table, 5, 1.0), 1.0);
}

TEST(DerivativeReference, ValueCountFollowsTheDerivedFunction)
{
    CFunctionTable table;
    table.SetFunction(2, "f1'");
    EXPECT_EQ(table.GetFunction(2)->GetValueCount(), 1u);
    table.SetFunction(1, "t^2, t^3, 1");
    EXPECT_TRUE(table.GetFunction(2)->AdoptValueCount());
    EXPECT_FALSE(table.GetFunction(2)->AdoptValueCount());
    ASSERT_EQ(table.GetFunction(2)->GetValueCount(), 3u);
    const SPoint point(2.0);
    const double* p = table.GetFunction(2)->Evaluate(point.m_d, &table);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[0], 4.0);
    EXPECT_EQ(p[1], 12.0);
    EXPECT_EQ(p[2], 0.0);
}

TEST(DerivativeCycle, IsUndefinedEverywhereAndInTheFlags)
{
    CFunctionTable table;
    table.SetFunction(1, "f1' + x");
    table.SetFunction(2, "f3''");
    table.SetFunction(3, "f2(x)*2");
    for (const double x : {0.0, 1.0}) {
        EXPECT_TRUE(std::isnan(Value(table, 1, x)));
        EXPECT_TRUE(std::isnan(Value(table, 2, x)));
        EXPECT_TRUE(std::isnan(Derivative(table, 3, 1, x)));
    }
    EXPECT_EQ(CFuncTerm::GetDepth(), 0u);
    table.GetFunction(1)->UpdateDependencies();
    table.GetFunction(3)->UpdateDependencies();
    EXPECT_TRUE(table.GetFunction(1)->GetDepFunc()[1]);
    EXPECT_TRUE(table.GetFunction(3)->GetDepFunc()[2]);
    EXPECT_TRUE(table.GetFunction(3)->GetDepFunc()[3]);
}

TEST(DerivativeCache, KeepsValuesAndDerivativesApart)
{
    CFunctionTable table;
    table.SetFunction(1, "sin(x)");
    table.SetFunction(2, "f1 + f1' + f1''(x) + f1'(x)");
    const SPoint point(1.0);
    CFuncTerm& term = *table.GetFunction(1);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(term.Evaluate(point.m_d, &table)[0], std::sin(1.0));
        EXPECT_EQ(term.EvaluateDerivative(1, point.m_d, &table)[0], std::cos(1.0));
        EXPECT_EQ(term.EvaluateDerivative(2, point.m_d, &table)[0], -std::sin(1.0));
        // Along a alone, sin(x) stands still.
        EXPECT_EQ(term.EvaluateDerivative(1, point.m_d, &table, CFuncTerm::ALONG_A)[0], 0.0);
        EXPECT_EQ(Value(table, 2, 1.0), std::sin(1.0) + std::cos(1.0) + 0.0 + 0.0);
    }
    // Invalidating a term (as the document does when a function it refers to changes) empties
    // its derivatives with its values.
    table.SetFunction(3, "x^2");
    table.SetFunction(4, "f3");
    CFuncTerm& reference = *table.GetFunction(4);
    EXPECT_EQ(reference.EvaluateDerivative(1, point.m_d, &table)[0], 2.0);
    table.SetFunction(3, "x^3");
    reference.Invalidate();
    EXPECT_EQ(reference.EvaluateDerivative(1, point.m_d, &table)[0], 3.0);
}
} // namespace
