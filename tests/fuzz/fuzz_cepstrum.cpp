// The cepstrum step. Input (little-endian): FreqAxis[0] and FreqAxis[1] as doubles,
// PointNum and the delay plot's XGridNum as 32-bit integers, a byte whose value ','
// picks the comma as decimal separator, then the levels NormLevel[0..256] as doubles.
//
// Properties: a step that gives nothing leaves the state untouched; one that gives a
// view sets FftSize to 4096, delivers 1024 bins at k times one bin's delay with
// magnitudes not above the peak, and a scale label "<mantissa>E<exponent> sec/div".
#include "Cepstrum.h"
#include "FuzzSupport.h"

#include <string>

using namespace myrl;

namespace {

bool SameState(const MeasState& a, const MeasState& b) {
    return a.FftSize == b.FftSize && a.PointNum == b.PointNum &&
           std::memcmp(a.NormLevel.data(), b.NormLevel.data(), sizeof a.NormLevel) == 0 &&
           std::memcmp(a.FreqAxis.data(), b.FreqAxis.data(), sizeof a.FreqAxis) == 0 &&
           std::memcmp(a.RawLevel.data(), b.RawLevel.data(), sizeof a.RawLevel) == 0 &&
           std::memcmp(a.DispTrace.data(), b.DispTrace.data(), sizeof a.DispTrace) == 0;
}

void CheckLabel(const std::string& label, char sep) {
    const std::string tail = " sec/div";
    FUZZ_CHECK(label.size() > tail.size() &&
               label.compare(label.size() - tail.size(), tail.size(), tail) == 0);
    const std::string num = label.substr(0, label.size() - tail.size());
    // d<sep>ddd E sign digits, with an optional leading minus
    size_t i = num[0] == '-' ? 1 : 0;
    FUZZ_CHECK(num.size() >= i + 8);
    FUZZ_CHECK(num[i] >= '0' && num[i] <= '9' && num[i + 1] == sep);
    for (size_t k = i + 2; k < i + 5; ++k) {
        FUZZ_CHECK(num[k] >= '0' && num[k] <= '9');
    }
    FUZZ_CHECK(num[i + 5] == 'E' && (num[i + 6] == '+' || num[i + 6] == '-'));
    for (size_t k = i + 7; k < num.size(); ++k) {
        FUZZ_CHECK(num[k] >= '0' && num[k] <= '9');
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Reader in(data, size);
    static MeasState s; // large: kept, and set afresh for every input
    s = MeasState{};
    s.FreqAxis[0] = in.Take<double>();
    s.FreqAxis[1] = in.Take<double>();
    s.PointNum = in.Take<int32_t>();
    const auto grid = in.Take<int32_t>();
    const char sep = in.Take<uint8_t>() == ',' ? ',' : '.';
    for (size_t i = 0; i < kArrayLen && in.Left() > 0; ++i) {
        s.NormLevel[i] = in.Take<double>();
    }
    s.FftSize = -1;
    const MeasState before = s;

    const std::optional<CepstrumView> v = CepstrumStep(s, grid, sep);
    if (!v) {
        FUZZ_CHECK(SameState(s, before));
        return 0;
    }
    s.FftSize = before.FftSize;
    FUZZ_CHECK(SameState(s, before)); // FftSize is all the step changes
    FUZZ_CHECK(v->X.size() == static_cast<size_t>(kCepstrumPlotPoints));
    FUZZ_CHECK(v->Y.size() == static_cast<size_t>(kCepstrumPlotPoints));
    FUZZ_CHECK(v->Xmin == 0);
    FUZZ_CHECK(fuzz::SameBits(v->Ymax, v->Peak / 0.9));
    const double dt = v->X[1];
    for (size_t k = 0; k < v->X.size(); ++k) {
        FUZZ_CHECK(fuzz::SameBits(v->X[k], static_cast<double>(k) * dt));
        FUZZ_CHECK(!(v->Y[k] < 0) && !(v->Y[k] > v->Peak));
    }
    CheckLabel(v->DelayDiv, sep);
    return 0;
}
