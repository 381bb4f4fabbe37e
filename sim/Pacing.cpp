#include "Pacing.h"

#include "UnitConstants.h"

#include <algorithm>

namespace myrl::sim {

double SweepSecondsFromCode(int sweepCode) {
    return ((sweepCode & 0xFF) + 2) / 9.5;
}

double CommandSeconds(std::size_t lineChars, const PacingConfig& pacing) {
    return pacing.Fast ? 0.0 : static_cast<double>(lineChars + 1) * pacing.CharSeconds;
}

std::vector<double> CharSchedule(int sweepCode, std::size_t chars, const PacingConfig& pacing,
                                 double firstDelaySeconds) {
    std::vector<double> due(chars, firstDelaySeconds);
    if (pacing.Fast) {
        return due;
    }
    double sweep = SweepSecondsFromCode(sweepCode);
    double lineFree = 0.0; // when the line can take the next character
    for (std::size_t k = 0; k < chars; ++k) {
        double point = static_cast<double>(std::min<std::size_t>(k / 2, kPointCount - 1));
        double ready = point / kPointCount * sweep;
        double start = std::max(lineFree, ready);
        due[k] = firstDelaySeconds + start;
        lineFree = start + pacing.CharSeconds;
    }
    return due;
}

} // namespace myrl::sim
