// Processing of a complete sweep reply: decoding into the averaging ring, averaging,
// level conversion, THRU / CAL / NORM, reference level and SWR. Plain functions on
// the measurement state; user-interface thread only.
#pragma once

#include "MeasState.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace myrl {

// Restarts the running average (the ring itself keeps its contents) and counts the restart
// in AvrResets.
void AvrReset(MeasState& s);

// The averaging status numbers shown for a processed sweep.
struct AvrStatus {
    int32_t Count = 0;
    int32_t Num = 0;
    bool operator==(const AvrStatus&) const = default;
};

// "Averaging   <count> / <num>" (three blanks after the word).
std::string AvrStatusText(const AvrStatus& status);

// Calibration level at x: the last CAL sweep's level interpolated over CalFreq, the
// end entries held flat outside. The interval is found by scanning down for the last entry
// below x, so it always rises, even over repeated entries (a stalled plan).
double CalLookup(const MeasState& s, double x);

// CalFreq[0..255] never falls (repeated entries allowed, no NaN): every plan with StartFreq
// below StopFreq gives such an axis.
bool CalAxisRises(const MeasState& s);
// CalLookup for an axis that rises (CalAxisRises): the same interval and value, found by
// halving instead of scanning.
double CalLookupRising(const MeasState& s, double x);

// Processes the complete reply in s.ReplyText for points 0..PointNum-1, with `mode` the
// MODE text ("THRU", "CAL", "NORM"; any other text leaves NormLevel as it was) and
// `swr` the SWR box. FreqAxis must already hold this sweep's axis. Advances the
// averaging counters and returns the status numbers of this sweep.
//
// AvrNum outside 1..64 never reaches the ring: it is taken as the nearest of 1 and 64.
AvrStatus ProcessReply(MeasState& s, std::string_view mode, bool swr);

// SWR of a level in dB: F = 10^(dB/20) limited to 0.99, (1 + F) / (1 - F).
double SwrFromLevel(double levelDb);

} // namespace myrl
