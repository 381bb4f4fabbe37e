// The frequency plan: tuning words from the sweep limits, the per-point frequency
// axis, and the sweep-time code.
#pragma once

#include "MeasState.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// The items of the sweep-time list: 0 ("<0.5") to 16 ("20s").
constexpr int kSweepTimeItemCount = 17;
// The item a text names: the list's own texts ("<0.5", "0.5s", ..., "20s"), or the sweep
// time in seconds with or without the "s" ("2", "2.0s", "0.5"); a full stop for decimals.
std::optional<int> SweepTimeItemFromText(std::string_view text);
// The list's text of an item: "<0.5", "0.5s" ... "20s"; empty for any other number.
std::string SweepTimeItemText(int item);

} // namespace myrl
