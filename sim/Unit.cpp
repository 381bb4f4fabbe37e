#include "Unit.h"

#include "UnitConstants.h"

#include <algorithm>

namespace myrl::sim {

namespace {

bool Chance(double p, Rng& rng) {
    if (p <= 0) {
        return false;
    }
    if (p >= 1) {
        return true;
    }
    return std::uniform_real_distribution<double>(0.0, 1.0)(rng) < p;
}

// Characters a corrupted reading may show: never a hexadecimal digit, never CR, LF,
// XON or XOFF.
constexpr char kJunkChars[] = "GHIJKLMNOPQRSTUVWXYZ?*#";

constexpr char kXoff = 0x13;

} // namespace

std::vector<int> SweepReadings(const SweepCommand& cmd, const UnitConfig& unit, Rng& rng) {
    std::vector<int> readings(kPointCount);
    std::normal_distribution<double> noise(0.0, 1.0);
    for (int i = 0; i < kPointCount; ++i) {
        auto freq = DutHz(unit.Generator, PointWord(cmd, i));
        double level = freq ? DeviceDb(unit.Device, *freq) : kFloorDb;
        if (unit.Faults.NoiseDb > 0) {
            level += unit.Faults.NoiseDb * noise(rng);
        }
        readings[static_cast<size_t>(i)] = DetectorReading(level);
    }
    return readings;
}

std::string ReplyText(const std::vector<int>& readings) {
    std::string text;
    text.reserve(readings.size() * 2);
    for (int r : readings) {
        text += EncodeReading(r);
    }
    return text;
}

PlannedReply PlanReply(const SweepCommand& cmd, const UnitConfig& unit, int commandIndex,
                       Rng& rng) {
    const FaultConfig& f = unit.Faults;
    PlannedReply plan;
    plan.HangupAfter = f.HangupAfter > 0 && commandIndex == f.HangupAfter;
    if (Chance(f.Silence, rng)) {
        plan.Silent = true;
        plan.Cut = plan.HangupAfter;
        return plan;
    }
    if (Chance(f.XoffNoise, rng)) {
        plan.Text.assign(1, kXoff);
        plan.Cut = true;
        return plan;
    }
    plan.Text = ReplyText(SweepReadings(cmd, unit, rng));
    if (f.StallAfter >= 0 && Chance(f.StallProb, rng)) {
        plan.Text.resize(std::min<size_t>(plan.Text.size(), static_cast<size_t>(f.StallAfter)));
        plan.Cut = true;
    } else {
        plan.Text += f.Trailer;
    }
    if (f.Corrupt > 0) {
        std::uniform_int_distribution<size_t> pick(0, sizeof(kJunkChars) - 2);
        size_t digits = std::min<size_t>(plan.Text.size(), 512);
        for (size_t k = 0; k < digits; ++k) {
            if (Chance(f.Corrupt, rng)) {
                plan.Text[k] = kJunkChars[pick(rng)];
            }
        }
    }
    if (plan.HangupAfter && f.HangupChars >= 0 &&
        static_cast<size_t>(f.HangupChars) < plan.Text.size()) {
        plan.Text.resize(static_cast<size_t>(f.HangupChars));
        plan.Cut = true;
    }
    return plan;
}

} // namespace myrl::sim
