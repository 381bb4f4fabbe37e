#include "FreqPlan.h"

#include "Rnd.h"

namespace myrl {

void CalcSweepWords(MeasState& s, bool frex) {
    if (!s.ZeroSpan) {
        if (!frex) {
            s.StartWord = floorInt(s.StartFreq / s.FreqRes);
            s.StepWord = ceilInt((s.StopFreq - s.StartFreq) / s.FreqRes / s.SweepSteps);
        } else {
            s.StartWord = floorInt((s.StartFreq + s.FrexOffset) / 32 / s.FreqRes);
            s.StepWord = ceilInt((s.StopFreq - s.StartFreq) / 32 / s.FreqRes / s.SweepSteps);
        }
    } else {
        if (!frex) {
            s.StartWord = nearestInt(((s.StopFreq + s.StartFreq) / 2) / s.FreqRes);
        } else {
            s.StartWord =
                nearestInt(((s.StopFreq + s.StartFreq) / 2 + s.FrexOffset) / 32 / s.FreqRes);
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
            f = f * 32 - s.FrexOffset;
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
