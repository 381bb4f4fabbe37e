// The remote client's hand without windows: each control's change goes to the instrument
// core as the panel's handler would send it, the frequency fields are kept as text, and the
// markers lie on the columns of a response chart as wide as the display window's.
// One thread: the instrument's.
#pragma once

#include "HeadlessStart.h"
#include "Instrument.h"
#include "RemoteControls.h"

namespace myrl {

class CoreControls : public RemoteControls {
public:
    // `entry` holds the fields the instrument was started with (StartInstrument).
    // A single acquisition ends in HOLD.
    CoreControls(Instrument& core, FieldsEntry& entry);

    int PlanDefinition() const override { return entry_.FDefIndex(); }
    void EnterPlan(int definition, const std::string& first, const std::string& second) override;
    void ChooseSweepTime(int item) override;
    void ChooseAverage(int count) override;
    void ChooseMode(MeasMode mode) override;
    void SetSwrTicked(bool on) override;
    void EnterRefLevel(double db) override;
    void ChooseRunning(bool run) override;
    void StartSingle() override;
    void SetLimitsOn(bool on) override { core_.SetLimitsOn(on); }
    double MarkerX(int marker) const override;
    std::pair<double, double> MarkerRange() const override;
    void MoveMarker(int marker, double x) override;
    // The last complete sweep's trace file, with the header of Save data as.
    void SaveTrace(const std::string& path) override;
    void LoadCalibration(const std::string& path) override;
    void LoadLimits(const std::string& path) override;

private:
    Instrument& core_;
    FieldsEntry& entry_;
    Instrument::Subscription singleDone_;
};

} // namespace myrl
