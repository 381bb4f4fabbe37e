// Devices under test of the simulated analyser unit, the detector and the generator.
//
// Every model is a plain function of the frequency (Hz) reaching the device and returns
// the level at the detector in dB relative to the generator's output. Reflection models
// (open, short, cable) are seen through a return-loss bridge of finite directivity.
#pragma once

#include "Command.h"
#include "UnitConstants.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace myrl::sim {

// Level standing for "nothing reaches the detector": far below its range.
constexpr double kFloorDb = -200.0;

enum class DeviceKind { Thru, Bandpass, Lowpass, Open, Short, Cable };

struct DeviceConfig {
    DeviceKind Kind = DeviceKind::Thru;
    double CentreHz = 10.7e6;   // bandpass centre (geometric)
    double BandwidthHz = 100e3; // bandpass -3 dB bandwidth
    double CutoffHz = 10e6;     // lowpass -3 dB frequency
    int Order = 4;              // poles of the Butterworth prototype (bandpass, lowpass)
    double CableLengthM = 10.0; // cable model
    double VelocityFactor = 0.66;
    double LoadOhm = 75.0;       // termination at the far end of the cable
    double LineOhm = 50.0;       // impedance of bridge and cable
    double DirectivityDb = 30.0; // bridge directivity (open, short, cable)
    double RippleDb = 0.0;       // ripple on any device, peak to peak (0: none)
    double RipplePeriodHz = 1e6; // its period over frequency
};

std::optional<DeviceKind> DeviceKindFromName(std::string_view name);
const char* DeviceKindName(DeviceKind kind);

// 0 dB with a small loss rising with frequency (0.2 dB at 100 MHz, as sqrt(f)).
double ThruDb(double freqHz);
// Butterworth bandpass of `order` poles: exactly -3 dB at the two frequencies f with
// (f / centre - centre / f) * centre / bandwidth = +-1.
double BandpassDb(double freqHz, double centreHz, double bandwidthHz, int order);
// Butterworth lowpass: -3 dB at the cut-off.
double LowpassDb(double freqHz, double cutoffHz, int order);
// Full reflection (+1 open, -1 short) behind the thru loss, plus the bridge's leakage.
double ReflectionDb(double freqHz, double gamma, double directivityDb);
// Bridge looking into a lossless cable ending in LoadOhm: |leak + G * exp(-j 2 pi f tau)|
// with tau the round-trip delay; the curve ripples with period 1 / tau.
double CableDb(double freqHz, const DeviceConfig& device);
// Round-trip delay of the cable, seconds.
double CableRoundTripSeconds(const DeviceConfig& device);
// The two -3 dB frequencies of the bandpass (lower, upper): their difference is the
// bandwidth and their geometric mean the centre, exactly.
std::pair<double, double> BandpassEdgesHz(double centreHz, double bandwidthHz);
// The ripple: -RippleDb/2 * (1 - cos(2 pi f / RipplePeriodHz)), from 0 down to -RippleDb.
double RippleDb(double freqHz, const DeviceConfig& device);

// The device's level alone, and with the ripple.
double ModelDb(const DeviceConfig& device, double freqHz);
double DeviceDb(const DeviceConfig& device, double freqHz);

// Detector: rnd((dB + 87) * 2.56), limited to 0..255.
int DetectorReading(double levelDb);

struct GeneratorConfig {
    double ClockHz = kDefaultGenClock;
    bool Frex = false; // FREX extension attached
    double FrexRefHz = kDefaultFrexRef;
};

// Tuning word of point i: StartWord + i * StepWord in 32-bit arithmetic.
uint32_t PointWord(const SweepCommand& cmd, int point);
// Generator output for a tuning word: word * clock / 2^26.
double GeneratorHz(uint32_t word, double clockHz);
// Frequency reaching the device under test (32 * generator - FREX offset with the
// extension), or nothing when the generator is beyond its usable range (0.4 * clock)
// or the extension's output would be below 0 Hz.
std::optional<double> DutHz(const GeneratorConfig& gen, uint32_t word);

} // namespace myrl::sim
