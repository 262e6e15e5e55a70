#pragma once
// The arithmetic of the evaluator, one function per
// operation: each computes its result into r and returns false where the value is undefined.
// The interpreter (CFuncTermRun.inc) and the constant folding of the program builder use the
// very same functions, so that a folded constant is bit for bit what a run would compute.
//
// Template parameter FMA: the exact product errors below are taken with fused multiply-add
// where the processor has it (the interpreter is compiled twice), else by Dekker's product.
// Both give the same exact error, so both variants give the same results.
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

#define KX_INLINE inline __attribute__((always_inline))

namespace FuncOps {

constexpr double TWO_POW_53 = 9007199254740992.0;
constexpr double TWO_POW_63 = 9223372036854775808.0;

KX_INLINE uint64_t Bits(double d)
{
    uint64_t n;
    std::memcpy(&n, &d, sizeof n);
    return n;
}

KX_INLINE double FromBits(uint64_t n)
{
    double d;
    std::memcpy(&d, &n, sizeof d);
    return d;
}

// Arithmetic on finite operands faults (division by zero, 0/0, invalid, overflow) exactly when
// its result is not finite; underflow and inexact results are no faults.
KX_INLINE bool Finite(double d)
{
    return std::isfinite(d);
}

KX_INLINE bool Add(double a, double b, double& r)
{
    r = a + b;
    return Finite(r);
}
KX_INLINE bool Sub(double a, double b, double& r)
{
    r = a - b;
    return Finite(r);
}
KX_INLINE bool Mul(double a, double b, double& r)
{
    r = a * b;
    return Finite(r);
}
KX_INLINE bool Div(double a, double b, double& r)
{
    r = a / b;
    return Finite(r);
}

// pow as the library reports it: every error it raises (domain, pole, overflow, and underflow to
// 0) makes the value undefined. errno is cleared first, so no stale indicator leaks in.
KX_INLINE bool Pow(double a, double b, double& r)
{
    // Hide a constant exponent from the compiler, which would turn pow(a, 2.0) into a * a and
    // lose the library's error report.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    __asm__("" : "+x"(b));
#else
    volatile double dHidden = b;
    b = dHidden;
#endif
    errno = 0;
    r = std::pow(a, b);
    return errno == 0 && Finite(r);
}

// 2^e for a normal r in [2^e, 2^(e+1)), halved when r is 2^e itself (its lower neighbour is
// nearer): ulp(r) is 2^-52 of it.
KX_INLINE double Binade(double r)
{
    const uint64_t n = Bits(r);
    const double d = FromBits(n & 0x7FF0000000000000ull);
    return (n & 0x000FFFFFFFFFFFFFull) ? d : 0.5 * d;
}

// a * b - p exactly, for p = a * b rounded, in the normal range.
template <bool FMA> KX_INLINE double ProductError(double a, double b, double p)
{
    if (FMA)
        return __builtin_fma(a, b, -p);
    const double c = 134217729.0; // 2^27 + 1: Veltkamp's split
    const double ca = c * a, ah = ca - (ca - a), al = a - ah;
    const double cb = c * b, bh = cb - (cb - b), bl = b - bh;
    return ((ah * bh - p) + ah * bl + al * bh) + al * bl;
}

// Integral powers and the square root by multiplication and sqrt, with pow's value to the last
// bit. glibc's pow is not correctly rounded, but its error is below 0.54 ulp (its documented
// bound); so wherever the exact result lies within 0.45 ulp of the correctly rounded one, pow
// gives that one too. The bound is the sum of the error of its exp, below 0.511 ulp, and that of
// its logarithm, 1.5 * 2^-68 relative, which the exponent y * ln x carries into the result as
// |ln r| * 1.5 * 2^-15 ulp: for results r within [2^-24, 2^24] the error is below 0.512 ulp, and
// 0.48 ulp is safe there (pow was seen to stray from the nearest double only beyond 0.49 ulp).
// The fast paths compute the exact remainder and take the rounded result only within that
// distance; everywhere else (about one argument in twenty-five near 1, one in ten beyond, and
// outside the safe range: zero, tiny, huge) pow itself decides, so the value and the undefined
// set are exactly pow's.
constexpr double HALF_ULP_SAFE = 0.45 * 0x1p-52; // 0.45 ulp, as a factor of Binade
constexpr double HALF_ULP_NEAR = 0.48 * 0x1p-52; // the same for results within [NEAR_LOW, NEAR_HIGH]
constexpr double NEAR_LOW = 0x1p-24;
constexpr double NEAR_HIGH = 0x1p+24;
constexpr double SAFE_LOW = 0x1p-900;
constexpr double SAFE_HIGH = 0x1p+1000;

// The distance from the nearest double (as a factor of Binade) within which pow gives that one,
// for a result of magnitude m in the safe range.
KX_INLINE double HalfUlpSafe(double m)
{
    return m >= NEAR_LOW && m <= NEAR_HIGH ? HALF_ULP_NEAR : HALF_ULP_SAFE;
}

template <bool FMA> KX_INLINE bool Pow2(double a, double& r)
{
    const double p = a * a;
    if (p >= SAFE_LOW && p <= SAFE_HIGH && std::fabs(ProductError<FMA>(a, a, p)) < HalfUlpSafe(p) * Binade(p)) {
        r = p;
        return true;
    }
    return Pow(a, 2.0, r);
}

template <bool FMA> KX_INLINE bool Pow3(double a, double& r)
{
    const double h = a * a;
    const double p = h * a;
    const double m = std::fabs(p);
    if (m >= SAFE_LOW && m <= SAFE_HIGH) {
        // a^3 = h*a + l*a = p + e + l*a exactly; q + f = p + c exactly (Fast2Sum, |p| >= |c|).
        const double l = ProductError<FMA>(a, a, h);
        const double e = ProductError<FMA>(h, a, p);
        const double c = e + l * a;
        const double q = p + c;
        const double f = (p - q) + c;
        if (std::fabs(f) < HalfUlpSafe(m) * Binade(q)) {
            r = q;
            return true;
        }
    }
    return Pow(a, 3.0, r);
}

// pow(a, 0.5): sqrt(a) where that is pow's value; a domain error below 0; pow(-0, 0.5) is +0.
template <bool FMA> KX_INLINE bool Sqrt(double a, double& r)
{
    if (a >= SAFE_LOW && a <= DBL_MAX) {
        const double q = std::sqrt(a);
        // q*q - a exactly (it is representable); sqrt(a) - q is about -(q*q - a) / (2q).
        double e;
        if (FMA) {
            e = __builtin_fma(q, q, -a);
        } else {
            const double s = q * q;
            e = (s - a) + ProductError<false>(q, q, s);
        }
        if (std::fabs(e) < 2.0 * HalfUlpSafe(q) * q * Binade(q)) {
            r = q;
            return true;
        }
        return Pow(a, 0.5, r);
    }
    if (a == 0.0) {
        r = 0.0;
        return true;
    }
    if (a < 0.0)
        return false;
    return Pow(a, 0.5, r);
}

// t ^ c for a constant exponent c, the way the program builder compiles it.
template <bool FMA> KX_INLINE bool PowConst(double a, double c, double& r)
{
    if (c == 2.0)
        return Pow2<FMA>(a, r);
    if (c == 3.0)
        return Pow3<FMA>(a, r);
    if (c == 0.5)
        return Sqrt<FMA>(a, r);
    return Pow(a, c, r);
}

// The library's errors, decided on the argument or the result: glibc reports nothing else.
// sin, cos and tan of |a| >= 2^53: loss of significance.
KX_INLINE bool Sin(double a, double& r)
{
    if (!(std::fabs(a) < TWO_POW_53))
        return false;
    r = std::sin(a);
    return true;
}
KX_INLINE bool Cos(double a, double& r)
{
    if (!(std::fabs(a) < TWO_POW_53))
        return false;
    r = std::cos(a);
    return true;
}
KX_INLINE bool Tan(double a, double& r)
{
    if (!(std::fabs(a) < TWO_POW_53))
        return false;
    r = std::tan(a);
    return true;
}
KX_INLINE bool Asin(double a, double& r)
{
    if (!(std::fabs(a) <= 1.0))
        return false;
    r = std::asin(a);
    return true;
}
KX_INLINE bool Acos(double a, double& r)
{
    if (!(std::fabs(a) <= 1.0))
        return false;
    r = std::acos(a);
    return true;
}
KX_INLINE bool Atan(double a, double& r)
{
    r = std::atan(a);
    return true;
}
KX_INLINE bool Ln(double a, double& r)
{
    if (!(a > 0.0))
        return false;
    r = std::log(a);
    return true;
}
KX_INLINE bool Log10(double a, double& r)
{
    if (!(a > 0.0))
        return false;
    r = std::log10(a);
    return true;
}
KX_INLINE bool Exp(double a, double& r)
{
    r = std::exp(a);
    return r != 0.0 && Finite(r); // underflow to 0, overflow
}
KX_INLINE bool Abs(double a, double& r)
{
    r = std::fabs(a);
    return true;
}

// int(): truncation toward zero taken as a signed 32-bit integer (its low 32 bits); invalid at a
// magnitude of 2^63 or more.
KX_INLINE bool Int(double a, double& r)
{
    if (!(std::fabs(a) < TWO_POW_63))
        return false;
    const auto n = static_cast<int64_t>(a);
    r = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(n)));
    return true;
}
KX_INLINE bool Frac(double a, double& r)
{
    double i;
    if (!Int(a, i))
        return false;
    r = a - i;
    return true;
}

} // namespace FuncOps
