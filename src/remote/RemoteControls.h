// What a remote client changes, done the way a user's hand does it: in the windowed program
// each call sets the panel's (or the display's) control and runs that control's handler, so
// the windows show the new value and the average restarts exactly as a click makes it;
// without windows the same calls go to the instrument core. What a handler throws reaches
// the caller. Queries do not come here: they read the instrument core. One thread.
#pragma once

#include "SweepSettings.h"

#include <string>
#include <utility>

namespace myrl {

class RemoteControls {
public:
    // The frequency definition shown: 0 START/STOP, 1 CENTER/SPAN, 2 ZERO SPAN.
    virtual int PlanDefinition() const = 0;
    // Chooses the definition `definition` (its change handler runs when it changes), types
    // the fields (whole hertz; the second one only when it is shown) and presses Enter.
    virtual void EnterPlan(int definition, const std::string& first, const std::string& second) = 0;
    // Chooses the item of the SWEEP TIME list (0..16); its handler runs when it changes.
    virtual void ChooseSweepTime(int item) = 0;
    // Types the averaging count (1..64) and confirms it.
    virtual void ChooseAverage(int count) = 0;
    // Chooses the MODE item; its handler runs when it changes.
    virtual void ChooseMode(MeasMode mode) = 0;
    // Ticks or unticks SWR; its handler runs when it changes.
    virtual void SetSwrTicked(bool on) = 0;
    // Types the reference level (dB, one decimal) and presses Enter.
    virtual void EnterRefLevel(double db) = 0;
    // Chooses RUN or HOLD; its handler runs when it changes. HOLD ends a single acquisition
    // under way.
    virtual void ChooseRunning(bool run) = 0;
    // A single acquisition: the average restarts, the instrument sweeps (RUN) until it has
    // settled, then holds (HOLD).
    virtual void StartSingle() = 0;
    // Turns the limit lines on or off, as the tools window's switch does (the set of the
    // last run comes back when this run has none).
    virtual void SetLimitsOn(bool on) = 0;

    // The frequency (Hz; percent of the sweep in zero span) of marker 1 or 2, as the
    // readout under the chart shows it.
    virtual double MarkerX(int marker) const = 0;
    // The range of the chart the markers lie on: its first and last column's value.
    virtual std::pair<double, double> MarkerRange() const = 0;
    // Moves marker 1 or 2 to the column that shows `x`, as a drag there does.
    virtual void MoveMarker(int marker, double x) = 0;

    // Save data as: the last complete sweep as a CSV with its header (or a Touchstone file
    // for a name ending in .s1p), through the program's file writer. Throws EInOutError
    // naming the reason, std::invalid_argument when the format does not fit the trace.
    virtual void SaveTrace(const std::string& path) = 0;
    // Loads a calibration file (the tools window's) into the CAL tables; throws, and then
    // changes nothing.
    virtual void LoadCalibration(const std::string& path) = 0;
    // Loads a limit-lines file as the set in force (the tools window's Load), kept for the
    // next run where the windows keep it; on or off stays as it was. Throws, and then
    // changes nothing.
    virtual void LoadLimits(const std::string& path) = 0;

protected:
    ~RemoteControls() = default;
};

} // namespace myrl
