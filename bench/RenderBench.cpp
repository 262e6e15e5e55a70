// The value range and a complete drawing pass over a million samples of sin(x)*x^2, as the
// "Grafik" page does them, into a picture of the page's default size.
//   kurvix_bench_render            the measured runs (samples per second)
//   kurvix_bench_render --smoke    every benchmark once on 10^4 samples
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstring>
#include <vector>

#include "project/CProject.h"
#include "render/CPictureExport.h"
#include "render/CPictureJob.h"
#include "render/CQtCanvas.h"
#include "render/CRenderer.h"
#include "view/CFuncVars.h"
#include "view/CViewRange.h"

namespace {
uint32_t g_nCount = 1000000;

void SetUp(CProject& project, uint32_t nWidth = 1)
{
    project.SetFunction(1, "sin(x)*x^2");
    CAnimationStep* pStep = project.m_pFirstStep;
    pStep->m_bVisible[0] = true;
    pStep->m_nWidth[0] = nWidth;
    pStep->m_dMin[0] = -10.0;
    pStep->m_dStep[0] = 20.0 / g_nCount;
    pStep->m_nCount[0] = g_nCount;
}

void BM_DetermineRange(benchmark::State& state)
{
    CProject project;
    SetUp(project);
    for (auto _ : state) {
        CViewRange::DetermineRange(project);
        benchmark::DoNotOptimize(project.m_dOptions[OPT_YMAX]);
    }
    state.counters["samples/s"] =
        benchmark::Counter(double(g_nCount + 1) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DetermineRange)->Unit(benchmark::kMillisecond);

void BM_DrawSamples(benchmark::State& state)
{
    CProject project;
    SetUp(project, static_cast<uint32_t>(state.range(0)));
    CViewRange::DetermineRange(project);
    QImage image(584, 387, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        CQtCanvas canvas(painter);
        CFuncVars vars;
        vars.SetupView(&project, project.m_pFirstStep, 584, 387, 0, 0);
        while (CRenderer::DrawSample(vars, canvas, 1)) {
        }
    }
    state.counters["samples/s"] =
        benchmark::Counter(double(g_nCount + 1) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DrawSamples)->Arg(1)->Arg(2)->ArgName("width")->Unit(benchmark::kMillisecond);

// What kurvix --export does between loading and writing the file: the range, then background,
// grid and every sample into a 584 x 387 picture; the sample count is the argument (scaled down
// by --smoke). The second argument 0 draws every sample as the window does, 1 draws from the sketch
// the range determination makes, as the PNG export does.
void BM_ExportPass(benchmark::State& state)
{
    const uint32_t nCount =
        g_nCount == 1000000 ? static_cast<uint32_t>(state.range(0)) : static_cast<uint32_t>(state.range(0) / 1000);
    CProject project;
    project.SetFunction(1, "sin(x)*x^2");
    CAnimationStep* pStep = project.m_pFirstStep;
    pStep->m_bVisible[0] = true;
    pStep->m_dMin[0] = -10.0;
    pStep->m_dStep[0] = 20.0 / nCount;
    pStep->m_nCount[0] = nCount;
    QImage image(584, 387, QImage::Format_RGB32);
    for (auto _ : state) {
        CPictureJob job(project, state.range(1) != 0, true);
        job.WalkAll();
        QPainter painter(&image);
        CPictureExport::Paint(job, painter, 584, 387, false, nullptr);
    }
    state.counters["samples/s"] =
        benchmark::Counter(double(nCount + 1) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ExportPass)
    ->ArgsProduct({{100000, 1000000, 10000000}, {0, 1}})
    ->ArgNames({"samples", "sketch"})
    ->UseRealTime() // a long sweep's range is walked on two threads
    ->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv)
{
    // The labels of the grid need fonts, and fonts an application; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int nArgc = 1;
    QGuiApplication application(nArgc, argv);
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && !std::strcmp(argv[i], "--smoke"))
            g_nCount = 10000;
        else
            args.push_back(argv[i]);
    }
    std::string szMinTime = "--benchmark_min_time=0.000001";
    if (g_nCount != 1000000)
        args.push_back(szMinTime.data());
    int nArgs = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&nArgs, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
