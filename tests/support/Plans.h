// Measurement states for tests and benchmarks: a run's start-up values with the default
// instrument constants, and a frequency plan with its tuning words and axis.
#pragma once

#include "FreqPlan.h"
#include "MeasState.h"

namespace myrl {

// Default plan: 10.65 to 10.75 MHz, 250 steps of 400 Hz, as the unit sweeps it.
inline void SetPlan(MeasState& s, double start = 10650000, double stop = 10750000,
                    bool zeroSpan = false, bool frex = false) {
    s.GenClock = 67108864;
    s.FrexRef = 12800000;
    ApplyStartupValues(s);
    s.StartFreq = start;
    s.StopFreq = stop;
    s.ZeroSpan = zeroSpan;
    CalcSweepWords(s, frex);
    CalcFreqAxis(s, frex);
}

} // namespace myrl
