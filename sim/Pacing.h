// When each reply character leaves the simulated unit.
//
// The unit measures point i at i/256 of the sweep time after the command and sends each
// reading as soon as it is measured and the line is free; the line carries one
// character per CharSeconds (ten bits at 19200 bit/s). The sweep time is the inverse
// of the program's sweep-time code: seconds = (code + 2) / 9.5, so code 00 gives
// 0.21 s (shorter than the line time: such a reply is line-limited), 03 gives 0.53 s and
// 4A gives 8 s. The longest code (FF) gives 27 s, so readings follow each other at most
// 0.105 s apart, well inside the program's 300 ms receive time-out.
#pragma once

#include <cstddef>
#include <vector>

namespace myrl::sim {

struct PacingConfig {
    bool Fast = false;                   // no pacing at all: every character is due at once
    double CharSeconds = 10.0 / 19200.0; // line time of one character
};

// Sweep time in seconds that a sweep-time code (0..255) stands for.
double SweepSecondsFromCode(int sweepCode);

// Line time of a command line of `lineChars` characters and its carriage return: a pty
// delivers the line at once, the unit's line would take this long before the unit has the
// whole command. 0 without pacing.
double CommandSeconds(std::size_t lineChars, const PacingConfig& pacing);

// Due times, seconds after the command's carriage return arrived, of `chars` reply
// characters (characters beyond 512 follow the last reading at line rate), all shifted
// by `firstDelaySeconds`.
std::vector<double> CharSchedule(int sweepCode, std::size_t chars, const PacingConfig& pacing,
                                 double firstDelaySeconds = 0.0);

} // namespace myrl::sim
