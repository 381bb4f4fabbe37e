// What a sweep is measured and shown with, as one value: the frequency plan, FREX, the
// sweep-time item, the averaging count, the mode, the level or SWR view, the delay view and
// the reference level. The instrument core holds the one in force; windows, scripts and
// remote clients change it through the core.
#pragma once

#include "FreqPlan.h"

#include <optional>
#include <string_view>

namespace myrl {

// The MODE list: the measured level as it is, normalised against the calibration tables,
// or taken as the calibration.
enum class MeasMode { Thru, Norm, Cal };

// "THRU", "NORM", "CAL": the items of MODE, as the sweep processing compares them.
const char* ModeText(MeasMode mode);
// The mode an item's text names (exactly, case included); nothing for any other text.
std::optional<MeasMode> ModeFromText(std::string_view text);

// The last item of the sweep-time list ("20s").
constexpr int kLastSweepTimeItem = kSweepTimeItemCount - 1;

struct SweepSettings {
    // The plan in hertz; in zero span the unit stays at StartFreq.
    double StartFreq = 0;
    double StopFreq = 0;
    bool ZeroSpan = false;
    bool Frex = true;
    int SweepTimeIdx = 1; // item of the sweep-time list, 0..16
    int AvrNum = 1;       // sweeps in the running average, 1..64
    MeasMode Mode = MeasMode::Thru;
    bool Swr = false;    // the SWR view in place of the level view
    bool Ceps = false;   // the delay (cepstrum) view is open
    double RefLevel = 0; // dB
    bool operator==(const SweepSettings&) const = default;
};

// Whether going from `before` to `after` restarts the running average: a new plan, FREX,
// sweep time, averaging count or mode does; the view, the delay view and the reference level
// do not.
bool RestartsAverage(const SweepSettings& before, const SweepSettings& after);

} // namespace myrl
