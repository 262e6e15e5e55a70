#include "view/CCurveAnalysis.h"

#include <algorithm>
#include <cmath>

namespace {
// Enough halvings to bring any two doubles next to each other.
constexpr int MAX_HALVINGS = 2200;
constexpr int MAX_GOLDEN_STEPS = 400;

bool Negative(double d)
{
    return d < 0.0;
}

double Distance(const CCurveAnalysis::SProbe& a, const CCurveAnalysis::SProbe& b)
{
    return std::max(std::fabs(a.m_dX - b.m_dX), std::fabs(a.m_dY - b.m_dY));
}

// The middle of a and b, also where b - a would overflow; outside (a, b) when they are adjacent.
double Middle(double a, double b)
{
    return a * 0.5 + b * 0.5;
}

bool Inside(double m, double a, double b)
{
    return a < b ? (m > a && m < b) : (m > b && m < a);
}

// Narrows a sign change to adjacent doubles; false where f is undefined on the way.
bool Bisect(const CCurveAnalysis::Function& f, double a, double fa, double b, double fb, double& t, double& y)
{
    for (int i = 0; i < MAX_HALVINGS; ++i) {
        const double m = Middle(a, b);
        if (!Inside(m, a, b))
            break;
        double fm;
        if (!f(m, fm))
            return false;
        if (fm == 0.0) {
            t = m;
            y = fm;
            return true;
        }
        if (Negative(fm) == Negative(fa))
            a = m, fa = fm;
        else
            b = m, fb = fm;
    }
    if (std::fabs(fa) <= std::fabs(fb))
        t = a, y = fa;
    else
        t = b, y = fb;
    return true;
}
} // namespace

CCurveAnalysis::EJump CCurveAnalysis::Narrow(const ProbeFunction& probe, SProbe& a, SProbe& b)
{
    for (int i = 0; i < MAX_HALVINGS; ++i) {
        if (Distance(a, b) < 1.0)
            return EJump::Continuous;
        const double m = Middle(a.m_dT, b.m_dT);
        if (!Inside(m, a.m_dT, b.m_dT))
            return EJump::Jump;
        SProbe p;
        if (!probe(m, p))
            return EJump::Undefined;
        p.m_dT = m;
        if (Negative(p.m_dValue) == Negative(a.m_dValue))
            a = p;
        else
            b = p;
    }
    return Distance(a, b) < 1.0 ? EJump::Continuous : EJump::Jump;
}

std::vector<double> CCurveAnalysis::Roots(const Function& f, double dFrom, double dTo, unsigned nSamples,
                                          double dTolerance)
{
    std::vector<double> roots;
    if (!(dFrom < dTo) || !(dTolerance > 0.0))
        return roots;
    nSamples = std::max(nSamples, 1u);
    double dLastT = 0.0, dLastY = 0.0;
    bool bLast = false;
    for (unsigned i = 0; i <= nSamples; ++i) {
        const double t = i == nSamples ? dTo : dFrom + (dTo - dFrom) * (double(i) / nSamples);
        double y;
        const bool bOk = f(t, y);
        if (bOk && y == 0.0) {
            if (roots.empty() || roots.back() != t)
                roots.push_back(t);
        } else if (bOk && bLast && dLastY != 0.0 && Negative(y) != Negative(dLastY)) {
            double dRoot, dValue;
            if (Bisect(f, dLastT, dLastY, t, y, dRoot, dValue)) {
                // A pole or a step changes sign too; only there do the values stay apart.
                SProbe a{dLastT, dLastY, 0.0, dLastY / dTolerance};
                SProbe b{t, y, 0.0, y / dTolerance};
                const ProbeFunction probe = [&](double s, SProbe& p) {
                    double v;
                    if (!f(s, v))
                        return false;
                    p = {s, v, 0.0, v / dTolerance};
                    return true;
                };
                if (dValue == 0.0 || Narrow(probe, a, b) == EJump::Continuous)
                    roots.push_back(dRoot);
            }
        }
        dLastT = t;
        dLastY = y;
        bLast = bOk;
    }
    return roots;
}

bool CCurveAnalysis::GoldenSection(const Function& f, double a, double b, bool bMaximum, double& t, double& y)
{
    const double r = (std::sqrt(5.0) - 1.0) * 0.5;
    const double s = bMaximum ? 1.0 : -1.0; // search the maximum of s * f
    double c = b - r * (b - a), d = a + r * (b - a);
    double fc, fd;
    if (!f(c, fc) || !f(d, fd))
        return false;
    for (int i = 0; i < MAX_GOLDEN_STEPS; ++i) {
        if (s * fc >= s * fd) {
            b = d, d = c, fd = fc;
            c = b - r * (b - a);
            if (!(c > a && c < d))
                break;
            if (!f(c, fc))
                return false;
        } else {
            a = c, c = d, fc = fd;
            d = a + r * (b - a);
            if (!(d > c && d < b))
                break;
            if (!f(d, fd))
                return false;
        }
    }
    if (s * fc >= s * fd)
        t = c, y = fc;
    else
        t = d, y = fd;
    return true;
}

std::vector<CCurveAnalysis::SExtremum> CCurveAnalysis::Extrema(const Function& f, double dFrom, double dTo,
                                                               unsigned nSamples)
{
    std::vector<SExtremum> extrema;
    if (!(dFrom < dTo))
        return extrema;
    nSamples = std::max(nSamples, 2u);
    std::vector<double> t(nSamples + 1), y(nSamples + 1);
    std::vector<char> ok(nSamples + 1);
    for (unsigned i = 0; i <= nSamples; ++i) {
        t[i] = i == nSamples ? dTo : dFrom + (dTo - dFrom) * (double(i) / nSamples);
        ok[i] = f(t[i], y[i]);
    }
    for (unsigned i = 1; i < nSamples; ++i) {
        if (!ok[i - 1] || !ok[i] || !ok[i + 1])
            continue;
        const bool bMax = y[i] > y[i - 1] && y[i] >= y[i + 1];
        const bool bMin = y[i] < y[i - 1] && y[i] <= y[i + 1];
        if (!bMax && !bMin)
            continue;
        double tg, yg;
        if (!GoldenSection(f, t[i - 1], t[i + 1], bMax, tg, yg))
            continue;
        // Near a true extremum the curve is flat: a thousandth of a sample step away it moves by
        // far less than between the samples. Near a pole it moves by the order of itself.
        const double h = (t[i + 1] - t[i - 1]) * 0.5e-3;
        double yl, yr;
        if (!f(tg - h, yl) || !f(tg + h, yr))
            continue;
        if (std::fabs(yl - yg) + std::fabs(yr - yg) > std::fabs(y[i] - y[i - 1]) + std::fabs(y[i] - y[i + 1]))
            continue;
        // The values compare only to about the square root of the precision; the slope changes
        // sign right at the extremum and can be compared to the end.
        const auto Slope = [&](double s, double& d) {
            double a1, b1, a2, b2;
            if (!f(s - h, a1) || !f(s + h, b1) || !f(s - 2 * h, a2) || !f(s + 2 * h, b2))
                return false;
            d = (8.0 * (b1 - a1) - (b2 - a2)) / (12.0 * h);
            return true;
        };
        const double sign = bMax ? 1.0 : -1.0; // the slope is sign * positive left of it
        double dL, dR;
        for (double delta = h * 1e-6; delta <= h; delta *= 4.0) {
            if (!Slope(tg - delta, dL) || !Slope(tg + delta, dR))
                break;
            if (sign * dL > 0.0 && sign * dR < 0.0) {
                double tz, dz;
                if (Bisect(Slope, tg - delta, dL, tg + delta, dR, tz, dz)) {
                    double yz;
                    if (f(tz, yz) && sign * yz >= sign * yg - 4.0 * std::fabs(yg) * 2.3e-16)
                        tg = tz, yg = yz;
                }
                break;
            }
        }
        extrema.push_back({tg, yg, bMax});
    }
    return extrema;
}

namespace {
// The rounding of f about t: the larger of the precision of the values a step h away and the
// spread of the values a few doubles away. False where f is undefined there.
bool Rounding(const CCurveAnalysis::Function& f, double t, double y, double h, double& dRounding)
{
    constexpr double EPSILON = 2.220446049250313e-16;
    constexpr int NEIGHBOURS = 32;
    double yl, yr;
    if (!f(t - h, yl) || !f(t + h, yr))
        return false;
    double dSpread = 0.0;
    double s = t, u = t;
    for (int k = 0; k < NEIGHBOURS; ++k) {
        s = std::nextafter(s, -INFINITY);
        u = std::nextafter(u, INFINITY);
        double ys, yu;
        if (!f(s, ys) || !f(u, yu))
            return false;
        dSpread = std::max({dSpread, std::fabs(ys - y), std::fabs(yu - y)});
    }
    dRounding = 4.0 * std::max(EPSILON * std::max(std::fabs(yl), std::fabs(yr)), dSpread);
    return true;
}
} // namespace

void CCurveAnalysis::AddRootsAtExtrema(const Function& f, const std::vector<SExtremum>& extrema, double dFrom,
                                       double dTo, unsigned nSamples, std::vector<double>& roots)
{
    if (!(dFrom < dTo))
        return;
    const double h = (dTo - dFrom) / std::max(nSamples, 1u);
    std::vector<double> found;
    for (const SExtremum& e : extrema) {
        const auto Near = [&](double r) { return std::fabs(r - e.m_dT) < h; };
        if (std::any_of(roots.begin(), roots.end(), Near))
            continue; // sampling has seen this one
        double dRounding;
        if (!Rounding(f, e.m_dT, e.m_dValue, h, dRounding))
            continue;
        if (std::fabs(e.m_dValue) <= dRounding) {
            found.push_back(e.m_dT);
            continue;
        }
        // Beyond zero at the extremum and back a step away on both sides: two roots in between.
        const bool bThrough = e.m_bMaximum ? e.m_dValue > 0.0 : e.m_dValue < 0.0;
        double yl, yr;
        if (!bThrough || !f(e.m_dT - h, yl) || !f(e.m_dT + h, yr) || Negative(yl) == Negative(e.m_dValue) ||
            Negative(yr) == Negative(e.m_dValue))
            continue;
        double tl, vl, tr, vr;
        if (Bisect(f, e.m_dT - h, yl, e.m_dT, e.m_dValue, tl, vl) &&
            Bisect(f, e.m_dT, e.m_dValue, e.m_dT + h, yr, tr, vr)) {
            found.push_back(tl);
            found.push_back(tr);
        }
    }
    for (double t : found)
        if (t >= dFrom && t <= dTo)
            roots.push_back(t);
    std::sort(roots.begin(), roots.end());
}
