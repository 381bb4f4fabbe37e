// One redraw of Graph1 as the sweep cycle runs it at every step: 449 x 283 chart, ten
// divisions, reference line, a 256-point trace, two markers and the readout texts.
#include "Draw.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {

void BM_RedrawResponse(benchmark::State& bs) {
    myrl::GraphPlot graph(449, 283);
    graph.XGridNum = 10;
    graph.YGridNum = 10;
    graph.RefXEn = false;
    graph.RefClr = myrl::Rgb(255, 255, 0);
    graph.Xmin = 10650000;
    graph.Xmax = 10750000;
    graph.Ymin = -90;
    graph.Ymax = 10;

    auto state = std::make_unique<myrl::MeasState>();
    state->PointNum = myrl::kPointCount;
    state->TraceClr = myrl::Rgb(0, 255, 0);
    state->Marker1X = 90;
    state->Marker2X = 358;
    for (int i = 0; i <= myrl::kPointCount; ++i) {
        state->FreqAxis[i] = 10650000 + 100000.0 * i / myrl::kPointCount;
        // A resonance with some ripple, so the trace has steep and shallow segments.
        const double d = (i - 128) / 12.0;
        state->DispTrace[i] = -60 + 55 / (1 + d * d) + 3 * std::sin(i * 0.7);
    }

    for (auto _ : bs) {
        myrl::MarkerReadouts r = myrl::RedrawResponse(graph, *state, false, ',', '.');
        benchmark::DoNotOptimize(r);
        benchmark::DoNotOptimize(graph.canvas().Bits());
    }
}
BENCHMARK(BM_RedrawResponse);

} // namespace
