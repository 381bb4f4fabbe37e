// One step of the sweep cycle without the timer and the redraw: start of sweep,
// reception and processing of a complete reply. Runs on the user-interface thread; the
// port's Read lets pending window events run, so the state may change under it.
#pragma once

#include "MeasState.h"
#include "SweepProc.h"

#include <cstdint>
#include <string>

namespace myrl {

class TCommX;

// Reply characters read per step at most: 2 x (PointNum + 1).
constexpr int kReadChunk = 2 * (kPointCount + 1);

// What a step reads from and writes to the windows.
class CycleView {
public:
    virtual ~CycleView() = default;
    virtual std::string ModeText() const = 0;       // MODE
    virtual bool SwrTicked() const = 0;             // SWR
    virtual bool CepsTicked() const = 0;            // CEPS
    virtual bool FrexTicked() const = 0;            // FREX
    virtual void SetProgress(int32_t received) = 0; // ProgressBar1
    // A complete reply was processed; `status` holds the numbers it was averaged with (AvrStat).
    virtual void SweepProcessed(const AvrStatus& status) = 0;
    virtual void CepstrumStep() = 0; // delay view of the sweep just processed
};

// What a step's read found.
enum class StepResult {
    Ok,        // characters arrived, or the step did not read
    Silent,    // nothing within the receive time-out: the sweep was abandoned
    ReadFailed // the port is closed or the line is gone: the sweep was abandoned
};

// Sends a command when a sweep starts, reads what has arrived, and processes a complete
// reply. A read that returns nothing, or fails (port closed or line lost), abandons the
// sweep: the next step purges, resumes output held by XOFF and sends a new command.
StepResult SweepStep(MeasState& s, TCommX& port, CycleView& view);

// Gives up the sweep under way: what was received is dropped and the next step sends a new
// command (purging first, and resuming output held by XOFF).
void AbandonSweep(MeasState& s);

} // namespace myrl
