#include "SweepSettings.h"

namespace myrl {

const char* ModeText(MeasMode mode) {
    switch (mode) {
    case MeasMode::Norm:
        return "NORM";
    case MeasMode::Cal:
        return "CAL";
    case MeasMode::Thru:
        break;
    }
    return "THRU";
}

std::optional<MeasMode> ModeFromText(std::string_view text) {
    for (MeasMode m : {MeasMode::Thru, MeasMode::Norm, MeasMode::Cal}) {
        if (text == ModeText(m)) {
            return m;
        }
    }
    return std::nullopt;
}

bool RestartsAverage(const SweepSettings& before, const SweepSettings& after) {
    return before.StartFreq != after.StartFreq || before.StopFreq != after.StopFreq ||
           before.ZeroSpan != after.ZeroSpan || before.Frex != after.Frex ||
           before.SweepTimeIdx != after.SweepTimeIdx || before.AvrNum != after.AvrNum ||
           before.Mode != after.Mode;
}

} // namespace myrl
