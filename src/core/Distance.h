// Distance to a reflection from its delay in the cepstrum (delay) view: the delay of a
// reflection there is the round trip, so the one-way distance is delay * c * VF / 2.
#pragma once

#include <optional>
#include <span>
#include <string>

namespace myrl {

constexpr double kLightMps = 299792458.0;
constexpr double kMetresPerFoot = 0.3048;

// Common cable dielectrics and their velocity factors.
struct CableType {
    const char* Name;
    double VelocityFactor;
};
constexpr CableType kCableTypes[] = {
    {"solid PE 0.66", 0.66}, {"foam PE 0.82", 0.82}, {"PTFE 0.70", 0.70}, {"air 0.98", 0.98}};

// One-way distance in metres of a reflection `roundTripSeconds` away on a line of
// velocity factor `vf`.
double OneWayDistanceM(double roundTripSeconds, double vf);
double MetresToFeet(double metres);

// A delay as people read one: four significant digits in ns, µs, ms or s ("123.4 ns",
// "2.500 µs"), the decimal separator given.
std::string DelayText(double seconds, char decimalSep = '.');

// The highest peak of a cepstrum magnitude curve beyond the slope falling from bin 0 (the
// curve's own low-delay lobe), as a fractional bin from a parabola through the peak and
// its neighbours; nothing when the curve only falls or is shorter than three bins.
std::optional<double> HighestPeakBin(std::span<const double> magnitude);

} // namespace myrl
