#include "view/CDerivative.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int TABLE = 10;       // steps, each 1.4 times smaller
constexpr double SHRINK = 1.4;  // the step's factor from one column to the next
constexpr double GIVE_UP = 2.0; // the diagonal grew this much worse than the best: rounding took over
} // namespace

bool CDerivative::Numerical(const CCurveAnalysis::Function& f, double t, unsigned nOrder, double dStep, double& dValue,
                            double* pError)
{
    if (!std::isfinite(t) || !(dStep > 0.0) || (nOrder != 1 && nOrder != 2))
        return false;
    double y0 = 0.0;
    if (nOrder == 2 && !f(t, y0))
        return false;
    // The central difference of step h; its error runs in even powers of h in both orders.
    double dSize = std::fabs(y0);
    const auto Difference = [&](double h, double& d) {
        double a, b;
        // The step as the doubles hold it, so that the division sees the distance sampled.
        const double tp = t + h, tm = t - h;
        const double hh = (tp - tm) * 0.5;
        if (!(hh > 0.0) || !f(tp, b) || !f(tm, a))
            return false;
        dSize = std::max({dSize, std::fabs(a), std::fabs(b)});
        d = nOrder == 1 ? (b - a) / (2.0 * hh) : ((b - y0) + (a - y0)) / (hh * hh);
        return std::isfinite(d);
    };
    double table[TABLE][TABLE];
    double h = dStep;
    if (!Difference(h, table[0][0]))
        return false;
    double dError = INFINITY;
    dValue = table[0][0];
    for (int i = 1; i < TABLE; ++i) {
        h /= SHRINK;
        if (!Difference(h, table[0][i]))
            return false;
        double dFactor = SHRINK * SHRINK;
        for (int j = 1; j <= i; ++j) {
            table[j][i] = (table[j - 1][i] * dFactor - table[j - 1][i - 1]) / (dFactor - 1.0);
            dFactor *= SHRINK * SHRINK;
            const double e =
                std::max(std::fabs(table[j][i] - table[j - 1][i]), std::fabs(table[j][i] - table[j - 1][i - 1]));
            if (e <= dError) {
                dError = e;
                dValue = table[j][i];
            }
        }
        if (std::fabs(table[i][i] - table[i - 1][i - 1]) >= GIVE_UP * dError)
            break;
    }
    if (pError)
        *pError = dError;
    // A jump leaves differences that disagree by the order of the values over the step.
    const double dScale = nOrder == 1 ? dSize / dStep : dSize / (dStep * dStep);
    return std::isfinite(dValue) && dError <= 1e-3 * std::max(std::fabs(dValue), dScale);
}
