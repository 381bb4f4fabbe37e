// One cepstrum step as a completed sweep runs it with the delay view open: the transform
// of the 256 levels, Graph2's scale and caption, then Clear and the 1024-bin trace on the
// 449 x 89 chart. The chart is set up as the display window sets up Graph2.
#include "Cepstrum.h"
#include "FreqPlan.h"
#include "GraphPlot.h"
#include "Plans.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <numbers>

namespace {

myrl::GraphPlot makeGraph2() {
    myrl::GraphPlot graph2(449, 89);
    graph2.XGridNum = 10;
    graph2.YGridNum = 2;
    graph2.Xmin = -1;
    graph2.Xmax = 1024;
    graph2.Ymin = -1;
    graph2.Ymax = 4000;
    graph2.RefXEn = false;
    graph2.RefYEn = false;
    return graph2;
}

std::unique_ptr<myrl::MeasState> makeState() {
    // CENTER/SPAN 10.7 MHz / 100 kHz (400 Hz spacing) with a 1 dB ripple of period 10 kHz,
    // as a cable of about 100 us round trip shows it.
    auto s = std::make_unique<myrl::MeasState>();
    myrl::SetPlan(*s);
    for (size_t k = 0; k < myrl::kArrayLen; ++k) {
        s->NormLevel[k] = -14 + std::cos(2 * std::numbers::pi * s->FreqAxis[k] / 10000);
    }
    return s;
}

void BM_CepstrumStepAndDraw(benchmark::State& bs) {
    myrl::GraphPlot graph2 = makeGraph2();
    auto s = makeState();
    for (auto _ : bs) {
        auto view = myrl::CepstrumStep(*s, graph2.XGridNum);
        graph2.Ymax = view->Ymax;
        graph2.Xmin = view->Xmin;
        graph2.Xmax = view->Xmax;
        graph2.Clear();
        graph2.Plot(view->X, view->Y, myrl::kCepstrumPlotPoints, s->TraceClr);
        benchmark::DoNotOptimize(view->DelayDiv);
        benchmark::DoNotOptimize(graph2.canvas().Bits());
    }
}
BENCHMARK(BM_CepstrumStepAndDraw);

// The drawing alone: Clear and the 1024-bin trace.
void BM_Graph2Draw(benchmark::State& bs) {
    myrl::GraphPlot graph2 = makeGraph2();
    auto s = makeState();
    auto view = myrl::CepstrumStep(*s, graph2.XGridNum);
    graph2.Ymax = view->Ymax;
    graph2.Xmin = view->Xmin;
    graph2.Xmax = view->Xmax;
    for (auto _ : bs) {
        graph2.Clear();
        graph2.Plot(view->X, view->Y, myrl::kCepstrumPlotPoints, s->TraceClr);
        benchmark::DoNotOptimize(graph2.canvas().Bits());
    }
}
BENCHMARK(BM_Graph2Draw);

} // namespace
