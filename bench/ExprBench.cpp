// Benchmarks of the expression language against muparser as the peer.
//
//   compile              compiling a typical formula (muparser: SetExpr and the first Eval)
//   run/<side>/<k>       (a) one run of the compiled code per sample, no cache of its own
//                            (references still go through the referenced terms' caches),
//                            4096 samples cycled; muparser: Eval at the same samples
//   run-refmiss/...      formula 5 only: as (a), but over the 10^6 distinct samples, so that the
//                            referenced f1 and f2 miss their caches every time (not a target)
//   miss1e6/<side>/<k>   (b) the first sweep through the cache over 10^6 distinct x values: every
//                            look-up a miss, the cache emptied every 10000 items
//   miss1e5/<side>/<k>   (b) the same over 10^5 distinct values
//   hit5000/<side>/<k>   (c) 5000 distinct x values visited again: every look-up a hit
//
// Before any benchmark runs, every sample of every sweep is checked (d): the evaluator agrees with
// a plain C++ evaluation of the same formula, and is undefined exactly where that evaluation is
// not finite or the C library reports an error; muparser must agree where it is defined.
//
// At the end the medians of all repetitions (CPU time per sample) and the ratios kurvix/muparser
// with their geometric means are printed against the targets. `--smoke` runs everything once on
// small sweeps (used by ctest); `--check-only` runs only the checks; `--count=<name>` runs one
// workload for valgrind's instruction count (bench/instructions.sh).
#include <benchmark/benchmark.h>
#include <muParser.h>

#include <algorithm>
#include <cerrno>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "expr/CFuncTerm.h"
#include "project/CProject.h"
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define KX_COUNT_ON() CALLGRIND_TOGGLE_COLLECT
#define KX_COUNT_OFF() CALLGRIND_TOGGLE_COLLECT
#else
#define KX_COUNT_ON()
#define KX_COUNT_OFF()
#endif
#include "view/CFuncVars.h"

namespace {

const double PI = 3.141592653589793;
const double TWO_POW_53 = 9007199254740992.0;

// ---------------------------------------------------------------------------------------------
// The formulas

// Plain C++ evaluations. sin, cos and tan of |x| >= 2^53 are undefined in the language (loss of
// significance) where the C library reports nothing: Trig marks that one case.
bool g_bLoss = false;
double Trig(double (*pFunction)(double), double x)
{
    if (!(std::fabs(x) < TWO_POW_53))
        g_bLoss = true;
    return pFunction(x);
}
double Sin(double x)
{
    return Trig(static_cast<double (*)(double)>(std::sin), x);
}
double Cos(double x)
{
    return Trig(static_cast<double (*)(double)>(std::cos), x);
}

// The library's pow, also for constant exponents (which the compiler would otherwise turn into
// multiplications that report no underflow).
double Pow(double x, volatile double y)
{
    return std::pow(x, y);
}

double Ref1(double x)
{
    return Pow(x, 3) - 2 * Pow(x, 2) + x - 1;
}
double Ref2(double x)
{
    return Sin(x) * Cos(2 * x) + Sin(3 * x) / 3;
}
double Ref3(double x)
{
    return Pow(std::fabs(x), 0.5) * std::log(std::fabs(x) + 1);
}
double Ref4(double x)
{
    return x < 0 ? -x : Pow(x, 2);
}
double Ref5(double x)
{
    return Sin(x) * x + (Pow(x, 2) - 1);
}
double Ref6(double x)
{
    return std::exp(-x * x / 2) / Pow(2 * PI, 0.5);
}

struct SFormula {
    const char* m_pszName;
    const char* m_pszKurvix;
    const char* m_pszMuparser;
    double (*m_pReference)(double);
    double (*m_pMagnitude)(double); // sum of the magnitudes of the terms: scale of rounding errors
};

const SFormula g_Formulas[] = {
    {"x^3-2*x^2+x-1", "x^3-2*x^2+x-1", "x^3-2*x^2+x-1", Ref1,
     [](double x) { return std::fabs(x * x * x) + 2 * x * x + std::fabs(x) + 1; }},
    {"sin(x)*cos(2*x)+sin(3*x)/3", "sin(x)*cos(2*x)+sin(3*x)/3", "sin(x)*cos(2*x)+sin(3*x)/3", Ref2,
     [](double) { return 2.0; }},
    {"sqrt(abs(x))*ln(abs(x)+1)", "sqrt(abs(x))*ln(abs(x)+1)", "sqrt(abs(x))*ln(abs(x)+1)", Ref3,
     [](double x) { return std::sqrt(std::fabs(x)) * std::log(std::fabs(x) + 1) + 1; }},
    {"x<0 ? -x : x^2", "x<0 ? -x : x^2", "x<0 ? -x : x^2", Ref4, [](double x) { return x * x + std::fabs(x) + 1; }},
    {"f1(x)+f2(x)", "f1(x)+f2(x)", "(sin(x)*x)+(x^2-1)", Ref5, [](double x) { return 2 * std::fabs(x) + x * x + 1; }},
    {"exp(-x*x/2)/sqrt(2*pi)", "exp(-x*x/2)/sqrt(2*pi)", "exp(-x*x/2)/sqrt(2*pi)", Ref6, [](double) { return 1.0; }},
};
constexpr int FORMULAS = sizeof(g_Formulas) / sizeof(g_Formulas[0]);
const char* const F1 = "sin(a)*a"; // the two functions formula 5 refers to
const char* const F2 = "a^2-1";
const unsigned SLOT = 3; // the slot the formula under test lives in

// A document holding the formula in slot 3 (and f1, f2 for formula 5).
struct SKurvix {
    CProject m_Project;
    CFuncTerm* m_pTerm;
    CFuncVars m_Vars;
    explicit SKurvix(int nFormula)
    {
        m_Project.SetFunction(1, F1);
        m_Project.SetFunction(2, F2);
        m_Project.SetFunction(SLOT, g_Formulas[nFormula].m_pszKurvix);
        m_pTerm = m_Project.GetFunction(SLOT);
        m_Vars.m_pProject = &m_Project;
    }
    // The sampling walk sets a = x.
    void SetX(double x)
    {
        m_Vars.m_dValue[0] = x;
        m_Vars.m_dValue[3] = x;
    }
};

struct SMuparser {
    mu::Parser m_Parser;
    double m_dX = 0.0;
    explicit SMuparser(int nFormula)
    {
        m_Parser.DefineVar("x", &m_dX);
        m_Parser.DefineConst("pi", PI);
        m_Parser.SetExpr(g_Formulas[nFormula].m_pszMuparser);
        m_Parser.Eval(); // parses
    }
};

// ---------------------------------------------------------------------------------------------
// Samples

size_t g_nRunSamples = 4096;
size_t g_nBigSweep = 1000000;
size_t g_nSmallSweep = 100000;
size_t g_nRevisit = 5000;

std::vector<double> Sweep(size_t nCount) // distinct values in [-10, 10)
{
    std::vector<double> x(nCount);
    for (size_t i = 0; i < nCount; ++i)
        x[i] = -10.0 + 20.0 * static_cast<double>(i) / static_cast<double>(nCount);
    return x;
}

std::vector<double> g_RunX, g_BigX, g_SmallX, g_RevisitX;

// ---------------------------------------------------------------------------------------------
// (d) Agreement

// The reference value, or NaN where the plain C++ evaluation is not finite or the C library
// reports an error (errno, or an invalid operation, division by zero or overflow flag).
double __attribute__((noinline)) Reference(int nFormula, double x)
{
    g_bLoss = false;
    errno = 0;
    std::feclearexcept(FE_ALL_EXCEPT);
    volatile double r = g_Formulas[nFormula].m_pReference(x);
    const bool bFault = errno != 0 || std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW) || g_bLoss;
    return bFault || !std::isfinite(r) ? NAN : r;
}

// Values at which the defined set is worth a look: zero, tiny, huge, the limits of exp and of the
// powers, and the edge of the loss-of-significance rule.
std::vector<double> EdgeSamples()
{
    std::vector<double> x = {0.0,
                             -0.0,
                             1.0,
                             -1.0,
                             1e-320,
                             1e-300,
                             1e-160,
                             1e-155,
                             1e-110,
                             1e-103,
                             1e100,
                             1e102,
                             1e103,
                             1e154,
                             1.3e154,
                             1.4e154,
                             1e155,
                             1e200,
                             1e300,
                             1.7e308,
                             37.5,
                             38.5,
                             38.6,
                             38.7,
                             40.0,
                             1e3,
                             1e10,
                             TWO_POW_53,
                             std::nextafter(TWO_POW_53, 0.0),
                             TWO_POW_53 / 2,
                             TWO_POW_53 / 3,
                             std::nextafter(TWO_POW_53 / 3, 0.0),
                             std::nextafter(TWO_POW_53 / 2, 0.0)};
    for (int e = -320; e <= 308; e += 7)
        for (double m : {1.0, 3.7, 9.9})
            x.push_back(m * std::pow(10.0, e));
    const size_t n = x.size();
    for (size_t i = 0; i < n; ++i)
        x.push_back(-x[i]);
    return x;
}

bool Agree(double dValue, double dReference, double dMagnitude)
{
    return std::fabs(dValue - dReference) <= 1e-13 * dMagnitude;
}

// Checks every sample of every sweep; returns the number of disagreements.
long CheckAgreement()
{
    std::vector<double> x = EdgeSamples();
    for (const auto* pSweep : {&g_RunX, &g_BigX, &g_SmallX, &g_RevisitX})
        x.insert(x.end(), pSweep->begin(), pSweep->end());
    long nBad = 0;
    std::printf("Agreement check over %zu samples per formula\n", x.size());
    for (int k = 0; k < FORMULAS; ++k) {
        SKurvix kurvix(k);
        SMuparser peer(k);
        long nUndefined = 0, nBadHere = 0, nPeerBad = 0;
        double dWorst = 0.0;
        double stack[64];
        for (const double dX : x) {
            const double dRef = Reference(k, dX);
            const double dMag = g_Formulas[k].m_pMagnitude(dX);
            kurvix.SetX(dX);
            const double* pValue = kurvix.m_pTerm->Evaluate(kurvix.m_Vars);
            const bool bRun = kurvix.m_pTerm->Run(kurvix.m_Vars.m_dValue, &kurvix.m_Project, stack);
            bool bOk;
            if (std::isnan(dRef)) {
                ++nUndefined;
                bOk = !pValue && !bRun;
            } else {
                bOk = pValue && bRun && std::isfinite(*pValue) && Agree(*pValue, dRef, dMag) &&
                      Agree(stack[0], dRef, dMag) && stack[0] == *pValue;
                if (pValue)
                    dWorst = std::max(dWorst, std::fabs(*pValue - dRef) / dMag);
                peer.m_dX = dX;
                const double dPeer = peer.m_Parser.Eval();
                if (!Agree(dPeer, dRef, dMag))
                    ++nPeerBad;
            }
            if (!bOk) {
                if (nBadHere < 5)
                    std::printf("  MISMATCH %s at x=%.17g: kurvix %s %.17g, reference %.17g\n", g_Formulas[k].m_pszName,
                                dX, pValue ? "" : "undefined", pValue ? *pValue : 0.0, dRef);
                ++nBadHere;
            }
        }
        std::printf("  %-28s %s (%ld undefined, worst deviation %.2g of the magnitude; muparser %s)\n",
                    g_Formulas[k].m_pszName, nBadHere ? "FAILED" : "agrees", nUndefined, dWorst,
                    nPeerBad ? "disagrees" : "agrees");
        nBad += nBadHere + nPeerBad;
    }
    return nBad;
}

// ---------------------------------------------------------------------------------------------
// Benchmarks

void SetCounters(benchmark::State& state, size_t nPerIteration)
{
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * nPerIteration));
    state.counters["n"] = static_cast<double>(nPerIteration);
}

void BM_CompileKurvix(benchmark::State& state)
{
    CProject project;
    for (auto _ : state) {
        CFuncTerm term(&project, g_Formulas[1].m_pszKurvix);
        benchmark::DoNotOptimize(term.GetValueCount());
    }
    SetCounters(state, 1);
}

void BM_CompileMuparser(benchmark::State& state)
{
    double x = 0.5;
    for (auto _ : state) {
        mu::Parser parser;
        parser.DefineVar("x", &x);
        parser.SetExpr(g_Formulas[1].m_pszMuparser);
        benchmark::DoNotOptimize(parser.Eval());
    }
    SetCounters(state, 1);
}

// One pass over the samples of each workload; the sum keeps the work from being optimised away.
double RunPass(SKurvix& kurvix, const std::vector<double>& xs)
{
    const CFuncTerm* pTerm = kurvix.m_pTerm;
    double stack[FUNC_STACK];
    double dSum = 0.0;
    for (const double x : xs) {
        kurvix.SetX(x);
        if (pTerm->Run(kurvix.m_Vars.m_dValue, &kurvix.m_Project, stack))
            dSum += stack[0];
    }
    return dSum;
}

double EvaluatePass(SKurvix& kurvix, const std::vector<double>& xs)
{
    CFuncTerm* pTerm = kurvix.m_pTerm;
    double dSum = 0.0;
    for (const double x : xs) {
        kurvix.SetX(x);
        if (const double* p = pTerm->Evaluate(kurvix.m_Vars))
            dSum += *p;
    }
    return dSum;
}

double PeerPass(SMuparser& peer, const std::vector<double>& xs)
{
    double dSum = 0.0;
    for (const double x : xs) {
        peer.m_dX = x;
        dSum += peer.m_Parser.Eval();
    }
    return dSum;
}

// (a)
void BM_RunKurvix(benchmark::State& state, int k, const std::vector<double>* pX)
{
    SKurvix kurvix(k);
    RunPass(kurvix, *pX); // the referenced terms' caches as they are in use
    for (auto _ : state)
        benchmark::DoNotOptimize(RunPass(kurvix, *pX));
    SetCounters(state, pX->size());
}

void BM_EvalMuparser(benchmark::State& state, int k, const std::vector<double>* pX)
{
    SMuparser peer(k);
    for (auto _ : state)
        benchmark::DoNotOptimize(PeerPass(peer, *pX));
    SetCounters(state, pX->size());
}

// (b) every look-up a miss: the sweep has more distinct values than the cache keeps
void BM_MissKurvix(benchmark::State& state, int k, const std::vector<double>* pX)
{
    SKurvix kurvix(k);
    const uint32_t nHits = kurvix.m_pTerm->GetCache().GetHits();
    for (auto _ : state)
        benchmark::DoNotOptimize(EvaluatePass(kurvix, *pX));
    if (kurvix.m_pTerm->GetCache().GetHits() != nHits)
        state.SkipWithError("a look-up of the first sweep hit");
    SetCounters(state, pX->size());
}

// (c) every look-up a hit
void BM_HitKurvix(benchmark::State& state, int k, const std::vector<double>* pX)
{
    SKurvix kurvix(k);
    EvaluatePass(kurvix, *pX); // the first visit fills the cache
    const uint32_t nMisses = kurvix.m_pTerm->GetCache().GetMisses();
    for (auto _ : state)
        benchmark::DoNotOptimize(EvaluatePass(kurvix, *pX));
    if (kurvix.m_pTerm->GetCache().GetMisses() != nMisses)
        state.SkipWithError("a look-up of the revisited sweep missed");
    SetCounters(state, pX->size());
}

// First derivatives over a sweep (f' of the formula, as f4 = f3' draws it), every one a miss.
void BM_DerivativeKurvix(benchmark::State& state, int k, const std::vector<double>* pX)
{
    SKurvix kurvix(k);
    for (auto _ : state) {
        double dSum = 0.0;
        for (const double x : *pX) {
            kurvix.SetX(x);
            if (const double* p = kurvix.m_pTerm->EvaluateDerivative(1, kurvix.m_Vars))
                dSum += *p;
        }
        benchmark::DoNotOptimize(dSum);
    }
    SetCounters(state, pX->size());
}

// `--count=<group>/<side>/<k>`: the workload alone, for valgrind's instruction count. Set-up and
// one pass run uncounted; then nPasses passes run with callgrind's collection switched on (run
// valgrind with --collect-atstart=no). Prints the samples counted.
int CountInstructions(const std::string& name, int nPasses)
{
    const size_t nSlash1 = name.find('/'), nSlash2 = name.rfind('/');
    if (nSlash1 == std::string::npos || nSlash2 == nSlash1)
        return 2;
    const std::string group = name.substr(0, nSlash1), side = name.substr(nSlash1 + 1, nSlash2 - nSlash1 - 1);
    const int k = std::atoi(name.c_str() + nSlash2 + 1) - 1;
    if (k < 0 || k >= FORMULAS)
        return 2;
    const std::vector<double>* pX = group == "run"                                 ? &g_RunX
                                    : group == "run-refmiss" || group == "miss1e6" ? &g_BigX
                                    : group == "miss1e5"                           ? &g_SmallX
                                    : group == "hit5000"                           ? &g_RevisitX
                                                                                   : nullptr;
    if (!pX)
        return 2;
    double dSum = 0.0;
    if (side == "muparser") {
        SMuparser peer(k);
        dSum += PeerPass(peer, *pX);
        KX_COUNT_ON();
        for (int i = 0; i < nPasses; ++i)
            dSum += PeerPass(peer, *pX);
        KX_COUNT_OFF();
    } else {
        SKurvix kurvix(k);
        const bool bRun = group.compare(0, 3, "run") == 0;
        dSum += bRun ? RunPass(kurvix, *pX) : EvaluatePass(kurvix, *pX);
        KX_COUNT_ON();
        for (int i = 0; i < nPasses; ++i)
            dSum += bRun ? RunPass(kurvix, *pX) : EvaluatePass(kurvix, *pX);
        KX_COUNT_OFF();
    }
    std::printf("%s samples %zu (sum %g)\n", name.c_str(), pX->size() * static_cast<size_t>(nPasses), dSum);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Summary

struct SGroup {
    const char* m_pszKey;
    const char* m_pszTitle;
    double m_dEach;    // target for every formula (0: none)
    double m_dGeoMean; // target for the geometric mean (0: none)
};

const SGroup g_Groups[] = {
    {"run", "(a) run, no cache", 1.5, 1.0},
    {"miss1e6", "(b) first sweep, 10^6 misses", 0.0, 1.0},
    {"miss1e5", "(b) first sweep, 10^5 misses", 0.0, 1.0},
    {"hit5000", "(c) revisited sweep, 5000 hits", 0.0, 0.8},
};

class CSummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& reports) override
    {
        std::vector<Run> shown; // the single runs of a repetition, or the medians of several
        for (const Run& run : reports) {
            if (run.run_type == Run::RT_Aggregate ? run.aggregate_name == "median" : run.repetitions <= 1)
                shown.push_back(run);
            if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0)
                continue;
            const auto it = run.counters.find("n");
            const double n = it == run.counters.end() ? 1.0 : it->second.value;
            m_Times[run.run_name.function_name].push_back(run.cpu_accumulated_time * 1e9 /
                                                          (static_cast<double>(run.iterations) * n));
        }
        if (!shown.empty())
            ConsoleReporter::ReportRuns(shown);
    }

    // Median CPU ns per sample, or 0 if the benchmark did not run.
    double Median(const std::string& name) const
    {
        const auto it = m_Times.find(name);
        if (it == m_Times.end() || it->second.empty())
            return 0.0;
        std::vector<double> v = it->second;
        std::sort(v.begin(), v.end());
        const size_t n = v.size();
        return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
    }

    // Prints the table; returns false if a target is missed.
    bool PrintSummary() const
    {
        bool bAll = true;
        std::printf("\nMedians of %zu repetition(s), CPU ns per sample; ratio = kurvix / muparser\n",
                    m_Times.empty() ? size_t(0) : m_Times.begin()->second.size());
        const double dCompileK = Median("compile/kurvix"), dCompileM = Median("compile/muparser");
        if (dCompileK > 0)
            std::printf("compile \"%s\": kurvix %.0f ns, muparser %.0f ns (ratio %.2f)\n", g_Formulas[1].m_pszName,
                        dCompileK, dCompileM, dCompileK / dCompileM);
        for (const SGroup& group : g_Groups) {
            std::printf("\n%s\n  %-28s %10s %10s %7s\n", group.m_pszTitle, "formula", "kurvix", "muparser", "ratio");
            double dLogSum = 0.0;
            int nCount = 0;
            bool bEach = true;
            for (int k = 0; k < FORMULAS; ++k) {
                const std::string suffix = "/" + std::to_string(k + 1);
                const double dK = Median(std::string(group.m_pszKey) + "/kurvix" + suffix);
                const double dM = Median(std::string(group.m_pszKey) + "/muparser" + suffix);
                if (dK <= 0 || dM <= 0)
                    continue;
                const double dRatio = dK / dM;
                const bool bOk = group.m_dEach == 0.0 || dRatio <= group.m_dEach;
                bEach = bEach && bOk;
                std::printf("  %-28s %10.2f %10.2f %7.3f%s\n", g_Formulas[k].m_pszName, dK, dM, dRatio,
                            bOk ? "" : "  above target");
                dLogSum += std::log(dRatio);
                ++nCount;
            }
            if (!nCount)
                continue;
            const double dGeo = std::exp(dLogSum / nCount);
            const bool bGeo = dGeo <= group.m_dGeoMean;
            std::printf("  geometric mean %.3f (target <= %.1f%s): %s\n", dGeo, group.m_dGeoMean,
                        group.m_dEach > 0 ? (", each <= " + std::to_string(group.m_dEach).substr(0, 3)).c_str() : "",
                        bGeo && bEach ? "met" : "MISSED");
            bAll = bAll && bGeo && bEach;
        }
        const double dK = Median("run-refmiss/kurvix/5"), dM = Median("run-refmiss/muparser/5");
        if (dK > 0 && dM > 0)
            std::printf("\n(a') formula 5 run with f1, f2 missing their caches: kurvix %.2f, muparser %.2f, "
                        "ratio %.3f (no target)\n",
                        dK, dM, dK / dM);
        return bAll;
    }

private:
    std::map<std::string, std::vector<double>> m_Times;
};

void Register()
{
    using benchmark::RegisterBenchmark;
    std::vector<benchmark::internal::Benchmark*> all;
    all.push_back(RegisterBenchmark("compile/kurvix", BM_CompileKurvix));
    all.push_back(RegisterBenchmark("compile/muparser", BM_CompileMuparser));
    for (int k = 0; k < FORMULAS; ++k) {
        const std::string s = "/" + std::to_string(k + 1);
        all.push_back(RegisterBenchmark(("run/kurvix" + s).c_str(), BM_RunKurvix, k, &g_RunX));
        all.push_back(RegisterBenchmark(("run/muparser" + s).c_str(), BM_EvalMuparser, k, &g_RunX));
        if (k == 4) {
            all.push_back(RegisterBenchmark(("run-refmiss/kurvix" + s).c_str(), BM_RunKurvix, k, &g_BigX));
            all.push_back(RegisterBenchmark(("run-refmiss/muparser" + s).c_str(), BM_EvalMuparser, k, &g_BigX));
        }
        all.push_back(RegisterBenchmark(("miss1e6/kurvix" + s).c_str(), BM_MissKurvix, k, &g_BigX));
        all.push_back(RegisterBenchmark(("miss1e6/muparser" + s).c_str(), BM_EvalMuparser, k, &g_BigX));
        all.push_back(RegisterBenchmark(("miss1e5/kurvix" + s).c_str(), BM_MissKurvix, k, &g_SmallX));
        all.push_back(RegisterBenchmark(("miss1e5/muparser" + s).c_str(), BM_EvalMuparser, k, &g_SmallX));
        all.push_back(RegisterBenchmark(("hit5000/kurvix" + s).c_str(), BM_HitKurvix, k, &g_RevisitX));
        all.push_back(RegisterBenchmark(("hit5000/muparser" + s).c_str(), BM_EvalMuparser, k, &g_RevisitX));
        all.push_back(RegisterBenchmark(("deriv1e5/kurvix" + s).c_str(), BM_DerivativeKurvix, k, &g_SmallX));
    }
    for (auto* pBenchmark : all)
        pBenchmark->Unit(benchmark::kMicrosecond);
}

} // namespace

int main(int argc, char** argv)
{
    // Our own options, then defaults for Google Benchmark that the command line may override.
    bool bSmoke = false, bCheckOnly = false;
    std::string count;
    int nPasses = 1;
    std::vector<char*> args = {argv[0]};
    std::string repetitions = "--benchmark_repetitions=7";
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    std::string minTime = "--benchmark_min_time=0.2";
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--smoke"))
            bSmoke = true;
        else if (!std::strcmp(argv[i], "--check-only"))
            bCheckOnly = true;
        else if (!std::strncmp(argv[i], "--count=", 8))
            count = argv[i] + 8;
        else if (!std::strncmp(argv[i], "--passes=", 9))
            nPasses = std::max(1, std::atoi(argv[i] + 9));
    }
    if (bSmoke) {
        repetitions = "--benchmark_repetitions=1";
        minTime = "--benchmark_min_time=0.000001";
        g_nRunSamples = 256;
        g_nBigSweep = 20000;
        g_nSmallSweep = 12000;
    }
    for (std::string* p : {&repetitions, &interleave, &minTime})
        args.push_back(p->data());
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--smoke") && std::strcmp(argv[i], "--check-only") &&
            std::strncmp(argv[i], "--count=", 8) && std::strncmp(argv[i], "--passes=", 9))
            args.push_back(argv[i]);
    int nArgs = static_cast<int>(args.size());
    args.push_back(nullptr);

    g_RunX = Sweep(g_nRunSamples);
    g_BigX = Sweep(g_nBigSweep);
    g_SmallX = Sweep(g_nSmallSweep);
    g_RevisitX = Sweep(g_nRevisit);
    if (!count.empty())
        return CountInstructions(count, nPasses);

    if (const long nBad = CheckAgreement()) {
        std::printf("Agreement check FAILED: %ld disagreement(s)\n", nBad);
        return 1;
    }
    if (bCheckOnly)
        return 0;

    benchmark::Initialize(&nArgs, args.data());
    if (benchmark::ReportUnrecognizedArguments(nArgs, args.data()))
        return 2;
    Register();
    CSummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const bool bMet = reporter.PrintSummary();
    benchmark::Shutdown();
    // The targets are reported, not enforced: times on a shared machine are too noisy for a verdict.
    (void)bMet;
    return 0;
}
