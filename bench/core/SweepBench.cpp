// Cost of processing one complete sweep, and of one cepstrum-sized transform.
#include "Command.h"
#include "FFT.h"
#include "FreqPlan.h"
#include "Plans.h"
#include "SweepProc.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

using namespace myrl;

static void BM_ProcessSweep(benchmark::State& state) {
    MeasState s;
    SetPlan(s);
    s.AvrNum = 64;
    AvrReset(s);
    std::string reply;
    for (int i = 0; i < kPointCount; ++i) {
        reply += EncodeReading((i * 37) & 0xFF);
    }
    // Fill the ring and the calibration first, so the measured sweeps average 64 slots.
    for (int k = 0; k < 70; ++k) {
        s.ReplyText = reply;
        ProcessReply(s, "CAL", false);
    }
    for (auto _ : state) {
        s.ReplyText = reply;
        benchmark::DoNotOptimize(ProcessReply(s, "NORM", true));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ProcessSweep);

static void BM_CepstrumFFT(benchmark::State& state) {
    std::vector<double> re(4096), im(4096);
    for (auto _ : state) {
        std::fill(re.begin(), re.end(), 0.0);
        std::fill(im.begin(), im.end(), 0.0);
        for (int i = 0; i < 256; ++i) {
            re[static_cast<size_t>(i)] = std::sin(0.1 * i);
        }
        benchmark::DoNotOptimize(FFT(re, im, 256, 4096, "Gabor4"));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CepstrumFFT);
