// Cost of one cepstrum step: mean removal, 4096-point transform, magnitudes, delays,
// scale and caption, and the copy of the 1024 drawn bins.
#include "Cepstrum.h"
#include "FreqPlan.h"
#include "Plans.h"

#include <benchmark/benchmark.h>

#include <cmath>

using namespace myrl;

static void BM_CepstrumStep(benchmark::State& state) {
    MeasState s;
    SetPlan(s);
    for (size_t k = 0; k < kArrayLen; ++k) {
        s.NormLevel[k] = -20 + 3 * std::cos(2 * 3.14159265358979 * s.FreqAxis[k] / 10000);
    }
    for (auto _ : state) {
        auto v = CepstrumStep(s, 10);
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(BM_CepstrumStep);
