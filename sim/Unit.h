// The simulated analyser unit's answer to one command: readings from the device model,
// then the configured faults. Pure apart from the random generator it is given.
#pragma once

#include "Command.h"
#include "DeviceModels.h"
#include "Pacing.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace myrl::sim {

// Probabilities are 0..1 per command (per character for Corrupt); counts < 0 or 0 are off
// as noted.
struct FaultConfig {
    double Silence = 0.0;           // probability of no reply at all
    double XoffNoise = 0.0;         // probability that line noise eats the reply and leaves
                                    // a lone XOFF (0x13), which stops the program's output
    int StallAfter = -1;            // a stalled reply stops after this many characters (< 0: off)
    double StallProb = 1.0;         // probability that a reply stalls when StallAfter >= 0
    double Corrupt = 0.0;           // per-character probability of a non-hexadecimal character
    std::string Trailer;            // extra characters after the 512 (e.g. "\r\n")
    int HangupAfter = 0;            // close the line with the reply to this command (0: never)
    int HangupChars = -1;           // ... after this many of its characters (< 0: whole reply)
    double ReturnAfterSeconds = -1; // come back under the same link this long after (< 0: never)
    double FirstDelaySeconds = 0;   // extra delay before the first character
    double NoiseDb = 0;             // standard deviation of Gaussian detector noise
};

struct UnitConfig {
    GeneratorConfig Generator;
    DeviceConfig Device;
    FaultConfig Faults;
    PacingConfig Pacing;
    uint64_t Seed = 1;
};

using Rng = std::mt19937_64;

// Readings of the 256 points: the device model at each point's frequency, plus noise.
std::vector<int> SweepReadings(const SweepCommand& cmd, const UnitConfig& unit, Rng& rng);

// 512 upper-case hexadecimal characters for 256 readings.
std::string ReplyText(const std::vector<int>& readings);

struct PlannedReply {
    std::string Text;         // exactly what goes on the line
    bool Silent = false;      // Silence fault: nothing at all
    bool Cut = false;         // stalled or cut by the hang-up: not a complete reply
    bool HangupAfter = false; // close the line once Text is out
};

// The reply to the `commandIndex`-th command (1-based) of the current connection.
PlannedReply PlanReply(const SweepCommand& cmd, const UnitConfig& unit, int commandIndex, Rng& rng);

} // namespace myrl::sim
