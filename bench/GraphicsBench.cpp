// How long a redraw after zoom or drag takes on the "Grafik" page: from the restart to the
// finished picture (the step's speed is 0, as fast as possible); and entering the page, which
// determines the range first.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTabWidget>
#include <QTimer>
#include <clocale>
#include <cstdlib>
#include <cstring>

#include "project/CProject.h"
#include "ui/CGraphicsPage.h"
#include "ui/CPaintBox.h"
#include "ui/CUserDialogs.h"
#include "ui/TMainForm.h"
#include "view/CFuncVars.h"

namespace {
// nCount + 1 samples of one visible function, drawn completely once; then each iteration zooms
// in and out (two restarts) and waits until both pictures are finished, or (bEnter) leaves the
// page for the notes and enters it again, waiting until the range and the picture are finished.
void Redraw(benchmark::State& state, const char* pszFormula, uint32_t nCount, bool bEnter = false)
{
    TMainForm form;
    form.FormCreate();
    form.resize(800, 600);
    form.show();
    CProject& project = *form.m_pDocument;
    project.SetFunction(1, pszFormula);
    CAnimationStep& step = *project.m_pFirstStep;
    step.m_bVisible[0] = true;
    step.SetStep(0, 20.0 / nCount);
    step.SetCount(0, nCount);
    CGraphicsPage& page = *form.GraphicsSheet;
    page.PaintTimer->stop();
    form.PageControl->setCurrentWidget(&page);
    while (page.DeterminingRange() || page.DrawVars())
        page.PaintTimerEvent();
    auto catchUp = [&page] {
        while (page.DrawVars())
            page.PaintTimerEvent();
    };
    if (bEnter) {
        for (auto _ : state) {
            form.PageControl->setCurrentWidget(form.NotesSheet);
            form.PageControl->setCurrentWidget(&page);
            while (page.DeterminingRange() || page.DrawVars())
                page.PaintTimerEvent();
        }
        state.SetItemsProcessed(state.iterations() * (int64_t(nCount) + 1));
        return;
    }
    for (auto _ : state) {
        page.ZoominButtonClick();
        catchUp();
        page.ZoomoutButtonClick();
        catchUp();
    }
    state.SetItemsProcessed(state.iterations() * 2 * (int64_t(nCount) + 1));
    state.counters["restarts"] = benchmark::Counter(double(state.iterations()) * 2, benchmark::Counter::kIsRate);
}

void BM_RedrawDefaultProject(benchmark::State& state)
{
    Redraw(state, "sin(x)*x^2", 100);
}
void BM_RedrawHundredThousandSamples(benchmark::State& state)
{
    Redraw(state, "sin(x)*x^2", 100000);
}
void BM_RedrawMillionSamples(benchmark::State& state)
{
    Redraw(state, "sin(x)*x^2", 1000000);
}
void BM_EnterPageHundredThousandSamples(benchmark::State& state)
{
    Redraw(state, "sin(x)*x^2", 100000, true);
}
void BM_EnterPageMillionSamples(benchmark::State& state)
{
    Redraw(state, "sin(x)*x^2", 1000000, true);
}
BENCHMARK(BM_RedrawDefaultProject)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RedrawHundredThousandSamples)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RedrawMillionSamples)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EnterPageHundredThousandSamples)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EnterPageMillionSamples)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // --smoke: one short iteration each, for the test suite.
    std::vector<char*> args(argv, argv + argc);
    std::string szMinTime = "--benchmark_min_time=0";
    for (auto& pArg : args)
        if (std::strcmp(pArg, "--smoke") == 0)
            pArg = szMinTime.data();
    int nArgs = static_cast<int>(args.size());
    QApplication application(nArgs, args.data());
    std::setlocale(LC_NUMERIC, "C");
    benchmark::Initialize(&nArgs, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
