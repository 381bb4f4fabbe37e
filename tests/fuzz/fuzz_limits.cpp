// The limits file reader and the verdict. The input is a limits file's bytes. A file that is
// refused names its line; one that reads writes a file that reads back to the same set and
// the same text, and its verdict against a band-pass-like trace (with a zero-span twin)
// holds together: failures within the positions tested, each once and in order, the verdict
// FAIL exactly when some margin is negative.
#include "FuzzSupport.h"
#include "LimitLines.h"

#include <cmath>
#include <string>
#include <vector>

using namespace myrl;

namespace {

// 251 points from 10.5 to 10.9 MHz of a peaked response.
struct Trace {
    std::vector<double> Freq, Level, Flat;
    Trace() {
        for (int i = 0; i <= 250; ++i) {
            const double f = 10.5e6 + 1600.0 * i;
            const double x = (f - 10.7e6) / 50e3;
            Freq.push_back(f);
            Level.push_back(-10 * std::log10(1 + std::pow(x * x, 4)));
            Flat.push_back(10.7e6);
        }
    }
};

void CheckVerdict(const LimitSet& set, const std::vector<double>& freq,
                  const std::vector<double>& value) {
    const LimitVerdict v = JudgeLimits(set, freq, value);
    FUZZ_CHECK(v.View == set.View);
    FUZZ_CHECK(v.Failing() <= v.Tested);
    if (v.Kind == VerdictKind::NoPoints) {
        FUZZ_CHECK(v.Tested == 0 && v.Failing() == 0);
        return;
    }
    FUZZ_CHECK(v.Tested > 0);
    FUZZ_CHECK((v.Kind == VerdictKind::Fail) == (v.WorstMargin < 0));
    FUZZ_CHECK((v.Kind == VerdictKind::Fail) == (v.Failing() > 0));
    for (size_t i = 1; i < v.Failures.size(); ++i) {
        FUZZ_CHECK(v.Failures[i - 1].Hz <= v.Failures[i].Hz);
        FUZZ_CHECK(!(v.Failures[i - 1] == v.Failures[i]));
    }
    for (const LimitFailure& f : v.Failures) {
        FUZZ_CHECK(f.Point < static_cast<int>(freq.size()));
        if (f.Point >= 0) {
            FUZZ_CHECK(f.Hz == freq[static_cast<size_t>(f.Point)]);
        }
    }
    (void)VerdictLine(v, ',');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Trace trace;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    LimitSet set;
    try {
        set = ParseLimitFile(input);
    } catch (const ELimitFileError& e) {
        const std::string what = e.what();
        FUZZ_CHECK(what.rfind("Line ", 0) == 0);
        FUZZ_CHECK(what.find(" of the limits file: ") != std::string::npos);
        FUZZ_CHECK(what.back() == '.');
        return 0;
    }
    FUZZ_CHECK(set.Segments.size() <= kMaxLimitSegments);
    const std::string written = FormatLimitFile(set);
    const LimitSet again = ParseLimitFile(written);
    FUZZ_CHECK(again == set);
    FUZZ_CHECK(FormatLimitFile(again) == written);
    CheckVerdict(set, trace.Freq, trace.Level);
    CheckVerdict(set, trace.Flat, trace.Level);
    const LimitSet tight = Tightened(set, 0.5);
    FUZZ_CHECK(tight.Segments.size() == set.Segments.size());
    return 0;
}
