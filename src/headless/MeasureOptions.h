// The command line of `myrl measure`: a measurement without windows, for scripts and test
// stands. Parsed without Qt.
#pragma once

#include "FreqPlan.h"
#include "SweepSettings.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace myrl {

struct MeasureOptions {
    bool Help = false;
    std::string Port;    // the device; empty: the port of the folder's parameter file
    std::string Workdir; // the folder of myrl_prm.txt and the COMn links; empty: this one

    // The plan: the folder's parameter file's, or one given here. The texts are whole hertz
    // already (the frequency entry's syntax, "10.7M", "500k", normalised).
    enum class Plan { FromFile, StartStop, CentreSpan, ZeroSpan };
    Plan PlanKind = Plan::FromFile;
    std::string Freq1; // start, centre, or the zero-span frequency
    std::string Freq2; // stop or span ("0" in zero span)

    std::optional<bool> Frex;       // --frex / --no-frex; else the parameter file's
    int SweepTimeItem = 1;          // item of the sweep-time list ("0.5s" unless given)
    int Average = 1;                // sweeps in the running average
    MeasMode Mode = MeasMode::Thru; // THRU, or NORM against CalFile
    std::string CalFile;            // a calibration file of the tools window
    bool Swr = false;               // the SWR view
    int Sweeps = 0;                 // completed sweeps wanted after the average settled
    std::string Out;                // .csv, .s1p, or "-" (the CSV on standard output)
    bool Json = false;              // a summary object on standard output
    std::optional<double> TimeoutSeconds;
    std::string LimitsFile; // limit lines to judge the result against (exit 1 on FAIL)
    std::string SetupFile;  // a set-up of the tools window: what the options do not say

    // The options given, by their long names ("--average"): those override a set-up's.
    std::set<std::string> Given;

    // One line when the command line is not understood (exit 2), else empty.
    std::string Error;
};

// `args` are the words after "measure".
MeasureOptions ParseMeasureOptions(const std::vector<std::string>& args);

// The text of `myrl measure --help`.
std::string MeasureHelp();

} // namespace myrl
