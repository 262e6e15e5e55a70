#include "expr/CFuncDerivative.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "expr/CFuncNode.h"
#include "expr/CFuncOps.h"
#include "expr/CFuncResolver.h"
#include "expr/CFuncTerm.h"
#include "expr/COpcode.h"
#include "expr/FuncLimits.h"

namespace {
using SJet = CFuncDerivative::SJet;
constexpr unsigned MAX_ORDER = CFuncDerivative::MAX_ORDER;
constexpr double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();
constexpr double TWO_POW_52 = 4503599627370496.0;
constexpr int8_t UNKNOWN = -1;

// Two branches of a conditional that meet at the point are computed by different formulas, which
// round differently: they agree where they differ by no more than this, relatively.
constexpr double AGREEMENT = 1e-12;

SJet Constant(double dValue)
{
    SJet r;
    r.m_c[0] = dValue;
    for (unsigned k = 1; k <= MAX_ORDER; ++k)
        r.m_c[k] = 0.0;
    r.m_bVaries = false;
    r.m_bStep = false;
    r.m_nLeft = r.m_nRight = UNKNOWN;
    return r;
}

// A value that depends on t, with its coefficients still to be written.
SJet Varying(double dValue)
{
    SJet r = Constant(dValue);
    r.m_bVaries = true;
    return r;
}

// The value where no derivative exists (a jump, a kink, a side where it is undefined).
SJet Rough(double dValue, unsigned nFrom = 1)
{
    SJet r = Varying(dValue);
    for (unsigned k = nFrom; k <= MAX_ORDER; ++k)
        r.m_c[k] = NOT_A_NUMBER;
    return r;
}

bool Moves(const SJet& a)
{
    return a.m_bVaries || a.m_bStep;
}

// r = a * b, coefficients 1 ... N (r0 is set by the caller). r must be neither a nor b.
void MulSeries(const double* a, const double* b, double* r, unsigned N)
{
    for (unsigned k = 1; k <= N; ++k) {
        double d = 0.0;
        for (unsigned j = 0; j <= k; ++j)
            d += a[j] * b[k - j];
        r[k] = d;
    }
}

// q = a / b with q0 set: b q = a, coefficient by coefficient.
void DivSeries(const double* a, const double* b, double* q, unsigned N)
{
    for (unsigned k = 1; k <= N; ++k) {
        double d = a[k];
        for (unsigned j = 1; j <= k; ++j)
            d -= b[j] * q[k - j];
        q[k] = d / b[0];
    }
}

// p = u^c with p0 set, u0 != 0: from u p' = c u' p.
void PowSeries(const double* u, double c, double* p, unsigned N)
{
    for (unsigned k = 1; k <= N; ++k) {
        double d = 0.0;
        for (unsigned j = 1; j <= k; ++j)
            d += (c * j - static_cast<double>(k - j)) * u[j] * p[k - j];
        p[k] = d / (k * u[0]);
    }
}

// e = exp(u) with e0 set: from e' = u' e.
void ExpSeries(const double* u, double* e, unsigned N)
{
    for (unsigned k = 1; k <= N; ++k) {
        double d = 0.0;
        for (unsigned j = 1; j <= k; ++j)
            d += j * u[j] * e[k - j];
        e[k] = d / k;
    }
}

// l = ln(u) with l0 set, u0 > 0: from u l' = u'.
void LnSeries(const double* u, double* l, unsigned N)
{
    for (unsigned k = 1; k <= N; ++k) {
        double d = k * u[k];
        for (unsigned j = 1; j < k; ++j)
            d -= j * l[j] * u[k - j];
        l[k] = d / (k * u[0]);
    }
}

// s = sin(u), c = cos(u) with s0, c0 set: s' = u' c, c' = -u' s.
void SinCosSeries(const double* u, double* s, double* c, unsigned N)
{
    for (unsigned k = 1; k <= N; ++k) {
        double ds = 0.0, dc = 0.0;
        for (unsigned j = 1; j <= k; ++j) {
            ds += j * u[j] * c[k - j];
            dc -= j * u[j] * s[k - j];
        }
        s[k] = ds / k;
        c[k] = dc / k;
    }
}

// f with f0 set, from f' = u' g, where g (a series of order N - 1 at least) is known.
void IntegrateSeries(const double* u, const double* g, double* f, unsigned N)
{
    for (unsigned k = 1; k <= N; ++k) {
        double d = 0.0;
        for (unsigned j = 1; j <= k; ++j)
            d += j * u[j] * g[k - j];
        f[k] = d / k;
    }
}

// The sign of s(t) for small t > 0 (bRight) or t < 0, where s(0) = 0: that of its first
// coefficient that is not 0, turned for t < 0 where its power is odd; 0 where none is known.
int SideSign(const double* s, unsigned N, bool bRight)
{
    for (unsigned k = 1; k <= N; ++k) {
        const double c = s[k];
        if (std::isnan(c))
            return 0;
        if (c != 0.0) {
            const int n = c > 0.0 ? 1 : -1;
            return bRight || k % 2 == 0 ? n : -n;
        }
    }
    return 0;
}

// A truth value just left of the point, at it and just right of it (1, 0, or UNKNOWN).
struct STruth {
    int8_t m_nLeft, m_nAt, m_nRight;
    bool Steady() const { return m_nLeft == m_nAt && m_nRight == m_nAt; }
};

STruth TruthOf(const SJet& u, unsigned N)
{
    const int8_t nAt = u.m_c[0] != 0.0 ? 1 : 0;
    if (u.m_bStep)
        return {u.m_nLeft, nAt, u.m_nRight};
    // Continuous where it has a first derivative: a value other than 0 stays so nearby.
    if (!u.m_bVaries || (nAt && std::isfinite(u.m_c[1])))
        return {nAt, nAt, nAt};
    if (nAt)
        return {UNKNOWN, nAt, UNKNOWN};
    const int8_t nLeft = SideSign(u.m_c, N, false) != 0 ? 1 : UNKNOWN;
    const int8_t nRight = SideSign(u.m_c, N, true) != 0 ? 1 : UNKNOWN;
    return {nLeft, 0, nRight};
}

// A truth value: constant where it holds on both sides as at the point, a step otherwise.
SJet TruthJet(double dValue, const STruth& truth)
{
    if (truth.Steady())
        return Constant(dValue);
    SJet r = Rough(dValue);
    r.m_bStep = true;
    r.m_nLeft = truth.m_nLeft;
    r.m_nRight = truth.m_nRight;
    return r;
}

int8_t Both(int8_t a, int8_t b)
{
    return a == 0 || b == 0 ? 0 : a == 1 && b == 1 ? 1 : UNKNOWN;
}
int8_t Either(int8_t a, int8_t b)
{
    return a == 1 || b == 1 ? 1 : a == 0 && b == 0 ? 0 : UNKNOWN;
}

// The comparison nOp when a - b has the sign nSign (not 0).
int8_t CompareBySign(uint32_t nOp, int nSign)
{
    switch (nOp) {
    case OP_GT:
    case OP_GE: return nSign > 0;
    case OP_LT:
    case OP_LE: return nSign < 0;
    case OP_EQ: return 0;
    default: return 1; // OP_NE
    }
}

bool Agree(double a, double b)
{
    return a == b || std::fabs(a - b) <= AGREEMENT * std::max(std::fabs(a), std::fabs(b));
}

bool IsBinary(uint32_t nOp)
{
    return (nOp >= OP_ADD && nOp <= OP_POW) || (nOp >= OP_GT && nOp <= OP_LE) || nOp == OP_AND || nOp == OP_OR;
}
} // namespace

// ---------------------------------------------------------------------------------------------
// The program: the code list in order, a conditional followed by its two branches.

CFuncDerivative::CFuncDerivative(const CFuncNode* pCode, unsigned nValues)
{
    Emit(pCode);
    if (nValues == 1 && !m_Steps.empty()) {
        const CFuncNode* pLast = pCode;
        while (pLast->m_pNext)
            pLast = pLast->m_pNext;
        m_bWhole = pLast->m_nOp == OP_DERIV;
    }
}

void CFuncDerivative::Emit(const CFuncNode* pNode)
{
    for (; pNode; pNode = pNode->m_pNext) {
        const size_t nIndex = m_Steps.size();
        m_Steps.push_back({pNode->m_dConst, pNode->m_nOp, pNode->m_nArg, 0, 0});
        if (pNode->m_nOp == OP_COND) {
            Emit(pNode->m_pThen);
            m_Steps[nIndex].m_nElse = static_cast<uint32_t>(m_Steps.size());
            Emit(pNode->m_pElse);
            m_Steps[nIndex].m_nEnd = static_cast<uint32_t>(m_Steps.size());
        }
    }
}

// ---------------------------------------------------------------------------------------------
// One run

class CFuncDerivative::CRun {
public:
    CRun(const CFuncDerivative& program, const SJet* pSlots, unsigned nOrder, CFuncResolver* pProject)
        : m_Program(program), m_pSlots(pSlots), N(nOrder), m_pProject(pProject)
    {
    }

    bool Block(uint32_t nBegin, uint32_t nEnd);

    SJet m_Stack[FUNC_STACK];
    unsigned m_nTop = 0;

private:
    bool Push(const SJet& r)
    {
        if (m_nTop >= FUNC_STACK)
            return false;
        m_Stack[m_nTop++] = r;
        return true;
    }
    bool Conditional(const SStep& step);
    bool Reference(uint32_t nArg);
    bool Derivative(uint32_t nArg, bool bWhole);
    bool Unary(uint32_t nOp, const SJet& u, SJet& r) const;
    bool Binary(uint32_t nOp, const SJet& a, const SJet& b, SJet& r) const;
    bool Power(const SJet& a, const SJet& b, SJet& r) const;
    bool Steps(uint32_t nOp, SJet u, SJet& r) const; // (r may be u)
    void Abs(const SJet& u, SJet& r) const;
    // The callee's slots: these with its arguments, the top nArgs series, in a, b, c, d.
    void CalleeSlots(unsigned nArgs, SJet* pSlots);

    const CFuncDerivative& m_Program;
    const SJet* m_pSlots;
    const unsigned N;
    CFuncResolver* m_pProject;
};

bool CFuncDerivative::Run(const SJet* pSlots, unsigned nOrder, CFuncResolver* pProject, SJet* pOut, unsigned nOut) const
{
    if (nOrder > MAX_ORDER || m_Steps.empty())
        return false;
    CRun run(*this, pSlots, nOrder, pProject);
    if (!run.Block(0, static_cast<uint32_t>(m_Steps.size())) || run.m_nTop < nOut)
        return false;
    std::copy(run.m_Stack, run.m_Stack + nOut, pOut);
    return true;
}

bool CFuncDerivative::CRun::Block(uint32_t nBegin, uint32_t nEnd)
{
    const std::vector<SStep>& steps = m_Program.m_Steps;
    for (uint32_t i = nBegin; i < nEnd;) {
        const SStep& step = steps[i];
        const uint32_t nOp = step.m_nOp;
        switch (nOp) {
        case OP_CONST:
            if (!Push(Constant(step.m_dConst)))
                return false;
            ++i;
            continue;
        case OP_VAR:
            if (!Push(m_pSlots[step.m_nArg % FUNC_NSLOTS]))
                return false;
            ++i;
            continue;
        case OP_REF:
            if (!Reference(step.m_nArg))
                return false;
            ++i;
            continue;
        case OP_DERIV:
            if (!Derivative(step.m_nArg, m_Program.m_bWhole && i + 1 == steps.size()))
                return false;
            ++i;
            continue;
        case OP_COND:
            if (!Conditional(step))
                return false;
            i = step.m_nEnd;
            continue;
        default: break;
        }
        if (IsFunctionOpcode(nOp)) {
            if (m_nTop < 1 || !Unary(nOp, m_Stack[m_nTop - 1], m_Stack[m_nTop - 1]))
                return false;
        } else if (IsBinary(nOp)) {
            if (m_nTop < 2)
                return false;
            SJet r;
            if (!Binary(nOp, m_Stack[m_nTop - 2], m_Stack[m_nTop - 1], r))
                return false;
            m_Stack[--m_nTop - 1] = r;
        } else {
            // undef; and random numbers, which are new at every point and have no derivative
            return false;
        }
        ++i;
    }
    return true;
}

// The branch the condition takes at the point; where the condition may change right beside it,
// the other branch must agree with it in the value and in every derivative that is to exist.
bool CFuncDerivative::CRun::Conditional(const SStep& step)
{
    if (m_nTop < 1)
        return false;
    const STruth truth = TruthOf(m_Stack[--m_nTop], N);
    const uint32_t nThen = static_cast<uint32_t>(&step - m_Program.m_Steps.data()) + 1;
    const bool bThen = truth.m_nAt != 0;
    const unsigned nTop = m_nTop;
    if (!(bThen ? Block(nThen, step.m_nElse) : Block(step.m_nElse, step.m_nEnd)))
        return false;
    if (truth.Steady())
        return true;
    SJet& r = m_Stack[nTop];
    const SJet taken = r;
    m_nTop = nTop;
    const bool bOther = bThen ? Block(step.m_nElse, step.m_nEnd) : Block(nThen, step.m_nElse);
    const SJet other = m_Stack[nTop];
    m_nTop = nTop + 1;
    r = taken;
    r.m_bVaries = true;
    r.m_bStep = false;
    unsigned k = 0;
    if (bOther && !taken.m_bStep && !other.m_bStep)
        while (k <= N && Agree(taken.m_c[k], other.m_c[k]))
            ++k;
    for (k = std::max(k, 1u); k <= MAX_ORDER; ++k)
        r.m_c[k] = NOT_A_NUMBER;
    return true;
}

void CFuncDerivative::CRun::CalleeSlots(unsigned nArgs, SJet* pSlots)
{
    std::copy(m_pSlots, m_pSlots + FUNC_NSLOTS, pSlots);
    m_nTop -= nArgs;
    for (unsigned i = 0; i < nArgs; ++i)
        pSlots[SLOT_A + i] = m_Stack[m_nTop + i];
}

// Another function at series arguments: its own program on them (the chain rule), or its value
// where nothing it reads moves.
bool CFuncDerivative::CRun::Reference(uint32_t nArg)
{
    const unsigned nArgs = ReferenceArgCount(nArg);
    CFuncTerm* pTerm = m_pProject ? m_pProject->GetFunction(ReferencedFunction(nArg)) : nullptr;
    if (!pTerm || m_nTop < nArgs)
        return false;
    SJet slots[FUNC_NSLOTS];
    CalleeSlots(nArgs, slots);
    pTerm->EnsureDependencies();
    bool bMoves = false;
    for (unsigned i = 0; i < FUNC_NSLOTS; ++i)
        bMoves = bMoves || (pTerm->GetDepVar()[i] && Moves(slots[i]));
    if (!bMoves) {
        double values[FUNC_NSLOTS];
        for (unsigned i = 0; i < FUNC_NSLOTS; ++i)
            values[i] = slots[i].m_c[0];
        const double* pValues = pTerm->Evaluate(values, m_pProject);
        return pValues && Push(Constant(pValues[0]));
    }
    SJet r;
    return pTerm->RunDerivative(slots, N, m_pProject, &r, 1) && Push(r);
}

// A derivative of another function inside a run: its series along its own variable, to as many
// more coefficients as the derivative's order, gives the derivative as a series D(s) along that
// variable; where the run moves that variable by d(t) and nothing else the callee reads, the
// result is D(d(t)), composed coefficient by coefficient. Any other movement has no derivative
// here (the callee's derivative would be needed along another direction).
bool CFuncDerivative::CRun::Derivative(uint32_t nArg, bool bWhole)
{
    const unsigned nOrder = DerivativeOrder(nArg);
    const unsigned nArgs = ReferenceArgCount(nArg);
    CFuncTerm* pTerm = m_pProject ? m_pProject->GetFunction(ReferencedFunction(DerivativeReference(nArg))) : nullptr;
    if (!pTerm || m_nTop < nArgs || nOrder < 1 || nOrder > 2)
        return false;
    SJet slots[FUNC_NSLOTS];
    CalleeSlots(nArgs, slots);
    pTerm->EnsureDependencies();
    const bool bAlongX = nArgs == 0;
    const SJet* pMove = nullptr;
    bool bPure = true, bMoves = false;
    SJet seeds[FUNC_NSLOTS];
    for (unsigned i = 0; i < FUNC_NSLOTS; ++i) {
        const bool bAlong = i == SLOT_A || (bAlongX && i == SLOT_X);
        seeds[i] = Constant(slots[i].m_c[0]);
        if (bAlong) {
            seeds[i].m_c[1] = 1.0;
            seeds[i].m_bVaries = true;
        }
        if (!pTerm->GetDepVar()[i] || !Moves(slots[i]))
            continue;
        bMoves = true;
        if (!bAlong || slots[i].m_bStep) {
            bPure = false;
        } else if (!pMove) {
            pMove = &slots[i];
        } else {
            for (unsigned k = 1; k <= N; ++k)
                bPure = bPure && pMove->m_c[k] == slots[i].m_c[k];
        }
    }
    const unsigned nInner = std::min(N + nOrder, MAX_ORDER);
    const unsigned nValues = bWhole ? pTerm->GetValueCount() : 1;
    if (bWhole && m_nTop + nValues > FUNC_STACK)
        return false;
    std::vector<SJet> inner(nValues);
    if (!pTerm->RunDerivative(seeds, nInner, m_pProject, inner.data(), nValues))
        return false;
    for (const SJet& series : inner) {
        // D_j = (j + m)! / j! c_(j+m): the callee's derivative along its variable, as a series.
        double d[MAX_ORDER + 1];
        for (unsigned j = 0; j <= MAX_ORDER; ++j) {
            const unsigned k = j + nOrder;
            d[j] = k <= nInner ? series.m_c[k] * (nOrder == 1 ? double(k) : double(k) * double(k - 1)) : NOT_A_NUMBER;
        }
        if (!std::isfinite(d[0]))
            return false; // the derivative itself does not exist here
        SJet r = Constant(d[0]);
        if (bMoves && !bPure) {
            r = Rough(d[0]);
        } else if (bMoves) {
            // sum of D_j d^j, where d^j begins at t^j: only D_j with j <= k reach coefficient k
            r.m_bVaries = true;
            double power[MAX_ORDER + 1] = {1.0};
            double next[MAX_ORDER + 1];
            double move[MAX_ORDER + 1] = {0.0};
            for (unsigned k = 1; k <= N; ++k)
                move[k] = pMove->m_c[k];
            for (unsigned j = 1; j <= N; ++j) {
                next[0] = 0.0;
                MulSeries(power, move, next, N);
                std::copy(next, next + N + 1, power);
                for (unsigned k = j; k <= N; ++k)
                    r.m_c[k] += d[j] * power[k];
            }
        }
        if (!Push(r))
            return false;
    }
    return true;
}

bool CFuncDerivative::CRun::Binary(uint32_t nOp, const SJet& a, const SJet& b, SJet& r) const
{
    const double a0 = a.m_c[0], b0 = b.m_c[0];
    double v;
    switch (nOp) {
    case OP_ADD:
    case OP_SUB:
    case OP_MUL:
    case OP_DIV: {
        const bool bDefined = nOp == OP_ADD   ? FuncOps::Add(a0, b0, v)
                              : nOp == OP_SUB ? FuncOps::Sub(a0, b0, v)
                              : nOp == OP_MUL ? FuncOps::Mul(a0, b0, v)
                                              : FuncOps::Div(a0, b0, v);
        if (!bDefined)
            return false;
        if (!Moves(a) && !Moves(b)) {
            r = Constant(v);
            return true;
        }
        r = Varying(v);
        if (nOp == OP_ADD || nOp == OP_SUB) {
            for (unsigned k = 1; k <= N; ++k)
                r.m_c[k] = nOp == OP_ADD ? a.m_c[k] + b.m_c[k] : a.m_c[k] - b.m_c[k];
        } else if (nOp == OP_MUL) {
            MulSeries(a.m_c, b.m_c, r.m_c, N);
        } else {
            DivSeries(a.m_c, b.m_c, r.m_c, N);
        }
        return true;
    }
    case OP_POW: return Power(a, b, r);
    case OP_AND:
    case OP_OR: {
        const STruth ta = TruthOf(a, N), tb = TruthOf(b, N);
        const STruth t =
            nOp == OP_AND
                ? STruth{Both(ta.m_nLeft, tb.m_nLeft), Both(ta.m_nAt, tb.m_nAt), Both(ta.m_nRight, tb.m_nRight)}
                : STruth{Either(ta.m_nLeft, tb.m_nLeft), Either(ta.m_nAt, tb.m_nAt), Either(ta.m_nRight, tb.m_nRight)};
        r = TruthJet(t.m_nAt ? 1.0 : 0.0, t);
        return true;
    }
    default: break;
    }
    // A comparison: where its sides meet at the point, the sign of their difference beside it
    // decides it there.
    int8_t nAt;
    switch (nOp) {
    case OP_GT: nAt = a0 > b0; break;
    case OP_LT: nAt = a0 < b0; break;
    case OP_EQ: nAt = a0 == b0; break;
    case OP_NE: nAt = a0 != b0; break;
    case OP_GE: nAt = a0 >= b0; break;
    default: nAt = a0 <= b0; break;
    }
    if (!Moves(a) && !Moves(b)) {
        r = Constant(nAt);
        return true;
    }
    STruth t{UNKNOWN, nAt, UNKNOWN};
    const bool bSmooth = !a.m_bStep && !b.m_bStep && std::isfinite(a.m_c[1]) && std::isfinite(b.m_c[1]);
    if (a0 != b0) {
        if (bSmooth)
            t.m_nLeft = t.m_nRight = nAt;
    } else if (!a.m_bStep && !b.m_bStep) {
        double d[MAX_ORDER + 1];
        for (unsigned k = 0; k <= N; ++k)
            d[k] = a.m_c[k] - b.m_c[k];
        if (const int nLeft = SideSign(d, N, false))
            t.m_nLeft = CompareBySign(nOp, nLeft);
        if (const int nRight = SideSign(d, N, true))
            t.m_nRight = CompareBySign(nOp, nRight);
    }
    r = TruthJet(nAt, t);
    return true;
}

// a ^ b: with a constant exponent by u p' = c u' p, else as exp(b ln a). The value is pow's.
bool CFuncDerivative::CRun::Power(const SJet& a, const SJet& b, SJet& r) const
{
    const double a0 = a.m_c[0], b0 = b.m_c[0];
    double v;
    if (!Moves(b)) {
        if (!FuncOps::PowConst<false>(a0, b0, v))
            return false;
        if (!Moves(a)) {
            r = Constant(v);
            return true;
        }
        if (a0 != 0.0) {
            r = Varying(v);
            PowSeries(a.m_c, b0, r.m_c, N);
            return true;
        }
        if (b0 == 0.0) {
            r = Constant(v); // 1 for every base
            return true;
        }
        if (b0 == std::floor(b0)) {
            // A whole power of a series that starts at 0: its first N + 1 powers tell all.
            r = Varying(1.0);
            const double nPowers = std::min(b0, double(N + 1));
            for (double n = 0.0; n < nPowers; n += 1.0) {
                SJet product = Varying(r.m_c[0] * a0);
                MulSeries(r.m_c, a.m_c, product.m_c, N);
                r = product;
            }
            r.m_c[0] = v;
            return true;
        }
        // A fractional power of u = u_m t^m + ... (m the first coefficient that is not 0):
        // defined on both sides only for u_m > 0 and m even, then |t|^(m c) w^c, whose
        // derivatives below the order m c are 0 and above do not exist (except where m c is an
        // even whole number, which needs more coefficients than a run of order 2 has).
        unsigned m = 1;
        while (m <= N && a.m_c[m] == 0.0)
            ++m;
        r = Rough(v);
        if (m <= N && a.m_c[m] > 0.0 && m % 2 == 0)
            for (unsigned k = 1; k <= N && k < m * b0; ++k)
                r.m_c[k] = 0.0;
        return true;
    }
    if (!FuncOps::Pow(a0, b0, v))
        return false;
    if (a0 > 0.0) {
        double l[MAX_ORDER + 1], p[MAX_ORDER + 1];
        l[0] = std::log(a0);
        LnSeries(a.m_c, l, N);
        p[0] = b0 * l[0];
        MulSeries(b.m_c, l, p, N);
        r = Varying(v);
        ExpSeries(p, r.m_c, N);
        return true;
    }
    // 0 ^ b(t) is 0 while b > 0 stays so; a negative base has no power for the exponents nearby
    // that are not whole.
    r = a0 == 0.0 && !Moves(a) && std::isfinite(b.m_c[1]) ? Constant(v) : Rough(v);
    return true;
}

void CFuncDerivative::CRun::Abs(const SJet& u, SJet& r) const
{
    const double u0 = u.m_c[0];
    r = Varying(std::fabs(u0));
    if (u0 != 0.0) {
        for (unsigned k = 1; k <= N; ++k)
            r.m_c[k] = u0 > 0.0 ? u.m_c[k] : -u.m_c[k];
        return;
    }
    // |u_m t^m + ...|: u itself or -u on both sides where m is even; a kink at order m where it
    // is odd. No coefficient known to be other than 0: |u| is below t^N, so they are all 0.
    unsigned m = 1;
    while (m <= N && u.m_c[m] == 0.0)
        ++m;
    if (m > N)
        return;
    const bool bEven = m % 2 == 0 && !std::isnan(u.m_c[m]);
    for (unsigned k = m; k <= MAX_ORDER; ++k)
        r.m_c[k] = bEven ? (u.m_c[m] > 0.0 ? u.m_c[k] : -u.m_c[k]) : NOT_A_NUMBER;
}

// int and frac: int is constant beside the point unless u is whole there and moves across.
bool CFuncDerivative::CRun::Steps(uint32_t nOp, const SJet u, SJet& r) const
{
    const double u0 = u.m_c[0];
    double i0;
    if (!FuncOps::Int(u0, i0))
        return false;
    bool bSteady;
    if (u0 != std::trunc(u0)) {
        bSteady = !u.m_bStep && std::isfinite(u.m_c[1]);
    } else if (std::fabs(u0) >= TWO_POW_52 || u.m_bStep) {
        bSteady = false;
    } else {
        // u whole: the step is left where u moves across it on either side, or may be where u
        // is not seen to move at all.
        const int nLeft = SideSign(u.m_c, N, false);
        const int nRight = SideSign(u.m_c, N, true);
        double iLeft = 0.0, iRight = 0.0;
        bSteady = nLeft && nRight && FuncOps::Int(u0 + 0.5 * nLeft, iLeft) && FuncOps::Int(u0 + 0.5 * nRight, iRight) &&
                  iLeft == i0 && iRight == i0;
    }
    if (nOp == OP_INT) {
        r = bSteady ? Constant(i0) : Rough(i0);
        return true;
    }
    double v;
    if (!FuncOps::Frac(u0, v))
        return false;
    if (!bSteady) {
        r = Rough(v);
        return true;
    }
    r = Varying(v);
    for (unsigned k = 1; k <= N; ++k)
        r.m_c[k] = u.m_c[k];
    return true;
}

bool CFuncDerivative::CRun::Unary(uint32_t nOp, const SJet& u, SJet& r) const
{
    const double u0 = u.m_c[0];
    if (nOp == OP_INT || nOp == OP_FRAC)
        return Steps(nOp, u, r);
    double v;
    switch (nOp) {
#define KX_DERIV_VALUE(NAME, VALUE, WORD, FN, ITEM)                                                                    \
    case OP_##NAME:                                                                                                    \
        if (!FuncOps::FN(u0, v))                                                                                       \
            return false;                                                                                              \
        break;
        KX_FUNCTION_LIST(KX_DERIV_VALUE)
#undef KX_DERIV_VALUE
    default: return false;
    }
    if (!Moves(u)) {
        r = Constant(v);
        return true;
    }
    const double* c = u.m_c;
    SJet result = Varying(v);
    double* f = result.m_c;
    double g[MAX_ORDER + 1], h[MAX_ORDER + 1];
    switch (nOp) {
    case OP_SIN:
        g[0] = std::cos(u0);
        SinCosSeries(c, f, g, N);
        break;
    case OP_COS:
        g[0] = std::sin(u0);
        SinCosSeries(c, g, f, N);
        break;
    case OP_TAN:
        // f' = u' (1 + f^2), with 1 + f^2 known one coefficient behind f
        g[0] = 1.0 + v * v;
        for (unsigned k = 1; k <= N; ++k) {
            double d = 0.0;
            for (unsigned j = 1; j <= k; ++j)
                d += j * c[j] * g[k - j];
            f[k] = d / k;
            double s = 0.0;
            for (unsigned j = 0; j <= k; ++j)
                s += f[j] * f[k - j];
            g[k] = s;
        }
        break;
    case OP_ASIN:
    case OP_ACOS:
    case OP_ATAN: {
        // f' = u' / sqrt(1 - u^2) (acos: its negative), f' = u' / (1 + u^2)
        h[0] = nOp == OP_ATAN ? 1.0 + u0 * u0 : 1.0 - u0 * u0;
        MulSeries(c, c, h, N);
        for (unsigned k = 1; k <= N; ++k)
            h[k] = nOp == OP_ATAN ? h[k] : -h[k];
        if (!(h[0] > 0.0)) {
            result = Rough(v); // asin, acos at +-1: an infinite slope
            break;
        }
        if (nOp != OP_ATAN) {
            double s[MAX_ORDER + 1];
            s[0] = std::sqrt(h[0]);
            PowSeries(h, 0.5, s, N);
            std::copy(s, s + N + 1, h);
        }
        double one[MAX_ORDER + 1] = {1.0};
        g[0] = 1.0 / h[0];
        DivSeries(one, h, g, N);
        if (nOp == OP_ACOS)
            for (unsigned k = 0; k <= N; ++k)
                g[k] = -g[k];
        IntegrateSeries(c, g, f, N);
        break;
    }
    case OP_LN:
    case OP_LOG10:
        LnSeries(c, f, N);
        if (nOp == OP_LOG10)
            for (unsigned k = 1; k <= N; ++k)
                f[k] /= std::log(10.0);
        break;
    case OP_EXP: ExpSeries(c, f, N); break;
    case OP_ABS: Abs(u, result); break;
    default: return false;
    }
    r = result;
    return true;
}
