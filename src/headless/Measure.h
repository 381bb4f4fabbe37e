// `myrl measure`: one measurement on the instrument core, without windows, a display or Qt:
// the port, the plan and settings of the command line (or the folder's parameter file),
// sweeps until the average has settled, then the trace as a file and a summary.
#pragma once

#include "MeasureOptions.h"

#include <string>
#include <vector>

namespace myrl {

// Exit statuses of a run without windows.
constexpr int kExitDone = 0;
constexpr int kExitFail = 1; // the result lies outside its limit lines
constexpr int kExitUsage = 2;
constexpr int kExitUnit = 3;
constexpr int kExitFile = 4;
constexpr int kExitInterrupted = 130;

// Runs the measurement `o` describes; reports on standard error (one English line per
// failure, naming the device or file and the reason) and returns the exit status.
int RunMeasure(const MeasureOptions& o);

// The whole subcommand: `args` are the words after "measure".
int MeasureMain(const std::vector<std::string>& args);

} // namespace myrl
