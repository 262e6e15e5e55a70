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
    std::vector<double> t, y;
    std::vector<char> ok;
    SampleEvenly(f, dFrom, dTo, nSamples, t, y, ok);
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
                                       double dTo, unsigned nSamples, std::vector<double>& roots,
                                       const Function& magnitude)
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
        double dMagnitude;
        if (magnitude && magnitude(e.m_dT, dMagnitude))
            dRounding = std::max(dRounding, 4.0 * 2.220446049250313e-16 * dMagnitude);
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

std::vector<double> CCurveAnalysis::Intersections(const Function& f, const Function& g, double dFrom, double dTo,
                                                  unsigned nSamples, double dTolerance)
{
    const Function difference = [&](double t, double& y) {
        double a, b;
        if (!f(t, a) || !g(t, b))
            return false;
        y = a - b;
        return std::isfinite(y);
    };
    const Function magnitude = [&](double t, double& y) {
        double a, b;
        if (!f(t, a) || !g(t, b))
            return false;
        y = std::fabs(a) + std::fabs(b);
        return true;
    };
    std::vector<double> meets = Roots(difference, dFrom, dTo, nSamples, dTolerance);
    AddRootsAtExtrema(difference, Extrema(difference, dFrom, dTo, nSamples), dFrom, dTo, nSamples, meets, magnitude);
    return meets;
}

std::vector<double> CCurveAnalysis::Inflections(const Function& f, const Function& d2, double dFrom, double dTo,
                                                unsigned nSamples, double dTolerance)
{
    std::vector<double> points;
    if (!(dFrom < dTo) || !(dTolerance > 0.0))
        return points;
    nSamples = std::max(nSamples, 2u);
    std::vector<double> t, y;
    std::vector<char> ok;
    SampleEvenly(d2, dFrom, dTo, nSamples, t, y, ok);
    // f itself must join across the bracket: a pole of f turns the bend round too.
    const auto Joins = [&](double a, double b) {
        double fa, fb;
        return f(a, fa) && f(b, fb) && std::fabs(fa - fb) < dTolerance;
    };
    for (unsigned i = 1; i <= nSamples; ++i) {
        if (!ok[i - 1] || !ok[i])
            continue;
        if (y[i] == 0.0) {
            // On a sample: a change of sign only where the neighbours differ in sign.
            const double h = (t[i] - t[i - 1]) * 1e-6;
            if (i < nSamples && ok[i + 1] && y[i - 1] != 0.0 && y[i + 1] != 0.0 &&
                Negative(y[i - 1]) != Negative(y[i + 1]) && Joins(t[i] - h, t[i] + h)) {
                double dValue;
                if (f(t[i], dValue))
                    points.push_back(t[i]);
            }
            continue;
        }
        if (y[i - 1] == 0.0 || Negative(y[i - 1]) == Negative(y[i]))
            continue;
        double tz, dz;
        if (!Bisect(d2, t[i - 1], y[i - 1], t[i], y[i], tz, dz))
            continue;
        // A bracket a millionth of a sample step wide about the point.
        const double h = (t[i] - t[i - 1]) * 1e-6;
        double dValue;
        if (f(tz, dValue) && Joins(tz - h, tz + h))
            points.push_back(tz);
    }
    return points;
}

namespace {
// Gauss-Kronrod 7-15 on [-1, 1]: the Kronrod nodes from the outside in (the odd ones are the Gauss
// nodes), the Kronrod weights, and the Gauss weights of nodes 1, 3, 5 and the middle.
constexpr double KRONROD_X[8] = {0.991455371120812639206854697526329, 0.949107912342758524526189684047851,
                                 0.864864423359769072789712788640926, 0.741531185599394439863864773280788,
                                 0.586087235467691130294144845693013, 0.405845151377397166906606412076961,
                                 0.207784955007898467600689403773245, 0.0};
constexpr double KRONROD_W[8] = {0.022935322010529224963732008058970, 0.063092092629978553290700663189204,
                                 0.104790010322250183839876322541518, 0.140653259715525918745189590510238,
                                 0.169004726639267902826583426598550, 0.190350578064785409913256402421014,
                                 0.204432940075298892414161999234649, 0.209482141084727828012999174891714};
constexpr double GAUSS_W[4] = {0.129484966168869693270611432679082, 0.279705391489276667901467771423780,
                               0.381830050505118944950369775488975, 0.417959183673469387755102040816327};

struct SPiece {
    double m_dA, m_dB, m_dValue, m_dError;
};

bool Kronrod(const CCurveAnalysis::Function& f, double a, double b, SPiece& piece)
{
    const double c = Middle(a, b), r = b * 0.5 - a * 0.5;
    double dKronrod = 0.0, dGauss = 0.0, dAbs = 0.0;
    for (int i = 0; i < 8; ++i) {
        double y1, y2 = 0.0;
        if (!f(c - r * KRONROD_X[i], y1) || (i < 7 && !f(c + r * KRONROD_X[i], y2)))
            return false;
        const double s = y1 + y2;
        dKronrod += KRONROD_W[i] * s;
        dAbs += KRONROD_W[i] * (std::fabs(y1) + std::fabs(y2));
        if (i % 2 == 1)
            dGauss += GAUSS_W[i / 2] * s;
    }
    piece = {a, b, dKronrod * r, std::fabs((dKronrod - dGauss) * r)};
    // Below the rounding of the sum the difference says nothing.
    piece.m_dError = std::max(piece.m_dError, 50.0 * 2.220446049250313e-16 * dAbs * std::fabs(r));
    return std::isfinite(piece.m_dValue) && std::isfinite(piece.m_dError);
}
} // namespace

bool CCurveAnalysis::Integrate(const Function& f, double a, double b, SIntegral& result, double dGoal,
                               unsigned nMaxPieces)
{
    result = SIntegral();
    if (!std::isfinite(a) || !std::isfinite(b))
        return false;
    if (a == b) {
        result.m_bReached = true;
        return true;
    }
    std::vector<SPiece> pieces(1);
    if (!Kronrod(f, a, b, pieces[0]))
        return false;
    const auto Worst = [](const SPiece& p, const SPiece& q) { return p.m_dError < q.m_dError; };
    double dValue = pieces[0].m_dValue, dError = pieces[0].m_dError;
    while (dError > std::max(dGoal, dGoal * std::fabs(dValue)) && pieces.size() < nMaxPieces) {
        std::pop_heap(pieces.begin(), pieces.end(), Worst);
        const SPiece worst = pieces.back();
        const double m = Middle(worst.m_dA, worst.m_dB);
        if (!Inside(m, worst.m_dA, worst.m_dB)) {
            std::push_heap(pieces.begin(), pieces.end(), Worst);
            break; // no double left between its ends
        }
        SPiece left, right;
        if (!Kronrod(f, worst.m_dA, m, left) || !Kronrod(f, m, worst.m_dB, right))
            return false;
        pieces.back() = left;
        std::push_heap(pieces.begin(), pieces.end(), Worst);
        pieces.push_back(right);
        std::push_heap(pieces.begin(), pieces.end(), Worst);
        // Summed anew rather than corrected, so that the rounding does not pile up.
        dValue = dError = 0.0;
        for (const SPiece& p : pieces)
            dValue += p.m_dValue, dError += p.m_dError;
    }
    result.m_dValue = dValue;
    result.m_dError = dError;
    result.m_nPieces = static_cast<unsigned>(pieces.size());
    result.m_bReached = dError <= std::max(dGoal, dGoal * std::fabs(dValue));
    return true;
}

void CCurveAnalysis::SampleEvenly(const Function& f, double dFrom, double dTo, unsigned nSamples,
                                  std::vector<double>& t, std::vector<double>& y, std::vector<char>& ok)
{
    t.assign(nSamples + 1, 0.0);
    y.assign(nSamples + 1, 0.0);
    ok.assign(nSamples + 1, 0);
    for (unsigned i = 0; i <= nSamples; ++i) {
        t[i] = i == nSamples ? dTo : dFrom + (dTo - dFrom) * (double(i) / nSamples);
        ok[i] = f(t[i], y[i]);
    }
}
