// Options of the simulator, shared by its command line and its run-time control lines
// (the same options, one set per line on standard input).
#pragma once

#include "Simulator.h"

#include <string>
#include <vector>

namespace myrl::sim {

struct SimOptions {
    SimConfig Config;
    bool Help = false;
    bool Version = false;
    bool IgnoreStdin = false;
};

// Applies `args` (without the program name) to `options`; returns one line describing
// the first bad option, or an empty string.
std::string ParseSimOptions(const std::vector<std::string>& args, SimOptions& options);

// The --help text.
std::string SimUsage();
// The --version line, ending with a new line.
std::string SimVersionText();

} // namespace myrl::sim
