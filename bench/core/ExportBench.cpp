// Cost of one data export: the 251 lines, and the whole-file replacement on disk
// (temporary file, fsync, rename) in a temporary folder.
#include "Export.h"
#include "FreqPlan.h"
#include "Plans.h"
#include "TempDir.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

using namespace myrl;
namespace fs = std::filesystem;

namespace {

MeasState exportState() {
    MeasState s;
    SetPlan(s);
    for (size_t k = 0; k < kArrayLen; ++k) {
        s.DispTrace[k] = -23.4812345678901 + 0.0173 * static_cast<double>(k);
    }
    return s;
}

} // namespace

static void BM_ExportBytes(benchmark::State& state) {
    const MeasState s = exportState();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ExportBytes(s));
    }
}
BENCHMARK(BM_ExportBytes);

static void BM_ExportData(benchmark::State& state) {
    const MeasState s = exportState();
    const TempDir dir("myrl-export-bench");
    const std::string file = (dir / kExportFileName).string();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ExportData(s, file));
    }
}
BENCHMARK(BM_ExportData)->UseRealTime();
