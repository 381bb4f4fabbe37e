// The real program against a unit, a line or a disk that misbehaves, judged by what the
// user sees: the windows still there and repainting, sweeps going on, files whole.
#pragma once

#include "ProgramFixture.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace myrl {

class FaultTest : public ProgramTest {
protected:
    // Adds detector noise, so that every sweep draws a new curve (equal sweeps would leave
    // the chart as it is and show nothing of the redraws).
    void SetUp() override;

    // Generous bound on waiting for something the program does on its own.
    static constexpr std::chrono::seconds kPatience{30};

    // Drawing on Graph1's canvas so far.
    uint64_t Graph1Generation();
    // Waits for `replies` more completed replies to the program and a new curve on Graph1;
    // fails the test (with `what`) when they do not come within kPatience.
    void ExpectSweepsGoOn(const std::string& what, uint64_t replies = 3);
    // Both windows still shown and the port open on a live line.
    void ExpectWindowsAndLine();
    // A valid parameter file of fifteen lines whose line 6 is `edit1`.
    static std::string ParamFile(const std::string& edit1);
};

} // namespace myrl
