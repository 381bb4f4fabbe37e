#include "DeviceModels.h"

#include "Rnd.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace myrl::sim {

namespace {

constexpr double kLightMps = 299792458.0;

double ToDb(double magnitude) {
    return magnitude > 0 ? 20.0 * std::log10(magnitude) : kFloorDb;
}

double ButterworthDb(double x, int order) {
    return -10.0 * std::log10(1.0 + std::pow(x * x, order));
}

} // namespace

std::optional<DeviceKind> DeviceKindFromName(std::string_view name) {
    for (auto k : {DeviceKind::Thru, DeviceKind::Bandpass, DeviceKind::Lowpass, DeviceKind::Open,
                   DeviceKind::Short, DeviceKind::Cable}) {
        if (name == DeviceKindName(k)) {
            return k;
        }
    }
    return std::nullopt;
}

const char* DeviceKindName(DeviceKind kind) {
    switch (kind) {
    case DeviceKind::Thru:
        return "thru";
    case DeviceKind::Bandpass:
        return "bandpass";
    case DeviceKind::Lowpass:
        return "lowpass";
    case DeviceKind::Open:
        return "open";
    case DeviceKind::Short:
        return "short";
    case DeviceKind::Cable:
        return "cable";
    }
    return "?";
}

double ThruDb(double freqHz) {
    return -0.2 * std::sqrt(std::max(freqHz, 0.0) / 100e6);
}

double BandpassDb(double freqHz, double centreHz, double bandwidthHz, int order) {
    if (freqHz <= 0 || centreHz <= 0 || bandwidthHz <= 0) {
        return kFloorDb;
    }
    double x = (freqHz / centreHz - centreHz / freqHz) * centreHz / bandwidthHz;
    return std::max(ButterworthDb(x, order), kFloorDb);
}

double LowpassDb(double freqHz, double cutoffHz, int order) {
    if (cutoffHz <= 0) {
        return kFloorDb;
    }
    return std::max(ButterworthDb(std::max(freqHz, 0.0) / cutoffHz, order), kFloorDb);
}

double ReflectionDb(double freqHz, double gamma, double directivityDb) {
    double leak = std::pow(10.0, -directivityDb / 20.0);
    double through = std::pow(10.0, ThruDb(freqHz) / 20.0);
    return ToDb(std::abs(gamma * through + leak));
}

double CableRoundTripSeconds(const DeviceConfig& device) {
    return 2.0 * device.CableLengthM / (device.VelocityFactor * kLightMps);
}

double CableDb(double freqHz, const DeviceConfig& device) {
    double leak = std::pow(10.0, -device.DirectivityDb / 20.0);
    double load = (device.LoadOhm - device.LineOhm) / (device.LoadOhm + device.LineOhm);
    double phase = -2.0 * std::numbers::pi * freqHz * CableRoundTripSeconds(device);
    std::complex<double> seen = leak + load * std::polar(1.0, phase);
    return ToDb(std::abs(seen));
}

std::pair<double, double> BandpassEdgesHz(double centreHz, double bandwidthHz) {
    // f^2 -+ bw f - c^2 = 0 for x = -+1.
    const double root = std::sqrt(bandwidthHz * bandwidthHz + 4 * centreHz * centreHz);
    return {(root - bandwidthHz) / 2, (root + bandwidthHz) / 2};
}

double RippleDb(double freqHz, const DeviceConfig& device) {
    if (device.RippleDb <= 0 || device.RipplePeriodHz <= 0) {
        return 0;
    }
    return -device.RippleDb / 2 *
           (1 - std::cos(2 * std::numbers::pi * freqHz / device.RipplePeriodHz));
}

double DeviceDb(const DeviceConfig& device, double freqHz) {
    return ModelDb(device, freqHz) + RippleDb(freqHz, device);
}

double ModelDb(const DeviceConfig& device, double freqHz) {
    switch (device.Kind) {
    case DeviceKind::Thru:
        return ThruDb(freqHz);
    case DeviceKind::Bandpass:
        return BandpassDb(freqHz, device.CentreHz, device.BandwidthHz, device.Order);
    case DeviceKind::Lowpass:
        return LowpassDb(freqHz, device.CutoffHz, device.Order);
    case DeviceKind::Open:
        return ReflectionDb(freqHz, 1.0, device.DirectivityDb);
    case DeviceKind::Short:
        return ReflectionDb(freqHz, -1.0, device.DirectivityDb);
    case DeviceKind::Cable:
        return CableDb(freqHz, device);
    }
    return kFloorDb;
}

int DetectorReading(double levelDb) {
    if (std::isnan(levelDb)) {
        return 0;
    }
    double counts = (std::clamp(levelDb, -100.0, 100.0) + 87.0) * 2.56;
    return std::clamp(rnd(counts), 0, 255);
}

uint32_t PointWord(const SweepCommand& cmd, int point) {
    return static_cast<uint32_t>(cmd.StartWord) +
           static_cast<uint32_t>(point) * static_cast<uint32_t>(cmd.StepWord);
}

double GeneratorHz(uint32_t word, double clockHz) {
    return word * clockHz / kWordsPerClock;
}

std::optional<double> DutHz(const GeneratorConfig& gen, uint32_t word) {
    double out = GeneratorHz(word, gen.ClockHz);
    if (out > 0.4 * gen.ClockHz) {
        return std::nullopt;
    }
    if (!gen.Frex) {
        return out;
    }
    double dut = kFrexMultiplier * out - FrexOffsetFor(gen.FrexRefHz);
    if (dut < 0) {
        return std::nullopt;
    }
    return dut;
}

} // namespace myrl::sim
