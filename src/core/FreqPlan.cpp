#include "FreqPlan.h"

#include "Rnd.h"

#include <charconv>
#include <cmath>

namespace myrl {

namespace {

const char* const kSweepTimeTexts[kSweepTimeItemCount] = {
    "<0.5", "0.5s", "1.0s", "1.5s", "2.0s", "2.5s", "3.0s", "3.5s", "4.0s",
    "4.5s", "5.0s", "5.5s", "6.0s", "8.0s", "10s",  "15s",  "20s"};

} // namespace

void CalcSweepWords(MeasState& s, bool frex) {
    if (!s.ZeroSpan) {
        if (!frex) {
            s.StartWord = floorInt(s.StartFreq / s.FreqRes);
            s.StepWord = ceilInt((s.StopFreq - s.StartFreq) / s.FreqRes / s.SweepSteps);
        } else {
            s.StartWord = floorInt((s.StartFreq + s.FrexOffset) / kFrexMultiplier / s.FreqRes);
            s.StepWord =
                ceilInt((s.StopFreq - s.StartFreq) / kFrexMultiplier / s.FreqRes / s.SweepSteps);
        }
    } else {
        if (!frex) {
            s.StartWord = nearestInt(((s.StopFreq + s.StartFreq) / 2) / s.FreqRes);
        } else {
            s.StartWord = nearestInt(((s.StopFreq + s.StartFreq) / 2 + s.FrexOffset) /
                                     kFrexMultiplier / s.FreqRes);
        }
        s.StepWord = 0;
    }
}

void CalcFreqAxis(MeasState& s, bool frex) {
    for (int32_t i = 0; i <= s.PointNum && i < kArrayLen; ++i) {
        if (s.ZeroSpan) {
            s.FreqAxis[static_cast<size_t>(i)] = static_cast<double>(i) * 100 / s.SweepSteps - 1;
            continue;
        }
        // The unit adds the step word in a 32-bit register: wrap as it does.
        auto word =
            static_cast<int32_t>(static_cast<uint32_t>(s.StartWord) +
                                 static_cast<uint32_t>(i) * static_cast<uint32_t>(s.StepWord));
        double f = static_cast<double>(word) * s.FreqRes;
        if (frex) {
            f = f * kFrexMultiplier - s.FrexOffset;
        }
        s.FreqAxis[static_cast<size_t>(i)] = f;
    }
}

double SweepSeconds(double sweepTimeIdx) {
    double t = sweepTimeIdx;
    if (t == 13) {
        t += 3;
    } else if (t == 14) {
        t += 6;
    } else if (t == 15) {
        t += 15;
    } else if (t == 16) {
        t += 24;
    }
    return t / 2;
}

int32_t SweepCode(double sweepTimeIdx) {
    int32_t code = rnd(SweepSeconds(sweepTimeIdx) * 9.5 - 2);
    return code <= 0 ? 0 : code;
}

} // namespace myrl

namespace myrl {

std::optional<int> SweepTimeItemFromText(std::string_view text) {
    for (int i = 0; i < kSweepTimeItemCount; ++i) {
        if (text == kSweepTimeTexts[i]) {
            return i;
        }
    }
    std::string_view t = text;
    if (!t.empty() && (t.back() == 's' || t.back() == 'S')) {
        t.remove_suffix(1);
    }
    double seconds = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), seconds);
    if (t.empty() || r.ec != std::errc() || r.ptr != t.data() + t.size() ||
        !std::isfinite(seconds)) {
        return std::nullopt;
    }
    for (int i = 0; i < kSweepTimeItemCount; ++i) {
        if (SweepSeconds(i) == seconds) {
            return i;
        }
    }
    return std::nullopt;
}

std::string SweepTimeItemText(int item) {
    return item >= 0 && item < kSweepTimeItemCount ? kSweepTimeTexts[item] : "";
}

} // namespace myrl
