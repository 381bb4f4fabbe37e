// The FFT with arbitrary sizes and windows. Input: N and M (32-bit, little-endian), a
// byte that sets the arrays' length (N - 1, N or N + 1; a few values when N is beyond
// what is worth allocating), a byte that picks the mode, then the record as doubles.
//
// Properties: a refused size leaves both arrays exactly as they were; an accepted one
// is a power of two within the arrays, at least M, and touches nothing beyond N; for a
// moderate record the inverse transform brings back the windowed record.
#include "FFT.h"
#include "FuzzSupport.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

using namespace myrl;

namespace {

// Arrays up to just over the program's transform of 2^12: larger sizes only slow the
// search down (the sizes near 2^19 and 2^20 are the unit tests' part).
constexpr int64_t kMaxLen = (int64_t{1} << 12) + 8;

const std::string_view kModes[] = {"Hamming", "Hanning", "Blackman", "Hcos",   "Gabor4",
                                   "Inv",     "",        "hamming",  "GABOR4", "Inv "};

bool Moderate(const std::vector<double>& v, size_t n) {
    return std::all_of(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(n),
                       [](double x) { return std::isfinite(x) && std::fabs(x) <= 1e6; });
}

// For a moderate record: the inverse of the result is the windowed, zero-padded record.
void CheckInverse(const std::vector<double>& re0, const std::vector<double>& im0,
                  std::vector<double> re, std::vector<double> im, int32_t m, int32_t n,
                  std::string_view mode) {
    if (mode == "Inv" || n > 1024 || !Moderate(re0, static_cast<size_t>(m)) ||
        !Moderate(im0, static_cast<size_t>(m))) {
        return;
    }
    FUZZ_CHECK(FFT(re, im, n, n, "Inv"));
    double scale = 1;
    for (int32_t i = 0; i < m; ++i) {
        scale = std::max({scale, std::fabs(re0[static_cast<size_t>(i)]),
                          std::fabs(im0[static_cast<size_t>(i)])});
    }
    const double tol = 1e-9 * scale * (1 + std::log2(static_cast<double>(n)));
    for (int32_t i = 0; i < n; ++i) {
        const auto k = static_cast<size_t>(i);
        const double w = i < m ? WindowWeight(mode, i, m) : 0;
        const double er = i < m ? w * re0[k] : 0;
        const double ei = i < m ? w * im0[k] : 0;
        FUZZ_CHECK(std::fabs(re[k] - er) <= tol && std::fabs(im[k] - ei) <= tol);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Reader in(data, size);
    const auto n = in.Take<int32_t>();
    const auto m = in.Take<int32_t>();
    const auto lenSel = in.Take<uint8_t>();
    const std::string_view mode = kModes[in.Take<uint8_t>() % std::size(kModes)];

    int64_t len = int64_t{n} + lenSel % 3 - 1;
    if (len < 0 || len > kMaxLen) {
        len = lenSel % 17;
    }
    const auto ulen = static_cast<size_t>(len);
    std::vector<double> re(ulen), im(ulen);
    const size_t given = std::min(ulen, in.Left() / 16);
    for (size_t i = 0; i < given; ++i) {
        re[i] = in.Take<double>();
        im[i] = in.Take<double>();
    }
    for (size_t i = given; i < ulen; ++i) { // a recognisable filling past the record
        re[i] = static_cast<double>(i % 251) - 7.25;
        im[i] = -static_cast<double>(i % 241);
    }
    const std::vector<double> re0 = re, im0 = im;

    const bool done = FFT(re, im, m, n, mode);
    auto untouchedFrom = [&](size_t from) {
        for (size_t i = from; i < ulen; ++i) {
            if (!fuzz::SameBits(re[i], re0[i]) || !fuzz::SameBits(im[i], im0[i])) {
                return false;
            }
        }
        return true;
    };
    if (!done) {
        FUZZ_CHECK(untouchedFrom(0));
        return 0;
    }
    FUZZ_CHECK(n >= 1 && (n & (n - 1)) == 0);
    FUZZ_CHECK(m >= 0 && m <= n && n <= len);
    FUZZ_CHECK(untouchedFrom(static_cast<size_t>(n)));
    CheckInverse(re0, im0, re, im, m, n, mode);
    return 0;
}
