// The frequency plan: tuning words from the sweep limits, the per-point frequency
// axis, and the sweep-time code.
#pragma once

#include "MeasState.h"

#include <cstdint>

namespace myrl {

// StartWord and StepWord from StartFreq, StopFreq, ZeroSpan, FreqRes, FrexOffset and
// SweepSteps; `frex` is the state of the FREX box.
void CalcSweepWords(MeasState& s, bool frex);

// FreqAxis[0..PointNum] from the tuning words (32-bit word arithmetic), or the sweep
// position in percent in zero span.
void CalcFreqAxis(MeasState& s, bool frex);

// The sweep-time code 0..188 sent for the selected sweep-time item (0..16).
int32_t SweepCode(double sweepTimeIdx);

// The sweep time in seconds of a sweep-time item.
double SweepSeconds(double sweepTimeIdx);

} // namespace myrl
