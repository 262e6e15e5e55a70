#include <benchmark/benchmark.h>

#include "project/CProject.h"

static void BM_Compile(benchmark::State& state)
{
    CProject project;
    for (auto _ : state) {
        CFuncTerm term(&project, "x^3-2*x^2+x-1");
        benchmark::DoNotOptimize(term.m_pCode);
    }
}
BENCHMARK(BM_Compile);
BENCHMARK_MAIN();
